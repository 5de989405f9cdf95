// One showing of a rich message box: the dialog with everything it resolved, measured, created
// and cached. It lives on the stack of RichMessageBox::Show, so boxes shown at the same time
// share nothing.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "framework/win32/dialog.h"
#include "framework/win32/handles.h"
#include "richmsg/message_box_buttons.h"
#include "richmsg/message_box_countdown.h"
#include "richmsg/message_box_layout.h"
#include "richmsg/message_box_text.h"
#include "renderer/win32/html_drawer.h"
#include "richmsg/win32/rich_message_box.h"

namespace dp {

// String resources of the box's resource module.
class ModuleStrings : public richbox::StringSource {
public:
    explicit ModuleStrings(HMODULE module) : module_(module) {}
    std::wstring Load(unsigned id) override;

private:
    HMODULE module_;
};

class MessageBoxDialog final : public Dialog {
public:
    // params must outlive the dialog (the texts it points at are read while it runs).
    MessageBoxDialog(const DLGTEMPLATE* dialogTemplate, const RichMessageBoxParams& params);

    INT_PTR Run();

protected:
    bool OnInitDialog() override;
    void OnOK() override { OnButton(IDOK, nullptr); }
    void OnCancel() override { OnButton(IDCANCEL, nullptr); }
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    struct ButtonWindow {
        int id;
        HWND hwnd;
    };

    std::wstring Text(const wchar_t* field) const;
    void Prepare();
    UniqueGdiObject CreateBoxFont() const;
    UniqueIcon LoadBoxIcon() const;
    void OnDpiChanged(int dpi, const RECT& suggested);
    void ApplyLayout();
    richbox::LayoutInput Measure(HDC dc);
    void CreateControls();
    HWND CreateButton(std::size_t index);
    void CreateCheckbox();
    void PlaceWindow();
    void ApplyCountdown();
    void SetCloseItem(bool enabled);

    void OnButton(int id, HWND control);
    void OnTimer();
    void ToggleFooter();
    void OpenHelp();
    bool IsChecked() const;
    void OnPaint();
    void Compose(HDC target, int width, int height);
    void DrawCachedBackground(HDC dc, int width, int height);
    bool OnSetCursor(WPARAM wParam, LPARAM lParam);
    void OnClick(LPARAM lParam);
    void RepaintTexts();
    void OnDestroy();

    RichMessageBoxParams params_;
    ModuleStrings strings_;
    std::map<int, richbox::TextRef> labelOverrides_;
    richbox::TextContext text_;
    std::wstring caption_;
    std::wstring header_;
    std::wstring message_;
    std::wstring footer_;
    // The resolution the box is laid out for: its owner's monitor's at first, then that of
    // the monitor it is moved to.
    int dpi_ = 96;
    UniqueGdiObject font_;
    UniqueIcon icon_; // drawn at the resolution's icon size
    richbox::ButtonPlan plan_;
    std::vector<std::wstring> labels_;
    std::optional<richbox::BoxCountdown> countdown_;
    HtmlDrawer headerHtml_;
    HtmlDrawer messageHtml_;
    HtmlDrawer footerHtml_;
    bool hasHeader_ = false;
    bool hasFooter_ = false;
    richbox::Layout layout_;
    std::vector<ButtonWindow> buttons_;
    HWND checkbox_ = nullptr;
    HWND checkboxLabel_ = nullptr;
    UniqueGdiObject background_;
    bool footerShown_ = false;
};

} // namespace dp
