// Scripted stand-ins for the platform side of a download: a server that answers per URL,
// local files kept in memory, and a millisecond clock that reads from a list.
#pragma once

#include "updater/download_url.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace dp {

inline void PrintTo(DownloadResult result, std::ostream* os) {
    *os << "DownloadResult(" << static_cast<int>(result) << ")";
}

namespace fake {

struct Response {
    std::optional<std::uint32_t> status = 200;  // empty: the status query fails
    std::optional<std::uint32_t> contentLength; // empty: no Content-Length (e.g. chunked)
    std::string body;
    std::optional<std::size_t> failReadAfter; // bytes delivered before a read fails
    std::size_t largestRead = std::numeric_limits<std::size_t>::max();
};

// 200 with a Content-Length that matches the body.
inline Response Ok(std::string body) {
    Response response;
    response.contentLength = static_cast<std::uint32_t>(body.size());
    response.body = std::move(body);
    return response;
}

inline Response Status(std::uint32_t status) {
    Response response = Ok("<html>not here</html>");
    response.status = status;
    return response;
}

class Request : public InternetRequest {
public:
    explicit Request(Response response) : response_(std::move(response)) {}

    std::optional<std::uint32_t> QueryNumber(std::uint32_t infoLevel) override {
        if (infoLevel == kQueryStatusCodeNumber)
            return response_.status;
        if (infoLevel == kQueryContentLengthNumber)
            return response_.contentLength;
        return std::nullopt;
    }

    std::optional<std::size_t> Read(std::span<std::byte> buffer) override {
        std::size_t end = response_.body.size();
        if (response_.failReadAfter) {
            if (position_ >= *response_.failReadAfter)
                return std::nullopt;
            end = std::min(end, *response_.failReadAfter);
        }
        const std::size_t count = std::min({buffer.size(), response_.largestRead, end - position_});
        std::transform(response_.body.begin() + static_cast<std::ptrdiff_t>(position_),
                       response_.body.begin() + static_cast<std::ptrdiff_t>(position_ + count),
                       buffer.begin(), [](char c) { return static_cast<std::byte>(c); });
        position_ += count;
        return count;
    }

private:
    Response response_;
    std::size_t position_ = 0;
};

struct OpenedUrl {
    std::wstring url;
    std::wstring headers;
    std::uint32_t flags = 0;
};

struct OpenedSession {
    std::wstring agent;
    std::uint32_t accessType = 0;
};

struct StoredFile {
    std::string content;
    bool closed = false;
};

struct Platform;

class Session : public InternetSession {
public:
    explicit Session(Platform& platform) : platform_(platform) {}
    std::unique_ptr<InternetRequest> OpenUrl(std::wstring_view url, std::wstring_view headers,
                                             std::uint32_t flags) override;

private:
    Platform& platform_;
};

class File : public LocalFile {
public:
    File(StoredFile& stored, std::optional<std::size_t> writableBytes, bool closeFails)
        : stored_(stored), writableBytes_(writableBytes), closeFails_(closeFails) {}

    bool Write(std::span<const std::byte> bytes) override {
        if (writableBytes_ && stored_.content.size() + bytes.size() > *writableBytes_)
            return false;
        for (std::byte b : bytes)
            stored_.content.push_back(static_cast<char>(b));
        return true;
    }
    bool Close() override {
        stored_.closed = true;
        return !closeFails_;
    }

private:
    StoredFile& stored_;
    std::optional<std::size_t> writableBytes_;
    bool closeFails_;
};

// The platform a download runs against. URLs without a response cannot be opened.
struct Platform : TransferPlatform {
    std::uint32_t connectedFlags = 0x12; // LAN, RAS installed: what Wine reports
    bool sessionOpens = true;
    std::map<std::wstring, Response> responses;
    std::set<std::wstring> uncreatablePaths;
    std::optional<std::size_t> writableBytes; // a disk that fills up
    bool closeFails = false;
    std::vector<std::uint32_t> ticks = {1000}; // the clock; the last value repeats

    std::vector<OpenedSession> sessions;
    std::vector<OpenedUrl> openedUrls;
    std::map<std::wstring, StoredFile> files;

    std::uint32_t ConnectedStateFlags() override { return connectedFlags; }
    std::unique_ptr<InternetSession> OpenSession(std::wstring_view agent,
                                                 std::uint32_t accessType) override {
        sessions.push_back({std::wstring(agent), accessType});
        if (!sessionOpens)
            return nullptr;
        return std::make_unique<Session>(*this);
    }
    std::unique_ptr<LocalFile> CreateLocalFile(std::wstring_view path) override {
        const std::wstring key(path);
        if (uncreatablePaths.count(key))
            return nullptr;
        files[key] = StoredFile{};
        return std::make_unique<File>(files[key], writableBytes, closeFails);
    }
    std::uint32_t Milliseconds() override {
        const std::uint32_t now = ticks[std::min(tickIndex_, ticks.size() - 1)];
        ++tickIndex_;
        return now;
    }

private:
    std::size_t tickIndex_ = 0;
};

inline std::unique_ptr<InternetRequest>
Session::OpenUrl(std::wstring_view url, std::wstring_view headers, std::uint32_t flags) {
    platform_.openedUrls.push_back({std::wstring(url), std::wstring(headers), flags});
    const auto found = platform_.responses.find(std::wstring(url));
    if (found == platform_.responses.end())
        return nullptr;
    return std::make_unique<Request>(found->second);
}

// Records what a download shows, one line per call.
struct Display : DownloadDisplay {
    std::vector<std::wstring> shown;
    void ShowProgress(int position) override {
        shown.push_back(L"progress " + std::to_wstring(position));
    }
    void ShowTransferText(std::wstring_view text) override {
        shown.push_back(L"text " + std::wstring(text));
    }
    void Repaint() override { shown.push_back(L"repaint"); }
};

} // namespace fake
} // namespace dp
