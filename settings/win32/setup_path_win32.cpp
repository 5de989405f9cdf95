#include "settings/win32/setup_path_win32.h"

#include "settings/setup_path.h"
#include "settings/win32/registry_key.h"

namespace dp {
namespace {

class MachineKeySelector : public RegistryKeySelector {
public:
    MachineKeySelector() { key_.SetRootKey(HKEY_LOCAL_MACHINE); }
    bool SelectExisting(const std::wstring& path, Access access) override {
        return access == Access::ReadOnly ? key_.SetKeyForReading(path) : key_.SetKey(path, false);
    }
    std::wstring ReadString(const std::wstring& name, const std::wstring& defaultValue) override {
        return key_.ReadString(name, defaultValue);
    }

private:
    RegistryKey key_;
};

} // namespace

std::wstring ReadMachineSetupPath(const std::wstring& keyPath) {
    MachineKeySelector key;
    return ReadSetupPath(key, keyPath);
}

} // namespace dp
