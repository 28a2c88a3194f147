// The recorder file source's claim on recorder files: by the magic at offset 0 (check bytes
// under HKCR\Media Type\{MEDIATYPE_Stream}\{MEDIASUBTYPE_RecorderStream}) and by extension
// (".mp4", ".264", ".qrl" under HKCR\Media Type\Extensions), each naming the source class.
#pragma once

#include "Guid.h"
#include "HResult.h"

namespace vendor {

// Writes every entry; the first failure is returned.
HRESULT RegisterRecorderFiles(REFCLSID sourceClass);
// Removes the entries; missing entries are no failure.
HRESULT UnregisterRecorderFiles();

}  // namespace vendor
