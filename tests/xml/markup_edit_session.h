// A session of edits over one CMarkup, driven by bytes (fuzz_markup_edit feeds it the
// fuzzer's; the edit table uses its checks alone). Each step reads three bytes (what to
// do, then two that choose the arguments) and applies an edit, a cursor move or a
// saved position. It then checks what every edit must keep:
// - the index passes checkIndex, and the message is what the parse or the last
//   sub-document left;
// - the cursor's records live and hang together (a position saved on an element
//   that is gone must not restore);
// - while the session is clean (it draws only valid names, markup-free texts and no
//   NF_NO_END, on a text that reparses alike) the index equals a fresh parse's.
// Each argument pool lists its clean values first; a session that allows dirty ones
// draws from the whole pool and is never compared with a reparse.
#pragma once

#include "xml/markup_check.h"

#include <cstdint>
#include <cstring>

typedef CMarkup C;

struct EditSession {
    EditSession(const wstring16& doc, int docFlags, bool allowDirty)
        : m(docFlags), dirty(allowDirty) {
        m.SetDoc(doc);
        message = m.GetError();
        clean = !dirty && !(m.rec(0).flags & C::EP_DOC_ILLFORMED) && readsAlike();
    }

    // Applies the step read from p (past end, bytes read as 0); returns the first
    // broken rule, or "".
    std::string step(const uint8_t*& p, const uint8_t* end) {
        const auto next = [&]() -> unsigned { return p < end ? *p++ : 0; };
        const unsigned op = next() % 26, a = next(), b = next();
        // The x-th entry of a pool whose first cleanCount entries are clean.
        const auto pick = [&](const auto& pool, unsigned cleanCount, unsigned x) -> const auto& {
            return pool[x % (dirty ? sizeof pool / sizeof *pool : cleanCount)];
        };
        const wstring16 name = W(pick(kNames, 4, a)), val = W(pick(kValues, 8, a >> 3));
        const int flags = int(b) & (dirty ? 31 : 15); // NF_WITH_CDATA to NF_NO_END (16)
        const int where = (op & 1 ? C::NF_INSERT : 0) | (op & 2 ? C::NF_CHILD : 0);
        const int number = int(a % 16) - 8, i = op & 1 ? m.childPos : m.mainPos;
        const wstring16 pos = W("p" + std::to_string(a % 4));
        if (op < 4) {
            b & 32 ? m.AddElem(name, number, flags | where) : m.AddElem(name, val, flags | where);
        } else if (op < 6) {
            const size_t n = size_t(&pick(kNodeTexts, 7, a) - kNodeTexts);
            m.x_AddNode(kNodeTypes[n], W(kNodeTexts[n]), where & C::NF_INSERT);
        } else if (op < 10) {
            clean = clean && !(op == 8 && m.nodeType == C::NT_DOCUMENT_TYPE); // written as given
            if (op % 2 == 0 || i)
                op < 8 ? (b & 32 ? m.x_SetAttrib(i, name, number) : m.x_SetAttrib(i, name, val))
                       : (b & 32 ? m.x_SetData(i, number) : m.x_SetData(i, val, flags));
        } else if (op < 15) {
            const wstring16 subDoc = W(pick(kSubDocs, 6, a));
            op < 14 ? m.x_AddSubDoc(subDoc, where) : m.SetElemContent(subDoc);
            message = m.GetError();
        } else if (op < 18) {
            op == 15 ? m.RemoveElem() : op == 16 ? m.RemoveChildElem() : m.RemoveNode();
        } else if (op < 20) {
            op == 18 ? m.SavePos(pos) : m.RestorePos(pos);
        } else if (op < 22) {
            op == 20 ? m.FindElem(name) : m.FindChildElem(name);
        } else if (op < 24) {
            op == 22 ? m.IntoElem() : m.OutOfElem();
        } else {
            op == 24 ? void(m.FindNode(int(b))) : b & 1 ? m.ResetPos() : m.ResetChildPos();
        }
        return check();
    }

    static constexpr const char* kNames[] = {"a", "b", "item", "c:d", "", "a b", "x>y", "1"};
    static constexpr const char* kValues[] = {"",      "1",      "a<b&c",   "\"q' >",
                                              "x]]>y", " \r\n ", "&amp;&x", "v"};
    static constexpr int kNodeTypes[] = {1, 2, 4, 8, 16, 32, 2, 64, 8, 128, 99, 32, 2, 64, 1, 16};
    static constexpr const char* kNodeTexts[] = {
        "e",    "t<&", " \t", "c]]",     "pi a='1'", "c-",    "x",       "<!ENTITY e 'v'>",
        "x]]>", "x",   "x",   "a-->b<c", "",         "<!-- ", "x y='>'", "a?>b"};
    static constexpr const char* kSubDocs[] = {
        "<s/>", "<s a='1'><t/>x</s>", "<?x?>\r\n<s/>", "t",        "<s/><t/>", "", "<s><!--",
        "<s>",  "</x><s/>",           "<1/>",          "<s>a</t>", "<s/><!--"};

    // Whether a reparse reads the parsed text as the parse did wherever edits move it:
    // the parser stops at a 0 unit (which no edit writes) and takes "<?>" at offset 0
    // for the start of a longer instruction, and an element opened up gets an end tag
    // with its name as GetTagName reads it (up to any delimiter, where the scanner
    // goes on up to a blank, '/' or '>').
    bool readsAlike() const {
        const wstring16& t = m.GetDoc();
        const auto in = [](wchar16 c, const char* set) { return c < 128 && std::strchr(set, c); };
        for (int i = 1; i < m.records(); ++i)
            for (size_t j = size_t(m.rec(i).start) + 1; !in(t[j], " \t\r\n/>"); ++j)
                if (in(t[j], "<=\\?!")) return false;
        return t.find(wchar16(0)) == wstring16::npos && t.find(W16("<?>")) == wstring16::npos;
    }

    // A saved position restored onto a released record shows here too.
    std::string check() const {
        if (const std::string broken = checkIndex(m, &message); !broken.empty()) return broken;
        const int cursor[] = {m.parentPos, m.mainPos, m.childPos};
        for (int k = 0; k < 3; ++k)
            if (cursor[k] < 0 || cursor[k] >= m.records() ||
                (m.rec(cursor[k]).flags & C::EP_DELETED) ||
                (k && cursor[k] && m.rec(cursor[k]).parent != cursor[k - 1]))
                return "cursor positions do not hang together";
        if (!clean) return "";
        MarkupProbe fresh(m.GetDocFlags());
        fresh.SetDoc(m.GetDoc());
        return indexRecords(m) == indexRecords(fresh) ? "" : "the index differs from a reparse's";
    }

    MarkupProbe m;
    bool dirty, clean;
    wstring16 message;
};
