// LinkLabel: a static control of a dialog template turned into a web link. Its text is drawn in
// link colours and underlined always or while the pointer is over it, the pointer becomes a
// hand, a tooltip shows the address, the control is sized to its text, and a click opens the
// address in the user's browser (with the registered browser as fallback and a message box
// when both fail). As with the system's link control, Tab reaches it (a focus rectangle shows
// it has the focus, when the dialog shows keyboard cues) and Enter or Space opens it. A font
// the dialog gives it later (the system rescales a dialog moved to a monitor of another
// scaling) becomes its link fonts, and it fits itself to the text again.
#pragma once

#include <windows.h>

#include <string>

#include "framework/win32/dialog.h"
#include "framework/win32/handles.h"
#include "framework/win32/tooltip.h"
#include "ui/link_rules.h"

namespace dp {

class LinkLabel : public SubclassedControl {
public:
    LinkLabel() = default;
    ~LinkLabel() override;

    // Stores the address; with the control bound, fits it to its text again and shows the new
    // address in the tooltip.
    void SetLinkUrl(const std::wstring& url);
    // Stores the state and, with the control bound, redraws it.
    void SetVisitedState(bool visited);
    // kUnderlineAlways, kUnderlineWhileHovering or anything else for never.
    void SetUnderlineMode(int mode);

    const std::wstring& Url() const { return url_; }
    bool Hovering() const { return hovering_; }
    bool Visited() const { return visited_; }

protected:
    // The address opened by a click; the result is ShellExecuteW's code (above 32: success).
    virtual INT_PTR OpenLink(const std::wstring& url, int showCommand);
    // A failed open: the exclamation sound, then the box naming the reason.
    virtual void Beep();
    virtual void ShowOpenError(INT_PTR code);

    void OnAttached() override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    bool PreTranslateMessage(MSG& msg) override;

private:
    void CreateFonts();
    void FitToText();
    void LoadHandCursor();
    void ApplyFont(LinkFont font);
    HBRUSH CtlColor(HDC dc) const;
    void OnMouseMove();
    void OnTimer();
    bool OnSetCursor();
    void OnEraseBackground(HDC dc);
    void OnLinkClicked();
    LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);
    bool OnKeyDown(WPARAM key, LPARAM flags);
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetFont(WPARAM wParam, LPARAM lParam);
    void OnResolutionChanged();
    bool IsOwnFont(WPARAM font) const;
    void ReleaseWindow();

    LinkColours colours_;
    bool hovering_ = false;
    bool visited_ = false;
    int underlineMode_ = kUnderlineWhileHovering;
    std::wstring url_;
    HFONT templateFont_ = nullptr; // the control's own font, not ours: given back at the end
    bool releasing_ = false;       // giving it back: no link fonts are made from it then
    UniqueGdiObject underlinedFont_;
    UniqueGdiObject plainFont_;
    UniqueCursor handCursor_;
    ToolTip tip_;
    static constexpr UINT_PTR kHoverTimerId = 100;
};

} // namespace dp
