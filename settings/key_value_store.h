// The two stores the settings code reads and writes, as seen by the platform-free code:
// INI files (the platform's private-profile functions) and the application's registry profile.
#pragma once

#include <cstddef>
#include <string>

namespace dp {

class IniStore {
public:
    virtual ~IniStore() = default;
    // The value of key in section of file, or defaultValue when the file, section or key is
    // missing; at most bufferChars - 1 characters arrive, as with a buffer of bufferChars.
    virtual std::wstring ReadString(const std::wstring& file, const std::wstring& section,
                                    const std::wstring& key, const std::wstring& defaultValue,
                                    std::size_t bufferChars) = 0;
    // Creates the file and section as needed; a line already present is replaced in place.
    virtual bool WriteString(const std::wstring& file, const std::wstring& section,
                             const std::wstring& key, const std::wstring& value) = 0;
    // True when a file or folder of that name exists.
    virtual bool Exists(const std::wstring& path) = 0;
};

class ProfileStore {
public:
    virtual ~ProfileStore() = default;
    // section "" addresses the application key itself.
    virtual int GetInt(const std::wstring& section, const std::wstring& entry,
                       int defaultValue) = 0;
    virtual bool WriteInt(const std::wstring& section, const std::wstring& entry, int value) = 0;
    virtual std::wstring GetString(const std::wstring& section, const std::wstring& entry,
                                   const std::wstring& defaultValue) = 0;
    virtual bool WriteString(const std::wstring& section, const std::wstring& entry,
                             const std::wstring& value) = 0;
};

} // namespace dp
