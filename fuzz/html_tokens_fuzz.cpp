// Entities, tokens and the table structure of any message: every token and attribute lies
// inside the token list's characters, text runs carry no line feed, tab or carriage return,
// the caps hold, and the tables' token ranges nest inside the message.
#include "fuzz/fuzz_text.h"
#include "renderer/html_layout.h"
#include "renderer/html_limits.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dp::html;
    const dp::fuzz::CpuBudget budget(size);
    const std::wstring text = dp::fuzz::WideText(data, size);
    const PreparedText prepared = PrepareText(text);
    const TokenList& list = prepared.tokens;
    const std::size_t chars = list.chars.size();
    DP_FUZZ_CHECK(list.tokens.size() <= static_cast<std::size_t>(kMaxTokens));
    for (const Token& token : list.tokens) {
        DP_FUZZ_CHECK(token.start + static_cast<std::size_t>(token.length) <= chars);
        if (token.kind == TokenKind::Text) {
            DP_FUZZ_CHECK(token.length > 0);
            DP_FUZZ_CHECK(list.Text(token).find_first_of(L"\r\n\t") == std::wstring_view::npos);
        }
        DP_FUZZ_CHECK(token.attributeCount <= static_cast<std::uint32_t>(kMaxAttributes));
        DP_FUZZ_CHECK(token.firstAttribute + static_cast<std::size_t>(token.attributeCount) <=
                      list.attributes.size());
        for (const Attribute& a : list.Attributes(token)) {
            DP_FUZZ_CHECK(a.nameStart + static_cast<std::size_t>(a.nameLength) <= chars);
            DP_FUZZ_CHECK(a.valueStart + static_cast<std::size_t>(a.valueLength) <= chars);
        }
    }
    // Plain text (no markup, no entities) comes through whole, minus carriage returns.
    if (text.find_first_of(L"<&") == std::wstring::npos && text.size() <= 4096) {
        std::wstring expected, seen;
        for (wchar_t c : text)
            if (c != L'\r')
                expected += c == L'\t' ? L'\n' : c;
        for (const Token& token : list.tokens) {
            if (token.kind == TokenKind::Text)
                seen += list.Text(token);
            else if (token.kind != TokenKind::Tag)
                seen += L'\n';
        }
        DP_FUZZ_CHECK(seen == expected);
    }
    const int n = static_cast<int>(list.tokens.size());
    DP_FUZZ_CHECK(prepared.ordinal.size() == list.tokens.size());
    for (const TableShape& table : prepared.tables) {
        DP_FUZZ_CHECK(table.token >= 0 && table.token < table.end && table.end <= n);
        DP_FUZZ_CHECK(table.rows.size() <= static_cast<std::size_t>(kMaxTableRows));
        for (const RowShape& row : table.rows) {
            DP_FUZZ_CHECK(row.cells.size() <= static_cast<std::size_t>(kMaxTableColumns));
            for (const CellShape& cell : row.cells)
                DP_FUZZ_CHECK(cell.token > table.token && cell.begin <= cell.end &&
                              cell.end <= table.end);
        }
    }
    budget.Check();
    return 0;
}
