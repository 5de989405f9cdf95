#include "renderer/html_entities.h"
#include "renderer/html_layout.h"
#include "renderer/html_limits.h"

#include <algorithm>

namespace dp::html {
namespace {

class StructureReader {
public:
    explicit StructureReader(PreparedText& text) : text_(text) {}

    void Run() {
        const auto& tokens = text_.tokens.tokens;
        const int n = static_cast<int>(tokens.size());
        text_.ordinal.assign(tokens.size(), -1);
        for (int i = 0; i < n; ++i) {
            const Token& token = tokens[static_cast<std::size_t>(i)];
            if (token.kind != TokenKind::Tag)
                continue;
            switch (token.tag) {
            case Tag::Table:
                OnTable(i, token.closing);
                break;
            case Tag::Row:
                OnRow(i, token.closing);
                break;
            case Tag::Cell:
                OnCell(i, token.closing);
                break;
            case Tag::Anchor:
                if (!token.closing)
                    text_.ordinal[static_cast<std::size_t>(i)] = text_.linkCount++;
                break;
            default:
                break;
            }
        }
        while (!open_.empty()) {
            CloseCell(n);
            open_.pop_back();
        }
    }

private:
    struct Open {
        int table = 0;
        bool rowOpen = false;
        int cell = -1; // index in the last row
    };

    TableShape& Top() { return text_.tables[static_cast<std::size_t>(open_.back().table)]; }

    void CloseCell(int at) {
        Open& open = open_.back();
        if (open.cell >= 0)
            Top().rows.back().cells[static_cast<std::size_t>(open.cell)].end = at;
        open.cell = -1;
    }

    void OnTable(int i, bool closing) {
        if (!closing) {
            if (ignored_ > 0 || open_.size() >= static_cast<std::size_t>(kMaxTableDepth)) {
                ++ignored_;
                return;
            }
            text_.ordinal[static_cast<std::size_t>(i)] = static_cast<int>(text_.tables.size());
            text_.tables.push_back({i, static_cast<int>(text_.tokens.tokens.size()), {}});
            open_.push_back({static_cast<int>(text_.tables.size()) - 1});
            return;
        }
        if (ignored_ > 0) {
            --ignored_;
            return;
        }
        if (open_.empty())
            return;
        CloseCell(i);
        Top().end = i;
        open_.pop_back();
    }

    bool OpenRow(int token) {
        if (Top().rows.size() >= static_cast<std::size_t>(kMaxTableRows))
            return false;
        Top().rows.push_back({token, {}});
        open_.back().rowOpen = true;
        return true;
    }

    void OnRow(int i, bool closing) {
        if (ignored_ > 0 || open_.empty())
            return;
        CloseCell(i);
        open_.back().rowOpen = false;
        if (!closing)
            OpenRow(i);
    }

    void OnCell(int i, bool closing) {
        if (ignored_ > 0 || open_.empty())
            return;
        CloseCell(i);
        if (closing)
            return;
        if (!open_.back().rowOpen && !OpenRow(-1))
            return;
        auto& cells = Top().rows.back().cells;
        if (cells.size() >= static_cast<std::size_t>(kMaxTableColumns))
            return;
        cells.push_back({i, i + 1, static_cast<int>(text_.tokens.tokens.size())});
        open_.back().cell = static_cast<int>(cells.size()) - 1;
    }

    PreparedText& text_;
    std::vector<Open> open_;
    int ignored_ = 0;
};

} // namespace

PreparedText PrepareText(std::wstring_view html) {
    std::size_t keep = std::min<std::size_t>(html.size(), kMaxTextLength);
    if (keep > 0 && keep < html.size() && html[keep - 1] >= 0xD800 && html[keep - 1] <= 0xDBFF)
        --keep;
    std::wstring text = L"<body>";
    text += ReplaceEntities(html.substr(0, keep));
    text += L"</body>";
    PreparedText prepared;
    prepared.tokens = Tokenize(text);
    StructureReader(prepared).Run();
    return prepared;
}

} // namespace dp::html
