// RGBScale that does nothing: without its library (the search is pointed at an empty
// folder), or, with it, for a source below 4 x 4 pixels. The output keeps its value.
#include <pubfunc/rgbscale.h>

#include "media/swscale_lib.h"

#include <gtest/gtest.h>

#include <vector>

TEST(RGBScale, MissingLibraryOrTinyFrameLeavesEverythingAlone) {
    const wstring16 nowhere = W16("no-such-folder");
    for (const int width : {64, 3}) {
        pf::media::setSwscaleFolder(width == 64 ? &nowhere : nullptr);
        RGBScale s;
        pf::media::setSwscaleFolder(nullptr);
        std::vector<unsigned char> src(64 * 64 * 4, 7), dst(64 * 64 * 4, 1);
        unsigned char* out = nullptr;
        s.initRGB32ToI420(width, 64, 32, 32);
        s.convertRGB32ToI420(src.data(), out);
        EXPECT_EQ(out, nullptr);
        s.initRGBToRGB(width, 64, 64, 64, 256, 256, RGBScale::BGRA, RGBScale::RGBA);
        s.convertRGBToRGB(src.data(), dst.data(), width == 3);
        EXPECT_EQ(dst, std::vector<unsigned char>(64 * 64 * 4, 1)) << "width " << width;
    }
}
