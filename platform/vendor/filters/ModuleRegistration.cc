#include "ModuleRegistration.h"

#include <string>

#include "MediaGuids.h"
#include "Registry.h"
#include "recorder/RecorderMediaTypes.h"

namespace vendor {
namespace {

constexpr char kMediaTypeKey[] = "Media Type";
constexpr char kExtensionsKey[] = "Media Type\\Extensions";
constexpr char kSourceFilterValue[] = "Source Filter";
constexpr const char* kExtensions[] = {".mp4", ".264", ".qrl"};
// Check bytes "offset,length,mask,value" (hex; an empty mask compares every bit): the magic
// as it stands at the start of the file. Each numbered value is one way to match.
constexpr const char* kMagicChecks[] = {"0,4,,34484C51", "0,4,,344D4C51", "0,4,,344D5348"};

std::string CheckBytesKey() {
  return std::string(kMediaTypeKey) + "\\" + GuidToString(MEDIATYPE_Stream) + "\\" +
         GuidToString(MEDIASUBTYPE_RecorderStream);
}

std::string ExtensionKey(const char* extension) {
  return std::string(kExtensionsKey) + "\\" + extension;
}

// Keeps the first failure of a run of registry calls.
struct Outcome {
  LONG error = ERROR_SUCCESS;
  void operator+=(LONG result) {
    if (error == ERROR_SUCCESS && result != ERROR_SUCCESS) error = result;
  }
  HRESULT Result() const { return HRESULT_FROM_WIN32(static_cast<uint32_t>(error)); }
};

LONG IgnoreMissing(LONG result) { return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result; }

}  // namespace

HRESULT RegisterRecorderFiles(REFCLSID sourceClass) {
  Outcome outcome;
  const std::string source = GuidToString(sourceClass);
  const std::string checks = CheckBytesKey();
  for (size_t i = 0; i < std::size(kMagicChecks); ++i)
    outcome += reg::SetString(HKEY_CLASSES_ROOT, checks, std::to_string(i), kMagicChecks[i]);
  outcome += reg::SetString(HKEY_CLASSES_ROOT, checks, kSourceFilterValue, source);
  for (const char* extension : kExtensions) {
    const std::string key = ExtensionKey(extension);
    outcome += reg::SetString(HKEY_CLASSES_ROOT, key, kSourceFilterValue, source);
    outcome += reg::SetString(HKEY_CLASSES_ROOT, key, "Media Type", GuidToString(MEDIATYPE_Stream));
    outcome += reg::SetString(HKEY_CLASSES_ROOT, key, "Subtype",
                              GuidToString(MEDIASUBTYPE_RecorderStream));
  }
  return outcome.Result();
}

HRESULT UnregisterRecorderFiles() {
  Outcome outcome;
  outcome += IgnoreMissing(reg::DeleteTree(HKEY_CLASSES_ROOT, CheckBytesKey()));
  for (const char* extension : kExtensions)
    outcome += IgnoreMissing(reg::DeleteTree(HKEY_CLASSES_ROOT, ExtensionKey(extension)));
  return outcome.Result();
}

}  // namespace vendor
