// System utilities: text, URLs, the user configuration file, frame-rate counters,
// key names.
#include <pubfunc/keyexchange.h>
#include <pubfunc/pubfunc.h>

#include <string>
#include <vector>

int main() {
    std::string utf8 = pubfunc::toUtf8String(W16("1080p \x4e2d"));   // "1080p 中"
    wstring16 back = pubfunc::toWideString(utf8.c_str(), -1, 65001); // 65001: UTF-8
    std::string query = pubfunc::URLEncode2(W16("a b/c"));           // "a%20b%2Fc"
    std::vector<wstring16> parts;
    pubfunc::splitString(W16("x,,y"), W16(","), parts); // "x", "", "y"

    // user.ini in the product's AppData folder; the default when the key is absent.
    pubfunc::setUserConfigString(W16("record"), W16("fps"), W16("30"));
    wstring16 fps = pubfunc::getUserConfigString(W16("record"), W16("fps"), W16("25"));

    pubfunc::updatePublishCaptureFPS(W16("camera")); // counted; every 20 s the log gets the rate

    wstring16 keys;
    CKeyExchange::GetKeysCombineDesc(0x11, 0x10, 'R', keys); // "Ctrl + Shift + R"
    const bool ok = back == W16("1080p \x4e2d") && query == "a%20b%2Fc" && parts.size() == 3 &&
                    fps == W16("30") && keys == W16("Ctrl + Shift + R");
    return ok ? 0 : 1;
}
