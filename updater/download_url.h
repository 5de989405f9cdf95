// Fetching one URL into a local file over the system's internet API, with progress display.
// The decisions (headers, flags, result codes, byte accounting, progress) are made here; the
// interfaces below are the thin platform side (WinINet, the C runtime's files, the dialog).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace dp {

// Shown to the user as "return code".
enum class DownloadResult : int {
    Success = 0,
    UrlNotOpened = 1,    // the URL could not be opened, or no numeric Content-Length
    BadStatusOrFile = 2, // status other than 200, a body over the caller's limit, or the local
                         // file cannot be created (another writer has it) or written
    ReadFailed = 3,      // a read failed or the body is not the announced length; file left
    Offline = 4,         // the system reports itself offline, or no internet session
};

// WinINet values, spelt as the platform headers spell them (the glue checks they match).
inline constexpr std::uint32_t kInternetConnectionProxy = 0x04;   // INTERNET_CONNECTION_PROXY
inline constexpr std::uint32_t kInternetConnectionOffline = 0x20; // INTERNET_CONNECTION_OFFLINE
inline constexpr std::uint32_t kOpenTypePreconfig = 0;            // INTERNET_OPEN_TYPE_PRECONFIG
inline constexpr std::uint32_t kOpenTypePreconfigWithNoAutoproxy = 4;
// INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE
inline constexpr std::uint32_t kDownloadRequestFlags = 0x84000100;
// HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, HTTP_QUERY_CONTENT_LENGTH | ..._NUMBER
inline constexpr std::uint32_t kQueryStatusCodeNumber = 0x20000013;
inline constexpr std::uint32_t kQueryContentLengthNumber = 0x20000005;
// Sent with every request, its length (15) passed explicitly.
inline constexpr std::wstring_view kDownloadRequestHeaders = L"Accept: */*\r\n\r\n";
// Bodies are read in blocks of this size into one buffer and written straight to the file.
inline constexpr std::size_t kReadBlockBytes = 102400;
// The size limit of a download that has none of its own: any length a response can announce.
inline constexpr std::uint32_t kNoSizeLimit = 0xFFFFFFFF;
// How long connecting, sending and each receive may take before the request fails, so that a
// server that accepts and never answers cannot hold the dialog open.
inline constexpr std::uint32_t kTransferTimeoutMs = 30000;

// One opened URL: its response headers and its body.
class InternetRequest {
public:
    virtual ~InternetRequest() = default;
    // A response header read as a number (HttpQueryInfoW with the flag for numbers); empty
    // when the query fails.
    virtual std::optional<std::uint32_t> QueryNumber(std::uint32_t infoLevel) = 0;
    // Reads the next part of the body into buffer: the number of bytes read (0 at the end of
    // the body), or empty when the read fails.
    virtual std::optional<std::size_t> Read(std::span<std::byte> buffer) = 0;
};

// An internet session; destroying it closes the session and every request opened with it.
class InternetSession {
public:
    virtual ~InternetSession() = default;
    // Opens url with the extra headers and request flags; null when it cannot be opened.
    virtual std::unique_ptr<InternetRequest>
    OpenUrl(std::wstring_view url, std::wstring_view headers, std::uint32_t flags) = 0;
};

// A local file opened for writing (binary, truncated).
class LocalFile {
public:
    virtual ~LocalFile() = default;
    virtual bool Write(std::span<const std::byte> bytes) = 0;
    // Flushes and closes; false when the data could not all be stored.
    virtual bool Close() = 0;
};

// What a download needs from the platform.
class TransferPlatform {
public:
    virtual ~TransferPlatform() = default;
    // The flags InternetGetConnectedState reports (whatever it returns).
    virtual std::uint32_t ConnectedStateFlags() = 0;
    // Opens an internet session with this user agent and access type; null on failure.
    virtual std::unique_ptr<InternetSession> OpenSession(std::wstring_view agent,
                                                         std::uint32_t accessType) = 0;
    // Creates (or empties) the file at path for writing; null on failure, also while another
    // writer has it open. Others may read it meanwhile, but not write it.
    virtual std::unique_ptr<LocalFile> CreateLocalFile(std::wstring_view path) = 0;
    // Milliseconds since system start, a wrapping 32-bit count.
    virtual std::uint32_t Milliseconds() = 0;
};

// Where a download shows its progress: a progress bar (0..100) and a transfer text.
class DownloadDisplay {
public:
    virtual ~DownloadDisplay() = default;
    virtual void ShowProgress(int position) = 0;
    virtual void ShowTransferText(std::wstring_view text) = 0;
    virtual void Repaint() = 0;
};

// "Agent<ms>" with the millisecond count printed as a signed 32-bit number.
std::wstring UserAgentFor(std::uint32_t milliseconds);

// The access type for the connected-state flags: preconfigured when the system reaches the
// internet through a proxy, otherwise preconfigured without automatic proxy detection.
std::uint32_t AccessTypeFor(std::uint32_t connectedStateFlags);

// Checks the connection, opens a session, downloads url to localPath, closes the session.
// display may be null: nothing is shown then. A response announcing more than maxBytes is
// refused with BadStatusOrFile before any file is created (the body can never outgrow what
// was announced: that ends with ReadFailed).
DownloadResult DownloadUrl(TransferPlatform& platform, std::wstring_view url,
                           std::wstring_view localPath, DownloadDisplay* display,
                           std::uint32_t maxBytes = kNoSizeLimit);

// Downloads url to localPath within an open session.
DownloadResult DownloadToFile(InternetSession& session, TransferPlatform& platform,
                              std::wstring_view url, std::wstring_view localPath,
                              DownloadDisplay* display, std::uint32_t maxBytes = kNoSizeLimit);

} // namespace dp
