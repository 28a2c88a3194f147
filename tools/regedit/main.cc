// regedit: prints a registry key, its values with their types, and all its subkeys.
//
//   regedit 'HKCR\CLSID\{F774A5BC-37DE-49CB-9EA1-252157088CB1}'
//   regedit --path          (the database file in use)
#include <iostream>
#include <string>

#include "RegistryTree.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitMissing = 1;

// The full name of a root, whichever spelling was given.
std::string RootName(HKEY root) {
  if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
  if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
  return "HKEY_LOCAL_MACHINE";
}

int Usage() {
  std::cerr << "usage: regedit ROOT[\\KEY...]   (ROOT: HKCR, HKCU, HKLM or the full names)\n"
               "       regedit --path\n";
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return Usage();
  const std::string argument = argv[1];
  if (argument == "--path") {
    std::cout << reg::DatabasePath() << "\n";
    return 0;
  }
  const size_t separator = argument.find('\\');
  const std::string root_text = argument.substr(0, separator);
  const std::string key_path = separator == std::string::npos ? "" : argument.substr(separator + 1);
  const auto root = reg::RootFromName(root_text);
  if (!root) return Usage();
  if (!PrintRegistryTree(std::cout, *root, RootName(*root), key_path)) {
    std::cerr << "regedit: " << argument << ": no such key in " << reg::DatabasePath() << "\n";
    return kExitMissing;
  }
  return 0;
}
