// The process-wide debug output. Silent by default; with RECAST_DEBUG=1 in the environment
// every text goes to stderr; a test may install a capture that receives every text instead.
#pragma once

#include <functional>
#include <string_view>

#include "WinTypes.h"

void OutputDebugStringA(LPCSTR text);
// Converted to UTF-8 and passed on like OutputDebugStringA.
void OutputDebugStringW(LPCWSTR text);

// Receives each text exactly as given (no newline added). Installing replaces the previous
// capture; an empty function removes it. Called from whatever thread writes the text.
using DebugCapture = std::function<void(std::string_view text)>;
void SetDebugCapture(DebugCapture capture);
