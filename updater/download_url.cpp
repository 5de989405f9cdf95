#include "updater/download_url.h"

#include "updater/download_naming.h"
#include "updater/download_progress.h"

#include <algorithm>
#include <string>
#include <vector>

namespace dp {

namespace {

constexpr std::uint32_t kHttpStatusOk = 200;

// The figures of one block: the bytes received so far and the interval its rate is taken over.
struct BlockFigures {
    std::uint64_t received = 0;
    std::uint32_t elapsedMs = kFirstElapsedMs;
};

// Shows block figures on the display at the pace DisplayRefreshDue allows, and keeps the last
// ones not yet shown so that the transfer always ends showing its last block.
class PacedDisplay {
public:
    PacedDisplay(DownloadDisplay* display, std::uint32_t total)
        : display_(display), total_(total) {}

    void Block(const BlockFigures& figures, std::uint32_t nowMs) {
        if (!display_)
            return;
        if (!DisplayRefreshDue(lastShownMs_, nowMs)) {
            unshown_ = figures;
            return;
        }
        lastShownMs_ = nowMs;
        unshown_.reset();
        Show(figures);
    }

    void ShowUnshown() {
        if (!unshown_)
            return;
        const BlockFigures figures = *unshown_;
        unshown_.reset();
        Show(figures);
    }

private:
    void Show(BlockFigures figures) {
        if (total_ != 0) {
            display_->ShowProgress(ProgressPosition(figures.received, total_));
            display_->Repaint();
        }
        display_->ShowTransferText(FormatTransferText(
            figures.received, total_, TransferRateKBps(figures.received, figures.elapsedMs)));
        display_->Repaint();
    }

    DownloadDisplay* display_;
    std::uint32_t total_;
    std::optional<std::uint32_t> lastShownMs_;
    std::optional<BlockFigures> unshown_;
};

enum class BodyEnd { Complete, ReadFailed, WriteFailed, LongerThanAnnounced };

// Copies the body block by block. The rate shown for a block uses the time measured after the
// previous one (kFirstElapsedMs before the first measurement).
BodyEnd CopyBlocks(InternetRequest& request, LocalFile& file, TransferPlatform& platform,
                   std::uint32_t total, PacedDisplay& display, std::uint64_t& received) {
    std::vector<std::byte> buffer(kReadBlockBytes);
    std::uint32_t elapsedMs = kFirstElapsedMs;
    const std::uint32_t startMs = platform.Milliseconds();
    for (;;) {
        const auto count = request.Read(buffer);
        if (!count)
            return BodyEnd::ReadFailed;
        if (*count == 0)
            return BodyEnd::Complete;
        const std::size_t size = std::min(*count, buffer.size());
        if (!file.Write(std::span<const std::byte>(buffer.data(), size)))
            return BodyEnd::WriteFailed;
        received += size;
        const std::uint32_t nowMs = platform.Milliseconds();
        display.Block({received, elapsedMs}, nowMs);
        // More than announced can never become a complete body: stop instead of reading on.
        if (received > total)
            return BodyEnd::LongerThanAnnounced;
        elapsedMs = ElapsedMs(startMs, nowMs);
    }
}

DownloadResult CopyBody(InternetRequest& request, LocalFile& file, TransferPlatform& platform,
                        std::uint32_t total, DownloadDisplay* display) {
    PacedDisplay paced(display, total);
    std::uint64_t received = 0;
    const BodyEnd end = CopyBlocks(request, file, platform, total, paced, received);
    paced.ShowUnshown();
    if (end == BodyEnd::Complete) {
        const bool stored = file.Close();
        if (display)
            display->Repaint();
        if (!stored)
            return DownloadResult::BadStatusOrFile;
        return IsCompleteBody(received, total) ? DownloadResult::Success
                                               : DownloadResult::ReadFailed;
    }
    file.Close();
    return end == BodyEnd::WriteFailed ? DownloadResult::BadStatusOrFile
                                       : DownloadResult::ReadFailed;
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
