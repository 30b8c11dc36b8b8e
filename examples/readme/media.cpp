// Media: one captured RGB32 frame to I420, and encoded frames into an FLV recording.
#include <pubfunc/flvfile.h>
#include <pubfunc/pubfunc.h>
#include <pubfunc/rgbscale.h>

#include <string>
#include <vector>

int main() {
    const int w = 64, h = 48;
    std::vector<unsigned char> frame(w * h * 4, 0xFF); // white, B G R X per pixel
    RGBScale scale;                                    // loads the scaling library beside pubfunc
    scale.initRGB32ToI420(w, h, w, h);
    unsigned char* i420 = nullptr; // set to the object's own frame: Y, then U, then V
    scale.convertRGB32ToI420(frame.data(), i420);
    if (!i420 || i420[0] != 235 || i420[w * h] != 128) return 1; // BT.601 white

    // The encoder lies outside the library: these stand for its output, a decoder
    // configuration record and length-prefixed NAL units, copied into the file as is.
    const std::string avcConfig("\x01\x42\xc0\x1e\xff\xe1", 6);
    unsigned char unit[] = {0, 0, 0, 2, 0x65, 0x88};
    FlvFile flv;
    flv.setOutputFolder(pubfunc::getCacheDirPath().c_str()); // default: the recordings
    for (unsigned int ms = 33; ms <= 330; ms += 33)          // dts > 0, first a key frame
        flv.saveVideoRawH264Data(avcConfig, unit, sizeof unit, ms, ms, ms == 33);
    return flv.checkValid() ? 0 : 1;
}
