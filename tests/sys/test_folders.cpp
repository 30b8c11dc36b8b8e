// pubfunc's folders, user configuration and file functions, black-box. The user's
// folders are pointed at a scratch folder first: Linux through HOME and the XDG
// variables, Windows through the user shell folders of the test prefix's registry.
#include <pubfunc/pubfunc.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <tuple>

namespace fs = std::filesystem;

static const auto g_wide = [](const fs::path& path) { return path.string<wchar16>(); };

// One case, since the folders it redirects are the whole process's (on Windows,
// the whole prefix's).
TEST(pubfunc, UserFoldersConfigurationAndFiles) {
    const fs::path root = fs::temp_directory_path() / "pubfunc-folders";
    fs::remove_all(root);
    const fs::path appData = root / "config", documents = root / "home" / "Documents";
#if defined(_WIN32)
    const wchar_t* shellFolders =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    for (const auto& [name, path] : {std::pair{L"AppData", appData}, {L"Personal", documents}})
        RegSetKeyValueW(HKEY_CURRENT_USER, shellFolders, name, REG_SZ, path.c_str(),
                        DWORD((path.native().size() + 1) * 2));
#else
    setenv("HOME", (root / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", appData.c_str(), 1);
    unsetenv("XDG_DOCUMENTS_DIR");
#endif
    // The configuration file, first, so that its folder must come from the write
    // path: names in any case, UTF-8 values.
    EXPECT_EQ(pubfunc::getUserConfigString(W16("s"), W16("k"), W16("none")), W16("none"));
    pubfunc::setUserConfigString(W16("Sec"), W16("Key"), W16("\u4E2D\u6587 = x"));
    EXPECT_EQ(pubfunc::getUserConfigString(W16("sEC"), W16("kEY"), W16("")),
              W16("\u4E2D\u6587 = x"));
    EXPECT_EQ(pubfunc::getUserConfigString(W16("Sec"), W16("never"), W16("d")), W16("d"));

    const fs::path qz = appData / "tarvel" / "qz", business = qz / "business" / "qzvelocast";
    const fs::path log = qz / "log" / "orvex_engine", record = documents / "My QZ" / "Game Record";
    wstring16 recordGot;
    pubfunc::getDefaultVideoRecordSaveFolder(recordGot);
    // Each result, what it must be, and the folder it must have created ("" for none).
    const std::tuple<wstring16, fs::path, fs::path> rows[] = {
        // clang-format off
        {pubfunc::getUserConfigSavePathFile(), business / "user.ini", business},
        {pubfunc::getMainConfigureFileName(), business / "main.ini", business},
        {pubfunc::getCacheDirPath(), business / "cache", business / "cache"},
        {pubfunc::getLogFileDir(W16("engine")), log / "engine.log", log},
        {pubfunc::getFacetrainedAnimationPath(), business / "face" / "", ""},
        {pubfunc::getViziZOzorPath(), documents / "ViziZOzor" / "", documents / "ViziZOzor"},
        {recordGot, record, record},
        // clang-format on
    };
    for (const auto& [got, want, created] : rows) {
        EXPECT_EQ(got, g_wide(want));
        EXPECT_TRUE(created.empty() || fs::is_directory(created)) << created;
    }
    EXPECT_FALSE(fs::exists(business / "face"));

    // loadBinaryFile and saveAsBMP over files of the scratch folder.
    std::ofstream(root / "empty", std::ios::binary).flush();
    std::ofstream(root / "ten", std::ios::binary) << "0123456789";
    // Each file, whether it opens, and the data after (which starts as "xyz").
    for (const auto& [name, opens, want] : {std::tuple{"missing", false, "xyz"},
                                            {"empty", true, "xyz"},
                                            {"ten", true, "0123456789"}}) {
        std::vector<char> data{'x', 'y', 'z'};
        EXPECT_EQ(pubfunc::loadBinaryFile(g_wide(root / name), data), opens) << name;
        EXPECT_EQ(std::string(data.begin(), data.end()), want) << name;
    }

    // Over a longer file: the header and 16 bytes, then the old bytes from 70 on.
    std::ofstream(root / "img.bmp", std::ios::binary) << std::string(75, '#');
    const std::string pixels(16, '\x7F');
    ASSERT_TRUE(pubfunc::saveAsBMP(pixels.data(), 16, 2, 2, 32, g_wide(root / "img.bmp").c_str()));
    std::vector<char> bmp;
    pubfunc::loadBinaryFile(g_wide(root / "img.bmp"), bmp);
    const std::string head(
        "BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x02\0\0\0\xFE\xFF\xFF\xFF\x01\0\x20\0", 30);
    EXPECT_EQ(std::string(bmp.begin(), bmp.end()), head + std::string(24, '\0') + pixels + "#####");
    fs::remove_all(root);
}
