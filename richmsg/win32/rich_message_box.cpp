#include "richmsg/win32/rich_message_box.h"

#include "richmsg/win32/message_box_dialog.h"

#include <array>
#include <cstring>

namespace dp {
namespace {

// Popup, visible, caption, system menu, centred, modal frame.
constexpr DWORD kDialogStyle = 0x90C80880;
constexpr short kTemplateSize = 100; // dialog units; the box sizes itself when it opens

// The in-memory template: a DLGTEMPLATE without controls, then empty menu, class and title,
// in 36 zeroed, DWORD-aligned bytes. It lives on the stack, so making it cannot fail.
struct BoxTemplate {
    alignas(DWORD) std::array<WORD, 18> words{};

    BoxTemplate() {
        DLGTEMPLATE header{};
        header.style = kDialogStyle;
        header.cx = kTemplateSize;
        header.cy = kTemplateSize;
        static_assert(sizeof(header) + 3 * sizeof(WORD) <= sizeof(words));
        std::memcpy(words.data(), &header, sizeof(header));
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words.data()); }
};

} // namespace

INT_PTR RichMessageBox::Show(const RichMessageBoxParams& params) {
    RichMessageBoxParams copy = params;
    if (!copy.parentWindow) {
        HWND active = ::GetActiveWindow();
        copy.parentWindow = active ? ::GetLastActivePopup(active) : nullptr;
    }
    if (!(copy.style & RMB_NOSOUND))
        ::MessageBeep(copy.style & richbox::kIconMask);
    const BoxTemplate dialogTemplate;
    MessageBoxDialog dialog(dialogTemplate.get(), copy);
    return dialog.Run();
}

INT_PTR RichMessageBox::Show() {
    params_.headerBand.separatorCaption = headerCaption_.c_str();
    params_.buttonBand.separatorCaption = buttonCaption_.c_str();
    params_.footerBand.separatorCaption = footerCaption_.c_str();
    params_.customButtons = customButtons_.c_str();
    labelPointers_.clear();
    for (const auto& [id, text] : labels_)
        labelPointers_[id] = text.c_str();
    params_.buttonLabels = &labelPointers_;
    return Show(params_);
}

} // namespace dp
