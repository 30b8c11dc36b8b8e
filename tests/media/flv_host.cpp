// FlvFile in a process of its own, writing the frames of the clip that ffmpeg
// encoded (PUBFUNC_CLIP) as an encoder would hand them over:
//   flv_host feed             into the default folder, for flv_probe.sh to check
//   flv_host full-disk DIR    into DIR, on a disk too small for the recording
#include <pubfunc/flvfile.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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

struct FlvTag {
    bool key;     // frame type 1
    int packet;   // AVC packet type: 0 decoder configuration, 1 a frame, 2 end of stream
    uint32_t dts; // the tag timestamp with its extension byte
    int32_t cts;  // the composition offset, sign-extended from 24 bits
    std::string payload;
};

// The H.264 video tags of a whole FLV file, in order; other tags are skipped. Reading
// stops at a tag that is cut short or whose trailing size does not match its header.
std::vector<FlvTag> readFlvTags(const std::string& file) {
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

// Feeds the clip's decoder configuration, frames and timestamps to out. The shift
// makes the first decoding timestamp non-zero, which FlvFile waits for before it writes.
std::vector<FlvTag> record(const fs::path& dir) {
    FlvFile out;
    const std::u16string folder = dir.u16string();
    if (!dir.empty()) out.setOutputFolder(wstring16(folder.begin(), folder.end()).c_str());
    std::vector<FlvTag> tags = readFlvTags(slurp(PUBFUNC_CLIP));
    expect(tags.size() == 62, "the clip is not a configuration, 60 frames and an end");
    for (FlvTag& t : tags)
        if (t.packet == 1)
            out.saveVideoRawH264Data(
                tags[0].payload, reinterpret_cast<unsigned char*>(&t.payload[0]),
                unsigned(t.payload.size()), t.dts + t.cts + 1000, t.dts + 1000, t.key);
    return tags;
}

// The disk fills part way through; every tag that reached it before is whole:
// the clip's own, with the clip's timestamps (its first frame's is 0).
void fullDisk(const fs::path& dir) {
    const std::vector<FlvTag> in = record(dir);
    const std::vector<fs::path> files(fs::directory_iterator(dir), fs::directory_iterator{});
    const std::vector<FlvTag> got = readFlvTags(files.size() == 1 ? slurp(files[0]) : "");
    expect(got.size() > 1, "nothing reached the disk");
    expect(got.size() < in.size() - 1, "the disk did not fill");
    for (size_t i = 0; i < got.size() && i < in.size(); ++i) {
        expect(got[i].payload == in[i].payload, "a tag written before the disk filled is cut");
        expect(got[i].dts == in[i].dts, "a tag written before the disk filled has another time");
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "feed")
        record({});
    else if (mode == "full-disk" && argc > 2)
        fullDisk(argv[2]);
    else
        return 2;
    if (!g_failures) std::printf("flv_host %s: ok\n", mode.c_str());
    return g_failures ? 1 : 0;
}
