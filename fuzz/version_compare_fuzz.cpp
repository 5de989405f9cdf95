// The installed version against the one an update INI offers (first line: installed, the rest:
// the INI's "version" value, read as the updater reads it).
#include "fuzz/fuzz_text.h"
#include "updater/update_ini.h"
#include "updater/version_compare.h"

#include <algorithm>
#include <cwchar>
#include <limits>

namespace {

class OneValueReader final : public dp::IniReader {
public:
    explicit OneValueReader(std::wstring_view value) : value_(value) {}
    std::wstring ReadString(std::wstring_view, std::wstring_view, std::wstring_view,
                            std::wstring_view, std::size_t bufferChars) override {
        return std::wstring(value_.substr(0, bufferChars - 1));
    }

private:
    std::wstring_view value_;
};

dp::VersionOrder Mirrored(dp::VersionOrder order) {
    switch (order) {
    case dp::VersionOrder::InstalledNewer:
        return dp::VersionOrder::OfferedNewer;
    case dp::VersionOrder::OfferedNewer:
        return dp::VersionOrder::InstalledNewer;
    default:
        return order;
    }
}

// The C library's reading, narrowed to int.
int ReferenceLeadingInteger(const std::wstring& text) {
    const long long value = std::wcstoll(text.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long long>(value, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = dp::fuzz::WideText(data, size);
    const auto [installed, iniValue] = dp::fuzz::SplitAtLineFeed(text);
    OneValueReader reader(iniValue);
    const std::wstring offered = dp::ReadOfferedVersion(reader, L"update.ini");
    DP_FUZZ_CHECK(offered.size() < dp::kVersionChars);

    const dp::VersionOrder order = dp::CompareVersions(installed, offered);
    DP_FUZZ_CHECK(dp::CompareVersions(offered, installed) == Mirrored(order));
    DP_FUZZ_CHECK(dp::CompareVersions(installed, installed) == dp::VersionOrder::Equal);

    const auto separator = dp::DetectSeparator(installed);
    DP_FUZZ_CHECK(!separator || installed.find(*separator) != std::wstring_view::npos);

    const std::wstring first(installed);
    if (dp::fuzz::IsAscii(first))
        DP_FUZZ_CHECK(dp::LeadingInteger(first) == ReferenceLeadingInteger(first));
    return 0;
}
