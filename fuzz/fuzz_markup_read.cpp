// fuzz_markup_read: navigation and reading calls, chosen by the input, over a
// document that the input also gives.
//
// Layout: byte 0 sets the document flags (bit 0: names ignore case); byte 1 gives
// the number of calls (up to 63); one byte per call follows (low 4 bits the call,
// high 4 bits its argument); the rest is the text, one unit per byte, which keeps
// markup dense. Every call runs under AddressSanitizer and UBSan; FindNode's result
// must be the type of the node it made current, escaping must round-trip, and
// whatever a reader returns must be a plausible piece of the text. (The cursor's
// rules after each kind of move are pinned by the unit tests, the index's after any
// parse by fuzz_markup_parse.)
#include "xml/markup_check.h"

#include <cstdint>

namespace {

const wchar16* const kNames[] = {nullptr,  W16(""),    W16("a"), W16("b"),
                                 W16("r"), W16("a/x"), W16("A"), W16("a[")};

// A reader returns a piece of the text or a fixed name ("#cdata-section").
#define READ(text) REQUIRE((text).size() <= m.GetDoc().size() + 16)

// The calls, by the low 4 bits of their byte; a is the high 4 bits, n a name they choose.
typedef void (*Call)(MarkupProbe& m, unsigned a, const wchar16* n);
const Call kCalls[16] = {
    [](auto& m, unsigned, auto n) { m.FindElem(n); },
    [](auto& m, unsigned, auto n) { m.FindChildElem(n); },
    [](auto& m, unsigned, auto) { m.IntoElem(); },
    [](auto& m, unsigned, auto) { m.OutOfElem(); },
    [](auto& m, unsigned a, auto) {
        const int type = m.FindNode(a == 15 ? CMarkup::NT_NODE_ERROR | CMarkup::NT_LONE_END_TAG
                                            : int(a * 0x11) & 0xFF);
        REQUIRE(!type || type == m.nodeType);
    },
    [](auto& m, unsigned a, auto) {
        a & 1 ? m.ResetPos() : a & 2 ? m.ResetMainPos() : m.ResetChildPos();
    },
    [](auto& m, unsigned, auto n) { m.SavePos(n ? n : W16("p")); },
    [](auto& m, unsigned, auto n) { m.RestorePos(n ? n : W16("p")); },
    [](auto& m, unsigned, auto) { READ(m.GetTagName()), READ(m.GetChildTagName()); },
    [](auto& m, unsigned, auto) { READ(m.GetData()), READ(m.GetChildData()); },
    [](auto& m, unsigned, auto n) { READ(m.GetAttrib(n)), READ(m.GetChildAttrib(n)); },
    [](auto& m, unsigned a, auto) { READ(m.GetAttribName(int(a))); },
    [](auto& m, unsigned, auto) { READ(m.GetElemContent()); },
    [](auto& m, unsigned, auto) { READ(m.GetSubDoc()), READ(m.GetChildSubDoc()); },
    [](auto& m, unsigned a, auto) { m.x_GetPath(a & 1 ? m.childPos : m.mainPos); },
    [](auto& m, unsigned a, auto) {
        CMarkup::EscapeText(m.GetDoc(), int(a) << 8 | 8);
        REQUIRE(CMarkup::UnescapeText(CMarkup::EscapeText(m.GetDoc())) == m.GetDoc().c_str());
    },
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t calls = size < 2 ? 0 : data[1] & 63;
    if (size < 2 + calls) return 0;
    const uint8_t* ops = data + 2;
    MarkupProbe m(data[0] & 1 ? int(CMarkup::DF_IGNORE_CASE) : 0);
    m.SetDoc(wstring16(ops + calls, data + size));
    for (size_t i = 0; i < calls; ++i)
        kCalls[ops[i] & 15](m, ops[i] >> 4, kNames[(ops[i] >> 4) & 7]);
    return 0;
}
