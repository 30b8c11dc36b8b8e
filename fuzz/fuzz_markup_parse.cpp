// fuzz_markup_parse: any 16-bit text through CMarkup's parser.
//
// The first input byte chooses how the rest becomes text (bit 0: pairs of bytes as
// little-endian units, else one unit per byte, which keeps markup dense) and whether
// names ignore case (bit 1). After the parse the element index must pass checkIndex,
// the node scanner must cover the text node after node up to its first 0 unit, the
// attribute tokens of every start tag must stay inside the text, and a copy must
// carry the same records.
#include "xml/markup_check.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_markup_parse: %s\n", what);
    std::abort();
}

void checkNodes(const MarkupProbe& m) {
    const wstring16& text = m.GetDoc();
    CMarkup::TokenPos token(text.c_str(), m.GetDocFlags());
    CMarkup::NodePos node;
    int at = 0;
    for (;;) {
        const int type = MarkupProbe::x_ParseNode(token, node);
        require(node.start == at, "node does not start where the last one ended");
        if (type == -2) break;
        require(node.length > 0 && token.next == at + node.length, "node makes no progress");
        require(type == node.nodeType &&
                    (type == -1 || type == 0 || type == 1 || type == 2 || type == 4 || type == 8 ||
                     type == 16 || type == 32 || type == 64),
                "unknown node type");
        if (type == 0)
            require(token.left >= at + 2 && token.right < token.next, "end tag name outside it");
        at = token.next;
    }
    require(at <= int(text.size()) && !text.c_str()[at], "scan did not reach the end");
}

void checkAttributes(const MarkupProbe& m) {
    const wstring16& text = m.GetDoc();
    const int end = int(text.size());
    for (int i = 1; i < m.records() && i < 2000; ++i) {
        wstring16 first;
        for (int n = 0; n < 16; ++n) {
            CMarkup::TokenPos token(text.c_str(), m.GetDocFlags());
            token.next = m.rec(i).start + 1;
            if (!MarkupProbe::x_FindAttrib(token, nullptr, n)) break;
            require(token.left >= 0 && token.right < end && token.next <= end,
                    "attribute name outside the text");
            if (!n) first = MarkupProbe::x_GetToken(token);
        }
        if (first.empty()) continue;
        CMarkup::TokenPos token(text.c_str(), m.GetDocFlags());
        token.next = m.rec(i).start + 1;
        require(MarkupProbe::x_FindAttrib(token, first.c_str(), 0), "first attribute not found");
        require(token.left >= 0 && token.right < end && token.next <= end,
                "attribute value outside the text");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!size) return 0;
    const unsigned mode = data[0];
    wstring16 text;
    if (mode & 1) {
        for (size_t i = 1; i + 1 < size; i += 2)
            text.push_back(wchar16(data[i] | (data[i + 1] << 8)));
    } else {
        text.assign(data + 1, data + size);
    }
    MarkupProbe m(mode & 2 ? int(CMarkup::DF_IGNORE_CASE) : 0);
    m.SetDoc(text);
    const std::string broken = checkIndex(m);
    require(broken.empty(), broken.c_str());
    checkNodes(m);
    checkAttributes(m);

    const MarkupProbe copy(m);
    require(copy.records() == m.records() && copy.GetError() == m.GetError(), "copy differs");
    for (int i = 0; i < m.records(); ++i)
        require(!std::memcmp(&copy.rec(i), &m.rec(i), sizeof(CMarkup::ElemPos)),
                "copied record differs");
    return 0;
}
