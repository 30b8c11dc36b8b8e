// RGBScale against the real libswscale, checked with reference formulas computed
// here: the byte layouts of the RGB types, BT.601 limited range for YUV.
#include <pubfunc/rgbscale.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <utility>
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

// The test pattern: Y, U and V each a plane over the frame, inside the RGB gamut, so
// that a bicubic down-scale keeps the value at the sample point away from the borders.
constexpr int kW = 64, kH = 32, kYuyv = 8, kI420 = 8; // kYuyv: a source, kI420: an output
std::array<double, 3> yuvAt(double x, double y) {
    return {50 + 1.25 * x + 2 * y, 140 - 0.6 * x, 150 - 1.2 * y};
}
unsigned char clamp8(double v) {
    return static_cast<unsigned char>(std::min(255L, std::max(0L, std::lround(v))));
}
Px rgbOf(const std::array<double, 3>& c) {
    const double l = 1.164 * (c[0] - 16), u = c[1] - 128, v = c[2] - 128;
    return {clamp8(l + 1.596 * v), clamp8(l - 0.813 * v - 0.391 * u), clamp8(l + 2.018 * u)};
}

// A frame of `type` (stored upside down when flipped), or YUYV: Y0 U Y1 V with each
// pair's chroma taken between its two pixels.
Bytes frame(int type, bool upsideDown) {
    const int n = type == kYuyv ? 2 : kLayouts[type].bytes;
    Bytes f(kW * kH * n);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            unsigned char* p = &f[((upsideDown ? kH - 1 - y : y) * kW + x) * n];
            if (type != kYuyv)
                writePixel(type, p, rgbOf(yuvAt(x, y)));
            else
                p[0] = clamp8(yuvAt(x, y)[0]), p[1] = clamp8(yuvAt((x & ~1) + 0.5, y)[1 + x % 2]);
        }
    return f;
}

// RGB outputs: exact at equal sizes, but 15-bit big-endian RGB goes through YUV inside
// libswscale; a down-scale interpolates values cut to 5 or 6 bits and cuts them again.
// YUV sources: libswscale's fixed-point coefficients.
int tolerance(int from, int to, bool scaled) {
    if (to == kI420) return 2;
    if (from == kYuyv) return kLayouts[to].bytes == 2 ? 10 : 6;
    const int narrow = (kLayouts[from].bytes == 2) + (kLayouts[to].bytes == 2);
    if (scaled) return narrow == 0 ? 2 : narrow == 1 ? 12 : 18;
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
                const bool flip = k & 1, scaled = k & 2; // k, traced: 1 flips, 2 scales
                if ((flip && (from == kYuyv || to == kI420)) ||
                    (to == kI420 && from != kYuyv && from != S::RGB32))
                    continue;
                const int dw = scaled ? kW / 2 : kW, dh = scaled ? kH * 3 / 4 : kH,
                          bytes = to == kI420 ? 2 : kLayouts[to].bytes; // I420's 1.5 fit in 2
                SCOPED_TRACE(testing::Message() << "type " << from << " to " << to << ", k " << k);
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
                const auto kept = std::make_pair(RGBScaleProbe::context(s), out);
                run();
                EXPECT_EQ(std::make_pair(RGBScaleProbe::context(s), out), kept) << "context, frame";
                const int w = to == kI420 ? dw / 2 : dw, h = to == kI420 ? dh / 2 : dh,
                          edge = scaled ? 3 : 0, quarter = dw * dh / 4;
                const auto sample = [&](double x, double y) { // at an output position
                    return yuvAt((x + 0.5) * kW / dw - 0.5, (y + 0.5) * kH / dh - 0.5);
                };
                int worst = 0;
                for (int y = edge; y < h - edge; ++y)
                    for (int x = edge; x < w - edge; ++x) {
                        Px ref, got;
                        if (to == kI420) {
                            const auto l = sample(2 * x, 2 * y), c = sample(2 * x + .5, 2 * y + .5);
                            const int i = y * dw / 2 + x;
                            ref = {clamp8(l[0]), clamp8(c[1]), clamp8(c[2])};
                            got = {out[2 * y * dw + 2 * x], out[4 * quarter + i],
                                   out[5 * quarter + i]};
                        } else { // the reference passes through the precision of both layouts
                            unsigned char a[4], b[4];
                            ref = rgbOf(sample(x, y));
                            if (from != kYuyv) writePixel(from, a, ref), ref = readPixel(from, a);
                            writePixel(to, b, ref);
                            ref = readPixel(to, b);
                            got = readPixel(to, &out[(y * dw + x) * bytes]);
                        }
                        for (int i = 0; i < 3; ++i)
                            worst = std::max(worst, std::abs(ref[i] - got[i]));
                    }
                EXPECT_LE(worst, tolerance(from, to, scaled));
            }
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
