// RGBScale: converts and scales video frames through libswscale, loaded at run time.
//
// One object serves one conversion at a time: a set-up call fixes sizes and formats
// and creates the scaling context; the matching conversion is then called once per
// frame on the caller's buffers and allocates nothing. An object is not locked: one
// thread at a time may use it.
//
// Where the scaling library comes from: "swscale-2.dll" in this library's own folder
// (Windows) or "libswscale.so.2" beside this library (Linux); when that file is
// absent, the newer majors' files in the same folder ("swscale-N.dll",
// "libswscale.so.N"), and on Linux then the system's "libswscale.so.N". A library
// of major version 2 receives the pixel-format numbers of the RgbType table as they
// are; for any other major each format is translated by name through the libavutil
// that the loaded library uses. Nothing is linked at build time. A missing library
// leaves the object without a context: set-ups and conversions then do nothing.
//
// On Windows every call into libswscale runs under a guard: a processor exception
// inside it (an access violation from a source buffer shorter than the frame, for
// instance) ends the conversion and the caller sees nothing. The Linux build has no
// such guard: a short buffer there faults as any out-of-bounds read does.
#pragma once

#include <pubfunc/export.h>

#if defined(_WIN32)
#include <windows.h>
#endif

struct SwsContext;
struct SwsFilter;

class PUBFUNC_API RGBScale {
public:
    enum RgbType {
        RGB24 = 0,
        BGR24 = 1,
        BGRA = 2,
        RGBA = 3,
        RGB565 = 4,
        RGB555 = 5,
        RGB32 = 6,
        ARGB = 7
    };

    // Clears every field, then loads the library (init).
    RGBScale();
    ~RGBScale();

    // Loads the library if none is loaded; retries after an earlier failure.
    void init();

    // Set-ups: store the arguments, keep the current context when the compared
    // fields are unchanged (sizes and strides; formats are not compared), otherwise
    // replace the context: point sampling at equal sizes, bicubic otherwise. The two
    // I420 set-ups also allocate the output frame of dstWidth x dstHeight x 3 / 2.
    void initRGBToRGB(int srcWidth, int srcHeight, int dstWidth, int dstHeight, int srcStride,
                      int dstStride, RgbType srcType, RgbType dstType);
    void initYUV422ToRGB(int srcWidth, int srcHeight, int dstWidth, int dstHeight, int dstStride,
                         RgbType dstType);
    void initYUV422ToI420(int srcWidth, int srcHeight, int dstWidth, int dstHeight);
    void initRGB32ToI420(int srcWidth, int srcHeight, int dstWidth, int dstHeight);
    // Only stores the size for convert422To444.
    void initYUV422To444(int width, int height);

    // Conversions: nothing happens below 4 x 4 source pixels or without a context
    // (a null context is checked before every call into the library). The I420
    // forms set output to the object's own frame, valid until the next set-up, free,
    // uninit or destruction; when they do nothing, output keeps its value.
    void convertRGBToRGB(unsigned char* source, unsigned char* destination, bool flip);
    void convertYUV422ToRGB(unsigned char* source, unsigned char* destination);
    void convertYUV422ToI420(unsigned char* source, unsigned char*& output);
    void convertRGB32ToI420(unsigned char* source, unsigned char*& output);

    // Expands packed 4:2:2 rows into 4 bytes per pixel in the source's byte order,
    // each pixel with its own luma in the first luma position (Y0 U Y1 V gives
    // Y0 U Y1 V, Y1 U Y1 V; U Y0 V Y1 gives U Y0 V Y1, U Y1 V Y1). An odd last pixel
    // is dropped. No size guard: destination rows need 4 x width bytes.
    void convert422To444(unsigned char* destination, unsigned char* source,
                         unsigned int destinationStride, bool yuyvOrder);

    // Releases the context and the I420 frame; the library stays loaded.
    void free();
    // free(), then unloads the library and clears every field.
    void uninit();

    typedef void (*FreeContextFn)(SwsContext*);
    typedef SwsContext* (*GetContextFn)(int, int, int, int, int, int, int, SwsFilter*, SwsFilter*,
                                        const double*);
    typedef int (*ScaleFn)(SwsContext*, const unsigned char* const[], const int[], int, int,
                           unsigned char* const[], const int[]);

private:
    friend struct RGBScaleProbe; // white-box tests

    // The libswscale major-2 pixel-format number of type; -1 for an unknown type.
    int rgbTypeToPixelFormat(RgbType type);
    // The number that the loaded library uses for a major-2 pixel-format number.
    int libraryFormat(int formatV2);
    // Replaces the context unless the compared fields kept their values.
    bool setUp(bool unchanged, int srcFormat, int dstFormat);
    void runScale(const unsigned char* const srcPlanes[4], const int srcStrides[4],
                  unsigned char* const dstPlanes[4], const int dstStrides[4]);
    void toI420(unsigned char* source, int srcBytesPerPixel, unsigned char*& output);

    // Assignment copies these as they are: the two objects then share library,
    // context and frame, and only one of them may release them.
    FreeContextFn freeContext;
    GetContextFn getContext;
    ScaleFn scale;
    HINSTANCE module;
    SwsContext* context;
    int srcWidth;
    int srcHeight;
    int dstWidth;
    int dstHeight;
    int srcStride;
    int dstStride;
    unsigned char* i420Buffer;
};
