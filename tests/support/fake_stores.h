// In-memory stand-ins for the INI files and the registry profile. Names match exactly: how the
// platform compares them (without regard to case) is tested against the real INI functions
// under Wine, not assumed here.
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "settings/key_value_store.h"

namespace dp::testing_support {

class FakeIniStore : public IniStore {
public:
    using Key = std::tuple<std::wstring, std::wstring, std::wstring>; // file, section, key

    std::wstring ReadString(const std::wstring& file, const std::wstring& section,
                            const std::wstring& key, const std::wstring& defaultValue,
                            std::size_t bufferChars) override {
        reads.push_back({file, section, key});
        auto it = values.find({file, section, key});
        std::wstring value = it == values.end() ? defaultValue : it->second;
        return value.substr(0, bufferChars - 1);
    }
    bool WriteString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                     const std::wstring& value) override {
        writes.push_back({file, section, key, value});
        values[{file, section, key}] = value;
        return true;
    }
    bool Exists(const std::wstring& path) override {
        if (files.count(path))
            return true;
        for (const auto& [k, v] : values)
            if (std::get<0>(k) == path)
                return true;
        return false;
    }
    void Set(const std::wstring& file, const std::wstring& section, const std::wstring& key,
             const std::wstring& value) {
        values[{file, section, key}] = value;
    }

    struct Write {
        std::wstring file, section, key, value;
    };
    std::map<Key, std::wstring> values;
    std::map<std::wstring, bool> files;
    std::vector<Key> reads;
    std::vector<Write> writes;
};

class FakeProfileStore : public ProfileStore {
public:
    int GetInt(const std::wstring& section, const std::wstring& entry, int def) override {
        auto it = ints.find({section, entry});
        return it == ints.end() ? def : it->second;
    }
    bool WriteInt(const std::wstring& section, const std::wstring& entry, int value) override {
        intWrites.push_back(entry);
        ints[{section, entry}] = value;
        return true;
    }
    std::wstring GetString(const std::wstring& section, const std::wstring& entry,
                           const std::wstring& def) override {
        auto it = strings.find({section, entry});
        return it == strings.end() ? def : it->second;
    }
    bool WriteString(const std::wstring& section, const std::wstring& entry,
                     const std::wstring& value) override {
        strings[{section, entry}] = value;
        return true;
    }

    std::map<std::pair<std::wstring, std::wstring>, int> ints;
    std::map<std::pair<std::wstring, std::wstring>, std::wstring> strings;
    std::vector<std::wstring> intWrites;
};

} // namespace dp::testing_support
