// Delivery of a multiplexer's bytes to the "File writer": samples whose start and stop times are
// the byte range they occupy in the file, so the writer can also go back and patch.
#pragma once

#include <cstdint>

#include "Filter.h"

// Splits the bytes over as many of the pin's buffers as needed. The downstream's refusal
// (S_FALSE) is a failure here: the file would miss bytes.
HRESULT DeliverBytesAt(CBaseOutputPin& pin, int64_t position, const uint8_t* data, int length);
