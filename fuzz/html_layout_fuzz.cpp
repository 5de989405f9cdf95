// The whole layout with the deterministic measurer: every operation lies within the caps and
// refers to text, fonts, images and links that exist, in time linear in the text's length. The
// first byte chooses the width; a first byte of 1 instead asks for a long message: the input
// after its second byte repeated to 64K characters, beside an icon as a message box shows it,
// 100 to 610 pixels wide (the second byte), which must keep to its width when it is plain text.
#include "fuzz/fuzz_text.h"
#include "renderer/html_layout.h"
#include "renderer/html_limits.h"
#include "richmsg/message_box_text.h"
#include "tests/support/html_fakes.h"

#include <variant>

namespace {

using namespace dp::html;

constexpr int kFar = 4 * kMaxLayoutHeight; // no coordinate may reach this

bool Near(int v) {
    return v > -kFar && v < kFar;
}

void CheckRect(const Rect& r) {
    DP_FUZZ_CHECK(Near(r.left) && Near(r.right) && Near(r.top) && Near(r.bottom));
    DP_FUZZ_CHECK(r.left <= r.right && r.top <= r.bottom);
}

void Check(const DisplayList& list) {
    DP_FUZZ_CHECK(list.fonts.size() <= static_cast<std::size_t>(kMaxFonts));
    DP_FUZZ_CHECK(list.images.size() <= static_cast<std::size_t>(kMaxImages));
    DP_FUZZ_CHECK(list.height >= 0 && list.height <= kMaxLayoutHeight);
    DP_FUZZ_CHECK(list.width >= 0 && list.width < kFar);
    for (const DisplayOp& op : list.ops) {
        if (const auto* t = std::get_if<TextOp>(&op)) {
            DP_FUZZ_CHECK(t->font >= 0 && static_cast<std::size_t>(t->font) < list.fonts.size());
            DP_FUZZ_CHECK(t->start + static_cast<std::size_t>(t->length) <= list.text.size());
            DP_FUZZ_CHECK(Near(t->x) && Near(t->y) && t->width >= 0);
            DP_FUZZ_CHECK(t->justifyExtra >= 0 && t->justifyBreaks >= 0);
        } else if (const auto* f = std::get_if<FillOp>(&op)) {
            CheckRect(f->rect);
        } else if (const auto* l = std::get_if<LineOp>(&op)) {
            DP_FUZZ_CHECK(Near(l->fromX) && Near(l->toX) && Near(l->fromY) && Near(l->toY));
            DP_FUZZ_CHECK(l->width >= 1 && l->width <= 2 * kMaxBorderWidth);
        } else if (const auto* i = std::get_if<ImageOp>(&op)) {
            CheckRect(i->rect);
            DP_FUZZ_CHECK(i->image >= 0 && static_cast<std::size_t>(i->image) < list.images.size());
        }
    }
    for (const FontSpec& font : list.fonts)
        DP_FUZZ_CHECK(font.height >= kMinFontSize && font.height <= kMaxFontSize);
    for (const LinkArea& area : list.linkAreas) {
        CheckRect(area.rect);
        DP_FUZZ_CHECK(area.index >= 0 && static_cast<std::size_t>(area.index) < list.links.size());
    }
}

struct Services {
    dp::test::FakeTextMeasurer measurer;
    dp::test::FakeImages images;
    dp::test::FakeStrings strings;
    dp::test::FakeSystemColours colours;
    LayoutServices services{measurer, &images, &strings, &colours};
    Services() { strings.strings[{L"", 1}] = L"a string <b>resource</b>\nwith a line feed"; }
};

constexpr std::size_t kLongMessage = 1 << 16;

void LongMessage(int width, std::wstring_view piece) {
    if (piece.empty())
        return;
    std::wstring message;
    message.reserve(kLongMessage + piece.size());
    while (message.size() < kLongMessage)
        message += piece;
    const dp::fuzz::CpuBudget budget(message.size());
    Services s;
    LayoutOptions options;
    options.width = width;
    const PreparedText prepared = PrepareText(dp::richbox::WrapMessage(message, false, 0x1234, 32));
    const DisplayList list = LayOut(prepared, StyleSheet::Default(), s.services, options);
    Check(list);
    if (piece.find_first_of(L"<&\t") == std::wstring_view::npos)
        DP_FUZZ_CHECK(list.width <= width);
    budget.Check();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    if (data[0] == 1) {
        if (size >= 2)
            LongMessage(100 + 2 * data[1], dp::fuzz::WideText(data + 2, size - 2));
        return 0;
    }
    const dp::fuzz::CpuBudget budget(size);
    const int width = data[0] == 0 ? 0 : data[0] * 3; // 0: no limit
    const std::wstring text = dp::fuzz::WideText(data + 1, size - 1);
    Services s;
    const LayoutServices& services = s.services;
    const PreparedText prepared = PrepareText(text);
    LayoutOptions options;
    options.width = width;
    options.hoveredLink = prepared.linkCount > 0 ? data[0] % prepared.linkCount : -2;
    options.shadowOffset = data[0] % 4;
    const DisplayList list = LayOut(prepared, StyleSheet::Default(), services, options);
    Check(list);
    // Laid out again at the width it reports needing, the text keeps its lines: what a message
    // box does when it measures, then draws into a rectangle of the measured width. (Not for
    // percentages, margins or tabs, which depend on the width itself, nor for content wider
    // than its room.)
    const bool widthFree = text.find_first_of(L"%\t") == std::wstring::npos &&
                           text.find(L"margin") == std::wstring::npos;
    if (widthFree && list.width > 0 && (width == 0 || list.width <= width)) {
        options.width = list.width;
        DP_FUZZ_CHECK(LayOut(prepared, StyleSheet::Default(), services, options).height ==
                      list.height);
    }
    budget.Check();
    return 0;
}
