#include "renderer/html_tokenizer.h"

#include "renderer/html_limits.h"

#include <array>

namespace dp::html {
namespace {

struct TagName {
    std::wstring_view name;
    Tag tag;
};

constexpr std::array<TagName, 45> kTagNames = {{
    {L"b", Tag::Bold},
    {L"bold", Tag::Bold},
    {L"i", Tag::Italic},
    {L"italic", Tag::Italic},
    {L"em", Tag::Italic},
    {L"u", Tag::Underline},
    {L"underline", Tag::Underline},
    {L"s", Tag::Strike},
    {L"strike", Tag::Strike},
    {L"strikeout", Tag::Strike},
    {L"font", Tag::Font},
    {L"hr", Tag::Rule},
    {L"left", Tag::Left},
    {L"center", Tag::Center},
    {L"right", Tag::Right},
    {L"justify", Tag::Justify},
    {L"baseline", Tag::Baseline},
    {L"top", Tag::Top},
    {L"vcenter", Tag::Middle},
    {L"middle", Tag::Middle},
    {L"bottom", Tag::Bottom},
    {L"bmp", Tag::Bitmap},
    {L"icon", Tag::Icon},
    {L"ilst", Tag::ImageList},
    {L"string", Tag::String},
    {L"body", Tag::Body},
    {L"h1", Tag::H1},
    {L"h2", Tag::H2},
    {L"h3", Tag::H3},
    {L"h4", Tag::H4},
    {L"h5", Tag::H5},
    {L"h6", Tag::H6},
    {L"code", Tag::Code},
    {L"pre", Tag::Pre},
    {L"big", Tag::Big},
    {L"small", Tag::Small},
    {L"sub", Tag::Sub},
    {L"sup", Tag::Sup},
    {L"span", Tag::Span},
    {L"a", Tag::Anchor},
    {L"table", Tag::Table},
    {L"tr", Tag::Row},
    {L"td", Tag::Cell},
    {L"p", Tag::Paragraph},
    {L"", Tag::Unknown},
}};

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

wchar_t Lower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
}

bool EqualsLower(std::wstring_view s, std::wstring_view lower) {
    if (s.size() != lower.size())
        return false;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (Lower(s[i]) != lower[i])
            return false;
    return true;
}

Tag LookUpTag(std::wstring_view name) {
    if (name.empty())
        return Tag::Unknown;
    for (const TagName& entry : kTagNames)
        if (EqualsLower(name, entry.name))
            return entry.tag;
    return Tag::Unknown;
}

class Tokenizer {
public:
    explicit Tokenizer(std::wstring_view text, std::vector<TagSpan>* spans = nullptr)
        : text_(text), spans_(spans) {
        out_.chars.reserve(text.size());
        out_.tokens.reserve(text.size() / 8 + 4);
    }

    TokenList Run() {
        std::size_t at = 0;
        while (at < text_.size() && !Full()) {
            const wchar_t c = text_[at];
            if (c == L'<')
                at = OnLessThan(at);
            else if (c == L'\n' || c == L'\t')
                Push(c == L'\n' ? TokenKind::LineBreak : TokenKind::Tab), ++at;
            else if (c == L'\r')
                ++at;
            else
                at = TakeText(at);
        }
        FlushText();
        return std::move(out_);
    }

private:
    bool Full() const { return out_.tokens.size() >= static_cast<std::size_t>(kMaxTokens); }

    std::size_t TakeText(std::size_t at) {
        std::size_t end = at;
        while (end < text_.size() && text_[end] != L'<' && text_[end] != L'\n' &&
               text_[end] != L'\t' && text_[end] != L'\r')
            ++end;
        AppendText(text_.substr(at, end - at));
        return end;
    }

    void AppendText(std::wstring_view piece) {
        if (!pendingText_) {
            pendingText_ = true;
            pendingStart_ = out_.chars.size();
        }
        out_.chars.append(piece);
    }

    void FlushText() {
        if (!pendingText_)
            return;
        pendingText_ = false;
        Token token;
        token.kind = TokenKind::Text;
        token.start = static_cast<std::uint32_t>(pendingStart_);
        token.length = static_cast<std::uint32_t>(out_.chars.size() - pendingStart_);
        if (token.length > 0 && !Full())
            out_.tokens.push_back(token);
    }

    void Push(TokenKind kind) {
        FlushText();
        if (Full())
            return;
        Token token;
        token.kind = kind;
        out_.tokens.push_back(token);
    }

    std::size_t OnLessThan(std::size_t at) {
        if (at + 1 == text_.size() || text_[at + 1] == L'<') {
            AppendText(L"<");
            return at + 2;
        }
        const std::size_t limit = std::min(text_.size(), at + 1 + kMaxTagLength);
        for (std::size_t end = at + 1; end < limit; ++end) {
            if (text_[end] == L'<')
                break;
            if (text_[end] == L'>') {
                OnTag(text_.substr(at + 1, end - at - 1));
                return end + 1;
            }
        }
        AppendText(L"<");
        return at + 1;
    }

    void OnTag(std::wstring_view inside) {
        Token token;
        token.kind = TokenKind::Tag;
        std::size_t at = 0;
        if (at < inside.size() && inside[at] == L'/') {
            token.closing = true;
            ++at;
        }
        std::size_t nameEnd = at;
        while (nameEnd < inside.size() && !IsBlank(inside[nameEnd]) && inside[nameEnd] != L'/')
            ++nameEnd;
        const std::wstring_view name = inside.substr(at, nameEnd - at);
        if (EqualsLower(name, L"br") || EqualsLower(name, L"t")) {
            if (!token.closing)
                Push(EqualsLower(name, L"br") ? TokenKind::LineBreak : TokenKind::Tab);
            return;
        }
        FlushText();
        if (Full())
            return;
        token.tag = LookUpTag(name);
        token.firstAttribute = static_cast<std::uint32_t>(out_.attributes.size());
        ReadAttributes(inside.substr(nameEnd), token);
        out_.tokens.push_back(token);
        if (spans_) {
            const auto begin = static_cast<std::size_t>(inside.data() - text_.data()) - 1;
            spans_->push_back({begin, begin + inside.size() + 2, token.tag, token.closing});
        }
    }

    void ReadAttributes(std::wstring_view rest, Token& token) {
        std::size_t at = 0;
        while (token.attributeCount < static_cast<std::uint32_t>(kMaxAttributes)) {
            while (at < rest.size() && (IsBlank(rest[at]) || rest[at] == L'/'))
                ++at;
            if (at >= rest.size())
                return;
            std::size_t nameEnd = at;
            while (nameEnd < rest.size() && !IsBlank(rest[nameEnd]) && rest[nameEnd] != L'=')
                ++nameEnd;
            Attribute attribute;
            attribute.nameStart = static_cast<std::uint32_t>(out_.chars.size());
            for (std::size_t i = at; i < nameEnd; ++i)
                out_.chars.push_back(Lower(rest[i]));
            attribute.nameLength = static_cast<std::uint32_t>(nameEnd - at);
            at = SkipBlanks(rest, nameEnd);
            std::wstring_view value;
            if (at < rest.size() && rest[at] == L'=') {
                at = SkipBlanks(rest, at + 1);
                at = ReadValue(rest, at, value);
            }
            attribute.valueStart = static_cast<std::uint32_t>(out_.chars.size());
            attribute.valueLength = static_cast<std::uint32_t>(value.size());
            out_.chars.append(value);
            out_.attributes.push_back(attribute);
            ++token.attributeCount;
        }
    }

    static std::size_t SkipBlanks(std::wstring_view s, std::size_t at) {
        while (at < s.size() && IsBlank(s[at]))
            ++at;
        return at;
    }

    static std::size_t ReadValue(std::wstring_view s, std::size_t at, std::wstring_view& value) {
        if (at < s.size() && (s[at] == L'"' || s[at] == L'\'')) {
            const std::size_t close = s.find(s[at], at + 1);
            const std::size_t end = close == std::wstring_view::npos ? s.size() : close;
            value = s.substr(at + 1, end - at - 1);
            return end == s.size() ? end : end + 1;
        }
        std::size_t end = at;
        while (end < s.size() && !IsBlank(s[end]))
            ++end;
        value = s.substr(at, end - at);
        return end;
    }

    std::wstring_view text_;
    std::vector<TagSpan>* spans_;
    TokenList out_;
    bool pendingText_ = false;
    std::size_t pendingStart_ = 0;
};

} // namespace

std::wstring_view SheetSelector(Tag tag) {
    switch (tag) {
    case Tag::Body:
        return L"body";
    case Tag::Paragraph:
        return L"p";
    case Tag::H1:
        return L"h1";
    case Tag::H2:
        return L"h2";
    case Tag::H3:
        return L"h3";
    case Tag::H4:
        return L"h4";
    case Tag::H5:
        return L"h5";
    case Tag::H6:
        return L"h6";
    case Tag::Code:
        return L"code";
    case Tag::Pre:
        return L"pre";
    case Tag::Big:
        return L"big";
    case Tag::Small:
        return L"small";
    case Tag::Sub:
        return L"sub";
    case Tag::Sup:
        return L"sup";
    default:
        return {};
    }
}

std::optional<std::wstring_view> TokenList::Find(const Token& token, std::wstring_view name) const {
    for (const Attribute& attribute : Attributes(token))
        if (Name(attribute) == name)
            return Value(attribute);
    return std::nullopt;
}

TokenList Tokenize(std::wstring_view text) {
    return Tokenizer(text).Run();
}

std::vector<TagSpan> FindTagSpans(std::wstring_view text) {
    std::vector<TagSpan> spans;
    Tokenizer(text, &spans).Run();
    return spans;
}

} // namespace dp::html
