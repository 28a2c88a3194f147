// The classes of the graph layer (graph manager, filter mappers, device enumerator, system
// clock) as a template table, for the RecastGraph module and for processes that link the graph
// layer directly.
#pragma once

#include <span>

#include "ClassFactory.h"

std::span<const CFactoryTemplate> GraphClassTemplates();

// Makes every graph class creatable through CoCreateInstance in this process without any
// registry entry (CoRegisterClassObject). Once per process; later calls do nothing.
HRESULT RegisterGraphClassesInProcess();

// Registers with the filter mapper (IFilterMapper2, else IFilterMapper) every template that
// carries filter setup data; a module's DllRegisterServer calls it after the COM class keys are
// written. The first failure is returned.
HRESULT AMRegisterFiltersWithMapper(std::span<const CFactoryTemplate> templates);
// Removes those registrations; a filter that was not registered counts as removed.
HRESULT AMUnregisterFiltersWithMapper(std::span<const CFactoryTemplate> templates);
