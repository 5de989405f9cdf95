// An owner for WinINet handles (sessions, connections, requests), in the style of
// framework/win32/handles.h. Kept here so that only the updater pulls in <wininet.h>.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "framework/win32/handles.h"

namespace dp {

namespace detail {
inline void CloseInternetHandle(HINTERNET handle) {
    ::InternetCloseHandle(handle);
}
} // namespace detail

using UniqueInternetHandle =
    UniqueResource<detail::NullTraits<HINTERNET, detail::CloseInternetHandle>>;

} // namespace dp
