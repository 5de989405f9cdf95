// The rich message box's geometry, in pixels: band heights, button size and placement, the
// check box, the dialog's size with and without its footer, separator pieces and centring.
// The Win32 side measures the texts and applies what this computes. The constants are pixels
// of a 96-dpi screen; at another resolution the box uses them in proportion (BoxMetrics).
#pragma once

#include <vector>

namespace dp::richbox {

inline constexpr int kTextMargin = 14; // around header, message and footer texts
inline constexpr int kButtonGap = 11;  // between buttons, and above and below the row
inline constexpr int kCheckboxLeft = 10;
inline constexpr int kCheckboxSize = 13;
inline constexpr int kCaptionGap = 5; // separator captions: inset and gap to the line
inline constexpr int kMinButtonWidth = 80;
inline constexpr int kMinButtonHeight = 23;
inline constexpr int kCheckboxLabelRoom = 20; // beyond the label and the margins on both sides

enum class Align { Left = 0, Right = 1, Centre = 2 };
// 0 left, 1 right, anything else centred.
Align AlignFromInt(int value);

struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};
struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};
struct Box {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Box&) const = default;
};

// The constants above at a resolution.
struct BoxMetrics {
    int textMargin = kTextMargin;
    int buttonGap = kButtonGap;
    int checkboxLeft = kCheckboxLeft;
    int checkboxSize = kCheckboxSize;
    int captionGap = kCaptionGap;
    Size minButton{kMinButtonWidth, kMinButtonHeight};
    int checkboxLabelRoom = kCheckboxLabelRoom;
    bool operator==(const BoxMetrics&) const = default;
};
BoxMetrics MetricsForDpi(int dpi);

// What was measured, and the choices that shape the box.
struct LayoutInput {
    int dpi = 96;            // the resolution the texts were measured at
    int headerMinHeight = 0; // 0 or less: no header band
    Size headerText;
    int headerCaptionWidth = 0; // of a header separator's caption; 0 for none
    Size messageText;
    bool footer = false; // a footer to fold out
    Size footerText;
    bool buttonBand = false; // the button band has a separator or an effect
    int buttonCaptionWidth = 0;
    bool checkbox = false;
    bool checkboxBelow = false;
    Size checkboxLabel;
    std::vector<Size> buttonLabels; // each button's label (More: the larger of its two)
    Align buttonAlign = Align::Centre;
    Size nonClient; // what the frame and title add to the client area
    // The widest the window may be (the work area's width); 0 for no limit. The texts are
    // measured within their own cap (MaxTextWidth); what is still wider here (a long check box
    // label or caption, many buttons) is cut: buttons narrow, labels and captions are clipped.
    int maxWindowWidth = 0;
};

struct Layout {
    BoxMetrics metrics;
    int headerHeight = 0;
    int messageHeight = 0;
    int buttonAreaHeight = 0; // the margins of the row and the check box, without the buttons
    int footerHeight = 0;
    Size button;
    Size client; // footer hidden; never wider than maxWindowWidth allows
    Size window; // footer hidden; the footer adds footerHeight
    std::vector<Point> buttons;
    Box checkbox;
    Box checkboxLabel;

    int MessageTop() const { return headerHeight; }
    int ButtonAreaTop() const { return headerHeight + messageHeight; }
    int FooterTop() const { return client.height; }
    Box HeaderText() const;
    Box MessageText() const;
    Box FooterText() const;
};

// Rounded like the platform's MulDiv; 64-bit intermediate, 0 for a zero divisor.
int MulDivRound(int number, int numerator, int denominator);

// A button big enough for a label of that size (at least `least`, 80 x 23 at 96 dpi).
Size ButtonSizeFor(Size label, Size least = {kMinButtonWidth, kMinButtonHeight});

Layout LayOutBox(const LayoutInput& input);

// A separator along a band's edge: where its caption goes and the pieces of line beside it.
struct SeparatorPlan {
    int captionX = 0;       // meaningful with a caption
    std::vector<Box> lines; // top and bottom are 0: only left and right matter
};
SeparatorPlan PlanSeparator(int bandWidth, int captionWidth, Align align, int gap = kCaptionGap);

// The window's top left corner: centred over `over` (the owner's window, or the screen), then
// moved just far enough to lie inside the work area; one larger than the work area starts at
// its top left corner.
Point CentreWindow(const Box& over, Size window, const Box& workArea);

// The widest text a band lays out before wrapping: two thirds of the work area, less margins.
int MaxTextWidth(int workAreaWidth, int dpi = 96);

} // namespace dp::richbox
