// Registry entries of libRecorderFilters: the class keys of its three filters, and the file
// source's claim on recorder files, by the magic at offset 0 (check bytes under
// HKCR\Media Type\{MEDIATYPE_Stream}\{MEDIASUBTYPE_RecorderStream}) and by extension (under
// HKCR\Media Type\Extensions).
#pragma once

#include <string>

#include "HResult.h"

namespace vendor {

// Writes every entry; `modulePath` is this module's file. The first failure is returned.
HRESULT RegisterRecorderFilters(const std::string& modulePath);
// Removes every entry written by RegisterRecorderFilters; missing entries are no failure.
HRESULT UnregisterRecorderFilters();

}  // namespace vendor
