#include "brightness/win32/wmi_levels.h"

#include "framework/win32/handles.h"

#include <windows.h>
#include <wbemidl.h>

#include <cwchar>

namespace dp {

namespace {

constexpr wchar_t kNamespace[] = L"root\\wmi";
constexpr wchar_t kQueryLanguage[] = L"WQL";
constexpr wchar_t kQuery[] = L"SELECT * FROM WmiMonitorBrightness";
constexpr wchar_t kLevelProperty[] = L"Level";
constexpr VARTYPE kByteArray = VT_ARRAY | VT_UI1;

// The hourglass while the enumeration runs: it can take noticeable time on some systems.
class WaitCursor {
public:
    WaitCursor() : previous_(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { ::SetCursor(previous_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};

// Reading a SAFEARRAY's data in place.
class SafeArrayData {
public:
    explicit SafeArrayData(SAFEARRAY* array) : array_(array) {
        if (FAILED(::SafeArrayAccessData(array_, &data_)))
            array_ = nullptr;
    }
    ~SafeArrayData() {
        if (array_)
            ::SafeArrayUnaccessData(array_);
    }
    SafeArrayData(const SafeArrayData&) = delete;
    SafeArrayData& operator=(const SafeArrayData&) = delete;
    explicit operator bool() const { return array_ != nullptr; }
    const BYTE* bytes() const { return static_cast<const BYTE*>(data_); }

private:
    SAFEARRAY* array_;
    void* data_ = nullptr;
};

bool GetBounds(SAFEARRAY* array, LONG& lower, LONG& upper) {
    return SUCCEEDED(::SafeArrayGetLBound(array, 1, &lower)) &&
           SUCCEEDED(::SafeArrayGetUBound(array, 1, &upper));
}

// The whole first dimension of a byte array, from the start of its data.
bool CopyByteArray(SAFEARRAY* array, LevelList& levels) {
    LONG lower = 0;
    LONG upper = -1;
    if (!array || !GetBounds(array, lower, upper))
        return false;
    const LONG count = upper >= lower ? upper - lower + 1 : 0;
    SafeArrayData data(array);
    if (!data)
        return false;
    if (count > 0)
        levels.assign(data.bytes(), data.bytes() + count);
    else
        levels.clear();
    return true;
}

// Looks at one property of an instance; true when it was the level list and was copied.
bool ReadProperty(IWbemClassObject& object, SAFEARRAY* names, LONG index, LevelList& levels) {
    UniqueBstr name;
    if (FAILED(::SafeArrayGetElement(names, &index, name.put())))
        return false;
    Variant value;
    if (FAILED(object.Get(name.get(), 0, value.put(), nullptr, nullptr)))
        return false;
    return ReadLevelProperty(name.get(), value.value(), levels);
}

// Reads one instance; the result of GetNames goes on as the enumeration's status.
HRESULT ReadInstance(IWbemClassObject& object, LevelList& levels, bool& delivered) {
    UniqueBstr text;
    const HRESULT textResult = object.GetObjectText(0, text.put());
    UniqueSafeArray names;
    const HRESULT status = object.GetNames(nullptr, WBEM_FLAG_NONSYSTEM_ONLY, nullptr, names.put());
    if (FAILED(textResult) || FAILED(status) || !names)
        return status;
    LONG lower = 0;
    LONG upper = -1;
    if (!GetBounds(names.get(), lower, upper))
        return status;
    for (LONG index = lower; index <= upper; ++index) {
        if (ReadProperty(object, names.get(), index, levels))
            delivered = true;
    }
    return status;
}

// With several monitors the last one's list is kept.
bool EnumerateInstances(IEnumWbemClassObject& instances, LevelList& levels) {
    WaitCursor waitCursor;
    bool delivered = false;
    HRESULT status = WBEM_S_NO_ERROR;
    do {
        ComPtr<IWbemClassObject> object;
        ULONG returned = 0;
        status = instances.Next(WBEM_INFINITE, 1, object.put(), &returned);
        // No object means the list is over, whatever the result says.
        if (FAILED(status) || returned == 0 || !object)
            break;
        status = ReadInstance(*object.get(), levels, delivered);
    } while (status == WBEM_S_NO_ERROR);
    return delivered;
}

bool SetProcessSecurity() {
    return ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT,
                                  RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr) == S_OK;
}

ComPtr<IWbemServices> ConnectToNamespace(IWbemLocator& locator) {
    ComPtr<IWbemServices> services;
    UniqueBstr path(::SysAllocString(kNamespace));
    if (!path || FAILED(locator.ConnectServer(path.get(), nullptr, nullptr, nullptr,
                                              WBEM_FLAG_CONNECT_USE_MAX_WAIT, nullptr, nullptr,
                                              services.put())))
        services.reset();
    return services;
}

ComPtr<IEnumWbemClassObject> RunQuery(IWbemServices& services) {
    ComPtr<IEnumWbemClassObject> instances;
    UniqueBstr language(::SysAllocString(kQueryLanguage));
    UniqueBstr query(::SysAllocString(kQuery));
    if (!language || !query ||
        FAILED(services.ExecQuery(language.get(), query.get(), WBEM_FLAG_FORWARD_ONLY, nullptr,
                                  instances.put())))
        instances.reset();
    return instances;
}

} // namespace

bool ReadLevelProperty(const wchar_t* name, const VARIANT& value, LevelList& levels) {
    const bool isLevelList =
        name && std::wcscmp(name, kLevelProperty) == 0 && value.vt == kByteArray;
    return isLevelList && CopyByteArray(value.parray, levels);
}

bool WmiMonitorLevels::QueryLevels(LevelList& levels) {
    // Deliberately never uninitialised: the apartment stays for the life of the thread.
    ::CoInitialize(nullptr);
    if (!SetProcessSecurity())
        return false;
    ComPtr<IWbemLocator> locator;
    if (FAILED(::CoCreateInstance(CLSID_WbemAdministrativeLocator, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWbemLocator, locator.putVoid())))
        return false;
    ComPtr<IWbemServices> services = ConnectToNamespace(*locator.get());
    if (!services)
        return false;
    ComPtr<IEnumWbemClassObject> instances = RunQuery(*services.get());
    if (!instances)
        return false;
    return EnumerateInstances(*instances.get(), levels);
}

} // namespace dp
