#include "updater/win32/wininet_transfer.h"

#include <windows.h>
#include <mmsystem.h>
#include <wininet.h>

#include <algorithm>
#include <string>

#include "framework/win32/handles.h"
#include "updater/win32/internet_handle.h"

namespace dp {

static_assert(kInternetConnectionProxy == INTERNET_CONNECTION_PROXY);
static_assert(kInternetConnectionOffline == INTERNET_CONNECTION_OFFLINE);
static_assert(kOpenTypePreconfig == INTERNET_OPEN_TYPE_PRECONFIG);
static_assert(kOpenTypePreconfigWithNoAutoproxy == INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY);
static_assert(kDownloadRequestFlags ==
              (INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE));
static_assert(kQueryStatusCodeNumber == (HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER));
static_assert(kQueryContentLengthNumber == (HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER));

namespace {

// A URL opened either through a connection of its own (HTTP and HTTPS) or directly.
// Members are destroyed in reverse order: the request is closed before its connection.
class WinInetRequest : public InternetRequest {
public:
    WinInetRequest(UniqueInternetHandle connection, UniqueInternetHandle request)
        : connection_(std::move(connection)), request_(std::move(request)) {}

    std::optional<std::uint32_t> QueryNumber(std::uint32_t infoLevel) override {
        DWORD value = 0;
        DWORD size = sizeof(value);
        if (!::HttpQueryInfoW(request_.get(), infoLevel, &value, &size, nullptr))
            return std::nullopt;
        return value;
    }

    std::optional<std::size_t> Read(std::span<std::byte> buffer) override {
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), MAXDWORD));
        DWORD read = 0;
        if (!::InternetReadFile(request_.get(), buffer.data(), wanted, &read))
            return std::nullopt;
        return read;
    }

private:
    UniqueInternetHandle connection_;
    UniqueInternetHandle request_;
};

// Under Wine, time-outs only take effect on a connection handle used for HttpOpenRequestW;
// on the session they still cover what InternetOpenUrlW opens on Windows itself.
void SetTimeouts(HINTERNET handle, std::uint32_t timeoutMs) {
    DWORD value = timeoutMs;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        // Without a time-out the transfer still works, only unbounded: nothing to report.
        ::InternetSetOptionW(handle, option, &value, sizeof(value));
    }
}

std::wstring Component(const wchar_t* text, DWORD length) {
    return text ? std::wstring(text, length) : std::wstring();
}

const wchar_t* OrNull(const std::wstring& text) {
    return text.empty() ? nullptr : text.c_str();
}

class WinInetSession : public InternetSession {
public:
    WinInetSession(UniqueInternetHandle session, std::uint32_t timeoutMs)
        : session_(std::move(session)), timeoutMs_(timeoutMs) {}

    std::unique_ptr<InternetRequest> OpenUrl(std::wstring_view url, std::wstring_view headers,
                                             std::uint32_t flags) override {
        const std::wstring target(url);
        const std::wstring extraHeaders(headers);
        URL_COMPONENTSW parts{};
        parts.dwStructSize = sizeof(parts);
        // Non-zero lengths without buffers: the components are pointed to inside target, as
        // they stand (the core has already encoded the URL; nothing is decoded here).
        parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUserNameLength = 1;
        parts.dwPasswordLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
        if (::InternetCrackUrlW(target.c_str(), static_cast<DWORD>(target.size()), 0, &parts) &&
            (parts.nScheme == INTERNET_SCHEME_HTTP || parts.nScheme == INTERNET_SCHEME_HTTPS))
            return OpenHttp(parts, extraHeaders, flags);
        HINTERNET request = ::InternetOpenUrlW(session_.get(), target.c_str(), extraHeaders.c_str(),
                                               static_cast<DWORD>(extraHeaders.size()), flags, 0);
        if (!request)
            return nullptr;
        return std::make_unique<WinInetRequest>(UniqueInternetHandle(),
                                                UniqueInternetHandle(request));
    }

private:
    // The request InternetOpenUrlW would send (same method, object, version, accepted types,
    // headers and flags, redirects followed by HttpSendRequestW), built from its parts so that
    // the connection handle can carry the time-outs.
    std::unique_ptr<InternetRequest> OpenHttp(const URL_COMPONENTSW& parts,
                                              const std::wstring& headers, std::uint32_t flags) {
        const std::wstring host = Component(parts.lpszHostName, parts.dwHostNameLength);
        const std::wstring user = Component(parts.lpszUserName, parts.dwUserNameLength);
        const std::wstring password = Component(parts.lpszPassword, parts.dwPasswordLength);
        std::wstring object = Component(parts.lpszUrlPath, parts.dwUrlPathLength) +
                              Component(parts.lpszExtraInfo, parts.dwExtraInfoLength);
        if (object.empty())
            object = L"/";

        UniqueInternetHandle connection(
            ::InternetConnectW(session_.get(), host.c_str(), parts.nPort, OrNull(user),
                               OrNull(password), INTERNET_SERVICE_HTTP, 0, 0));
        if (!connection)
            return nullptr;
        SetTimeouts(connection.get(), timeoutMs_);

        const DWORD requestFlags =
            flags | (parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0);
        const wchar_t* acceptTypes[] = {L"*/*", nullptr};
        UniqueInternetHandle request(::HttpOpenRequestW(connection.get(), L"GET", object.c_str(),
                                                        nullptr, nullptr, acceptTypes, requestFlags,
                                                        0));
        if (!request)
            return nullptr;
        // Added before sending, beside the accepted type, rather than given to the send
        // (which would replace it): InternetOpenUrlW puts both on the wire.
        if (!headers.empty() &&
            !::HttpAddRequestHeadersW(request.get(), headers.c_str(),
                                      static_cast<DWORD>(headers.size()), HTTP_ADDREQ_FLAG_ADD))
            return nullptr;
        if (!::HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0))
            return nullptr;
        return std::make_unique<WinInetRequest>(std::move(connection), std::move(request));
    }

    UniqueInternetHandle session_;
    std::uint32_t timeoutMs_;
};

// Written through the handle as the blocks arrive (they are large already). The handle shares
// reading only, so a second writer of the same name fails instead of mixing its bytes in.
class SharedForReadingFile : public LocalFile {
public:
    explicit SharedForReadingFile(UniqueFileHandle file) : file_(std::move(file)) {}

    bool Write(std::span<const std::byte> bytes) override {
        while (!bytes.empty() && file_) {
            const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), MAXDWORD));
            DWORD written = 0;
            if (!::WriteFile(file_.get(), bytes.data(), wanted, &written, nullptr) || written == 0)
                return false;
            bytes = bytes.subspan(written);
        }
        return static_cast<bool>(file_);
    }

    bool Close() override {
        if (!file_)
            return false;
        return ::CloseHandle(file_.release()) != FALSE;
    }

private:
    UniqueFileHandle file_;
};

} // namespace

std::uint32_t WinInetTransfer::ConnectedStateFlags() {
    DWORD flags = 0;
    // The flags are filled in whether the call reports a connection or not.
    ::InternetGetConnectedState(&flags, 0);
    return flags;
}

std::unique_ptr<InternetSession> WinInetTransfer::OpenSession(std::wstring_view agent,
                                                              std::uint32_t accessType) {
    const std::wstring userAgent(agent);
    UniqueInternetHandle session(
        ::InternetOpenW(userAgent.c_str(), accessType, nullptr, nullptr, 0));
    if (!session)
        return nullptr;
    SetTimeouts(session.get(), timeoutMs_);
    return std::make_unique<WinInetSession>(std::move(session), timeoutMs_);
}

std::unique_ptr<LocalFile> WinInetTransfer::CreateLocalFile(std::wstring_view path) {
    const std::wstring localPath(path);
    UniqueFileHandle file(::CreateFileW(localPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return nullptr;
    return std::make_unique<SharedForReadingFile>(std::move(file));
}

std::uint32_t WinInetTransfer::Milliseconds() {
    return ::timeGetTime();
}

} // namespace dp
