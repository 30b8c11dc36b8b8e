// pf::xml: the character classes and the name comparison that CMarkup's scanner
// and tokenizers share, and the conversion that reads a file's text.
#pragma once

#include "core/u16.h"

#include <pubfunc/markup.h>

namespace pf {
namespace xml {

// Each class is one bit; a unit's bits come from one table lookup.
enum CharClass : unsigned short {
    kWhitespace = 1,     // space, tab, LF, CR
    kNameDelim = 2,      // ends a name token: whitespace < > = \ / ? !
    kTagNameEnd = 4,     // ends a tag name in the node scanner: whitespace / >
    kNameStart = 8,      // may follow '<' to begin a start tag: A-Z _ : and every unit >= 'a'
    kEmptyGuard = 16,    // may precede "/>" for an empty element: whitespace ' "
    kAttrNameEnd = 32,   // ends an unquoted token where a name is expected: = whitespace > / ?
    kValueEnd = 64,      // ends an unquoted attribute value: whitespace >
    kNameFollower = 128, // may follow a name inside a search string: space = / [ ]
    kTextStop = 256,     // ends a run of text: 0 < >
    kEnd = 512,          // the 0 unit that ends the text
    kTagStop = 1024,     // may change the state of a start tag outside a value: > =
};

struct ClassTable {
    unsigned short bits[128];
};

constexpr ClassTable makeClassTable() {
    ClassTable t{};
    const char whitespace[] = " \t\n\r";
    for (const char* p = whitespace; *p; ++p)
        t.bits[static_cast<unsigned char>(*p)] |=
            kWhitespace | kNameDelim | kTagNameEnd | kEmptyGuard | kAttrNameEnd | kValueEnd;
    const char delims[] = "<>=\\/?!";
    for (const char* p = delims; *p; ++p)
        t.bits[static_cast<unsigned char>(*p)] |= kNameDelim;
    t.bits[int('/')] |= kTagNameEnd | kAttrNameEnd | kNameFollower;
    t.bits[int('>')] |= kTagNameEnd | kAttrNameEnd | kValueEnd | kTextStop | kTagStop;
    t.bits[int('=')] |= kAttrNameEnd | kNameFollower | kTagStop;
    t.bits[int('?')] |= kAttrNameEnd;
    t.bits[int('\'')] |= kEmptyGuard;
    t.bits[int('"')] |= kEmptyGuard;
    t.bits[int(' ')] |= kNameFollower;
    t.bits[int('[')] |= kNameFollower;
    t.bits[int(']')] |= kNameFollower;
    t.bits[int('<')] |= kTextStop;
    t.bits[0] |= kTextStop | kEnd;
    for (int c = 'A'; c <= 'Z'; ++c)
        t.bits[c] |= kNameStart;
    t.bits[int('_')] |= kNameStart;
    t.bits[int(':')] |= kNameStart;
    for (int c = 'a'; c < 128; ++c)
        t.bits[c] |= kNameStart;
    return t;
}

inline constexpr ClassTable kClasses = makeClassTable();

// Units from 0x80 up belong to no class but kNameStart.
inline unsigned classOf(unsigned c) {
    return c < 128 ? kClasses.bits[c] : unsigned(kNameStart);
}
// For classes of ASCII units only (every class but kNameStart): one compare and one
// lookup.
inline bool isIn(unsigned c, unsigned mask) {
    return c < 128 && (kClasses.bits[c] & mask);
}
inline bool isWhitespace(unsigned c) {
    return isIn(c, kWhitespace);
}

// The first offset from i whose unit is in mask, which must hold kEnd. Four units a
// round; no unit past the first one in mask is read.
inline int skipUntil(const wchar16* doc, int i, unsigned mask) {
    for (;; i += 4) {
        if (isIn(doc[i], mask)) return i;
        if (isIn(doc[i + 1], mask)) return i + 1;
        if (isIn(doc[i + 2], mask)) return i + 2;
        if (isIn(doc[i + 3], mask)) return i + 3;
    }
}

// Where a span ending at end stops when it takes the whitespace after it: past
// that whitespace when it runs up to markup ('<') or the end of the text, else at
// end. A removed element takes its trailing line break with it this way, and new
// markup goes after such a run rather than before it.
inline int endOverSpace(const wchar16* doc, int size, int end) {
    int j = end;
    while (j < size && isWhitespace(doc[j]))
        ++j;
    return j == size || doc[j] == '<' ? j : end;
}

// The node type that a node scanned inside a parent's content reads as, given the
// scanner's result (an end tag that is not the parent's own closes nothing there; a
// start tag with no record, an end tag too long for one, and ill-formed markup are
// node errors).
inline int contentNodeType(int scanned, int length) {
    if (scanned == 0)
        return length > CMarkup::ElemPos::kMaxEndTagLen ? CMarkup::NT_NODE_ERROR
                                                        : CMarkup::NT_LONE_END_TAG;
    return scanned < 0 || scanned == CMarkup::NT_ELEMENT ? CMarkup::NT_NODE_ERROR : scanned;
}

// How names are matched (end tags against start tags, attribute names, element
// searches): the n units of name equal the first n units of pattern, compared
// exactly or with A-Z taken as a-z, and pattern ends there or goes on with a
// follower, so "a/x" or "a[1]" matches a name "a". The name holds no 0 unit, so a
// shorter pattern fails at its terminator and is never read past it.
inline bool unitsMatch(const wchar16* a, const wchar16* b, int n, bool noCase) {
    for (int i = 0; i < n; ++i) {
        const u16::unit x = u16::unit(a[i]), y = u16::unit(b[i]);
        if (x != y && (!noCase || u16::toLower(x) != u16::toLower(y))) return false;
    }
    return true;
}
inline bool nameMatches(const wchar16* name, int n, const wchar16* pattern, bool noCase) {
    if (!unitsMatch(name, pattern, n, noCase)) return false;
    const unsigned after = pattern[n];
    return !after || (classOf(after) & kNameFollower);
}
// The same with a pattern of known length that need not be terminated.
inline bool nameMatches(const wchar16* name, int n, const wchar16* pattern, int patternLength,
                        bool noCase) {
    return patternLength >= n && unitsMatch(name, pattern, n, noCase) &&
           (patternLength == n || (classOf(pattern[n]) & kNameFollower));
}

// CMarkup::x_ParseNode for a text of size units (0 when unknown): the same results,
// with runs searched in blocks below size.
int scanNode(CMarkup::TokenPos& token, CMarkup::NodePos& node, int size);

// Appends the length units at s to out as CMarkup::UnescapeText decodes them.
void unescapeAppend(wstring16& out, const wchar16* s, int length);

// Replaces text with the UTF-16 form of the n bytes at src, exactly as UTF8To16
// converts them, and returns the number of units.
int utf8ToText(const char* src, int n, wstring16& text);

} // namespace xml
} // namespace pf
