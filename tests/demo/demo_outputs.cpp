// Checks what a capture_pipeline session left: its XML report, read with CMarkup
// (the settings, every stage's frames, one <second> per second whose frames add up,
// the five files), and the first frame's bitmap (a 32-bit top-down header and the
// pattern's frame 0, redrawn here). Prints one line per failed clause.
// Usage: demo_outputs XML BMP WIDTH HEIGHT FRAMES SECONDS
#include "../../examples/capture_pipeline/pattern.h"

#include <pubfunc/markup.h>
#include <pubfunc/pubfunc.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

static int g_failures = 0;

static void expect(const char* what, long got, long want) {
    if (got == want) return;
    std::printf("demo_outputs: %s: got %ld, want %ld\n", what, got, want);
    ++g_failures;
}

static long number(const wstring16& text) {
    return std::atol(pubfunc::toNarrowString(text.c_str(), -1, 65001).c_str());
}

int main(int argc, char** argv) {
    if (argc != 7) return 2;
    const wstring16 xmlPath = pubfunc::toWideString(argv[1], -1, 65001);
    const wstring16 bmpPath = pubfunc::toWideString(argv[2], -1, 65001);
    const int width = std::atoi(argv[3]), height = std::atoi(argv[4]);
    const long frames = std::atol(argv[5]), seconds = std::atol(argv[6]);

    CMarkup xml;
    expect("the report loads", xml.Load(xmlPath), 1);
    expect("<session>", xml.FindElem(W16("session")) && xml.IntoElem(), 1);
    expect("<settings>", xml.FindElem(W16("settings")), 1);
    expect("settings frames", number(xml.GetAttrib(W16("frames"))), frames);
    expect("<stages>", xml.FindElem(W16("stages")) && xml.IntoElem(), 1);
    for (const char* stage : {"capture", "convert", "encode", "send"}) {
        xml.FindElem(W16("stage"));
        expect(stage, number(xml.GetAttrib(W16("frames"))), frames);
    }
    xml.OutOfElem();
    expect("<seconds>", xml.FindElem(W16("seconds")) && xml.IntoElem(), 1);
    long count = 0, sent = 0;
    for (; xml.FindElem(W16("second")); ++count)
        sent += number(xml.GetAttrib(W16("send")));
    expect("<second> elements", count, seconds);
    expect("frames sent in all seconds", sent, frames);
    xml.OutOfElem();
    expect("<files>", xml.FindElem(W16("files")) && xml.IntoElem(), 1);
    for (count = 0; xml.FindElem(W16("file")); ++count) {
    }
    expect("<file> elements", count, 5);

    std::vector<char> bmp;
    pubfunc::loadBinaryFile(bmpPath, bmp);
    const size_t pixels = size_t(width) * height * 4;
    expect("bitmap size", long(bmp.size()), long(54 + pixels));
    if (bmp.size() != 54 + pixels) return 1;
    // The rest of saveAsBMP's header is pinned by the folder tests.
    int32_t size[2]; // width and height
    std::memcpy(size, &bmp[18], sizeof size);
    expect("width", size[0], width);
    expect("height (negative: top down)", size[1], -height);
    std::vector<unsigned char> want(pixels);
    demo::drawPattern(want.data(), width, height, 0);
    const auto mismatch =
        std::mismatch(want.begin(), want.end(), bmp.begin() + 54,
                      [](unsigned char a, char b) { return a == (unsigned char)b; });
    expect("first byte of frame 0 that differs", long(mismatch.first - want.begin()), long(pixels));
    return g_failures == 0 ? 0 : 1;
}
