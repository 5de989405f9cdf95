#include "settings/win32/data_folders.h"

#include <windows.h>
#include <sddl.h>
#include <shlwapi.h>

#include "framework/win32/handles.h"

namespace dp {

bool CreateDirectoryPath(const std::wstring& path) {
    if (path.empty())
        return false;
    std::wstring copy = path;
    if (::PathFileExistsW(copy.c_str()))
        return true;
    if (copy.back() != L'\\')
        copy.push_back(L'\\');
    for (std::size_t slash = copy.find(L'\\'); slash != std::wstring::npos;
         slash = copy.find(L'\\', slash + 1)) {
        std::wstring prefix = copy.substr(0, slash);
        if (prefix.empty())
            continue; // a leading backslash names the current drive's root
        if (!::PathFileExistsW(prefix.c_str()) && !::CreateDirectoryW(prefix.c_str(), nullptr))
            return false;
    }
    return true;
}

void* MakeEveryoneFullAccessDescriptor() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            kEveryoneFullAccessSddl, SDDL_REVISION_1, &descriptor, nullptr))
        return nullptr;
    return descriptor;
}

bool CreateSharedDirectory(const std::wstring& path) {
    std::wstring folder = path;
    if (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    if (::GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    std::size_t slash = folder.rfind(L'\\');
    if (slash == std::wstring::npos)
        return true;
    if (!CreateSharedDirectory(folder.substr(0, slash)))
        return false;
    UniqueLocal descriptor(MakeEveryoneFullAccessDescriptor());
    if (!descriptor)
        return false;
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = descriptor.get();
    attributes.bInheritHandle = FALSE;
    return ::CreateDirectoryW(folder.c_str(), &attributes) != FALSE;
}

} // namespace dp
