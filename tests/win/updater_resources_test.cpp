// The resources built into Renewick.exe: the three dialog templates as the code and the user
// depend on them (captions, control IDs, classes, styles, places), the About string and the
// icon. Read from the built program with the platform's own resource functions.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "framework/win32/handles.h"
#include "updater/resource_ids.h"

namespace dp {
namespace {

std::wstring RenewickPath() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring self(path, length);
    // The tests are built into <build>\tests, the programs into <build>\bin.
    std::wstring build = self.substr(0, self.find_last_of(L'\\'));
    build = build.substr(0, build.find_last_of(L'\\'));
    return build + L"\\bin\\Renewick.exe";
}

// One control of a DLGTEMPLATEEX. A class or title given as an ordinal is shown as "#<n>".
struct TemplateItem {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::wstring className;
    std::wstring title;
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short cx = 0, cy = 0;
    std::wstring caption;
    WORD pointSize = 0;
    std::wstring typeface;
    std::vector<TemplateItem> items;
};

// Reads DLGTEMPLATEEX data; empty when it is not one.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, DWORD size) : data_(data), size_(size) {}

    std::optional<DialogTemplate> Read() {
        DialogTemplate dialog;
        if (Word() != 1 || Word() != 0xFFFF)
            return std::nullopt;
        Dword(); // help ID
        dialog.exStyle = Dword();
        dialog.style = Dword();
        const WORD count = Word();
        Short();
        Short();
        dialog.cx = Short();
        dialog.cy = Short();
        SzOrOrd(); // menu
        SzOrOrd(); // class
        dialog.caption = String();
        if (dialog.style & DS_SETFONT) {
            dialog.pointSize = Word();
            Word(); // weight
            Byte(); // italic
            Byte(); // character set
            dialog.typeface = String();
        }
        for (WORD i = 0; i < count && !failed_; ++i) {
            Align(4);
            TemplateItem item;
            Dword(); // help ID
            item.exStyle = Dword();
            item.style = Dword();
            item.x = Short();
            item.y = Short();
            item.cx = Short();
            item.cy = Short();
            item.id = static_cast<int>(Dword());
            item.className = SzOrOrd();
            item.title = SzOrOrd();
            pos_ += Word(); // creation data
            dialog.items.push_back(item);
        }
        if (failed_)
            return std::nullopt;
        return dialog;
    }

private:
    bool Need(std::size_t bytes) {
        if (pos_ + bytes > size_)
            failed_ = true;
        return !failed_;
    }
    BYTE Byte() { return Need(1) ? data_[pos_++] : 0; }
    WORD Word() {
        WORD value = 0;
        if (Need(2))
            std::memcpy(&value, data_ + pos_, 2), pos_ += 2;
        return value;
    }
    short Short() { return static_cast<short>(Word()); }
    DWORD Dword() {
        DWORD value = 0;
        if (Need(4))
            std::memcpy(&value, data_ + pos_, 4), pos_ += 4;
        return value;
    }
    void Align(std::size_t to) { pos_ = (pos_ + to - 1) / to * to; }
    std::wstring String() {
        std::wstring text;
        for (WORD c = Word(); c != 0 && !failed_; c = Word())
            text += static_cast<wchar_t>(c);
        return text;
    }
    std::wstring SzOrOrd() {
        if (!Need(2))
            return L"";
        WORD first = 0;
        std::memcpy(&first, data_ + pos_, 2);
        if (first == 0xFFFF) {
            pos_ += 2;
            return L"#" + std::to_wstring(Word());
        }
        return String();
    }

    const BYTE* data_;
    DWORD size_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

// "ProductVersion" of the program's version block (U.S. English, Unicode); empty without one.
std::wstring ProductVersion(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD bytes = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<BYTE> block(bytes);
    void* value = nullptr;
    UINT length = 0;
    if (bytes == 0 || !::GetFileVersionInfoW(path.c_str(), 0, bytes, block.data()) ||
        !::VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\ProductVersion", &value,
                          &length) ||
        length == 0)
        return {};
    return std::wstring(static_cast<const wchar_t*>(value), length - 1);
}

class RenewickResources : public testing::Test {
protected:
    void SetUp() override {
        module_.reset(::LoadLibraryExW(RenewickPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(module_) << "Renewick.exe is built beside the tests: "
                             << std::string(RenewickPath().begin(), RenewickPath().end());
    }

    std::optional<DialogTemplate> Template(int id) {
        HRSRC found = ::FindResourceW(module_.get(), MAKEINTRESOURCEW(id), RT_DIALOG);
        if (!found)
            return std::nullopt;
        HGLOBAL loaded = ::LoadResource(module_.get(), found);
        const auto* data = static_cast<const BYTE*>(::LockResource(loaded));
        return TemplateReader(data, ::SizeofResource(module_.get(), found)).Read();
    }

    UniqueModule module_;
};

// What a control must be. Predefined classes are ordinals: 0x80 button, 0x81 edit, 0x82
// static, 0x85 combo box. cx and cy of 0 are not checked.
struct ExpectedItem {
    const char* name;
    int id;
    std::wstring className;
    std::wstring title;
    short x, y, cx, cy;
    DWORD styleBits; // all of these must be set
    DWORD styleMask = 0;
    DWORD styleMasked = 0; // style & styleMask must equal this
};

const std::wstring kButton = L"#128", kEdit = L"#129", kStatic = L"#130", kCombo = L"#133";
constexpr DWORD kDropDownMask = 0x0003; // CBS_SIMPLE / CBS_DROPDOWN / CBS_DROPDOWNLIST
constexpr DWORD kStaticAlignMask = 0x001F;

void ExpectItems(const DialogTemplate& dialog, const std::vector<ExpectedItem>& expected) {
    EXPECT_EQ(dialog.items.size(), expected.size());
    for (const ExpectedItem& want : expected) {
        SCOPED_TRACE(want.name);
        const TemplateItem* found = nullptr;
        for (const TemplateItem& item : dialog.items) {
            if (item.id == want.id && item.x == want.x && item.y == want.y)
                found = &item;
        }
        ASSERT_NE(found, nullptr) << "no control " << want.id << " at " << want.x << "," << want.y;
        EXPECT_EQ(::lstrcmpiW(found->className.c_str(), want.className.c_str()), 0)
            << "class names ignore case";
        EXPECT_EQ(found->title, want.title);
        if (want.cx) {
            EXPECT_EQ(found->cx, want.cx);
        }
        if (want.cy) {
            EXPECT_EQ(found->cy, want.cy);
        }
        EXPECT_EQ(found->style & want.styleBits, want.styleBits);
        EXPECT_EQ(found->style & want.styleMask, want.styleMasked);
    }
}

void ExpectFont(const DialogTemplate& dialog) {
    EXPECT_EQ(dialog.typeface, L"MS Sans Serif");
    EXPECT_EQ(dialog.pointSize, 8);
}

TEST_F(RenewickResources, AboutTemplate) {
    const auto dialog = Template(IDD_RENEWICK_ABOUT);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->caption, L"About Renewick");
    EXPECT_EQ(dialog->cx, 235);
    EXPECT_EQ(dialog->cy, 67);
    EXPECT_EQ(dialog->style & (DS_MODALFRAME | WS_SYSMENU), DWORD(DS_MODALFRAME | WS_SYSMENU));
    ExpectFont(*dialog);
    // The program's own version, not a text written once into the template.
    const std::wstring version = ProductVersion(RenewickPath());
    ASSERT_FALSE(version.empty());
    ExpectItems(*dialog,
                {
                    {"icon", -1, kStatic, L"#128", 11, 17, 0, 0, SS_ICON},
                    {"version", -1, kStatic, L"Renewick Version " + version, 40, 10, 119, 8, 0},
                    {"year", -1, kStatic, L"Copyright (C) 2024", 40, 25, 0, 0, 0},
                    {"maker", IDC_ABOUT_MAKER, kStatic, L"Nerovane", 40, 41, 0, 0, 0},
                    {"ok", IDOK, kButton, L"OK", 178, 7, 50, 14, 0},
                });
}

TEST_F(RenewickResources, UpdateTemplate) {
    const auto dialog = Template(IDD_UPDATE);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->caption, L"");
    EXPECT_EQ(dialog->cx, 334);
    EXPECT_EQ(dialog->cy, 78);
    EXPECT_EQ(dialog->style & (WS_POPUP | WS_CAPTION | DS_MODALFRAME),
              DWORD(WS_POPUP | WS_CAPTION | DS_MODALFRAME));
    EXPECT_EQ(dialog->style & (WS_SYSMENU | WS_MINIMIZEBOX), 0u) << "no system-menu box";
    EXPECT_EQ(dialog->exStyle & WS_EX_APPWINDOW, DWORD(WS_EX_APPWINDOW));
    ExpectFont(*dialog);
    ExpectItems(*dialog, {
                             {"cancel", IDCANCEL, kButton, L"Cancel", 141, 57, 50, 14, 0},
                             {"progress", IDC_PROGRESS, L"msctls_progress32", L"", 7, 36, 203, 14,
                              PBS_SMOOTH},
                             {"state", IDC_STATE, kStatic, L"state", 7, 7, 320, 25, 0},
                             {"transfer text", IDC_TRANSFER_TEXT, kEdit, L"", 217, 36, 110, 14,
                              ES_AUTOHSCROLL | ES_READONLY | WS_BORDER},
                         });
}

TEST_F(RenewickResources, SettingsTemplate) {
    const auto dialog = Template(IDD_RENEWICK_SETTINGS);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->caption, L"Renewick");
    EXPECT_EQ(dialog->cx, 261);
    EXPECT_EQ(dialog->cy, 198);
    EXPECT_EQ(dialog->style & WS_SYSMENU, DWORD(WS_SYSMENU));
    ExpectFont(*dialog);
    ExpectItems(*dialog, {
                             {"ok", IDOK, kButton, L"OK", 105, 177, 50, 14, BS_DEFPUSHBUTTON},
                             {"cancel", IDCANCEL, kButton, L"Cancel", 204, 177, 50, 14, 0},
                             {"interval label", -1, kStatic, L"check live update", 7, 10, 0, 0, 0},
                             {"interval", IDC_CHECK_INTERVAL, kCombo, L"", 93, 7, 48, 80, 0,
                              kDropDownMask | CBS_SORT, CBS_DROPDOWN},
                             {"proxy group", -1, kButton, L"Proxy", 7, 58, 226, 99, BS_GROUPBOX},
                             {"proxy type label", -1, kStatic, L"proxy type:", 33, 90, 0, 0, 0,
                              kStaticAlignMask, SS_RIGHT},
                             {"proxy type", IDC_PROXY_TYPE, kCombo, L"", 81, 86, 129, 85, CBS_SORT,
                              kDropDownMask, CBS_DROPDOWN},
                             {"address label", -1, kStatic, L"Proxy address:", 21, 112, 0, 0, 0},
                             {"address", IDC_PROXY_ADDRESS, kEdit, L"", 81, 109, 129, 14, 0},
                             {"port label", -1, kStatic, L"Proxy port:", 17, 135, 0, 0, 0},
                             {"port", IDC_PROXY_PORT, kEdit, L"", 81, 133, 129, 14, 0},
                         });
}

TEST_F(RenewickResources, AboutMenuTextAndIcon) {
    wchar_t text[64] = {};
    ::LoadStringW(module_.get(), IDS_ABOUTBOX, text, 64);
    EXPECT_STREQ(text, L"&About Renewick...");

    UniqueIcon small(static_cast<HICON>(
        ::LoadImageW(module_.get(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 16, 16, 0)));
    UniqueIcon large(static_cast<HICON>(
        ::LoadImageW(module_.get(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 32, 32, 0)));
    EXPECT_TRUE(small);
    EXPECT_TRUE(large);
}

} // namespace
} // namespace dp
