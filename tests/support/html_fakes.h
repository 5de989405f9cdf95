// Deterministic stand-ins for the HTML renderer's platform services, for unit tests, fuzzing
// and the benchmark: every character of a font is (height + 1) / 2 pixels wide, one more when bold;
// the ascent is four fifths of the height, the letter x half of it.
#pragma once

#include "renderer/layout_services.h"

#include <map>
#include <string>

namespace dp::test {

class FakeTextMeasurer : public html::TextMeasurer {
public:
    explicit FakeTextMeasurer(int resolution = 96) : resolution_(resolution) {}

    int Resolution() override { return resolution_; }
    html::FontMetrics UseFont(const html::FontSpec& font) override {
        ++fontsUsed;
        advance_ = CharWidth(font);
        html::FontMetrics m;
        m.height = font.height;
        m.ascent = font.height * 4 / 5;
        m.descent = m.height - m.ascent;
        m.xHeight = font.height / 2;
        m.averageWidth = advance_;
        return m;
    }
    void MeasurePrefixes(std::wstring_view text, std::vector<int>& ends) override {
        int width = 0;
        for (std::size_t i = 0; i < text.size(); ++i)
            ends[i] = width += advance_;
    }

    static int CharWidth(const html::FontSpec& font) {
        return (font.height + 1) / 2 + (font.weight >= 700 ? 1 : 0);
    }

    int fontsUsed = 0;

private:
    int resolution_;
    int advance_ = 1;
};

class FakeImages : public html::ImageProvider {
public:
    std::optional<html::ImageSize> Size(const html::ImageRequest& image) override {
        if (image.source == html::ImageSource::File &&
            image.file.find(L"missing") != std::wstring::npos)
            return std::nullopt;
        return html::ImageSize{32, 16};
    }
};

class FakeStrings : public html::ResourceStrings {
public:
    std::wstring Load(std::wstring_view module, unsigned id) override {
        const auto found = strings.find({std::wstring(module), id});
        return found == strings.end() ? std::wstring() : found->second;
    }
    std::map<std::pair<std::wstring, unsigned>, std::wstring> strings;
};

class FakeSystemColours : public html::SystemColours {
public:
    std::uint32_t Colour(int index) const override {
        return 0x010101u * static_cast<unsigned>(index);
    }
};

} // namespace dp::test
