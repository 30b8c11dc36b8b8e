// RGBScale: pixel-format conversion and scaling over a libswscale loaded at run time.
//
// Set-ups create the context and the I420 frame; conversions only fill the plane
// tables and call sws_scale, so a frame allocates nothing. Every conversion checks
// for a context first: without one (no library, a refused context, no set-up) it
// does nothing and reports nothing.
#include <pubfunc/pubfunc.h>
#include <pubfunc/rgbscale.h>

#include "media/swscale_lib.h"
#include "platform/fs.h"
#include "sys/dllhelper_internal.h"

#include <cstddef>
#include <cstring>

namespace {

namespace media = pf::media;
namespace dl = pf::dl;

// libswscale major-2 pixel-format numbers and the names later majors know them by.
struct FormatName {
    int v2;
    const char* name;
};
constexpr FormatName kFormatNames[] = {
    {0, "yuv420p"}, {1, "yuyv422"}, {2, "rgb24"},     {3, "bgr24"},     {27, "argb"},
    {28, "rgba"},   {30, "bgra"},   {44, "rgb565le"}, {45, "rgb555be"},
};
constexpr int kYuv420p = 0;
constexpr int kYuyv422 = 1;
constexpr int kBgra = 30;

const wstring16* s_folderForTests = nullptr;

constexpr int kFirstMajor = 2;
constexpr int kLastMajor = 12;
// Windows finds the library's own dependencies (libavutil) beside it.
constexpr unsigned kAlteredSearchPath = 8;

// The first libswscale in folder, major 2 first, then the newer majors; with
// systemToo then the system's copy where there is one.
HMODULE loadSwscale(const wstring16& folder, bool systemToo) {
    for (int major = kFirstMajor; major <= kLastMajor; ++major)
        if (HMODULE lib =
                dl::loadEx(folder + pf::platform::pathSeparator() + media::swscaleFileName(major),
                           kAlteredSearchPath))
            return lib;
    for (int major = kFirstMajor; systemToo && media::hasSystemSwscale() && major <= kLastMajor;
         ++major)
        if (HMODULE lib = dl::load(media::swscaleFileName(major))) return lib;
    return nullptr;
}

// An entry point of the loaded library as the function type it has.
template <class Fn> Fn entry(HMODULE lib, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(dl::symbol(lib, name)));
}

constexpr int kPointSampling = 16;
constexpr int kBicubic = 4;

struct ScaleCall {
    RGBScale::ScaleFn scale;
    SwsContext* context;
    const unsigned char* const* srcPlanes;
    const int* srcStrides;
    int srcHeight;
    unsigned char* const* dstPlanes;
    const int* dstStrides;
};

void callScale(void* arg) {
    const ScaleCall& c = *static_cast<ScaleCall*>(arg);
    c.scale(c.context, c.srcPlanes, c.srcStrides, 0, c.srcHeight, c.dstPlanes, c.dstStrides);
}

} // namespace

void pf::media::setSwscaleFolder(const wstring16* folder) {
    s_folderForTests = folder;
}

RGBScale::RGBScale()
    : freeContext(nullptr), getContext(nullptr), scale(nullptr), module(nullptr), context(nullptr),
      srcWidth(0), srcHeight(0), dstWidth(0), dstHeight(0), srcStride(0), dstStride(0),
      i420Buffer(nullptr) {
    init();
}

RGBScale::~RGBScale() {
    uninit();
}

void RGBScale::init() {
    if (module) return;
    module = s_folderForTests ? loadSwscale(*s_folderForTests, false)
                              : loadSwscale(pubfunc::getExePath(pubfunc::moduleDll), true);
    if (!module) return;
    freeContext = entry<FreeContextFn>(module, "sws_freeContext");
    getContext = entry<GetContextFn>(module, "sws_getContext");
    scale = entry<ScaleFn>(module, "sws_scale");
}

int RGBScale::rgbTypeToPixelFormat(RgbType type) {
    switch (type) {
    case RGB24:
        return 2;
    case BGR24:
        return 3;
    case BGRA:
        return 30;
    case RGBA:
        return 28;
    case RGB565:
        return 44;
    case RGB555:
        return 45;
    case RGB32:
        return 30;
    case ARGB:
        return 27;
    }
    return -1;
}

// A major-2 library takes the numbers as they are. Any other major gets the number
// its libavutil gives the format's name; -1 (no format, so no context) when the
// library cannot say.
int RGBScale::libraryFormat(int formatV2) {
    auto version = entry<unsigned (*)()>(module, "swscale_version");
    if (!version || (version() >> 16) == 2) return formatV2;
    media::PixFmtByNameFn byName = media::pixFmtByName(module);
    for (const FormatName& f : kFormatNames)
        if (f.v2 == formatV2) return byName ? byName(f.name) : -1;
    return -1;
}

bool RGBScale::setUp(bool unchanged, int srcFormat, int dstFormat) {
    if (unchanged && context) return false;
    free();
    if (!getContext) return false;
    const int flags = srcWidth == dstWidth && srcHeight == dstHeight ? kPointSampling : kBicubic;
    context = getContext(srcWidth, srcHeight, libraryFormat(srcFormat), dstWidth, dstHeight,
                         libraryFormat(dstFormat), flags, nullptr, nullptr, nullptr);
    return true;
}

void RGBScale::initRGBToRGB(int srcWidth_, int srcHeight_, int dstWidth_, int dstHeight_,
                            int srcStride_, int dstStride_, RgbType srcType, RgbType dstType) {
    const bool unchanged = srcWidth == srcWidth_ && srcHeight == srcHeight_ &&
                           dstWidth == dstWidth_ && dstHeight == dstHeight_ &&
                           srcStride == srcStride_ && dstStride == dstStride_;
    srcWidth = srcWidth_, srcHeight = srcHeight_, dstWidth = dstWidth_, dstHeight = dstHeight_;
    srcStride = srcStride_, dstStride = dstStride_;
    setUp(unchanged, rgbTypeToPixelFormat(srcType), rgbTypeToPixelFormat(dstType));
}

void RGBScale::initYUV422ToRGB(int srcWidth_, int srcHeight_, int dstWidth_, int dstHeight_,
                               int dstStride_, RgbType dstType) {
    const bool unchanged = srcWidth == srcWidth_ && srcHeight == srcHeight_ &&
                           dstWidth == dstWidth_ && dstHeight == dstHeight_ &&
                           dstStride == dstStride_;
    srcWidth = srcWidth_, srcHeight = srcHeight_, dstWidth = dstWidth_, dstHeight = dstHeight_;
    dstStride = dstStride_;
    setUp(unchanged, kYuyv422, rgbTypeToPixelFormat(dstType));
}

void RGBScale::initYUV422ToI420(int srcWidth_, int srcHeight_, int dstWidth_, int dstHeight_) {
    const bool unchanged = srcWidth == srcWidth_ && srcHeight == srcHeight_ &&
                           dstWidth == dstWidth_ && dstHeight == dstHeight_;
    srcWidth = srcWidth_, srcHeight = srcHeight_, dstWidth = dstWidth_, dstHeight = dstHeight_;
    if (setUp(unchanged, kYuyv422, kYuv420p))
        i420Buffer = new unsigned char[static_cast<size_t>(dstWidth) * dstHeight * 3 / 2];
}

void RGBScale::initRGB32ToI420(int srcWidth_, int srcHeight_, int dstWidth_, int dstHeight_) {
    const bool unchanged = srcWidth == srcWidth_ && srcHeight == srcHeight_ &&
                           dstWidth == dstWidth_ && dstHeight == dstHeight_;
    srcWidth = srcWidth_, srcHeight = srcHeight_, dstWidth = dstWidth_, dstHeight = dstHeight_;
    if (setUp(unchanged, kBgra, kYuv420p))
        i420Buffer = new unsigned char[static_cast<size_t>(dstWidth) * dstHeight * 3 / 2];
}

void RGBScale::initYUV422To444(int width, int height) {
    srcWidth = width;
    srcHeight = height;
}

void RGBScale::runScale(const unsigned char* const srcPlanes[4], const int srcStrides[4],
                        unsigned char* const dstPlanes[4], const int dstStrides[4]) {
    ScaleCall call{scale, context, srcPlanes, srcStrides, srcHeight, dstPlanes, dstStrides};
    media::guardedCall(callScale, &call);
}

void RGBScale::convertRGBToRGB(unsigned char* source, unsigned char* destination, bool flip) {
    if (srcWidth < 4 || srcHeight < 4 || !context) return;
    // A flipped frame is read from its last row upwards through a negative stride.
    const unsigned char* first =
        flip ? source + static_cast<std::ptrdiff_t>(srcHeight - 1) * srcStride : source;
    const unsigned char* const srcPlanes[4] = {first, nullptr, nullptr, nullptr};
    const int srcStrides[4] = {flip ? -srcStride : srcStride, 0, 0, 0};
    unsigned char* const dstPlanes[4] = {destination, nullptr, nullptr, nullptr};
    const int dstStrides[4] = {dstStride, 0, 0, 0};
    runScale(srcPlanes, srcStrides, dstPlanes, dstStrides);
}

void RGBScale::convertYUV422ToRGB(unsigned char* source, unsigned char* destination) {
    if (srcWidth < 4 || srcHeight < 4 || !context) return;
    const unsigned char* const srcPlanes[4] = {source, nullptr, nullptr, nullptr};
    const int srcStrides[4] = {2 * srcWidth, 0, 0, 0};
    unsigned char* const dstPlanes[4] = {destination, nullptr, nullptr, nullptr};
    const int dstStrides[4] = {dstStride, 0, 0, 0};
    runScale(srcPlanes, srcStrides, dstPlanes, dstStrides);
}

// Y, then U at a quarter of the frame's Y size, then V.
void RGBScale::toI420(unsigned char* source, int srcBytesPerPixel, unsigned char*& output) {
    if (srcWidth < 4 || srcHeight < 4 || !context || !i420Buffer) return;
    const size_t lumaSize = static_cast<size_t>(dstWidth) * dstHeight;
    const unsigned char* const srcPlanes[4] = {source, nullptr, nullptr, nullptr};
    const int srcStrides[4] = {srcBytesPerPixel * srcWidth, 0, 0, 0};
    unsigned char* const dstPlanes[4] = {i420Buffer, i420Buffer + lumaSize,
                                         i420Buffer + lumaSize * 5 / 4, nullptr};
    const int dstStrides[4] = {dstWidth, dstWidth / 2, dstWidth / 2, 0};
    runScale(srcPlanes, srcStrides, dstPlanes, dstStrides);
    output = i420Buffer;
}

void RGBScale::convertYUV422ToI420(unsigned char* source, unsigned char*& output) {
    toI420(source, 2, output);
}

void RGBScale::convertRGB32ToI420(unsigned char* source, unsigned char*& output) {
    toI420(source, 4, output);
}

void RGBScale::convert422To444(unsigned char* destination, unsigned char* source,
                               unsigned int destinationStride, bool yuyvOrder) {
    // The luma bytes of a group: Y0 U Y1 V or U Y0 V Y1.
    const int first = yuyvOrder ? 0 : 1;
    const int second = yuyvOrder ? 2 : 3;
    const int groups = srcWidth / 2;
    for (int r = 0; r < srcHeight; ++r) {
        const unsigned char* in = source + static_cast<std::ptrdiff_t>(r) * 2 * srcWidth;
        unsigned char* out = destination + static_cast<size_t>(r) * destinationStride;
        for (int g = 0; g < groups; ++g, in += 4, out += 8) {
            std::memcpy(out, in, 4);
            std::memcpy(out + 4, in, 4);
            out[4 + first] = in[second];
        }
    }
}

void RGBScale::free() {
    if (context && freeContext) freeContext(context);
    context = nullptr;
    delete[] i420Buffer;
    i420Buffer = nullptr;
}

void RGBScale::uninit() {
    free();
    if (module) dl::release(module);
    module = nullptr;
    freeContext = nullptr;
    getContext = nullptr;
    scale = nullptr;
    srcWidth = srcHeight = dstWidth = dstHeight = srcStride = dstStride = 0;
}
