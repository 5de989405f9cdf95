// Stand-ins for the platform behind the brightness controller, each recording what it was asked.
#pragma once

#include "brightness/brightness_backends.h"
#include "brightness/power_scheme.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace dp::test {

class FakeOsVersion : public OsVersionSource {
public:
    std::optional<OsVersion> version = OsVersion{6, 1};
    std::optional<OsVersion> Read() override { return version; }
};

// A panel driver. Calls may be slowed down to widen the window in which two unserialised
// requests would overlap; any overlap is counted.
class FakePanel : public PanelDevice {
public:
    bool opens = true;
    bool levelQuerySucceeds = true;
    LevelList levels;
    DisplayBrightness current{kDisplayPolicyAc, 50, 50};
    bool querySucceeds = true;
    bool setSucceeds = true;
    std::chrono::microseconds callTime{0};

    int openCalls = 0;
    int closeCalls = 0;
    int levelQueries = 0;
    std::uint8_t presetPolicySeen = 0;
    std::vector<DisplayBrightness> sets;
    std::atomic<int> overlaps{0};

    bool Open() override {
        ++openCalls;
        open_ = opens;
        return open_;
    }
    bool IsOpen() const override { return open_; }
    bool QuerySupportedLevels(LevelList& out) override {
        ++levelQueries;
        if (levelQuerySucceeds)
            out = levels;
        return levelQuerySucceeds;
    }
    bool QueryDisplayBrightness(DisplayBrightness& record) override {
        Request request(*this);
        std::lock_guard<std::mutex> lock(mutex_);
        presetPolicySeen = record.ucDisplayPolicy;
        record = current;
        return querySucceeds;
    }
    bool SetDisplayBrightness(const DisplayBrightness& record) override {
        Request request(*this);
        std::lock_guard<std::mutex> lock(mutex_);
        sets.push_back(record);
        return setSucceeds;
    }
    void Close() override {
        ++closeCalls;
        open_ = false;
    }

    // Changes the answer of the next queries while other threads may be asking.
    void SetCurrent(const DisplayBrightness& record) {
        std::lock_guard<std::mutex> lock(mutex_);
        current = record;
    }

private:
    class Request {
    public:
        explicit Request(FakePanel& panel) : panel_(panel) {
            if (panel_.inside_.fetch_add(1) != 0)
                ++panel_.overlaps;
            if (panel_.callTime.count() > 0)
                std::this_thread::sleep_for(panel_.callTime);
        }
        ~Request() { panel_.inside_.fetch_sub(1); }
        Request(const Request&) = delete;
        Request& operator=(const Request&) = delete;

    private:
        FakePanel& panel_;
    };

    bool open_ = false;
    std::atomic<int> inside_{0};
    std::mutex mutex_;
};

class FakeWmi : public WmiLevelSource {
public:
    bool succeeds = false;
    LevelList levels;
    int queries = 0;
    bool QueryLevels(LevelList& out) override {
        ++queries;
        if (succeeds)
            out = levels;
        return succeeds;
    }
};

class FakePowerStatus : public PowerStatusSource {
public:
    std::optional<std::uint8_t> acLineStatus = 1;
    std::optional<std::uint8_t> ReadACLineStatus() override { return acLineStatus; }
};

inline PowerSchemeId Scheme(std::uint8_t tag) {
    PowerSchemeId id{};
    id.fill(tag);
    return id;
}

// A power library with a list of schemes; records every switch.
class FakePowerSchemes : public PowerSchemeLibrary {
public:
    bool present = true;
    std::optional<PowerSchemeId> active = Scheme(0xA);
    std::vector<PowerSchemeId> listed;
    bool listNeverEnds = false;

    int loads = 0;
    int unloads = 0;
    int enumerations = 0;
    std::vector<PowerSchemeId> switches;

    std::unique_ptr<PowerSchemeApi> Load() override {
        ++loads;
        if (!present)
            return nullptr;
        return std::make_unique<Api>(*this);
    }

private:
    class Api : public PowerSchemeApi {
    public:
        explicit Api(FakePowerSchemes& owner) : owner_(owner) {}
        ~Api() override { ++owner_.unloads; }
        std::optional<PowerSchemeId> GetActiveScheme() override { return owner_.active; }
        std::optional<PowerSchemeId> EnumerateScheme(std::uint32_t index) override {
            ++owner_.enumerations;
            if (owner_.listNeverEnds)
                return owner_.active;
            if (index >= owner_.listed.size())
                return std::nullopt;
            return owner_.listed[index];
        }
        void SetActiveScheme(const PowerSchemeId& scheme) override {
            owner_.switches.push_back(scheme);
        }

    private:
        FakePowerSchemes& owner_;
    };
};

// Every fake a controller needs, outliving the controllers made from it.
struct FakePlatform {
    FakeOsVersion osVersion;
    FakePanel panel;
    FakeWmi wmi;
    FakePowerStatus powerStatus;
    FakePowerSchemes schemes;

    BrightnessBackends Sources() { return {osVersion, panel, wmi, powerStatus, schemes}; }
};

inline LevelList Ramp(std::size_t count) {
    LevelList levels(count);
    for (std::size_t i = 0; i < count; ++i)
        levels[i] = static_cast<std::uint8_t>(i);
    return levels;
}

// gtest parameter names allow letters, digits and underscores only.
inline std::string TestName(const char* text) {
    std::string name(text);
    for (char& c : name) {
        const bool keep =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!keep)
            c = '_';
    }
    return name;
}

} // namespace dp::test
