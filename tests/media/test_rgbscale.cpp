// RGBScale against the real libswscale, checked with reference formulas computed
// here: the byte layouts of the RGB types, BT.601 limited range for YUV.
#include <pubfunc/rgbscale.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

struct RGBScaleProbe {
    static SwsContext* context(const RGBScale& s) { return s.context; }
    static HINSTANCE module(const RGBScale& s) { return s.module; }
    static int format(RGBScale& s, int t) { return s.rgbTypeToPixelFormat(RGBScale::RgbType(t)); }
};

namespace {

typedef RGBScale S;
typedef std::array<int, 3> Px; // R, G, B

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

constexpr int kW = 64, kH = 32;
// Equal sizes, then half the width and three quarters of the height.
const int kSizes[][2] = {{kW, kH}, {kW / 2, kH * 3 / 4}};

// The test pattern: every channel a plane over the frame, so that a bicubic
// down-scale keeps the value at the sample point away from the borders.
Px rgbAt(double x, double y) {
    return {int(30 + 190 * x / kW), int(200 - 150 * y / kH), int(60 + 90 * x / kW + 90 * y / kH)};
}
const auto clamp8 = [](double v) { return std::min(255, std::max(0, int(std::lround(v)))); };
std::array<double, 3> yuvAt(double x, double y) {
    const Px c = rgbAt(x, y);
    return {16 + (65.481 * c[0] + 128.553 * c[1] + 24.966 * c[2]) / 255,
            128 + (-37.797 * c[0] - 74.203 * c[1] + 112 * c[2]) / 255,
            128 + (112 * c[0] - 93.786 * c[1] - 18.214 * c[2]) / 255};
}
Px yuvToRgb(std::array<double, 3> yuv) {
    const double l = 1.164 * (yuv[0] - 16), u = yuv[1] - 128, v = yuv[2] - 128;
    return {clamp8(l + 1.596 * v), clamp8(l - 0.813 * v - 0.391 * u), clamp8(l + 2.018 * u)};
}
// The source position of destination sample i's centre, along one axis.
const auto srcPos = [](double i, int src, int dst) { return (i + 0.5) * src / dst - 0.5; };

std::vector<unsigned char> rgbFrame(int type, bool upsideDown) {
    std::vector<unsigned char> f(kW * kH * kLayouts[type].bytes);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            writePixel(type, &f[((upsideDown ? kH - 1 - y : y) * kW + x) * kLayouts[type].bytes],
                       rgbAt(x, y));
    return f;
}

// Y0 U Y1 V with each pair's chroma averaged.
std::vector<unsigned char> yuyvFrame() {
    std::vector<unsigned char> f;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; x += 2) {
            const auto a = yuvAt(x, y), b = yuvAt(x + 1, y);
            for (double v : {a[0], (a[1] + b[1]) / 2, b[0], (a[2] + b[2]) / 2})
                f.push_back(static_cast<unsigned char>(clamp8(v)));
        }
    return f;
}

// Fails with the largest difference over every channel of a w x h grid, skipping a
// border of 3 samples on a down-scale, where the filter reaches past the frame.
template <class Ref, class Got>
void expectNear(const std::string& what, int w, int h, bool scaled, int tol, Ref ref, Got got) {
    int worst = 0, wx = 0, wy = 0;
    for (int y = scaled ? 3 : 0; y < h - (scaled ? 3 : 0); ++y)
        for (int x = scaled ? 3 : 0; x < w - (scaled ? 3 : 0); ++x)
            for (int c = 0; c < 3; ++c)
                if (std::abs(ref(x, y)[c] - got(x, y)[c]) > worst)
                    worst = std::abs(ref(x, y)[c] - got(x, y)[c]), wx = x, wy = y;
    EXPECT_LE(worst, tol) << what << " into " << w << "x" << h << ", worst at " << wx << "," << wy;
}

constexpr int kYuyv = 8, kI420 = 8; // a source and an output that are not RgbTypes

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

// Every RGB type (read upright and flipped) and YUYV into every RGB type; YUYV and
// RGB32 into I420, checked on the chroma grid: Y of each 2 x 2 block's top-left
// sample, U, V.
TEST(RGBScale, EveryConversionMatchesReference) {
    RGBScale s;
    const std::vector<unsigned char> yuyv = yuyvFrame();
    for (int from = 0; from <= kYuyv; ++from)
        for (int to = 0; to <= kI420; ++to)
            for (bool flip : {false, true})
                for (auto& size : kSizes) {
                    if (to == kI420 && (flip || (from != kYuyv && from != S::RGB32))) continue;
                    const int dw = size[0], dh = size[1],
                              bytes = to == kI420 ? 2 : kLayouts[to].bytes; // I420's 1.5 fit in 2
                    std::vector<unsigned char> src = from == kYuyv ? yuyv : rgbFrame(from, flip),
                                               dst(dw * dh * bytes);
                    unsigned char* out = dst.data();
                    s.free(); // a change of formats alone keeps the context
                    if (to == kI420 && from == kYuyv) {
                        s.initYUV422ToI420(kW, kH, dw, dh);
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
                    // The RGB reference passes through the precision of both layouts.
                    auto ref = [&](int x, int y) {
                        const double sx = srcPos(x, kW, dw), sy = srcPos(y, kH, dh);
                        unsigned char a[4], b[4];
                        if (to == kI420) {
                            const auto luma = yuvAt(srcPos(2 * x, kW, dw), srcPos(2 * y, kH, dh));
                            const auto chroma =
                                yuvAt(srcPos(2 * x + 0.5, kW, dw), srcPos(2 * y + 0.5, kH, dh));
                            return Px{clamp8(luma[0]), clamp8(chroma[1]), clamp8(chroma[2])};
                        }
                        if (from == kYuyv) {
                            writePixel(to, b, yuvToRgb(yuvAt(sx, sy)));
                        } else {
                            writePixel(from, a, rgbAt(sx, sy));
                            writePixel(to, b, readPixel(from, a));
                        }
                        return readPixel(to, b);
                    };
                    auto got = [&](int x, int y) {
                        const int c = y * dw / 2 + x, quarter = dw * dh / 4;
                        return to == kI420 ? Px{out[2 * y * dw + 2 * x], out[4 * quarter + c],
                                                out[5 * quarter + c]}
                                           : readPixel(to, &out[(y * dw + x) * bytes]);
                    };
                    expectNear("type " + std::to_string(from) + " to " + std::to_string(to) +
                                   (flip ? " flipped" : ""),
                               to == kI420 ? dw / 2 : dw, to == kI420 ? dh / 2 : dh, dw != kW,
                               tolerance(from, to, dw != kW), ref, got);
                }
}

TEST(RGBScale, SetUpKeepsContextAndFrameWhileSizesStay) {
    RGBScale s;
    std::vector<unsigned char> yuyv = yuyvFrame(); // plane offsets: the reference test
    unsigned char* out = nullptr;
    s.initYUV422ToI420(kW, kH, kW / 2, kH / 2);
    SwsContext* context = RGBScaleProbe::context(s);
    ASSERT_NE(context, nullptr);
    s.convertYUV422ToI420(yuyv.data(), out);
    ASSERT_NE(out, nullptr);
    unsigned char* first = out;
    s.initYUV422ToI420(kW, kH, kW / 2, kH / 2);
    s.initRGB32ToI420(kW, kH, kW / 2, kH / 2); // formats are not compared
    EXPECT_EQ(RGBScaleProbe::context(s), context);
    s.convertYUV422ToI420(yuyv.data(), out);
    EXPECT_EQ(out, first);

    // Below 4 x 4 source pixels nothing is converted and the output keeps its value.
    s.initYUV422ToI420(3, 100, 3, 100);
    s.convertYUV422ToI420(yuyv.data(), out);
    EXPECT_EQ(out, first);
    std::vector<unsigned char> dst(64, 0xAB);
    s.initRGBToRGB(3, 100, 3, 100, 12, 12, S::BGRA, S::RGB24);
    s.convertRGBToRGB(yuyv.data(), dst.data(), true);
    EXPECT_EQ(dst, std::vector<unsigned char>(64, 0xAB));

    s.uninit();
    EXPECT_EQ(RGBScaleProbe::module(s), nullptr);
    s.init();
    EXPECT_NE(RGBScaleProbe::module(s), nullptr);
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
    std::vector<unsigned char> dst(48);
    s.initYUV422To444(5, 2);
    s.convert422To444(dst.data(), src, 20, true);
    s.initYUV422To444(2, 1);
    s.convert422To444(&dst[40], src + 1, 8, false);
    EXPECT_EQ(dst, std::vector<unsigned char>({10, 80, 20, 90, 20, 80, 20, 90, 30, 81, 40, 91,
                                               40, 81, 40, 91, 0,  0,  0,  0,  50, 82, 60, 92,
                                               60, 82, 60, 92, 70, 83, 80, 93, 80, 83, 80, 93,
                                               0,  0,  0,  0,  80, 20, 90, 30, 80, 30, 90, 30}));
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
