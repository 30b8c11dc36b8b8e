// A host of the library in a folder of its own (bin/probe):
//   sys_host paths LIBDIR EXEDIR  exits 0 when getExePath gives these folders
//                                 (Unix paths; Windows sees them on drive Z:)
//   sys_host bmp FILE             writes a 3 x 2 32-bit BMP for Pillow to read
#include <pubfunc/pubfunc.h>

#include <cstdio>
#include <string>

static wstring16 native(std::string path) {
#if defined(_WIN32)
    path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
#endif
    return pubfunc::toWideString(path.c_str(), -1, 65001);
}

// Rows top down: red, green, blue; (1, 2, 3), (200, 100, 50), white. Each pixel is
// B, G, R and an unused byte.
static const char kPixels[] = "\0\0\xFF\0\0\xFF\0\0\xFF\0\0\0\3\2\1\0\x32\x64\xC8\0\xFF\xFF\xFF";

int main(int argc, char** argv) {
    if (argc == 3 && argv[1] == std::string("bmp"))
        return pubfunc::saveAsBMP(kPixels, sizeof kPixels, 3, 2, 32, native(argv[2]).c_str()) ? 0
                                                                                              : 1;
    if (argc != 4) return 2;
    const wstring16 dll = pubfunc::getExePath(pubfunc::moduleDll);
    const wstring16 exe = pubfunc::getExePath(pubfunc::moduleExe);
    std::printf("dll %s\nexe %s\n", pubfunc::toNarrowString(dll.c_str(), -1, 65001).c_str(),
                pubfunc::toNarrowString(exe.c_str(), -1, 65001).c_str());
    return dll == native(argv[2]) && exe == native(argv[3]) ? 0 : 1;
}
