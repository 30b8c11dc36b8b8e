// pubfunc's process utilities that need no platform call of their own: module
// names cut from their paths, the product's executables, command-line switches.
#include <pubfunc/pubfunc.h>

#include "platform/fs.h"
#include "sys/process.h"

namespace {

// Compared after lower-casing, in this order.
const wchar16* const kMasterExes[] = {W16("qzvelocast.exe"),
                                      W16("qzvelocast_engine_tester.exe"),
                                      W16("qzvelocast_engine_tester64.exe"),
                                      W16("orvexsvr64.exe"),
                                      W16("orvexsvr.exe"),
                                      W16("qz.exe")};

wstring16 fileName(const wstring16& path) {
    const size_t cut = path.rfind(pf::platform::pathSeparator());
    return cut == wstring16::npos ? path : path.substr(cut + 1);
}

// The text between the quote that ends `switchText` and the next quote; with no
// closing quote, the rest of the line. A line without the switch gives an empty
// string rather than a guess from a fixed position.
wstring16 quotedAfter(const wstring16& line, const wstring16& switchText) {
    const size_t at = line.find(switchText);
    if (at == wstring16::npos) return wstring16();
    const size_t start = at + switchText.size();
    const size_t end = line.find(W16('"'), start);
    return line.substr(start, end == wstring16::npos ? wstring16::npos : end - start);
}

} // namespace

wstring16 pubfunc::getExeName() {
    return fileName(pf::sys::modulePath(false));
}

wstring16 pubfunc::getExeNameWithoutExt() {
    const wstring16 name = getExeName();
    return name.substr(0, name.rfind(W16('.')));
}

wstring16 pubfunc::getExePath(moduleType type) {
    const wstring16 path = pf::sys::modulePath(type == moduleDll);
    const size_t cut = path.rfind(pf::platform::pathSeparator());
    return cut == wstring16::npos ? wstring16() : path.substr(0, cut);
}

bool pubfunc::isMasterExe() {
    wstring16 name = getExeName();
    ToLower(name);
    for (const wchar16* master : kMasterExes)
        if (name == master) return true;
    return false;
}

// The published signatures take the command line by value.
wstring16 pubfunc::getQZPathFromCmdLine(
    wstring16 commandLine) { // NOLINT(performance-unnecessary-value-param)
    return quotedAfter(commandLine, W16("-qzpt \""));
}

wstring16 pubfunc::getOrvexEnginePathFromCmdLine(
    wstring16 commandLine) { // NOLINT(performance-unnecessary-value-param)
    return quotedAfter(commandLine, W16("-engine \""));
}

bool pubfunc::injectDll(const wstring16&, const wstring16&) {
    return false;
}
