// The demo's picture source: a moving test pattern in RGB32 (bytes B, G, R, A per
// pixel, rows top down), with the frame number drawn in its top-left corner. A pure
// function of size and frame number, so the clip encoded before a session and the
// frames captured during it show the same pictures, and a check can redraw any frame.
#pragma once

#include <cstddef>
#include <cstdint>

namespace demo {

// Digits 0-9 of a 3 x 5 font, one bit a cell, top row in the high bits.
constexpr uint16_t kDigits[10] = {0x7B6F, 0x2C97, 0x73E7, 0x73CF, 0x5BC9,
                                  0x79CF, 0x79EF, 0x7249, 0x7BEF, 0x7BCF};

// Fills width x height pixels (stride width x 4) with frame `frame`: eight colour
// bars that scroll left 4 pixels a frame, a grey square that crosses the picture
// once every 4 seconds at 30 fps, and the frame number (six digits, black box).
inline void drawPattern(unsigned char* bgra, int width, int height, int frame) {
    static const uint32_t bars[8] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00,
                                     0xFF00FF, 0xFF0000, 0x0000FF, 0x202020}; // RGB
    const int side = height / 4;
    const int squareX = (frame * 5) % (width + side) - side, squareY = height / 2 - side / 2;
    const int scale = height / 60 > 1 ? height / 60 : 1, cell = 4 * scale;
    const int boxWidth = 6 * cell + scale, boxHeight = 5 * scale + 2 * scale;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t rgb = bars[((x + frame * 4) * 8 / width) % 8];
            if (x >= squareX && x < squareX + side && y >= squareY && y < squareY + side)
                rgb = 0x808080;
            if (x < boxWidth && y < boxHeight) {
                rgb = 0x000000;
                const int digit = (x - scale) / cell, column = (x - scale) % cell / scale;
                const int row = (y - scale) / scale;
                if (x >= scale && digit < 6 && column < 3 && y >= scale && row < 5) {
                    int value = frame;
                    for (int skip = 5 - digit; skip > 0; --skip)
                        value /= 10;
                    if (kDigits[value % 10] >> (14 - row * 3 - column) & 1) rgb = 0xFFFFFF;
                }
            }
            unsigned char* pixel = bgra + (std::size_t(y) * width + x) * 4;
            pixel[0] = uint8_t(rgb);
            pixel[1] = uint8_t(rgb >> 8);
            pixel[2] = uint8_t(rgb >> 16);
            pixel[3] = 0xFF;
        }
    }
}

} // namespace demo
