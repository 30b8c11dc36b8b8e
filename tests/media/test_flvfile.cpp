// FlvFile: the bytes of the file it writes, copies, the frame buffer's limit and
// failures. FFmpeg reads a whole recording through flv_host and flv_probe.sh.
#include <pubfunc/flvfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A writer into an empty folder of the test's own (or into sub below it).
struct Recording {
    fs::path dir;
    std::unique_ptr<FlvFile> writer = std::make_unique<FlvFile>();

    explicit Recording(const char* name, const fs::path& sub = {})
        : dir(fs::current_path() / "flv-scratch" / name) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        const std::u16string folder = (sub.empty() ? dir : dir / sub).u16string();
        writer->setOutputFolder(wstring16(folder.begin(), folder.end()).c_str());
    }
    std::vector<fs::path> files() const { return {fs::directory_iterator(dir), {}}; }
    // The one file's bytes as upper-case hex.
    std::string hex() const {
        const std::vector<fs::path> all = files();
        EXPECT_EQ(all.size(), 1u) << dir;
        std::ifstream in(all.empty() ? dir : all[0], std::ios::binary);
        std::string out;
        for (std::istreambuf_iterator<char> i(in), end; i != end; ++i)
            for (int shift : {4, 0})
                out += "0123456789ABCDEF"[static_cast<unsigned char>(*i) >> shift & 15];
        return out;
    }
};

void put(FlvFile& f, const char* config, unsigned pts, unsigned dts, bool key, std::string data) {
    f.saveVideoRawH264Data(config, reinterpret_cast<unsigned char*>(&data[0]),
                           unsigned(data.size()), pts, dts, key);
}

// Expected bytes are written as hex with blanks between fields.
std::string bytes(std::string hex) {
    hex.erase(std::remove(hex.begin(), hex.end(), ' '), hex.end());
    return hex;
}
const std::string kHeader = "464C56 01 01 00000009 00000000 ";

} // namespace

// Each tag: type 09, data size, timestamp (3 bytes and the extension byte), stream
// id, frame byte, AVC packet type, composition offset, payload, tag size.
TEST(FlvFile, WritesTheTagsOfEachSequence) {
    using Frame = std::tuple<const char*, unsigned, unsigned, bool, const char*>;
    const std::pair<std::vector<Frame>, std::string> rows[] = {
        // No key frame with a non-zero dts: an empty file.
        {{{"ab", 5, 5, false, "x"}, {"ab", 0, 0, true, "y"}}, ""},
        // The base and the configuration come from the first key frame with a non-zero
        // dts; a pts before the dts.
        {{{"no", 10, 10, false, "x"},
          {"no", 0, 0, true, "y"},
          {"ab", 105, 100, true, "K"},
          {"zz", 99, 133, false, "pq"}},
         kHeader + "09 000007 000000 00 000000 17 00 000000 6162 00000012"
                   "09 000006 000000 00 000000 17 01 000005 4B 00000011"
                   "09 000007 000021 00 000000 27 01 FFFFDE 7071 00000012"},
        // Empty configuration and payload; timestamps past 24 bits; a later key frame
        // keeps the base.
        {{{"", 1, 1, true, "a"},
          {"", 0x1234567, 0x1234568, false, "b"},
          {"", 0x1234569, 0x1234569, true, ""}},
         kHeader + "09 000005 000000 00 000000 17 00 000000 00000010"
                   "09 000006 000000 00 000000 17 01 000000 61 00000011"
                   "09 000006 234567 01 000000 27 01 FFFFFF 62 00000011"
                   "09 000005 234568 01 000000 17 01 000000 00000010"},
    };
    for (const auto& [frames, file] : rows) {
        Recording r("sequence");
        std::string input;
        for (const auto& [config, pts, dts, key, data] : frames) {
            put(*r.writer, config, pts, dts, key, data);
            input += testing::PrintToString(std::make_tuple(config, pts, dts, key, data));
        }
        r.writer.reset();
        EXPECT_EQ(r.hex(), bytes(file)) << input;
    }
}

// The largest frame that fits the frame buffer is written whole; one byte more is
// refused and leaves no trace, not even the base timestamp.
TEST(FlvFile, FrameBufferHoldsTheLargestFrameAndRefusesMore) {
    Recording r("boundary");
    put(*r.writer, "", 50, 50, true, std::string(10691981, '\xAB'));
    put(*r.writer, "", 100, 100, true, std::string(10691980, '\xAB'));
    r.writer.reset();
    const std::string hex = r.hex();
    ASSERT_EQ(hex.size(), 2u * (13 + 20 + 10691980 + 20));
    EXPECT_EQ(hex.substr(66, 40), bytes("09 A32591 000000 00 000000 17 01 000000 ABABABAB"));
    EXPECT_EQ(hex.substr(hex.size() - 16), bytes("ABABABAB 00A3259C"));
}

// Copies share the open file; destroying one closes it for all. Another handle
// may open the file for writing meanwhile, as a second writer that starts in the
// same second does to truncate it.
TEST(FlvFile, CopiesShareTheFileUntilOneIsDestroyed) {
    Recording r("copies");
    put(*r.writer, "", 7, 7, true, "a");
    EXPECT_TRUE(std::ofstream(r.files().at(0), std::ios::app).is_open());
    FlvFile second(*r.writer), third;
    third = *r.writer;
    put(second, "", 8, 8, false, "b");
    r.writer.reset();
    put(third, "", 9, 9, false, "c");
    EXPECT_EQ(r.hex(), bytes(kHeader + "09 000005 000000 00 000000 17 00 000000 00000010"
                                       "09 000006 000000 00 000000 17 01 000000 61 00000011"
                                       "09 000006 000001 00 000000 27 01 000000 62 00000011"));
}

// A folder that cannot be created (a file stands in its way) leaves no file to
// open: the writer still counts as valid, and its writes go nowhere.
TEST(FlvFile, UnopenableFileSwallowsWrites) {
    Recording r("blocked", fs::path("file") / "sub");
    std::ofstream(r.dir / "file") << "x";
    EXPECT_TRUE(r.writer->checkValid());
    put(*r.writer, "ab", 5, 5, true, "k");
    EXPECT_TRUE(r.writer->checkValid());
    EXPECT_EQ(r.files().size(), 1u);
}
