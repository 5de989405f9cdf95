/* lcdsim.sys: a simulated notebook LCD panel for Wine (test-only).
 *
 * A kernel-mode driver that creates \Device\LCD with the DOS name LCD, so that an unmodified
 * program opens "\\.\LCD" exactly as on a notebook, and answers the three buffered brightness
 * requests of the video-port interface:
 *   IOCTL_VIDEO_QUERY_SUPPORTED_BRIGHTNESS 0x230494  out: one byte per supported level
 *   IOCTL_VIDEO_QUERY_DISPLAY_BRIGHTNESS   0x230498  out: DISPLAY_BRIGHTNESS (3 bytes)
 *   IOCTL_VIDEO_SET_DISPLAY_BRIGHTNESS     0x23049C  in:  DISPLAY_BRIGHTNESS (3 bytes)
 *
 * Configuration and record live under HKLM\Software\DuskpanelLcdSim and are re-read on every
 * request, so a test can change them while the driver runs:
 *   Levels          REG_BINARY 0-256 bytes: the supported levels (empty: success, 0 bytes).
 *                   Missing: 0,10,...,100. Bytes past 256 are ignored.
 *   Current         REG_BINARY 3 bytes {policy, AC level, DC level}: the panel's record.
 *                   Missing: {1, 100, 100}. A set writes it back.
 *   FailQueryLevels REG_DWORD != 0: the supported-levels query fails.
 *   FailQuery       REG_DWORD != 0: the display-brightness query fails.
 *   FailSet         REG_DWORD != 0: the set fails (record unchanged).
 *   FailStatus      REG_DWORD: the NTSTATUS of those failures (default STATUS_NOT_SUPPORTED,
 *                   which Win32 sees as error 50).
 *   QueryPolicy3    REG_DWORD != 0: the display-brightness query answers policy 3.
 *   QueryBytes      REG_DWORD 0-2: the display-brightness query succeeds with only that many
 *                   bytes written and reported (a short reply); missing or 3 and up: all 3.
 *   HistoryCount    REG_DWORD: number of history entries (the driver increments it).
 *   History\NNNNN   REG_SZ, NNNNN = 00001, 00002, ...: one line per request received:
 *       "<REQ> in=<hex> inlen=<n> outlen=<n> status=0x<8 hex> info=<n> out=<hex> time=<n>"
 *     REQ is OPEN, CLOSE, QUERY_SUPPORTED_BRIGHTNESS, QUERY_DISPLAY_BRIGHTNESS,
 *     SET_DISPLAY_BRIGHTNESS or IOCTL_<8 hex> for any other code. time is the system time the
 *     request arrived, in 100 ns units since 1601 (a FILETIME, as KeQuerySystemTime gives it;
 *     under Wine the host's real-time clock), so that a benchmark can time the product from the
 *     panel's side against events it caused itself.
 *
 * A set applies its level(s) by its policy byte: 1 sets the AC level, 2 the DC level, 3 both;
 * the stored policy byte (the power source the query reports) is kept. Other policies, and an
 * input shorter than 3 bytes, fail with STATUS_INVALID_PARAMETER. An output buffer too small for
 * the answer fails with STATUS_BUFFER_TOO_SMALL: the driver never writes past OutputBufferLength.
 *
 * C, not C++ (the mingw DDK headers do not compile as C++); linked as a native image with
 * DriverEntry as entry and only ntoskrnl imported.
 */
#include <ntddk.h>

#define LCDSIM_IOCTL_QUERY_SUPPORTED 0x230494u
#define LCDSIM_IOCTL_QUERY_DISPLAY 0x230498u
#define LCDSIM_IOCTL_SET_DISPLAY 0x23049Cu

#define LCDSIM_KEY L"\\Registry\\Machine\\Software\\DuskpanelLcdSim"
#define LCDSIM_MAX_LEVELS 256

static PDEVICE_OBJECT g_device;
static KMUTEX g_lock;

/* KeQuerySystemTime as a function: the amd64 headers make it a macro that reads the shared user
 * page, which Wine refreshes only every few milliseconds. ntoskrnl exports the function (Wine's
 * asks the host clock each time); the macro stays as the fallback. */
typedef VOID(NTAPI* query_time_fn)(PLARGE_INTEGER);
static query_time_fn g_query_system_time;

static ULONGLONG arrival_time(void) {
    LARGE_INTEGER now;
    if (g_query_system_time != NULL)
        g_query_system_time(&now);
    else
        KeQuerySystemTime(&now);
    return (ULONGLONG)now.QuadPart;
}

/* ---- registry helpers ------------------------------------------------------------------- */

static HANDLE open_key(const WCHAR* path, BOOLEAN create) {
    UNICODE_STRING name;
    OBJECT_ATTRIBUTES attributes;
    HANDLE key = NULL;
    NTSTATUS status;

    RtlInitUnicodeString(&name, path);
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL,
                               NULL);
    if (create) {
        ULONG disposition = 0;
        status = ZwCreateKey(&key, KEY_ALL_ACCESS, &attributes, 0, NULL, REG_OPTION_NON_VOLATILE,
                             &disposition);
    } else {
        status = ZwOpenKey(&key, KEY_ALL_ACCESS, &attributes);
    }
    return NT_SUCCESS(status) ? key : NULL;
}

/* Reads a value into data (at most capacity bytes). Returns the value's full size, or -1 when
 * the value is missing, has another type, or cannot be read. */
static LONG query_value(HANDLE key, const WCHAR* value_name, ULONG type, UCHAR* data,
                        ULONG capacity) {
    /* Header plus the largest value read here (Levels, 256 bytes; more is cut off). */
    union {
        KEY_VALUE_PARTIAL_INFORMATION info;
        UCHAR bytes[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + LCDSIM_MAX_LEVELS + 64];
    } buffer;
    UNICODE_STRING name;
    ULONG result_length = 0;
    ULONG copy;
    NTSTATUS status;

    if (key == NULL)
        return -1;
    RtlInitUnicodeString(&name, value_name);
    status = ZwQueryValueKey(key, &name, KeyValuePartialInformation, &buffer, sizeof(buffer),
                             &result_length);
    /* STATUS_BUFFER_OVERFLOW: a value longer than the buffer (only Levels can be); the header
     * and the data that fit were returned, which is what is used. */
    if (!NT_SUCCESS(status) && status != STATUS_BUFFER_OVERFLOW)
        return -1;
    if (buffer.info.Type != type)
        return -1;
    copy = buffer.info.DataLength;
    if (copy > sizeof(buffer) - FIELD_OFFSET(KEY_VALUE_PARTIAL_INFORMATION, Data))
        copy = sizeof(buffer) - FIELD_OFFSET(KEY_VALUE_PARTIAL_INFORMATION, Data);
    if (copy > capacity)
        copy = capacity;
    if (copy > 0)
        memcpy(data, buffer.info.Data, copy);
    return (LONG)buffer.info.DataLength;
}

static ULONG query_dword(HANDLE key, const WCHAR* value_name, ULONG fallback) {
    ULONG value = 0;
    if (query_value(key, value_name, REG_DWORD, (UCHAR*)&value, sizeof(value)) != sizeof(value))
        return fallback;
    return value;
}

static void set_value(HANDLE key, const WCHAR* value_name, ULONG type, const void* data,
                      ULONG size) {
    UNICODE_STRING name;
    if (key == NULL)
        return;
    RtlInitUnicodeString(&name, value_name);
    ZwSetValueKey(key, &name, 0, type, (PVOID)data, size);
}

/* ---- configuration ---------------------------------------------------------------------- */

typedef struct {
    UCHAR levels[LCDSIM_MAX_LEVELS];
    ULONG level_count;
    UCHAR record[3];
    BOOLEAN fail_query_levels;
    BOOLEAN fail_query;
    BOOLEAN fail_set;
    NTSTATUS fail_status;
    BOOLEAN query_policy3;
    ULONG query_bytes;
} lcdsim_config;

static void read_config(HANDLE key, lcdsim_config* config) {
    LONG size;
    ULONG i;

    size = query_value(key, L"Levels", REG_BINARY, config->levels, sizeof(config->levels));
    if (size < 0) {
        for (i = 0; i <= 10; ++i)
            config->levels[i] = (UCHAR)(i * 10);
        config->level_count = 11;
    } else {
        config->level_count = (ULONG)size > LCDSIM_MAX_LEVELS ? LCDSIM_MAX_LEVELS : (ULONG)size;
    }

    if (query_value(key, L"Current", REG_BINARY, config->record, 3) < 3) {
        config->record[0] = 1;
        config->record[1] = 100;
        config->record[2] = 100;
    }
    config->fail_query_levels = query_dword(key, L"FailQueryLevels", 0) != 0;
    config->fail_query = query_dword(key, L"FailQuery", 0) != 0;
    config->fail_set = query_dword(key, L"FailSet", 0) != 0;
    config->fail_status = (NTSTATUS)query_dword(key, L"FailStatus", (ULONG)STATUS_NOT_SUPPORTED);
    config->query_policy3 = query_dword(key, L"QueryPolicy3", 0) != 0;
    config->query_bytes = query_dword(key, L"QueryBytes", 3);
    if (config->query_bytes > 3)
        config->query_bytes = 3;
}

/* ---- history ---------------------------------------------------------------------------- */

typedef struct {
    WCHAR text[1200];
    ULONG length;
} line_buffer;

static void put_text(line_buffer* line, const WCHAR* text) {
    while (*text && line->length + 1 < sizeof(line->text) / sizeof(line->text[0]))
        line->text[line->length++] = *text++;
    line->text[line->length] = 0;
}

static void put_hex(line_buffer* line, ULONG value, int digits) {
    static const WCHAR hex[] = L"0123456789ABCDEF";
    WCHAR text[9];
    int i;
    if (digits > 8)
        digits = 8;
    for (i = digits - 1; i >= 0; --i) {
        text[i] = hex[value & 0xF];
        value >>= 4;
    }
    text[digits] = 0;
    put_text(line, text);
}

static void put_decimal(line_buffer* line, ULONG value) {
    WCHAR text[11];
    int i = 10;
    text[i] = 0;
    do {
        text[--i] = (WCHAR)(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    put_text(line, &text[i]);
}

static void put_decimal64(line_buffer* line, ULONGLONG value) {
    WCHAR text[21];
    int i = 20;
    text[i] = 0;
    do {
        text[--i] = (WCHAR)(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    put_text(line, &text[i]);
}

static void put_bytes(line_buffer* line, const UCHAR* data, ULONG size) {
    ULONG i;
    for (i = 0; i < size; ++i)
        put_hex(line, data[i], 2);
}

/* Appends "<REQ> in=.. inlen=.. outlen=.. status=.. info=.. out=.. time=.." as History\NNNNN. */
static void append_history(HANDLE key, const WCHAR* request, ULONG code, const UCHAR* in,
                           ULONG in_length, ULONG out_length, NTSTATUS status, const UCHAR* out,
                           ULONG info, ULONGLONG arrived) {
    line_buffer line;
    WCHAR value_name[6];
    HANDLE history;
    ULONG count;

    if (key == NULL)
        return;
    line.length = 0;
    line.text[0] = 0;
    if (request != NULL) {
        put_text(&line, request);
    } else {
        put_text(&line, L"IOCTL_");
        put_hex(&line, code, 8);
    }
    put_text(&line, L" in=");
    put_bytes(&line, in, in != NULL ? (in_length > 256 ? 256 : in_length) : 0);
    put_text(&line, L" inlen=");
    put_decimal(&line, in_length);
    put_text(&line, L" outlen=");
    put_decimal(&line, out_length);
    put_text(&line, L" status=0x");
    put_hex(&line, (ULONG)status, 8);
    put_text(&line, L" info=");
    put_decimal(&line, info);
    put_text(&line, L" out=");
    put_bytes(&line, out, out != NULL ? info : 0);
    put_text(&line, L" time=");
    put_decimal64(&line, arrived);

    history = open_key(LCDSIM_KEY L"\\History", TRUE);
    if (history == NULL)
        return;
    count = query_dword(key, L"HistoryCount", 0) + 1;
    {
        /* Zero-padded to five digits so that the names sort in order. */
        ULONG rest = count;
        int i;
        for (i = 4; i >= 0; --i) {
            value_name[i] = (WCHAR)(L'0' + rest % 10);
            rest /= 10;
        }
        value_name[5] = 0;
    }
    set_value(history, value_name, REG_SZ, line.text, (line.length + 1) * sizeof(WCHAR));
    ZwClose(history);
    set_value(key, L"HistoryCount", REG_DWORD, &count, sizeof(count));
}

/* ---- dispatch --------------------------------------------------------------------------- */

static NTSTATUS complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static void lock(void) {
    KeWaitForSingleObject(&g_lock, Executive, KernelMode, FALSE, NULL);
}

static void unlock(void) {
    KeReleaseMutex(&g_lock, FALSE);
}

static NTSTATUS dispatch_create_close(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONGLONG arrived = arrival_time();
    HANDLE key;
    (void)device;

    if (stack->MajorFunction == IRP_MJ_CREATE || stack->MajorFunction == IRP_MJ_CLOSE) {
        lock();
        key = open_key(LCDSIM_KEY, TRUE);
        append_history(key, stack->MajorFunction == IRP_MJ_CREATE ? L"OPEN" : L"CLOSE", 0, NULL, 0,
                       0, STATUS_SUCCESS, NULL, 0, arrived);
        if (key != NULL)
            ZwClose(key);
        unlock();
    }
    return complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS dispatch_device_control(PDEVICE_OBJECT device, PIRP irp) {
    ULONGLONG arrived = arrival_time();
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    ULONG in_length = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG out_length = stack->Parameters.DeviceIoControl.OutputBufferLength;
    UCHAR* buffer = (UCHAR*)irp->AssociatedIrp.SystemBuffer;
    UCHAR in_copy[256];
    ULONG in_copied = 0;
    const WCHAR* request = NULL;
    NTSTATUS status = STATUS_INVALID_DEVICE_REQUEST;
    ULONG info = 0;
    lcdsim_config config;
    HANDLE key;
    (void)device;

    /* METHOD_BUFFERED: input and output share SystemBuffer; keep the input for the record. */
    if (buffer != NULL && in_length > 0) {
        in_copied = in_length > sizeof(in_copy) ? sizeof(in_copy) : in_length;
        memcpy(in_copy, buffer, in_copied);
    }

    lock();
    key = open_key(LCDSIM_KEY, TRUE);
    read_config(key, &config);

    switch (code) {
    case LCDSIM_IOCTL_QUERY_SUPPORTED:
        request = L"QUERY_SUPPORTED_BRIGHTNESS";
        if (config.fail_query_levels) {
            status = config.fail_status;
        } else if (config.level_count == 0) {
            status = STATUS_SUCCESS;
        } else if (buffer == NULL || out_length < config.level_count) {
            status = STATUS_BUFFER_TOO_SMALL;
        } else {
            memcpy(buffer, config.levels, config.level_count);
            info = config.level_count;
            status = STATUS_SUCCESS;
        }
        break;

    case LCDSIM_IOCTL_QUERY_DISPLAY:
        request = L"QUERY_DISPLAY_BRIGHTNESS";
        if (config.fail_query) {
            status = config.fail_status;
        } else if (buffer == NULL || out_length < 3) {
            status = STATUS_BUFFER_TOO_SMALL;
        } else {
            UCHAR answer[3];
            answer[0] = config.query_policy3 ? 3 : config.record[0];
            answer[1] = config.record[1];
            answer[2] = config.record[2];
            memcpy(buffer, answer, config.query_bytes);
            info = config.query_bytes;
            status = STATUS_SUCCESS;
        }
        break;

    case LCDSIM_IOCTL_SET_DISPLAY:
        request = L"SET_DISPLAY_BRIGHTNESS";
        if (config.fail_set) {
            status = config.fail_status;
        } else if (in_copied < 3 || in_copy[0] < 1 || in_copy[0] > 3) {
            status = STATUS_INVALID_PARAMETER;
        } else {
            if (in_copy[0] & 1)
                config.record[1] = in_copy[1];
            if (in_copy[0] & 2)
                config.record[2] = in_copy[2];
            set_value(key, L"Current", REG_BINARY, config.record, 3);
            status = STATUS_SUCCESS;
        }
        break;

    default:
        break;
    }

    append_history(key, request, code, in_copied ? in_copy : NULL, in_length, out_length, status,
                   buffer, info, arrived);
    if (key != NULL)
        ZwClose(key);
    unlock();
    return complete(irp, status, info);
}

static NTSTATUS dispatch_other(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    return complete(irp, STATUS_SUCCESS, 0);
}

static VOID driver_unload(PDRIVER_OBJECT driver) {
    UNICODE_STRING link;
    HANDLE key;
    (void)driver;
    RtlInitUnicodeString(&link, L"\\DosDevices\\LCD");
    IoDeleteSymbolicLink(&link);
    if (g_device != NULL)
        IoDeleteDevice(g_device);
    g_device = NULL;
    key = open_key(LCDSIM_KEY, TRUE);
    if (key != NULL) {
        ULONG started = 0;
        set_value(key, L"Started", REG_DWORD, &started, sizeof(started));
        ZwClose(key);
    }
}

NTSTATUS WINAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path);

NTSTATUS WINAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path) {
    UNICODE_STRING device_name;
    UNICODE_STRING link;
    NTSTATUS status;
    HANDLE key;
    UNICODE_STRING routine;
    (void)registry_path;

    RtlInitUnicodeString(&routine, L"KeQuerySystemTime");
    g_query_system_time = (query_time_fn)MmGetSystemRoutineAddress(&routine);
    KeInitializeMutex(&g_lock, 0);
    RtlInitUnicodeString(&device_name, L"\\Device\\LCD");
    RtlInitUnicodeString(&link, L"\\DosDevices\\LCD");

    status = IoCreateDevice(driver, 0, &device_name, FILE_DEVICE_VIDEO, 0, FALSE, &g_device);
    if (!NT_SUCCESS(status))
        return status;
    g_device->Flags |= DO_BUFFERED_IO;
    status = IoCreateSymbolicLink(&link, &device_name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(g_device);
        g_device = NULL;
        return status;
    }

    driver->MajorFunction[IRP_MJ_CREATE] = dispatch_create_close;
    driver->MajorFunction[IRP_MJ_CLOSE] = dispatch_create_close;
    driver->MajorFunction[IRP_MJ_CLEANUP] = dispatch_other;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatch_device_control;
    driver->DriverUnload = driver_unload;

    /* Mark the start so that a script can wait for it: HKLM\Software\DuskpanelLcdSim\Started. */
    key = open_key(LCDSIM_KEY, TRUE);
    if (key != NULL) {
        ULONG started = 1;
        set_value(key, L"Started", REG_DWORD, &started, sizeof(started));
        ZwClose(key);
    }
    return STATUS_SUCCESS;
}
