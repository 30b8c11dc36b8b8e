// Bad input across the exported interface, one table per family: null pointers,
// negative lengths and indexes, indexes past the object's own size, and paths that
// are empty, longer than 260 or 32,767 units, in a missing folder or naming a
// folder. Each call gives its absent result (false, null, -1, 0 or empty) and
// touches nothing out of bounds, which the ASan build checks.
#include <pubfunc/all.h>
#include <pubfunc/rgbscale.h>
#include <pubfunc/vtqlogger.h>

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <functional>
#include <type_traits>

namespace {

// A result as text: strings quoted, null arrays and pointers "null".
template <class T> std::string show(const T& v) {
    if constexpr (std::is_same_v<T, ZvByteArray>)
        return v.isNull() ? "null" : show(std::string(v.constData(), size_t(v.size())));
    else if constexpr (std::is_same_v<T, ZvString>)
        return v.isNull() ? "null" : show(wstring16(v.constString(), v.constString() + v.size()));
    else if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, wstring16>)
        return '"' + std::string(v.begin(), v.end()) + '"';
    else if constexpr (std::is_pointer_v<T>)
        return v ? "ptr" : "null";
    else
        return std::is_same_v<T, bool> ? (v ? "true" : "false") : std::to_string(v);
}

// A row: the call as written, the call, and what it must give.
typedef std::tuple<const char*, std::function<std::string()>, std::string> Row;
#define ROW(want, ...)                                                                             \
    Row(                                                                                           \
        #__VA_ARGS__, [&] { return show(__VA_ARGS__); }, want)
void check(const std::vector<Row>& rows) {
    for (const auto& [call, run, want] : rows)
        EXPECT_EQ(run(), want) << call;
}

const char* const null = nullptr;
const wchar16* const wnull = nullptr;

} // namespace

TEST(BadInput, StringsAndBytes) {
    ZvByteArray bytes("abc");
    ZvString text = ZvString::fromUtf8("abc");
    const ZvTextCodec codec(ZvTextCodec::Utf8), *utf8 = &codec;
    check({
        // clang-format off
        ROW("\"abc\"", ZvByteArray(bytes).insert(-1, 'x')), ROW("\"abc\"", ZvByteArray(bytes).insert(INT_MAX, null, 3)),
        ROW("\"abc\"", ZvByteArray(bytes).remove(-5, 2)), ROW("\"abc\"", ZvByteArray(bytes).remove(3, INT_MAX)),
        ROW("\"ab\"", ZvByteArray(bytes).remove(2, INT_MAX)), ROW("0", bytes[-1]), ROW("0", bytes[INT_MAX]),
        ROW("\"abc\"", (bytes[-1] = 'x', bytes[INT_MAX] = 'x', bytes)), ROW("\"\"", (ZvByteArray(bytes).resize(-3), bytes.left(0))),
        ROW("\"abc\"", ZvString(text).insert(-1, W16("x"), 1)), ROW("\"abc\"", ZvString(text).insert(1, wnull, 4)),
        ROW("\"abc\"", ZvString(text).insert(1, W16("x"), -2)), ROW("\"abc\"", ZvString(text).remove(3, 1)),
        ROW("\"\"", (text.resize(-1), text)), ROW("null", ZvString(wnull, 5)), ROW("null", ZvString(null, -3)),
        ROW("null", ZvString::fromUtf8(null)), ROW("\"a\"", ZvString::fromAscii("a", -7)),
        ROW("null", ZvString::fromWCharArray(wnull, 3)), ROW("\"\"", ZvString::number(7, 99)),
        ROW("\"\"", utf8->toUnicode(null, 4)), ROW("\"\"", utf8->fromUnicode(wnull, -1)),
        ROW("null", utf8->fromUnicode(W16("a"), 0)), ROW("\"\"", pubfunc::toWideString(null, -1, 65001)),
        ROW("\"\"", pubfunc::toWideString("abc", -5, 65001)), ROW("\"\"", pubfunc::toNarrowString(W16("abc"), -2, 65001)),
        ROW("\"\"", pubfunc::toNarrowString(wnull, 3, 0)), ROW("\"\"", pubfunc::toUtf8String(nullptr)),
        ROW("\"\"", pubfunc::getHashString(null, 4)), ROW("\"\"", pubfunc::getHashString("abc", -1)),
        ROW("0", mp_size(nullptr)), ROW("0", (mp_free(nullptr), 0)), ROW("0", (zvFree(nullptr), 0)),
        // clang-format on
    });
}

#if defined(_WIN32)
const char* const kFreeSpace = "01111"; // Windows asks the drive of any path but ""
#else
const char* const kFreeSpace = "00011"; // a name past the file system's limit fails
#endif

// Each call over every bad path, in the order below; want holds one result a path.
TEST(BadInput, FilesAndPaths) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "pubfunc-bad-input";
    std::filesystem::create_directories(dir);
    const wstring16 base = dir.string<wchar16>(), sep(1, wchar16(dir.preferred_separator));
    const wstring16 paths[] = {W16(""), base + sep + wstring16(300, 'a'),
                               base + sep + wstring16(33000, 'a'),
                               base + sep + W16("missing") + sep + W16("x"), base};
    const std::string pixels(4, '\x7F');
    std::vector<char> data;
    wstring16 text;
    const std::tuple<const char*, std::function<bool(const wstring16&)>, const char*> calls[] = {
        // clang-format off
        {"isFileExist", [](auto& p) { return pubfunc::isFileExist(p); }, "0000" "1"},
        {"getDiskFreeSpace > 0", [](auto& p) { return pubfunc::getDiskFreeSpace(p) > 0; }, kFreeSpace},
        {"loadBinaryFile", [&](auto& p) { return pubfunc::loadBinaryFile(p, data); }, "0000" "0"},
        {"saveAsBMP", [&](auto& p) { return pubfunc::saveAsBMP(pixels.data(), 4, 1, 1, 32, p.c_str()); }, "0000" "0"},
        {"CMarkup::Load", [](auto& p) { return CMarkup().Load(p); }, "0000" "0"},
        {"CMarkup::Save", [](auto& p) { return CMarkup(W16("<a/>")).Save(p); }, "0000" "0"},
        {"CMarkup::ReadTextFile", [&](auto& p) { return CMarkup::ReadTextFile(p, text); }, "0000" "0"},
        {"CMarkup::WriteTextFile", [&](auto& p) { return CMarkup::WriteTextFile(p, W16("x")); }, "0000" "0"},
        {"CDLLHelper::LoadDll", [](auto& p) { return CDLLHelper().LoadDll(p); }, "0000" "0"},
        {"ZvFileOutputStream", [](auto& p) { ZvFileOutputStream f; f.open(p.c_str()); return f.write("x", 1) == 1; }, "0000" "0"},
        // clang-format on
    };
    for (const auto& [call, run, want] : calls)
        for (size_t i = 0; i < 5; ++i)
            EXPECT_EQ(run(paths[i]), want[i] == '1')
                << call << " over path " << i << " of " << paths[i].size() << " units";
    EXPECT_FALSE(pubfunc::saveAsBMP(pixels.data(), 4, 1, 1, 32, wnull));
    std::filesystem::remove_all(dir);
}

TEST(BadInput, Markup) {
    CMarkup m(W16("<a b='1'><c/></a>"));
    ASSERT_TRUE(m.FindElem());
    check({
        // clang-format off
        ROW("\"\"", m.GetAttribName(-1)), ROW("\"\"", m.GetAttribName(INT_MAX)), ROW("\"\"", m.GetAttrib(nullptr)),
        ROW("true", m.SetAttrib(nullptr, W16("v"))), ROW("true", m.AddElem(nullptr)),
        ROW("false", m.RestorePos(nullptr)), ROW("false", m.AddNode(-1, W16("x"))), ROW("false", m.AddNode(INT_MAX, W16("x"))),
        ROW("false", m.AddSubDoc(nullptr)), ROW("false", m.SetDoc(wnull)),
        ROW("\"Empty document\"", CMarkup(CMarkup::MCD_CSTR(nullptr)).GetError()),
        ROW("\"\"", CMarkup::EscapeText(nullptr)), ROW("\"\"", CMarkup::UnescapeText(nullptr, 5)),
        ROW("\"<\"", CMarkup::UnescapeText(W16("&lt;"), -3)), ROW("\"\"", CMarkup::GetDeclaredEncoding(nullptr)),
        ROW("0", CMarkup::UTF8To16(nullptr, null, 4)), ROW("0", CMarkup::UTF8To16(nullptr, "ab", -1)),
        ROW("0", CMarkup::UTF16To8(nullptr, wnull, 4)),
        // clang-format on
    });
}

TEST(BadInput, SystemUtilities) {
    CShareData share;
    CDLLHelper dll;
    HWND wnd = nullptr;
    int scan = 7;
    wstring16 name = W16("x");
    check({
        // clang-format off
        ROW("null", pubfunc::FindWindowTop(nullptr)), ROW("null", pubfunc::getProcessMainWnd(0xFFFFFFFF, W16(""))),
        ROW("0", pubfunc::getProcessIDWnd(W16(""), wnd, W16(""))), ROW("false", pubfunc::isProcessExist(0xFFFFFFFF)),
        ROW("\"\"", pubfunc::getQZPathFromCmdLine(W16(""))), ROW("\"\"", pubfunc::getOrvexEnginePathFromCmdLine(W16("-qzpt"))),
        ROW("false", pubfunc::openUrl(W16(""))), ROW("3", pubfunc::GetRandomNum(9, 3)),
        ROW("false", CKeyExchange::VK2DIK(-1, scan)), ROW("false", CKeyExchange::VK2DIK(INT_MAX, scan)),
        ROW("\"x\"", (CKeyExchange::VKKeyToString_S(-1, name), name)),
        ROW("false", share.createSharedFile(W16(""), 16)), ROW("false", share.openSharedFile(W16("pubfunc-missing"), 16)),
        ROW("null", share.getSharedData()), ROW("0", share.getSharedData(nullptr, 16)), ROW("0", share.writeData(null, 16)),
        ROW("false", dll.FindDll(W16(""))), ROW("null", dll.GetProcAddress(nullptr)), ROW("null", dll.GetProcAddress("x")),
        // clang-format on
    });
}

TEST(BadInput, LoggerFlvAndScaling) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "pubfunc-bad-flv";
    const wstring16 folder = dir.string<wchar16>();
    FlvFile flv;
    unsigned char* out = nullptr;
    RGBScale scale;
    check({
        // clang-format off
        ROW("0", (VTQ::VTQLogger::Instance()->LogError(nullptr), 0)), ROW("false", VTQ::VTQLogger::Instance()->InitLog(nullptr)),
        ROW("0", (flv.setOutputFolder(folder.c_str()), flv.saveVideoRawH264Data("", nullptr, 64, 0, 5, true), 0)),
        ROW("null", (scale.initRGB32ToI420(-4, -4, -8, -8), scale.convertRGB32ToI420(nullptr, out), out)),
        ROW("null", (scale.initYUV422ToI420(16, 16, 0, 8), scale.convertYUV422ToI420(nullptr, out), out)),
        ROW("0", (scale.initRGBToRGB(16, 16, 16, 16, 64, 64, RGBScale::RGB32, RGBScale::RGB32), scale.convertRGBToRGB(nullptr, nullptr, true), 0)),
        // clang-format on
    });
    std::filesystem::remove_all(dir);
}
