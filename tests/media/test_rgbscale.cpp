// RGBScale against the real libswscale, checked with reference formulas computed
// here: the byte layouts of the RGB types, BT.601 limited range for YUV.
#include <pubfunc/rgbscale.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

struct RGBScaleProbe {
    static SwsContext* context(const RGBScale& s) { return s.context; }
    static int format(RGBScale& s, int t) { return s.rgbTypeToPixelFormat(RGBScale::RgbType(t)); }
};

namespace {

typedef RGBScale S;
typedef std::array<int, 3> Px; // R, G, B
typedef std::vector<unsigned char> Bytes;

// Each RgbType as one packed value: bytes, byte order, shift and width of R, G, B,
// and the shift of an opaque alpha byte (-1: none).
struct Layout {
    int bytes;
    bool bigEndian;
    int shift[3], bits[3], alpha;
};
const Layout kLayouts[] = {
    {3, true, {16, 8, 0}, {8, 8, 8}, -1},  {3, false, {16, 8, 0}, {8, 8, 8}, -1}, // RGB24, BGR24
    {4, false, {16, 8, 0}, {8, 8, 8}, 24}, {4, true, {24, 16, 8}, {8, 8, 8}, 0},  // BGRA, RGBA
    {2, false, {11, 5, 0}, {5, 6, 5}, -1}, {2, true, {10, 5, 0}, {5, 5, 5}, -1},  // RGB565, RGB555
    {4, false, {16, 8, 0}, {8, 8, 8}, 24}, {4, true, {16, 8, 0}, {8, 8, 8}, 24}}; // RGB32, ARGB

// Narrow channels widen by repeating their top bits.
Px readPixel(int type, const unsigned char* p) {
    const Layout& l = kLayouts[type];
    uint32_t v = 0;
    for (int i = 0; i < l.bytes; ++i)
        v |= uint32_t(p[i]) << 8 * (l.bigEndian ? l.bytes - 1 - i : i);
    Px c;
    for (int i = 0; i < 3; ++i) {
        const int x = v >> l.shift[i] & ((1 << l.bits[i]) - 1);
        c[i] = x << (8 - l.bits[i]) | x >> (2 * l.bits[i] - 8);
    }
    return c;
}

void writePixel(int type, unsigned char* p, Px c) {
    const Layout& l = kLayouts[type];
    uint32_t v = l.alpha < 0 ? 0 : 255u << l.alpha;
    for (int i = 0; i < 3; ++i)
        v |= uint32_t(c[i] >> (8 - l.bits[i])) << l.shift[i];
    for (int i = 0; i < l.bytes; ++i)
        p[i] = static_cast<unsigned char>(v >> 8 * (l.bigEndian ? l.bytes - 1 - i : i));
}

// The test pattern: every channel a plane over the frame, so that a bicubic
// down-scale keeps the value at the sample point away from the borders.
constexpr int kW = 64, kH = 32, kYuyv = 8, kI420 = 8; // kYuyv: a source, kI420: an output
Px rgbAt(double x, double y) {
    return {int(30 + 190 * x / kW), int(200 - 150 * y / kH), int(60 + 90 * x / kW + 90 * y / kH)};
}
int clamp8(double v) {
    return std::min(255, std::max(0, int(std::lround(v))));
}
std::array<double, 3> yuvAt(double x, double y) {
    const Px c = rgbAt(x, y);
    return {16 + (65.481 * c[0] + 128.553 * c[1] + 24.966 * c[2]) / 255,
            128 + (-37.797 * c[0] - 74.203 * c[1] + 112 * c[2]) / 255,
            128 + (112 * c[0] - 93.786 * c[1] - 18.214 * c[2]) / 255};
}

// A frame of `type` (read upside down when flipped), or YUYV: Y0 U Y1 V with each
// pair's chroma averaged.
Bytes frame(int type, bool upsideDown) {
    Bytes f(kW * kH * (type == kYuyv ? 2 : kLayouts[type].bytes));
    for (int y = 0, i = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const auto a = yuvAt(x, y), b = yuvAt(x ^ 1, y);
            if (type == kYuyv)
                f[i++] = uint8_t(clamp8(a[0])),
                f[i++] = uint8_t(clamp8((a[x & 1 ? 2 : 1] + b[x & 1 ? 2 : 1]) / 2));
            else
                writePixel(type,
                           &f[((upsideDown ? kH - 1 - y : y) * kW + x) * kLayouts[type].bytes],
                           rgbAt(x, y));
        }
    return f;
}

// RGB outputs: exact at equal sizes, but 15-bit big-endian RGB goes through YUV inside
// libswscale; a down-scale interpolates values cut to 5 or 6 bits and cuts them again.
// YUV sources: libswscale's fixed-point coefficients.
int tolerance(int from, int to, bool scaled) {
    if (to == kI420) return 2;
    if (from == kYuyv) return kLayouts[to].bytes == 2 ? 10 : 6;
    const bool packed16 = kLayouts[from].bytes == 2 || kLayouts[to].bytes == 2;
    if (scaled) return packed16 ? 12 : 2;
    return from == S::RGB555 || to == S::RGB555 ? 4 : 0;
}

} // namespace

// Every RGB type (read upright and flipped) and YUYV into every RGB type, at equal
// sizes and at half the width and three quarters of the height; YUYV and RGB32 into
// I420, checked on the chroma grid: Y of each 2 x 2 block's top-left sample, U, V.
// Away from the borders of a down-scale, where the filter reaches past the frame,
// each sample matches the pattern at its source position.
TEST(RGBScale, EveryConversionMatchesReference) {
    RGBScale s;
    for (int from = 0; from <= kYuyv; ++from)
        for (int to = 0; to <= kI420; ++to)
            for (int k = 0; k < 4; ++k) {
                const bool flip = k & 1, scaled = k & 2;
                if (to == kI420 && (flip || (from != kYuyv && from != S::RGB32))) continue;
                const int dw = scaled ? kW / 2 : kW, dh = scaled ? kH * 3 / 4 : kH,
                          bytes = to == kI420 ? 2 : kLayouts[to].bytes; // I420's 1.5 fit in 2
                Bytes src = frame(from, flip), dst(dw * dh * bytes);
                unsigned char* out = dst.data();
                // Each set-up runs twice: unchanged sizes keep the context and the frame.
                const auto run = [&] {
                    if (to == kI420 && from == kYuyv) {
                        s.initYUV422ToI420(kW, kH, dw, dh);
                        s.initRGB32ToI420(kW, kH, dw, dh); // formats are not compared
                        s.convertYUV422ToI420(src.data(), out);
                    } else if (to == kI420) {
                        s.initRGB32ToI420(kW, kH, dw, dh);
                        s.convertRGB32ToI420(src.data(), out);
                    } else if (from == kYuyv) {
                        s.initYUV422ToRGB(kW, kH, dw, dh, dw * bytes, S::RgbType(to));
                        s.convertYUV422ToRGB(src.data(), out);
                    } else {
                        s.initRGBToRGB(kW, kH, dw, dh, kW * kLayouts[from].bytes, dw * bytes,
                                       S::RgbType(from), S::RgbType(to));
                        s.convertRGBToRGB(src.data(), out, flip);
                    }
                };
                s.free(); // a change of formats alone would keep the context
                run();
                SwsContext* context = RGBScaleProbe::context(s);
                unsigned char* first = out;
                run();
                EXPECT_EQ(RGBScaleProbe::context(s), context) << "type " << from << " to " << to;
                EXPECT_EQ(out, first) << "type " << from << " to " << to;
                const int w = to == kI420 ? dw / 2 : dw, h = to == kI420 ? dh / 2 : dh,
                          edge = scaled ? 3 : 0, quarter = dw * dh / 4;
                const auto at = [&](double i, double n, int dn) {
                    return (i + 0.5) * n / dn - 0.5;
                };
                int worst = 0;
                for (int y = edge; y < h - edge; ++y)
                    for (int x = edge; x < w - edge; ++x) {
                        // The RGB reference passes through the precision of both layouts.
                        unsigned char a[4], b[4];
                        const auto luma = yuvAt(at(2 * x, kW, dw), at(2 * y, kH, dh)),
                                   chroma = yuvAt(at(2 * x + 0.5, kW, dw), at(2 * y + 0.5, kH, dh)),
                                   yuv = yuvAt(at(x, kW, dw), at(y, kH, dh));
                        const double l = 1.164 * (yuv[0] - 16), u = yuv[1] - 128, v = yuv[2] - 128;
                        if (from == kYuyv && to != kI420)
                            writePixel(to, b,
                                       {clamp8(l + 1.596 * v), clamp8(l - 0.813 * v - 0.391 * u),
                                        clamp8(l + 2.018 * u)});
                        else if (to != kI420)
                            writePixel(from, a, rgbAt(at(x, kW, dw), at(y, kH, dh))),
                                writePixel(to, b, readPixel(from, a));
                        const Px ref =
                            to == kI420 ? Px{clamp8(luma[0]), clamp8(chroma[1]), clamp8(chroma[2])}
                                        : readPixel(to, b);
                        const int c = y * dw / 2 + x;
                        const Px got = to == kI420 ? Px{out[2 * y * dw + 2 * x],
                                                        out[4 * quarter + c], out[5 * quarter + c]}
                                                   : readPixel(to, &out[(y * dw + x) * bytes]);
                        for (int i = 0; i < 3; ++i)
                            worst = std::max(worst, std::abs(ref[i] - got[i]));
                    }
                EXPECT_LE(worst, tolerance(from, to, scaled))
                    << "type " << from << " to " << to << (flip ? " flipped" : "") << " into " << dw
                    << "x" << dh;
            }
}

// Below 4 x 4 source pixels nothing is converted and the output keeps its value.
TEST(RGBScale, TinyFramesAreLeftAlone) {
    RGBScale s;
    Bytes src(1200, 7), dst(64, 0xAB);
    unsigned char* out = nullptr;
    s.initYUV422ToI420(3, 100, 3, 100);
    s.convertYUV422ToI420(src.data(), out);
    EXPECT_EQ(out, nullptr);
    s.initRGBToRGB(3, 100, 3, 100, 12, 12, S::BGRA, S::RGB24);
    s.convertRGBToRGB(src.data(), dst.data(), true);
    EXPECT_EQ(dst, Bytes(64, 0xAB));
    s.uninit();
    EXPECT_EQ(RGBScaleProbe::context(s), nullptr);
}

TEST(RGBScale, PixelFormatTableAndExpansionBytes) {
    RGBScale s;
    const int expected[] = {2, 3, 30, 28, 44, 45, 30, 27, -1};
    for (int type = 0; type < 9; ++type)
        EXPECT_EQ(RGBScaleProbe::format(s, type), expected[type]) << "type " << type;
    // Two rows into a 20-byte destination stride (16 used); the odd fifth pixel is dropped;
    // then the U Y0 V Y1 order.
    unsigned char src[] = {10, 80, 20, 90, 30, 81, 40, 91, 99, 99,
                           50, 82, 60, 92, 70, 83, 80, 93, 99, 99};
    Bytes dst(48);
    s.initYUV422To444(5, 2);
    s.convert422To444(dst.data(), src, 20, true);
    s.initYUV422To444(2, 1);
    s.convert422To444(&dst[40], src + 1, 8, false);
    EXPECT_EQ(dst, Bytes({10, 80, 20, 90, 20, 80, 20, 90, 30, 81, 40, 91, 40, 81, 40, 91,
                          0,  0,  0,  0,  50, 82, 60, 92, 60, 82, 60, 92, 70, 83, 80, 93,
                          80, 83, 80, 93, 0,  0,  0,  0,  80, 20, 90, 30, 80, 30, 90, 30}));
}

#if defined(_WIN32)
// Only Windows guards the library call: elsewhere the short read faults.
TEST(RGBScale, ShortSourceEndsTheConversion_Win) {
    const SIZE_T page = 4096; // three reserved, the first two readable
    auto* base =
        static_cast<unsigned char*>(VirtualAlloc(nullptr, 3 * page, MEM_RESERVE, PAGE_NOACCESS));
    ASSERT_NE(VirtualAlloc(base, 2 * page, MEM_COMMIT, PAGE_READWRITE), nullptr);
    RGBScale s;
    unsigned char* out = nullptr;
    s.initRGB32ToI420(64, 32, 64, 32); // 8,192 bytes, of which 4,096 readable
    s.convertRGB32ToI420(base + page, out);
    s.convertRGB32ToI420(base, out); // a whole frame still converts afterwards
    EXPECT_NE(out, nullptr);
    VirtualFree(base, 0, MEM_RELEASE);
}
#endif
