#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "Registry.h"
#include "RegistryFixture.h"
#include "ScopedTestRegistry.h"

namespace {

class RegistryTest : public ::testing::Test {
 protected:
  HKEY Create(HKEY root, const char16_t* path, REGSAM access = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyEx(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                             nullptr),
              ERROR_SUCCESS);
    return key;
  }
  std::vector<std::u16string> SubKeys(HKEY key) {
    std::vector<std::u16string> names;
    WCHAR name[kRegMaxKeyNameChars + 1];
    DWORD chars = kRegMaxKeyNameChars + 1;
    for (DWORD i = 0;
         RegEnumKeyEx(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, chars = kRegMaxKeyNameChars + 1)
      names.emplace_back(name, chars);
    return names;
  }

  ScopedTestRegistry registry_;
};

TEST_F(RegistryTest, ValuesReadBackByteExact) {
  HKEY key = Create(HKEY_CURRENT_USER, u"Software\\RecastTest\\Fixture");
  for (const FixtureValue& value : FixtureValues())
    ASSERT_EQ(RegSetValueEx(key, value.name, 0, value.type, value.data.data(),
                            static_cast<DWORD>(value.data.size())),
              ERROR_SUCCESS);
  for (const FixtureValue& value : FixtureValues()) {
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueEx(key, value.name, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, value.type);
    std::vector<BYTE> data(size);
    ASSERT_EQ(RegQueryValueEx(key, value.name, nullptr, nullptr, data.data(), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(data, value.data);
  }
  RegCloseKey(key);
}

TEST_F(RegistryTest, SmallBufferReportsTheSizeNeeded) {
  HKEY key = Create(HKEY_CURRENT_USER, u"Software\\RecastTest");
  const BYTE data[] = {1, 2, 3, 4, 5, 6};
  ASSERT_EQ(RegSetValueEx(key, u"Six", 0, REG_BINARY, data, sizeof data), ERROR_SUCCESS);
  BYTE small[4] = {};
  DWORD size = sizeof small;
  EXPECT_EQ(RegQueryValueEx(key, u"Six", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, sizeof data);
  EXPECT_EQ(RegQueryValueEx(key, u"Missing", nullptr, nullptr, small, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST_F(RegistryTest, AnsiStringsConvertAndKeepTheirNul) {
  // As scheme registration writes it: ANSI text with its NUL, read back as UTF-16 with one NUL.
  const std::string text = "{013D71DF-AB43-41A6-976C-3B82E38D8CD0} \xC3\xA9";
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "ntrt", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(
      RegSetValueExA(key, "Source Filter", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1)),
      ERROR_SUCCESS);
  RegCloseKey(key);

  const auto stored = reg::GetValue(HKEY_CLASSES_ROOT, "NTRT", "source filter");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->data, Utf16Bytes(u"{013D71DF-AB43-41A6-976C-3B82E38D8CD0} \u00E9", true));

  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "ntrt", 0, KEY_READ, &key), ERROR_SUCCESS);
  char back[64];
  DWORD size = sizeof back;
  ASSERT_EQ(RegQueryValueExA(key, "Source Filter", nullptr, nullptr, reinterpret_cast<BYTE*>(back),
                             &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, text.size() + 1);
  EXPECT_EQ(std::string(back, size), std::string(text.c_str(), text.size() + 1));
  RegCloseKey(key);
}

TEST_F(RegistryTest, KeyNamesMatchWithoutCaseAndKeepTheirCase) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, u"Software\\MyFilter\\\u00C9t\u00E9");
  DWORD disposition = 0;
  HKEY same = nullptr;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"SOFTWARE\\myfilter\\\u00C9T\u00C9\\", 0, nullptr,
                           0, KEY_READ, nullptr, &same, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  HKEY software;
  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"software", 0, KEY_READ, &software), ERROR_SUCCESS);
  EXPECT_EQ(SubKeys(software), std::vector<std::u16string>{u"MyFilter"});

  const DWORD one = 1;
  ASSERT_EQ(RegSetValueEx(key, u"Merit", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
            ERROR_SUCCESS);
  DWORD read = 0, size = sizeof read;
  EXPECT_EQ(
      RegQueryValueEx(same, u"MERIT", nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size),
      ERROR_SUCCESS);
  EXPECT_EQ(read, 1u);
  for (HKEY k : {key, same, software}) RegCloseKey(k);
}

TEST_F(RegistryTest, EnumerationOrder) {
  HKEY key = Create(HKEY_CLASSES_ROOT, u"CLSID");
  for (const char16_t* name : {u"gamma", u"Beta", u"alpha", u"{B}", u"{a}"})
    RegCloseKey(Create(key, name));
  EXPECT_EQ(SubKeys(key),
            (std::vector<std::u16string>{u"alpha", u"Beta", u"gamma", u"{a}", u"{B}"}));

  // Values come in the order they were first set; replacing one keeps its place.
  for (const char16_t* name : {u"z", u"", u"a", u"z"})
    ASSERT_EQ(RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(u"x"), 4),
              ERROR_SUCCESS);
  std::vector<std::u16string> names;
  WCHAR name[16];
  DWORD chars = 16;
  DWORD index = 0;
  LONG result;
  while ((result = RegEnumValue(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr)) ==
         ERROR_SUCCESS) {
    names.emplace_back(name, chars);
    ++index, chars = 16;
  }
  EXPECT_EQ(result, ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"z", u"", u"a"}));

  // A name buffer too small for the name and its NUL.
  chars = 5;
  EXPECT_EQ(RegEnumKeyEx(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr),
            ERROR_MORE_DATA);

  DWORD sub_keys = 0, values = 0, longest_name = 0;
  ASSERT_EQ(RegQueryInfoKey(key, nullptr, nullptr, nullptr, &sub_keys, &longest_name, nullptr,
                            &values, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(sub_keys, 5u);
  EXPECT_EQ(longest_name, 5u);
  EXPECT_EQ(values, 3u);
  RegCloseKey(key);
}

TEST_F(RegistryTest, DeletingKeysAndTrees) {
  ASSERT_EQ(reg::SetString(HKEY_CLASSES_ROOT, "CLSID\\{X}\\InprocServer32", "", "/lib/x.so"),
            ERROR_SUCCESS);
  ASSERT_EQ(
      reg::SetString(HKEY_CLASSES_ROOT, "CLSID\\{X}\\InprocServer32", "ThreadingModel", "Both"),
      ERROR_SUCCESS);
  ASSERT_EQ(reg::SetString(HKEY_CLASSES_ROOT, "CLSID\\{Y}", "", "other"), ERROR_SUCCESS);
  HKEY open = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, u"CLSID\\{X}\\InprocServer32", 0, KEY_READ, &open),
            ERROR_SUCCESS);

  // A key with subkeys is only deleted as a tree.
  EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, u"CLSID\\{X}"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteTree(HKEY_CLASSES_ROOT, u"clsid\\{x}"), ERROR_SUCCESS);
  EXPECT_FALSE(reg::KeyExists(HKEY_CLASSES_ROOT, "CLSID\\{X}"));
  EXPECT_EQ(reg::GetString(HKEY_CLASSES_ROOT, "CLSID\\{Y}", ""), "other");
  EXPECT_EQ(RegDeleteTree(HKEY_CLASSES_ROOT, u"CLSID\\{X}"), ERROR_FILE_NOT_FOUND);

  // A handle to a deleted key stays a handle but reaches nothing, even after the same path
  // is created again.
  ASSERT_EQ(reg::SetString(HKEY_CLASSES_ROOT, "CLSID\\{X}\\InprocServer32", "", "new"),
            ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueEx(open, nullptr, nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(open), ERROR_SUCCESS);

  // Null: the key's contents go, the key stays. Roots are never deleted.
  HKEY clsid = Create(HKEY_CLASSES_ROOT, u"CLSID");
  ASSERT_EQ(reg::SetDword(HKEY_CLASSES_ROOT, "CLSID", "Value", 7), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTree(clsid, nullptr), ERROR_SUCCESS);
  EXPECT_TRUE(reg::KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
  EXPECT_TRUE(reg::SubKeyNames(HKEY_CLASSES_ROOT, "CLSID").empty());
  EXPECT_TRUE(reg::Values(HKEY_CLASSES_ROOT, "CLSID").empty());
  EXPECT_EQ(RegDeleteKey(clsid, u""), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, u""), ERROR_ACCESS_DENIED);
  RegCloseKey(clsid);

  EXPECT_EQ(RegDeleteValue(HKEY_CLASSES_ROOT, u"nothing"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, HandlesPathsAndRightsAreChecked) {
  HKEY read_only = Create(HKEY_CURRENT_USER, u"Software", KEY_READ);
  const DWORD one = 1;
  EXPECT_EQ(RegSetValueEx(read_only, u"x", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
            ERROR_ACCESS_DENIED);
  HKEY child = nullptr;
  EXPECT_EQ(
      RegCreateKeyEx(read_only, u"New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
      ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCloseKey(read_only), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(read_only), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegSetValueEx(read_only, u"x", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
            ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyEx(reinterpret_cast<HKEY>(0x1234), u"x", 0, KEY_READ, &child),
            ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_CLASSES_ROOT), ERROR_SUCCESS);

  EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"a\\\\b", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                           &child, nullptr),
            ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"\\a", 0, KEY_READ, &child), ERROR_BAD_PATHNAME);
  const std::u16string too_long(kRegMaxKeyNameChars + 1, u'k');
  EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, too_long.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                           nullptr, &child, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"Missing\\Key", 0, KEY_READ, &child),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(child, nullptr);
}

TEST_F(RegistryTest, ShortFormsForRegistrationCode) {
  EXPECT_EQ(reg::SetString(HKEY_CLASSES_ROOT, "CLSID\\{F}", "", "WmSink"), ERROR_SUCCESS);
  EXPECT_EQ(reg::SetDword(HKEY_CURRENT_USER, "Software\\Schemes\\ntrt", "Runtime", 1),
            ERROR_SUCCESS);
  EXPECT_EQ(reg::SetBinary(HKEY_CLASSES_ROOT, "CLSID\\{F}", "FilterData", {1, 0, 2}),
            ERROR_SUCCESS);
  EXPECT_EQ(reg::GetString(HKEY_CLASSES_ROOT, "clsid\\{f}", ""), "WmSink");
  EXPECT_EQ(reg::GetDword(HKEY_CURRENT_USER, "Software\\Schemes\\ntrt", "Runtime"), 1u);
  // Wrong type or missing: nothing.
  EXPECT_FALSE(reg::GetDword(HKEY_CLASSES_ROOT, "CLSID\\{F}", ""));
  EXPECT_FALSE(reg::GetString(HKEY_CLASSES_ROOT, "CLSID\\{F}", "FilterData"));
  EXPECT_FALSE(reg::GetString(HKEY_CLASSES_ROOT, "CLSID\\{G}", ""));
  const auto values = reg::Values(HKEY_CLASSES_ROOT, "CLSID\\{F}");
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[1].name, "FilterData");
  EXPECT_EQ(values[1].data, (std::vector<BYTE>{1, 0, 2}));
  EXPECT_EQ(reg::RootFromName("hkcr"), HKEY_CLASSES_ROOT);
  EXPECT_EQ(reg::RootFromName("HKEY_LOCAL_MACHINE"), HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(reg::RootFromName("HKEY_USERS"));
}

// The database file: where it goes, and what happens when it cannot be used.
class RegistryDatabaseTest : public RegistryTest {
 protected:
  void UseDatabase(const std::string& path) { setenv("RECAST_REGISTRY", path.c_str(), 1); }
};

TEST_F(RegistryDatabaseTest, ReadingCreatesNothingWritingCreatesFolders) {
  const auto path = registry_.folder() / "deeper" / "still" / "registry.db";
  UseDatabase(path.string());
  EXPECT_FALSE(reg::KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
  EXPECT_TRUE(reg::KeyExists(HKEY_CLASSES_ROOT, ""));
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(reg::SetString(HKEY_CLASSES_ROOT, "CLSID", "", ""), ERROR_SUCCESS);
  EXPECT_TRUE(std::filesystem::exists(path));
}

TEST_F(RegistryDatabaseTest, DefaultPathFollowsXdgAndHome) {
  unsetenv("RECAST_REGISTRY");
  const char* old_xdg = std::getenv("XDG_CONFIG_HOME");
  const std::string saved_xdg = old_xdg ? old_xdg : "";
  setenv("XDG_CONFIG_HOME", "/xdg", 1);
  EXPECT_EQ(reg::DatabasePath(), "/xdg/recast/registry.db");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(reg::DatabasePath(), std::string(std::getenv("HOME")) + "/.config/recast/registry.db");
  if (old_xdg) setenv("XDG_CONFIG_HOME", saved_xdg.c_str(), 1);
}

TEST_F(RegistryDatabaseTest, UnusableDatabasesGiveErrorsNotCrashes) {
  HKEY key = nullptr;
  // Folders that cannot be created, and a file that may not be created.
  UseDatabase("/proc/self/recast/registry.db");
  EXPECT_EQ(reg::SetString(HKEY_CLASSES_ROOT, "CLSID", "", "x"), ERROR_PATH_NOT_FOUND);
  UseDatabase("/sys/registry.db");
  EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);

  // A folder where the file should be.
  UseDatabase(registry_.folder().string());
  EXPECT_EQ(reg::SetString(HKEY_CLASSES_ROOT, "CLSID", "", "x"), ERROR_CANTOPEN);

  // A file that is not a database: reported, and left as it was.
  const auto garbage = registry_.folder() / "garbage.db";
  std::ofstream(garbage) << std::string(4096, 'x');
  UseDatabase(garbage.string());
  EXPECT_EQ(reg::SetString(HKEY_CLASSES_ROOT, "CLSID", "", "x"), ERROR_BADDB);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &key), ERROR_BADDB);
  EXPECT_EQ(std::filesystem::file_size(garbage), 4096u);

  // Back to a good database: everything works again.
  UseDatabase(registry_.path());
  EXPECT_EQ(reg::SetString(HKEY_CLASSES_ROOT, "CLSID", "", "x"), ERROR_SUCCESS);
}

// Marks a file immutable, which even root cannot write; undone on destruction.
class ImmutableFile {
 public:
  explicit ImmutableFile(const std::string& path) : fd_(open(path.c_str(), O_RDONLY)) {
    int flags = 0;
    if (fd_ >= 0 && ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
      flags |= FS_IMMUTABLE_FL;
      applied_ = ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0;
    }
  }
  ~ImmutableFile() {
    int flags = 0;
    if (applied_ && ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
      flags &= ~FS_IMMUTABLE_FL;
      ioctl(fd_, FS_IOC_SETFLAGS, &flags);
    }
    if (fd_ >= 0) close(fd_);
  }
  bool applied() const { return applied_; }

 private:
  int fd_;
  bool applied_ = false;
};

TEST_F(RegistryDatabaseTest, ReadOnlyDatabaseReadsButRefusesWrites) {
  ASSERT_EQ(reg::SetString(HKEY_CLASSES_ROOT, "CLSID\{X}", "", "kept"), ERROR_SUCCESS);
  // Switching away and back makes this process open the file afresh, as another would.
  UseDatabase(registry_.path() + ".other");
  EXPECT_FALSE(reg::KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
  ImmutableFile read_only(registry_.path());
  if (!read_only.applied()) GTEST_SKIP() << "file system cannot make files immutable";
  UseDatabase(registry_.path());

  EXPECT_EQ(reg::GetString(HKEY_CLASSES_ROOT, "CLSID\{X}", ""), "kept");
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\{X}", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  const DWORD one = 1;
  EXPECT_EQ(RegSetValueExA(key, "New", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteTreeA(key, nullptr), ERROR_ACCESS_DENIED);
  RegCloseKey(key);
  EXPECT_EQ(reg::GetString(HKEY_CLASSES_ROOT, "CLSID\{X}", ""), "kept");
}

}  // namespace
