// What the platform-free renderer needs from the platform: text measuring with real fonts, the
// sizes of images, string resources and the system colours. The GDI back-end implements them;
// tests, fuzzing and benchmarks use deterministic stand-ins.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dp::html {

// A font as the layout asks for it. The height is the character (em) height in pixels.
struct FontSpec {
    std::wstring face;
    int height = 13;
    int weight = 400;
    bool italic = false;
    auto operator<=>(const FontSpec&) const = default;
};

struct FontMetrics {
    int height = 0; // ascent + descent: the text height "em" refers to
    int ascent = 0;
    int descent = 0;
    int xHeight = 0; // height of the letter x: what "ex" refers to
    int averageWidth = 0;
};

class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;
    // Vertical pixels per inch of the target.
    virtual int Resolution() = 0;
    // Makes the font current for MeasurePrefixes and returns its metrics.
    virtual FontMetrics UseFont(const FontSpec& font) = 0;
    // ends[i] becomes the width of text[0..i] in the current font (ends gets text.size() items).
    virtual void MeasurePrefixes(std::wstring_view text, std::vector<int>& ends) = 0;
};

enum class ImageKind : std::uint8_t { Bitmap, Icon, ImageList };
enum class ImageSource : std::uint8_t { ProgramResource, File, ModuleResource, Handle };

// Where an image comes from, as the image tags name it.
struct ImageRequest {
    ImageKind kind = ImageKind::Bitmap;
    ImageSource source = ImageSource::ProgramResource;
    unsigned id = 0;          // resource identifier (program or module)
    std::wstring module;      // "srcdll"
    std::wstring file;        // "file"
    std::uint64_t handle = 0; // "handle": owned by the caller, never freed by the renderer
    int index = 0;            // image within an image list
    int cellWidth = 0;        // "cx", "cy": one image of a list; 0 means square / whole height
    int cellHeight = 0;
    auto operator<=>(const ImageRequest&) const = default;
};

struct ImageSize {
    int width = 0;
    int height = 0;
};

class ImageProvider {
public:
    virtual ~ImageProvider() = default;
    // The image's own size (one cell of an image list); nothing when it cannot be loaded.
    virtual std::optional<ImageSize> Size(const ImageRequest& image) = 0;
};

class ResourceStrings {
public:
    virtual ~ResourceStrings() = default;
    // The string resource `id` of the program (empty module) or of the named module; empty
    // when it does not load. At most kMaxStringResource characters are used.
    virtual std::wstring Load(std::wstring_view module, unsigned id) = 0;
};

class SystemColours {
public:
    virtual ~SystemColours() = default;
    // The system colour with this index (0x00BBGGRR).
    virtual std::uint32_t Colour(int index) const = 0;
};

struct LayoutServices {
    TextMeasurer& measurer;
    ImageProvider* images = nullptr;
    ResourceStrings* strings = nullptr;
    const SystemColours* colours = nullptr;
};

} // namespace dp::html
