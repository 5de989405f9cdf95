#include "renderer/win32/html_drawer.h"

#include "framework/win32/handles.h"
#include "renderer/html_document.h"
#include "renderer/html_limits.h"
#include "renderer/win32/display_list_painter.h"
#include "renderer/win32/gdi_text_measurer.h"
#include "renderer/win32/html_images_win32.h"
#include "renderer/win32/open_url.h"

#include <algorithm>
#include <string>

namespace dp {
namespace {

constexpr int kWinHelpHandCursor = 106;

class Win32SystemColours : public html::SystemColours {
public:
    std::uint32_t Colour(int index) const override { return ::GetSysColor(index); }
};

class Win32Strings : public html::ResourceStrings {
public:
    std::wstring Load(std::wstring_view module, unsigned id) override {
        UniqueModule loaded;
        HMODULE from = ::GetModuleHandleW(nullptr);
        if (!module.empty()) {
            loaded.reset(
                ::LoadLibraryExW(std::wstring(module).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
            from = loaded.get();
        }
        if (!from)
            return {};
        std::wstring text(html::kMaxStringResource + 1, L'\0');
        const int length = ::LoadStringW(from, id, text.data(), static_cast<int>(text.size()));
        text.resize(static_cast<std::size_t>(std::max(0, length)));
        return text;
    }
};

// The system's hand, or where it lacks one the hand of the old help viewer (a copy).
HCURSOR LoadHandCursor(UniqueIcon& owned) {
    if (HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND))
        return hand;
    wchar_t folder[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH - 14)
        return nullptr;
    const std::wstring path = std::wstring(folder, length) + L"\\winhlp32.exe";
    UniqueModule module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module)
        return nullptr;
    if (HCURSOR cursor = ::LoadCursorW(module.get(), MAKEINTRESOURCEW(kWinHelpHandCursor)))
        owned.reset(::CopyIcon(cursor));
    return owned.get();
}

} // namespace

struct HtmlDrawer::Impl {
    html::HtmlDocument document;
    GdiFontCache fonts;
    html::DrawnLinks links;
    Win32SystemColours colours;
    Win32Strings strings;
    HWND owner = nullptr;
    UINT message = 0;
    LPARAM param = 0;
    int hovered = -2;
    int shadowOffset = 0;
    int dpi = 0;
    COLORREF shadowColour = RGB(128, 128, 128);
    UniqueIcon ownedHand;
    HCURSOR hand = nullptr;
    bool handLoaded = false;

    html::LayoutOptions Options(int width) const {
        html::LayoutOptions options;
        options.width = width;
        options.hoveredLink = hovered;
        options.shadowOffset = shadowOffset;
        options.shadowColour = shadowColour;
        return options;
    }

    void Notify(WPARAM wParam) const {
        if (owner && message)
            ::SendMessageW(owner, message, wParam, param);
    }
};

HtmlDrawer::HtmlDrawer() : impl_(std::make_unique<Impl>()) {}
HtmlDrawer::~HtmlDrawer() = default;

SIZE HtmlDrawer::Measure(HDC dc, std::wstring_view html, int maxWidth) {
    impl_->document.SetText(html);
    SIZE size{};
    {
        GdiTextMeasurer measurer(dc, impl_->fonts, impl_->dpi);
        HtmlImages images;
        const html::LayoutServices services{measurer, &images, &impl_->strings, &impl_->colours};
        const html::DisplayList& list =
            impl_->document.Layout(services, impl_->Options(std::max(0, maxWidth)));
        size = {list.width, list.height};
    }
    impl_->fonts.Trim();
    return size;
}

void HtmlDrawer::Draw(HDC dc, const RECT& rect) {
    const int width = std::max<LONG>(1, rect.right - rect.left);
    {
        HtmlImages images;
        const html::DisplayList* list = nullptr;
        {
            GdiTextMeasurer measurer(dc, impl_->fonts, impl_->dpi);
            const html::LayoutServices services{measurer, &images, &impl_->strings,
                                                &impl_->colours};
            list = &impl_->document.Layout(services, impl_->Options(width));
        }
        PaintDisplayList(dc, *list, rect.left, rect.top, rect, impl_->fonts, images);
        impl_->links.Record(*list, rect.left, rect.top);
    }
    impl_->fonts.Trim();
}

void HtmlDrawer::Attach(HWND owner, UINT notifyMessage, LPARAM notifyParam) {
    impl_->owner = owner;
    impl_->message = notifyMessage;
    impl_->param = notifyParam;
}

bool HtmlDrawer::HitTestCursor(POINT clientPoint) {
    const int index = impl_->links.LinkAt(clientPoint.x, clientPoint.y);
    if (index != impl_->hovered) {
        impl_->hovered = index;
        impl_->Notify(static_cast<WPARAM>(index));
    }
    if (index < 0)
        return false;
    if (!impl_->handLoaded) {
        impl_->hand = LoadHandCursor(impl_->ownedHand);
        impl_->handLoaded = true;
    }
    if (impl_->hand)
        ::SetCursor(impl_->hand);
    return true;
}

void HtmlDrawer::Click(POINT clientPoint) {
    const html::Link* link = impl_->links.Find(impl_->links.LinkAt(clientPoint.x, clientPoint.y));
    if (!link)
        return;
    // A copy: the owner may set a new text while it handles the message.
    const std::wstring target = link->target;
    if (link->kind == html::LinkKind::Message) {
        impl_->Notify(reinterpret_cast<WPARAM>(target.c_str()));
        return;
    }
    if (OpenUrl(target, SW_SHOWNORMAL) <= 32)
        ::MessageBeep(MB_ICONEXCLAMATION);
}

void HtmlDrawer::SetDpi(int dpi) {
    impl_->dpi = std::max(0, dpi);
}

void HtmlDrawer::SetImageShadow(int offset, COLORREF colour) {
    impl_->shadowOffset = std::max(0, offset);
    impl_->shadowColour = colour;
}

int HtmlDrawer::HoveredLink() const {
    return impl_->hovered;
}

} // namespace dp
