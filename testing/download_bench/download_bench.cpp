// download_bench URL LOCAL_PATH: downloads URL to LOCAL_PATH with the updater's own routine
// and prints "result <code> ms <elapsed> bytes <size>". Exit code: the download's result.
#include <windows.h>

#include <chrono>
#include <cstdio>

#include "updater/download_url.h"
#include "updater/win32/wininet_transfer.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: download_bench URL LOCAL_PATH\n");
        return 2;
    }
    dp::WinInetTransfer transfer;
    const auto start = std::chrono::steady_clock::now();
    const dp::DownloadResult result = dp::DownloadUrl(transfer, argv[1], argv[2], nullptr);
    const auto elapsed = std::chrono::steady_clock::now() - start;

    WIN32_FILE_ATTRIBUTE_DATA data{};
    unsigned long long size = 0;
    if (::GetFileAttributesExW(argv[2], GetFileExInfoStandard, &data))
        size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    std::printf("result %d ms %lld bytes %llu\n", static_cast<int>(result),
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()),
                size);
    return static_cast<int>(result);
}
