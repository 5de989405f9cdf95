#include "settings/win32/registry_key.h"

#include <gtest/gtest.h>

#include "framework/win32/handles.h"

namespace dp {
namespace {

const std::wstring kBase = L"Software\\DuskpanelTests\\RegistryKey";

class RegistryKeyTest : public testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kBase.c_str()); }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kBase.c_str()); }

    static void SetRaw(const std::wstring& name, DWORD type, const void* data, DWORD bytes) {
        UniqueRegKey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kBase.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data),
                                   bytes),
                  ERROR_SUCCESS);
    }
    static void SetString(const std::wstring& name, const std::wstring& text, DWORD type = REG_SZ) {
        SetRaw(name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    static std::pair<DWORD, std::wstring> GetRaw(const std::wstring& name) {
        DWORD type = 0, bytes = 0;
        if (::RegGetValueW(HKEY_CURRENT_USER, kBase.c_str(), name.c_str(),
                           RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &bytes) != ERROR_SUCCESS)
            return {0, L"<missing>"};
        std::wstring data(bytes / sizeof(wchar_t), L'\0');
        ::RegGetValueW(HKEY_CURRENT_USER, kBase.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                       &type, data.data(), &bytes);
        return {bytes, data};
    }
    static RegistryKey Selected() {
        RegistryKey key;
        EXPECT_TRUE(key.SetKey(kBase, true));
        return key;
    }
};

TEST_F(RegistryKeyTest, RootKeyAcceptsTheFourPredefinedRootsOnly) {
    RegistryKey key;
    EXPECT_EQ(key.RootKey(), HKEY_CURRENT_USER);
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_USER})
        EXPECT_TRUE(key.SetRootKey(root));
    key.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(key.SetRootKey(HKEY_PERFORMANCE_DATA));
    EXPECT_FALSE(key.SetRootKey(reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000004))));
    EXPECT_EQ(key.RootKey(), HKEY_LOCAL_MACHINE);
}

TEST_F(RegistryKeyTest, SetKeyOpensCreatesOrKeepsThePreviousPath) {
    RegistryKey key;
    EXPECT_TRUE(key.SetKey(L"", false));
    EXPECT_EQ(key.KeyPath(), L"");
    EXPECT_TRUE(key.SetKey(L"Software", false));
    EXPECT_FALSE(key.SetKey(kBase + L"\\Missing", false));
    EXPECT_EQ(key.KeyPath(), L"Software");
    EXPECT_TRUE(key.SetKey(kBase + L"\\Created", true));
    EXPECT_EQ(key.KeyPath(), kBase + L"\\Created");
    RegistryKey again;
    EXPECT_TRUE(again.SetKey(kBase + L"\\Created", false)) << "a created key is kept";

    RegistryKey reader;
    ASSERT_TRUE(reader.SetRootKey(HKEY_LOCAL_MACHINE));
    EXPECT_TRUE(reader.SetKeyForReading(L"Software"));
    EXPECT_FALSE(reader.SetKeyForReading(L"Software\\DuskpanelTests\\Missing"));
    EXPECT_EQ(reader.KeyPath(), L"Software") << "a missing key keeps the previous path";
}

TEST_F(RegistryKeyTest, ReadStringOutcomes) {
    DWORD number = 42;
    SetRaw(L"dword", REG_DWORD, &number, sizeof(number));
    SetRaw(L"binary", REG_BINARY, "ab", 2);
    SetString(L"expand", L"%SystemRoot%\\x", REG_EXPAND_SZ);
    SetString(L"plain", L"text");
    SetString(L"c255", std::wstring(255, L'a'));
    SetString(L"c256", std::wstring(256, L'b'));
    RegistryKey key = Selected();
    struct Case {
        const wchar_t* name;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"dword", L"def"},   {L"binary", L"def"},
        {L"missing", L"def"}, {L"expand", L"%SystemRoot%\\x"},
        {L"plain", L"text"},  {L"c255", std::wstring(255, L'a')},
        {L"c256", L"def"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(key.ReadString(c.name, L"def"), c.expected)
            << std::string(c.name, c.name + wcslen(c.name));
}

TEST_F(RegistryKeyTest, WriteStringBoundsAndStoresTheTerminator) {
    RegistryKey key = Selected();
    EXPECT_TRUE(key.WriteString(L"w254", std::wstring(254, L'x')));
    auto [bytes, data] = GetRaw(L"w254");
    EXPECT_EQ(bytes, 510u) << "508 bytes of text and the 2-byte terminator";
    EXPECT_FALSE(key.WriteString(L"w255", std::wstring(255, L'x')));
    EXPECT_EQ(GetRaw(L"w255").second, L"<missing>");
    EXPECT_TRUE(key.WriteString(L"empty", L""));
    EXPECT_EQ(GetRaw(L"empty").first, 2u);
}

TEST_F(RegistryKeyTest, WriteNeedsAnExistingKey) {
    RegistryKey key;
    ASSERT_TRUE(key.SetKey(kBase, true));
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kBase.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kBase.c_str());
    EXPECT_FALSE(key.WriteString(L"v", L"x"));
    EXPECT_EQ(key.ReadString(L"v", L"gone"), L"gone");
}

// An empty path selects the root itself: values are read and written directly under it.
TEST_F(RegistryKeyTest, EmptyPathAddressesTheRootKey) {
    const std::wstring name = L"DuskpanelTests.RootValue";
    RegistryKey key;
    ASSERT_TRUE(key.SetKey(L"", false));
    EXPECT_TRUE(key.WriteString(name, L"at the root"));
    wchar_t stored[32] = {};
    DWORD bytes = sizeof(stored);
    EXPECT_EQ(::RegGetValueW(HKEY_CURRENT_USER, nullptr, name.c_str(), RRF_RT_REG_SZ, nullptr,
                             stored, &bytes),
              ERROR_SUCCESS);
    EXPECT_STREQ(stored, L"at the root");
    EXPECT_EQ(key.ReadString(name, L"def"), L"at the root");
    ::RegDeleteValueW(HKEY_CURRENT_USER, name.c_str());
}

} // namespace
} // namespace dp
