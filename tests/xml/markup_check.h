// A CMarkup with its internals in reach, the structural check of its element index
// that the white-box tests and the fuzz targets apply, and the fuzz targets' REQUIRE.
#pragma once

#include "xml/markup_text_views.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

class MarkupProbe : public CMarkup {
public:
    using CMarkup::childPos;
    using CMarkup::CMarkup;
    using CMarkup::deletedPos;
    using CMarkup::elemPosArray;
    using CMarkup::mainPos;
    using CMarkup::nodeType;
    using CMarkup::parentPos;
    using CMarkup::x_AddNode;
    using CMarkup::x_AddSubDoc;
    using CMarkup::x_FindAttrib;
    using CMarkup::x_GetPath;
    using CMarkup::x_GetToken;
    using CMarkup::x_ParseNode;
    using CMarkup::x_SetAttrib;
    using CMarkup::x_SetData;
    using CMarkup::x_SetPos;

    const ElemPos& rec(int i) const { return elemPosArray[i]; }
    int records() const { return freePos; }
};

// The first broken rule of the index, or "" when it holds:
// - record 0 spans the text; every record handed out is reached exactly once from it
//   or is released (flags exactly EP_DELETED, on the chain from deletedPos, reached
//   from nowhere: removed elements and the scratch records of sub-documents);
// - every child names its parent, siblings are linked both ways, the first child holds
//   the last one as prevSibling and alone carries EP_FIRST_CHILD;
// - an element's start tag runs from '<' to '>', its end tag (if any) from "</" to '>',
//   siblings follow each other and children lie inside their parent's content;
// - levels grow downwards;
// - after a parse (message null) the well-formedness test agrees with the message;
//   after edits the message is the one given, as no edit but a sub-document or
//   element content rewrites it.
// The walk keeps its own stack, so any depth is checked.
inline std::string checkIndex(const MarkupProbe& m, const wstring16* message = nullptr) {
    typedef CMarkup::ElemPos ElemPos;
    const wstring16& text = m.GetDoc();
    const int textLen = int(text.size());
    const ElemPos& root = m.rec(0);
    if (root.start != 0 || root.length != textLen || root.tagLengths != 0)
        return "record 0 does not span the text";
    std::vector<char> seen(size_t(m.records()), 0);
    std::vector<int> parents(1, 0);
    int reached = 0;
    while (!parents.empty()) {
        const int p = parents.back();
        parents.pop_back();
        const ElemPos& pe = m.rec(p);
        const int from = p ? pe.ContentStart() : 0;
        const int to = p ? from + pe.ContentLen() : textLen;
        int prev = 0, last = from;
        for (int c = pe.firstChild; c; prev = c, c = m.rec(c).nextSibling) {
            if (c <= 0 || c >= m.records() || seen[size_t(c)]) return "record reached twice";
            seen[size_t(c)] = 1;
            ++reached;
            const ElemPos& e = m.rec(c);
            const int stl = e.StartTagLen(), etl = e.EndTagLen();
            if (e.parent != p) return "child does not name its parent";
            if ((e.flags & CMarkup::EP_DELETED) != 0) return "released record linked";
            if (((e.flags & CMarkup::EP_FIRST_CHILD) != 0) != (prev == 0))
                return "EP_FIRST_CHILD not on the first child alone";
            if (prev && e.prevSibling != prev) return "prevSibling broken";
            if (!e.nextSibling && m.rec(pe.firstChild).prevSibling != c)
                return "first child does not hold the last";
            if (e.start < last || stl < 2 || e.length < stl + etl || e.EndOffset() > to)
                return "element outside its parent's content or overlapping";
            if (text[size_t(e.start)] != '<' || text[size_t(e.start + stl - 1)] != '>')
                return "start tag not from '<' to '>'";
            if (etl && (etl < 3 || text[size_t(e.EndOffset() - etl)] != '<' ||
                        text[size_t(e.EndOffset() - etl + 1)] != '/' ||
                        text[size_t(e.EndOffset() - 1)] != '>'))
                return "end tag not from \"</\" to '>'";
            if (p && e.Level() <= pe.Level()) return "level not below the parent's";
            last = e.EndOffset();
            if (e.firstChild) parents.push_back(c);
        }
    }
    for (int d = m.deletedPos; d; d = m.rec(d).nextSibling, ++reached) {
        if (d < 0 || d >= m.records() || seen[size_t(d)] || m.rec(d).flags != CMarkup::EP_DELETED)
            return "released chain broken";
        seen[size_t(d)] = 1;
    }
    if (reached != m.records() - 1) return "records handed out but neither linked nor released";
    if (message) return m.GetError() == *message ? "" : "an edit rewrote the parse message";
    if (m.GetError().empty() != const_cast<MarkupProbe&>(m).IsWellFormed())
        return "message and well-formedness disagree";
    return "";
}

// The records in use (every one but the released), to compare with a reparse's:
// span, tag lengths and flags (with the level), in the order of their spans, which
// nest, so that equal lists mean alike trees. Record 0's EP_DOC_ILLFORMED is the
// verdict of the parse, which edits keep, and is left out.
inline std::vector<std::array<long long, 4>> indexRecords(const MarkupProbe& m) {
    std::vector<std::array<long long, 4>> out;
    for (int i = 0; i < m.records(); ++i)
        if (m.rec(i).flags != CMarkup::EP_DELETED)
            out.push_back({m.rec(i).start, m.rec(i).length, m.rec(i).tagLengths,
                           m.rec(i).flags & ~(i ? 0 : CMarkup::EP_DOC_ILLFORMED)});
    std::sort(out.begin(), out.end());
    return out;
}

// A rule a fuzz target checks: a broken one stops the run and names itself.
#define REQUIRE(rule) requireRule(rule, #rule)
inline void requireRule(bool ok, const char* rule) {
    if (ok) return;
    std::fprintf(stderr, "broken: %s\n", rule);
    std::abort();
}
