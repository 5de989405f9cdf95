#include "updater/update_ini.h"

namespace dp {

namespace {

// The reader is asked for the platform's buffer size; the cut is applied here as well so that
// a value never outgrows what the rest of the program was sized for.
std::wstring ReadBounded(IniReader& reader, std::wstring_view file, std::wstring_view section,
                         std::wstring_view key, std::wstring_view defaultValue,
                         std::size_t bufferChars) {
    std::wstring value = reader.ReadString(file, section, key, defaultValue, bufferChars);
    if (value.size() >= bufferChars)
        value.resize(bufferChars - 1);
    return value;
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr char32_t kReplacement = 0xFFFD;

// What the first byte of a UTF-8 sequence says: its length (0: it cannot start one), its
// payload bits, and the smallest value a sequence of that length may encode.
struct Utf8Lead {
    std::size_t length = 0;
    char32_t bits = 0;
    char32_t smallest = 0;
};

Utf8Lead ReadLead(std::uint8_t lead) {
    if (lead >= 0xC2 && lead <= 0xDF)
        return {2, lead & 0x1Fu, 0x80};
    if (lead >= 0xE0 && lead <= 0xEF)
        return {3, lead & 0x0Fu, 0x800};
    if (lead >= 0xF0 && lead <= 0xF4)
        return {4, lead & 0x07u, 0x10000};
    return {};
}

// One code point from bytes at pos (a non-ASCII byte starts it); a byte that does not start a
// well-formed sequence (overlong, surrogate, beyond U+10FFFF, cut short) becomes U+FFFD and is
// passed over alone.
char32_t DecodeSequence(std::string_view bytes, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    const Utf8Lead lead = ReadLead(byte(pos));
    char32_t value = lead.bits;
    bool wellFormed = lead.length != 0 && pos + lead.length <= bytes.size();
    for (std::size_t i = 1; wellFormed && i < lead.length; ++i) {
        wellFormed = (byte(pos + i) & 0xC0) == 0x80;
        value = (value << 6) | (byte(pos + i) & 0x3F);
    }
    wellFormed = wellFormed && value >= lead.smallest && value <= 0x10FFFF &&
                 !(value >= 0xD800 && value <= 0xDFFF);
    pos += wellFormed ? lead.length : 1;
    return wellFormed ? value : kReplacement;
}

char32_t DecodeUtf8(std::string_view bytes, std::size_t& pos) {
    const auto first = static_cast<std::uint8_t>(bytes[pos]);
    if (first < 0x80) {
        ++pos;
        return first;
    }
    return DecodeSequence(bytes, pos);
}

void AppendUtf16Le(std::string& out, char32_t c) {
    const auto unit = [&](char32_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    };
    if (c < 0x10000) {
        unit(c);
        return;
    }
    c -= 0x10000;
    unit(0xD800 + (c >> 10));
    unit(0xDC00 + (c & 0x3FF));
}

} // namespace

std::optional<std::string> Utf16IniFromMarkedUtf8(std::string_view bytes) {
    if (!bytes.starts_with(kUtf8Mark))
        return std::nullopt;
    std::string converted = "\xFF\xFE";
    converted.reserve(2 + 2 * bytes.size());
    for (std::size_t pos = kUtf8Mark.size(); pos < bytes.size();)
        AppendUtf16Le(converted, DecodeUtf8(bytes, pos));
    return converted;
}

std::wstring ReadOfferedVersion(IniReader& reader, std::wstring_view iniFile) {
    return ReadBounded(reader, iniFile, L"public", L"version", L"0.0", kVersionChars);
}

SetupSource ReadSetupSource(IniReader& reader, std::wstring_view iniFile,
                            std::wstring_view productId, std::wstring_view architecture) {
    std::wstring suffix;
    if (!architecture.empty() &&
        !ReadBounded(reader, iniFile, productId, L"download_path_" + std::wstring(architecture),
                     L"", kDownloadPathChars + 1)
             .empty())
        suffix = L"_" + std::wstring(architecture);
    const auto key = [&suffix](const wchar_t* name) { return name + suffix; };
    SetupSource source;
    source.downloadPath =
        ReadBounded(reader, iniFile, productId, key(L"download_path"), L"", kDownloadPathChars + 1);
    source.setupParam =
        ReadBounded(reader, iniFile, productId, key(L"setup_param"), L"", kSetupParamChars);
    source.integrity.sha256 =
        ReadBounded(reader, iniFile, productId, key(L"sha256"), L"", kSha256Chars);
    source.integrity.signature =
        ReadBounded(reader, iniFile, productId, key(L"signature"), L"", kSignatureChars);
    source.offerName = std::wstring(productId);
    if (!suffix.empty())
        source.offerName += L"/" + std::wstring(architecture);
    return source;
}

} // namespace dp
