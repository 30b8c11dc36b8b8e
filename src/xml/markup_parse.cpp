// CMarkup: the node scanner, the element builder, the document parse and the small
// tokenizers that navigation and editing share.
//
// The scanner classifies the node at a given offset and finds its end in one pass
// over the units, copying nothing but a tag's or target's name. The builder keeps a
// stack of open start tags, links a record for each element and, instead of stopping
// at ill-formed markup, recovers: a stray end tag is skipped, an element whose end tag
// never comes keeps only its start tag and hands its children to its parent, and
// ill-formed nodes are passed over. Only the first problem is described.
#include <pubfunc/markup.h>

#include "core/format.h"
#include "core/simd.h"
#include "xml/markup_chars.h"

#include <cstdint>
#include <utility>
#include <vector>

using namespace pf::xml;

namespace {

using ElemPos = CMarkup::ElemPos;
using NodePos = CMarkup::NodePos;

// The scanner's results: a node type (a start tag gives NT_ELEMENT), an end tag,
// ill-formed markup or the end of the text.
enum ScanType {
    kEndOfText = -2,
    kIllFormed = -1,
    kEndTag = 0,
    kStartTag = CMarkup::NT_ELEMENT,
    kText = CMarkup::NT_TEXT,
    kWhitespaceNode = CMarkup::NT_WHITESPACE,
    kCData = CMarkup::NT_CDATA_SECTION,
    kProcessing = CMarkup::NT_PROCESSING_INSTRUCTION,
    kComment = CMarkup::NT_COMMENT,
    kDeclaration = CMarkup::NT_DOCUMENT_TYPE
};

const wchar16* unterminatedName(bool inDeclaration, int type) {
    if (inDeclaration || type == kDeclaration) return W16("Doctype");
    switch (type) {
    case kStartTag:
        return W16("Element tag");
    case kEndTag:
        return W16("Element end tag");
    case kCData:
        return W16("CDATA Section");
    case kProcessing:
        return W16("Processing instruction");
    case kComment:
        return W16("Comment");
    default:
        return W16("tag");
    }
}

// An open start tag on the builder's stack: its offset and where its name lies in
// the text, which the parse never changes, so no name is copied.
struct OpenTag {
    int start;
    int nameStart;
    int nameLength;
};

// The first offset from i whose unit is in set, which must hold 0. Most runs in
// markup are short (a name, a small value, a '>' right away), so the first units are
// tested one at a time; a longer run is searched in blocks below end (the text's
// length, or 0 when the caller does not know it), and the rest one at a time up to
// the text's terminating 0.
constexpr int kShortRun = 8;
PF_SIMD_INLINE int findStop(const wchar16* doc, int i, int end, const pf::simd::UnitSet& set) {
    for (int k = 0; k < kShortRun; ++k, ++i)
        if (set.has(doc[i])) return i;
    if (i < end) i = pf::simd::find(doc, i, end, set);
    while (!set.has(doc[i]))
        ++i;
    return i;
}

constexpr pf::simd::UnitSet kTextStops = {{0, '<', '>', '>'}, 0};
constexpr pf::simd::UnitSet kCloseStops = {{0, '>', '>', '>'}, 0};
constexpr pf::simd::UnitSet kTagStops = {{0, '>', '=', '='}, 0};
constexpr pf::simd::UnitSet kIllFormedStops = {{0, '>', '=', '<'}, 0};
constexpr pf::simd::UnitSet kDeclarationStops = {{0, '>', '"', '\''}, 0};
// Every unit of the tag-name-end class and the 0, with the other control units.
constexpr pf::simd::UnitSet kNameStops = {{'/', '>', '/', '>'}, 0x21};

// The scanner's inner loops. Each takes the offset where a node's body begins and
// returns the offset where it stops: the '>' that ends the node, a 0 unit (the text
// ran out first) or, for an ill-formed node, a '<'.

// A tag name in the scanner runs up to a blank, '/' or '>'.
inline int tagNameEnd(const wchar16* doc, int i, int end) {
    for (;; ++i) {
        i = findStop(doc, i, end, kNameStops);
        if (isIn(doc[i], kTagNameEnd | kEnd)) return i;
    }
}

// The next '>' that has lead (termLen - 1 units) right before it, at an offset beyond
// termLen; a one-unit terminator is met by any '>'.
inline int terminatorEnd(const wchar16* doc, int i, int end, const char* lead, int termLen) {
    for (;; ++i) {
        i = findStop(doc, i, end, kCloseStops);
        if (!doc[i]) return i;
        if (i <= termLen && termLen > 1) continue;
        int k = 0;
        while (k < termLen - 1 && doc[i - termLen + 1 + k] == wchar16(lead[k]))
            ++k;
        if (k == termLen - 1) return i;
    }
}

// A markup declaration: '>' ends it outside quotation marks and apostrophes.
inline int declarationEnd(const wchar16* doc, int i, int end) {
    bool inDouble = false, inSingle = false;
    for (;; ++i) {
        i = findStop(doc, i, end, kDeclarationStops);
        const unsigned c = doc[i];
        if (!c || (c == '>' && !inDouble && !inSingle)) return i;
        if (c == '"' && !inSingle)
            inDouble = !inDouble;
        else if (c == '\'' && !inDouble)
            inSingle = !inSingle;
    }
}

// prev and prev2 after the units [from, to) went by.
inline void passed(const wchar16* doc, int from, int to, unsigned& prev, unsigned& prev2) {
    if (to - from >= 2) {
        prev2 = doc[to - 2];
        prev = doc[to - 1];
    } else if (to - from == 1) {
        prev2 = prev;
        prev = doc[from];
    }
}

// The rest of a start tag after its name, or of an ill-formed node after the unit that
// made it so. Quotes count only as attribute values: one opens right after '=' (blanks
// between allowed) and only its own quote closes it, so a '>' inside does not end the
// tag. An ill-formed node also ends before any '<'. empty (start tags) tells whether
// "/>" came right after the name, a blank or a quote. Runs that change nothing but the
// last two units seen are passed in the inner loops.
template <bool kIllFormedNode> int tagEnd(const wchar16* doc, int i, int end, bool* empty) {
    unsigned prev = 0, prev2 = 0, quote = 0;
    bool afterEquals = false;
    for (;; ++i) {
        int j = i;
        if (quote) {
            const uint16_t q = uint16_t(quote), lt = kIllFormedNode ? '<' : q;
            j = findStop(doc, j, end, {{0, q, lt, lt}, 0});
        } else if (!afterEquals) {
            j = findStop(doc, j, end, kIllFormedNode ? kIllFormedStops : kTagStops);
        }
        passed(doc, i, j, prev, prev2);
        i = j;
        const unsigned c = doc[i];
        if (!c || (kIllFormedNode && c == '<')) return i;
        if (quote) {
            quote = 0; // c is the closing quote
        } else if (c == '>') {
            if (empty) *empty = prev == '/' && (!prev2 || isIn(prev2, kEmptyGuard));
            return i;
        } else if (c == '=' && prev != '=') {
            afterEquals = true;
        } else if (afterEquals) {
            if (c == '"' || c == '\'') {
                quote = c;
                afterEquals = false;
            } else if (!isWhitespace(c)) {
                afterEquals = false;
            }
        }
        prev2 = prev;
        prev = c;
    }
}

// The scanner is the parser's hot loop and is written for the machine: one table
// lookup classifies a unit, every run that cannot end the node is passed in a tight
// inner loop, nothing is allocated except a start tag's or target's name (into a
// string the caller reuses) and an error message, and nothing is called through a
// pointer.
//
// The kind of node is told by its first units: text, whitespace, or after '<' a start
// tag, an end tag, "<?", "<!--", "<![C" (the rest of "CDATA[" is not examined), a
// markup declaration ("<!E", "<!A", "<!N") or a document type declaration ("<!D").
// Anything else makes an ill-formed node. A document type declaration runs to the
// first '>' outside its inner nodes: inside it, '<' starts an inner node scanned like
// any other, and each inner node ending with its '>' returns to the declaration.
//
// size is the text's length, or 0 when the caller does not know it. With kNames the
// name of a start tag goes into node.text, as it does for a processing instruction;
// without, its place is left in *name and nothing is copied.
template <bool kNames>
int scanNode(CMarkup::TokenPos& token, NodePos& node, int size, OpenTag* name) {
    const wchar16* const doc = token.doc;
    const int start = token.next;
    node.start = start;
    node.nodeFlags = 0;
    const auto found = [&](int type, int next) {
        token.next = next;
        node.length = next - start;
        node.nodeType = type;
        return type;
    };
    unsigned c = doc[start];
    if (!c) {
        node.length = 0;
        node.nodeType = 0;
        return kEndOfText;
    }
    if (c != '<') {
        int i = start;
        if (isWhitespace(c)) {
            while (isWhitespace(doc[++i])) {
            }
            if (doc[i] == '<' || !doc[i]) return found(kWhitespaceNode, i);
        }
        // Text: the unit that made it text is not a terminator; after it the text ends
        // before a '<', after a '>', or at the end.
        i = findStop(doc, i + 1, size, kTextStops);
        return found(kText, doc[i] == '>' ? i + 1 : i);
    }

    bool inDeclaration = false;
    int markOffset = start; // the '>' that ended the last inner node: where "Incorrect" points
    int type = kIllFormed;
    const auto unterminated = [&](int at) {
        node.text = pf::format(W16("%s at offset %d unterminated"),
                               unterminatedName(inDeclaration, type), start);
        return found(kIllFormed, at);
    };
    int i = start + 1; // the unit after a '<'
    for (;;) {
        c = doc[i];
        int end = 0;  // the '>' that ends this node
        int bad = -1; // where an ill-formed node's body begins
        const wchar16* what = nullptr;
        if (classOf(c) & kNameStart) {
            type = kStartTag;
            const int nameEnd = tagNameEnd(doc, i, size);
            if (!doc[nameEnd]) return unterminated(nameEnd);
            if (kNames) {
                node.text.assign(doc + i, size_t(nameEnd - i));
            } else {
                name->nameStart = i;
                name->nameLength = nameEnd - i;
            }
            bool empty = false;
            end = tagEnd<false>(doc, nameEnd, size, &empty);
            if (empty) node.nodeFlags |= CMarkup::NF_EMPTY_ELEMENT;
        } else if (c == '/') {
            type = kEndTag;
            const int nameEnd = tagNameEnd(doc, i + 1, size);
            if (!doc[nameEnd]) return unterminated(nameEnd);
            token.left = i + 1;
            token.right = nameEnd - 1;
            end = terminatorEnd(doc, nameEnd, size, "", 1);
        } else if (c == '?') {
            type = kProcessing;
            const int nameEnd = tagNameEnd(doc, i + 1, size);
            if (!doc[nameEnd]) return unterminated(nameEnd);
            node.text.assign(doc + i + 1, size_t(nameEnd - i - 1));
            end = terminatorEnd(doc, nameEnd, size, "?", 2);
        } else if (c == '!') {
            const unsigned d = doc[i + 1];
            // "<!-" then '-' opens a comment, "<![" then 'C' a CDATA section.
            const auto section = [&](unsigned letter, int t, const char* lead,
                                     const wchar16* name) {
                if (doc[i + 2] == letter) {
                    type = t;
                    end = terminatorEnd(doc, i + 3, size, lead, 3);
                } else {
                    bad = i + 3;
                    what = name;
                }
            };
            if (d == '-') {
                section('-', kComment, "--", W16("comment tag"));
            } else if (d == '[' && !inDeclaration) {
                section('C', kCData, "]]", W16("tag"));
            } else if (d == 'D' && !inDeclaration) {
                inDeclaration = true;
                end = i + 1; // the declaration state begins after the 'D'
            } else if (d == 'E' || d == 'A' || d == 'N') {
                type = kDeclaration;
                end = declarationEnd(doc, i + 2, size);
            } else {
                bad = i + 2;
                what = W16("! tag");
            }
        } else {
            bad = i + 1;
            what = W16("tag name character");
        }
        if (bad >= 0) {
            // The unit that made the node ill-formed may be the end of the text.
            if (!doc[bad - 1]) return unterminated(bad - 1);
            type = kIllFormed;
            node.text = pf::format(W16("Incorrect %s at offset %d"), what, markOffset);
            end = tagEnd<true>(doc, bad, size, nullptr);
            if (doc[end] == '<') return found(kIllFormed, end);
        }
        if (!doc[end]) return unterminated(end);
        if (doc[end] == '>') {
            markOffset = end;
            if (!inDeclaration) return found(type, end + 1);
        }
        // In the declaration state: skip to its final '>' or the next inner node.
        for (i = end + 1;; ++i) {
            c = doc[i];
            if (!c) return unterminated(i);
            if (c == '>') return found(kDeclaration, i + 1);
            if (c == '<') break;
        }
        ++i;
    }
}

} // namespace

int CMarkup::x_ParseNode(TokenPos& token, NodePos& node) {
    return scanNode<true>(token, node, 0, nullptr);
}

int pf::xml::scanNode(CMarkup::TokenPos& token, CMarkup::NodePos& node, int size) {
    return ::scanNode<true>(token, node, size, nullptr);
}

// Links every element of the token's text below record parent, after its existing
// children, and returns the first one created (0 if none).
//
// Open elements: container is the innermost, and the open ones above it are reached
// by parent links; open[k] holds the name and offset of the one at depth k + 1. An
// element that cannot be closed by its end tag is closed as unended: it keeps only
// its start tag and its children become its following siblings. When thousands of
// nested elements are closed that way at once each of them hands over all the
// children collected so far, so that case costs time in the square of their number.
int CMarkup::x_ParseElem(int parent, TokenPos& token) {
    errorText.clear();
    token.next = 0;
    const wchar16* const doc = token.doc;
    const bool noCase = (token.tokenFlags & DF_IGNORE_CASE) != 0;
    const int size = doc == docText.c_str()
                         ? int(docText.size())
                         : pf::u16::length(reinterpret_cast<const pf::u16::unit*>(doc));
    const int baseLevel = elemPosArray[parent].Level();
    // open[k] is the start tag of the open element at depth k + 1. The stack starts
    // with room for 6 and grows to twice its room plus 6.
    std::vector<OpenTag> open;
    open.reserve(6);
    const auto nameOf = [doc](const OpenTag& tag) {
        return wstring16(doc + tag.nameStart, size_t(tag.nameLength));
    };
    OpenTag tag{};
    NodePos node;
    int container = parent;
    int depth = 0;
    int first = 0;

    const auto illFormed = [&]() {
        elemPosArray[parent].flags |= EP_DOC_ILLFORMED;
        elemPosArray[container].flags |= EP_CONTENT_ILLFORMED;
    };
    // endTag: the end tag that forced the closing, or null at the end of the text.
    const auto closeUnended = [&](const NodePos* endTag) {
        const OpenTag& unended = open[size_t(depth - 1)];
        if (errorText.empty()) {
            if (endTag)
                errorText = pf::format(
                    W16("End tag '%s' at offset %d does not match start tag '%s' at offset %d"),
                    x_GetToken(token).c_str(), endTag->start + 1, nameOf(unended).c_str(),
                    unended.start);
            else
                errorText = pf::format(W16("Element '%s' at offset %d not ended"),
                                       nameOf(unended).c_str(), unended.start);
        }
        elemPosArray[parent].flags |= EP_DOC_ILLFORMED;
        ElemPos& e = elemPosArray[container];
        const int up = e.parent;
        e.SetEndTagLen(0);
        e.length = e.StartTagLen();
        e.flags |= EP_NOT_ENDED;
        if (e.flags & EP_CONTENT_ILLFORMED) {
            e.flags &= ~EP_CONTENT_ILLFORMED;
            elemPosArray[up].flags |= EP_CONTENT_ILLFORMED;
        }
        int child = e.firstChild;
        e.firstChild = 0;
        if (child) {
            // The children follow e in order; the first of them is no longer a first child.
            elemPosArray[child].flags &= ~EP_FIRST_CHILD;
            int before = container;
            for (; child; child = elemPosArray[child].nextSibling) {
                ElemPos& c = elemPosArray[child];
                c.parent = up;
                c.prevSibling = before;
                elemPosArray[before].nextSibling = child;
                before = child;
            }
            elemPosArray[elemPosArray[up].firstChild].prevSibling = before;
        }
        container = up;
        --depth;
        open.pop_back();
    };

    for (;;) {
        const int type = scanNode<false>(token, node, size, &tag);
        if (type == kStartTag) {
            if (node.length > ElemPos::kMaxStartTagLen || baseLevel + depth > ElemPos::kMaxLevel) {
                // The record cannot hold it: the start tag is passed over as ill-formed.
                illFormed();
                if (errorText.empty())
                    errorText =
                        node.length > ElemPos::kMaxStartTagLen
                            ? pf::format(W16("Element tag at offset %d too long"), node.start)
                            : pf::format(W16("Element '%s' at offset %d nested too deeply"),
                                         nameOf(tag).c_str(), node.start);
                continue;
            }
            const int pos = x_GetFreePos();
            if (!first) first = pos;
            ElemPos& e = elemPosArray[pos];
            ElemPos& c = elemPosArray[container];
            if (c.firstChild) {
                ElemPos& f = elemPosArray[c.firstChild];
                elemPosArray[f.prevSibling].nextSibling = pos;
                e.prevSibling = f.prevSibling;
                f.prevSibling = pos;
                e.flags = 0;
            } else {
                c.firstChild = pos;
                e.prevSibling = pos;
                e.flags = EP_FIRST_CHILD;
            }
            e.SetLevel(baseLevel + depth);
            e.parent = container;
            e.firstChild = 0;
            e.nextSibling = 0;
            e.start = node.start;
            e.length = node.length;
            e.tagLengths = unsigned(node.length);
            if (!(node.nodeFlags & NF_EMPTY_ELEMENT)) {
                container = pos;
                ++depth;
                if (open.size() == open.capacity()) open.reserve(open.capacity() * 2 + 6);
                tag.start = node.start;
                open.push_back(tag);
            }
        } else if (type == kEndTag) {
            if (node.length > ElemPos::kMaxEndTagLen) {
                illFormed();
                if (errorText.empty())
                    errorText =
                        pf::format(W16("Element end tag at offset %d too long"), node.start);
                continue;
            }
            const wchar16* name = doc + token.left;
            const int nameLen = token.right - token.left + 1;
            int k = depth - 1, match = container;
            while (k >= 0 && !nameMatches(name, nameLen, doc + open[size_t(k)].nameStart,
                                          open[size_t(k)].nameLength, noCase)) {
                --k;
                match = elemPosArray[match].parent;
            }
            if (k < 0) {
                illFormed();
                if (errorText.empty())
                    errorText = pf::format(W16("No start tag for end tag '%s' at offset %d"),
                                           x_GetToken(token).c_str(), node.start);
                continue;
            }
            ElemPos& m = elemPosArray[match];
            m.length = node.start - m.start + node.length;
            m.SetEndTagLen(node.length);
            while (depth - 1 > k)
                closeUnended(&node);
            container = m.parent;
            --depth;
            open.pop_back();
        } else if (type == kEndOfText) {
            while (depth)
                closeUnended(nullptr);
            break;
        } else if (type == kIllFormed) {
            illFormed();
            if (errorText.empty()) errorText = node.text;
        }
    }
    return first;
}

bool CMarkup::x_ParseDoc() {
    const wstring16 kept = std::move(errorText); // a file read's result, kept in front
    x_SetPos(0, 0, 0);
    savedPosMap.RemoveAll();
    freePos = 1;
    x_AllocPosArray(int(docText.size() / 64) + 8);
    deletedPos = 0;
    elemPosArray[0] = ElemPos();

    if (docText.empty()) {
        errorText = W16("Empty document");
    } else {
        TokenPos token(docText.c_str(), docFlags);
        const int first = x_ParseElem(0, token);
        ElemPos& root = elemPosArray[0];
        root.length = int(docText.size());
        if (!first) {
            errorText = W16("No root element");
        } else {
            root.firstChild = first;
            if (elemPosArray[first].nextSibling) errorText = W16("Root element has sibling");
        }
    }

    x_SetPos(0, 0, 0);
    if (!kept.empty()) errorText = errorText.empty() ? kept : kept + W16(", ") + errorText;
    return IsWellFormed();
}

bool CMarkup::SetDoc(const wchar16* text) {
    if (text)
        docText = text;
    else
        docText.clear();
    errorText.clear();
    return x_ParseDoc();
}

bool CMarkup::SetDoc(const wstring16& text) {
    docText = text;
    errorText.clear();
    return x_ParseDoc();
}

bool CMarkup::IsWellFormed() {
    if (!elemPosArray.GetSize()) return false;
    const ElemPos& root = elemPosArray[0];
    return !(root.flags & EP_DOC_ILLFORMED) && root.firstChild &&
           !elemPosArray[root.firstChild].nextSibling;
}

bool CMarkup::x_FindAny(const wchar16* doc, int& n) {
    while (isWhitespace(doc[n]))
        ++n;
    return doc[n] != 0;
}

bool CMarkup::x_FindName(TokenPos& token) {
    const wchar16* const doc = token.doc;
    int i = token.next;
    while (isWhitespace(doc[i]))
        ++i;
    token.left = i;
    if (!doc[i]) {
        token.right = i - 1;
        token.next = i;
        return false;
    }
    i = skipUntil(doc, i, kNameDelim | kEnd);
    if (i == token.left) ++i; // a delimiter is a one-unit token
    token.right = i - 1;
    token.next = i;
    return true;
}

// Reads the tag's tokens: the tag (or target) name, then attribute names, "=" and
// values. A name that matches is held until the next token shows whether a value
// follows; without one the name itself is the result.
//
// The token's fields are worked on in locals and stored once on the way out: the
// caller has just written them, and reading the structure back whole would wait on
// those writes.
bool CMarkup::x_FindAttrib(TokenPos& token, const wchar16* name, int n) {
    const wchar16* const doc = token.doc;
    int next = token.next, left = token.left, right = token.right, flags = token.tokenFlags;
    const bool noCase = (flags & DF_IGNORE_CASE) != 0;
    int count = -1; // attribute names seen; -1 while the tag name is expected
    bool valueNext = false;
    bool matched = false;
    int matchLeft = 0, matchRight = 0, matchNext = 0, matchFlags = 0;
    const auto found = [&](bool result) {
        token.left = left;
        token.right = right;
        token.next = next;
        token.tokenFlags = flags;
        return result;
    };
    for (;;) {
        const int space = next;
        while (isWhitespace(doc[next]))
            ++next;
        const unsigned c = doc[next];
        if (!c) break;
        const bool quoted = c == '"' || c == '\'';
        if (quoted) {
            flags |= TF_QUOTED;
            int j = next + 1;
            left = j;
            while (doc[j] && doc[j] != c)
                ++j;
            right = j - 1;
            next = doc[j] ? j + 1 : j;
        } else {
            flags &= ~TF_QUOTED;
            const unsigned stop = valueNext ? kValueEnd : kAttrNameEnd;
            int j = skipUntil(doc, next, stop | kEnd);
            if (j == next) ++j;
            left = next;
            right = j - 1;
            next = j;
        }
        if (valueNext) {
            valueNext = false;
            if (matched) return found(true);
            continue;
        }
        if (quoted) continue; // a quoted token where a name belongs is passed over
        if (c == '=') {
            valueNext = true;
            continue;
        }
        if (c == '/' || c == '>' || c == '?') {
            next = space; // new attributes go before the whitespace of the tag's end
            break;
        }
        if (matched) break; // the matched attribute has no value
        if (count >= 0) {
            if (!name ? count == n : nameMatches(doc + left, right - left + 1, name, noCase)) {
                if (!name) return found(true);
                matched = true;
                token.preSpaceStart = space;
                token.preSpaceLength = left - space;
                matchLeft = left;
                matchRight = right;
                matchNext = next;
                matchFlags = flags;
            }
        }
        ++count;
    }
    if (!matched) return found(false);
    left = matchLeft;
    right = matchRight;
    next = matchNext;
    flags = matchFlags;
    return found(true);
}

wstring16 CMarkup::x_GetToken(const TokenPos& token) {
    if (token.right < token.left) return wstring16();
    return wstring16(token.doc + token.left, size_t(token.right - token.left + 1));
}
