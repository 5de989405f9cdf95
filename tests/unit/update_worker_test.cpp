#include "updater/update_worker.h"

#include "tests/support/updater_fakes.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dp {
namespace {

const std::wstring kIniUrl = L"http://127.0.0.1:8080/update.ini";
const std::wstring kSetupUrl = L"http://127.0.0.1:8080/files/DuskpanelSetup.exe";
const std::wstring kTemp = L"C:\\users\\me\\Temp";
const std::wstring kFolder = kTemp + L"\\Renewick-1";
const std::wstring kSetupPath = kFolder + L"\\DuskpanelSetup.exe";
const std::wstring kQuestion = L"New version is:2.1, update now?";

// The dialog and the user in one: records what the worker does, in order, and answers the
// question as scripted. What the download shows goes to a list of its own.
struct ScriptedDialog : UpdateDialogPort {
    std::vector<std::wstring>& log;
    bool answerYes = true;
    std::vector<std::wstring> shown;

    explicit ScriptedDialog(std::vector<std::wstring>& events) : log(events) {}
    void SetBusy(bool busy) override { log.push_back(busy ? L"busy 1" : L"busy 0"); }
    void ShowState(std::wstring_view text) override {
        log.push_back(L"state " + std::wstring(text));
    }
    void ShowMessage(std::wstring_view text) override {
        log.push_back(L"message " + std::wstring(text));
    }
    bool AskYesNo(std::wstring_view question) override {
        log.push_back(L"ask " + std::wstring(question));
        return answerYes;
    }
    void EndDialog() override { log.push_back(L"end"); }
    void ShowProgress(int position) override { shown.push_back(std::to_wstring(position)); }
    void ShowTransferText(std::wstring_view text) override { shown.push_back(std::wstring(text)); }
    void Repaint() override {}
};

struct ScriptedSystem : UpdateSystem {
    std::vector<std::wstring>& log;
    std::optional<std::wstring> tempFolder;
    std::uint32_t startError = 0; // what the shell answers; 0: the setup runs
    bool watcherStarts = true;
    bool anotherWriter = false; // took the INI copy between its download and its reading

    explicit ScriptedSystem(std::vector<std::wstring>& events) : log(events) {}
    std::optional<std::wstring> ExpandTempFolder() override { return tempFolder; }
    SetupStartAnswer StartSetup(const SetupRequest& request) override {
        log.push_back(L"start " + request.program + L" | " + request.parameters + L" | in " +
                      request.folder);
        if (startError != 0)
            return {nullptr, startError};
        return {std::make_unique<StartedSetup>(), 0};
    }
    bool WatchSetup(StartedSetup&, const SetupWatch& watch) override {
        log.push_back(L"watch " + watch.productName + L" " + watch.offeredVersion + L" from " +
                      watch.folder);
        return watcherStarts;
    }
    std::unique_ptr<WriteGuard> GuardAgainstWriters(std::wstring_view) override {
        return anotherWriter ? nullptr : std::make_unique<WriteGuard>();
    }
    bool folderMade = true;
    bool setupHeldByWriter = false;
    bool logHolds = false;
    std::optional<std::wstring> CreateDownloadFolder(std::wstring_view temp) override {
        if (!folderMade)
            return std::nullopt;
        return std::wstring(temp) + L"\\Renewick-1";
    }
    // Logs when the hold begins and ends, when asked to.
    struct Hold : HeldFile {
        std::vector<std::wstring>* log;
        ~Hold() override {
            if (log)
                log->push_back(L"release");
        }
        std::optional<std::size_t> Read(std::span<std::uint8_t>) override { return 0; }
    };
    std::unique_ptr<HeldFile> HoldFile(std::wstring_view path) override {
        if (setupHeldByWriter)
            return nullptr;
        auto hold = std::make_unique<Hold>();
        hold->log = logHolds ? &log : nullptr;
        if (logHolds)
            log.push_back(L"hold " + std::wstring(path));
        return hold;
    }
    void RemoveFile(std::wstring_view path) override {
        log.push_back(L"remove " + std::wstring(path));
    }
};

// Every file hashes to 32 bytes of 0x5A; every signature is good.
struct AgreeingCrypto : SetupCrypto {
    std::optional<Sha256Digest> HashFile(HeldFile&) override {
        Sha256Digest digest;
        digest.fill(0x5A);
        return digest;
    }
    std::optional<Sha256Digest> HashBytes(std::span<const std::uint8_t>) override {
        return Sha256Digest{};
    }
    bool VerifyP256(const P256PublicKey&, const Sha256Digest&, const P256Signature&) override {
        return true;
    }
};

// An INI reader that only sees files the download actually stored.
struct DownloadedIni : IniReader {
    const std::map<std::wstring, fake::StoredFile>& files;
    std::map<std::pair<std::wstring, std::wstring>, std::wstring> values;

    explicit DownloadedIni(const std::map<std::wstring, fake::StoredFile>& stored)
        : files(stored) {}
    std::wstring ReadString(std::wstring_view file, std::wstring_view section,
                            std::wstring_view key, std::wstring_view defaultValue,
                            std::size_t) override {
        const auto value = values.find({std::wstring(section), std::wstring(key)});
        if (!files.count(std::wstring(file)) || value == values.end())
            return std::wstring(defaultValue);
        return value->second;
    }
};

fake::Response CutShort() {
    fake::Response response = fake::Ok("[public]\r\nversion=2.1\r\n");
    response.contentLength = 4096;
    return response;
}

struct Scenario {
    const char* name;
    std::wstring iniUrl = kIniUrl;
    std::optional<std::wstring> tempFolder = kTemp;
    std::optional<fake::Response> iniResponse = fake::Ok("[public]\r\nversion=2.1\r\n");
    std::optional<std::wstring> version = L"2.1";
    std::wstring installed = L"2.0";
    bool answerYes = true;
    std::optional<std::wstring> downloadPath = kSetupUrl;
    std::wstring setupParam = L"/S";
    std::optional<fake::Response> setupResponse = fake::Ok("MZ setup program");
    std::uint32_t startError = 0;
    bool watcherStarts = true;
    bool anotherWriter = false;
    bool folderMade = true;
    bool setupHeldByWriter = false;
    std::wstring sha256 = {};
    std::wstring signature = {};
    bool vendorKey = false;
    std::vector<std::wstring> expected = {};
};

std::wstring State(const std::wstring& url) {
    return L"state " + url;
}
std::wstring Failed(int code, const std::wstring& url) {
    return L"message error info: return code:" + std::to_wstring(code) + L". download fail:" + url;
}
const std::wstring kAsk = L"ask " + kQuestion;
const std::wstring kCurrent = L"message Your already have the lastest version installed.";
const std::wstring kStartSetup = L"start " + kSetupPath + L" | /S | in " + kFolder;
const std::wstring kWatch = L"watch Duskpanel 2.1 from " + kFolder;
std::wstring NotInstalled(const std::wstring& why) {
    return L"message The update to version 2.1 was not installed: " + why;
}
// A well-formed DER signature (r = s = 1); the scripted crypto accepts any.
const std::wstring kSomeSignature = L"MAYCAQECAQE=";
const std::wstring kLongTemp = L"C:\\" + std::wstring(33000, L't');
const std::wstring kRightSha256 = [] {
    std::wstring digits;
    for (int i = 0; i < 32; ++i)
        digits += L"5a";
    return digits;
}();

const Scenario kScenarios[] = {
    {.name = "newer version: setup downloaded and started",
     .expected = {L"busy 1", State(kIniUrl), kAsk, State(kSetupUrl), kStartSetup, kWatch, L"busy 0",
                  L"end"}},
    {.name = "no update INI URL", .iniUrl = L"", .expected = {L"busy 1", L"busy 0", L"end"}},
    {.name = "temp folder cannot be expanded: dialog stays open",
     .tempFolder = std::nullopt,
     .expected = {L"busy 1"}},
    {.name = "INI download fails with 404",
     .iniResponse = fake::Status(404),
     .expected = {L"busy 1", State(kIniUrl), Failed(2, kIniUrl), L"busy 0", L"end"}},
    {.name = "INI server unreachable",
     .iniResponse = std::nullopt,
     .expected = {L"busy 1", State(kIniUrl), Failed(1, kIniUrl), L"busy 0", L"end"}},
    {.name = "INI body cut short",
     .iniResponse = CutShort(),
     .expected = {L"busy 1", State(kIniUrl), Failed(3, kIniUrl), L"busy 0", L"end"}},
    {.name = "INI has an empty version",
     .version = L"",
     .expected = {L"busy 1", State(kIniUrl), L"busy 0", L"end"}},
    {.name = "INI has no version: 0.0 is not newer",
     .version = std::nullopt,
     .expected = {L"busy 1", State(kIniUrl), kCurrent, L"busy 0", L"end"}},
    {.name = "installed version is equal",
     .installed = L"2.1.0",
     .expected = {L"busy 1", State(kIniUrl), kCurrent, L"busy 0", L"end"}},
    {.name = "installed version is newer",
     .installed = L"2.10",
     .expected = {L"busy 1", State(kIniUrl), kCurrent, L"busy 0", L"end"}},
    {.name = "user answers No",
     .answerYes = false,
     .expected = {L"busy 1", State(kIniUrl), kAsk, L"busy 0", L"end"}},
    {.name = "no download_path",
     .downloadPath = std::nullopt,
     .expected = {L"busy 1", State(kIniUrl), kAsk, L"busy 0", L"end"}},
    {.name = "download_path ends in a slash",
     .downloadPath = L"http://127.0.0.1:8080/files/",
     .expected = {L"busy 1", State(kIniUrl), kAsk, L"busy 0", L"end"}},
    {.name = "download_path names a device",
     .downloadPath = L"http://127.0.0.1:8080/files/nul.exe",
     .expected = {L"busy 1", State(kIniUrl), kAsk, L"busy 0", L"end"}},
    {.name = "download_path with a query saves under the plain name",
     .downloadPath = kSetupUrl + L"?from=ini",
     .expected = {L"busy 1", State(kIniUrl), kAsk, State(kSetupUrl + L"?from=ini"), kStartSetup,
                  kWatch, L"busy 0", L"end"}},
    {.name = "setup download fails with 404",
     .setupResponse = fake::Status(404),
     .expected = {L"busy 1", State(kIniUrl), kAsk, State(kSetupUrl), Failed(2, kSetupUrl),
                  L"busy 0", L"end"}},
    {.name = "setup download has no Content-Length",
     .setupResponse =
         [] {
             fake::Response chunked = fake::Ok("MZ");
             chunked.contentLength.reset();
             return chunked;
         }(),
     .expected = {L"busy 1", State(kIniUrl), kAsk, State(kSetupUrl), Failed(1, kSetupUrl),
                  L"busy 0", L"end"}},
    {.name = "no download folder can be made: nothing fetched",
     .folderMade = false,
     .expected = {L"busy 1", State(kIniUrl), kAsk, Failed(2, kSetupUrl), L"busy 0", L"end"}},
    {.name = "a writer has the setup open after the download: not started",
     .setupHeldByWriter = true,
     .expected = {L"busy 1", State(kIniUrl), kAsk, State(kSetupUrl), Failed(2, kSetupUrl),
                  L"busy 0", L"end"}},
    {.name = "user says No at the elevation prompt",
     .startError = 1223,
     .expected = {L"busy 1", State(kIniUrl), kAsk, State(kSetupUrl), kStartSetup,
                  NotInstalled(L"the setup was not allowed to run with administrator rights."),
                  L"busy 0", L"end"}},
    {.name = "elevation required but not offered",
     .startError = 740,
     .expected = {L"busy 1", State(kIniUrl), kAsk, State(kSetupUrl), kStartSetup,
                  NotInstalled(L"the setup needs administrator rights, and Windows could not ask "
                               L"for them. Sign in as an administrator and check for updates "
                               L"again."),
                  L"busy 0", L"end"}},
    {.name = "setup cannot be started",
     .startError = 193,
     .expected = {L"busy 1", State(kIniUrl), kAsk, State(kSetupUrl), kStartSetup,
                  NotInstalled(L"the setup could not be started (error 193)."), L"busy 0", L"end"}},
    {.name = "setup runs but no watcher starts",
     .watcherStarts = false,
     .expected = {L"busy 1", State(kIniUrl), kAsk, State(kSetupUrl), kStartSetup, kWatch,
                  L"message The setup of version 2.1 has started. Renewick cannot follow it: the "
                  L"setup itself tells whether it succeeded.",
                  L"busy 0", L"end"}},
    {.name = "empty setup_param leaves the trailing blank",
     .setupParam = L"",
     .expected = {L"busy 1", State(kIniUrl), kAsk, State(kSetupUrl),
                  L"start " + kSetupPath + L" |  | in " + kFolder, kWatch, L"busy 0", L"end"}},
    {.name = "another writer took the INI copy before it was read",
     .anotherWriter = true,
     .expected = {L"busy 1", State(kIniUrl), Failed(2, kIniUrl), L"busy 0", L"end"}},
    {.name = "INI over 1 MB is refused",
     .iniResponse = fake::Ok(std::string(1024 * 1024 + 1, ';')),
     .expected = {L"busy 1", State(kIniUrl), Failed(2, kIniUrl), L"busy 0", L"end"}},
    {.name = "INI of exactly 1 MB is read",
     .iniResponse = fake::Ok(std::string(1024 * 1024, ';')),
     .expected = {L"busy 1", State(kIniUrl), kAsk, State(kSetupUrl), kStartSetup, kWatch, L"busy 0",
                  L"end"}},
    {.name = "download_path too long to be a URL",
     .downloadPath = L"http://127.0.0.1/" + std::wstring(1007, L'x'),
     .expected = {L"busy 1", State(kIniUrl), kAsk,
                  Failed(1, L"http://127.0.0.1/" + std::wstring(1007, L'x')), L"busy 0", L"end"}},
    {.name = "right sha256: started",
     .sha256 = kRightSha256,
     .expected = {L"busy 1", State(kIniUrl), kAsk, State(kSetupUrl), kStartSetup, kWatch, L"busy 0",
                  L"end"}},
    {.name = "wrong sha256: deleted, not started",
     .sha256 = std::wstring(64, L'0'),
     .expected = {L"busy 1", State(kIniUrl), kAsk, State(kSetupUrl), L"remove " + kSetupPath,
                  L"message error info: sha256 check fail, setup deleted:" + kSetupUrl, L"busy 0",
                  L"end"}},
    {.name = "vendor key, unsigned offer: refused before the question",
     .sha256 = kRightSha256,
     .vendorKey = true,
     .expected = {L"busy 1", State(kIniUrl), L"message error info: signature check fail:" + kIniUrl,
                  L"busy 0", L"end"}},
    {.name = "vendor key, signed offer without sha256: refused",
     .signature = kSomeSignature,
     .vendorKey = true,
     .expected = {L"busy 1", State(kIniUrl), L"message error info: signature check fail:" + kIniUrl,
                  L"busy 0", L"end"}},
    {.name = "vendor key, signed offer: started",
     .sha256 = kRightSha256,
     .signature = kSomeSignature,
     .vendorKey = true,
     .expected = {L"busy 1", State(kIniUrl), kAsk, State(kSetupUrl), kStartSetup, kWatch, L"busy 0",
                  L"end"}},
    {.name = "vendor key, signed offer, setup is not the one signed: deleted",
     .sha256 = std::wstring(64, L'0'),
     .signature = kSomeSignature,
     .vendorKey = true,
     .expected = {L"busy 1", State(kIniUrl), kAsk, State(kSetupUrl), L"remove " + kSetupPath,
                  L"message error info: sha256 check fail, setup deleted:" + kSetupUrl, L"busy 0",
                  L"end"}},
    {.name = "command line beyond the platform's limit is not started",
     .tempFolder = kLongTemp,
     .expected = {L"busy 1", State(kIniUrl), kAsk, State(kSetupUrl),
                  NotInstalled(L"the setup could not be started (error 206)."), L"busy 0", L"end"}},
};

struct WorkerRun {
    std::vector<std::wstring> log;
    fake::Platform platform;
    ScriptedDialog dialog{log};
    ScriptedSystem system{log};
    DownloadedIni ini{platform.files};
    AgreeingCrypto crypto;
    UpdaterCommandLine commandLine;
    int exitCode = -1;

    explicit WorkerRun(const Scenario& s, bool logHolds = false) {
        system.logHolds = logHolds;
        commandLine.hasId = 1;
        commandLine.productId = L"A";
        commandLine.productName = L"Duskpanel";
        commandLine.installedVersion = s.installed;
        commandLine.updateIniUrl = s.iniUrl;
        system.tempFolder = s.tempFolder;
        system.startError = s.startError;
        system.watcherStarts = s.watcherStarts;
        system.folderMade = s.folderMade;
        system.setupHeldByWriter = s.setupHeldByWriter;
        system.anotherWriter = s.anotherWriter;
        dialog.answerYes = s.answerYes;
        if (s.iniResponse)
            platform.responses[s.iniUrl] = *s.iniResponse;
        if (s.setupResponse && s.downloadPath)
            platform.responses[*s.downloadPath] = *s.setupResponse;
        if (s.version)
            ini.values[{L"public", L"version"}] = *s.version;
        if (s.downloadPath)
            ini.values[{L"A", L"download_path"}] = *s.downloadPath;
        ini.values[{L"A", L"setup_param"}] = s.setupParam;
        ini.values[{L"A", L"sha256"}] = s.sha256;
        ini.values[{L"A", L"signature"}] = s.signature;
        const auto key = s.vendorKey ? std::optional(P256PublicKey{}) : std::nullopt;
        exitCode = UpdateWorker(commandLine, {dialog, system, ini, platform, crypto, key}).Run();
    }
};

class UpdateWorkerTest : public testing::TestWithParam<Scenario> {};

TEST_P(UpdateWorkerTest, WhatTheUserSees) {
    WorkerRun run(GetParam());
    EXPECT_EQ(run.log, GetParam().expected);
    EXPECT_EQ(run.exitCode, 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, UpdateWorkerTest, testing::ValuesIn(kScenarios),
                         [](const testing::TestParamInfo<Scenario>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

// From the end of the download until the setup has started nobody may replace the file: the
// hold begins before the check and ends only after the start.
TEST(UpdateWorker, SetupIsHeldFromTheDownloadUntilItStarted) {
    struct Row {
        const char* name;
        std::wstring sha256;
        std::vector<std::wstring> expected;
    };
    const Row rows[] = {
        {"started",
         kRightSha256,
         {State(kSetupUrl), L"hold " + kSetupPath, kStartSetup, kWatch, L"release"}},
        {"refused: released before it is deleted",
         std::wstring(64, L'0'),
         {State(kSetupUrl), L"hold " + kSetupPath, L"release", L"remove " + kSetupPath}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Scenario scenario{.name = row.name};
        scenario.sha256 = row.sha256;
        WorkerRun run(scenario, true);
        std::vector<std::wstring> seen;
        for (const std::wstring& line : run.log) {
            if (line.starts_with(L"state http") && line != State(kSetupUrl))
                continue;
            if (line.starts_with(L"state") || line.starts_with(L"hold") || line == L"release" ||
                line.starts_with(L"start") || line.starts_with(L"watch") ||
                line.starts_with(L"remove"))
                seen.push_back(line);
        }
        EXPECT_EQ(seen, row.expected);
    }
}

TEST(UpdateWorker, InterruptedSetupDownloadIsNotStarted) {
    Scenario cut{.name = "setup cut short"};
    cut.setupResponse = fake::Ok("MZ");
    cut.setupResponse->contentLength = 1000000;
    WorkerRun run(cut);
    const std::vector<std::wstring> expected = {
        L"busy 1", State(kIniUrl), kAsk, State(kSetupUrl), Failed(3, kSetupUrl), L"busy 0", L"end"};
    EXPECT_EQ(run.log, expected);
    EXPECT_EQ(run.platform.files.at(kSetupPath).content, "MZ"); // left for inspection
}

TEST(UpdateWorker, FilesLandInTheTemporaryFolder) {
    WorkerRun run(Scenario{.name = "success"});
    EXPECT_EQ(run.platform.files.at(kTemp + L"\\1_update.ini").content,
              "[public]\r\nversion=2.1\r\n");
    EXPECT_EQ(run.platform.files.at(kSetupPath).content, "MZ setup program");
    EXPECT_FALSE(run.dialog.shown.empty()); // progress reached the dialog
}

// The platform's INI reader takes a UTF-8 mark for part of the first line, which hides the first
// section: such a copy is stored as UTF-16 with its mark instead.
struct IniBytesRow {
    const char* name;
    std::string downloaded;
    std::string stored;
};

const IniBytesRow kIniBytesRows[] = {
    {"UTF-8 with a mark becomes UTF-16", "\xEF\xBB\xBF[public]\r\nv=\xC3\xA9",
     std::string("\xFF\xFE[\0p\0u\0b\0l\0i\0c\0]\0\r\0\n\0v\0=\0\xE9\0", 28)},
    {"broken sequence becomes U+FFFD",
     "\xEF\xBB\xBF"
     "a\xC3",
     std::string("\xFF\xFE"
                 "a\0\xFD\xFF",
                 6)},
    {"UTF-8 without a mark stays", "[public]\r\nversion=2.1\r\n", "[public]\r\nversion=2.1\r\n"},
    {"UTF-16 stays", std::string("\xFF\xFE[\0p\0", 6), std::string("\xFF\xFE[\0p\0", 6)},
};

TEST(UpdateWorker, IniCopyIsStoredAsThePlatformReaderReadsIt) {
    for (const IniBytesRow& row : kIniBytesRows) {
        SCOPED_TRACE(row.name);
        Scenario scenario{.name = row.name};
        scenario.iniResponse = fake::Ok(row.downloaded);
        WorkerRun run(scenario);
        EXPECT_EQ(run.platform.files.at(kTemp + L"\\1_update.ini").content, row.stored);
    }
}

TEST(UpdateWorker, IniCopyIsNamedAfterTheIdFlag) {
    std::vector<std::wstring> log;
    fake::Platform platform;
    platform.responses[kIniUrl] = fake::Ok("");
    ScriptedDialog dialog(log);
    ScriptedSystem system(log);
    system.tempFolder = kTemp;
    DownloadedIni ini(platform.files);
    AgreeingCrypto crypto;
    UpdaterCommandLine commandLine;
    commandLine.updateIniUrl = kIniUrl;
    UpdateWorker(commandLine, {dialog, system, ini, platform, crypto}).Run();
    EXPECT_EQ(platform.files.count(kTemp + L"\\0_update.ini"), 1u);
}

TEST(UpdateWorker, LongCommandLineIsStartedWhole) {
    Scenario longer{.name = "long"};
    longer.downloadPath = L"http://127.0.0.1/" + std::wstring(200, L's') + L".exe";
    longer.setupParam = std::wstring(99, L'p');
    WorkerRun run(longer);
    const std::wstring program = kFolder + L"\\" + std::wstring(200, L's') + L".exe";
    const std::wstring parameters = std::wstring(99, L'p');
    ASSERT_GE(run.log.size(), 4u);
    EXPECT_EQ(run.log[run.log.size() - 4],
              L"start " + program + L" | " + parameters + L" | in " + kFolder);
    EXPECT_GT(program.size() + parameters.size() + 3, 256u);
}

} // namespace
} // namespace dp
