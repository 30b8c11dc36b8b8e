// FlvFile in a process of its own, writing the frames of the clip that ffmpeg
// encoded (PUBFUNC_CLIP) as an encoder would hand them over:
//   flv_host feed             into the default folder, for flv_probe.sh to check
//   flv_host full-disk DIR    into DIR, on a disk too small for the recording
#include "flv_tags.h"

#include <pubfunc/flvfile.h>

#include <cstdio>
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

// The clip's decoder configuration, frames and timestamps. The shift makes the
// first decoding timestamp non-zero, which FlvFile waits for before it writes.
std::vector<FlvTag> record(FlvFile& out) {
    std::vector<FlvTag> tags = readFlvTags(slurp(PUBFUNC_CLIP));
    constexpr unsigned kShift = 1000;
    expect(tags.size() == 62 && tags[0].packet == 0 && tags[61].packet == 2,
           "the clip is not a configuration, 60 frames and the end of the stream");
    for (FlvTag& t : tags)
        if (t.packet == 1)
            out.saveVideoRawH264Data(
                tags[0].payload, reinterpret_cast<unsigned char*>(&t.payload[0]),
                unsigned(t.payload.size()), t.dts + t.cts + kShift, t.dts + kShift, t.key);
    return tags;
}

// The disk fills part way through; every tag that reached it before is whole:
// the clip's own, with the clip's timestamps (its first frame's is 0).
void fullDisk(const fs::path& dir) {
    std::vector<FlvTag> in;
    {
        FlvFile out;
        const std::u16string folder = dir.u16string();
        out.setOutputFolder(wstring16(folder.begin(), folder.end()).c_str());
        in = record(out);
    }
    const std::vector<fs::path> files(fs::directory_iterator(dir), fs::directory_iterator{});
    const std::vector<FlvTag> got = readFlvTags(files.size() == 1 ? slurp(files[0]) : "");
    expect(got.size() > 1 && got.size() < in.size() - 1, "the disk did not fill part way");
    for (size_t i = 0; i < got.size() && i < in.size(); ++i)
        expect(got[i].payload == in[i].payload && got[i].dts == in[i].dts,
               "a tag written before the disk filled is not whole");
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "feed") {
        FlvFile out;
        record(out);
    } else if (mode == "full-disk" && argc > 2) {
        fullDisk(argv[2]);
    } else {
        return 2;
    }
    if (!g_failures) std::printf("flv_host %s: ok\n", mode.c_str());
    return g_failures ? 1 : 0;
}
