// FlvFile in a process of its own, for the checks that need a file another tool
// reads or a disk that fills:
//   flv_host feed CLIP SHIFT   writes CLIP's frames, timestamps moved by SHIFT ms,
//                              into the default folder, for ffprobe to check
//   flv_host full-disk DIR     writes into DIR until its disk fills
#include "flv_tags.h"

#include <pubfunc/flvfile.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

int g_failures = 0;
void expect(bool ok, const char* what) {
    if (!ok) std::fprintf(stderr, "flv_host: %s\n", what), ++g_failures;
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

unsigned char* bytes(std::string& s) {
    return reinterpret_cast<unsigned char*>(&s[0]);
}

// FFmpeg's own decoder configuration, frames and timestamps, as an encoder would
// hand them over. The shift makes the first decoding timestamp non-zero, which
// the writer needs before it starts.
void feed(const char* clip, unsigned shift) {
    std::vector<FlvTag> tags = readFlvTags(slurp(clip));
    expect(!tags.empty() && tags[0].packet == 0, "the clip starts without a configuration");
    if (tags.empty()) return;
    FlvFile out;
    int frames = 0;
    for (FlvTag& t : tags) {
        if (t.packet != 1) continue;
        out.saveVideoRawH264Data(tags[0].payload, bytes(t.payload), unsigned(t.payload.size()),
                                 t.dts + t.cts + shift, t.dts + shift, t.key);
        ++frames;
    }
    expect(frames == 60, "the clip does not hold 60 frames");
}

// Frame i holds 1000 bytes of value i. The disk fills part way; every tag that
// reached it before is whole and in order.
void fullDisk(const fs::path& dir) {
    constexpr int kFrames = 200;
    {
        FlvFile out;
        const std::u16string folder = dir.u16string();
        out.setOutputFolder(wstring16(folder.begin(), folder.end()).c_str());
        for (int i = 0; i < kFrames; ++i) {
            std::string frame(1000, char(i));
            out.saveVideoRawH264Data("cfg", bytes(frame), 1000, 10 + 33 * i, 10 + 33 * i, i == 0);
        }
    }
    const std::vector<fs::path> files(fs::directory_iterator(dir), fs::directory_iterator{});
    expect(files.size() == 1, "not one file in the folder");
    if (files.size() != 1) return;
    const std::string file = slurp(files[0]);
    const std::vector<FlvTag> tags = readFlvTags(file);
    expect(tags.size() > 1 && tags[0].packet == 0 && tags[0].payload == "cfg", "no sequence tag");
    expect(tags.size() < kFrames + 1, "the disk never filled");
    if (tags.empty()) return;
    for (size_t i = 1; i < tags.size(); ++i)
        expect(tags[i].dts == 33 * (i - 1) && tags[i].payload == std::string(1000, char(i - 1)),
               "a frame written before the disk filled is not whole");
    // Header, sequence tag and whole frame tags of 1020 bytes; at most one cut tag after.
    const size_t end = 13 + 23 + (tags.size() - 1) * 1020;
    expect(file.size() >= end && file.size() - end < 1020, "more than one cut tag at the end");
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 2 ? argv[1] : "";
    if (mode == "feed" && argc > 3)
        feed(argv[2], unsigned(std::strtoul(argv[3], nullptr, 10)));
    else if (mode == "full-disk")
        fullDisk(argv[2]);
    else
        return 2;
    if (!g_failures) std::printf("flv_host %s: ok\n", mode.c_str());
    return g_failures ? 1 : 0;
}
