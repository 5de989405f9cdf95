// HtmlDrawer against GDI under Wine: what it leaves in the DC and in the process, links with
// their owner and cursor, image files it must refuse, and the browser fallback of OpenUrl.
#include "framework/win32/handles.h"
#include "effects/win32/dib_section.h"
#include "renderer/win32/html_drawer.h"
#include "renderer/win32/html_images_win32.h"
#include "renderer/win32/open_url.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace dp {
namespace {

// A white DIB section to draw into.
class Canvas : public DibSection {
public:
    Canvas(int width, int height) : DibSection(width, height) { Fill(0xFFFFFF); }
    // Pixels in the rectangle that are not white.
    int Inked(const RECT& r) const {
        const PixelBuffer pixels = Pixels();
        int n = 0;
        for (int y = std::max<LONG>(0, r.top); y < std::min<LONG>(height(), r.bottom); ++y)
            for (int x = std::max<LONG>(0, r.left); x < std::min<LONG>(width(), r.right); ++x)
                n += (pixels.At(x, y) & 0xFFFFFF) != 0xFFFFFF;
        return n;
    }
};

// Every kind of drawing: fonts, text backgrounds, decorations, a rule, tables with effects and
// borders in two styles, and an icon (given as a handle) with a look and a shadow.
constexpr wchar_t kEverything[] =
    L"<h2>Title</h2><b>bold</b> <i>it</i> <u>u</u> <s>s</s> <font bkgnd=yellow>on yellow</font> "
    L"<a href=x>link</a>\n<justify>justified text that wraps over more than one line</justify>"
    L"\n<table border=2 borderstyle=double bgcolor=#eeeeff bgeffect=hgradient bgendcolor=#8888cc>"
    L"<tr><td bgcolor=white>cell</td><td><table border=1><tr><td>a</td><td>b</td><td>c</td>"
    L"<td>d</td></tr><tr><td>e</td><td>f</td><td>g</td><td>h</td></tr></table></td></tr>"
    L"</table><hr><icon handle=0x%X style=gls>";

std::wstring EverythingWithIcon() {
    wchar_t text[1024];
    const HICON icon = ::LoadIconW(nullptr, IDI_INFORMATION);
    std::swprintf(text, 1024, kEverything,
                  static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(icon)));
    return text;
}

// Under Wine a process may hold about 65,500 GDI objects. A fresh drawer per round makes its
// fonts, pens, brushes, DIB sections and memory DCs again; the rounds together make more pens
// (54 lines a round) than the table holds, so that leaking them, or anything made as often,
// leaves no room for the probes at the end.
constexpr int kRounds = 1400;

TEST(HtmlDrawerGdiTest, RepeatedDrawingLeavesTheDcAsItWasAndLeaksNothing) {
    Canvas canvas(300, 200);
    HDC dc = canvas.dc();
    const HGDIOBJ font = ::GetCurrentObject(dc, OBJ_FONT);
    const HGDIOBJ pen = ::GetCurrentObject(dc, OBJ_PEN);
    const HGDIOBJ brush = ::GetCurrentObject(dc, OBJ_BRUSH);
    ::SetTextColor(dc, RGB(1, 2, 3));
    const std::wstring text = EverythingWithIcon();
    for (int round = 0; round < kRounds; ++round) {
        HtmlDrawer drawer;
        drawer.SetImageShadow(2, RGB(100, 100, 100));
        drawer.Measure(dc, text, 300);
        drawer.Draw(dc, RECT{0, 0, 300, 200});
    }
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), font);
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_PEN), pen);
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_BRUSH), brush);
    EXPECT_EQ(::GetTextColor(dc), RGB(1, 2, 3));
    EXPECT_EQ(::GetBkMode(dc), OPAQUE);
    // The last drawer's fonts were freed with it; a leak leaves the table all but full.
    std::vector<UniqueGdiObject> probes;
    for (int i = 0; i < 1000; ++i)
        probes.emplace_back(::CreateSolidBrush(RGB(1, 1, 1)));
    EXPECT_TRUE(std::all_of(probes.begin(), probes.end(), [](const auto& b) { return bool(b); }));
    EXPECT_GT(canvas.Inked({0, 0, 300, 200}), 1000);
}

TEST(HtmlDrawerGdiTest, DrawsInsideItsRectangleOnly) {
    Canvas canvas(300, 120);
    HtmlDrawer drawer;
    const SIZE size =
        drawer.Measure(canvas.dc(), L"<font color=red>some words that wrap</font>", 60);
    EXPECT_LE(size.cx, 60);
    EXPECT_GT(size.cy, 20); // more than one line
    drawer.Draw(canvas.dc(), RECT{100, 10, 160, 10 + size.cy});
    EXPECT_GT(canvas.Inked({100, 10, 160, 10 + size.cy}), 20);
    EXPECT_EQ(canvas.Inked({0, 0, 300, 10}) + canvas.Inked({0, 0, 100, 120}) +
                  canvas.Inked({160, 0, 300, 120}) + canvas.Inked({0, 10 + size.cy, 300, 120}),
              0);
}

// The owner of the drawer: records the notifications it gets.
struct Owner {
    static constexpr UINT kMessage = 0x8064;
    static inline std::vector<std::pair<WPARAM, std::wstring>> seen;

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kMessage && lParam == 77) {
            const bool pointer = wParam > 0xFFFF && static_cast<int>(wParam) != -2;
            seen.emplace_back(wParam, pointer ? reinterpret_cast<const wchar_t*>(wParam) : L"");
            return 0;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
};

TEST(HtmlDrawerGdiTest, HoverNotifiesTheOwnerSetsTheHandAndMessageLinksReachIt) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Owner::Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"DuskpanelHtmlOwnerTest";
    ::RegisterClassW(&wc);
    HWND window = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    Canvas canvas(200, 50);
    HtmlDrawer drawer;
    drawer.Attach(window, Owner::kMessage, 77);
    drawer.Measure(canvas.dc(), L"<a msg=\"say hello\">hello</a>", 200);
    drawer.Draw(canvas.dc(), RECT{10, 5, 210, 55});

    EXPECT_TRUE(drawer.HitTestCursor({15, 10}));
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_HAND));
    EXPECT_TRUE(drawer.HitTestCursor({16, 10})); // same link: no second notification
    EXPECT_FALSE(drawer.HitTestCursor({5, 10}));
    drawer.Click({15, 10});
    drawer.Click({5, 10}); // not on the link: nothing
    ::DestroyWindow(window);

    ASSERT_EQ(Owner::seen.size(), 3u);
    EXPECT_EQ(Owner::seen[0].first, 0u);
    EXPECT_EQ(static_cast<int>(Owner::seen[1].first), -2);
    EXPECT_EQ(Owner::seen[2].second, L"say hello");
    EXPECT_EQ(drawer.HoveredLink(), -2);
}

TEST(HtmlImagesTest, FileSourcesMustBeLocalImagesOfTheirKind) {
    EXPECT_TRUE(AcceptableImageFile(L"C:\\pics\\a.BMP", html::ImageKind::Bitmap));
    EXPECT_TRUE(AcceptableImageFile(L"C:\\pics\\a.ico", html::ImageKind::Icon));
    EXPECT_FALSE(AcceptableImageFile(L"C:\\pics\\a.ico", html::ImageKind::Bitmap));
    EXPECT_FALSE(AcceptableImageFile(L"C:\\pics\\a.exe", html::ImageKind::Icon));
    EXPECT_FALSE(AcceptableImageFile(L"\\\\server\\share\\a.bmp", html::ImageKind::Bitmap));
    EXPECT_FALSE(AcceptableImageFile(L"//?/C:/a.bmp", html::ImageKind::Bitmap));

    // A file that is not an image, and one that does not exist, draw nothing and take no room.
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring fake = std::wstring(temp) + L"dp_html_not_an_image.bmp";
    std::ofstream(std::filesystem::path(fake)) << "not a bitmap";
    Canvas canvas(100, 40);
    HtmlDrawer drawer;
    const SIZE size = drawer.Measure(
        canvas.dc(), L"<bmp file=\"" + fake + L"\"><bmp file=C:\\no\\such\\file.bmp>", 100);
    drawer.Draw(canvas.dc(), RECT{0, 0, 100, 40});
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(canvas.Inked({0, 0, 100, 40}), 0);
    ::DeleteFileW(fake.c_str());
}

// An image list of one 16 x 16 icon, destroyed at the end.
class IconImageList {
public:
    IconImageList() : list_(::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 1)) {
        ::ImageList_ReplaceIcon(list_, -1, ::LoadIconW(nullptr, IDI_APPLICATION));
    }
    ~IconImageList() { ::ImageList_Destroy(list_); }
    IconImageList(const IconImageList&) = delete;
    IconImageList& operator=(const IconImageList&) = delete;
    HIMAGELIST get() const { return list_; }

private:
    HIMAGELIST list_;
};

std::optional<html::ImageSize> ImageListSize(std::uint64_t handle, int index = 0) {
    html::ImageRequest request;
    request.kind = html::ImageKind::ImageList;
    request.source = html::ImageSource::Handle;
    request.handle = handle;
    request.index = index;
    HtmlImages images; // loads are kept per pass: a fresh one asks again
    return images.Size(request);
}

// "<ilst handle=...>" takes only image lists the program registered: any other number never
// reaches the image list functions, which crash on a number that is no list.
TEST(HtmlImagesTest, ImageListHandlesMustBeRegistered) {
    IconImageList list;
    ASSERT_NE(list.get(), nullptr);
    ASSERT_EQ(::ImageList_GetImageCount(list.get()), 1);
    const auto handle = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(list.get()));
    EXPECT_FALSE(ImageListSize(handle));
    {
        RegisteredImageList registered(list.get());
        const std::optional<html::ImageSize> size = ImageListSize(handle);
        ASSERT_TRUE(size);
        EXPECT_EQ(size->width, 16);
        EXPECT_EQ(size->height, 16);
        EXPECT_FALSE(ImageListSize(handle, 1)); // beyond its images
        { RegisteredImageList again(list.get()); }
        EXPECT_TRUE(ImageListSize(handle)); // still registered once
    }
    EXPECT_FALSE(ImageListSize(handle));
    for (const std::uint64_t number : {0x1ull, 0x12345678ull, 0xFFFFFFFFFFFFull})
        EXPECT_FALSE(ImageListSize(number)) << number;
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

// The default value of a key under HKEY_CLASSES_ROOT (Wine merges no per-user classes into
// it), put back as it was when the test ends.
class ClassesRootDefault {
public:
    ClassesRootDefault(std::wstring key, const std::wstring& value) : key_(std::move(key)) {
        wchar_t old[MAX_PATH] = {};
        LONG size = sizeof(old);
        if (::RegQueryValueW(HKEY_CLASSES_ROOT, key_.c_str(), old, &size) == ERROR_SUCCESS)
            old_ = old;
        Set(value);
    }
    ~ClassesRootDefault() {
        if (old_)
            Set(*old_);
        else
            ::RegDeleteTreeW(HKEY_CLASSES_ROOT, key_.c_str());
    }

private:
    void Set(const std::wstring& value) {
        ::RegSetKeyValueW(HKEY_CLASSES_ROOT, key_.c_str(), nullptr, REG_SZ, value.c_str(),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    std::wstring key_;
    std::optional<std::wstring> old_;
};

// The shell knows no "dpnoscheme:" addresses, so OpenUrl falls back to the command registered
// for ".htm": here the test setup program, which writes its command line next to itself.
TEST(OpenUrlTest, FallsBackToTheBrowserRegisteredForHtm) {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring browser = std::wstring(temp) + L"dp_html_browser.exe";
    const std::wstring record = browser + L".txt";
    ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"\\..\\bin\\fake_setup.exe").c_str(),
                            browser.c_str(), FALSE));
    ::DeleteFileW(record.c_str());
    const ClassesRootDefault htm(L".htm", L"DuskpanelTestPage");
    const ClassesRootDefault command(L"DuskpanelTestPage\\shell\\open\\command",
                                     L"\"" + browser + L"\" \"%1\"");

    EXPECT_GT(OpenUrl(L"dpnoscheme:some page", SW_HIDE), 32);
    std::string line;
    for (int i = 0; i < 100 && line.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::ifstream in{std::filesystem::path(record)};
        std::getline(in, line);
    }
    EXPECT_NE(line.find("  \"dpnoscheme:some page\""), std::string::npos) << line;
    // An address that cannot be passed as one argument never reaches the command line.
    EXPECT_LE(OpenUrl(L"dpnoscheme:a\" b", SW_HIDE), 32);

    ::DeleteFileW(record.c_str());
    ::DeleteFileW(browser.c_str());
}

} // namespace
} // namespace dp
