// Which source filter opens a file or URL.
//
// 1. A URL ("scheme://...", the scheme at least two characters so that "C:" is no scheme):
//    the value "Source Filter" of HKEY_CLASSES_ROOT\<scheme>. "file://" URLs without such a key
//    are opened as files.
// 2. A file, by content: every key HKEY_CLASSES_ROOT\Media Type\{major}\{sub} holds check values
//    "0", "1", ... and a "Source Filter". A check value is a list of quadruples
//    "offset,count,mask,value" (hexadecimal bytes for mask and value; an empty mask means all
//    bits; a negative offset counts from the end of the file). A check value matches when all
//    its quadruples match; a key matches when any of its check values does.
// 3. A file, by extension: HKEY_CLASSES_ROOT\Media Type\Extensions\.<ext> "Source Filter"
//    (with optional "Media Type" and "Subtype" values).
#pragma once

#include <optional>
#include <string>

#include "FilterData.h"

struct SourceChoice {
  CLSID source = GUID_NULL;
  PinTypeRecord type{GUID_NULL, GUID_NULL};  // what the check bytes or extension say
  std::u16string path;                       // what the source's Load receives
};

// The source for `target`: VFW_E_UNKNOWN_FILE_TYPE when nothing claims it, the Win32 "file not
// found" code when a file cannot be opened and no extension claims it, VFW_E_INVALID_CLSID for a
// registration whose "Source Filter" is not a class identifier.
HRESULT ChooseSource(const std::u16string& target, SourceChoice& choice);

// Whether one check value ("0,4,,52494646 ...") matches the file's bytes. `head` holds the
// first bytes of the file, `tail` the last ones, `fileSize` its length.
bool CheckBytesMatch(const std::string& check, const std::vector<BYTE>& head,
                     const std::vector<BYTE>& tail, uint64_t fileSize);
