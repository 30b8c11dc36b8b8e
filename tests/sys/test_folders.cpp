// pubfunc's folders, user configuration and file functions, black-box. The user's
// folders are pointed at a scratch folder first: Linux through HOME and the XDG
// variables, Windows through the user shell folders of the test prefix's registry.
#include <pubfunc/pubfunc.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

static wstring16 text(const fs::path& path) {
    const std::u16string s = path.u16string();
    return wstring16(s.begin(), s.end());
}

// One case, since the folders it redirects are the whole process's (on Windows,
// the whole prefix's).
TEST(pubfunc, UserFoldersAndConfiguration) {
    const fs::path root = fs::temp_directory_path() / "pubfunc-folders";
    fs::remove_all(root);
    const fs::path appData = root / "config", documents = root / "home" / "Documents";
#if defined(_WIN32)
    HKEY key;
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_CURRENT_USER,
                      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                      0, KEY_SET_VALUE, &key),
        ERROR_SUCCESS);
    for (const auto& [name, path] :
         {std::pair{L"AppData", appData}, std::pair{L"Personal", documents}})
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       DWORD((path.native().size() + 1) * 2));
    RegCloseKey(key);
#else
    setenv("HOME", (root / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", appData.c_str(), 1);
    unsetenv("XDG_DOCUMENTS_DIR");
#endif
    // The configuration file, first, so that its folder must come from the write
    // path: names in any case, UTF-8 values, the 1,023-byte cut.
    EXPECT_EQ(pubfunc::getUserConfigString(W16("s"), W16("k"), W16("none")), W16("none"));
    pubfunc::setUserConfigString(W16("Sec"), W16("Key"), W16("\u4E2D\u6587 = x"));
    pubfunc::setUserConfigString(W16("Sec"), W16("long"), wstring16(2000, W16('a')));
    EXPECT_EQ(pubfunc::getUserConfigString(W16("sEC"), W16("kEY"), W16("")),
              W16("\u4E2D\u6587 = x"));
    EXPECT_EQ(pubfunc::getUserConfigString(W16("Sec"), W16("long"), W16("")),
              wstring16(1023, W16('a')));
    EXPECT_EQ(pubfunc::getUserConfigString(W16("Sec"), W16("never"), W16("d")), W16("d"));

    const fs::path business = appData / "tarvel" / "qz" / "business" / "qzvelocast";
    const fs::path log = appData / "tarvel" / "qz" / "log" / "orvex_engine";
    wstring16 record;
    pubfunc::getDefaultVideoRecordSaveFolder(record);
    // Each result, and the folder it must have created ("" when none).
    const struct {
        const char* function;
        wstring16 got;
        fs::path want, created;
    } rows[] = {
        {"getUserConfigSavePathFile", pubfunc::getUserConfigSavePathFile(), business / "user.ini",
         business},
        {"getMainConfigureFileName", pubfunc::getMainConfigureFileName(), business / "main.ini",
         business},
        {"getCacheDirPath", pubfunc::getCacheDirPath(), business / "cache", business / "cache"},
        {"getLogFileDir", pubfunc::getLogFileDir(W16("engine")), log / "engine.log", log},
        {"getFacetrainedAnimationPath", pubfunc::getFacetrainedAnimationPath(),
         business / "face" / "", ""},
        {"getViziZOzorPath", pubfunc::getViziZOzorPath(), documents / "ViziZOzor" / "",
         documents / "ViziZOzor"},
        {"getDefaultVideoRecordSaveFolder", record, documents / "My QZ" / "Game Record",
         documents / "My QZ" / "Game Record"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.got, text(row.want)) << row.function;
        if (!row.created.empty()) {
            EXPECT_TRUE(fs::is_directory(row.created)) << row.function;
        }
    }
    EXPECT_FALSE(fs::exists(business / "face"));

    fs::remove_all(root);
}

// loadBinaryFile and saveAsBMP over files of a scratch folder.
TEST(pubfunc, BinaryFilesAndBmpHeader) {
    const fs::path dir = fs::temp_directory_path() / "pubfunc-files";
    fs::create_directories(dir);
    std::ofstream(dir / "empty", std::ios::binary).flush();
    std::ofstream(dir / "ten", std::ios::binary) << "0123456789";
    std::vector<char> data(3, 'x');
    EXPECT_FALSE(pubfunc::loadBinaryFile(text(dir / "missing"), data));
    EXPECT_EQ(data.size(), 3u);
    EXPECT_TRUE(pubfunc::loadBinaryFile(text(dir / "empty"), data));
    EXPECT_EQ(data.size(), 3u);
    EXPECT_TRUE(pubfunc::loadBinaryFile(text(dir / "ten"), data));
    EXPECT_EQ(std::string(data.begin(), data.end()), "0123456789");
    EXPECT_TRUE(pubfunc::isFileExist(text(dir)));
    EXPECT_FALSE(pubfunc::isFileExist(text(dir / "missing")));
    EXPECT_GT(pubfunc::getDiskFreeSpace(text(dir / "missing" / "deeper")), 0);
#if defined(_WIN32)
    EXPECT_EQ(pubfunc::getDiskFreeSpace(L"Q:\\"), 0); // no drive Q: in the test prefix
#endif

    // Over a longer file: the header and 16 bytes, then the old bytes from 70 on.
    std::ofstream(dir / "img.bmp", std::ios::binary) << std::string(75, '#');
    const std::string pixels(16, '\x7F');
    ASSERT_TRUE(pubfunc::saveAsBMP(pixels.data(), 16, 2, 2, 32, text(dir / "img.bmp").c_str()));
    EXPECT_FALSE(pubfunc::saveAsBMP(pixels.data(), 16, 2, 2, 32, text(dir).c_str()));
    std::ifstream in(dir / "img.bmp", std::ios::binary);
    const std::string got{std::istreambuf_iterator<char>(in), {}};
    const std::string head(
        "BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x02\0\0\0\xFE\xFF\xFF\xFF\x01\0\x20\0", 30);
    EXPECT_EQ(got, head + std::string(24, '\0') + pixels + "#####");
    fs::remove_all(dir);
}
