#include "testing/golden/golden_image.h"

#include <windows.h>

#include <cstdlib>
#include <sstream>

#include "testing/golden/png_file.h"

namespace dp {

namespace {

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end()); // names are ASCII
}

// The same path as the Unix side sees it, for messages a developer can open.
std::string UnixPath(const std::wstring& windowsPath) {
    std::string out;
    for (wchar_t c : windowsPath)
        out += static_cast<char>(c);
    return out.rfind("Z:", 0) == 0 ? out.substr(2) : out;
}

bool UpdatingGoldens() {
    const char* value = std::getenv("DP_UPDATE_GOLDENS");
    return value && *value && std::string(value) != "0";
}

std::string Share(long long part, long long whole) {
    std::ostringstream out;
    out.precision(3);
    out << (whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0)
        << "%";
    return out.str();
}

} // namespace

std::wstring GoldenPath(const std::string& name) {
    return L"" DP_GOLDEN_DIR L"/" + Widen(name) + L".png";
}

std::wstring GoldenOutputPath(const std::string& fileName) {
    ::CreateDirectoryW(L"" DP_GOLDEN_OUT, nullptr); // usually there already
    return L"" DP_GOLDEN_OUT L"/" + Widen(fileName);
}

testing::AssertionResult MatchesGolden(const PixelBuffer& actual, const std::string& name,
                                       const GoldenTolerance& tolerance) {
    const std::wstring golden = GoldenPath(name);
    const std::optional<PixelBuffer> expected = LoadPng(golden);
    if (UpdatingGoldens()) {
        // A golden that still matches is kept as it is, so that regenerating changes no file
        // needlessly.
        if (expected && Matches(CompareImages(*expected, actual, tolerance.channel), tolerance))
            return testing::AssertionSuccess();
        ::CreateDirectoryW(L"" DP_GOLDEN_DIR, nullptr); // for the first golden of a tree
        if (!SavePng(golden, actual))
            return testing::AssertionFailure() << "cannot write " << UnixPath(golden);
        return testing::AssertionSuccess() << "updated " << UnixPath(golden);
    }
    const std::wstring actualPath = GoldenOutputPath(name + ".actual.png");
    const bool actualSaved = SavePng(actualPath, actual);
    const std::string actualNote =
        actualSaved ? "actual: " + UnixPath(actualPath) : "(the actual image could not be written)";
    if (!expected) {
        return testing::AssertionFailure() << "no golden image " << UnixPath(golden) << "; "
                                           << actualNote << "; ./dev goldens makes it";
    }
    const ImageDifference difference = CompareImages(*expected, actual, tolerance.channel);
    if (Matches(difference, tolerance)) {
        ::DeleteFileW(actualPath.c_str()); // only mismatches leave files behind
        return testing::AssertionSuccess();
    }
    const std::wstring diffPath = GoldenOutputPath(name + ".diff.png");
    SavePng(diffPath, DifferenceImage(*expected, actual, tolerance.channel));
    auto failure = testing::AssertionFailure() << "golden '" << name << "' differs: ";
    if (!difference.sameSize) {
        failure << "size " << actual.width << "x" << actual.height << ", golden " << expected->width
                << "x" << expected->height;
    } else {
        failure << difference.differingPixels << " of " << difference.totalPixels << " pixels ("
                << Share(difference.differingPixels, difference.totalPixels)
                << ") differ by more than " << tolerance.channel << " per channel (largest "
                << difference.largestChannelDifference << ", allowed share "
                << Share(static_cast<long long>(tolerance.differingShare * 1e6), 1000000) << ")";
    }
    return failure << "; " << actualNote << "; diff: " << UnixPath(diffPath)
                   << "; golden: " << UnixPath(golden) << "; accept with ./dev goldens";
}

} // namespace dp
