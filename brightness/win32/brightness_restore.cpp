#include "brightness/win32/brightness_restore.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "brightness/restore_record.h"
#include "brightness/external_monitors.h"
#include "brightness/win32/brightness_writes.h"
#include "brightness/win32/ddc_monitors.h"
#include "brightness/win32/power_scheme_win32.h"
#include "brightness/win32/system_status.h"
#include "brightness/win32/video_ioctl.h"
#include "brightness/win32/wmi_levels.h"
#include "framework/win32/application.h"
#include "framework/win32/handles.h"
#include "framework/win32/registry.h"

namespace dp {

namespace {

constexpr wchar_t kRecordSection[] = L"\\restore_brightness";
// A record is under a hundred characters, plus about twenty per monitor; anything longer is not
// one of ours.
constexpr DWORD kRecordChars = 512;
// Registry value names are at most 16383 characters.
constexpr DWORD kValueNameChars = 16384;
// However many values a damaged profile holds, one start looks at no more than these.
constexpr DWORD kMaxRecordsPerStart = 64;

// What this process shares with its exception filter. The filter may run while the faulting
// thread, or one it killed, holds the heap or the loader lock: it allocates nothing, loads
// nothing and takes no lock, and only makes system calls on handles opened here beforehand.
// Everything it reads is written under the mutex before armed is set and not changed while it
// is.
struct ProcessRecord {
    std::wstring keyPath;
    std::mutex mutex;
    int guards = 0;
    RestoreRecord record;
    std::wstring name;
    // The hidden copy that puts the record back once this process dies, started with the first
    // guard and left running until then; and the event that tells it this process is failing.
    UniqueHandle watcher;
    UniqueHandle crashEvent;
    // For the filter when no watcher runs: the device, opened while healthy, and the request.
    VideoPortPanel panel;
    std::optional<DisplayBrightness> request;
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

// The limited right is what a process may ask of one running at a higher integrity level; a
// refusal still means that the process exists.
bool IsRunning(const ProcessIdentity& owner) {
    UniqueHandle process(
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, owner.processId));
    OwnerState state;
    if (!process) {
        const DWORD error = ::GetLastError();
        state.lookup = error == ERROR_ACCESS_DENIED       ? OwnerLookup::AccessDenied
                       : error == ERROR_INVALID_PARAMETER ? OwnerLookup::NoSuchProcess
                                                          : OwnerLookup::Failed;
        return OwnerRuns(owner, state);
    }
    state.lookup = OwnerLookup::Opened;
    state.ended = ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
    state.creationTime = CreationTime(process.get());
    return OwnerRuns(owner, state);
}

// The panel's own table: the management instrumentation where a process may ask it (it sets the
// process's COM security, which the controller of a process that dims sets itself), else the
// device.
LevelList PanelLevels(VideoPortPanel& panel, bool askWmi) {
    LevelList levels;
    if (askWmi) {
        WmiMonitorLevels wmi;
        if (wmi.QueryLevels(levels))
            return levels;
    }
    levels.clear();
    // The device's success rule takes a pending last error for a failure; what is pending here
    // comes from the calls above, not from the driver.
    ::SetLastError(ERROR_SUCCESS);
    if (!panel.IsOpen() || !panel.QuerySupportedLevels(levels))
        levels.clear();
    return levels;
}

// Each listed monitor gets its value back: one read, and one write where the value differs and
// lies within the range the monitor reports now; a monitor that does not answer is left alone.
void PutBackMonitors(const std::vector<MonitorRestore>& monitors) {
    if (monitors.empty())
        return;
    std::unique_ptr<DdcMonitorBus> bus;
    try {
        bus = DdcMonitorBus::Open();
    } catch (...) {
        return;
    }
    if (!bus)
        return;
    for (const MonitorRestore& monitor : monitors) {
        if (monitor.index >= bus->Count())
            continue;
        const std::optional<MonitorBrightness> now = bus->Read(monitor.index);
        if (!now || !IsUsableReading(*now) || now->current == monitor.value ||
            monitor.value < now->minimum || monitor.value > now->maximum)
            continue;
        ::Sleep(kMonitorCommandGapMs);
        bus->Write(monitor.index, monitor.value);
    }
}

// Sets the record's brightness when its levels are the panel's; otherwise, or when the set
// fails, re-applies the active power scheme. Then the monitors, after the panel.
void PutBack(const RestoreRecord& record, VideoPortPanel& panel, const LevelList& levels) {
    bool panelBack = false;
    if (const std::optional<DisplayBrightness> brightness = BrightnessFromRecord(record, levels)) {
        ::SetLastError(ERROR_SUCCESS); // as above: the registry calls before leave theirs
        panelBack = panel.IsOpen() && panel.SetDisplayBrightness(*brightness);
    }
    if (!panelBack) {
        if (const std::optional<OsVersion> version = SystemOsVersion().Read()) {
            PowrProfLibrary library;
            ReapplyPowerScheme(*version, library);
        }
    }
    PutBackMonitors(record.monitors);
}

bool WriteRecord(const std::wstring& name, const std::wstring& text) {
    UniqueRegKey key = OpenRegistryKey(HKEY_CURRENT_USER, g_process.keyPath, KEY_SET_VALUE, true);
    return key && ::RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(text.c_str()),
                                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) ==
                      ERROR_SUCCESS;
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

// The watcher, when it runs, does everything that needs the heap; otherwise the prepared
// request goes straight to the driver (a system call on an open handle, nothing more).
LONG WINAPI PutBackBeforeDying(EXCEPTION_POINTERS* exception) {
    if (g_process.armed.exchange(false)) {
        if (g_process.watcher && ::WaitForSingleObject(g_process.watcher.get(), 0) == WAIT_TIMEOUT)
            ::SetEvent(g_process.crashEvent.get());
        else if (g_process.request)
            g_process.panel.SetDisplayBrightness(*g_process.request);
    }
    // What the dying process's other threads would still change, nobody would put back.
    StopBrightnessWrites();
    return g_process.previousFilter ? g_process.previousFilter(exception)
                                    : EXCEPTION_CONTINUE_SEARCH;
}

// An inheritable duplicate, for the watcher alone; the original stays private.
UniqueHandle InheritableCopy(HANDLE handle, DWORD access) {
    HANDLE copy = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), handle, ::GetCurrentProcess(), &copy, access,
                           TRUE, 0))
        return {};
    return UniqueHandle(copy);
}

std::uint64_t HandleNumber(HANDLE handle) {
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle));
}

HANDLE NumberHandle(std::uint64_t number) {
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(number));
}

// Starts the hidden copy that watches this process. It inherits two handles, the only ones this
// program ever makes inheritable: this process (to wait for its end) and the crash event; the
// duplicates made for it are closed here once it has them, so no later child inherits them.
void StartWatcher() {
    if (g_process.watcher)
        return;
    const std::wstring path = ProgramFilePath();
    if (path.empty())
        return;
    UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event)
        return;
    UniqueHandle self = InheritableCopy(::GetCurrentProcess(), SYNCHRONIZE);
    UniqueHandle eventCopy = InheritableCopy(event.get(), SYNCHRONIZE);
    if (!self || !eventCopy)
        return;
    const RestoreWatchCommand command{HandleNumber(self.get()), HandleNumber(eventCopy.get()),
                                      g_process.record.owner};
    std::wstring line = L"\"" + path + L"\" " + FormatRestoreWatchArguments(command);
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    // It shows nothing: no busy pointer while the system waits for a window that never comes.
    startup.dwFlags = STARTF_FORCEOFFFEEDBACK;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, TRUE,
                          NORMAL_PRIORITY_CLASS | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr,
                          &startup, &started))
        return;
    ::CloseHandle(started.hThread);
    g_process.watcher.reset(started.hProcess);
    g_process.crashEvent = std::move(event);
}

} // namespace

void StartBrightnessRestore(const std::wstring& profileKeyPath) {
    g_process.keyPath = profileKeyPath + kRecordSection;
    const LeftRecordPlan plan = PlanLeftRecords(ListRecords(), IsRunning);
    if (!plan.restore.empty()) {
        VideoPortPanel panel;
        panel.Open();
        const LevelList levels = PanelLevels(panel, false);
        for (const RestoreRecord& record : plan.restore)
            PutBack(record, panel, levels);
    }
    for (const std::wstring& name : plan.remove)
        RemoveRecord(name);
    g_process.previousFilter = ::SetUnhandledExceptionFilter(PutBackBeforeDying);
}

BrightnessChangeGuard::BrightnessChangeGuard(const BrightnessController& controller,
                                             bool forMonitors) {
    std::lock_guard<std::mutex> lock(g_process.mutex);
    if (g_process.keyPath.empty() || (!controller.IsBacklightMode() && !forMonitors))
        return;
    if (g_process.guards > 0) {
        ++g_process.guards;
        holds_ = true;
        return;
    }
    g_process.record = {CurrentProcess(), controller.GetInitialBrightness()};
    g_process.name = RestoreRecordName(g_process.record.owner);
    if (!WriteRecord(g_process.name, FormatRestoreRecord(g_process.record))) {
        refused_ = true;
        return;
    }
    ++g_process.guards;
    holds_ = true;
    const LevelTable& table = controller.GetLevels();
    g_process.request = BrightnessFromRecord(
        g_process.record, std::span<const std::uint8_t>(table.data(), controller.GetLevelCount()));
    StartWatcher();
    if (!g_process.watcher && g_process.request && !g_process.panel.IsOpen())
        g_process.panel.Open();
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

bool RecordMonitorBrightness(std::size_t index, std::uint32_t value) {
    std::lock_guard<std::mutex> lock(g_process.mutex);
    if (g_process.keyPath.empty())
        return true;
    if (g_process.guards == 0 || index >= kMaxRecordMonitors)
        return false;
    const MonitorRestore entry{static_cast<std::uint32_t>(index), value};
    for (const MonitorRestore& listed : g_process.record.monitors)
        if (listed.index == entry.index)
            return listed.value == entry.value;
    // Called on a monitor's thread: nothing may escape it.
    try {
        g_process.record.monitors.push_back(entry);
        if (WriteRecord(g_process.name, FormatRestoreRecord(g_process.record)))
            return true;
    } catch (...) {
    }
    if (!g_process.record.monitors.empty() && g_process.record.monitors.back() == entry)
        g_process.record.monitors.pop_back();
    return false;
}

int RunRestoreWatch(const RestoreWatchCommand& command, const std::wstring& profileKeyPath) {
    g_process.keyPath = profileKeyPath + kRecordSection;
    UniqueHandle owner(NumberHandle(command.processHandle));
    UniqueHandle crashEvent(NumberHandle(command.crashEvent));
    // Ready before the wait, so that putting back takes a registry read and one request.
    VideoPortPanel panel;
    panel.Open();
    const LevelList levels = PanelLevels(panel, true);

    const HANDLE waits[] = {owner.get(), crashEvent.get()};
    if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_FAILED &&
        ::WaitForSingleObject(owner.get(), INFINITE) == WAIT_FAILED)
        return 1; // not started by the saver: nothing of ours to watch

    // An orderly end cleared the record; one that is still there was left by a failing process.
    const std::wstring name = RestoreRecordName(command.owner);
    std::wstring text;
    if (UniqueRegKey key = OpenRegistryKey(HKEY_CURRENT_USER, g_process.keyPath, KEY_QUERY_VALUE)) {
        text = ReadRecordText(key.get(), name.c_str());
    }
    const std::optional<RestoreRecord> record = ParseRestoreRecord(text);
    if (!record || record->owner != command.owner)
        return 0;
    PutBack(*record, panel, levels);
    RemoveRecord(name);
    return 0;
}

} // namespace dp
