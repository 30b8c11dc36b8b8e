// Reads the H.264 video tags of an FLV file: what flv_host feeds to FlvFile, and
// what it finds FlvFile wrote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FlvTag {
    bool key;     // frame type 1
    int packet;   // AVC packet type: 0 decoder configuration, 1 a frame, 2 end of stream
    uint32_t dts; // the tag timestamp with its extension byte
    int32_t cts;  // the composition offset, sign-extended from 24 bits
    std::string payload;
};

// The video tags of a whole file, in order; other tags are skipped. Reading stops
// at a tag that is cut short or whose trailing size does not match its header.
inline std::vector<FlvTag> readFlvTags(const std::string& file) {
    const auto at = [&](size_t i, int n) {
        uint32_t v = 0;
        for (int k = 0; k < n; ++k)
            v = v << 8 | static_cast<unsigned char>(file[i + k]);
        return v;
    };
    std::vector<FlvTag> tags;
    size_t pos = file.size() >= 9 && file.compare(0, 3, "FLV") == 0 ? at(5, 4) + 4 : file.size();
    for (uint32_t size; pos + 11 <= file.size(); pos += 11 + size + 4) {
        size = at(pos + 1, 3);
        if (pos + 11 + size + 4 > file.size() || at(pos + 11 + size, 4) != size + 11) break;
        if (file[pos] != 9 || size < 5 || (file[pos + 11] & 0x0F) != 7) continue;
        const uint32_t cts = at(pos + 13, 3);
        tags.push_back(
            {(file[pos + 11] & 0xF0) == 0x10, file[pos + 12], at(pos + 4, 3) | at(pos + 7, 1) << 24,
             int32_t(cts & 0x800000 ? cts | 0xFF000000u : cts), file.substr(pos + 16, size - 5)});
    }
    return tags;
}
