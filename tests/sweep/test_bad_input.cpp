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

// A result as text: strings as they are, "(null)" for null arrays, strings and pointers.
template <class T> std::string show(const T& v) {
    if constexpr (std::is_same_v<T, ZvByteArray>)
        return v.isNull() ? "(null)" : std::string(v.constData(), size_t(v.size()));
    else if constexpr (std::is_same_v<T, ZvString>)
        return v.isNull() ? "(null)" : std::string(v.constString(), v.constString() + v.size());
    else if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, wstring16>)
        return std::string(v.begin(), v.end());
    else if constexpr (std::is_pointer_v<T>)
        return v ? "(ptr)" : "(null)";
    else
        return std::is_same_v<T, bool> ? (v ? "true" : "false") : std::to_string(v);
}

// A row: the call as written, the call, and what it must give.
typedef std::tuple<const char*, std::function<std::string()>, std::string> Row;
// clang-format off
#define ROW(want, ...) Row(#__VA_ARGS__, [&] { return show(__VA_ARGS__); }, want)
// clang-format on
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
    const auto b = [] { return ZvByteArray("abc"); };
    const auto t = [] { return ZvString::fromUtf8("abc"); };
    const ZvTextCodec codec(ZvTextCodec::Utf8), *utf8 = &codec;
    check({
        // clang-format off
        ROW("abc", b().insert(-1, 'x')), ROW("abc", b().insert(INT_MAX, null, 3)),
        ROW("abc", b().remove(-5, 2)), ROW("abc", b().remove(3, INT_MAX)),
        ROW("ab", b().remove(2, INT_MAX)), ROW("0", bytes[-1]), ROW("0", bytes[INT_MAX]),
        ROW("abc", (bytes[-1] = 'x', bytes[INT_MAX] = 'x', bytes)),
        ROW("", (b().resize(-3), bytes.left(0))), ROW("abc", t().insert(-1, W16("x"), 1)),
        ROW("abc", t().insert(1, wnull, 4)), ROW("abc", t().insert(1, W16("x"), -2)),
        ROW("abc", t().remove(3, 1)), ROW("", (text.resize(-1), text)),
        ROW("(null)", ZvString(wnull, 5)), ROW("(null)", ZvString(null, -3)),
        ROW("(null)", ZvString::fromUtf8(null)), ROW("(null)", ZvString::fromWCharArray(wnull, 3)),
        ROW("", utf8->toUnicode(null, 4)), ROW("", utf8->fromUnicode(wnull, -1)),
        ROW("(null)", utf8->fromUnicode(W16("a"), 0)),
        ROW("", pubfunc::toWideString(null, -1, 65001)),
        ROW("", pubfunc::toWideString("abc", -5, 65001)),
        ROW("", pubfunc::toNarrowString(W16("abc"), -2, 65001)),
        ROW("", pubfunc::toNarrowString(wnull, 3, 0)), ROW("", pubfunc::toUtf8String(nullptr)),
        ROW("", pubfunc::getHashString(null, 4)), ROW("", pubfunc::getHashString("abc", -1)),
        ROW("0", mp_size(nullptr)), ROW("0", (mp_free(nullptr), 0)), ROW("0", (zvFree(nullptr), 0)),
        // clang-format on
    });
}

// Each call over every bad path, in the order below; want holds one result a path.
// The free space of a path Windows reads from its drive; a Linux file system fails
// a name past its limit.
TEST(BadInput, FilesAndPaths) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "pubfunc-bad-input";
    std::filesystem::create_directories(dir);
    const wstring16 base = dir.string<wchar16>(), sep(1, wchar16(dir.preferred_separator)),
                    in = base + sep,
                    paths[] = {W16(""), in + wstring16(300, 'a'), in + wstring16(33000, 'a'),
                               in + W16("missing") + sep + W16("x"), base};
    const std::string pixels(4, '\x7F');
    std::vector<char> data;
    wstring16 text;
    ZvFileOutputStream stream;
    typedef std::tuple<const char*, std::function<bool(const wstring16&)>, const char*> PathRow;
    // clang-format off
#define CALL(want, ...) PathRow(#__VA_ARGS__, [&](const auto& p) -> bool { return __VA_ARGS__; }, want)
    const PathRow calls[] = {
        CALL("00001", pubfunc::isFileExist(p)),
        CALL(sep == W16("\\") ? "01111" : "00011", pubfunc::getDiskFreeSpace(p) > 0),
        CALL("00000", pubfunc::loadBinaryFile(p, data)),
        CALL("00000", pubfunc::saveAsBMP(pixels.data(), 4, 1, 1, 32, p.c_str())),
        CALL("00000", CMarkup().Load(p)), CALL("00000", CMarkup(W16("<a/>")).Save(p)),
        CALL("00000", CMarkup::ReadTextFile(p, text)),
        CALL("00000", CMarkup::WriteTextFile(p, text)), CALL("00000", CDLLHelper().LoadDll(p)),
        CALL("00000", (stream.open(p.c_str()), stream.write("x", 1))),
        // clang-format on
    };
    for (const auto& [call, run, want] : calls)
        for (size_t i = 0; i < 5; ++i)
            EXPECT_EQ(run(paths[i]), want[i] == '1') << call << " over path " << i;
    EXPECT_FALSE(pubfunc::saveAsBMP(pixels.data(), 4, 1, 1, 32, wnull));
    std::filesystem::remove_all(dir);
}

TEST(BadInput, Markup) {
    CMarkup m(W16("<a b='1'><c/></a>"));
    ASSERT_TRUE(m.FindElem());
    check({
        // clang-format off
        ROW("", m.GetAttribName(-1)), ROW("", m.GetAttribName(INT_MAX)),
        ROW("", m.GetAttrib(nullptr)), ROW("true", m.SetAttrib(nullptr, W16("v"))),
        ROW("true", m.AddElem(nullptr)), ROW("false", m.RestorePos(nullptr)),
        ROW("false", m.AddNode(-1, W16("x"))), ROW("false", m.AddNode(INT_MAX, W16("x"))),
        ROW("false", m.AddSubDoc(nullptr)), ROW("false", m.SetDoc(wnull)),
        ROW("Empty document", CMarkup(CMarkup::MCD_CSTR(nullptr)).GetError()),
        ROW("", CMarkup::EscapeText(nullptr)), ROW("", CMarkup::UnescapeText(nullptr, 5)),
        ROW("<", CMarkup::UnescapeText(W16("&lt;"), -3)),
        ROW("", CMarkup::GetDeclaredEncoding(nullptr)),
        ROW("0", CMarkup::UTF8To16(nullptr, null, 4)),
        ROW("0", CMarkup::UTF8To16(nullptr, "ab", -1)),
        ROW("0", CMarkup::UTF16To8(nullptr, wnull, 4)),
        // clang-format on
    });
}

TEST(BadInput, SystemUtilities) {
    HWND wnd = nullptr;
    int scan = 7;
    wstring16 name = W16("x");
    ISwitchThread* sw = getSwitchThread();
    check({
        // clang-format off
        ROW("(null)", pubfunc::FindWindowTop(nullptr)),
        ROW("(null)", pubfunc::FindWindowTop(HWND(&scan))),
        ROW("(null)", pubfunc::getProcessMainWnd(0xFFFFFFFF, W16(""))),
        ROW("0", pubfunc::getProcessIDWnd(W16(""), wnd, W16(""))),
        ROW("false", pubfunc::isProcessExist(0xFFFFFFFF)),
        ROW("", pubfunc::getQZPathFromCmdLine(W16(""))), ROW("false", pubfunc::openUrl(W16(""))),
        ROW("false", CKeyExchange::VK2DIK(-1, scan)),
        ROW("false", CKeyExchange::VK2DIK(INT_MAX, scan)),
        ROW("x", (CKeyExchange::VKKeyToString_S(-1, name), name)),
        ROW("false", CShareData().createSharedFile(W16(""), 16)),
        ROW("false", CShareData().openSharedFile(W16("pubfunc-missing"), 16)),
        ROW("(null)", CShareData().getSharedData()),
        ROW("0", CShareData().getSharedData(nullptr, 16)),
        ROW("0", CShareData().writeData(null, 16)), ROW("false", CDLLHelper().FindDll(W16(""))),
        ROW("(null)", CDLLHelper().GetProcAddress(nullptr)),
        ROW("(null)", CDLLHelper().GetProcAddress("x")),
        ROW("0", (sw->postEvent(nullptr), 0)),
        ROW("0.000000", CCpuUsage().OSGetProcessCPUUsage(0xFFFFFFFF)),
        // clang-format on
    });
    sw->release();
}

TEST(BadInput, LoggerFlvAndScaling) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "pubfunc-bad-flv";
    FlvFile flv;
    flv.setOutputFolder(dir.string<wchar16>().c_str());
    unsigned char* out = nullptr;
    RGBScale rs;
    const auto rgb = RGBScale::RGB32;
    check({
        // clang-format off
        ROW("0", (VTQ::VTQLogger::Instance()->LogError(nullptr), 0)),
        ROW("false", VTQ::VTQLogger::Instance()->InitLog(nullptr)),
        ROW("0", (flv.saveVideoRawH264Data("", nullptr, 64, 0, 5, true), 0)),
        ROW("(null)", (rs.initRGB32ToI420(-4, -4, -8, -8), rs.convertRGB32ToI420(0, out), out)),
        ROW("(null)", (rs.initYUV422ToI420(16, 16, 0, 8), rs.convertYUV422ToI420(0, out), out)),
        ROW("0", (rs.initRGBToRGB(16, 16, 8, 8, 64, 32, rgb, rgb), rs.convertRGBToRGB(0, 0, 1), 0)),
        // clang-format on
    });
    std::filesystem::remove_all(dir);
}
