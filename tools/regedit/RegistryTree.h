// Text form of a registry key's tree, for people checking what registration wrote.
#pragma once

#include <ostream>
#include <string>

#include "Registry.h"

// One value as "name  TYPE  data": strings quoted (with a note when the stored text does not
// end with exactly one NUL), numbers in hex and decimal, binary data as hex bytes.
std::string FormatRegistryValue(const reg::Value& value);

// Writes `key_path` below `root`, its values and all its subkeys, indented two spaces per
// level. False if the key does not exist.
bool PrintRegistryTree(std::ostream& out, HKEY root, const std::string& root_name,
                       const std::string& key_path);
