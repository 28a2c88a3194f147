// Registration writes exactly the ten scheme keys and unregistration removes exactly them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "NetSourceIds.h"
#include "Registry.h"
#include "SchemeRegistration.h"
#include "ScopedTestRegistry.h"

namespace netsource {
namespace {

constexpr char kPlayerSchemes[] = "Software\\Microsoft\\MediaPlayer\\Player\\Schemes";
const std::vector<std::string> kSchemes = {"ntrt", "svrt", "Real", "ntfl", "svfl"};

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

TEST(SchemeRegistration, WritesAndRemovesExactlyTheTenKeys) {
  ScopedTestRegistry registry;
  // What other programs keep there stays.
  ASSERT_EQ(0, reg::SetDword(HKEY_CURRENT_USER, std::string(kPlayerSchemes) + "\\mms",
                             "Runtime", 7));
  ASSERT_EQ(0, reg::SetString(HKEY_CLASSES_ROOT, "ntrt\\stale", "", "left by an old version"));

  RegisterSchemes(CLSID_QrlNetSource);
  EXPECT_EQ(Sorted(kSchemes), Sorted(reg::SubKeyNames(HKEY_CLASSES_ROOT, "")));
  const std::u16string clsid = u"{013D71DF-AB43-41A6-976C-3B82E38D8CD0}";
  for (const std::string& scheme : kSchemes) {
    SCOPED_TRACE(scheme);
    const auto value = reg::GetValue(HKEY_CLASSES_ROOT, scheme, "Source Filter");
    ASSERT_TRUE(value);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), value->type);
    // The text and exactly one terminating NUL.
    ASSERT_EQ((clsid.size() + 1) * sizeof(char16_t), value->data.size());
    EXPECT_EQ(0, std::memcmp(value->data.data(), clsid.data(), clsid.size() * 2));
    EXPECT_EQ(0, value->data[value->data.size() - 1] | value->data[value->data.size() - 2]);
    EXPECT_TRUE(reg::SubKeyNames(HKEY_CLASSES_ROOT, scheme).empty());
    EXPECT_EQ(1u, reg::GetDword(HKEY_CURRENT_USER, std::string(kPlayerSchemes) + "\\" + scheme,
                                "Runtime"));
  }
  std::vector<std::string> withOthers = kSchemes;
  withOthers.push_back("mms");
  EXPECT_EQ(Sorted(withOthers), Sorted(reg::SubKeyNames(HKEY_CURRENT_USER, kPlayerSchemes)));

  UnregisterSchemes();
  EXPECT_TRUE(reg::SubKeyNames(HKEY_CLASSES_ROOT, "").empty());
  EXPECT_EQ(std::vector<std::string>{"mms"}, reg::SubKeyNames(HKEY_CURRENT_USER, kPlayerSchemes));
  EXPECT_EQ(7u, reg::GetDword(HKEY_CURRENT_USER, std::string(kPlayerSchemes) + "\\mms", "Runtime"));
}

}  // namespace
}  // namespace netsource
