// Representative messages rendered through HtmlDrawer and GDI, compared with
// tests/golden/html_*.png (regenerated with ./dev goldens), at 96 dpi and, in a child process
// started at 150 % scaling, at 144 dpi (html_*_144dpi.png): the same proportions, sharper.
//
// Tolerance: a pixel may differ by 40 per channel, and 1 % of the pixels by more. That absorbs
// anti-aliasing and hinting differences between FreeType builds, while a line broken elsewhere,
// a cell one pixel wider or a missing border changes several percent of a sheet.
#include "effects/win32/dib_section.h"
#include "framework/dpi_scale.h"
#include "renderer/win32/html_drawer.h"
#include "testing/golden/golden_image.h"
#include "tests/support/dpi_child.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace dp {
namespace {

constexpr GoldenTolerance kTextTolerance{40, 0.01};

// 300 pixels at 96 dpi, in proportion at the process's resolution.
int Width() {
    return ScaleToDpi(300, test::CurrentDpi());
}

// Measures at Width(), draws on white; optionally moves the pointer over a point first.
PixelBuffer Render(const std::wstring& html, std::optional<POINT> hover = std::nullopt) {
    const int width = Width();
    HtmlDrawer drawer;
    drawer.SetImageShadow(3, RGB(96, 96, 96));
    DibSection probe(1, 1);
    const SIZE size = drawer.Measure(probe.dc(), html, width);
    DibSection canvas(width, std::max<LONG>(1, size.cy));
    canvas.Fill(0xFFFFFF);
    std::srand(1); // the noise of background effects repeats
    drawer.Draw(canvas.dc(), {0, 0, width, size.cy});
    if (hover && drawer.HitTestCursor(*hover)) {
        canvas.Fill(0xFFFFFF);
        drawer.Draw(canvas.dc(), {0, 0, width, size.cy});
    }
    return canvas.Pixels();
}

std::wstring WithIcon(const wchar_t* format) {
    wchar_t text[2048];
    const auto icon = reinterpret_cast<std::uintptr_t>(::LoadIconW(nullptr, IDI_WARNING));
    std::swprintf(text, 2048, format, static_cast<unsigned>(icon), static_cast<unsigned>(icon),
                  static_cast<unsigned>(icon), static_cast<unsigned>(icon),
                  static_cast<unsigned>(icon));
    return text;
}

class HtmlGoldenTest : public testing::TestWithParam<int> {
protected:
    std::string Name(const std::string& name) const { return test::GoldenName(name, GetParam()); }
};

TEST_P(HtmlGoldenTest, StyledText) {
    if (test::RunAtDpi(GetParam()))
        return;
    EXPECT_TRUE(MatchesGolden(
        Render(L"<h1>Heading one</h1>\n<h2>Heading two</h2> <h3>three</h3> <h6>six</h6>\n"
               L"Plain, <b>bold</b>, <b><b>bolder</b></b>, <i>italic</i>, <u>underlined</u>, "
               L"<s>struck</s>, <font style='text-decoration:overline'>overlined</font>.\n"
               L"<font face=Arial size=5 color=#336699>Arial 18</font> <big>big</big> "
               L"<small>small</small> H<sub>2</sub>O x<sup>2</sup> "
               L"<font bkgnd=#ffe080>&nbsp;highlighted&nbsp;</font>\n"
               L"<code>code();</code> <span class=cpp-comment>// comment</span> "
               L"<font style='text-transform:uppercase'>upper</font>\n"
               L"<center>centred line</center>\n<right>right-aligned line</right>\n"
               L"<justify>Justified text spreads the spare width of every wrapped line over its "
               L"blanks, so that both edges of the paragraph are straight.</justify>\n"
               L"&lt;not a tag&gt; &amp; &copy; &euro; &trade; &bull; &pound;"),
        Name("html_styled_text"), kTextTolerance));
}

TEST_P(HtmlGoldenTest, LinkPlainAndHovered) {
    if (test::RunAtDpi(GetParam()))
        return;
    const int width = Width();
    const std::wstring html = L"Read the <a href=\"http://example.com/help\">help pages</a> or "
                              L"<a msg=\"more\">ask for more</a>.";
    PixelBuffer plain = Render(html);
    const PixelBuffer hovered =
        Render(html, POINT{ScaleToDpi(100, GetParam()), ScaleToDpi(6, GetParam())});
    PixelBuffer both(width, plain.height + hovered.height, 0xFFFFFF);
    for (int y = 0; y < plain.height; ++y)
        for (int x = 0; x < width; ++x) {
            both.At(x, y) = plain.At(x, y);
            both.At(x, plain.height + y) = hovered.At(x, y);
        }
    EXPECT_TRUE(MatchesGolden(both, Name("html_link"), kTextTolerance));
}

TEST_P(HtmlGoldenTest, TablesWithBordersAndBackgrounds) {
    if (test::RunAtDpi(GetParam()))
        return;
    EXPECT_TRUE(MatchesGolden(
        Render(L"<table border=2 cellpadding=3 bgcolor=#f0f4ff bgeffect=vgradient "
               L"bgendcolor=#a0b4e0 width=100%><tr><td bgcolor=#ffffff>Name</td>"
               L"<td align=right>Level</td></tr><tr><td>Mains</td><td align=right>40 %</td></tr>"
               L"<tr><td colspan=2 align=center>spanning both columns</td></tr></table>\n"
               L"<table border=1 borderstyle=double bordercolor=#804000 cellspacing=4>"
               L"<tr><td rowspan=2 valign=bottom>tall</td><td>a</td></tr><tr><td>b</td></tr>"
               L"</table> <table border=1 borderstyle=dashed align=right><tr><td>dashed</td>"
               L"</tr></table>\n<table align=center border=3 bordercolorlight=#ffcc00 "
               L"bordercolordark=#996600 bgcolor=#fff0c0><tr><td width=60>fixed</td>"
               L"<td>free column</td></tr></table>"),
        Name("html_tables"), kTextTolerance));
}

TEST_P(HtmlGoldenTest, IconInEveryLook) {
    if (test::RunAtDpi(GetParam()))
        return;
    EXPECT_TRUE(MatchesGolden(
        Render(WithIcon(
            L"<icon handle=0x%X> <icon handle=0x%X style=g> "
            L"<icon handle=0x%X style=d> <icon handle=0x%X style=l> "
            L"<icon handle=0x%X style=s width=50 height=50>\nnormal, grey, darker, lighter, "
            L"shadow at half size")),
        Name("html_icons"), kTextTolerance));
}

TEST_P(HtmlGoldenTest, EveryBackgroundEffect) {
    if (test::RunAtDpi(GetParam()))
        return;
    std::wstring sheet = L"<table cellspacing=3 cellpadding=2>";
    const wchar_t* names[] = {L"solid",      L"hgradient",  L"vgradient",  L"hcgradient",
                              L"vcgradient", L"3hgradient", L"3vgradient", L"noise",
                              L"diagshade",  L"hshade",     L"vshade",     L"hbump",
                              L"vbump",      L"softbump",   L"hardbump",   L"metal"};
    for (int i = 0; i < 16; ++i) {
        if (i % 4 == 0)
            sheet += L"<tr>";
        sheet += L"<td width=60 height=30 bgcolor=#f8e0a0 bgmidcolor=#5a96dc bgendcolor=#141e5a "
                 L"bgeffect=";
        sheet += names[i];
        sheet += L"><font color=white size=1>";
        sheet += names[i];
        sheet += L"</font></td>";
    }
    sheet += L"</table>";
    EXPECT_TRUE(MatchesGolden(Render(sheet), Name("html_effects"), kTextTolerance));
}

TEST_P(HtmlGoldenTest, MessageBoxText) {
    if (test::RunAtDpi(GetParam()))
        return;
    // The shape the rich message box gives a message with an icon.
    EXPECT_TRUE(MatchesGolden(
        Render(WithIcon(L"<table cellpadding=5><tr><td width=32><icon handle=0x%X></td><td>"
                        L"The preview of the battery level ends in <b>10 seconds</b>.\nThe "
                        L"brightness read when the dialog opened is then put back.</td></tr>"
                        L"</table>")),
        Name("html_message_box"), kTextTolerance));
}

INSTANTIATE_TEST_SUITE_P(Dpi, HtmlGoldenTest, testing::Values(96, 144),
                         [](const auto& info) { return std::to_string(info.param); });

} // namespace
} // namespace dp
