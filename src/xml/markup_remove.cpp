// CMarkup: removing elements and nodes.
//
// A removal cuts a span out of the text, shifts the records after it back, unlinks
// the removed element and releases its records with their whole subtree, and
// forgets the names saved on them. The cursor then rests on what came before the
// removed item, so that a loop of find and remove goes on naturally.
#include <pubfunc/markup.h>

#include "xml/markup_chars.h"

#include <algorithm>

using namespace pf::xml;

namespace {
using ElemPos = CMarkup::ElemPos;
} // namespace

int CMarkup::x_UnlinkElem(int i) {
    const ElemPos& e = elemPosArray[i];
    ElemPos& p = elemPosArray[e.parent];
    int before = 0;
    if (p.firstChild == i) {
        p.firstChild = e.nextSibling;
        if (e.nextSibling) {
            ElemPos& next = elemPosArray[e.nextSibling];
            next.prevSibling = e.prevSibling;
            next.flags |= EP_FIRST_CHILD;
        }
    } else {
        before = e.prevSibling;
        elemPosArray[before].nextSibling = e.nextSibling;
        elemPosArray[e.nextSibling ? e.nextSibling : p.firstChild].prevSibling = before;
    }
    x_ReleaseSubDoc(i);
    return before;
}

int CMarkup::x_RemoveElem(int i) {
    const int start = elemPosArray[i].start;
    const int length =
        endOverSpace(docText.c_str(), int(docText.size()), elemPosArray[i].EndOffset()) - start;
    x_DocChange(start, length, wstring16());
    x_Adjust(i, -length, true);
    const int before = x_UnlinkElem(i);
    x_CheckSavedPos();
    return before;
}

bool CMarkup::RemoveElem() {
    if (!mainPos || nodeType != NT_ELEMENT) return false;
    x_SetPos(parentPos, x_RemoveElem(mainPos), 0);
    return true;
}

bool CMarkup::RemoveChildElem() {
    if (!childPos) return false;
    x_SetPos(parentPos, mainPos, x_RemoveElem(childPos));
    return true;
}

bool CMarkup::RemoveNode() {
    if (!mainPos && !nodeLength) return false;
    childPos = 0;
    x_RemoveNode(parentPos, mainPos, nodeType, nodeOffset, nodeLength);
    return true;
}

// elem, type, offset and length describe the current node on entry (an element when
// type is NT_ELEMENT) and the node before it on return.
void CMarkup::x_RemoveNode(int parent, int& elem, int& type, int& offset, int& length) {
    const int removed = type;
    int spanStart = offset, spanLength = length;
    if (removed == NT_ELEMENT) {
        spanStart = elemPosArray[elem].start;
        spanLength = elemPosArray[elem].length;
        elem = x_UnlinkElem(elem);
        x_CheckSavedPos();
    }
    // The last node between the element before the span (or the parent's content
    // start) and the span, cut where the span begins.
    NodePos node;
    TokenPos token(docText.c_str(), docFlags);
    token.next = elem ? elemPosArray[elem].EndOffset() : elemPosArray[parent].ContentStart();
    type = elem ? NT_ELEMENT : 0;
    offset = length = 0;
    while (token.next < spanStart) {
        const int scanned = x_ParseNode(token, node);
        if (scanned == -2) break;
        type = contentNodeType(scanned, node.length);
        offset = node.start;
        length = std::min(token.next, spanStart) - node.start;
    }
    x_DocChange(spanStart, spanLength, wstring16());
    x_AdjustForNode(parent, elem, -spanLength);
    if (removed != NT_LONE_END_TAG) return;

    // The parent's content is clean again when a rescan, stepping over its child
    // elements by their records, meets no end tag and no ill-formed markup.
    const ElemPos& p = elemPosArray[parent];
    const int end = p.ContentStart() + p.ContentLen();
    TokenPos rescan(docText.c_str(), docFlags);
    rescan.next = p.ContentStart();
    for (int child = p.firstChild; rescan.next < end;) {
        const int limit = child ? elemPosArray[child].start : end;
        if (rescan.next == limit) {
            rescan.next = elemPosArray[child].EndOffset();
            child = elemPosArray[child].nextSibling;
            continue;
        }
        const int scanned = x_ParseNode(rescan, node);
        if (scanned <= 0 || scanned == NT_ELEMENT || rescan.next > limit) return;
    }
    elemPosArray[parent].flags &= ~EP_CONTENT_ILLFORMED;
}
