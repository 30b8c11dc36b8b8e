// FlvFile: the bytes of the file it writes, its name, sharing and failures. FFmpeg
// reads a whole recording in flv_host.cpp and flv_probe.sh.
#include <pubfunc/flvfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// An empty folder of the test's own under the working directory.
fs::path scratch(const char* name) {
    const fs::path dir = fs::current_path() / "flv-scratch" / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::unique_ptr<FlvFile> writerIn(const fs::path& dir) {
    auto writer = std::make_unique<FlvFile>();
    const std::u16string folder = dir.u16string();
    writer->setOutputFolder(wstring16(folder.begin(), folder.end()).c_str());
    return writer;
}

fs::path onlyFile(const fs::path& dir) {
    const std::vector<fs::path> files(fs::directory_iterator(dir), fs::directory_iterator{});
    EXPECT_EQ(files.size(), 1u) << dir;
    return files.empty() ? dir / "missing" : files[0];
}

// The file's bytes as upper-case hex, to compare with the expected text less its blanks.
std::string hexOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string out;
    for (std::istreambuf_iterator<char> i(in), end; i != end; ++i) {
        const unsigned char c = static_cast<unsigned char>(*i);
        out += "0123456789ABCDEF"[c >> 4];
        out += "0123456789ABCDEF"[c & 15];
    }
    return out;
}
std::string squeeze(std::string hex) {
    hex.erase(std::remove(hex.begin(), hex.end(), ' '), hex.end());
    return hex;
}

void write(FlvFile& f, const char* config, unsigned pts, unsigned dts, bool key, std::string data) {
    f.saveVideoRawH264Data(config, reinterpret_cast<unsigned char*>(&data[0]),
                           unsigned(data.size()), pts, dts, key);
}

const char kHeader[] = "464C56 01 01 00000009 00000000 ";

} // namespace

// Each tag below: type 09, data size, timestamp (3 bytes + extension byte), stream
// id, frame byte, AVC packet type, composition offset, payload, tag size.
TEST(FlvFile, WritesTheTagsOfEachSequence) {
    struct Frame {
        const char* config;
        unsigned pts, dts;
        bool key;
        const char* data;
    };
    const struct {
        const char* name;
        std::vector<Frame> frames;
        std::string file;
    } rows[] = {
        {"no key frame with a non-zero dts: an empty file",
         {{"ab", 5, 5, false, "x"}, {"ab", 0, 0, true, "y"}},
         ""},
        {"the base comes from the first key frame with a non-zero dts; a pts before the dts",
         {{"no", 10, 10, false, "x"},
          {"no", 0, 0, true, "y"},
          {"ab", 105, 100, true, "K"},
          {"zz", 99, 133, false, "pq"}},
         std::string(kHeader) + "09 000007 000000 00 000000 17 00 000000 6162 00000012"
                                "09 000006 000000 00 000000 17 01 000005 4B 00000011"
                                "09 000007 000021 00 000000 27 01 FFFFDE 7071 00000012"},
        {"empty configuration and payload; timestamps past 24 bits; later key frames keep the base",
         {{"", 1, 1, true, "a"},
          {"", 0x1234567, 0x1234568, false, "b"},
          {"", 0x1234569, 0x1234569, true, ""}},
         std::string(kHeader) + "09 000005 000000 00 000000 17 00 000000 00000010"
                                "09 000006 000000 00 000000 17 01 000000 61 00000011"
                                "09 000006 234567 01 000000 27 01 FFFFFF 62 00000011"
                                "09 000005 234568 01 000000 17 01 000000 00000010"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path dir = scratch("sequence");
        {
            const std::unique_ptr<FlvFile> f = writerIn(dir);
            for (const Frame& frame : row.frames)
                write(*f, frame.config, frame.pts, frame.dts, frame.key, frame.data);
        }
        EXPECT_EQ(hexOf(onlyFile(dir)), squeeze(row.file));
    }
}

// The largest frame that fits the frame buffer is written whole; one byte more is
// refused and leaves no trace, not even the base timestamp.
TEST(FlvFile, FrameBufferHoldsTheLargestFrameAndRefusesMore) {
    const fs::path dir = scratch("boundary");
    {
        const std::unique_ptr<FlvFile> f = writerIn(dir);
        write(*f, "", 50, 50, true, std::string(10691981, '\xAB'));
        write(*f, "", 100, 100, true, std::string(10691980, '\xAB'));
    }
    const std::string hex = hexOf(onlyFile(dir));
    ASSERT_EQ(hex.size(), 2u * (13 + 20 + 10691980 + 20));
    EXPECT_EQ(hex.substr(66, 40), "09A32591000000000000001701000000ABABABAB");
    EXPECT_EQ(hex.substr(hex.size() - 16), "ABABABAB00A3259C");
}

// Copies share the open file; destroying one closes it for all. The file is named
// after the local time of its creation, and other handles may open it for writing
// meanwhile (a second writer in the same second truncates it).
TEST(FlvFile, CopiesShareTheFileUntilOneIsDestroyed) {
    const fs::path dir = scratch("copies");
    std::unique_ptr<FlvFile> first = writerIn(dir);
    char before[32], after[32];
    time_t now = std::time(nullptr);
    std::strftime(before, sizeof before, "%Y%m%d %H%M%S.flv", std::localtime(&now));
    write(*first, "", 7, 7, true, "a");
    now = std::time(nullptr);
    std::strftime(after, sizeof after, "%Y%m%d %H%M%S.flv", std::localtime(&now));
    const fs::path file = onlyFile(dir);
    EXPECT_LE(before, file.filename().string());
    EXPECT_GE(after, file.filename().string());
    EXPECT_TRUE(std::ofstream(file, std::ios::app).is_open());

    FlvFile second(*first), third;
    third = *first;
    write(second, "", 8, 8, false, "b");
    first.reset();
    write(third, "", 9, 9, false, "c");
    EXPECT_EQ(hexOf(file), squeeze(std::string(kHeader) +
                                   "09 000005 000000 00 000000 17 00 000000 00000010"
                                   "09 000006 000000 00 000000 17 01 000000 61 00000011"
                                   "09 000006 000001 00 000000 27 01 000000 62 00000011"));
}

// A folder that cannot be created (a file stands in its way) leaves no file to open:
// the writer still counts as valid, and its writes go nowhere.
TEST(FlvFile, UnopenableFileSwallowsWrites) {
    const fs::path dir = scratch("blocked");
    std::ofstream(dir / "file") << "x";
    const std::unique_ptr<FlvFile> f = writerIn(dir / "file" / "sub");
    EXPECT_TRUE(f->checkValid());
    write(*f, "ab", 5, 5, true, "k");
    write(*f, "ab", 6, 6, false, "p");
    EXPECT_TRUE(f->checkValid());
    EXPECT_EQ(onlyFile(dir).filename().string(), "file");
}
