#include "updater/download_url.h"

#include "tests/support/updater_fakes.h"

#include <gtest/gtest.h>

#include <cctype>

#include <string>
#include <vector>

namespace dp {
namespace {

const std::wstring kUrl = L"http://127.0.0.1:8080/setup.exe";
const std::wstring kPath = L"C:\\Temp\\setup.exe";
const std::string kBody(250000, 'b');

fake::Response CutShort() {
    fake::Response response = fake::Ok(std::string(50000, 'c'));
    response.contentLength = 100000;
    return response;
}

fake::Response WithoutLength() {
    fake::Response response = fake::Ok(kBody);
    response.contentLength.reset();
    return response;
}

fake::Response LengthZeroWithData() {
    fake::Response response = fake::Ok(std::string(8192, 'd'));
    response.contentLength = 0;
    return response;
}

fake::Response ReadFailsAfter(std::size_t bytes) {
    fake::Response response = fake::Ok(kBody);
    response.failReadAfter = bytes;
    return response;
}

fake::Response MoreThanAnnounced() {
    fake::Response response = fake::Ok(kBody);
    response.contentLength = 1000;
    return response;
}

fake::Response StatusUnreadable() {
    fake::Response response = fake::Ok(kBody);
    response.status.reset();
    return response;
}

struct ResultRow {
    const char* name;
    std::optional<fake::Response> response; // empty: the URL cannot be opened
    DownloadResult result;
    std::optional<std::string> fileContent; // empty: no file created
    std::uint32_t connectedFlags = 0x12;
    bool sessionOpens = true;
    bool fileCreatable = true;
    std::optional<std::size_t> writableBytes = std::nullopt;
    bool closeFails = false;
};

const ResultRow kResultRows[] = {
    {.name = "200 with Content-Length",
     .response = fake::Ok(kBody),
     .result = DownloadResult::Success,
     .fileContent = kBody},
    {.name = "empty body",
     .response = fake::Ok(""),
     .result = DownloadResult::Success,
     .fileContent = ""},
    {.name = "offline",
     .response = fake::Ok(kBody),
     .result = DownloadResult::Offline,
     .fileContent = std::nullopt,
     .connectedFlags = 0x20},
    {.name = "no session",
     .response = fake::Ok(kBody),
     .result = DownloadResult::Offline,
     .fileContent = std::nullopt,
     .sessionOpens = false},
    {.name = "unreachable host",
     .response = std::nullopt,
     .result = DownloadResult::UrlNotOpened,
     .fileContent = std::nullopt},
    {.name = "chunked, no Content-Length",
     .response = WithoutLength(),
     .result = DownloadResult::UrlNotOpened,
     .fileContent = std::nullopt},
    {.name = "404",
     .response = fake::Status(404),
     .result = DownloadResult::BadStatusOrFile,
     .fileContent = std::nullopt},
    {.name = "silent server ends with status 0",
     .response = fake::Status(0),
     .result = DownloadResult::BadStatusOrFile,
     .fileContent = std::nullopt},
    {.name = "status cannot be read",
     .response = StatusUnreadable(),
     .result = DownloadResult::BadStatusOrFile,
     .fileContent = std::nullopt},
    {.name = "local file cannot be created",
     .response = fake::Ok(kBody),
     .result = DownloadResult::BadStatusOrFile,
     .fileContent = std::nullopt,
     .fileCreatable = false},
    {.name = "read fails in the first block",
     .response = ReadFailsAfter(0),
     .result = DownloadResult::ReadFailed,
     .fileContent = ""},
    {.name = "read fails later, partial file left",
     .response = ReadFailsAfter(150000),
     .result = DownloadResult::ReadFailed,
     .fileContent = kBody.substr(0, 150000)},
    {.name = "body cut short, partial file left",
     .response = CutShort(),
     .result = DownloadResult::ReadFailed,
     .fileContent = std::string(50000, 'c')},
    {.name = "Content-Length 0 carrying data",
     .response = LengthZeroWithData(),
     .result = DownloadResult::ReadFailed,
     .fileContent = std::string(8192, 'd')},
    {.name = "more data than announced stops after the first block",
     .response = MoreThanAnnounced(),
     .result = DownloadResult::ReadFailed,
     .fileContent = kBody.substr(0, kReadBlockBytes)},
    {.name = "disk full while writing",
     .response = fake::Ok(kBody),
     .result = DownloadResult::BadStatusOrFile,
     .fileContent = kBody.substr(0, kReadBlockBytes),
     .writableBytes = 150000},
    {.name = "data lost on close",
     .response = fake::Ok(kBody),
     .result = DownloadResult::BadStatusOrFile,
     .fileContent = kBody,
     .closeFails = true},
};

// A platform set up as the row describes.
std::unique_ptr<fake::Platform> PlatformFor(const ResultRow& row) {
    auto platform = std::make_unique<fake::Platform>();
    platform->connectedFlags = row.connectedFlags;
    platform->sessionOpens = row.sessionOpens;
    platform->writableBytes = row.writableBytes;
    platform->closeFails = row.closeFails;
    if (row.response)
        platform->responses[kUrl] = *row.response;
    if (!row.fileCreatable)
        platform->uncreatablePaths.insert(kPath);
    return platform;
}

class DownloadResultTest : public testing::TestWithParam<ResultRow> {};

TEST_P(DownloadResultTest, ResultAndLocalFile) {
    const ResultRow& row = GetParam();
    const auto platform = PlatformFor(row);
    fake::Display display;

    EXPECT_EQ(DownloadUrl(*platform, kUrl, kPath, &display), row.result);
    EXPECT_EQ(DownloadUrl(*PlatformFor(row), kUrl, kPath, nullptr), row.result) << "no display";

    const auto file = platform->files.find(kPath);
    if (!row.fileContent) {
        EXPECT_EQ(file, platform->files.end());
        return;
    }
    ASSERT_NE(file, platform->files.end());
    EXPECT_EQ(file->second.content, *row.fileContent);
    EXPECT_TRUE(file->second.closed);
}

INSTANTIATE_TEST_SUITE_P(Rows, DownloadResultTest, testing::ValuesIn(kResultRows),
                         [](const testing::TestParamInfo<ResultRow>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

TEST(DownloadUrl, RequestAsSentToTheInternetApi) {
    fake::Platform platform;
    platform.ticks = {0xFFFFFFFFu};
    platform.responses[kUrl] = fake::Ok("x");
    ASSERT_EQ(DownloadUrl(platform, kUrl, kPath, nullptr), DownloadResult::Success);

    ASSERT_EQ(platform.sessions.size(), 1u);
    EXPECT_EQ(platform.sessions[0].agent, L"Agent-1");
    ASSERT_EQ(platform.openedUrls.size(), 1u);
    EXPECT_EQ(platform.openedUrls[0].url, kUrl);
    EXPECT_EQ(platform.openedUrls[0].headers, L"Accept: */*\r\n\r\n");
    EXPECT_EQ(platform.openedUrls[0].headers.size(), 15u);
    EXPECT_EQ(platform.openedUrls[0].flags, 0x84000100u);
}

TEST(DownloadUrl, AgentIsTheMillisecondCount) {
    EXPECT_EQ(UserAgentFor(123456), L"Agent123456");
    EXPECT_EQ(UserAgentFor(0x80000000u), L"Agent-2147483648");
}

struct AccessRow {
    const char* name;
    std::uint32_t flags;
    std::uint32_t accessType;
};

const AccessRow kAccessRows[] = {
    {"LAN", 0x02, kOpenTypePreconfigWithNoAutoproxy},
    {"LAN and RAS installed", 0x12, kOpenTypePreconfigWithNoAutoproxy},
    {"through a proxy", 0x04, kOpenTypePreconfig},
    {"LAN through a proxy", 0x06, kOpenTypePreconfig},
};

TEST(DownloadUrl, AccessTypeFollowsTheProxyFlag) {
    for (const AccessRow& row : kAccessRows) {
        SCOPED_TRACE(row.name);
        fake::Platform platform;
        platform.connectedFlags = row.flags;
        platform.responses[kUrl] = fake::Ok("x");
        DownloadUrl(platform, kUrl, kPath, nullptr);
        ASSERT_EQ(platform.sessions.size(), 1u);
        EXPECT_EQ(platform.sessions[0].accessType, row.accessType);
    }
}

TEST(DownloadUrl, NonAsciiUrlIsSentAsPercentEncodedUtf8) {
    fake::Platform platform;
    platform.responses[L"http://127.0.0.1/s%C3%A9tup.exe"] = fake::Ok("x");
    EXPECT_EQ(DownloadUrl(platform, L"http://127.0.0.1/s\u00e9tup.exe", kPath, nullptr),
              DownloadResult::Success);
}

TEST(DownloadUrl, ProgressAndRateAfterEachBlock) {
    fake::Platform platform;
    // agent, start, then after blocks 1, 2 and 3
    platform.ticks = {777, 1000, 1250, 1500, 1600};
    fake::Response response = fake::Ok(kBody);
    response.largestRead = kReadBlockBytes;
    platform.responses[kUrl] = response;
    fake::Display display;

    ASSERT_EQ(DownloadUrl(platform, kUrl, kPath, &display), DownloadResult::Success);

    const std::vector<std::wstring> expected = {
        L"progress 40",  L"repaint", L"text 0.20MB/0.34MB   10000.0KB/s", L"repaint",
        L"progress 81",  L"repaint", L"text 0.30MB/0.34MB   800.0KB/s",   L"repaint",
        L"progress 100", L"repaint", L"text 0.34MB/0.34MB   488.3KB/s",   L"repaint",
        L"repaint",
    };
    EXPECT_EQ(display.shown, expected);
}

struct PacingRow {
    const char* name;
    std::vector<std::uint32_t> ticks; // agent, start, then one reading after each block
    std::optional<std::size_t> failReadAfter;
    std::vector<std::wstring> texts;
};

// Five full blocks; a refresh at most every 33 ms, and the last block's figures always shown.
const PacingRow kPacingRows[] = {
    {"blocks faster than the refresh show the first and the last",
     {777, 1000, 1001, 1002, 1003, 1004, 1005},
     std::nullopt,
     {L"0.20MB/0.59MB   10000.0KB/s", L"0.59MB/0.59MB   125000.0KB/s"}},
    {"a block 33 ms after the last refresh is shown",
     {777, 1000, 1010, 1043, 1050, 1080, 1100},
     std::nullopt,
     {L"0.20MB/0.59MB   10000.0KB/s", L"0.30MB/0.59MB   20000.0KB/s", L"0.49MB/0.59MB   8000.0KB/s",
      L"0.59MB/0.59MB   6250.0KB/s"}},
    {"a failed read still shows the last block received",
     {777, 1000, 1001, 1002, 1003},
     3 * kReadBlockBytes,
     {L"0.20MB/0.59MB   10000.0KB/s", L"0.39MB/0.59MB   150000.0KB/s"}},
};

TEST(DownloadUrl, DisplayRefreshPacing) {
    for (const PacingRow& row : kPacingRows) {
        SCOPED_TRACE(row.name);
        fake::Platform platform;
        platform.ticks = row.ticks;
        fake::Response response = fake::Ok(std::string(5 * kReadBlockBytes, 'p'));
        response.failReadAfter = row.failReadAfter;
        platform.responses[kUrl] = response;
        fake::Display display;
        DownloadUrl(platform, kUrl, kPath, &display);

        std::vector<std::wstring> texts;
        for (const std::wstring& line : display.shown) {
            if (line.starts_with(L"text "))
                texts.push_back(line.substr(5));
        }
        EXPECT_EQ(texts, row.texts);
        EXPECT_EQ(display.shown.back(), L"repaint");
    }
}

TEST(DownloadUrl, EmptyBodyShowsNoProgressOrText) {
    fake::Platform platform;
    platform.responses[kUrl] = fake::Ok("");
    fake::Display display;
    ASSERT_EQ(DownloadUrl(platform, kUrl, kPath, &display), DownloadResult::Success);
    EXPECT_EQ(display.shown, std::vector<std::wstring>{L"repaint"});
}

TEST(DownloadUrl, ContentLengthZeroLeavesTheBarAndShowsTheTotalAsPointOne) {
    fake::Platform platform;
    platform.responses[kUrl] = LengthZeroWithData();
    fake::Display display;
    DownloadUrl(platform, kUrl, kPath, &display);
    const std::vector<std::wstring> expected = {L"text 0.11MB/0.10MB   800.0KB/s", L"repaint"};
    EXPECT_EQ(display.shown, expected);
}

} // namespace
} // namespace dp
