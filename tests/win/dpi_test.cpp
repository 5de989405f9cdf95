// Both programs ask for per-monitor awareness in the manifest built into them, and the system's
// sizes at a resolution come out in proportion (this program runs at the prefix's 96 dpi).
#include "framework/win32/dpi.h"

#include <gtest/gtest.h>

#include <string>

namespace dp {
namespace {

std::string EmbeddedManifest(const wchar_t* program) {
    wchar_t self[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, length);
    path = path.substr(0, path.find_last_of(L'\\')); // <build>\tests
    path = path.substr(0, path.find_last_of(L'\\')) + L"\\bin\\" + program;
    UniqueModule module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    HRSRC found =
        module ? ::FindResourceW(module.get(), MAKEINTRESOURCEW(1), RT_MANIFEST) : nullptr;
    HGLOBAL loaded = found ? ::LoadResource(module.get(), found) : nullptr;
    const auto* text = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    return text ? std::string(text, ::SizeofResource(module.get(), found)) : std::string();
}

TEST(DpiTest, BothProgramsDeclarePerMonitorAwareness) {
    for (const wchar_t* program : {L"Duskpanel.scr", L"Renewick.exe"}) {
        const std::string manifest = EmbeddedManifest(program);
        EXPECT_NE(manifest.find(">PerMonitorV2, System</dpiAwareness>"), std::string::npos)
            << "Windows 10 1607 and later";
        EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos) << "older systems";
    }
}

TEST(DpiTest, TheSystemsSizesAtAResolution) {
    EXPECT_EQ(SystemDpi(), 96);
    EXPECT_EQ(DpiForWindow(nullptr), 96);
    EXPECT_EQ(IconSizeForDpi(120).cx, 40);
    EXPECT_EQ(IconSizeForDpi(144).cx, 48);
    EXPECT_EQ(IconSizeForDpi(192).cy, 64);
    LOGFONTW at96{}, at144{};
    ASSERT_TRUE(MessageFontForDpi(96, at96) && MessageFontForDpi(144, at144));
    EXPECT_NEAR(at144.lfHeight, at96.lfHeight * 3 / 2, 1);
    const DWORD caption = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    EXPECT_GT(NonClientSizeForDpi(caption, 0, 144).cy, NonClientSizeForDpi(caption, 0, 96).cy);
    const UniqueIcon icon = LoadIconForDpi(nullptr, IDI_ASTERISK, 144);
    ICONINFO info{};
    ASSERT_TRUE(icon && ::GetIconInfo(icon.get(), &info));
    BITMAP colour{};
    ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(colour), &colour);
    EXPECT_EQ(colour.bmWidth, 48);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
}

} // namespace
} // namespace dp
