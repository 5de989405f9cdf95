#include "updater/download_naming.h"

#include <array>
#include <cstdint>

namespace dp {

namespace {

bool IsControl(wchar_t c) {
    return c < 0x20 || c == 0x7F;
}

wchar_t AsciiUpper(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? wchar_t(c - L'a' + L'A') : c;
}

bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i]))
            return false;
    }
    return true;
}

// Windows treats these as devices whatever the folder and the extension; trailing blanks
// before the extension are ignored too. The superscript digits count as port numbers.
bool IsReservedDeviceName(std::wstring_view name) {
    std::wstring_view base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.remove_suffix(1);
    for (std::wstring_view device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
        if (EqualsIgnoringAsciiCase(base, device))
            return true;
    }
    if (base.size() != 4)
        return false;
    const bool port = EqualsIgnoringAsciiCase(base.substr(0, 3), L"COM") ||
                      EqualsIgnoringAsciiCase(base.substr(0, 3), L"LPT");
    const wchar_t n = base[3];
    const bool portNumber = (n >= L'1' && n <= L'9') || n == 0xB9 || n == 0xB2 || n == 0xB3;
    return port && portNumber;
}

std::wstring_view WithoutQueryAndFragment(std::wstring_view url) {
    return url.substr(0, url.find_first_of(L"?#"));
}

// Where the path begins: after "scheme://host[:port]", or at the start without a scheme.
std::size_t PathStart(std::wstring_view url) {
    const std::size_t schemeEnd = url.find(L"://");
    if (schemeEnd == std::wstring_view::npos)
        return 0;
    const std::size_t pathStart = url.find_first_of(L"/?#", schemeEnd + 3);
    return pathStart == std::wstring_view::npos ? url.size() : pathStart;
}

bool NeedsEncoding(char32_t c) {
    return c <= 0x20 || c >= 0x7F;
}

// Reads one code point, joining a UTF-16 surrogate pair; lone surrogates and values beyond
// Unicode become U+FFFD. Works whether wchar_t holds UTF-16 or UTF-32.
char32_t ReadCodePoint(std::wstring_view text, std::size_t& pos) {
    const char32_t first = static_cast<char32_t>(text[pos++]);
    const bool high = first >= 0xD800 && first <= 0xDBFF;
    if (high && pos < text.size()) {
        const char32_t second = static_cast<char32_t>(text[pos]);
        if (second >= 0xDC00 && second <= 0xDFFF) {
            ++pos;
            return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
        }
    }
    if ((first >= 0xD800 && first <= 0xDFFF) || first > 0x10FFFF)
        return 0xFFFD;
    return first;
}

void AppendPercentByte(std::wstring& out, std::uint8_t byte) {
    constexpr std::wstring_view kHex = L"0123456789ABCDEF";
    out.push_back(L'%');
    out.push_back(kHex[byte >> 4]);
    out.push_back(kHex[byte & 0x0F]);
}

void AppendPercentUtf8(std::wstring& out, char32_t c) {
    if (c < 0x80) {
        AppendPercentByte(out, static_cast<std::uint8_t>(c));
    } else if (c < 0x800) {
        AppendPercentByte(out, static_cast<std::uint8_t>(0xC0 | (c >> 6)));
        AppendPercentByte(out, static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        AppendPercentByte(out, static_cast<std::uint8_t>(0xE0 | (c >> 12)));
        AppendPercentByte(out, static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F)));
        AppendPercentByte(out, static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
    } else {
        AppendPercentByte(out, static_cast<std::uint8_t>(0xF0 | (c >> 18)));
        AppendPercentByte(out, static_cast<std::uint8_t>(0x80 | ((c >> 12) & 0x3F)));
        AppendPercentByte(out, static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F)));
        AppendPercentByte(out, static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
    }
}

} // namespace

std::wstring FileNameFromUrl(std::wstring_view url) {
    const std::wstring_view path = WithoutQueryAndFragment(url);
    // A backslash decides even when a slash follows it: the plain-name check then refuses
    // what is left.
    std::size_t separator = path.find_last_of(L'\\');
    if (separator == std::wstring_view::npos)
        separator = path.find_last_of(L'/');
    if (separator == std::wstring_view::npos)
        return std::wstring(path);
    return std::wstring(path.substr(separator + 1));
}

bool IsPlainFileName(std::wstring_view name) {
    if (name.empty() || name.back() == L'.' || name.back() == L' ')
        return false;
    for (wchar_t c : name) {
        if (IsControl(c) || c == L':' || c == L'/' || c == L'\\')
            return false;
    }
    return !IsReservedDeviceName(name);
}

std::wstring UpdateIniPath(std::wstring_view tempFolder, int hasId) {
    return std::wstring(tempFolder) + L'\\' + std::to_wstring(hasId) + L"_update.ini";
}

std::wstring SetupFilePath(std::wstring_view tempFolder, std::wstring_view fileName) {
    return std::wstring(tempFolder) + L'\\' + std::wstring(fileName);
}

std::optional<std::wstring> BuildSetupCommandLine(std::wstring_view setupPath,
                                                  std::wstring_view setupParam) {
    std::wstring line;
    line.reserve(setupPath.size() + setupParam.size() + 3);
    line.append(L"\"").append(setupPath).append(L"\" ").append(setupParam);
    if (line.size() + 1 > kMaxCommandLineChars)
        return std::nullopt;
    return line;
}

std::wstring EncodeUrlForRequest(std::wstring_view url) {
    const std::size_t pathStart = PathStart(url);
    std::wstring encoded(url.substr(0, pathStart));
    for (std::size_t pos = pathStart; pos < url.size();) {
        const char32_t c = ReadCodePoint(url, pos);
        if (NeedsEncoding(c))
            AppendPercentUtf8(encoded, c);
        else
            encoded.push_back(static_cast<wchar_t>(c));
    }
    return encoded;
}

} // namespace dp
