#include "SchemeRegistration.h"

#include <string>

#include "Registry.h"

namespace netsource {
namespace {

// Registration order; unregistration removes the player's keys in the reverse order.
constexpr const char* kSchemes[] = {"ntrt", "svrt", "Real", "ntfl", "svfl"};
constexpr char kSourceFilterValue[] = "Source Filter";
constexpr char kPlayerSchemes[] = "Software\\Microsoft\\MediaPlayer\\Player\\Schemes\\";
constexpr char kRuntimeValue[] = "Runtime";
constexpr DWORD kHandToRuntime = 1;

void DeleteProtocolKeys() {
  for (const char* scheme : kSchemes) reg::DeleteTree(HKEY_CLASSES_ROOT, scheme);
}

}  // namespace

void RegisterSchemes(REFCLSID source) {
  DeleteProtocolKeys();
  const std::string clsid = GuidToString(source);
  for (const char* scheme : kSchemes)
    reg::SetString(HKEY_CLASSES_ROOT, scheme, kSourceFilterValue, clsid);
  for (const char* scheme : kSchemes)
    reg::SetDword(HKEY_CURRENT_USER, std::string(kPlayerSchemes) + scheme, kRuntimeValue,
                  kHandToRuntime);
}

void UnregisterSchemes() {
  DeleteProtocolKeys();
  for (auto it = std::rbegin(kSchemes); it != std::rend(kSchemes); ++it)
    reg::DeleteTree(HKEY_CURRENT_USER, std::string(kPlayerSchemes) + *it);
}

}  // namespace netsource
