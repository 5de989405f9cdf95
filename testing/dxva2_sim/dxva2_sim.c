/* dxva2.dll (test-only): simulated external monitors answering DDC/CI, for Wine.
 *
 * Wine's own dxva2 reports no physical monitors. This library replaces it in a test prefix
 * (installed as C:\windows\system32\dxva2.dll with the override dxva2=native) and gives every
 * HMONITOR the same configured physical monitors, whose brightness (VCP code 0x10) can be read
 * and set through the high-level calls and the VCP calls.
 *
 * Configuration under HKLM\Software\DuskpanelDdcSim (64-bit view), read on every call:
 *   MonitorCount         REG_DWORD 0-8 (default 0)
 *   Monitor<N>Name       REG_SZ the physical-monitor description (default "Simulated monitor N")
 *   Monitor<N>Min, Monitor<N>Max   REG_DWORD the range (defaults 0, 100)
 *   Monitor<N>Current    REG_DWORD the brightness (default 100; written by a successful set)
 *   Monitor<N>LatencyMs  REG_DWORD how long each call on the monitor takes (default 0)
 *   Monitor<N>Fail       REG_DWORD failure switches: 1 capabilities, 2 read, 4 write, 8 all
 *                        (the monitor does not answer at all); a failing call takes its latency
 *                        too and fails with ERROR_GRAPHICS_DDCCI_INVALID_DATA
 *   CallCount            REG_DWORD, and Calls\NNNNN REG_SZ (00001, ...): one line per call on a
 *                        monitor, the ticks (GetTickCount, Linux's monotonic clock in ms under
 *                        Wine) at its start and end, and the system time at its end
 *                        (FILETIME units, on the simulated panel's scale):
 *       "Caps monitor=<n> ok=<0|1> start=<tick> end=<tick> time=<filetime>"
 *       "Get monitor=<n> ok=<0|1> value=<n> start=<tick> end=<tick> time=<filetime>"
 *       "Set monitor=<n> ok=<0|1> value=<n> start=<tick> end=<tick> time=<filetime>"
 *   (the VCP calls log "Get"/"Set" too, with "vcp=1" added)
 *
 * Physical-monitor handles are 0xDD00 + N; N is the monitor's position.
 */
#include <windows.h>

#define SIM_KEY L"Software\\DuskpanelDdcSim"
#define SIM_MAX_MONITORS 8
#define SIM_HANDLE_BASE 0xDD00u
#define SIM_FAIL_CAPS 1u
#define SIM_FAIL_READ 2u
#define SIM_FAIL_WRITE 4u
#define SIM_FAIL_ALL 8u
#define SIM_ERROR_DDC 0xC0262582u /* ERROR_GRAPHICS_DDCCI_INVALID_DATA */
#define SIM_MC_CAPS_BRIGHTNESS 0x2u
#define SIM_VCP_BRIGHTNESS 0x10

typedef struct {
    HANDLE hPhysicalMonitor;
    WCHAR szPhysicalMonitorDescription[128];
} SIM_PHYSICAL_MONITOR;

typedef struct {
    BYTE vcp_type;
} SIM_VCP_TYPE;

BOOL WINAPI GetNumberOfPhysicalMonitorsFromHMONITOR(HMONITOR monitor, DWORD* count);
BOOL WINAPI GetPhysicalMonitorsFromHMONITOR(HMONITOR monitor, DWORD count,
                                            SIM_PHYSICAL_MONITOR* monitors);
BOOL WINAPI DestroyPhysicalMonitors(DWORD count, SIM_PHYSICAL_MONITOR* monitors);
BOOL WINAPI DestroyPhysicalMonitor(HANDLE monitor);
BOOL WINAPI GetMonitorCapabilities(HANDLE monitor, DWORD* capabilities, DWORD* temperatures);
BOOL WINAPI GetMonitorBrightness(HANDLE monitor, DWORD* minimum, DWORD* current, DWORD* maximum);
BOOL WINAPI SetMonitorBrightness(HANDLE monitor, DWORD value);
BOOL WINAPI GetVCPFeatureAndVCPFeatureReply(HANDLE monitor, BYTE code, SIM_VCP_TYPE* type,
                                            DWORD* current, DWORD* maximum);
BOOL WINAPI SetVCPFeature(HANDLE monitor, BYTE code, DWORD value);
DWORD WINAPI DuskpanelDdcSimVersion(void);

static HKEY open_sim_key(void) {
    HKEY key = NULL;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, SIM_KEY, 0, NULL, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_WOW64_64KEY,
                        NULL, &key, NULL) != ERROR_SUCCESS)
        return NULL;
    return key;
}

static DWORD read_dword(HKEY key, const WCHAR* name, DWORD fallback) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = 0;
    if (key == NULL)
        return fallback;
    if (RegQueryValueExW(key, name, NULL, &type, (BYTE*)&value, &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value))
        return fallback;
    return value;
}

static DWORD monitor_dword(HKEY key, DWORD index, const WCHAR* field, DWORD fallback) {
    WCHAR name[48];
    wsprintfW(name, L"Monitor%lu%ls", (unsigned long)index, field);
    return read_dword(key, name, fallback);
}

static void write_dword(HKEY key, const WCHAR* name, DWORD value) {
    if (key != NULL)
        RegSetValueExW(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof(value));
}

static DWORD monitor_count(HKEY key) {
    DWORD count = read_dword(key, L"MonitorCount", 0);
    return count > SIM_MAX_MONITORS ? SIM_MAX_MONITORS : count;
}

/* The monitor's position for a handle, or -1 for a handle this library did not hand out. */
static LONG monitor_index(HKEY key, HANDLE monitor) {
    ULONG_PTR value = (ULONG_PTR)monitor;
    if (value < SIM_HANDLE_BASE || value >= SIM_HANDLE_BASE + monitor_count(key))
        return -1;
    return (LONG)(value - SIM_HANDLE_BASE);
}

/* Appends one line as Calls\NNNNN and increments CallCount; a named mutex keeps concurrent
 * callers (threads, or several processes of the prefix) from taking the same number. */
static void record_call(HKEY key, const WCHAR* line) {
    HANDLE mutex = CreateMutexW(NULL, FALSE, L"DuskpanelDdcSimLog");
    HKEY calls = NULL;
    WCHAR name[16];
    DWORD count;
    if (mutex != NULL)
        WaitForSingleObject(mutex, 5000);
    count = read_dword(key, L"CallCount", 0) + 1;
    if (RegCreateKeyExW(key, L"Calls", 0, NULL, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, NULL, &calls,
                        NULL) == ERROR_SUCCESS) {
        wsprintfW(name, L"%05lu", (unsigned long)count);
        RegSetValueExW(calls, name, 0, REG_SZ, (const BYTE*)line,
                       (DWORD)((lstrlenW(line) + 1) * sizeof(WCHAR)));
        RegCloseKey(calls);
        write_dword(key, L"CallCount", count);
    }
    if (mutex != NULL) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
}

/* One call on a monitor: waits its latency, then says whether it answers for this kind of call
 * (fail_bit). *index is -1 for an unknown handle. */
static BOOL begin_call(HKEY key, HANDLE monitor, DWORD fail_bit, LONG* index, DWORD* start) {
    DWORD fail;
    *start = GetTickCount();
    *index = monitor_index(key, monitor);
    if (*index < 0)
        return FALSE;
    Sleep(monitor_dword(key, (DWORD)*index, L"LatencyMs", 0));
    fail = monitor_dword(key, (DWORD)*index, L"Fail", 0);
    return (fail & (fail_bit | SIM_FAIL_ALL)) == 0;
}

/* The system time now (FILETIME units, as the simulated panel's history stamps), in decimal. */
static void now_filetime(WCHAR* out) {
    FILETIME time;
    ULONGLONG value;
    WCHAR digits[24];
    int n = 0;
    GetSystemTimePreciseAsFileTime(&time);
    value = ((ULONGLONG)time.dwHighDateTime << 32) | time.dwLowDateTime;
    do {
        digits[n++] = (WCHAR)(L'0' + (int)(value % 10));
        value /= 10;
    } while (value != 0 && n < 23);
    while (n > 0)
        *out++ = digits[--n];
    *out = 0;
}

static BOOL finish(BOOL ok, HKEY key, DWORD error) {
    if (key != NULL)
        RegCloseKey(key);
    SetLastError(ok ? ERROR_SUCCESS : error);
    return ok;
}

BOOL WINAPI GetNumberOfPhysicalMonitorsFromHMONITOR(HMONITOR monitor, DWORD* count) {
    HKEY key = open_sim_key();
    (void)monitor;
    if (count == NULL)
        return finish(FALSE, key, ERROR_INVALID_PARAMETER);
    *count = monitor_count(key);
    return finish(TRUE, key, 0);
}

BOOL WINAPI GetPhysicalMonitorsFromHMONITOR(HMONITOR monitor, DWORD count,
                                            SIM_PHYSICAL_MONITOR* monitors) {
    HKEY key = open_sim_key();
    DWORD i;
    (void)monitor;
    if (monitors == NULL || count != monitor_count(key))
        return finish(FALSE, key, ERROR_INVALID_PARAMETER);
    for (i = 0; i < count; ++i) {
        WCHAR name[32];
        DWORD type = 0;
        DWORD size = sizeof(monitors[i].szPhysicalMonitorDescription) - sizeof(WCHAR);
        monitors[i].hPhysicalMonitor = (HANDLE)(ULONG_PTR)(SIM_HANDLE_BASE + i);
        ZeroMemory(monitors[i].szPhysicalMonitorDescription,
                   sizeof(monitors[i].szPhysicalMonitorDescription));
        wsprintfW(name, L"Monitor%luName", (unsigned long)i);
        if (key == NULL ||
            RegQueryValueExW(key, name, NULL, &type,
                             (BYTE*)monitors[i].szPhysicalMonitorDescription,
                             &size) != ERROR_SUCCESS ||
            type != REG_SZ) {
            wsprintfW(monitors[i].szPhysicalMonitorDescription, L"Simulated monitor %lu",
                      (unsigned long)i);
        }
    }
    return finish(TRUE, key, 0);
}

BOOL WINAPI DestroyPhysicalMonitors(DWORD count, SIM_PHYSICAL_MONITOR* monitors) {
    (void)count;
    (void)monitors;
    return TRUE;
}

BOOL WINAPI DestroyPhysicalMonitor(HANDLE monitor) {
    (void)monitor;
    return TRUE;
}

BOOL WINAPI GetMonitorCapabilities(HANDLE monitor, DWORD* capabilities, DWORD* temperatures) {
    HKEY key = open_sim_key();
    LONG index;
    DWORD start;
    WCHAR line[160];
    WCHAR stamp[24];
    BOOL ok = begin_call(key, monitor, SIM_FAIL_CAPS, &index, &start);
    if (index < 0 || capabilities == NULL || temperatures == NULL)
        return finish(FALSE, key, ERROR_INVALID_PARAMETER);
    if (ok) {
        *capabilities = SIM_MC_CAPS_BRIGHTNESS;
        *temperatures = 0;
    }
    now_filetime(stamp);
    wsprintfW(line, L"Caps monitor=%ld ok=%d start=%lu end=%lu time=%ls", index, ok ? 1 : 0,
              (unsigned long)start, (unsigned long)GetTickCount(), stamp);
    record_call(key, line);
    return finish(ok, key, SIM_ERROR_DDC);
}

static BOOL get_brightness(HANDLE monitor, DWORD* minimum, DWORD* current, DWORD* maximum,
                           int vcp) {
    HKEY key = open_sim_key();
    LONG index;
    DWORD start;
    DWORD value = 0;
    WCHAR line[192];
    WCHAR stamp[24];
    BOOL ok = begin_call(key, monitor, SIM_FAIL_READ, &index, &start);
    if (index < 0 || current == NULL || maximum == NULL)
        return finish(FALSE, key, ERROR_INVALID_PARAMETER);
    if (ok) {
        value = monitor_dword(key, (DWORD)index, L"Current", 100);
        if (minimum != NULL)
            *minimum = monitor_dword(key, (DWORD)index, L"Min", 0);
        *current = value;
        *maximum = monitor_dword(key, (DWORD)index, L"Max", 100);
    }
    now_filetime(stamp);
    wsprintfW(line, L"Get monitor=%ld ok=%d value=%lu start=%lu end=%lu time=%ls%ls", index,
              ok ? 1 : 0, (unsigned long)value, (unsigned long)start, (unsigned long)GetTickCount(),
              stamp, vcp ? L" vcp=1" : L"");
    record_call(key, line);
    return finish(ok, key, SIM_ERROR_DDC);
}

static BOOL set_brightness(HANDLE monitor, DWORD value, int vcp) {
    HKEY key = open_sim_key();
    LONG index;
    DWORD start;
    WCHAR name[48];
    WCHAR line[192];
    WCHAR stamp[24];
    BOOL ok = begin_call(key, monitor, SIM_FAIL_WRITE, &index, &start);
    if (index < 0)
        return finish(FALSE, key, ERROR_INVALID_PARAMETER);
    if (ok && (value < monitor_dword(key, (DWORD)index, L"Min", 0) ||
               value > monitor_dword(key, (DWORD)index, L"Max", 100)))
        ok = FALSE;
    if (ok) {
        wsprintfW(name, L"Monitor%ldCurrent", index);
        write_dword(key, name, value);
    }
    now_filetime(stamp);
    wsprintfW(line, L"Set monitor=%ld ok=%d value=%lu start=%lu end=%lu time=%ls%ls", index,
              ok ? 1 : 0, (unsigned long)value, (unsigned long)start, (unsigned long)GetTickCount(),
              stamp, vcp ? L" vcp=1" : L"");
    record_call(key, line);
    return finish(ok, key, SIM_ERROR_DDC);
}

BOOL WINAPI GetMonitorBrightness(HANDLE monitor, DWORD* minimum, DWORD* current, DWORD* maximum) {
    if (minimum == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return get_brightness(monitor, minimum, current, maximum, 0);
}

BOOL WINAPI SetMonitorBrightness(HANDLE monitor, DWORD value) {
    return set_brightness(monitor, value, 0);
}

BOOL WINAPI GetVCPFeatureAndVCPFeatureReply(HANDLE monitor, BYTE code, SIM_VCP_TYPE* type,
                                            DWORD* current, DWORD* maximum) {
    if (code != SIM_VCP_BRIGHTNESS) {
        SetLastError(SIM_ERROR_DDC);
        return FALSE;
    }
    if (type != NULL)
        type->vcp_type = 0; /* MC_SET_PARAMETER */
    return get_brightness(monitor, NULL, current, maximum, 1);
}

BOOL WINAPI SetVCPFeature(HANDLE monitor, BYTE code, DWORD value) {
    if (code != SIM_VCP_BRIGHTNESS) {
        SetLastError(SIM_ERROR_DDC);
        return FALSE;
    }
    return set_brightness(monitor, value, 1);
}

DWORD WINAPI DuskpanelDdcSimVersion(void) {
    return 1;
}
