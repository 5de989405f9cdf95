// The setup program's name and command line, taken from the update INI's "download_path"
// (first line) and "setup_param" (the rest).
#include "fuzz/fuzz_text.h"
#include "settings/ini_text.h"
#include "updater/download_naming.h"

namespace {

constexpr wchar_t kTempFolder[] = L"C:\\Users\\me\\AppData\\Local\\Temp";

void CheckCommandLine(const std::wstring& setupPath, std::wstring_view setupParam) {
    const auto line = dp::BuildSetupCommandLine(setupPath, setupParam);
    if (!line)
        return;
    DP_FUZZ_CHECK(line->size() < dp::kMaxCommandLineChars);
    // The system takes the program from the first quoted stretch.
    if (setupPath.find(L'"') == std::wstring::npos)
        DP_FUZZ_CHECK(line->substr(1, line->find(L'"', 1) - 1) == setupPath);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = dp::fuzz::WideText(data, size);
    const auto [url, setupParam] = dp::fuzz::SplitAtLineFeed(text);

    const std::wstring name = dp::FileNameFromUrl(url);
    // The last backslash wins, so a slash may remain after it ("a\\b/c" gives "b/c"); the
    // plain-name check below is what keeps such a name from becoming a path.
    DP_FUZZ_CHECK(name.find_first_of(L"\\?#") == std::wstring::npos);
    DP_FUZZ_CHECK(url.substr(0, url.find_first_of(L"?#")).ends_with(name));
    if (!dp::IsPlainFileName(name))
        return 0;
    DP_FUZZ_CHECK(name.find_first_of(L"\\/") == std::wstring::npos);

    // A name that passes stays a file directly inside the temporary folder.
    const std::wstring setupPath = dp::SetupFilePath(kTempFolder, name);
    const dp::SplitPath parts = dp::SplitFilePath(setupPath);
    DP_FUZZ_CHECK(parts.drive + parts.folder == std::wstring(kTempFolder) + L"\\");
    DP_FUZZ_CHECK(parts.baseName + parts.extension == name);
    CheckCommandLine(setupPath, setupParam);
    return 0;
}
