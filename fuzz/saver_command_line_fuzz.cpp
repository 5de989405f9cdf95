// The screen saver's command line, as the system or a user may pass it.
#include "fuzz/fuzz_text.h"
#include "saver/saver_command_line.h"

namespace {

bool TakesHandle(dp::SaverMode mode) {
    return mode == dp::SaverMode::Configure || mode == dp::SaverMode::ChangePassword ||
           mode == dp::SaverMode::Preview;
}

bool SameCommand(const dp::SaverCommand& a, const dp::SaverCommand& b) {
    return a.mode == b.mode && a.handle == b.handle &&
           a.ownerIsForegroundWindow == b.ownerIsForegroundWindow;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = dp::fuzz::WideText(data, size);
    const dp::SaverCommand whole = dp::ParseSaverCommandLine(text);
    DP_FUZZ_CHECK(whole.mode >= dp::SaverMode::Invalid && whole.mode <= dp::SaverMode::RunSaver);

    // The same arguments after a plain and after a quoted program path mean the same.
    const dp::SaverCommand plain = dp::ParseSaverCommandLine(L"Duskpanel.scr " + text);
    const dp::SaverCommand quoted =
        dp::ParseSaverCommandLine(L"\"C:\\Program Files\\Dusk panel\\Duskpanel.scr\" " + text);
    DP_FUZZ_CHECK(SameCommand(plain, quoted));
    DP_FUZZ_CHECK(TakesHandle(plain.mode) || plain.handle == 0);
    DP_FUZZ_CHECK(!plain.ownerIsForegroundWindow ||
                  (plain.mode == dp::SaverMode::Configure && plain.handle == 0));
    return 0;
}
