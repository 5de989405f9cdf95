// html_bench [--runs N] [--write DIR]
// Times the renderer's core on messages of about 10 KB and 100 KB made of one repeated
// section (headings, styled runs, entities, links, a small table), then on the worst shapes a
// message of 1 M characters can take (one unbreakable run, CJK text without ASCII punctuation,
// a flood of "<", a flood of "&", many short words, a flood of blanks, the message beside an
// icon in a table cell), 400 pixels wide:
//   measure  parse + layout, as HtmlDrawer::Measure does;
//   draw     the drawing pass at the measured width (the measured layout, walked op by op);
//   relayout layout again at another width (what a Draw into a different rectangle costs).
// Prints the median of N runs (default 200) in microseconds of the thread's CPU time, so that
// other work on a busy machine does not count. With --write the messages are also written to
// DIR as UTF-8 files for the GDI figures (message-10k, message-100k, worst-<shape>.html).
#include "renderer/html_document.h"
#include "tests/support/html_fakes.h"

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <malloc.h>
#include <string>
#include <variant>
#include <vector>

namespace {

// The calling thread's CPU time in nanoseconds.
long long CpuNow() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

std::wstring Section(int n) {
    const std::wstring id = std::to_wstring(n);
    return L"<h2>Section " + id +
           L"</h2>\n"
           L"The saver lowers the <b>backlight</b> of the panel while you are away and puts it "
           L"back when you <i>return</i>; read more on the <a href=\"http://example.com/" +
           id +
           L"\">support page</a> or ask us by <a msg=\"mail\">mail</a>. Words follow so that the "
           L"line wraps a few times at four hundred pixels, with <font color=#336699 size=3>"
           L"coloured text</font>, &amp; entities &lt;like this&gt; &copy; 2026.\n"
           L"<table border=1 cellpadding=2><tr><td>Mains</td><td>40 %</td></tr>"
           L"<tr><td>Battery</td><td>20 % of the <b>panel</b> level</td></tr></table>\n";
}

std::wstring Message(std::size_t bytes) {
    std::wstring text;
    for (int n = 1; text.size() < bytes; ++n)
        text += Section(n);
    return text;
}

// A text of `count` characters made of `piece` repeated.
std::wstring Repeat(std::wstring_view piece, std::size_t count) {
    std::wstring text;
    text.reserve(count + piece.size());
    while (text.size() < count)
        text += piece;
    text.resize(count);
    return text;
}

struct Shape {
    const char* name;
    std::wstring text;
};

// The shapes that once took time quadratic in their length.
std::vector<Shape> WorstShapes(std::size_t count) {
    std::wstring cjk;
    for (std::size_t i = 0; i < count; ++i)
        cjk.push_back(static_cast<wchar_t>(0x4E00 + i % 0x5000));
    const std::wstring path = Repeat(L"C:\\Program Files\\Duskpanel\\data\\", count);
    return {
        {"unbreakable", Repeat(L"x", count)},
        {"cjk", cjk},
        {"less-than", Repeat(L"<", count)},
        {"ampersands", Repeat(L"&amp", count)},
        {"short-words", Repeat(L"a b ", count)},
        {"blanks", L"x" + Repeat(L" ", count - 2) + L"x"},
        {"in-cell", L"<table><tr><td width=32>icon</td><td>" + path + L"</td></tr></table>"},
    };
}

long long Median(std::vector<long long> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long long Micros(long long from, long long to) {
    return (to - from) / 1000;
}

// What a painter does with every operation, minus the drawing.
std::size_t Walk(const dp::html::DisplayList& list) {
    std::size_t sum = 0;
    for (const auto& op : list.ops)
        sum += std::visit([](const auto& o) { return static_cast<std::size_t>(sizeof(o)); }, op);
    return sum;
}

void Bench(const char* name, const std::wstring& text, int runs) {
    dp::test::FakeTextMeasurer measurer;
    const dp::html::LayoutServices services{measurer};
    std::vector<long long> measure, draw, relayout;
    std::size_t ops = 0, sink = 0;
    int height = 0;
    for (int i = 0; i < runs; ++i) {
        dp::html::HtmlDocument document;
        const auto start = CpuNow();
        document.SetText(text);
        height = document.Layout(services, {400}).height;
        const auto measured = CpuNow();
        const dp::html::DisplayList& list = document.Layout(services, {400});
        sink += Walk(list);
        ops = list.ops.size();
        const auto drawn = CpuNow();
        sink += document.Layout(services, {300}).ops.size();
        const auto relaid = CpuNow();
        measure.push_back(Micros(start, measured));
        draw.push_back(Micros(measured, drawn));
        relayout.push_back(Micros(drawn, relaid));
    }
    std::printf("%s: chars=%zu height=%d ops=%zu runs=%d measure_us=%lld draw_us=%lld "
                "relayout_us=%lld (%zu)\n",
                name, text.size(), height, ops, runs, Median(measure), Median(draw),
                Median(relayout), sink % 10);
    std::fflush(stdout);
}

void WriteUtf8(const std::string& path, const std::wstring& text) {
    std::ofstream out(path, std::ios::binary);
    for (wchar_t c : text) {
        const auto u = static_cast<unsigned>(c);
        if (u < 0x80) {
            out.put(static_cast<char>(u));
        } else if (u < 0x800) {
            out.put(static_cast<char>(0xC0 | (u >> 6)));
            out.put(static_cast<char>(0x80 | (u & 0x3F)));
        } else {
            out.put(static_cast<char>(0xE0 | (u >> 12)));
            out.put(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            out.put(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    // Keep freed memory in the heap, as a long-running program's heap does, instead of handing
    // every large list back to the kernel and faulting it in again on the next run.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    int runs = 200;
    const char* writeTo = nullptr;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--write") == 0)
            writeTo = argv[i + 1];
    }
    const std::wstring small = Message(10 * 1024), large = Message(100 * 1024);
    if (writeTo) {
        WriteUtf8(std::string(writeTo) + "/message-10k.html", small);
        WriteUtf8(std::string(writeTo) + "/message-100k.html", large);
    }
    Bench("10 KB", small, runs);
    Bench("100 KB", large, std::max(1, runs / 10));
    for (const Shape& shape : WorstShapes(1 << 20)) {
        if (writeTo)
            WriteUtf8(std::string(writeTo) + "/worst-" + shape.name + ".html", shape.text);
        Bench((std::string("1 M ") + shape.name).c_str(), shape.text, std::max(1, runs / 40));
    }
    return 0;
}
