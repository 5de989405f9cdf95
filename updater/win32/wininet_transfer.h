// The platform side of a download: WinINet for the transfer, a file handle for the local file,
// the multimedia timer for the clock.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "updater/download_url.h"

namespace dp {

class WinInetTransfer : public TransferPlatform {
public:
    // timeoutMs bounds connecting, sending the request and each wait for received data.
    explicit WinInetTransfer(std::uint32_t timeoutMs = kTransferTimeoutMs)
        : timeoutMs_(timeoutMs) {}

    std::uint32_t ConnectedStateFlags() override;
    std::unique_ptr<InternetSession> OpenSession(std::wstring_view agent,
                                                 std::uint32_t accessType) override;
    std::unique_ptr<LocalFile> CreateLocalFile(std::wstring_view path) override;
    std::uint32_t Milliseconds() override;

private:
    std::uint32_t timeoutMs_;
};

} // namespace dp
