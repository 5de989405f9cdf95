#include "brightness/win32/brightness_restore.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "brightness/restore_record.h"
#include "brightness/win32/power_scheme_win32.h"
#include "brightness/win32/system_status.h"
#include "brightness/win32/video_ioctl.h"
#include "framework/win32/handles.h"
#include "framework/win32/registry.h"

namespace dp {

namespace {

constexpr wchar_t kRecordSection[] = L"\\restore_brightness";
// A record is under a hundred characters; anything longer is not one of ours.
constexpr DWORD kRecordChars = 128;
// Registry value names are at most 16383 characters.
constexpr DWORD kValueNameChars = 16384;
// However many values a damaged profile holds, one start looks at no more than these.
constexpr DWORD kMaxRecordsPerStart = 64;

// What this process shares with its exception filter. keyPath is set once at start-up; record
// and name are written under the mutex before armed is set and not changed while it is, so the
// filter reads them without the lock (which a faulting thread may hold).
struct ProcessRecord {
    std::wstring keyPath;
    std::mutex mutex;
    int guards = 0;
    RestoreRecord record;
    std::wstring name;
    std::atomic<bool> armed{false};
    LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
};

ProcessRecord g_process;

std::uint64_t FileTimeValue(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::optional<std::uint64_t> CreationTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user))
        return std::nullopt;
    return FileTimeValue(created);
}

ProcessIdentity CurrentProcess() {
    return {::GetCurrentProcessId(), CreationTime(::GetCurrentProcess()).value_or(0)};
}

// Only a process that can be opened, has not ended and was created at the recorded time is the
// one that wrote the record; a process that reuses its identifier is not.
bool IsRunning(const ProcessIdentity& owner) {
    UniqueHandle process(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, owner.processId));
    if (!process || ::WaitForSingleObject(process.get(), 0) != WAIT_TIMEOUT)
        return false;
    return CreationTime(process.get()) == owner.creationTime;
}

// Kept to the two requests that put the brightness back: it also runs in a failing process.
void PutBack(const RestoreRecord& record) {
    if (record.captured) {
        VideoPortPanel panel;
        if (panel.Open())
            panel.SetDisplayBrightness({kDisplayPolicyBoth, record.captured->ucACBrightness,
                                        record.captured->ucDCBrightness});
        return;
    }
    if (const std::optional<OsVersion> version = SystemOsVersion().Read()) {
        PowrProfLibrary library;
        ReapplyPowerScheme(*version, library);
    }
}

void WriteRecord(const std::wstring& name, const std::wstring& text) {
    UniqueRegKey key = OpenRegistryKey(HKEY_CURRENT_USER, g_process.keyPath, KEY_SET_VALUE, true);
    if (key)
        ::RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void RemoveRecord(const std::wstring& name) {
    UniqueRegKey key = OpenRegistryKey(HKEY_CURRENT_USER, g_process.keyPath, KEY_SET_VALUE);
    if (key)
        ::RegDeleteValueW(key.get(), name.c_str());
}

// The text of a value; empty when it is not a string of record size.
std::wstring ReadRecordText(HKEY key, const wchar_t* name) {
    wchar_t text[kRecordChars] = {};
    DWORD type = 0, bytes = sizeof(text) - sizeof(wchar_t);
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return std::wstring(text, wcsnlen(text, bytes / sizeof(wchar_t)));
}

std::vector<StoredRestoreRecord> ListRecords() {
    std::vector<StoredRestoreRecord> records;
    UniqueRegKey key = OpenRegistryKey(HKEY_CURRENT_USER, g_process.keyPath, KEY_QUERY_VALUE);
    if (!key)
        return records;
    std::vector<wchar_t> name(kValueNameChars);
    for (DWORD index = 0; index < kMaxRecordsPerStart; ++index) {
        DWORD nameChars = kValueNameChars;
        if (::RegEnumValueW(key.get(), index, name.data(), &nameChars, nullptr, nullptr, nullptr,
                            nullptr) != ERROR_SUCCESS)
            break;
        std::wstring valueName(name.data(), nameChars);
        records.push_back({valueName, ReadRecordText(key.get(), valueName.c_str())});
    }
    return records;
}

LONG WINAPI PutBackBeforeDying(EXCEPTION_POINTERS* exception) {
    if (g_process.armed.exchange(false)) {
        PutBack(g_process.record);
        RemoveRecord(g_process.name);
    }
    return g_process.previousFilter ? g_process.previousFilter(exception)
                                    : EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

void StartBrightnessRestore(const std::wstring& profileKeyPath) {
    g_process.keyPath = profileKeyPath + kRecordSection;
    const LeftRecordPlan plan = PlanLeftRecords(ListRecords(), IsRunning);
    for (const RestoreRecord& record : plan.restore)
        PutBack(record);
    for (const std::wstring& name : plan.remove)
        RemoveRecord(name);
    g_process.previousFilter = ::SetUnhandledExceptionFilter(PutBackBeforeDying);
}

BrightnessChangeGuard::BrightnessChangeGuard(const BrightnessController& controller) {
    std::lock_guard<std::mutex> lock(g_process.mutex);
    if (g_process.keyPath.empty() || !controller.IsBacklightMode())
        return;
    holds_ = true;
    if (g_process.guards++ > 0)
        return;
    g_process.record = {CurrentProcess(), controller.GetInitialBrightness()};
    g_process.name = RestoreRecordName(g_process.record.owner);
    WriteRecord(g_process.name, FormatRestoreRecord(g_process.record));
    g_process.armed = true;
}

BrightnessChangeGuard::~BrightnessChangeGuard() {
    if (!holds_)
        return;
    std::lock_guard<std::mutex> lock(g_process.mutex);
    if (--g_process.guards > 0)
        return;
    g_process.armed = false;
    RemoveRecord(g_process.name);
}

} // namespace dp
