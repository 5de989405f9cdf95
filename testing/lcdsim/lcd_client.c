/* lcd_client.exe: a test client for the simulated LCD panel and the simulated power scheme.
 *
 * Runs its arguments as a sequence of commands in one process (one Wine start for many steps)
 * and prints one line per command, "key=value" words after the command name:
 *
 *   open                  CreateFileW(L"\\\\.\\LCD", GENERIC_READ, FILE_SHARE_READ |
 * FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL), exactly as the product opens it
 *                         -> "open ok=1 err=0"  (the device commands open it when needed)
 *   close                 CloseHandle            -> "close ok=1"
 *   levels                IOCTL_VIDEO_QUERY_SUPPORTED_BRIGHTNESS, 256-byte output
 *                         -> "levels ok=1 err=0 bytes=11 data=0,10,...,100"
 *   levels-out N          the same with an N-byte output buffer (bound checks)
 *   query                 IOCTL_VIDEO_QUERY_DISPLAY_BRIGHTNESS, record preset to {3,0,0}
 *                         -> "query ok=1 err=0 bytes=3 record=1,100,100"
 *   set P AC DC           IOCTL_VIDEO_SET_DISPLAY_BRIGHTNESS with {P, AC, DC}
 *                         -> "set ok=1 err=0 bytes=0"
 *   lasterror N           SetLastError(N) just before the next device request (a stale last
 *                         error; CreateFileW's success would reset an earlier one)
 *   power                 LoadLibraryW(L"powrprof.dll"): the loaded file, PowerGetActiveScheme
 *                         and PowerEnumerate(ACCESS_SCHEME) for index 0..15
 *                         -> "power module=C:\windows\system32\powrprof.dll sim=1
 *                             getactive=0 active={...} schemes={...},{...} enumerate_end=259"
 *   powerset I            PowerSetActiveScheme(NULL, scheme enumerated at index I)
 *                         -> "powerset ok=1 status=0"
 *   reapply               the product's re-application of the scheme: switch to the first
 *                         scheme that differs from the active one and back
 *                         -> "reapply getactive=0 other=1 set_other=0 set_active=0"
 *   serve                 reads registry requests from standard input until it ends, one per
 *                         line: "query<tab>KEY" prints KEY and its subkeys with their values as
 *                         "reg query KEY /s" does, then ".end 0" (".end <error>" when the key
 *                         cannot be opened); "run<tab>COMMAND LINE" starts that program with
 *                         no output of its own, waits for it and ends with ".end <exit code>".
 *                         The tests' polls of the simulators' state and their "reg import"s
 *                         then cost a round trip instead of a Wine start each (about 0.1-0.2 s
 *                         of CPU).
 *
 * Exit code 0 unless an argument could not be parsed.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define IOCTL_QUERY_SUPPORTED 0x230494u
#define IOCTL_QUERY_DISPLAY 0x230498u
#define IOCTL_SET_DISPLAY 0x23049Cu
#define ACCESS_SCHEME_FLAG 16

typedef DWORD(WINAPI* get_active_fn)(HKEY, GUID**);
typedef DWORD(WINAPI* enumerate_fn)(HKEY, const GUID*, const GUID*, DWORD, ULONG, UCHAR*, DWORD*);
typedef DWORD(WINAPI* set_active_fn)(HKEY, const GUID*);

static HANDLE g_device = INVALID_HANDLE_VALUE;
/* "lasterror N": set just before the next request (after the open, which resets it). */
static DWORD g_stale_error;
static int g_have_stale_error;

static void apply_stale_error(void) {
    if (g_have_stale_error)
        SetLastError(g_stale_error);
    g_have_stale_error = 0;
}

static void print_guid(const GUID* g) {
    printf("{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", (unsigned long)g->Data1, g->Data2,
           g->Data3, g->Data4[0], g->Data4[1], g->Data4[2], g->Data4[3], g->Data4[4], g->Data4[5],
           g->Data4[6], g->Data4[7]);
}

static int open_device(int print) {
    DWORD error;
    if (g_device != INVALID_HANDLE_VALUE) {
        if (print)
            printf("open ok=1 err=0\n");
        return 1;
    }
    g_device = CreateFileW(L"\\\\.\\LCD", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, 0, NULL);
    error = GetLastError();
    if (g_device == INVALID_HANDLE_VALUE) {
        printf("open ok=0 err=%lu\n", (unsigned long)error);
        return 0;
    }
    if (print)
        printf("open ok=1 err=0\n");
    return 1;
}

static void cmd_levels(DWORD out_size) {
    UCHAR levels[512];
    DWORD bytes = 0;
    BOOL ok;
    DWORD error;
    DWORD i;
    if (!open_device(0))
        return;
    if (out_size > sizeof(levels))
        out_size = sizeof(levels);
    memset(levels, 0xEE, sizeof(levels));
    apply_stale_error();
    ok = DeviceIoControl(g_device, IOCTL_QUERY_SUPPORTED, NULL, 0, out_size ? levels : NULL,
                         out_size, &bytes, NULL);
    error = GetLastError();
    printf("levels ok=%d err=%lu bytes=%lu data=", ok ? 1 : 0, (unsigned long)error,
           (unsigned long)bytes);
    for (i = 0; i < bytes && i < out_size; ++i)
        printf(i ? ",%u" : "%u", levels[i]);
    /* A write past the caller's buffer would show as a changed guard byte. */
    printf(" guard=%s\n",
           (out_size < sizeof(levels) && levels[out_size] != 0xEE) ? "overwritten" : "intact");
}

static void cmd_query(void) {
    UCHAR record[3] = {3, 0, 0};
    DWORD bytes = 0;
    BOOL ok;
    DWORD error;
    if (!open_device(0))
        return;
    apply_stale_error();
    ok = DeviceIoControl(g_device, IOCTL_QUERY_DISPLAY, NULL, 0, record, 3, &bytes, NULL);
    error = GetLastError();
    printf("query ok=%d err=%lu bytes=%lu record=%u,%u,%u\n", ok ? 1 : 0, (unsigned long)error,
           (unsigned long)bytes, record[0], record[1], record[2]);
}

static void cmd_set(UCHAR policy, UCHAR ac, UCHAR dc) {
    UCHAR record[3];
    DWORD bytes = 0;
    BOOL ok;
    DWORD error;
    record[0] = policy;
    record[1] = ac;
    record[2] = dc;
    if (!open_device(0))
        return;
    apply_stale_error();
    ok = DeviceIoControl(g_device, IOCTL_SET_DISPLAY, record, 3, NULL, 0, &bytes, NULL);
    error = GetLastError();
    printf("set ok=%d err=%lu bytes=%lu\n", ok ? 1 : 0, (unsigned long)error, (unsigned long)bytes);
}

typedef struct {
    HMODULE module;
    get_active_fn get_active;
    enumerate_fn enumerate;
    set_active_fn set_active;
} power_api;

static int load_power(power_api* api) {
    api->module = LoadLibraryW(L"powrprof.dll");
    if (api->module == NULL)
        return 0;
    api->get_active = (get_active_fn)(void*)GetProcAddress(api->module, "PowerGetActiveScheme");
    api->enumerate = (enumerate_fn)(void*)GetProcAddress(api->module, "PowerEnumerate");
    api->set_active = (set_active_fn)(void*)GetProcAddress(api->module, "PowerSetActiveScheme");
    return api->get_active && api->enumerate && api->set_active;
}

static void cmd_power(void) {
    power_api api;
    WCHAR path[MAX_PATH];
    GUID* active = NULL;
    DWORD status;
    ULONG index;
    if (!load_power(&api)) {
        printf("power loaded=0 err=%lu\n", (unsigned long)GetLastError());
        if (api.module)
            FreeLibrary(api.module);
        return;
    }
    path[0] = 0;
    GetModuleFileNameW(api.module, path, MAX_PATH);
    printf("power module=%ls sim=%d", path,
           GetProcAddress(api.module, "DuskpanelPowerSimVersion") != NULL ? 1 : 0);
    status = api.get_active(NULL, &active);
    printf(" getactive=%lu active=", (unsigned long)status);
    if (status == 0 && active != NULL) {
        print_guid(active);
        if (LocalFree(active) != NULL)
            printf(" localfree=failed");
    } else {
        printf("none");
    }
    printf(" schemes=");
    for (index = 0; index < 16; ++index) {
        GUID guid;
        DWORD size = sizeof(guid);
        status = api.enumerate(NULL, NULL, NULL, ACCESS_SCHEME_FLAG, index, (UCHAR*)&guid, &size);
        if (status != 0)
            break;
        if (index)
            printf(",");
        print_guid(&guid);
    }
    printf(" enumerate_end=%lu\n", (unsigned long)status);
    FreeLibrary(api.module);
}

static void cmd_powerset(ULONG index) {
    power_api api;
    GUID guid;
    DWORD size = sizeof(guid);
    DWORD status;
    if (!load_power(&api)) {
        printf("powerset loaded=0\n");
        if (api.module)
            FreeLibrary(api.module);
        return;
    }
    status = api.enumerate(NULL, NULL, NULL, ACCESS_SCHEME_FLAG, index, (UCHAR*)&guid, &size);
    if (status != 0) {
        printf("powerset ok=0 enumerate=%lu\n", (unsigned long)status);
    } else {
        status = api.set_active(NULL, &guid);
        printf("powerset ok=%d status=%lu\n", status == 0 ? 1 : 0, (unsigned long)status);
    }
    FreeLibrary(api.module);
}

static void cmd_reapply(void) {
    power_api api;
    GUID* active = NULL;
    GUID other;
    DWORD status;
    ULONG index;
    int found = 0;
    if (!load_power(&api)) {
        printf("reapply loaded=0\n");
        if (api.module)
            FreeLibrary(api.module);
        return;
    }
    status = api.get_active(NULL, &active);
    printf("reapply getactive=%lu", (unsigned long)status);
    if (status == 0 && active != NULL) {
        for (index = 0;; ++index) {
            DWORD size = sizeof(other);
            if (api.enumerate(NULL, NULL, NULL, ACCESS_SCHEME_FLAG, index, (UCHAR*)&other, &size) !=
                0)
                break;
            if (memcmp(&other, active, sizeof(GUID)) != 0) {
                found = 1;
                break;
            }
        }
        printf(" other=%d", found);
        if (found) {
            printf(" set_other=%lu", (unsigned long)api.set_active(NULL, &other));
            printf(" set_active=%lu", (unsigned long)api.set_active(NULL, active));
        }
        LocalFree(active);
    }
    printf("\n");
    FreeLibrary(api.module);
}

static int parse_byte(const char* text, UCHAR* out) {
    char* end;
    unsigned long value = strtoul(text, &end, 0);
    if (*text == 0 || *end != 0 || value > 255)
        return 0;
    *out = (UCHAR)value;
    return 1;
}

/* ---- serve: registry reads without a process start each --------------------------------- */

static HKEY parse_root(const wchar_t* key, const wchar_t** rest, const wchar_t** long_name) {
    static const struct {
        const wchar_t* short_name;
        const wchar_t* long_name;
        HKEY root;
    } roots[] = {
        {L"HKCU", L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {L"HKLM", L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {L"HKCR", L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {L"HKU", L"HKEY_USERS", HKEY_USERS},
        {L"HKCC", L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    };
    size_t i, n;
    for (i = 0; i < sizeof(roots) / sizeof(roots[0]); ++i) {
        const wchar_t* names[2] = {roots[i].short_name, roots[i].long_name};
        int j;
        for (j = 0; j < 2; ++j) {
            n = wcslen(names[j]);
            if (_wcsnicmp(key, names[j], n) == 0 && (key[n] == L'\\' || key[n] == 0)) {
                *rest = key[n] == L'\\' ? key + n + 1 : key + n;
                *long_name = roots[i].long_name;
                return roots[i].root;
            }
        }
    }
    return NULL;
}

static void print_wide(const wchar_t* text, size_t length) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, (int)length, NULL, 0, NULL, NULL);
    char* utf8;
    if (bytes <= 0)
        return;
    utf8 = malloc((size_t)bytes);
    if (!utf8)
        return;
    WideCharToMultiByte(CP_UTF8, 0, text, (int)length, utf8, bytes, NULL, NULL);
    fwrite(utf8, 1, (size_t)bytes, stdout);
    free(utf8);
}

static size_t wide_length(const BYTE* data, DWORD size) {
    const wchar_t* text = (const wchar_t*)data;
    size_t n = 0, count = size / sizeof(wchar_t);
    while (n < count && text[n])
        ++n;
    return n;
}

static void print_value(const wchar_t* name, DWORD type, const BYTE* data, DWORD size) {
    static const char* type_names[] = {"REG_NONE",   "REG_SZ",      "REG_EXPAND_SZ",
                                       "REG_BINARY", "REG_DWORD",   "REG_DWORD_BIG_ENDIAN",
                                       "REG_LINK",   "REG_MULTI_SZ"};
    DWORD i;
    fputs("    ", stdout);
    if (name[0])
        print_wide(name, wcslen(name));
    else
        fputs("(Default)", stdout);
    printf("    %s    ",
           type < 8 ? type_names[type] : (type == REG_QWORD ? "REG_QWORD" : "REG_NONE"));
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        print_wide((const wchar_t*)data, wide_length(data, size));
    } else if (type == REG_MULTI_SZ) {
        const wchar_t* text = (const wchar_t*)data;
        size_t count = size / sizeof(wchar_t), at = 0, first = 1;
        while (at < count && text[at]) {
            size_t n =
                wide_length((const BYTE*)(text + at), (DWORD)((count - at) * sizeof(wchar_t)));
            if (!first)
                fputs("\\0", stdout);
            print_wide(text + at, n);
            first = 0;
            at += n + 1;
        }
    } else if (type == REG_DWORD && size == sizeof(DWORD)) {
        printf("0x%lx", (unsigned long)*(const DWORD*)data);
    } else {
        for (i = 0; i < size; ++i)
            printf("%02X", data[i]);
    }
    fputs("\n", stdout);
}

/* Prints PATH's values, then each subkey's (depth first), as "reg query /s" does. */
static void print_key(HKEY key, const wchar_t* path) {
    DWORD max_name = 0, max_data = 0, max_subkey = 0, index, attempts, name_length, data_size, type;
    wchar_t *name = NULL, *subkey = NULL, *child_path;
    BYTE* data = NULL;
    LONG status;
    print_wide(path, wcslen(path));
    fputs("\n", stdout);
    for (index = 0, attempts = 0; attempts < 8; ++attempts) {
        if (RegQueryInfoKeyW(key, NULL, NULL, NULL, NULL, &max_subkey, NULL, NULL, &max_name,
                             &max_data, NULL, NULL) != ERROR_SUCCESS)
            break;
        free(name);
        free(data);
        name = malloc((max_name + 2) * sizeof(wchar_t));
        data = malloc(max_data + 2);
        if (!name || !data)
            break;
        for (;; ++index) {
            name_length = max_name + 2;
            data_size = max_data + 2;
            status = RegEnumValueW(key, index, name, &name_length, NULL, &type, data, &data_size);
            if (status != ERROR_SUCCESS)
                break;
            print_value(name, type, data, data_size);
        }
        if (status != ERROR_MORE_DATA) /* a value grew meanwhile: larger buffers, same index */
            break;
    }
    subkey = malloc((max_subkey + 2) * sizeof(wchar_t));
    for (index = 0; subkey; ++index) {
        HKEY child;
        name_length = max_subkey + 2;
        if (RegEnumKeyExW(key, index, subkey, &name_length, NULL, NULL, NULL, NULL) !=
            ERROR_SUCCESS)
            break;
        if (RegOpenKeyExW(key, subkey, 0, KEY_READ, &child) != ERROR_SUCCESS)
            continue;
        child_path = malloc((wcslen(path) + wcslen(subkey) + 2) * sizeof(wchar_t));
        if (child_path) {
            swprintf(child_path, wcslen(path) + wcslen(subkey) + 2, L"%ls\\%ls", path, subkey);
            print_key(child, child_path);
            free(child_path);
        }
        RegCloseKey(child);
    }
    free(subkey);
    free(name);
    free(data);
}

static void serve_query(const char* utf8_key) {
    wchar_t key_text[1024], *path;
    const wchar_t *rest, *long_name;
    HKEY root, key;
    LONG status;
    if (!MultiByteToWideChar(CP_UTF8, 0, utf8_key, -1, key_text, 1024)) {
        printf(".end %lu\n", (unsigned long)ERROR_INVALID_PARAMETER);
        return;
    }
    root = parse_root(key_text, &rest, &long_name);
    if (!root) {
        printf(".end %lu\n", (unsigned long)ERROR_INVALID_PARAMETER);
        return;
    }
    status = RegOpenKeyExW(root, rest, 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS) {
        printf(".end %lu\n", (unsigned long)status);
        return;
    }
    path = malloc((wcslen(long_name) + wcslen(rest) + 2) * sizeof(wchar_t));
    if (path) {
        swprintf(path, wcslen(long_name) + wcslen(rest) + 2, rest[0] ? L"%ls\\%ls" : L"%ls%ls",
                 long_name, rest);
        print_key(key, path);
        free(path);
    }
    RegCloseKey(key);
    printf(".end 0\n");
}

/* Runs a command line detached (a console of its own would cost a conhost.exe start) with its
 * standard handles on NUL (standard output carries the answers); its exit code, or the error
 * that kept it from starting. */
static void serve_run(const char* utf8_command) {
    wchar_t command[2048];
    STARTUPINFOW startup;
    PROCESS_INFORMATION process;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), NULL, TRUE};
    HANDLE nul;
    DWORD code = 0;
    if (!MultiByteToWideChar(CP_UTF8, 0, utf8_command, -1, command, 2048)) {
        printf(".end %lu\n", (unsigned long)ERROR_INVALID_PARAMETER);
        return;
    }
    nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      &inherit, OPEN_EXISTING, 0, NULL);
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    if (!CreateProcessW(NULL, command, NULL, NULL, TRUE, DETACHED_PROCESS, NULL, NULL, &startup,
                        &process)) {
        printf(".end %lu\n", (unsigned long)GetLastError());
    } else {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        printf(".end %lu\n", (unsigned long)code);
    }
    if (nul != INVALID_HANDLE_VALUE)
        CloseHandle(nul);
}

/* One line of standard input without its line break, in a buffer that grows; NULL at the end. */
static char* read_line(void) {
    size_t length = 0, size = 256;
    char *line = malloc(size), *grown;
    int c;
    if (!line)
        return NULL;
    while ((c = fgetc(stdin)) != EOF && c != '\n') {
        if (length + 2 > size) {
            grown = realloc(line, size *= 2);
            if (!grown) {
                free(line);
                return NULL;
            }
            line = grown;
        }
        line[length++] = (char)c;
    }
    if (c == EOF && length == 0) {
        free(line);
        return NULL;
    }
    if (length > 0 && line[length - 1] == '\r')
        --length;
    line[length] = 0;
    return line;
}

static int serve(void) {
    char* line;
    setvbuf(stdout, NULL, _IOFBF, 1 << 16);
    while ((line = read_line()) != NULL) {
        if (strncmp(line, "query\t", 6) == 0)
            serve_query(line + 6);
        else if (strncmp(line, "run\t", 4) == 0)
            serve_run(line + 4);
        else
            printf(".end %lu\n", (unsigned long)ERROR_INVALID_FUNCTION);
        fflush(stdout);
        free(line);
    }
    return 0;
}

int main(int argc, char** argv) {
    int i;
    setvbuf(stdout, NULL, _IONBF, 0);
    for (i = 1; i < argc; ++i) {
        const char* cmd = argv[i];
        if (strcmp(cmd, "open") == 0) {
            open_device(1);
        } else if (strcmp(cmd, "close") == 0) {
            BOOL ok = FALSE;
            if (g_device != INVALID_HANDLE_VALUE)
                ok = CloseHandle(g_device);
            g_device = INVALID_HANDLE_VALUE;
            printf("close ok=%d\n", ok ? 1 : 0);
        } else if (strcmp(cmd, "levels") == 0) {
            cmd_levels(256);
        } else if (strcmp(cmd, "levels-out") == 0 && i + 1 < argc) {
            cmd_levels((DWORD)strtoul(argv[++i], NULL, 0));
        } else if (strcmp(cmd, "query") == 0) {
            cmd_query();
        } else if (strcmp(cmd, "set") == 0 && i + 3 < argc) {
            UCHAR p, ac, dc;
            if (!parse_byte(argv[i + 1], &p) || !parse_byte(argv[i + 2], &ac) ||
                !parse_byte(argv[i + 3], &dc)) {
                fprintf(stderr, "lcd_client: bad set arguments\n");
                return 2;
            }
            i += 3;
            cmd_set(p, ac, dc);
        } else if (strcmp(cmd, "lasterror") == 0 && i + 1 < argc) {
            g_stale_error = (DWORD)strtoul(argv[++i], NULL, 0);
            g_have_stale_error = 1;
        } else if (strcmp(cmd, "power") == 0) {
            cmd_power();
        } else if (strcmp(cmd, "powerset") == 0 && i + 1 < argc) {
            cmd_powerset((ULONG)strtoul(argv[++i], NULL, 0));
        } else if (strcmp(cmd, "reapply") == 0) {
            cmd_reapply();
        } else if (strcmp(cmd, "serve") == 0) {
            return serve();
        } else {
            fprintf(stderr, "lcd_client: unknown command or missing arguments: %s\n", cmd);
            return 2;
        }
    }
    if (g_device != INVALID_HANDLE_VALUE)
        CloseHandle(g_device);
    return 0;
}
