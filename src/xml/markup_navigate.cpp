// CMarkup: moving the cursor through the element tree and over the nodes of a
// parent's content, and reading names, data, attributes and raw markup.
//
// Elements are reached through their records; everything else is found by running
// the node scanner and the tokenizers over the text again, starting at an offset
// that a record or the current node gives. Reading never changes the object.
#include <pubfunc/markup.h>

#include "core/format.h"
#include "xml/markup_chars.h"

using namespace pf::xml;

namespace {

// Inner text of the node kinds that wrap their text: units skipped at the front
// and in all.
struct Wrapper {
    int lead;
    int overhead;
};
constexpr Wrapper kCommentWrap = {4, 7};    // <!-- -->
constexpr Wrapper kProcessingWrap = {2, 4}; // <? ?>
constexpr Wrapper kCDataWrap = {9, 12};     // <![CDATA[ ]]>
constexpr Wrapper kLoneEndTagWrap = {2, 3}; // </ >

wstring16 inner(const wstring16& doc, int offset, int length, Wrapper w) {
    const int n = length - w.overhead;
    return n > 0 ? doc.substr(size_t(offset + w.lead), size_t(n)) : wstring16();
}

} // namespace

int CMarkup::x_FindElem(int parent, int after, MCD_CSTR name) const {
    int pos = after ? elemPosArray[after].nextSibling : elemPosArray[parent].firstChild;
    if (!name.text || !name.text[0]) return pos;
    const bool noCase = (docFlags & DF_IGNORE_CASE) != 0;
    TokenPos token(docText.c_str(), docFlags);
    for (; pos; pos = elemPosArray[pos].nextSibling) {
        token.next = elemPosArray[pos].start + 1;
        x_FindName(token);
        const int n = token.right - token.left + 1;
        if (nameMatches(token.doc + token.left, n > 0 ? n : 1, name.text, noCase)) return pos;
    }
    return 0;
}

bool CMarkup::FindElem(MCD_CSTR name) {
    if (!elemPosArray.GetSize()) return false;
    const int found = x_FindElem(parentPos, mainPos, name);
    if (!found) return false;
    x_SetPos(elemPosArray[found].parent, found, 0);
    return true;
}

// A child search with no main element would otherwise run over the top-level
// elements and leave a child without a main element: when the parent has no
// element to become the main one, there is no child to find.
bool CMarkup::FindChildElem(MCD_CSTR name) {
    if (!mainPos && !FindElem()) return false;
    const int found = x_FindElem(mainPos, childPos, name);
    if (!found) return false;
    const int main = elemPosArray[found].parent;
    x_SetPos(elemPosArray[main].parent, main, found);
    return true;
}

bool CMarkup::IntoElem() {
    if (!mainPos || nodeType != NT_ELEMENT) return false;
    x_SetPos(mainPos, childPos, 0);
    return true;
}

bool CMarkup::OutOfElem() {
    if (!parentPos) return false;
    x_SetPos(elemPosArray[parentPos].parent, parentPos, mainPos);
    return true;
}

// Scans node by node from just after the current position. Elements are stepped
// over by their records (their content is never scanned here), so the element
// cursor stays in step with the scanner and ends as the element before the node
// found. The end of the parent's content ends the walk.
//
// Markup that the parse left out of the index reads as one ill-formed node, as the
// parse treated it: a start tag with no record at its offset (too long, or nested
// too deeply) and an end tag too long for a record. The scan goes on right after
// it, through whatever the left-out element held, so the cursor stays in step.
//
// The records have the last word: a node never overlaps the next element or runs
// past the parent's content. Edits can splice in markup that scans across them (an
// unterminated comment in an ill-formed sub-document, a declaration given as
// text); such a node is cut there and reads as an ill-formed one. After a parse
// no node does.
int CMarkup::FindNode(int nodeTypes) {
    const wchar16* const doc = docText.c_str();
    const ElemPos& parent = elemPosArray[parentPos];
    int offset;
    if (nodeType > NT_ELEMENT) {
        offset = nodeOffset + nodeLength;
    } else if (mainPos) {
        offset = elemPosArray[mainPos].EndOffset();
    } else {
        if (parentPos && parent.IsEmptyElement()) return 0;
        offset = parent.ContentStart();
    }
    const int contentEnd = parent.ContentStart() + parent.ContentLen();
    const bool wantElements = !nodeTypes || (nodeTypes & NT_ELEMENT);
    int cursor = mainPos;
    TokenPos token(doc, docFlags);
    NodePos node;
    for (;;) {
        const int next = cursor ? elemPosArray[cursor].nextSibling : parent.firstChild;
        const int limit = next ? elemPosArray[next].start : contentEnd;
        if (offset >= limit) {
            if (!next) return 0;
            cursor = next;
            if (wantElements) {
                x_SetPos(parentPos, cursor, 0);
                return NT_ELEMENT;
            }
            offset = elemPosArray[cursor].EndOffset();
            continue;
        }
        token.next = offset;
        const int scanned = scanNode(token, node, int(docText.size()));
        if (scanned == -2) return 0;
        int type = contentNodeType(scanned, node.length);
        offset = token.next;
        if (offset > limit) {
            type = NT_NODE_ERROR;
            offset = limit;
            node.length = limit - node.start;
        }
        if (!nodeTypes || (nodeTypes & type)) {
            mainPos = cursor;
            childPos = 0;
            nodeOffset = node.start;
            nodeLength = node.length;
            nodeType = type;
            return type;
        }
    }
}

wstring16 CMarkup::x_GetTagName(int i) const {
    if (!i) return wstring16();
    TokenPos token(docText.c_str(), docFlags);
    token.next = elemPosArray[i].start + 1;
    x_FindName(token);
    return x_GetToken(token);
}

wstring16 CMarkup::GetTagName() const {
    if (!nodeLength) return x_GetTagName(mainPos);
    switch (nodeType) {
    case NT_TEXT:
    case NT_WHITESPACE:
        return W16("#text");
    case NT_CDATA_SECTION:
        return W16("#cdata-section");
    case NT_COMMENT:
        return W16("#comment");
    case NT_PROCESSING_INSTRUCTION:
    case NT_LONE_END_TAG:
    case NT_DOCUMENT_TYPE: {
        // The target after "<?" or the name after "</"; a declaration's keyword is
        // passed over for the name that follows it.
        TokenPos token(docText.c_str(), docFlags);
        token.next = nodeOffset + 2;
        x_FindName(token);
        if (nodeType == NT_DOCUMENT_TYPE) x_FindName(token);
        return x_GetToken(token);
    }
    default:
        return wstring16();
    }
}

// Record 0 is no element to read: with no main element there is no data, whatever
// the document holds.
wstring16 CMarkup::x_GetData(int i) const {
    if (i == mainPos && nodeLength) {
        switch (nodeType) {
        case NT_COMMENT:
            return inner(docText, nodeOffset, nodeLength, kCommentWrap);
        case NT_PROCESSING_INSTRUCTION:
            return inner(docText, nodeOffset, nodeLength, kProcessingWrap);
        case NT_CDATA_SECTION:
            return inner(docText, nodeOffset, nodeLength, kCDataWrap);
        case NT_LONE_END_TAG:
            return inner(docText, nodeOffset, nodeLength, kLoneEndTagWrap);
        case NT_TEXT:
            return UnescapeText(docText.c_str() + nodeOffset, nodeLength);
        default:
            return docText.substr(size_t(nodeOffset), size_t(nodeLength));
        }
    }
    if (!i) return wstring16();
    const ElemPos& e = elemPosArray[i];
    if (e.firstChild || e.IsEmptyElement()) return wstring16();
    const wchar16* const doc = docText.c_str();
    const int start = e.ContentStart(), end = start + e.ContentLen();
    int lt = start;
    while (lt < end && doc[lt] != '<')
        ++lt;
    if (lt == end) return UnescapeText(doc + start, end - start);

    wstring16 data;
    TokenPos token(doc, docFlags);
    token.next = start;
    NodePos node;
    while (token.next < end) {
        const int type = scanNode(token, node, int(docText.size()));
        if (type == NT_TEXT) {
            unescapeAppend(data, doc + node.start, node.length);
        } else if (type == NT_CDATA_SECTION) {
            const int n = node.length - kCDataWrap.overhead;
            if (n > 0) data.append(doc + node.start + kCDataWrap.lead, size_t(n));
        } else if (type == -2) {
            break;
        }
    }
    return data;
}

// The tag that attributes are read from: the main (or child) element's start tag
// while an element is current, or the current processing instruction, whose
// pseudo-attributes (version, encoding) read the same way. -1 when there is none.
namespace {
int attribTagOffset(int i, int mainPos, int nodeType, int nodeOffset, int nodeLength,
                    const CMarkup::ElemPos& e) {
    if (i && nodeType == CMarkup::NT_ELEMENT) return e.start + 1;
    if (i == mainPos && nodeType == CMarkup::NT_PROCESSING_INSTRUCTION && nodeLength)
        return nodeOffset + 2;
    return -1;
}
} // namespace

wstring16 CMarkup::x_GetAttrib(int i, MCD_CSTR name) const {
    const int tag = attribTagOffset(i, mainPos, nodeType, nodeOffset, nodeLength, elemPosArray[i]);
    if (tag < 0 || !name.text) return wstring16();
    TokenPos token(docText.c_str(), docFlags);
    token.next = tag;
    if (!x_FindAttrib(token, name.text)) return wstring16();
    return UnescapeText(docText.c_str() + token.left, token.right - token.left + 1);
}

wstring16 CMarkup::GetAttribName(int n) const {
    const int tag =
        attribTagOffset(mainPos, mainPos, nodeType, nodeOffset, nodeLength, elemPosArray[mainPos]);
    if (tag < 0) return wstring16();
    TokenPos token(docText.c_str(), docFlags);
    token.next = tag;
    return x_FindAttrib(token, nullptr, n) ? x_GetToken(token) : wstring16();
}

wstring16 CMarkup::x_GetElemContent(int i) const {
    if (!i) return wstring16();
    const ElemPos& e = elemPosArray[i];
    const int n = e.ContentLen();
    return n > 0 ? docText.substr(size_t(e.ContentStart()), size_t(n)) : wstring16();
}

wstring16 CMarkup::x_GetSubDoc(int i) const {
    if (!i) return wstring16();
    const ElemPos& e = elemPosArray[i];
    const int end = endOverSpace(docText.c_str(), int(docText.size()), e.EndOffset());
    return docText.substr(size_t(e.start), size_t(end - e.start));
}

wstring16 CMarkup::x_GetPath(int i) const {
    wstring16 path;
    for (; i; i = elemPosArray[i].parent) {
        const wstring16 name = x_GetTagName(i);
        const int parent = elemPosArray[i].parent;
        int rank = 1;
        for (int p = x_FindElem(parent, 0, name); p && p != i; p = x_FindElem(parent, p, name))
            ++rank;
        wstring16 level = W16("/") + name;
        if (rank > 1) level += pf::format(W16("[%d]"), rank);
        path.insert(0, level);
    }
    return path;
}
