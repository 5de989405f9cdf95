// The web addresses the program shows or hands to the updater, from "URLinfo.ini".
#pragma once

#include <string>

#include "settings/key_value_store.h"

namespace dp {

// The default of every entry.
inline constexpr wchar_t kVendorHomeUrl[] = L"http://www.example.com/duskpanel/";
// An address has at most kUrlBufferChars - 1 characters; a longer value gives the default.
inline constexpr std::size_t kUrlBufferChars = 2048;

struct UrlTable {
    std::wstring homeUrl;
    std::wstring supportUrl;
    std::wstring updateUrl;
};

// One file only: the language folder's "URLinfo.ini" when it exists, else the install folder's.
UrlTable LoadUrlTable(IniStore& ini, const std::wstring& languageFolder,
                      const std::wstring& installFolder);

} // namespace dp
