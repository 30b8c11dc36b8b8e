// An H.264 elementary stream (Annex B: NAL units after 00 00 01 start codes) as an
// FLV writer takes it: access units of length-prefixed NAL units, and the decoder
// configuration record built from the stream's first sequence and picture
// parameter sets.
#pragma once

#include <string>
#include <vector>

namespace demo {

struct H264Clip {
    std::string avcConfig;           // the decoder configuration record
    std::vector<std::string> frames; // one access unit each, 4-byte big-endian lengths
    std::vector<bool> keyFrames;     // the access unit holds an IDR slice
};

// Splits stream into access units. Parameter sets and delimiters go into the
// configuration record, not the frames. False when there is no SPS, PPS or frame.
inline bool parseAnnexB(const std::string& stream, H264Clip& clip) {
    // The NAL units: each starts after a start code and ends at the next one (the
    // zero byte before a 4-byte start code belongs to that start code).
    std::vector<std::string> units;
    size_t begin = std::string::npos;
    for (size_t at = 0; at + 3 <= stream.size(); ++at) {
        if (stream[at] != 0 || stream[at + 1] != 0 || stream[at + 2] != 1) continue;
        if (begin != std::string::npos) {
            size_t end = at;
            while (end > begin && stream[end - 1] == 0)
                --end;
            units.push_back(stream.substr(begin, end - begin));
        }
        begin = at + 3;
        at += 2;
    }
    if (begin != std::string::npos && begin < stream.size()) units.push_back(stream.substr(begin));

    std::string sps, pps, frame;
    bool hasSlice = false, key = false;
    const auto finishFrame = [&] {
        if (hasSlice) {
            clip.frames.push_back(frame);
            clip.keyFrames.push_back(key);
        }
        frame.clear();
        hasSlice = key = false;
    };
    for (const std::string& unit : units) {
        if (unit.empty()) continue;
        const int type = unit[0] & 0x1F;
        const bool slice = type == 1 || type == 5;
        // A new access unit starts with a delimiter, SEI or parameter set after a
        // slice, or with a slice whose first macroblock is 0 (its first bit set).
        if (hasSlice && (!slice || (unit.size() > 1 && (unit[1] & 0x80)))) finishFrame();
        if (type == 7 && sps.empty()) sps = unit;
        if (type == 8 && pps.empty()) pps = unit;
        if (type == 7 || type == 8 || type == 9) continue;
        const size_t size = unit.size();
        frame += {char(size >> 24), char(size >> 16), char(size >> 8), char(size)};
        frame += unit;
        hasSlice = hasSlice || slice;
        key = key || type == 5;
    }
    finishFrame();
    if (sps.size() < 4 || pps.empty() || clip.frames.empty()) return false;
    // Version 1, the SPS's profile, compatibility and level bytes, 4-byte lengths,
    // then one SPS and one PPS, each after a 16-bit length.
    clip.avcConfig = {1, sps[1], sps[2], sps[3], char(0xFF), char(0xE1)};
    clip.avcConfig += {char(sps.size() >> 8), char(sps.size())};
    clip.avcConfig += sps;
    clip.avcConfig += {1, char(pps.size() >> 8), char(pps.size())};
    clip.avcConfig += pps;
    return true;
}

} // namespace demo
