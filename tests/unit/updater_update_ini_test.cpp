#include "updater/update_ini.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace dp {
namespace {

// Values by (section, key); records each request. Returns values whole, as a reader with a
// larger buffer would, so the cut to the documented sizes is visible.
struct MapIniReader : IniReader {
    std::map<std::pair<std::wstring, std::wstring>, std::wstring> values;
    struct Call {
        std::wstring file, section, key;
        std::size_t bufferChars;
    };
    std::vector<Call> calls;

    std::wstring ReadString(std::wstring_view file, std::wstring_view section,
                            std::wstring_view key, std::wstring_view defaultValue,
                            std::size_t bufferChars) override {
        calls.push_back(
            {std::wstring(file), std::wstring(section), std::wstring(key), bufferChars});
        const auto found = values.find({std::wstring(section), std::wstring(key)});
        return found == values.end() ? std::wstring(defaultValue) : found->second;
    }
};

TEST(UpdateIni, VersionComesFromPublic) {
    MapIniReader reader;
    reader.values[{L"public", L"version"}] = L"2.1";
    EXPECT_EQ(ReadOfferedVersion(reader, L"C:\\T\\1_update.ini"), L"2.1");
    ASSERT_EQ(reader.calls.size(), 1u);
    EXPECT_EQ(reader.calls[0].file, L"C:\\T\\1_update.ini");
    EXPECT_EQ(reader.calls[0].bufferChars, 50u);
}

TEST(UpdateIni, MissingVersionReadsAsZero) {
    MapIniReader reader;
    EXPECT_EQ(ReadOfferedVersion(reader, L"u.ini"), L"0.0");
}

TEST(UpdateIni, SetupSourceComesFromTheProductsSection) {
    MapIniReader reader;
    reader.values[{L"A", L"download_path"}] = L"http://h/a.exe";
    reader.values[{L"A", L"setup_param"}] = L"/S";
    reader.values[{L"B", L"download_path"}] = L"http://h/b.exe";
    const SetupSource source = ReadSetupSource(reader, L"u.ini", L"A");
    EXPECT_EQ(source.downloadPath, L"http://h/a.exe");
    EXPECT_EQ(source.setupParam, L"/S");
    EXPECT_EQ(ReadSetupSource(reader, L"u.ini", L"B").setupParam, L"");
    EXPECT_EQ(ReadSetupSource(reader, L"u.ini", L"C").downloadPath, L"");
}

// One section offers a setup per architecture beside the plain one old readers take; each
// Renewick takes its own, and an offer without its architecture falls back to the plain keys.
TEST(UpdateIni, EachArchitectureTakesItsOwnOffer) {
    MapIniReader reader;
    reader.values[{L"A", L"download_path"}] = L"http://h/any.exe";
    reader.values[{L"A", L"setup_param"}] = L"/S";
    reader.values[{L"A", L"sha256"}] = L"00";
    reader.values[{L"A", L"download_path_x64"}] = L"http://h/x64.exe";
    reader.values[{L"A", L"setup_param_x64"}] = L"/S /x64";
    reader.values[{L"A", L"signature_x64"}] = L"SIG64";
    struct Row {
        const wchar_t* architecture;
        std::wstring url, param, sha256, signature, offerName;
    };
    const Row rows[] = {
        {L"x64", L"http://h/x64.exe", L"/S /x64", L"", L"SIG64", L"A/x64"},
        {L"x86", L"http://h/any.exe", L"/S", L"00", L"", L"A"},
        {L"", L"http://h/any.exe", L"/S", L"00", L"", L"A"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.architecture[0] ? "x64 and x86" : "no architecture");
        const SetupSource source = ReadSetupSource(reader, L"u.ini", L"A", row.architecture);
        EXPECT_EQ(source.downloadPath, row.url);
        EXPECT_EQ(source.setupParam, row.param);
        EXPECT_EQ(source.integrity.sha256, row.sha256) << "never mixed from the plain offer";
        EXPECT_EQ(source.integrity.signature, row.signature);
        EXPECT_EQ(source.offerName, row.offerName);
    }
}

TEST(UpdateIni, ValuesAreCutToTheirBuffers) {
    MapIniReader reader;
    for (const wchar_t* key : {L"download_path", L"setup_param"})
        reader.values[{L"A", key}] = std::wstring(5000, L'x');
    reader.values[{L"public", L"version"}] = std::wstring(5000, L'9');

    EXPECT_EQ(ReadOfferedVersion(reader, L"u.ini").size(), 49u);
    const SetupSource source = ReadSetupSource(reader, L"u.ini", L"A");
    EXPECT_EQ(source.downloadPath.size(), 1024u) << "one beyond a URL: too long, not cut";
    EXPECT_EQ(source.setupParam.size(), 99u);

    std::map<std::wstring, std::size_t> requested;
    for (const auto& call : reader.calls)
        requested[call.key] = call.bufferChars;
    const std::map<std::wstring, std::size_t> expected = {{L"version", 50},
                                                          {L"download_path", 1025},
                                                          {L"setup_param", 100},
                                                          {L"sha256", 128},
                                                          {L"signature", 256}};
    EXPECT_EQ(requested, expected);
}

} // namespace
} // namespace dp
