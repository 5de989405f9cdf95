#include "settings/win32/data_folders.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "framework/win32/handles.h"

namespace dp {
namespace {

std::wstring TempRoot() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"DuskpanelTests-folders-" +
           std::to_wstring(::GetCurrentProcessId());
}

struct DaclSummary {
    bool readable = false;
    DWORD aceCount = 0;
    bool firstIsEveryoneAllowAll = false;
    BYTE firstFlags = 0;
};

// Wine keeps no security descriptors for files: it derives a DACL from the Unix mode bits, so
// an exact read-back is possible on Windows only.
bool RunningUnderWine() {
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

DaclSummary Summarise(PACL dacl) {
    DaclSummary summary;
    summary.readable = true;
    if (!dacl)
        return summary;
    summary.aceCount = dacl->AceCount;
    void* ace = nullptr;
    if (dacl->AceCount > 0 && ::GetAce(dacl, 0, &ace)) {
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        summary.firstFlags = allowed->Header.AceFlags;
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID everyone = nullptr;
        ::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
        summary.firstIsEveryoneAllowAll =
            allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
            (allowed->Mask == GENERIC_ALL || allowed->Mask == FILE_ALL_ACCESS) &&
            ::EqualSid(reinterpret_cast<PSID>(&allowed->SidStart), everyone);
        ::FreeSid(everyone);
    }
    return summary;
}

DaclSummary ReadDacl(const std::wstring& path) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return {};
    UniqueLocal owner(descriptor);
    return Summarise(dacl);
}

void ExpectEveryoneFullInherited(const DaclSummary& dacl) {
    ASSERT_TRUE(dacl.readable);
    EXPECT_EQ(dacl.aceCount, 1u);
    EXPECT_TRUE(dacl.firstIsEveryoneAllowAll);
    EXPECT_EQ(dacl.firstFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE),
              OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
}

class DataFoldersTest : public testing::Test {
protected:
    void TearDown() override {
        SHFILEOPSTRUCTW op{};
        std::wstring from = root_ + L'\0';
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_NO_UI;
        ::SHFileOperationW(&op);
    }
    std::wstring root_ = TempRoot();
};

TEST(SharedFolderDescriptor, GivesEveryoneFullAccessInheritedByFilesAndFolders) {
    UniqueLocal descriptor(MakeEveryoneFullAccessDescriptor());
    ASSERT_TRUE(descriptor);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted));
    ASSERT_TRUE(present);
    ExpectEveryoneFullInherited(Summarise(dacl));
}

struct FolderRow {
    const char* name;
    bool (*create)(const std::wstring&);
    const wchar_t* below; // under the test's root
    bool openToEveryone;
};

// The DACL read back is only meaningful on Windows: Wine makes one up from the Unix mode bits.
TEST_F(DataFoldersTest, FoldersAndNewParentsAreCreatedWithTheirSecurity) {
    const FolderRow rows[] = {
        {"shared", CreateSharedDirectory, L"\\Common\\Nerovane\\Duskpanel", true},
        {"per-user", CreateDirectoryPath, L"\\Roaming\\Nerovane\\Duskpanel", false},
    };
    for (const FolderRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::wstring folder = root_ + row.below;
        const std::wstring parent = folder.substr(0, folder.rfind(L'\\'));
        ASSERT_TRUE(row.create(folder + L"\\")) << "one trailing backslash is dropped";
        for (const std::wstring& created : {parent, folder}) {
            EXPECT_NE(::GetFileAttributesW(created.c_str()), INVALID_FILE_ATTRIBUTES);
            if (RunningUnderWine())
                continue;
            const DaclSummary dacl = ReadDacl(created);
            if (row.openToEveryone)
                ExpectEveryoneFullInherited(dacl);
            else
                EXPECT_FALSE(dacl.readable && dacl.aceCount == 1 && dacl.firstIsEveryoneAllowAll);
        }
        EXPECT_TRUE(row.create(folder)) << "an existing folder is success";
    }
}

TEST_F(DataFoldersTest, CreatorsRejectWhatTheyCannotCreate) {
    EXPECT_FALSE(CreateDirectoryPath(L""));
    std::wstring file = root_ + L"-file";
    UniqueFileHandle h(
        ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    h.reset();
    EXPECT_FALSE(CreateDirectoryPath(file + L"\\below"));
    EXPECT_FALSE(CreateSharedDirectory(file + L"\\below"));
    ::DeleteFileW(file.c_str());
}

} // namespace
} // namespace dp
