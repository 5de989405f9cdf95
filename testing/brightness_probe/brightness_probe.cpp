// brightness_probe [command...]
//
// Constructs the saver's BrightnessController exactly as the saver does, prints what it sees,
// runs the commands in order, then destroys it (which restores the brightness):
//   apply AC DC POLICY          ApplyBrightness
//   apply-stale ERR AC DC POLICY  the same with the thread's last error set to ERR just before
//   save                        SaveCurrentAsDefault, then the saved records
//   restore                     RestoreBrightness ahead of the destructor
//
// Output lines are "key=value"; the exit code is 0, or 2 for a malformed command line.
#include "brightness/win32/system_brightness.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <optional>

namespace {

using dp::BrightnessController;
using dp::DisplayBrightness;

std::optional<unsigned long> ParseNumber(const wchar_t* text, unsigned long max) {
    wchar_t* end = nullptr;
    const unsigned long value = std::wcstoul(text, &end, 10);
    if (end == text || *end != L'\0' || value > max)
        return std::nullopt;
    return value;
}

void PrintRecord(const char* key, const DisplayBrightness& record) {
    std::printf("%s=%u %u %u\n", key, record.ucDisplayPolicy, record.ucACBrightness,
                record.ucDCBrightness);
}

void PrintView(const BrightnessController& controller, long long constructMs) {
    const dp::OsVersion os = controller.GetOsVersion();
    std::printf("construct_ms=%lld\n", constructMs);
    std::printf("os=%u.%u\n", os.major, os.minor);
    std::printf("mode=%s\n", controller.IsBacklightMode() ? "Backlight" : "None");
    std::printf("level_count=%u\n", controller.GetLevelCount());
    std::printf("levels=");
    for (std::uint32_t i = 0; i < controller.GetLevelCount(); ++i)
        std::printf(i ? " %u" : "%u", controller.GetLevel(i));
    std::printf("\n");
    if (const auto initial = controller.GetInitialBrightness())
        PrintRecord("initial", *initial);
    else
        std::printf("initial=none\n");
}

// Runs the commands from argv[first]; false on a malformed command.
bool RunCommands(BrightnessController& controller, int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring command = argv[i];
        if (command == L"save") {
            std::printf("save=%s\n", controller.SaveCurrentAsDefault() ? "ok" : "failed");
            PrintRecord("saved_mains", controller.GetSavedForMains());
            PrintRecord("saved_battery", controller.GetSavedForBattery());
        } else if (command == L"restore") {
            controller.RestoreBrightness();
            std::printf("restore=done\n");
        } else if (command == L"apply" || command == L"apply-stale") {
            const bool stale = command == L"apply-stale";
            const int needed = stale ? 4 : 3;
            if (i + needed >= argc)
                return false;
            std::optional<unsigned long> lastError =
                stale ? ParseNumber(argv[++i], 0xFFFFFFFFul) : 0ul;
            const auto ac = ParseNumber(argv[++i], 255);
            const auto dc = ParseNumber(argv[++i], 255);
            const auto policy = ParseNumber(argv[++i], 255);
            if (!lastError || !ac || !dc || !policy)
                return false;
            if (stale)
                ::SetLastError(static_cast<DWORD>(*lastError));
            const bool ok = controller.ApplyBrightness(static_cast<std::uint8_t>(*ac),
                                                       static_cast<std::uint8_t>(*dc),
                                                       static_cast<std::uint8_t>(*policy));
            std::printf("apply=%s\n", ok ? "ok" : "failed");
        } else {
            return false;
        }
        std::fflush(stdout);
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<BrightnessController> controller = dp::CreateSystemBrightnessController();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    PrintView(*controller, std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
    std::fflush(stdout);
    const bool wellFormed = RunCommands(*controller, argc, argv);
    controller.reset();
    std::printf("destroyed=yes\n");
    if (!wellFormed) {
        std::fprintf(stderr, "usage: brightness_probe [apply AC DC POLICY | apply-stale ERR AC DC "
                             "POLICY | save | restore]...\n");
        return 2;
    }
    return 0;
}
