/* powrprof.dll (test-only): a simulated power scheme for Wine.
 *
 * Wine's own powrprof answers PowerGetActiveScheme and PowerEnumerate with error 120 (not
 * implemented), so re-applying the active scheme does nothing there. This library
 * replaces it in a test prefix (installed as C:\windows\system32\powrprof.dll with the override
 * powrprof=native) and behaves as Windows does for the three functions the product binds at run
 * time: PowerSetActiveScheme makes the scheme active and sets the panel to the scheme's
 * brightness through \\.\LCD (IOCTL_VIDEO_SET_DISPLAY_BRIGHTNESS, policy 3, AC = DC = level).
 *
 * Configuration under HKLM\Software\DuskpanelPowerSim (64-bit view), read on every call:
 *   SchemeCount        REG_DWORD 1-16 (default 3)
 *   ActiveScheme       REG_DWORD index of the active scheme (default 0; written by a set)
 *   Scheme<N>Brightness REG_DWORD 0-255, N = 0, 1, ... (defaults 100, 60, 30, then 50)
 *   FailGetActive, FailEnumerate, FailSetActive  REG_DWORD: when nonzero, the function returns
 *                      that value as its error (e.g. 120, as Wine's stock library does)
 *   CallCount          REG_DWORD, and Calls\NNNNN REG_SZ (00001, 00002, ...): one line per call,
 *       "GetActive status=<n> guid=<guid>"
 *       "Enumerate access=<n> index=<n> status=<n> guid=<guid>"
 *       "SetActive guid=<guid> scheme=<index|-1> status=<n> brightness=<n> lcd_ok=<0|1>
 * lcd_err=<n>"
 *
 * Scheme identifiers: index 0, 1, 2 are Windows' Balanced, High performance and Power saver;
 * index N >= 3 is {d05c5e00-0000-4000-8000-0000000000NN}.
 */
#include <windows.h>

#define SIM_KEY L"Software\\DuskpanelPowerSim"
#define SIM_MAX_SCHEMES 16
#define SIM_ACCESS_SCHEME 16
#define SIM_IOCTL_SET_DISPLAY 0x23049Cu

static const GUID k_known_schemes[3] = {
    {0x381b4222, 0xf694, 0x41f0, {0x96, 0x85, 0xff, 0x5b, 0xb2, 0x60, 0xdf, 0x2e}},
    {0x8c5e7fda, 0xe8bf, 0x4a96, {0x9a, 0x85, 0xa6, 0xe2, 0x3a, 0x8c, 0x63, 0x5c}},
    {0xa1841308, 0x3541, 0x4fab, {0xbc, 0x81, 0xf7, 0x15, 0x56, 0xf2, 0x0b, 0x4a}},
};

DWORD WINAPI PowerGetActiveScheme(HKEY root, GUID** active);
DWORD WINAPI PowerEnumerate(HKEY root, const GUID* scheme, const GUID* subgroup, DWORD access,
                            ULONG index, UCHAR* buffer, DWORD* buffer_size);
DWORD WINAPI PowerSetActiveScheme(HKEY root, const GUID* scheme);
DWORD WINAPI DuskpanelPowerSimVersion(void);

static void scheme_guid(DWORD index, GUID* guid) {
    if (index < 3) {
        *guid = k_known_schemes[index];
        return;
    }
    guid->Data1 = 0xd05c5e00;
    guid->Data2 = 0x0000;
    guid->Data3 = 0x4000;
    guid->Data4[0] = 0x80;
    guid->Data4[1] = 0x00;
    guid->Data4[2] = guid->Data4[3] = guid->Data4[4] = guid->Data4[5] = guid->Data4[6] = 0;
    guid->Data4[7] = (BYTE)index;
}

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

static void write_dword(HKEY key, const WCHAR* name, DWORD value) {
    if (key != NULL)
        RegSetValueExW(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof(value));
}

static DWORD scheme_count(HKEY key) {
    DWORD count = read_dword(key, L"SchemeCount", 3);
    if (count < 1)
        count = 1;
    if (count > SIM_MAX_SCHEMES)
        count = SIM_MAX_SCHEMES;
    return count;
}

static DWORD scheme_brightness(HKEY key, DWORD index) {
    static const DWORD defaults[3] = {100, 60, 30};
    WCHAR name[32];
    DWORD value;
    wsprintfW(name, L"Scheme%luBrightness", (unsigned long)index);
    value = read_dword(key, name, index < 3 ? defaults[index] : 50);
    return value > 255 ? 255 : value;
}

static void format_guid(const GUID* g, WCHAR* out) {
    if (g == NULL) {
        lstrcpyW(out, L"none");
        return;
    }
    wsprintfW(out, L"{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", (unsigned long)g->Data1,
              g->Data2, g->Data3, g->Data4[0], g->Data4[1], g->Data4[2], g->Data4[3], g->Data4[4],
              g->Data4[5], g->Data4[6], g->Data4[7]);
}

/* Appends one line as Calls\NNNNN and increments CallCount; a named mutex keeps concurrent
 * callers (several processes of the prefix) from taking the same number. */
static void record_call(HKEY key, const WCHAR* line) {
    HANDLE mutex = CreateMutexW(NULL, FALSE, L"DuskpanelPowerSimLog");
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

/* Sets the panel as Windows does when a scheme becomes active: \\.\LCD, policy 3. */
static BOOL set_panel(BYTE level, DWORD* error) {
    BYTE record[3];
    DWORD bytes = 0;
    BOOL ok;
    HANDLE device = CreateFileW(L"\\\\.\\LCD", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                NULL, OPEN_EXISTING, 0, NULL);
    if (device == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return FALSE;
    }
    record[0] = 3;
    record[1] = level;
    record[2] = level;
    SetLastError(0);
    ok = DeviceIoControl(device, SIM_IOCTL_SET_DISPLAY, record, sizeof(record), NULL, 0, &bytes,
                         NULL);
    *error = ok ? 0 : GetLastError();
    CloseHandle(device);
    return ok;
}

DWORD WINAPI PowerGetActiveScheme(HKEY root, GUID** active) {
    /* The caller's last error is left as it was (the registry calls would change it). */
    DWORD saved_error = GetLastError();
    HKEY key = open_sim_key();
    DWORD status = read_dword(key, L"FailGetActive", 0);
    WCHAR guid_text[48];
    WCHAR line[128];
    GUID* result = NULL;
    (void)root;
    if (status == ERROR_SUCCESS && active == NULL)
        status = ERROR_INVALID_PARAMETER;
    if (status == ERROR_SUCCESS) {
        DWORD index = read_dword(key, L"ActiveScheme", 0);
        if (index >= scheme_count(key))
            index = 0;
        /* Windows allocates the identifier with LocalAlloc; the caller frees it with LocalFree. */
        result = (GUID*)LocalAlloc(LMEM_FIXED, sizeof(GUID));
        if (result == NULL) {
            status = ERROR_NOT_ENOUGH_MEMORY;
        } else {
            scheme_guid(index, result);
            *active = result;
        }
    }
    format_guid(status == ERROR_SUCCESS ? result : NULL, guid_text);
    wsprintfW(line, L"GetActive status=%lu guid=%ls", (unsigned long)status, guid_text);
    record_call(key, line);
    if (key != NULL)
        RegCloseKey(key);
    SetLastError(saved_error);
    return status;
}

DWORD WINAPI PowerEnumerate(HKEY root, const GUID* scheme, const GUID* subgroup, DWORD access,
                            ULONG index, UCHAR* buffer, DWORD* buffer_size) {
    DWORD saved_error = GetLastError();
    HKEY key = open_sim_key();
    DWORD status = read_dword(key, L"FailEnumerate", 0);
    WCHAR guid_text[48];
    WCHAR line[160];
    GUID guid;
    BOOL have_guid = FALSE;
    (void)root;
    (void)scheme;
    (void)subgroup;
    if (status == ERROR_SUCCESS) {
        if (access != SIM_ACCESS_SCHEME) {
            status = ERROR_CALL_NOT_IMPLEMENTED; /* only schemes are simulated */
        } else if (buffer_size == NULL) {
            status = ERROR_INVALID_PARAMETER;
        } else if (index >= scheme_count(key)) {
            status = ERROR_NO_MORE_ITEMS;
        } else if (buffer == NULL) {
            *buffer_size = sizeof(GUID); /* a size query */
        } else if (*buffer_size < sizeof(GUID)) {
            *buffer_size = sizeof(GUID);
            status = ERROR_MORE_DATA;
        } else {
            scheme_guid(index, &guid);
            memcpy(buffer, &guid, sizeof(GUID));
            *buffer_size = sizeof(GUID);
            have_guid = TRUE;
        }
    }
    format_guid(have_guid ? &guid : NULL, guid_text);
    wsprintfW(line, L"Enumerate access=%lu index=%lu status=%lu guid=%ls", (unsigned long)access,
              (unsigned long)index, (unsigned long)status, guid_text);
    record_call(key, line);
    if (key != NULL)
        RegCloseKey(key);
    SetLastError(saved_error);
    return status;
}

DWORD WINAPI PowerSetActiveScheme(HKEY root, const GUID* scheme) {
    DWORD saved_error = GetLastError();
    HKEY key = open_sim_key();
    DWORD status = read_dword(key, L"FailSetActive", 0);
    WCHAR guid_text[48];
    WCHAR line[200];
    long found = -1;
    DWORD brightness = 0;
    DWORD lcd_error = 0;
    BOOL lcd_ok = FALSE;
    (void)root;
    if (status == ERROR_SUCCESS && scheme == NULL)
        status = ERROR_INVALID_PARAMETER;
    if (status == ERROR_SUCCESS) {
        DWORD count = scheme_count(key);
        DWORD i;
        for (i = 0; i < count; ++i) {
            GUID guid;
            scheme_guid(i, &guid);
            if (memcmp(&guid, scheme, sizeof(GUID)) == 0) {
                found = (long)i;
                break;
            }
        }
        if (found < 0) {
            status = ERROR_FILE_NOT_FOUND;
        } else {
            write_dword(key, L"ActiveScheme", (DWORD)found);
            brightness = scheme_brightness(key, (DWORD)found);
            lcd_ok = set_panel((BYTE)brightness, &lcd_error);
        }
    }
    format_guid(scheme, guid_text);
    wsprintfW(line,
              L"SetActive guid=%ls scheme=%ld status=%lu brightness=%lu lcd_ok=%d lcd_err=%lu",
              guid_text, found, (unsigned long)status, (unsigned long)brightness, lcd_ok ? 1 : 0,
              (unsigned long)lcd_error);
    record_call(key, line);
    if (key != NULL)
        RegCloseKey(key);
    SetLastError(saved_error);
    /* Windows reports success for the scheme change whatever the panel did. */
    return status;
}

/* A marker export: lets a test tell this library from Wine's own. */
DWORD WINAPI DuskpanelPowerSimVersion(void) {
    return 1;
}
