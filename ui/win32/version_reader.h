// Reads the string values of the running program's own version resource.
#pragma once

#include <string>

#include "ui/about_texts.h"

namespace dp {

// Fills the fields found in the first translation of the running program's version resource;
// fields not found keep their values. False when the program has no readable version resource.
bool ReadVersionInfo(VersionInfo& info);
// The same for any file.
bool ReadVersionInfoOf(const std::wstring& path, VersionInfo& info);

} // namespace dp
