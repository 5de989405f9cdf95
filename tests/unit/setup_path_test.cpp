#include <gtest/gtest.h>

#include <map>

#include "settings/setup_path.h"

namespace dp {
namespace {

// HKEY_LOCAL_MACHINE as a standard user meets it: every key may be read, none written.
class ReadOnlyMachineKeys : public RegistryKeySelector {
public:
    std::map<std::wstring, std::map<std::wstring, std::wstring>> keys;

    bool SelectExisting(const std::wstring& path, Access access) override {
        if (access == Access::Full || !keys.count(path))
            return false;
        selected_ = path;
        return true;
    }
    std::wstring ReadString(const std::wstring& name, const std::wstring& defaultValue) override {
        auto key = keys.find(selected_);
        if (key == keys.end() || !key->second.count(name))
            return defaultValue;
        return key->second.at(name);
    }

private:
    std::wstring selected_ = L"<none>";
};

TEST(SetupPath, IsFoundByAUserWhoMayOnlyReadTheMachineKeys) {
    struct Case {
        const char* name;
        const wchar_t* program;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {"the saver's own installation", L"Duskpanel", L"C:\\Program Files\\Nerovane\\Duskpanel"},
        {"the updater's installation", L"Renewick", L"D:\\Tools\\Renewick"},
        {"key without the value", L"Empty", L""},
        {"missing key", L"Missing", L""},
    };
    ReadOnlyMachineKeys machine;
    machine.keys[L"Software\\Nerovane\\Duskpanel"][kSetupPathValue] =
        L"C:\\Program Files\\Nerovane\\Duskpanel";
    machine.keys[L"Software\\Nerovane\\Renewick"][kSetupPathValue] = L"D:\\Tools\\Renewick";
    machine.keys[L"Software\\Nerovane\\Empty"][L"Other"] = L"x";
    for (const Case& c : cases)
        EXPECT_EQ(ReadSetupPath(machine, VendorKeyPath(c.program)), c.expected) << c.name;
}

} // namespace
} // namespace dp
