#include "updater/download_url.h"

#include "updater/download_naming.h"
#include "updater/download_progress.h"

#include <algorithm>
#include <string>
#include <vector>

namespace dp {

namespace {

constexpr std::uint32_t kHttpStatusOk = 200;

void ShowBlockProgress(DownloadDisplay& display, std::uint64_t received, std::uint32_t total,
                       std::uint32_t elapsedMs) {
    if (total != 0) {
        display.ShowProgress(ProgressPosition(received, total));
        display.Repaint();
    }
    display.ShowTransferText(
        FormatTransferText(received, total, TransferRateKBps(received, elapsedMs)));
    display.Repaint();
}

DownloadResult FinishBody(LocalFile& file, DownloadDisplay* display, std::uint64_t received,
                          std::uint32_t total) {
    const bool stored = file.Close();
    if (display)
        display->Repaint();
    if (!stored)
        return DownloadResult::BadStatusOrFile;
    return IsCompleteBody(received, total) ? DownloadResult::Success : DownloadResult::ReadFailed;
}

// Copies the body block by block. The rate shown after a block uses the time measured after
// the previous one (kFirstElapsedMs before the first measurement).
DownloadResult CopyBody(InternetRequest& request, LocalFile& file, TransferPlatform& platform,
                        std::uint32_t total, DownloadDisplay* display) {
    std::vector<std::byte> buffer(kReadBlockBytes);
    std::uint32_t elapsedMs = kFirstElapsedMs;
    const std::uint32_t startMs = platform.Milliseconds();
    std::uint64_t received = 0;
    for (;;) {
        const auto count = request.Read(buffer);
        if (!count) {
            file.Close();
            return DownloadResult::ReadFailed;
        }
        if (*count == 0)
            return FinishBody(file, display, received, total);
        const std::size_t size = std::min(*count, buffer.size());
        if (!file.Write(std::span<const std::byte>(buffer.data(), size))) {
            file.Close();
            return DownloadResult::BadStatusOrFile;
        }
        received += size;
        if (display)
            ShowBlockProgress(*display, received, total, elapsedMs);
        // More than announced can never become a complete body: stop instead of reading on.
        if (received > total) {
            file.Close();
            return DownloadResult::ReadFailed;
        }
        elapsedMs = ElapsedMs(startMs, platform.Milliseconds());
    }
}

} // namespace

std::wstring UserAgentFor(std::uint32_t milliseconds) {
    return L"Agent" + std::to_wstring(static_cast<std::int32_t>(milliseconds));
}

std::uint32_t AccessTypeFor(std::uint32_t connectedStateFlags) {
    return (connectedStateFlags & kInternetConnectionProxy) ? kOpenTypePreconfig
                                                            : kOpenTypePreconfigWithNoAutoproxy;
}

DownloadResult DownloadUrl(TransferPlatform& platform, std::wstring_view url,
                           std::wstring_view localPath, DownloadDisplay* display,
                           std::uint32_t maxBytes) {
    const std::uint32_t flags = platform.ConnectedStateFlags();
    if (flags & kInternetConnectionOffline)
        return DownloadResult::Offline;
    const std::wstring agent = UserAgentFor(platform.Milliseconds());
    const auto session = platform.OpenSession(agent, AccessTypeFor(flags));
    if (!session)
        return DownloadResult::Offline;
    return DownloadToFile(*session, platform, url, localPath, display, maxBytes);
}

DownloadResult DownloadToFile(InternetSession& session, TransferPlatform& platform,
                              std::wstring_view url, std::wstring_view localPath,
                              DownloadDisplay* display, std::uint32_t maxBytes) {
    const auto request =
        session.OpenUrl(EncodeUrlForRequest(url), kDownloadRequestHeaders, kDownloadRequestFlags);
    if (!request)
        return DownloadResult::UrlNotOpened;
    if (request->QueryNumber(kQueryStatusCodeNumber).value_or(0) != kHttpStatusOk)
        return DownloadResult::BadStatusOrFile;
    const auto total = request->QueryNumber(kQueryContentLengthNumber);
    if (!total)
        return DownloadResult::UrlNotOpened;
    if (*total > maxBytes)
        return DownloadResult::BadStatusOrFile;
    const auto file = platform.CreateLocalFile(localPath);
    if (!file)
        return DownloadResult::BadStatusOrFile;
    return CopyBody(*request, *file, platform, *total, display);
}

} // namespace dp
