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
#include <cstring>

namespace {

void checkNodes(const MarkupProbe& m) {
    const wstring16& text = m.GetDoc();
    CMarkup::TokenPos token(text.c_str(), m.GetDocFlags());
    CMarkup::NodePos node;
    for (int at = 0;; at = token.next) {
        const int type = MarkupProbe::x_ParseNode(token, node);
        REQUIRE(node.start == at);
        if (type == -2) {
            REQUIRE(at <= int(text.size()) && !text.c_str()[at]); // the first 0 unit
            return;
        }
        REQUIRE(node.length > 0);
        REQUIRE(token.next == at + node.length);
        REQUIRE(type == node.nodeType);
        REQUIRE(type >= -1 && type <= 64 && (type <= 0 || !(type & (type - 1)))); // or -1, 0
        if (type == 0) REQUIRE(token.left >= at + 2 && token.right < token.next); // end tag name
    }
}

// Every attribute token of the first start tags lies inside the text, and the first
// attribute is found again by its name.
void checkAttributes(const MarkupProbe& m) {
    const wstring16& text = m.GetDoc();
    const auto inside = [&](const CMarkup::TokenPos& t) {
        return t.left >= 0 && t.right < int(text.size()) && t.next <= int(text.size());
    };
    for (int i = 1; i < m.records() && i < 2000; ++i) {
        CMarkup::TokenPos token(text.c_str(), m.GetDocFlags());
        wstring16 first;
        for (int n = 0; n < 16; ++n) {
            token.next = m.rec(i).start + 1;
            if (!MarkupProbe::x_FindAttrib(token, nullptr, n)) break;
            REQUIRE(inside(token));
            if (!n) first = MarkupProbe::x_GetToken(token);
        }
        if (first.empty()) continue;
        token.next = m.rec(i).start + 1;
        REQUIRE(MarkupProbe::x_FindAttrib(token, first.c_str(), 0));
        REQUIRE(inside(token));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!size) return 0;
    wstring16 text;
    if (data[0] & 1) {
        for (size_t i = 1; i + 1 < size; i += 2)
            text.push_back(wchar16(data[i] | (data[i + 1] << 8)));
    } else {
        text.assign(data + 1, data + size);
    }
    MarkupProbe m(data[0] & 2 ? int(CMarkup::DF_IGNORE_CASE) : 0);
    m.SetDoc(text);
    const std::string broken = checkIndex(m);
    requireRule(broken.empty(), broken.c_str());
    checkNodes(m);
    checkAttributes(m);

    const MarkupProbe copy(m);
    REQUIRE(copy.records() == m.records());
    REQUIRE(copy.GetError() == m.GetError());
    for (int i = 0; i < m.records(); ++i)
        REQUIRE(!std::memcmp(&copy.rec(i), &m.rec(i), sizeof(CMarkup::ElemPos)));
    return 0;
}
