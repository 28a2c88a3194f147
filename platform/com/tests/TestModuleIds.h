// What the activation tests and their test module share.
#pragma once

#include "Guid.h"

DEFINE_GUID(CLSID_TestObject, 0x5D0C2A81, 0x7E43, 0x4C19, 0x9B, 0x2E, 0x41, 0x6F, 0x0A, 0x8D, 0x33,
            0xC7);

// Environment variable in which the module counts how often it was loaded.
inline constexpr const char* kTestModuleLoadsVariable = "RECAST_TEST_MODULE_LOADS";
