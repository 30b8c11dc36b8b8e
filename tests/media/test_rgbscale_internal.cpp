// RGBScale without its library: the search is pointed at an empty folder.
#include <pubfunc/rgbscale.h>

#include "media/swscale_lib.h"

#include <gtest/gtest.h>

#include <vector>

TEST(RGBScale, MissingLibraryLeavesEverythingAlone) {
    const wstring16 nowhere = W16("no-such-folder");
    pf::media::setSwscaleFolder(&nowhere);
    RGBScale s;
    pf::media::setSwscaleFolder(nullptr);
    std::vector<unsigned char> src(64 * 64 * 4, 7), dst(64 * 64 * 4, 1);
    unsigned char* out = dst.data();
    s.initRGB32ToI420(64, 64, 32, 32);
    s.convertRGB32ToI420(src.data(), out);
    EXPECT_EQ(out, dst.data());
    s.initRGBToRGB(64, 64, 64, 64, 256, 256, RGBScale::BGRA, RGBScale::RGBA);
    s.convertRGBToRGB(src.data(), dst.data(), false);
    EXPECT_EQ(dst, std::vector<unsigned char>(64 * 64 * 4, 1));
}
