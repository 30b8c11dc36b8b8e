// FlvFile: the bytes it writes, copies, the frame buffer's limit and failures.
// FlvClip.Feed feeds it the frames of the clip that ffmpeg encoded (PUBFUNC_CLIP);
// ctest runs it only as a step of its own, between the clip's encoding and
// flv_probe.sh, which has FFmpeg read the recording.
#include <pubfunc/flvfile.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

// Points writer at a folder of that name below the current folder, removed first
// (the writer creates it again), and returns the folder.
fs::path recordInto(FlvFile& writer, const char* name) {
    const std::u16string dir = (fs::current_path() / name).u16string();
    fs::remove_all(dir);
    writer.setOutputFolder(wstring16(dir.begin(), dir.end()).c_str());
    return dir;
}

// Bytes written as hex, with blanks between fields.
std::string bytes(const std::string& hex) {
    std::string out;
    for (size_t at = 0; (at = hex.find_first_not_of(' ', at)) != std::string::npos; at += 2)
        out += char(std::stoi(hex.substr(at, 2), nullptr, 16));
    return out;
}

void put(FlvFile& f, unsigned pts, unsigned dts, bool key, std::string data, std::string config) {
    f.saveVideoRawH264Data(config, reinterpret_cast<unsigned char*>(&data[0]),
                           unsigned(data.size()), pts, dts, key);
}

} // namespace

// Each tag: type 09, data size, timestamp (3 bytes and the extension byte), stream
// id, frame byte, AVC packet type, composition offset, payload, tag size. A writer
// whose folder cannot be created (a file stands in its way) has no file to open:
// it still counts as valid, and its writes go nowhere.
TEST(FlvFile, WritesFromTheFirstKeyFrameThroughEveryCopyAndSwallowsFailedWrites) {
    FlvFile first, blocked;
    const fs::path dir = recordInto(first, "flv-sequence");
    put(first, 10, 10, false, "x", "no");                       // no key frame yet
    put(first, 0, 0, true, "y", "no");                          // a key frame at 0
    put(first, 50, 50, true, std::string(10691981, 'x'), "no"); // too large: refused
    put(first, 105, 100, true, "K", "ab");                      // the base
    // Another handle may open the file for writing meanwhile, as a second writer
    // that starts in the same second does to truncate it.
    ASSERT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    const fs::path file = fs::directory_iterator(dir)->path();
    EXPECT_TRUE(std::ofstream(file, std::ios::app).is_open());
    FlvFile second(first), third;
    third = first;
    // The largest frame that fits the frame buffer, past 24 bits; the base stays.
    put(third, 0x12345CB, 0x12345CB, true, std::string(10691980, '\xAB'), "zz");
    put(second, 99, 133, false, "pq", "zz"); // pts before dts
    // A copy that ends closes the file for every copy: the "pq" frame still in the
    // stream's buffer reaches the file, the "lost" one goes nowhere.
    (void)FlvFile(second);
    put(third, 0x12345CC, 0x12345CC, false, "lost", "zz");
    std::ifstream in(file, std::ios::binary);
    const std::string got(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(got.substr(0, 72), bytes("464C56 01 01 00000009 00000000"
                                       "09 000007 000000 00 000000 17 00 000000 6162 00000012"
                                       "09 000006 000000 00 000000 17 01 000005 4B 00000011"
                                       "09 A32591 234567 01 000000 17 01 000000"));
    EXPECT_EQ(got.substr(72 + 10691980, 100),
              bytes("00A3259C 09 000007 000021 00 000000 27 01 FFFFDE 7071 00000012"));
    std::ofstream(recordInto(blocked, "flv-blocked")) << "x";
    EXPECT_TRUE(blocked.checkValid());
    put(blocked, 5, 5, true, "k", "ab");
    EXPECT_TRUE(blocked.checkValid());
}

// Into the default folder, for flv_probe.sh to check: the clip's frames as an
// encoder hands them over, with FFmpeg's decoder configuration and the key flags,
// timestamps shifted so that the first decoding timestamp is non-zero, which
// FlvFile waits for. Each tag of the clip, after the file header and a tag size:
// type (9 video), data size, timestamp and its extension byte, stream id; a video
// tag's data: frame byte (0x17 a key frame), AVC packet type (0 the configuration,
// 1 a frame), composition offset (never negative: an encoder presents no frame
// before it decodes it), payload; tag size.
TEST(FlvClip, Feed) {
    std::ifstream in(PUBFUNC_CLIP, std::ios::binary);
    const std::string clip(std::istreambuf_iterator<char>(in), {});
    const auto byte = [&](size_t at) { return unsigned(static_cast<unsigned char>(clip[at])); };
    const auto u24 = [&](size_t at) { return byte(at) << 16 | byte(at + 1) << 8 | byte(at + 2); };
    FlvFile writer;
    std::string config;
    for (size_t at = 13; at + 16 <= clip.size(); at += 11 + u24(at + 1) + 4) {
        const unsigned dts = 1000 + (u24(at + 4) | byte(at + 7) << 24);
        const std::string payload = clip.substr(at + 16, u24(at + 1) - 5);
        if (clip[at] == 9 && clip[at + 12] == 0) config = payload;
        if (clip[at] == 9 && clip[at + 12] == 1)
            put(writer, dts + u24(at + 13), dts, clip[at + 11] == 0x17, payload, config);
    }
}
