// The filter-mapper step of a module's registration: what a template table's filter setup
// data says (name, merit, pins, media types) goes to the mapper, created through COM
// (IFilterMapper2, else IFilterMapper). A module's DllRegisterServer calls it after the COM
// class keys are written (AMRegisterServer), DllUnregisterServer before they are removed.
#pragma once

#include <span>

#include "ClassFactory.h"

// The first failure is returned.
HRESULT AMRegisterFiltersWithMapper(std::span<const CFactoryTemplate> templates);
// A filter that was not registered counts as removed.
HRESULT AMUnregisterFiltersWithMapper(std::span<const CFactoryTemplate> templates);
