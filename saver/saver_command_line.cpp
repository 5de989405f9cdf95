#include "saver/saver_command_line.h"

namespace dp {
namespace {

class Cursor {
public:
    explicit Cursor(std::wstring_view text) : text_(text) {}
    bool AtEnd() const { return pos_ >= text_.size(); }
    wchar_t Peek() const { return AtEnd() ? L'\0' : text_[pos_]; }
    void Advance() {
        if (!AtEnd())
            ++pos_;
    }
    void SkipWhile(bool (*predicate)(wchar_t)) {
        while (!AtEnd() && predicate(text_[pos_]))
            ++pos_;
    }

private:
    std::wstring_view text_;
    std::size_t pos_ = 0;
};

bool IsBlank(wchar_t c) {
    return c == L' ';
}
bool IsBlankOrColon(wchar_t c) {
    return c == L' ' || c == L':';
}
bool IsNotBlank(wchar_t c) {
    return c != L' ';
}
bool IsNotQuote(wchar_t c) {
    return c != L'"';
}

void SkipProgramName(Cursor& cursor) {
    if (cursor.Peek() == L'"') {
        cursor.Advance();
        cursor.SkipWhile(IsNotQuote);
    } else {
        cursor.SkipWhile(IsNotBlank);
    }
    cursor.Advance(); // the closing quote or the blank, when there is one
}

// Leading decimal digits; none give 0. Wraps instead of overflowing.
std::uint64_t ReadDecimal(Cursor& cursor) {
    std::uint64_t value = 0;
    while (cursor.Peek() >= L'0' && cursor.Peek() <= L'9') {
        value = value * 10u + static_cast<std::uint64_t>(cursor.Peek() - L'0');
        cursor.Advance();
    }
    return value;
}

SaverCommand WithHandle(SaverMode mode, Cursor& cursor) {
    cursor.SkipWhile(IsBlankOrColon);
    return {mode, ReadDecimal(cursor), false};
}

} // namespace

SaverCommand ParseSaverCommandLine(std::wstring_view commandLine) {
    Cursor cursor(commandLine);
    SkipProgramName(cursor);
    cursor.SkipWhile(IsBlank);
    if (cursor.AtEnd())
        return {SaverMode::Configure, 0, false};
    if (cursor.Peek() == L'-' || cursor.Peek() == L'/')
        cursor.Advance();
    wchar_t letter = cursor.Peek();
    cursor.Advance();
    switch (letter) {
    case L'A':
    case L'a':
        return WithHandle(SaverMode::ChangePassword, cursor);
    case L'C':
    case L'c':
        cursor.SkipWhile(IsBlankOrColon);
        if (cursor.AtEnd())
            return {SaverMode::Configure, 0, true};
        return {SaverMode::Configure, ReadDecimal(cursor), false};
    case L'P':
    case L'p':
    case L'L':
    case L'l':
        return WithHandle(SaverMode::Preview, cursor);
    case L'S':
    case L's':
        return {SaverMode::StartSaver, 0, false};
    case L'D':
    case L'd':
        return {SaverMode::Install, 0, false};
    case L'R':
    case L'r':
        return {SaverMode::Restore, 0, false};
    case L'W':
    case L'w':
        return {SaverMode::RunSaver, 0, false};
    default:
        return {SaverMode::Invalid, 0, false};
    }
}

} // namespace dp
