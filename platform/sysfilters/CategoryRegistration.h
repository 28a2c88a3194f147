// Registering a module's filters: the COM class keys (Registration.h) and, through the filter
// mapper, an entry in the filter category where applications look the filter up by friendly
// name and where graph building finds it by media type.
#pragma once

#include <span>

#include "ClassFactory.h"
#include "Guid.h"

struct CategorizedTemplate {
  const CFactoryTemplate* factory;  // its AMOVIESETUP_FILTER gives merit and pins
  const GUID* category;
};

// Every class, in order; the first failure is returned.
HRESULT RegisterInCategories(std::span<const CategorizedTemplate> filters);
// Removes the category entries and the class keys; what is already gone counts as removed.
HRESULT UnregisterFromCategories(std::span<const CategorizedTemplate> filters);
