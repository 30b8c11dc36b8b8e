// CMarkup: the node scanner, the element builder, the document parse and the small
// tokenizers that navigation and editing share.
//
// The scanner classifies the node at a given offset and finds its end in one pass
// over the units, copying nothing but a start tag's name. The builder keeps a stack
// of open start tags, links a record for each element and, instead of stopping at
// ill-formed markup, recovers: a stray end tag is skipped, an element whose end tag
// never comes keeps only its start tag and hands its children to its parent, and
// ill-formed nodes are passed over. Only the first problem is described.
#include <pubfunc/markup.h>

#include "core/format.h"
#include "xml/markup_chars.h"

#include <memory>
#include <utility>

using namespace pf::xml;

namespace {

using ElemPos = CMarkup::ElemPos;
using NodePos = CMarkup::NodePos;

// What the name collected by the scanner belongs to.
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

// The builder's stack of open start tags (name and offset in text and start). It
// starts with room for 6 and grows to twice as many plus 6; slot [depth] above the
// open ones is where the next node is scanned, so a start tag's name lands in place.
class OpenTags {
public:
    OpenTags() : slots_(new NodePos[6]), capacity_(6) {}
    NodePos& operator[](int i) { return slots_[i]; }
    void ensureSlot(int i) {
        if (i < capacity_) return;
        const int capacity = capacity_ * 2 + 6;
        std::unique_ptr<NodePos[]> grown(new NodePos[capacity]);
        for (int k = 0; k < capacity_; ++k)
            grown[k] = std::move(slots_[k]);
        slots_ = std::move(grown);
        capacity_ = capacity;
    }

private:
    std::unique_ptr<NodePos[]> slots_;
    int capacity_;
};

} // namespace

// The scanner is the parser's hot loop and is written for the machine: one table
// lookup classifies a unit, runs of text and quoted attribute values are skipped in
// tight inner loops, nothing is allocated except a start tag's name (into a string
// the caller reuses) and an error message, and nothing is called through a pointer.
//
// Phases: until the node's kind is known the first units are classified one by one
// (First .. AfterLtBangBracket); a document type declaration stays in Declaration
// between its inner nodes; once a terminator is known (Body) the node runs to it.
// prev and prev2 are the two units before the current one in the Body, 0 where the
// tag name ended; they tell "/>" after a name or a value from "/>" after a value.
int CMarkup::x_ParseNode(TokenPos& token, NodePos& node) {
    enum Phase {
        First,
        Whitespace,
        AfterLt,
        AfterLtBang,
        AfterLtBangDash,
        AfterLtBangBracket,
        Declaration,
        Body
    };
    const wchar16* const doc = token.doc;
    int i = token.next;
    node.start = i;
    node.nodeFlags = 0;
    if (!doc[i]) {
        node.length = 0;
        node.nodeType = 0;
        return kEndOfText;
    }

    Phase phase = First;
    bool inDeclaration = false;
    int type = kIllFormed;
    const char* terminator = nullptr; // units before the final one of a longer terminator
    int termLen = 0;                  // 0: none known yet
    int nameStart = -1;               // a name is being collected from here
    unsigned prev = 0, prev2 = 0;
    int markOffset = node.start; // the last '>' outside quotes: where "Incorrect" points
    unsigned quote = 0;          // the quote of an open attribute value (types 1 and -1)
    bool afterEquals = false;
    bool inDouble = false, inSingle = false; // quoted parts of a declaration (type 64)

    const auto found = [&](int t, int next) {
        token.next = next;
        node.length = next - node.start;
        node.nodeType = t;
        return t;
    };
    const auto incorrect = [&](const wchar16* what) {
        type = kIllFormed;
        terminator = ">";
        termLen = 1;
        phase = Body;
        node.text = pf::format(W16("Incorrect %s at offset %d"), what, markOffset);
    };
    const auto begin = [&](int t, const char* term, int len) {
        type = t;
        terminator = term;
        termLen = len;
        phase = Body;
    };

    for (;; ++i) {
        unsigned c = doc[i];
        if (!c) break;

        if (nameStart >= 0) {
            while (c && !(classOf(c) & kTagNameEnd))
                c = doc[++i];
            if (!c) break;
            if (type == kEndTag) {
                token.left = nameStart;
                token.right = i - 1;
            } else {
                node.text.assign(doc + nameStart, size_t(i - nameStart));
            }
            nameStart = -1;
            prev = prev2 = 0;
        }

        if (phase != Body) {
            switch (phase) {
            case First:
                if (c == '<') {
                    phase = AfterLt;
                } else if (isWhitespace(c)) {
                    phase = Whitespace;
                    type = kWhitespaceNode;
                } else {
                    begin(kText, "<", 1);
                }
                break;
            case Whitespace:
                if (c == '<') return found(kWhitespaceNode, i);
                if (!isWhitespace(c)) begin(kText, "<", 1);
                break;
            case AfterLt:
                if (classOf(c) & kNameStart) {
                    begin(kStartTag, ">", 1);
                    nameStart = i;
                } else if (c == '/') {
                    begin(kEndTag, ">", 1);
                    nameStart = i + 1;
                } else if (c == '?') {
                    begin(kProcessing, "?>", 2);
                    nameStart = i + 1;
                } else if (c == '!') {
                    phase = AfterLtBang;
                } else {
                    incorrect(W16("tag name character"));
                }
                break;
            case AfterLtBang:
                if (c == '-') {
                    phase = AfterLtBangDash;
                } else if (c == '[' && !inDeclaration) {
                    phase = AfterLtBangBracket;
                } else if (c == 'D' && !inDeclaration) {
                    phase = Declaration;
                    inDeclaration = true;
                } else if (c == 'E' || c == 'A' || c == 'N') {
                    begin(kDeclaration, ">", 1);
                } else {
                    incorrect(W16("! tag"));
                }
                break;
            case AfterLtBangDash:
                if (c == '-')
                    begin(kComment, "-->", 3);
                else
                    incorrect(W16("comment tag"));
                break;
            case AfterLtBangBracket:
                if (c == 'C')
                    begin(kCData, "]]>", 3);
                else
                    incorrect(W16("tag"));
                break;
            case Declaration:
                if (c == '<') phase = AfterLt;
                if (c == '>') return found(kDeclaration, i + 1);
                break;
            case Body:
                break;
            }
            if (type == kText && phase == Body) {
                // Text ends at the next '<' (before it) or '>' (after it).
                while (!(classOf(doc[i + 1]) & kTextStop))
                    ++i;
            }
            continue;
        }

        if (c == '<' && (type == kText || type == kIllFormed)) return found(type, i);
        if (c == '>' && !quote && !inDouble && !inSingle) {
            markOffset = i;
            if (type == kStartTag && prev == '/' && (!prev2 || (classOf(prev2) & kEmptyGuard)))
                node.nodeFlags |= NF_EMPTY_ELEMENT;
            bool met = termLen == 1;
            if (!met && i > termLen) {
                met = true;
                for (int k = 0; k < termLen - 1; ++k)
                    met = met && doc[i - termLen + 1 + k] == wchar16(terminator[k]);
            }
            if (met) {
                if (!inDeclaration) return found(type, i + 1);
                termLen = 0;
                phase = Declaration;
                continue;
            }
        }
        if (type == kDeclaration) {
            if (c == '"' && !inSingle)
                inDouble = !inDouble;
            else if (c == '\'' && !inDouble)
                inSingle = !inSingle;
        } else if (type == kStartTag || type == kIllFormed) {
            if (quote) {
                if (c == quote) {
                    quote = 0;
                } else if (type == kStartTag) {
                    // Inside a value only its closing quote matters to a start tag.
                    int j = i;
                    while (doc[j + 1] && doc[j + 1] != quote)
                        ++j;
                    if (j > i) {
                        prev = doc[j - 1];
                        c = doc[j];
                        i = j;
                    }
                }
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
        }
        prev2 = prev;
        prev = c;
    }

    // The end of the text: text and whitespace simply end; anything else is cut short.
    if (type == kText || phase == Whitespace) return found(type, i);
    node.text = pf::format(W16("%s at offset %d unterminated"),
                           unterminatedName(inDeclaration, type), node.start);
    return found(kIllFormed, i);
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
    const int baseLevel = elemPosArray[parent].Level();
    OpenTags open;
    int container = parent;
    int depth = 0;
    int first = 0;

    const auto illFormed = [&]() {
        elemPosArray[parent].flags |= EP_DOC_ILLFORMED;
        elemPosArray[container].flags |= EP_CONTENT_ILLFORMED;
    };
    // endTag: the end tag that forced the closing, or null at the end of the text.
    const auto closeUnended = [&](const NodePos* endTag) {
        const NodePos& tag = open[depth - 1];
        if (errorText.empty()) {
            if (endTag)
                errorText = pf::format(
                    W16("End tag '%s' at offset %d does not match start tag '%s' at offset %d"),
                    x_GetToken(token).c_str(), endTag->start + 1, tag.text.c_str(), tag.start);
            else
                errorText = pf::format(W16("Element '%s' at offset %d not ended"), tag.text.c_str(),
                                       tag.start);
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
    };

    for (;;) {
        NodePos& node = open[depth];
        const int type = x_ParseNode(token, node);
        if (type == kStartTag) {
            if (node.length > ElemPos::maxStartTagLen || baseLevel + depth > ElemPos::maxLevel) {
                // The record cannot hold it: the start tag is passed over as ill-formed.
                illFormed();
                if (errorText.empty())
                    errorText =
                        node.length > ElemPos::maxStartTagLen
                            ? pf::format(W16("Element tag at offset %d too long"), node.start)
                            : pf::format(W16("Element '%s' at offset %d nested too deeply"),
                                         node.text.c_str(), node.start);
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
                open.ensureSlot(++depth);
            }
        } else if (type == kEndTag) {
            if (node.length > ElemPos::maxEndTagLen) {
                illFormed();
                if (errorText.empty())
                    errorText =
                        pf::format(W16("Element end tag at offset %d too long"), node.start);
                continue;
            }
            const wchar16* name = doc + token.left;
            const int nameLen = token.right - token.left + 1;
            int k = depth - 1, match = container;
            while (k >= 0 && !nameMatches(name, nameLen, open[k].text.c_str(), noCase)) {
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
    while (doc[i] && !(classOf(doc[i]) & kNameDelim))
        ++i;
    if (i == token.left) ++i; // a delimiter is a one-unit token
    token.right = i - 1;
    token.next = i;
    return true;
}

// Reads the tag's tokens: the tag (or target) name, then attribute names, "=" and
// values. A name that matches is held until the next token shows whether a value
// follows; without one the name itself is the result.
bool CMarkup::x_FindAttrib(TokenPos& token, const wchar16* name, int n) {
    const wchar16* const doc = token.doc;
    const bool noCase = (token.tokenFlags & DF_IGNORE_CASE) != 0;
    int count = -1; // attribute names seen; -1 while the tag name is expected
    bool valueNext = false;
    bool matched = false;
    TokenPos match = token;
    for (;;) {
        const int space = token.next;
        while (isWhitespace(doc[token.next]))
            ++token.next;
        const unsigned c = doc[token.next];
        if (!c) break;
        const bool quoted = c == '"' || c == '\'';
        if (quoted) {
            token.tokenFlags |= TF_QUOTED;
            int j = token.next + 1;
            token.left = j;
            while (doc[j] && doc[j] != c)
                ++j;
            token.right = j - 1;
            token.next = doc[j] ? j + 1 : j;
        } else {
            token.tokenFlags &= ~TF_QUOTED;
            const unsigned stop = valueNext ? kValueEnd : kAttrNameEnd;
            int j = token.next;
            while (doc[j] && !(classOf(doc[j]) & stop))
                ++j;
            if (j == token.next) ++j;
            token.left = token.next;
            token.right = j - 1;
            token.next = j;
        }
        if (valueNext) {
            valueNext = false;
            if (matched) return true;
            continue;
        }
        if (quoted) continue; // a quoted token where a name belongs is passed over
        if (c == '=') {
            valueNext = true;
            continue;
        }
        if (c == '/' || c == '>' || c == '?') {
            token.next = space; // new attributes go before the whitespace of the tag's end
            break;
        }
        if (matched) break; // the matched attribute has no value
        if (count >= 0) {
            if (!name ? count == n
                      : nameMatches(doc + token.left, token.right - token.left + 1, name, noCase)) {
                if (!name) return true;
                matched = true;
                token.preSpaceStart = space;
                token.preSpaceLength = token.left - space;
                match = token;
            }
        }
        ++count;
    }
    if (!matched) return false;
    token = match;
    return true;
}

wstring16 CMarkup::x_GetToken(const TokenPos& token) {
    if (token.right < token.left) return wstring16();
    return wstring16(token.doc + token.left, size_t(token.right - token.left + 1));
}
