// The unload check every COM module's test makes: a module built with recast_com_module is
// loaded by CoCreateInstance and goes again once its last object is released and
// CoFreeUnusedLibraries runs, so a long-lived program does not keep every filter it ever used.
#pragma once

#include <gtest/gtest.h>

#include "Guid.h"

// Whether the module file at `path` is mapped into this process.
bool ModuleLoaded(const char* path);

// In a private registry of its own: registers `path` as the in-process server of `clsid`,
// creates one object through CoCreateInstance, releases it and frees unused libraries.
// Succeeds when the module was loaded for the object and is gone afterwards.
::testing::AssertionResult CreatesAndUnloads(REFCLSID clsid, const char* path);
