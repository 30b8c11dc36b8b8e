// FlvFile: the bytes it writes, copies, the frame buffer's limit and failures. The
// FlvClip tests feed it the frames of the clip that ffmpeg encoded (PUBFUNC_CLIP);
// ctest runs them only as steps of their own, between the clip's encoding and
// flv_probe.sh, which has FFmpeg read the recording.
#include <pubfunc/flvfile.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Points writer at a folder of that name below the current folder, removed first
// (the writer creates it again), and returns the folder.
fs::path recordInto(FlvFile& writer, const char* name) {
    const fs::path dir = fs::current_path() / name;
    fs::remove_all(dir);
    const std::u16string text = dir.u16string();
    writer.setOutputFolder(wstring16(text.begin(), text.end()).c_str());
    return dir;
}

// The bytes of the one file in dir.
std::string recorded(const fs::path& dir) {
    const std::vector<fs::path> files(fs::directory_iterator(dir), fs::directory_iterator{});
    EXPECT_EQ(files.size(), 1u) << dir;
    std::ifstream in(files.empty() ? dir : files[0], std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Bytes written as hex, with blanks between fields.
std::string bytes(const std::string& hex) {
    std::string out;
    for (size_t at = hex.find_first_not_of(' '); at != std::string::npos;
         at = hex.find_first_not_of(' ', at + 2))
        out += char(std::stoi(hex.substr(at, 2), nullptr, 16));
    return out;
}

void put(FlvFile& f, unsigned pts, unsigned dts, bool key, std::string data, std::string config) {
    f.saveVideoRawH264Data(config, reinterpret_cast<unsigned char*>(&data[0]),
                           unsigned(data.size()), pts, dts, key);
}

// Feeds writer the clip's H.264 frames as an encoder hands them over: FFmpeg's
// decoder configuration, each frame with its key flag and timestamps, shifted so
// that the first decoding timestamp is non-zero, which FlvFile waits for.
void feedClip(FlvFile& writer) {
    std::ifstream in(PUBFUNC_CLIP, std::ios::binary);
    const std::string clip(std::istreambuf_iterator<char>(in), {});
    const auto byte = [&](size_t at) { return unsigned(static_cast<unsigned char>(clip[at])); };
    const auto u24 = [&](size_t at) { return byte(at) << 16 | byte(at + 1) << 8 | byte(at + 2); };
    // After the 9-byte file header and a tag size, each tag: type (9 video), data
    // size, timestamp and its extension byte, stream id; a video tag's data: frame
    // type and codec, AVC packet type (0 the configuration, 1 a frame), composition
    // offset, payload; then the tag's size.
    std::string config;
    for (size_t at = 13, size = 0; at + 16 <= clip.size(); at += 11 + size + 4) {
        size = u24(at + 1);
        if (clip[at] != 9) continue;
        const unsigned dts = u24(at + 4) | byte(at + 7) << 24, cts = u24(at + 13);
        const unsigned pts = dts + (cts & 0x800000 ? cts | 0xFF000000u : cts);
        if (clip[at + 12] == 0) config = clip.substr(at + 16, size - 5);
        if (clip[at + 12] == 1)
            put(writer, pts + 1000, dts + 1000, (clip[at + 11] & 0xF0) == 0x10,
                clip.substr(at + 16, size - 5), config);
    }
}

} // namespace

// Each tag: type 09, data size, timestamp (3 bytes and the extension byte), stream
// id, frame byte, AVC packet type, composition offset, payload, tag size.
TEST(FlvFile, WritesFromTheFirstKeyFrameWithATimestampThroughEveryCopy) {
    auto first = std::make_unique<FlvFile>();
    const fs::path dir = recordInto(*first, "flv-sequence");
    put(*first, 10, 10, false, "x", "no");                       // no key frame yet
    put(*first, 0, 0, true, "y", "no");                          // a key frame at 0
    put(*first, 50, 50, true, std::string(10691981, 'x'), "no"); // too large: refused
    put(*first, 105, 100, true, "K", "ab");                      // the base
    // Another handle may open the file for writing meanwhile, as a second writer
    // that starts in the same second does to truncate it.
    for (const fs::directory_entry& file : fs::directory_iterator(dir))
        EXPECT_TRUE(std::ofstream(file.path(), std::ios::app).is_open());
    FlvFile second(*first), third;
    third = *first;
    put(second, 99, 133, false, "pq", "zz");          // pts before dts
    put(third, 0x12345CB, 0x12345CB, true, "", "zz"); // past 24 bits; the base stays
    first.reset();                                    // closes the file for every copy
    put(third, 0x12345CC, 0x12345CC, false, "lost", "zz");
    EXPECT_EQ(recorded(dir), bytes("464C56 01 01 00000009 00000000"
                                   "09 000007 000000 00 000000 17 00 000000 6162 00000012"
                                   "09 000006 000000 00 000000 17 01 000005 4B 00000011"
                                   "09 000007 000021 00 000000 27 01 FFFFDE 7071 00000012"
                                   "09 000005 234567 01 000000 17 01 000000 00000010"));
}

// The largest frame that fits the frame buffer is written whole.
TEST(FlvFile, FrameBufferHoldsTheLargestFrame) {
    auto writer = std::make_unique<FlvFile>();
    const fs::path dir = recordInto(*writer, "flv-largest");
    put(*writer, 100, 100, true, std::string(10691980, '\xAB'), "");
    writer.reset();
    const std::string file = recorded(dir);
    ASSERT_EQ(file.size(), 13u + 20 + 10691980 + 20);
    EXPECT_EQ(file.substr(33, 11), bytes("09 A32591 000000 00 000000"));
    EXPECT_EQ(file.substr(file.size() - 5), bytes("AB 00A3259C"));
}

// A folder that cannot be created (a file stands in its way) leaves no file to
// open: the writer still counts as valid, and its writes go nowhere.
TEST(FlvFile, UnopenableFileSwallowsWrites) {
    FlvFile writer;
    const fs::path folder = recordInto(writer, "flv-blocked");
    std::ofstream(folder) << "x";
    EXPECT_TRUE(writer.checkValid());
    put(writer, 5, 5, true, "k", "ab");
    EXPECT_TRUE(writer.checkValid());
}

// Into the default folder, for flv_probe.sh to check.
TEST(FlvClip, Feed) {
    FlvFile writer;
    feedClip(writer);
}

// Run by full_disk.sh, which mounts a disk too small for the recording on
// full-disk in the current folder, after Feed. The recording fills the disk part
// way; what reached it is the start of Feed's recording.
TEST(FlvClip, FullDisk) {
    auto writer = std::make_unique<FlvFile>();
    const fs::path dir = recordInto(*writer, "full-disk/recording");
    feedClip(*writer);
    writer.reset();
    const std::string got = recorded(dir), whole = recorded(PUBFUNC_FLV_OUT);
    EXPECT_GT(got.size(), 13u) << "nothing reached the disk";
    EXPECT_LT(got.size(), whole.size()) << "the disk did not fill";
    EXPECT_TRUE(whole.compare(0, got.size(), got) == 0) << "what reached the disk differs";
}
