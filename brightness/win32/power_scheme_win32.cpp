#include "brightness/win32/power_scheme_win32.h"

#include "brightness/win32/brightness_writes.h"
#include "framework/win32/handles.h"
#include "framework/win32/system_files.h"

#include <windows.h>
#include <powrprof.h>

#include <cstring>

namespace dp {

namespace {

using PowerSetActiveSchemeFn = DWORD(WINAPI*)(HKEY, const GUID*);
using PowerGetActiveSchemeFn = DWORD(WINAPI*)(HKEY, GUID**);
using PowerEnumerateFn = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, POWER_DATA_ACCESSOR, ULONG,
                                        UCHAR*, DWORD*);

static_assert(sizeof(GUID) == sizeof(PowerSchemeId));

PowerSchemeId ToSchemeId(const GUID& guid) {
    PowerSchemeId id;
    std::memcpy(id.data(), &guid, sizeof(guid));
    return id;
}

GUID ToGuid(const PowerSchemeId& id) {
    GUID guid;
    std::memcpy(&guid, id.data(), sizeof(guid));
    return guid;
}

class PowrProfApi final : public PowerSchemeApi {
public:
    PowrProfApi(UniqueModule library, PowerSetActiveSchemeFn setActive,
                PowerGetActiveSchemeFn getActive, PowerEnumerateFn enumerate)
        : library_(std::move(library)), setActive_(setActive), getActive_(getActive),
          enumerate_(enumerate) {}

    std::optional<PowerSchemeId> GetActiveScheme() override {
        GUID* active = nullptr;
        // On failure the identifier was not handed over: it is neither read nor freed.
        if (getActive_(nullptr, &active) != ERROR_SUCCESS || !active)
            return std::nullopt;
        const UniqueLocal owner(active);
        return ToSchemeId(*active);
    }

    std::optional<PowerSchemeId> EnumerateScheme(std::uint32_t index) override {
        GUID scheme{};
        DWORD size = sizeof(scheme);
        if (enumerate_(nullptr, nullptr, nullptr, ACCESS_SCHEME, index,
                       reinterpret_cast<UCHAR*>(&scheme), &size) != ERROR_SUCCESS)
            return std::nullopt;
        return ToSchemeId(scheme);
    }

    void SetActiveScheme(const PowerSchemeId& scheme) override {
        // Nothing to do on failure: the system keeps the scheme it had.
        if (BrightnessWritesStopped())
            return;
        const GUID guid = ToGuid(scheme);
        setActive_(nullptr, &guid);
    }

private:
    UniqueModule library_;
    PowerSetActiveSchemeFn setActive_;
    PowerGetActiveSchemeFn getActive_;
    PowerEnumerateFn enumerate_;
};

} // namespace

std::unique_ptr<PowerSchemeApi> PowrProfLibrary::Load() {
    UniqueModule library(LoadSystemLibrary(L"powrprof.dll"));
    const auto setActive = BindEntry<PowerSetActiveSchemeFn>(library.get(), "PowerSetActiveScheme");
    if (!setActive)
        return nullptr;
    const auto getActive = BindEntry<PowerGetActiveSchemeFn>(library.get(), "PowerGetActiveScheme");
    const auto enumerate = BindEntry<PowerEnumerateFn>(library.get(), "PowerEnumerate");
    if (!getActive || !enumerate)
        return nullptr;
    return std::make_unique<PowrProfApi>(std::move(library), setActive, getActive, enumerate);
}

} // namespace dp
