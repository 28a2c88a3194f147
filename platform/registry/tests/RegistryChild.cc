// A second process for the registry tests: writes the fixture, writes many keys and values
// (for concurrent writers), or deletes a tree, in the registry RECAST_REGISTRY names.
//
//   registry_child fixture
//   registry_child many PREFIX COUNT
//   registry_child delete KEY
#include <cstdio>
#include <cstdlib>
#include <string>

#include "RegistryFixture.h"

namespace {

int WriteFixture() {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kFixtureKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return 1;
  for (const FixtureValue& value : FixtureValues()) {
    if (RegSetValueExW(key, value.name, 0, value.type, value.data.data(),
                       static_cast<DWORD>(value.data.size())) != ERROR_SUCCESS)
      return 1;
  }
  return RegCloseKey(key) == ERROR_SUCCESS ? 0 : 1;
}

// Each value is its own transaction, and each lands in a key of its own below a key both
// writers share, so that concurrent writers contend for the same parent.
int WriteMany(const std::string& prefix, int count) {
  for (int i = 0; i < count; ++i) {
    const std::string name = prefix + std::to_string(i);
    if (reg::SetDword(HKEY_CURRENT_USER, std::string(kManyKey) + "\\" + name, "Index",
                      static_cast<DWORD>(i)) != ERROR_SUCCESS)
      return 1;
    if (reg::SetString(HKEY_CURRENT_USER, kManyKey, name, name) != ERROR_SUCCESS) return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "fixture" && argc == 2) return WriteFixture();
  if (command == "many" && argc == 4) return WriteMany(argv[2], std::atoi(argv[3]));
  if (command == "delete" && argc == 3)
    return reg::DeleteTree(HKEY_CURRENT_USER, argv[2]) == ERROR_SUCCESS ? 0 : 1;
  std::fprintf(stderr, "usage: registry_child fixture | many PREFIX COUNT | delete KEY\n");
  return 2;
}
