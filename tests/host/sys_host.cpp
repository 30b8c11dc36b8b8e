// A host of the library that lives in a folder of its own (bin/probe):
//   sys_host paths LIBDIR EXEDIR  checks getExePath for both modules against the
//                                 build's folders (Unix paths; Windows sees them
//                                 on drive Z:), printing both values on a mismatch
//   sys_host bmp FILE             writes a 3 x 2 32-bit BMP for Pillow to read
#include <pubfunc/pubfunc.h>

#include <cstdio>
#include <string>

static wstring16 native(const std::string& unixPath) {
#if defined(_WIN32)
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
#else
    const std::string& path = unixPath;
#endif
    return pubfunc::toWideString(path.c_str(), -1, 65001);
}

static int check(const char* what, const wstring16& got, const wstring16& want) {
    if (got == want) return 0;
    std::printf("%s: got %s, want %s\n", what,
                pubfunc::toNarrowString(got.c_str(), -1, 65001).c_str(),
                pubfunc::toNarrowString(want.c_str(), -1, 65001).c_str());
    return 1;
}

// Rows top down; each pixel B, G, R and an unused byte.
static const unsigned char kPixels[] = {
    0, 0, 255, 0, 0,  255, 0,   0, 255, 0,   0,   0,  // red, green, blue
    3, 2, 1,   0, 50, 100, 200, 0, 255, 255, 255, 0}; // (1, 2, 3), (200, 100, 50), white

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "paths" && argc == 4)
        return check("dll", pubfunc::getExePath(pubfunc::moduleDll), native(argv[2])) |
               check("exe", pubfunc::getExePath(pubfunc::moduleExe), native(argv[3]));
    if (mode == "bmp" && argc == 3)
        return pubfunc::saveAsBMP(reinterpret_cast<const char*>(kPixels), sizeof kPixels, 3, 2, 32,
                                  native(argv[2]).c_str())
                   ? 0
                   : 1;
    return 2;
}
