#include "framework/command_words.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dp {
namespace {

struct ExpectedWord {
    std::wstring text;
    bool isSwitch;
};

struct SplitRow {
    const char* name;
    std::wstring line;
    std::vector<ExpectedWord> words;
};

const SplitRow kSplitRows[] = {
    {"empty line", L"", {}},
    {"program name only", L"Renewick.exe", {}},
    {"program name and trailing blanks", L"Renewick.exe   \t ", {}},
    {"quoted program name with blanks",
     L"\"C:\\Program Files\\Nerovane\\Renewick.exe\" /iA",
     {{L"iA", true}}},
    {"backslash before the program name's closing quote means nothing",
     L"\"C:\\dir\\\" /iA",
     {{L"iA", true}}},
    {"unquoted program name", L"C:\\R\\Renewick.exe /iA -nB", {{L"iA", true}, {L"nB", true}}},
    {"switches as the screen saver writes them",
     L"R.exe /iA /nDuskpanel /v2.0  /l\"http://127.0.0.1:8080/update.ini\" /H",
     {{L"iA", true},
      {L"nDuskpanel", true},
      {L"v2.0", true},
      {L"lhttp://127.0.0.1:8080/update.ini", true},
      {L"H", true}}},
    {"quotes group blanks into one word",
     L"R.exe /l\"http://h/a b.ini\"",
     {{L"lhttp://h/a b.ini", true}}},
    {"a quoted marker still makes a switch", L"R.exe \"/iABC\"", {{L"iABC", true}}},
    {"plain words are not switches", L"R.exe update.ini", {{L"update.ini", false}}},
    {"a marker alone is an empty switch", L"R.exe / -", {{L"", true}, {L"", true}}},
    {"a marker inside a word is text", L"R.exe a/b", {{L"a/b", false}}},
    {"tabs separate words", L"R.exe\t/iA\t\t/nB", {{L"iA", true}, {L"nB", true}}},
    {"empty quotes give an empty word", L"R.exe \"\" /iA", {{L"", false}, {L"iA", true}}},
    {"backslashes not before a quote stay", L"R.exe C:\\a\\\\b", {{L"C:\\a\\\\b", false}}},
    {"escaped quote", L"R.exe a\\\"b", {{L"a\"b", false}}},
    {"two backslashes then a quote", L"R.exe \"a\\\\\" b", {{L"a\\", false}, {L"b", false}}},
    {"doubled quote inside quotes", L"R.exe \"a\"\"b\"", {{L"a\"b", false}}},
    {"unterminated quote runs to the end", L"R.exe /l\"a b", {{L"la b", true}}},
};

TEST(CommandWords, SplitsAsTheParameterParserSeesThem) {
    for (const SplitRow& row : kSplitRows) {
        SCOPED_TRACE(row.name);
        const auto words = SplitCommandWords(row.line);
        ASSERT_EQ(words.size(), row.words.size());
        for (std::size_t i = 0; i < words.size(); ++i) {
            EXPECT_EQ(words[i].text, row.words[i].text) << "word " << i;
            EXPECT_EQ(words[i].isSwitch, row.words[i].isSwitch) << "word " << i;
        }
    }
}

TEST(CommandWords, OnlyTheFinalWordIsLast) {
    const auto words = SplitCommandWords(L"R.exe /iA two \"three\"  ");
    ASSERT_EQ(words.size(), 3u);
    EXPECT_FALSE(words[0].isLast);
    EXPECT_FALSE(words[1].isLast);
    EXPECT_TRUE(words[2].isLast);
}

} // namespace
} // namespace dp
