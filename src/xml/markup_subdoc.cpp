// CMarkup: markup given as text, added as a sub-document or put in as an element's
// whole content.
//
// The caller's text is parsed on its own, below a scratch record, so that its
// elements get records with offsets into that text; once the text is spliced in,
// one shift from the first new record (a walk that ends at the scratch record)
// moves them into document coordinates, and they are relinked under their real
// parent. The scratch record is then released.
#include <pubfunc/markup.h>

namespace {
using ElemPos = CMarkup::ElemPos;
} // namespace

// The scratch record sits where the receiver's children do, so the new elements get
// the levels of their place: one below the receiver, or 0 at the document level.
int CMarkup::x_ParseScratch(int receiver, const wchar16* text) {
    const int scratch = x_GetFreePos();
    elemPosArray[scratch] = ElemPos();
    elemPosArray[scratch].SetLevel(receiver ? elemPosArray[receiver].Level() + 1 : 0);
    TokenPos token(text ? text : W16(""), docFlags);
    x_ParseElem(scratch, token);
    return scratch;
}

// A text with no element at all still goes in; the shift after it is anchored like
// that of a node at the same place (after the element before it, or on the parent).
bool CMarkup::x_AddSubDoc(MCD_CSTR subDoc, int flags) {
    int parent, before;
    NodePos node;
    if (!x_NewPlace(flags, parent, before, node)) return false;
    if (!x_CanContain(parent, true)) return false;
    const wchar16* const text = subDoc.text ? subDoc.text : W16("");
    const int scratch = x_ParseScratch(parent, text);
    const int first = elemPosArray[scratch].firstChild;
    const int scratchFlags = elemPosArray[scratch].flags;
    if (scratchFlags & EP_CONTENT_ILLFORMED) elemPosArray[parent].flags |= EP_CONTENT_ILLFORMED;
    const bool wellFormed = first && !(scratchFlags & EP_DOC_ILLFORMED);
    const bool single = wellFormed && !elemPosArray[first].nextSibling;
    int from = 0; // where the spliced markup starts in the caller's text
    if (wellFormed) {
        from = elemPosArray[first].start;
        node.text.assign(text + from,
                         size_t(elemPosArray[elemPosArray[first].prevSibling].EndOffset() - from));
    } else {
        node.text = text;
        flags |= NF_NO_LINES;
    }
    node.nodeFlags = flags;
    const int replaced = x_InsertNew(parent, before, node);
    const int shift = node.start - from;
    if (first && shift) {
        elemPosArray[first].start += shift;
        x_Adjust(first, shift);
    }
    int last = 0;
    for (int k = first; k;) {
        const int next = elemPosArray[k].nextSibling;
        x_LinkElem(parent, last ? last : before, k);
        last = k;
        k = next;
    }
    x_ReleasePos(scratch);
    const int delta = int(node.text.size()) - replaced;
    if (last)
        x_Adjust(last, delta, true);
    else
        x_AdjustForNode(parent, before, delta);
    if (flags & NF_CHILD)
        x_SetPos(parentPos, mainPos, first);
    else
        x_SetPos(parentPos, first, 0);
    return single;
}

bool CMarkup::x_SetElemContent(MCD_CSTR content) {
    if (!mainPos || nodeLength || !x_CanContain(mainPos, true)) return false;
    if (int child = elemPosArray[mainPos].firstChild) {
        while (child)
            child = x_ReleaseSubDoc(child);
        elemPosArray[mainPos].firstChild = 0;
        x_CheckSavedPos();
    }
    const wchar16* const text = content.text ? content.text : W16("");
    const int scratch = x_ParseScratch(mainPos, text);
    const int first = elemPosArray[scratch].firstChild;
    const int scratchFlags = elemPosArray[scratch].flags;
    ElemPos& main = elemPosArray[mainPos];
    main.flags = (main.flags & ~EP_CONTENT_ILLFORMED) | (scratchFlags & EP_CONTENT_ILLFORMED);
    NodePos node;
    node.text = text;
    node.nodeFlags = NF_REPLACE | NF_NO_LINES;
    int before = 0;
    const int replaced = x_InsertNew(mainPos, before, node);
    if (first) {
        elemPosArray[first].start += node.start;
        x_Adjust(first, node.start);
        for (int k = first; k; k = elemPosArray[k].nextSibling)
            elemPosArray[k].parent = mainPos;
    }
    elemPosArray[mainPos].firstChild = first;
    x_ReleasePos(scratch);
    const int delta = int(node.text.size()) - replaced;
    x_Adjust(mainPos, delta, true);
    elemPosArray[mainPos].length += delta;
    x_SetPos(parentPos, mainPos, 0);
    return !(scratchFlags & EP_DOC_ILLFORMED);
}
