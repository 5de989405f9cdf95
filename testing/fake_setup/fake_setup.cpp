// A setup program for the updater's end-to-end tests: records how it was started, then ends.
// The record goes next to the program, as "<program path>.txt", written to a temporary name
// first and renamed, so a test never reads half a record.
//   /EXIT=<n>       ends with exit code n
//   /FREE=<path>    waits, as the installer does, until that file can be opened for writing
//                   (at most 10 s); still held, it ends with code 3, the installer's "in use"
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::wstring ModulePath() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return L"";
        if (length < path.size())
            return std::wstring(path.data(), length);
        path.resize(path.size() * 2);
    }
}

std::string Utf8(const std::wstring& text) {
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                            nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                          bytes, nullptr, nullptr);
    return utf8;
}

bool WriteRecord(const std::wstring& path, const std::string& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok =
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    ::CloseHandle(file);
    return ok;
}

// The text after "<name>" up to the next blank (or the end); empty when the switch is missing.
std::wstring SwitchValue(const std::wstring& line, const std::wstring& name) {
    const std::size_t at = line.find(name);
    if (at == std::wstring::npos)
        return L"";
    const std::size_t start = at + name.size();
    return line.substr(start, line.find(L' ', start) - start);
}

bool FileIsFree(const std::wstring& path) {
    for (int i = 0; i < 100; ++i) {
        HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file);
            return true;
        }
        ::Sleep(100);
    }
    return false;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring record = ModulePath() + L".txt";
    const std::wstring partial = record + L".part";
    const std::wstring line = ::GetCommandLineW();
    const std::wstring mustBeFree = SwitchValue(line, L"/FREE=");
    const bool held = !mustBeFree.empty() && !FileIsFree(mustBeFree);
    if (!WriteRecord(partial, Utf8(line)))
        return 1;
    if (!::MoveFileExW(partial.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING))
        return 1;
    if (held)
        return 3;
    return static_cast<int>(wcstol(SwitchValue(line, L"/EXIT=").c_str(), nullptr, 10));
}
