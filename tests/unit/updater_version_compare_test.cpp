#include "updater/version_compare.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace dp {

void PrintTo(VersionOrder order, std::ostream* os) {
    *os << "VersionOrder(" << static_cast<int>(order) << ")";
}

namespace {

std::wstring Repeated(std::wstring_view component, int count) {
    std::wstring version;
    for (int i = 0; i < count; ++i)
        version.append(i == 0 ? L"" : L".").append(component);
    return version;
}

struct CompareRow {
    const char* name;
    std::wstring installed;
    std::wstring offered;
    VersionOrder order;
};

const CompareRow kCompareRows[] = {
    {"missing components count as 0", L"1.2", L"1.2.0", VersionOrder::Equal},
    {"components compare as numbers", L"1.10", L"1.9", VersionOrder::InstalledNewer},
    {"no separator is one component", L"2", L"3", VersionOrder::OfferedNewer},
    {"each string uses its own separator", L"1.0", L"1,1", VersionOrder::OfferedNewer},
    {"blanks are removed", L"1. 2", L"1.3", VersionOrder::OfferedNewer},
    {"a later separator is text", L"1.0-2", L"1.0", VersionOrder::Equal},
    {"a blank inside a component joins its digits", L"1.2 5", L"1.24",
     VersionOrder::InstalledNewer},
    {"same version", L"2.0.1", L"2.0.1", VersionOrder::Equal},
    {"last component decides", L"1.2.3", L"1.2.4", VersionOrder::OfferedNewer},
    {"first component decides", L"2.0", L"1.99", VersionOrder::InstalledNewer},
    {"missing version key against a release", L"1.0", L"0.0", VersionOrder::InstalledNewer},
    {"empty installed version", L"", L"0.1", VersionOrder::OfferedNewer},
    {"empty components between separators", L"1..2", L"1.0.2", VersionOrder::Equal},
    {"leading zeros", L"1.02", L"1.2", VersionOrder::Equal},
    {"text after the digits is ignored", L"1.2beta", L"1.2", VersionOrder::Equal},
    {"no digits read as 0", L"abc", L"0", VersionOrder::Equal},
    {"underscore separator", L"1_5", L"1.6", VersionOrder::OfferedNewer},
    {"bar separator", L"3|1", L"3.0", VersionOrder::InstalledNewer},
    {"blank separator", L"1 7", L"1.7", VersionOrder::Equal},
    {"huge numbers are clamped, not wrapped", L"99999999999", L"2", VersionOrder::InstalledNewer},
    {"50th component still counts", Repeated(L"1", 49) + L".1", Repeated(L"1", 49) + L".2",
     VersionOrder::OfferedNewer},
    {"components beyond 50 are ignored", Repeated(L"1", 50) + L".1", Repeated(L"1", 50) + L".9",
     VersionOrder::Equal},
    {"a thousand components", Repeated(L"7", 1000), Repeated(L"7", 50), VersionOrder::Equal},
};

TEST(CompareVersions, Table) {
    for (const CompareRow& row : kCompareRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(CompareVersions(row.installed, row.offered), row.order);
    }
}

struct SeparatorRow {
    const char* name;
    std::wstring version;
    std::optional<wchar_t> separator;
};

const SeparatorRow kSeparatorRows[] = {
    {"point", L"1.2.3", L'.'},
    {"point wins over a later dash", L"1.0-2", L'.'},
    {"comma before underscore", L"1_2,3", L','},
    {"dash before blank", L"1 2-3", L'-'},
    {"bar", L"4|5", L'|'},
    {"blank", L"4 5", L' '},
    {"none", L"2", std::nullopt},
    {"empty text", L"", std::nullopt},
};

TEST(DetectSeparator, FirstOfTheListThatOccurs) {
    for (const SeparatorRow& row : kSeparatorRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(DetectSeparator(row.version), row.separator);
    }
}

struct IntegerRow {
    const char* name;
    std::wstring text;
    int value;
};

const IntegerRow kIntegerRows[] = {
    {"digits", L"42", 42},
    {"leading white space", L"\t 7", 7},
    {"sign", L"-3", -3},
    {"stops at a non-digit", L"0-2", 0},
    {"no digits", L"x1", 0},
    {"clamped high", L"2147483648", 2147483647},
    {"clamped low", L"-99999999999", -2147483647 - 1},
};

TEST(LeadingInteger, ReadsAsWtoi) {
    for (const IntegerRow& row : kIntegerRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(LeadingInteger(row.text), row.value);
    }
}

} // namespace
} // namespace dp
