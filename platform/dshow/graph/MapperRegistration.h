// The filter-mapper step of a module's registration: what a template table's filter setup
// data says (name, merit, pins, media types) goes to the mapper, created through COM
// (IFilterMapper2, else IFilterMapper). A module's DllRegisterServer calls it after the COM
// class keys are written (AMRegisterServer), DllUnregisterServer before they are removed.
#pragma once

#include <span>

#include "ClassFactory.h"

// A filter and the category it is registered in, where it is listed under its friendly name.
// Only IFilterMapper2 knows categories: through IFilterMapper it goes to the default one.
struct AMCategorizedTemplate {
  const CFactoryTemplate* factory;
  const GUID* category;
};

// The first failure is returned.
HRESULT AMRegisterFiltersWithMapper(std::span<const CFactoryTemplate> templates);
HRESULT AMRegisterFiltersWithMapper(std::span<const AMCategorizedTemplate> filters);
// A filter that was not registered counts as removed.
HRESULT AMUnregisterFiltersWithMapper(std::span<const CFactoryTemplate> templates);
HRESULT AMUnregisterFiltersWithMapper(std::span<const AMCategorizedTemplate> filters);
