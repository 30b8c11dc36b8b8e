// CMarkup: editing. Each edit is one splice of the text followed by one walk that
// shifts the records after the splice, so that the index describes the text exactly
// without a reparse.
//
// Shifting (x_Adjust) visits the records that follow an element in document order:
// its following siblings with their subtrees, then each enclosing element, whose
// length takes the shift, and that element's following siblings, and so on up to
// record 0. With afterPos the element's own subtree stays put (the element itself
// was inserted or removed as a whole); without it the subtree moves too (its start
// tag changed size). Record 0 and a scratch record, which have no start tag, end
// every walk.
//
// Placement (x_InsertNew) decides where new markup goes relative to the current
// node, a sibling element or the parent, and the line breaks around it: markup
// added after something goes past the whitespace that follows it, a CR LF follows
// the new markup, and an empty parent ("<p/>", or one without end tag) is opened up
// with an end tag of its own name.
//
// Limits: a record packs a start tag of 4,194,303 units, an end tag of 1,023 and a
// level of 65,535. An edit that would need more is refused before anything
// changes, as the parser leaves such markup out of its index.
#include <pubfunc/markup.h>

#include "core/format.h"
#include "xml/markup_chars.h"

using namespace pf::xml;

namespace {
using ElemPos = CMarkup::ElemPos;
const wchar16* orEmpty(const wchar16* s) {
    return s ? s : W16("");
}
} // namespace

// An empty parent is opened up with an end tag of its own name, which must fit a
// record; new elements go one level below the parent.
bool CMarkup::x_CanContain(int parent, bool elements) const {
    if (!parent) return true;
    const ElemPos& p = elemPosArray[parent];
    if (elements && p.Level() >= ElemPos::kMaxLevel) return false;
    return !p.IsEmptyElement() || int(x_GetTagName(parent).size()) + 3 <= ElemPos::kMaxEndTagLen;
}

// Capacity grows by half again plus 128 units, so a run of additions reallocates
// rarely.
void CMarkup::x_DocChange(int offset, int length, const wstring16& text) {
    const size_t size = docText.size() - size_t(length) + text.size();
    if (size > docText.capacity()) docText.reserve(size + size / 2 + 128);
    docText.replace(size_t(offset), size_t(length), text);
}

void CMarkup::x_Adjust(int i, int shift, bool afterPos) {
    if (!elemPosArray[i].StartTagLen()) return;
    int top = elemPosArray[i].parent;
    for (int r = i;; afterPos = false) {
        int next = 0;
        if (r == top)
            top = elemPosArray[r].parent;
        else if (!afterPos)
            next = elemPosArray[r].firstChild;
        if (!next) {
            // The next sibling of r, else of its nearest ancestor below the top, else
            // the top (which may be record 0).
            int s = r;
            while (s != top && !elemPosArray[s].nextSibling)
                s = elemPosArray[s].parent;
            next = s == top ? top : elemPosArray[s].nextSibling;
        }
        r = next;
        ElemPos& e = elemPosArray[r];
        if (r == top)
            e.length += shift;
        else
            e.start += shift;
        if (!e.StartTagLen()) return;
    }
}

// A change at a node that lies after element before (0: before every element of
// parent).
void CMarkup::x_AdjustForNode(int parent, int before, int shift) {
    if (before) return x_Adjust(before, shift, true);
    const int first = elemPosArray[parent].firstChild;
    if (first) {
        elemPosArray[first].start += shift;
        x_Adjust(first, shift);
    } else {
        elemPosArray[parent].length += shift;
        x_Adjust(parent, shift, true);
    }
}

// Links i after before (0: as the first child) under parent.
void CMarkup::x_LinkElem(int parent, int before, int i) {
    ElemPos& e = elemPosArray[i];
    ElemPos& p = elemPosArray[parent];
    e.parent = parent;
    if (before) {
        ElemPos& b = elemPosArray[before];
        e.flags &= ~EP_FIRST_CHILD;
        e.nextSibling = b.nextSibling;
        elemPosArray[e.nextSibling ? e.nextSibling : p.firstChild].prevSibling = i;
        b.nextSibling = i;
        e.prevSibling = before;
    } else {
        e.flags |= EP_FIRST_CHILD;
        e.nextSibling = p.firstChild;
        e.prevSibling = i;
        if (p.firstChild) {
            ElemPos& f = elemPosArray[p.firstChild];
            e.prevSibling = f.prevSibling;
            f.prevSibling = i;
            f.flags &= ~EP_FIRST_CHILD;
        }
        p.firstChild = i;
    }
    if (parent) e.SetLevel(p.Level() + 1);
}

// node: the current node (start, length; length 0 for none), the flags and the
// markup. Afterwards node.start is where the markup begins, node.length its length
// and node.text what was spliced in; before is the element the new one links after.
int CMarkup::x_InsertNew(int parent, int& before, NodePos& node) {
    ElemPos& p = elemPosArray[parent];
    const int flags = node.nodeFlags;
    const bool insert = (flags & NF_INSERT) != 0, lines = !(flags & NF_NO_LINES);
    const bool emptyTag = parent && p.IsEmptyElement();
    const bool noContent = parent && !p.ContentLen();
    // The offset of the markup; in an empty parent, where its content will start.
    int offset;
    if (node.length)
        offset = insert ? node.start : node.start + node.length;
    else if (before)
        offset = insert ? elemPosArray[before].start : elemPosArray[before].EndOffset();
    else if (emptyTag)
        offset = p.ContentStart() - (p.flags & EP_NOT_ENDED ? 0 : 1);
    else if (flags & (NF_INSERT | NF_REPLACE))
        offset = p.ContentStart();
    else
        offset = p.EndOffset() - p.EndTagLen();
    if (lines && !(flags & NF_REPLACE) && !emptyTag)
        offset = endOverSpace(docText.c_str(), int(docText.size()), offset);
    if (!node.length) {
        if (insert && before)
            before = p.firstChild == before ? 0 : elemPosArray[before].prevSibling;
        else if (!insert && !before)
            before = p.firstChild ? elemPosArray[p.firstChild].prevSibling : 0;
    }

    node.length = int(node.text.size());
    node.start = offset;
    if (lines) {
        node.text += W16("\r\n");
        if (emptyTag || noContent) node.start += 2;
    }
    int at = offset, replaced = 0;
    if (emptyTag) {
        // In front of the start tag's final '>', or over the '/' of its "/>": that
        // '>' then closes the new end tag.
        const wstring16 name = x_GetTagName(parent);
        node.text.insert(0, lines ? W16(">\r\n") : W16(">"));
        node.text += W16("</");
        node.text += name;
        at = offset - 1;
        if (p.flags & EP_NOT_ENDED) {
            p.flags &= ~EP_NOT_ENDED;
        } else {
            replaced = 1;
            p.SetStartTagLen(p.StartTagLen() - 1);
        }
        p.SetEndTagLen(int(name.size()) + 3);
    } else if (flags & NF_REPLACE) {
        replaced = p.ContentLen();
    } else if (noContent && lines) {
        node.text.insert(0, W16("\r\n"));
    }
    x_DocChange(at, replaced, node.text);
    return replaced;
}

// Every "]]>" in the text closes the section after "]]" and opens a new one for ">".
wstring16 CMarkup::x_EncodeCDATASection(MCD_CSTR text) {
    const wstring16 s = orEmpty(text.text);
    wstring16 out = W16("<![CDATA[");
    size_t from = 0;
    for (size_t at; (at = s.find(W16("]]>"), from)) != wstring16::npos; from = at + 3) {
        out.append(s, from, at - from);
        out += W16("]]]]><![CDATA[>");
    }
    out.append(s, from, wstring16::npos);
    return out + W16("]]>");
}

// False for a lone end tag, a CDATA text that would end the section early, and a
// value that is no node type.
bool CMarkup::x_CreateNode(wstring16& markup, int type, MCD_CSTR text) {
    const wstring16 t = orEmpty(text.text);
    switch (type) {
    case NT_ELEMENT:
        markup = W16("<") + t + W16("/>");
        return true;
    case NT_TEXT:
    case NT_WHITESPACE:
        markup = EscapeText(t);
        return true;
    case NT_CDATA_SECTION:
        if (t.find(W16("]]>")) != wstring16::npos) return false;
        markup = W16("<![CDATA[") + t + W16("]]>");
        return true;
    case NT_PROCESSING_INSTRUCTION:
        markup = W16("<?") + t + W16("?>");
        return true;
    case NT_COMMENT:
        markup = W16("<!--") + t + W16("-->");
        return true;
    case NT_DOCUMENT_TYPE:
        markup = t;
        return true;
    default:
        return false;
    }
}

// Where a new element or sub-document goes: under the main element beside the
// child position (NF_CHILD; none without a main element), or beside the main
// position and the current node.
bool CMarkup::x_NewPlace(int flags, int& parent, int& before, NodePos& node) const {
    parent = parentPos;
    before = mainPos;
    if (flags & NF_CHILD) {
        if (!mainPos) return false;
        parent = mainPos;
        before = childPos;
    } else {
        node.start = nodeOffset;
        node.length = nodeLength;
    }
    return true;
}

bool CMarkup::x_AddElem(MCD_CSTR name, MCD_CSTR value, int flags) {
    const wstring16 tag = orEmpty(name.text);
    const bool hasValue = value.text && value.text[0], noEnd = (flags & NF_NO_END) != 0;
    int parent, before;
    NodePos node;
    if (!x_NewPlace(flags, parent, before, node)) return false;
    if (noEnd && hasValue) return false;
    const int n = int(tag.size());
    int startTag = n + 2, endTag = 0;
    if (hasValue) {
        const wstring16 text =
            flags & NF_WITH_CDATA ? x_EncodeCDATASection(value) : EscapeText(value, flags);
        node.text = W16("<") + tag + W16(">") + text + W16("</") + tag + W16(">");
        endTag = n + 3;
    } else if (noEnd) {
        node.text = W16("<") + tag + W16(">");
    } else {
        const bool space = (flags & NF_XHTML_SPACE) != 0;
        node.text = W16("<") + tag + (space ? W16(" />") : W16("/>"));
        startTag = n + (space ? 4 : 3);
    }
    if (!x_CanContain(parent, true) || startTag > ElemPos::kMaxStartTagLen ||
        endTag > ElemPos::kMaxEndTagLen)
        return false;

    const int pos = x_GetFreePos();
    node.nodeFlags = flags;
    const int replaced = x_InsertNew(parent, before, node);
    ElemPos& e = elemPosArray[pos];
    e.start = node.start;
    e.length = node.length;
    e.tagLengths = 0;
    e.SetStartTagLen(startTag);
    e.SetEndTagLen(endTag);
    e.firstChild = 0;
    e.flags = noEnd ? EP_NOT_ENDED : 0;
    x_LinkElem(parent, before, pos);
    x_Adjust(pos, int(node.text.size()) - replaced);
    if (flags & NF_CHILD)
        x_SetPos(parentPos, mainPos, pos);
    else
        x_SetPos(parent, pos, 0);
    return true;
}

bool CMarkup::x_AddElem(MCD_CSTR name, int value, int flags) {
    return x_AddElem(name, pf::format(W16("%d"), value), flags);
}

// A node of no units is refused: it could not be the current node.
bool CMarkup::x_AddNode(int type, MCD_CSTR text, int flags) {
    NodePos node;
    if (!x_CreateNode(node.text, type, text) || node.text.empty()) return false;
    const bool element = type == NT_ELEMENT;
    if (!x_CanContain(parentPos, element) ||
        (element && int(node.text.size()) > ElemPos::kMaxStartTagLen))
        return false;
    if (type != NT_PROCESSING_INSTRUCTION && type != NT_COMMENT && type != NT_DOCUMENT_TYPE)
        flags |= NF_NO_LINES;
    node.nodeFlags = flags;
    node.start = nodeOffset;
    node.length = nodeLength;
    int before = mainPos;
    const int pos = element ? x_GetFreePos() : 0;
    const int replaced = x_InsertNew(parentPos, before, node);
    if (element) {
        ElemPos& e = elemPosArray[pos];
        e.start = node.start;
        e.length = node.length;
        e.tagLengths = unsigned(node.length);
        e.firstChild = 0;
        e.flags = 0;
        x_LinkElem(parentPos, before, pos);
        before = pos;
    }
    x_AdjustForNode(parentPos, before, int(node.text.size()) - replaced);
    mainPos = before;
    childPos = 0;
    nodeType = type;
    nodeOffset = element ? 0 : node.start;
    nodeLength = element ? 0 : node.length;
    return true;
}

// The attribute search may leave the tag where the scanner and the tokenizer read
// quotes differently (a quote that follows no '='); such an edit, which would land
// outside the tag or over its closing "/>", ">" or "?>", is refused.
bool CMarkup::x_SetAttrib(int i, MCD_CSTR name, MCD_CSTR value) {
    int tag, tagEnd;
    if (i && nodeType == NT_ELEMENT) {
        const ElemPos& e = elemPosArray[i];
        const bool closesEmpty = e.IsEmptyElement() && !(e.flags & EP_NOT_ENDED);
        tag = e.start + 1;
        tagEnd = e.start + e.StartTagLen() - (closesEmpty ? 2 : 1);
    } else if (i == mainPos && nodeType == NT_PROCESSING_INSTRUCTION && nodeLength) {
        tag = nodeOffset + 2;
        tagEnd = nodeOffset + nodeLength - 2;
    } else {
        return false;
    }
    const wchar16* attrib = orEmpty(name.text);
    wstring16 text = W16("\"") + EscapeText(value, NF_ESCAPE_QUOTES) + W16("\"");
    TokenPos token(docText.c_str(), docFlags);
    token.next = tag;
    int at = token.next, replaced = 0;
    if (x_FindAttrib(token, attrib)) {
        const bool quoted = (token.tokenFlags & TF_QUOTED) != 0;
        at = quoted ? token.left - 1 : token.left;
        replaced = (quoted ? token.next : token.right + 1) - at;
    } else {
        at = token.next;
        text = W16(" ") + wstring16(attrib) + W16("=") + text;
    }
    const int shift = int(text.size()) - replaced;
    if (at + replaced > tagEnd) return false;
    if (nodeType == NT_ELEMENT) {
        ElemPos& e = elemPosArray[i];
        if (e.StartTagLen() + shift > ElemPos::kMaxStartTagLen) return false;
        x_DocChange(at, replaced, text);
        e.SetStartTagLen(e.StartTagLen() + shift);
        e.length += shift;
        x_Adjust(i, shift);
    } else {
        x_DocChange(at, replaced, text);
        x_AdjustForNode(parentPos, mainPos, shift);
        nodeLength += shift;
    }
    return true;
}

bool CMarkup::x_SetAttrib(int i, MCD_CSTR name, int value) {
    return x_SetAttrib(i, name, pf::format(W16("%d"), value));
}

bool CMarkup::x_SetData(int i, MCD_CSTR value, int flags) {
    if (i == mainPos && nodeLength) {
        wstring16 markup;
        if (!x_CreateNode(markup, nodeType, value) || markup.empty()) return false;
        x_DocChange(nodeOffset, nodeLength, markup);
        x_AdjustForNode(parentPos, i, int(markup.size()) - nodeLength);
        nodeLength = int(markup.size());
        return true;
    }
    if (!i || elemPosArray[i].firstChild || !x_CanContain(i, false)) return false;
    NodePos node;
    node.text = flags & NF_WITH_CDATA ? x_EncodeCDATASection(value) : EscapeText(value, flags);
    node.nodeFlags = NF_REPLACE | NF_NO_LINES;
    int before = 0;
    const int replaced = x_InsertNew(i, before, node);
    const int shift = int(node.text.size()) - replaced;
    x_Adjust(i, shift);
    ElemPos& e = elemPosArray[i];
    e.length += shift;
    e.flags &= ~EP_CONTENT_ILLFORMED;
    return true;
}

bool CMarkup::x_SetData(int i, int value) {
    return x_SetData(i, pf::format(W16("%d"), value), 0);
}
