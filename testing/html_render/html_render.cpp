// html_render.exe render IN.html OUT.png [WIDTH]
//     Renders the UTF-8 file IN.html WIDTH pixels wide (default 400) and as high as Measure
//     says, on white, into a PNG file, which shows at most the first kMaxPictureHeight pixels.
//     Prints "<width> <height> <picture height> <measure ms> <draw ms>".
// html_render.exe bench IN.html RUNS [WIDTH]
//     Times RUNS rounds of Measure (a fresh drawer each round) and Draw into a memory DC and
//     prints the median wall time of each in microseconds, and the thread's CPU time per run
//     averaged over all runs (the system counts CPU time in coarse ticks).
#include "effects/win32/dib_section.h"
#include "renderer/win32/html_drawer.h"
#include "testing/golden/png_file.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::wstring ReadUtf8(const wchar_t* path) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        bytes.erase(0, 3);
    if (bytes.empty())
        return {};
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(std::max(0, length)), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                          length);
    return text;
}

// A megabyte of text lays out hundreds of thousands of pixels high: a picture of all of it
// (hundreds of MB) would take far longer to encode than to lay out and draw, and show nothing
// more than its first screens do.
constexpr int kMaxPictureHeight = 8192; // within ImageMagick's default limits too

long long MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

int Render(const std::wstring& html, const wchar_t* out, int width) {
    dp::HtmlDrawer drawer;
    SIZE size{};
    const auto measureStart = std::chrono::steady_clock::now();
    {
        dp::DibSection probe(1, 1);
        size = drawer.Measure(probe.dc(), html, width);
    }
    const long long measureMs = MillisecondsSince(measureStart);
    const int height = std::clamp<int>(size.cy, 1, kMaxPictureHeight);
    dp::DibSection canvas(width, height);
    if (!canvas.ok()) {
        std::fwprintf(stderr, L"no %dx%d bitmap\n", width, height);
        return 1;
    }
    canvas.Fill(0xFFFFFF);
    std::srand(1); // the noise of background effects comes out the same every time
    const auto drawStart = std::chrono::steady_clock::now();
    drawer.Draw(canvas.dc(), RECT{0, 0, width, height});
    const long long drawMs = MillisecondsSince(drawStart);
    if (!dp::SavePng(out, canvas.Pixels())) {
        std::fwprintf(stderr, L"cannot write %ls\n", out);
        return 1;
    }
    std::printf("%d %ld %d %lld %lld\n", width, size.cy, height, measureMs, drawMs);
    return 0;
}

// The thread's CPU time (kernel and user) in microseconds.
long long ThreadCpuMicros() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user))
        return 0;
    const auto value = [](const FILETIME& t) {
        return (static_cast<long long>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10;
    };
    return value(kernel) + value(user);
}

long long Median(std::vector<long long> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int Bench(const std::wstring& html, int runs, int width) {
    using Clock = std::chrono::steady_clock;
    std::vector<long long> measure, draw;
    long long measureCpu = 0, drawCpu = 0;
    long height = 0;
    for (int i = 0; i < runs; ++i) {
        dp::HtmlDrawer drawer;
        dp::DibSection canvas(width, 1000);
        canvas.Fill(0xFFFFFF); // touched, as a window's paint target is
        const long long cpuStart = ThreadCpuMicros();
        const auto start = Clock::now();
        height = drawer.Measure(canvas.dc(), html, width).cy;
        const auto measured = Clock::now();
        const long long cpuMeasured = ThreadCpuMicros();
        drawer.Draw(canvas.dc(), RECT{0, 0, width, 1000});
        ::GdiFlush();
        const auto drawn = Clock::now();
        measureCpu += cpuMeasured - cpuStart;
        drawCpu += ThreadCpuMicros() - cpuMeasured;
        measure.push_back(
            std::chrono::duration_cast<std::chrono::microseconds>(measured - start).count());
        draw.push_back(
            std::chrono::duration_cast<std::chrono::microseconds>(drawn - measured).count());
    }
    std::printf("chars=%zu width=%d height=%ld runs=%d measure_us=%lld draw_us=%lld "
                "measure_cpu_us=%lld draw_cpu_us=%lld\n",
                html.size(), width, height, runs, Median(measure), Median(draw), measureCpu / runs,
                drawCpu / runs);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 4 && std::wstring(argv[1]) == L"render")
        return Render(ReadUtf8(argv[2]), argv[3], argc > 4 ? std::max(1, _wtoi(argv[4])) : 400);
    if (argc >= 4 && std::wstring(argv[1]) == L"bench")
        return Bench(ReadUtf8(argv[2]), std::max(1, _wtoi(argv[3])),
                     argc > 4 ? std::max(1, _wtoi(argv[4])) : 400);
    std::fputs("usage: html_render render IN.html OUT.png [WIDTH] | bench IN.html RUNS [WIDTH]\n",
               stderr);
    return 2;
}
