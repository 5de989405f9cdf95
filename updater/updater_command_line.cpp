#include "updater/updater_command_line.h"

#include "framework/command_words.h"
#include "framework/crt_text.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace dp {

namespace {

wchar_t AsciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? wchar_t(c - L'A' + L'a') : c;
}

std::optional<int> HexDigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    const wchar_t lower = AsciiLower(c);
    if (lower >= L'a' && lower <= L'f')
        return lower - L'a' + 10;
    return std::nullopt;
}

// "0x" counts as a prefix only when a hex digit follows; otherwise the 0 is the number.
bool HasHexPrefix(std::wstring_view text, std::size_t pos) {
    return pos + 2 < text.size() && text[pos] == L'0' && AsciiLower(text[pos + 1]) == L'x' &&
           HexDigitValue(text[pos + 2]).has_value();
}

} // namespace

std::int32_t ReadHexLong(std::wstring_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsCrtSpace(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-'))
        negative = text[pos++] == L'-';
    if (HasHexPrefix(text, pos))
        pos += 2;

    // Accumulate the magnitude, stopping once it is beyond what a 32-bit long can hold.
    constexpr std::int64_t kBeyondLong = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 2;
    std::int64_t magnitude = 0;
    for (; pos < text.size(); ++pos) {
        const auto digit = HexDigitValue(text[pos]);
        if (!digit)
            break;
        magnitude = std::min(magnitude * 16 + *digit, kBeyondLong);
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value < kMin ? kMin : (value > kMax ? kMax : value));
}

void UpdaterCommandLine::ParseParam(std::wstring_view param, bool isSwitch, bool /*isLast*/) {
    if (!isSwitch || param.empty())
        return;
    const std::wstring_view text = param.substr(1);
    switch (AsciiLower(param.front())) {
    case L'i':
        hasId = 1;
        if (!text.empty())
            productId = text;
        break;
    case L'n':
        if (!text.empty())
            productName = text;
        break;
    case L'v':
        if (!text.empty())
            installedVersion = text;
        break;
    case L'l':
        if (!text.empty())
            updateIniUrl = text;
        break;
    case L'c':
        showSettings = 1;
        break;
    case L'w':
        if (!text.empty())
            parentWindow = ReadHexLong(text);
        break;
    case L'x':
        if (!text.empty())
            watchedSetup = ReadHexLong(text);
        break;
    default:
        break;
    }
}

UpdaterCommandLine ParseUpdaterCommandLine(std::wstring_view commandLine) {
    UpdaterCommandLine result;
    for (const CommandWord& word : SplitCommandWords(commandLine))
        result.ParseParam(word.text, word.isSwitch, word.isLast);
    return result;
}

std::wstring SingleInstanceMutexName(std::wstring_view productId) {
    return L"nerovane_renewick_" + std::wstring(productId);
}

std::wstring UpdateDialogCaption(std::wstring_view productName) {
    return L"Renewick for " + std::wstring(productName);
}

} // namespace dp
