#include <gtest/gtest.h>

#include <sstream>

#include "RegistryTree.h"
#include "ScopedTestRegistry.h"

namespace {

std::vector<BYTE> Wide(std::u16string_view text) {
  const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
  return std::vector<BYTE>(bytes, bytes + text.size() * sizeof(char16_t));
}

TEST(RegistryTreeTest, ValuesShowTypeAndExactTermination) {
  using namespace std::string_view_literals;
  EXPECT_EQ(FormatRegistryValue({"", REG_SZ, Wide(u"WmSink\0"sv)}),
            "(Default)  REG_SZ  \"WmSink\"");
  EXPECT_EQ(FormatRegistryValue({"X", REG_SZ, Wide(u"ab"sv)}),
            "X  REG_SZ  \"ab\" (0 terminating NULs)");
  EXPECT_EQ(FormatRegistryValue({"Merit", REG_DWORD, {0x00, 0x00, 0x60, 0x00}}),
            "Merit  REG_DWORD  0x00600000 (6291456)");
  EXPECT_EQ(FormatRegistryValue({"Short", REG_DWORD, {1, 2}}), "Short  REG_DWORD  (2 bytes)");
  EXPECT_EQ(FormatRegistryValue({"M", REG_MULTI_SZ, Wide(u"a\0bc\0\0"sv)}),
            "M  REG_MULTI_SZ  [\"a\", \"bc\"]");
  EXPECT_EQ(FormatRegistryValue({"B", REG_BINARY, std::vector<BYTE>(70, 0xAB)}).substr(0, 20),
            "B  REG_BINARY  AB AB");
  EXPECT_NE(
      FormatRegistryValue({"B", REG_BINARY, std::vector<BYTE>(70, 0xAB)}).find("... (70 bytes)"),
      std::string::npos);
}

TEST(RegistryTreeTest, PrintsTheWholeTreeIndented) {
  ScopedTestRegistry registry;
  const std::string key = "CLSID\\{F774A5BC-37DE-49CB-9EA1-252157088CB1}";
  ASSERT_EQ(reg::SetString(HKEY_CLASSES_ROOT, key, "", "QrlNetSplitter"), ERROR_SUCCESS);
  ASSERT_EQ(reg::SetString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "", "/lib/x.so"),
            ERROR_SUCCESS);
  ASSERT_EQ(reg::SetString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "ThreadingModel", "Both"),
            ERROR_SUCCESS);
  std::ostringstream out;
  ASSERT_TRUE(PrintRegistryTree(out, HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", key));
  EXPECT_EQ(out.str(), "HKEY_CLASSES_ROOT\\" + key +
                           "\n"
                           "  (Default)  REG_SZ  \"QrlNetSplitter\"\n"
                           "  InprocServer32\n"
                           "    (Default)  REG_SZ  \"/lib/x.so\"\n"
                           "    ThreadingModel  REG_SZ  \"Both\"\n");
  EXPECT_FALSE(PrintRegistryTree(out, HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "CLSID\\{none}"));
}

}  // namespace
