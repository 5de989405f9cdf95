// Splits a message (entities already replaced) into text runs, tags, line breaks and tabs.
//
// Text runs up to the next "<". A "<" followed by another "<", or standing last, is one literal
// "<". Otherwise a tag runs to the next ">"; a "<" that meets another "<" first, or no ">"
// within kMaxTagLength characters, is literal text. Line feeds and "<br>" are line breaks, tabs
// and "<t>" are tabs; carriage returns are dropped. Tag and attribute names are compared
// without regard to case.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dp::html {

enum class Tag : std::uint8_t {
    Unknown,
    Bold,
    Italic,
    Underline,
    Strike,
    Font,
    Rule,
    Left,
    Center,
    Right,
    Justify,
    Baseline,
    Top,
    Middle,
    Bottom,
    Bitmap,
    Icon,
    ImageList,
    String,
    Body,
    Paragraph,
    H1,
    H2,
    H3,
    H4,
    H5,
    H6,
    Code,
    Pre,
    Big,
    Small,
    Sub,
    Sup,
    Span,
    Anchor,
    Table,
    Row,
    Cell,
};

// The style-sheet selector a tag applies by itself ("body", "h1", ...), empty for others.
std::wstring_view SheetSelector(Tag tag);

enum class TokenKind : std::uint8_t { Text, Tag, LineBreak, Tab };

struct Attribute {
    std::uint32_t nameStart = 0; // into TokenList::chars, lower case
    std::uint32_t nameLength = 0;
    std::uint32_t valueStart = 0;
    std::uint32_t valueLength = 0;
};

struct Token {
    TokenKind kind = TokenKind::Text;
    Tag tag = Tag::Unknown;
    bool closing = false;
    std::uint32_t start = 0; // text runs: into TokenList::chars
    std::uint32_t length = 0;
    std::uint32_t firstAttribute = 0; // tags: into TokenList::attributes
    std::uint32_t attributeCount = 0;
};

struct TokenList {
    std::wstring chars;
    std::vector<Token> tokens;
    std::vector<Attribute> attributes;

    std::wstring_view Text(const Token& token) const {
        return std::wstring_view(chars).substr(token.start, token.length);
    }
    std::span<const Attribute> Attributes(const Token& token) const {
        return std::span<const Attribute>(attributes)
            .subspan(token.firstAttribute, token.attributeCount);
    }
    std::wstring_view Name(const Attribute& a) const {
        return std::wstring_view(chars).substr(a.nameStart, a.nameLength);
    }
    std::wstring_view Value(const Attribute& a) const {
        return std::wstring_view(chars).substr(a.valueStart, a.valueLength);
    }
    // The first attribute of that (lower-case) name.
    std::optional<std::wstring_view> Find(const Token& token, std::wstring_view name) const;
};

// At most kMaxTokens tokens; input beyond that is dropped.
TokenList Tokenize(std::wstring_view text);

// Where a tag token stands in the text it was read from: [begin, end) runs from its "<" to its
// ">". Line breaks and tabs written as tags are not tag tokens.
struct TagSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
    Tag tag = Tag::Unknown;
    bool closing = false;
};
// The tag tokens that Tokenize finds in text, in order.
std::vector<TagSpan> FindTagSpans(std::wstring_view text);

} // namespace dp::html
