// download_bench [--bare] URL LOCAL_PATH: downloads URL to LOCAL_PATH and prints
// "result <code> ms <elapsed> bytes <size>". Exit code: the result (0 on success).
//
// Without --bare it runs the updater's own routine (DownloadUrl over WinINet, no dialog).
// With --bare it runs the least a WinINet download can do: one InternetOpenUrlW, then
// InternetReadFile blocks of the updater's size written with WriteFile. That is the floor the
// benchmark compares the updater with (testing/bench_download.py).
#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "framework/win32/handles.h"
#include "updater/download_url.h"
#include "updater/win32/internet_handle.h"
#include "updater/win32/wininet_transfer.h"

namespace {

int BareDownload(const wchar_t* url, const wchar_t* path) {
    dp::UniqueInternetHandle session(
        ::InternetOpenW(L"download_bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session)
        return 4;
    dp::UniqueInternetHandle request(
        ::InternetOpenUrlW(session.get(), url, nullptr, 0, dp::kDownloadRequestFlags, 0));
    if (!request)
        return 1;
    dp::UniqueFileHandle file(::CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 2;
    std::vector<BYTE> buffer(dp::kReadBlockBytes);
    for (;;) {
        DWORD read = 0;
        if (!::InternetReadFile(request.get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                &read))
            return 3;
        if (read == 0)
            return 0;
        DWORD written = 0;
        if (!::WriteFile(file.get(), buffer.data(), read, &written, nullptr) || written != read)
            return 2;
    }
}

int UpdaterDownload(const wchar_t* url, const wchar_t* path) {
    dp::WinInetTransfer transfer;
    return static_cast<int>(dp::DownloadUrl(transfer, url, path, nullptr));
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const bool bare = argc == 4 && std::wcscmp(argv[1], L"--bare") == 0;
    if (argc != 3 && !bare) {
        std::fprintf(stderr, "usage: download_bench [--bare] URL LOCAL_PATH\n");
        return 2;
    }
    const wchar_t* url = argv[argc - 2];
    const wchar_t* path = argv[argc - 1];
    const auto start = std::chrono::steady_clock::now();
    const int result = bare ? BareDownload(url, path) : UpdaterDownload(url, path);
    const auto elapsed = std::chrono::steady_clock::now() - start;

    WIN32_FILE_ATTRIBUTE_DATA data{};
    unsigned long long size = 0;
    if (::GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    std::printf("result %d ms %lld bytes %llu\n", result,
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()),
                size);
    return result;
}
