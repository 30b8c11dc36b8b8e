// A session of edits over one CMarkup, driven by bytes: the edit model test feeds it
// random bytes, fuzz_markup_edit the fuzzer's. Each step reads three bytes (an
// operation and two argument bytes) and applies an edit, a cursor move or a saved
// position, then checks what every edit must keep:
// - the index passes checkIndex, and the message is what the parse or the last
//   sub-document left;
// - the cursor: its positions live and linked, and a current node inside the
//   parent's content, after the main element and before the element that follows;
// - an edit that returns false changed nothing (sub-documents and element content
//   go in even when false);
// - a saved position restores exactly while its element lives, and not after;
// - while every edit since the parse used valid names, markup-free texts and no
//   NF_NO_END (the session is clean), the index equals that of a fresh parse.
// The argument pools list the clean values first; a session that allows dirty ones
// draws from the whole pool.
#pragma once

#include "xml/markup_check.h"

#include <cstdint>
#include <cstring>
#include <map>

class EditSession {
public:
    EditSession(const wstring16& doc, int docFlags, bool allowDirty)
        : m(docFlags), dirty(allowDirty) {
        m.SetDoc(doc);
        message = m.GetError();
        // A reparse reads what the index holds only when the parse met no error and no
        // text below reads by position: the parser stops at the first 0 unit (which no
        // edit can write), and takes "<?>" at offset 0 for the start of a longer
        // instruction but elsewhere for a whole one.
        clean = !(m.rec(0).flags & CMarkup::EP_DOC_ILLFORMED) &&
                doc.find(wchar16(0)) == wstring16::npos &&
                doc.find(W16("<?>")) == wstring16::npos && plainNames();
    }

    // Applies the step read from p (reading past end gives 0 bytes); returns the first
    // broken rule, or "".
    std::string step(const uint8_t*& p, const uint8_t* end) {
        const auto next = [&]() -> unsigned { return p < end ? *p++ : 0; };
        const unsigned op = next() % 26, a = next(), b = next();
        // Arguments are drawn only when used, so that an unused one cannot end a clean run.
        const auto name = [&] { return W(pick(kNames, 4, a)); };
        const int number = int(b >> 4) - 8;
        const bool asInt = (b & 8) != 0;
        wstring16 value; // "" is passed as null
        const auto val = [&] {
            value = W(pick(kValues, 8, a >> 3));
            return value.empty() ? CMarkup::MCD_CSTR() : CMarkup::MCD_CSTR(value);
        };
        const auto subDoc = [&] { return W(pick(kSubDocs, 6, a)); };
        const int where = (op & 1 ? CMarkup::NF_INSERT : 0) | (op & 2 ? CMarkup::NF_CHILD : 0);
        const wstring16 before = m.GetDoc();
        const std::vector<int> cursor = cursorState();
        int done = -1; // the result of an edit that must change nothing when false
        switch (op) {
        case 0:
        case 1:
        case 2:
        case 3: {
            const int f = pick(kFlags, 6, b) | where;
            done = asInt ? m.x_AddElem(name(), number, f) : m.x_AddElem(name(), val(), f);
            break;
        }
        case 4:
        case 5: {
            const Node& node = pick(kNodes, 8, a);
            done = op == 4 ? m.AddNode(node.type, W(node.text))
                           : m.InsertNode(node.type, W(node.text));
            break;
        }
        case 6:
            done = asInt ? m.SetAttrib(name(), number) : m.SetAttrib(name(), val());
            break;
        case 7:
            done = asInt ? m.SetChildAttrib(name(), number) : m.SetChildAttrib(name(), val());
            break;
        case 8:
            if (m.nodeType == CMarkup::NT_DOCUMENT_TYPE) { // its data is written as given: markup
                if (!dirty) break;
                clean = false;
            }
            done = asInt ? m.SetData(number) : m.SetData(val(), pick(kFlags, 6, b));
            break;
        case 9:
            done = asInt ? m.SetChildData(number) : m.SetChildData(val(), pick(kFlags, 6, b));
            break;
        case 10:
        case 11:
        case 12:
        case 13:
            m.x_AddSubDoc(subDoc(), where);
            message = m.GetError();
            break;
        case 14:
            m.SetElemContent(subDoc());
            message = m.GetError();
            break;
        case 15:
            done = m.RemoveElem();
            break;
        case 16:
            done = m.RemoveChildElem();
            break;
        case 17:
            done = m.RemoveNode();
            break;
        case 18:
            m.SavePos(W("p" + std::to_string(a % 4)));
            saved[a % 4] = m.childPos  ? std::make_pair(2, m.childPos)
                           : m.mainPos ? std::make_pair(1, m.mainPos)
                                       : std::make_pair(0, m.parentPos);
            break;
        case 19: {
            const auto entry = saved.find(a % 4);
            const bool lives =
                entry != saved.end() && !(m.rec(entry->second.second).flags & CMarkup::EP_DELETED);
            if (m.RestorePos(W("p" + std::to_string(a % 4))) != lives)
                return "saved position restores wrongly";
            const int at[] = {m.parentPos, m.mainPos, m.childPos};
            if (lives && at[entry->second.first] != entry->second.second)
                return "saved position restores elsewhere";
            break;
        }
        case 20:
            m.FindElem(name());
            break;
        case 21:
            m.FindChildElem(name());
            break;
        case 22:
            m.IntoElem();
            break;
        case 23:
            m.OutOfElem();
            break;
        case 24:
            m.FindNode(int(b));
            break;
        default:
            b & 1 ? m.ResetPos() : m.ResetChildPos();
        }
        if (!done && (m.GetDoc() != before || cursor != cursorState()))
            return "a refused edit changed something";
        return check();
    }

    bool isClean() const { return clean; }

    MarkupProbe m;

private:
    struct Node {
        int type;
        const char* text;
    };
    static constexpr const char* kNames[] = {"a", "b", "item", "c:d", "", "a b", "x>y", "1"};
    static constexpr const char* kValues[] = {"",      "1",     "a<b&c",   "\"q' >",
                                              "x]]>y", " \r\n", "&amp;&x", "v"};
    static constexpr int kFlags[] = {0,
                                     CMarkup::NF_WITH_CDATA,
                                     CMarkup::NF_NO_LINES,
                                     CMarkup::NF_XHTML_SPACE,
                                     CMarkup::NF_WITH_REFS,
                                     CMarkup::NF_WITH_CDATA | CMarkup::NF_NO_LINES,
                                     CMarkup::NF_NO_END,
                                     CMarkup::NF_NO_END | CMarkup::NF_NO_LINES};
    static constexpr Node kNodes[] = {{1, "e"},
                                      {2, "t<&"},
                                      {4, " \t"},
                                      {8, "c]]"},
                                      {16, "pi a='1'"},
                                      {32, "c-"},
                                      {64, "<!ENTITY e 'v'>"},
                                      {2, "x"},
                                      {8, "x]]>"},
                                      {128, "x"},
                                      {99, "x"},
                                      {32, "a-->b<c"},
                                      {2, ""},
                                      {64, "<!-- "},
                                      {1, "x y='>'"},
                                      {16, "a?>b"}};
    static constexpr const char* kSubDocs[] = {"<s/>",
                                               "<s a='1'><t>x</t>\r\n<u/></s>",
                                               "<?xml version=\"1.0\"?>\r\n<s>y</s>\r\n",
                                               "plain",
                                               "<s/><t/>",
                                               "",
                                               "<s><!--",
                                               "<s>",
                                               "</x><s/>",
                                               "<1/>",
                                               "<s>a</t>",
                                               "<s/>\r\n<!--"};

    // The x-th entry of a pool whose first cleanCount entries are clean.
    template <class T, size_t N> const T& pick(const T (&pool)[N], size_t cleanCount, unsigned x) {
        const size_t i = x % (dirty ? N : cleanCount);
        if (i >= cleanCount) clean = false;
        return pool[i];
    }

    // Whether every tag name reads the same to the scanner (up to a blank, '/' or
    // '>') as to GetTagName (up to any delimiter): an emptied element's new end tag
    // is written with the latter.
    bool plainNames() const {
        const wstring16& t = m.GetDoc();
        const auto in = [](wchar16 c, const char* set) {
            return c && c < 128 && std::strchr(set, c);
        };
        for (int i = 1; i < m.records(); ++i)
            for (size_t j = size_t(m.rec(i).start) + 1; j < t.size() && !in(t[j], " \t\r\n/>"); ++j)
                if (in(t[j], "<=\\?!")) return false;
        return true;
    }

    std::vector<int> cursorState() const {
        return {m.parentPos,  m.mainPos,    m.childPos, m.nodeType,
                m.nodeOffset, m.nodeLength, m.records()};
    }

    std::string checkCursor() const {
        const auto live = [&](int i) {
            return i >= 0 && i < m.records() && !(m.rec(i).flags & CMarkup::EP_DELETED);
        };
        if (!live(m.parentPos) || !live(m.mainPos) || !live(m.childPos))
            return "cursor on a released record";
        if (m.mainPos && m.rec(m.mainPos).parent != m.parentPos)
            return "main element not below the parent";
        if (m.childPos && (!m.mainPos || m.rec(m.childPos).parent != m.mainPos))
            return "child not below the main element";
        if (!m.nodeLength)
            return m.nodeOffset || m.nodeType != (m.mainPos ? 1 : 0) ? "node fields without a node"
                                                                     : "";
        if (m.nodeType < 2 || m.childPos) return "a node with an element type or a child";
        const CMarkup::ElemPos& p = m.rec(m.parentPos);
        const int next = m.mainPos ? m.rec(m.mainPos).nextSibling : p.firstChild;
        const int from = m.mainPos ? m.rec(m.mainPos).EndOffset() : p.ContentStart();
        const int to = next ? m.rec(next).start : p.ContentStart() + p.ContentLen();
        return m.nodeOffset < from || m.nodeOffset + m.nodeLength > to ? "node outside its place"
                                                                       : "";
    }

    std::string check() const {
        std::string broken = checkIndex(m, &message);
        if (broken.empty()) broken = checkCursor();
        if (!broken.empty() || !clean) return broken;
        MarkupProbe fresh(m.GetDocFlags());
        fresh.SetDoc(m.GetDoc());
        if (fresh.rec(0).flags & CMarkup::EP_DOC_ILLFORMED)
            return "clean edits made the text ill-formed";
        return sameIndex(m, fresh);
    }

    bool dirty;
    bool clean;
    wstring16 message;
    std::map<unsigned, std::pair<int, int>>
        saved; // name number: kind (0 parent, 1 main, 2 child), record
};
