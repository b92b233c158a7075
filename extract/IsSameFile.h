#pragma once

#include "CString.h"

#include <string>

// True when both paths name one existing file, however they are spelled:
// other case, "..", a short name or a hard link. False when either is
// missing or cannot be opened.
bool IsSameFile(const CString& first, const CString& second);
bool IsSameFile(const std::wstring& first, const std::wstring& second);
