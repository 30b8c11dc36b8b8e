// fuzz_markup_read: navigation and reading calls, chosen by the input, over a
// document that the input also gives.
//
// Layout: byte 0 sets the document flags (bit 0: names ignore case); byte 1 gives
// the number of calls (up to 63); one byte per call follows (low 4 bits the call,
// high 4 bits its argument); the rest is the text, one unit per byte, which keeps
// markup dense. After every call the cursor must keep the rules of the document
// model, and whatever a reader returns must be a plausible piece of the text.
#include "xml/markup_check.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_markup_read: %s\n", what);
    std::abort();
}

class Probe : public MarkupProbe {
public:
    using CMarkup::nodeLength;
    using CMarkup::nodeOffset;
    using CMarkup::nodeType;
    using CMarkup::x_GetPath;
    using MarkupProbe::MarkupProbe;
};

bool live(const Probe& m, int i) {
    return i >= 0 && i < m.records() && !(m.rec(i).flags & CMarkup::EP_DELETED);
}

// The cursor rules: the main element hangs below the parent and the child below
// the main element; the current node is either the main element or a non-element
// node inside the parent's content that comes after the main element and before
// the element that follows it.
void checkCursor(const Probe& m) {
    require(live(m, m.parentPos) && live(m, m.mainPos) && live(m, m.childPos),
            "position outside the records");
    if (m.mainPos) require(m.rec(m.mainPos).parent == m.parentPos, "main not below parent");
    if (m.childPos)
        require(m.mainPos && m.rec(m.childPos).parent == m.mainPos, "child not below main");
    if (!m.nodeLength) {
        require(!m.nodeOffset && m.nodeType == (m.mainPos ? 1 : 0), "element node triple");
        return;
    }
    require(m.nodeType > 1 && !m.childPos, "non-element node with element state");
    const CMarkup::ElemPos& p = m.rec(m.parentPos);
    const int from = m.parentPos ? p.ContentStart() : 0;
    const int to = m.parentPos ? from + p.ContentLen() : int(m.GetDoc().size());
    require(m.nodeOffset >= from && m.nodeOffset + m.nodeLength <= to, "node outside parent");
    const int next = m.mainPos ? m.rec(m.mainPos).nextSibling : p.firstChild;
    if (m.mainPos) require(m.rec(m.mainPos).EndOffset() <= m.nodeOffset, "node before main");
    if (next) require(m.rec(next).start >= m.nodeOffset + m.nodeLength, "node after next element");
}

const wchar16* const kNames[] = {nullptr,  W16(""),    W16("a"), W16("b"),
                                 W16("r"), W16("a/x"), W16("A"), W16("a[")};

void call(Probe& m, unsigned op) {
    const unsigned arg = op >> 4;
    const wchar16* name = kNames[arg & 7];
    const size_t limit = m.GetDoc().size() + 16; // "#cdata-section" and the like
    switch (op & 15) {
    case 0:
        m.FindElem(name);
        break;
    case 1:
        m.FindChildElem(name);
        break;
    case 2:
        m.IntoElem();
        break;
    case 3:
        m.OutOfElem();
        break;
    case 4: {
        const int mask =
            arg == 15 ? CMarkup::NT_NODE_ERROR | CMarkup::NT_LONE_END_TAG : int(arg * 0x11) & 0xFF;
        const int type = m.FindNode(mask);
        require(!type || type == m.nodeType, "FindNode result is not the current node type");
        break;
    }
    case 5:
        if (arg & 1)
            m.ResetPos();
        else if (arg & 2)
            m.ResetMainPos();
        else
            m.ResetChildPos();
        break;
    case 6:
        m.SavePos(name ? name : W16("p"));
        break;
    case 7:
        m.RestorePos(name ? name : W16("p"));
        break;
    case 8:
        require(m.GetTagName().size() <= limit && m.GetChildTagName().size() <= limit, "name");
        break;
    case 9:
        require(m.GetData().size() <= limit && m.GetChildData().size() <= limit, "data");
        break;
    case 10:
        require(m.GetAttrib(name).size() <= limit && m.GetChildAttrib(name).size() <= limit,
                "attribute");
        break;
    case 11:
        require(m.GetAttribName(int(arg)).size() <= limit, "attribute name");
        break;
    case 12:
        require(m.GetElemContent().size() <= limit, "content");
        break;
    case 13:
        require(m.GetSubDoc().size() <= limit && m.GetChildSubDoc().size() <= limit, "subdoc");
        break;
    case 14:
        m.x_GetPath(arg & 1 ? m.childPos : m.mainPos);
        break;
    default: {
        const wstring16 escaped = CMarkup::EscapeText(m.GetDoc(), int(arg) << 8 | 8);
        require(CMarkup::UnescapeText(CMarkup::EscapeText(m.GetDoc())) == m.GetDoc().c_str(),
                "escape does not round-trip");
        (void)escaped;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t calls = data[1] & 63;
    if (size < 2 + calls) return 0;
    const uint8_t* ops = data + 2;
    wstring16 text(ops + calls, data + size);
    Probe m(data[0] & 1 ? int(CMarkup::DF_IGNORE_CASE) : 0);
    m.SetDoc(text);
    checkCursor(m);
    for (size_t i = 0; i < calls; ++i) {
        call(m, ops[i]);
        checkCursor(m);
    }
    return 0;
}
