// A session of edits over one CMarkup, driven by bytes: the edit model test feeds it
// random bytes, fuzz_markup_edit the fuzzer's. Each step reads three bytes (what to
// do, then two that choose the arguments) and applies an edit, a cursor move or a
// saved position. It then checks what every edit must keep:
// - the index passes checkIndex, and the message is what the parse or the last
//   sub-document left;
// - the cursor's records live and hang together;
// - a saved position restores exactly while its element lives, and not after;
// - while the session is clean (every edit used valid names, markup-free texts and
//   no NF_NO_END, on a text that reparses alike) the index equals a fresh parse's.
// Each argument pool lists its clean values first; a session that allows dirty ones
// draws from the whole pool.
#pragma once

#include "xml/markup_check.h"

#include <cstdint>
#include <cstring>
#include <map>

class EditSession {
    typedef CMarkup C;

public:
    EditSession(const wstring16& doc, int docFlags, bool allowDirty)
        : m(docFlags), dirty(allowDirty) {
        m.SetDoc(doc);
        message = m.GetError();
        clean = !(m.rec(0).flags & C::EP_DOC_ILLFORMED) && readsAlike();
    }
    bool isClean() const { return clean; }

    // Applies the step read from p (past end, bytes read as 0); returns the first
    // broken rule, or "".
    std::string step(const uint8_t*& p, const uint8_t* end) {
        const auto next = [&]() -> unsigned { return p < end ? *p++ : 0; };
        const unsigned op = next() % 26, a = next(), b = next();
        // Arguments are drawn only when used, so that an unused one cannot end a clean run.
        const auto name = [&] { return W(pick(kNames, 4, a)); };
        const auto val = [&] { return W(pick(kValues, 8, a >> 3)); };
        const auto flags = [&] { // NF_WITH_CDATA to NF_NO_END (16): the low five bits
            clean = clean && !(dirty && (b & C::NF_NO_END));
            return int(b) & (dirty ? 31 : 15);
        };
        const auto deepest = [&] {
            return m.childPos ? m.childPos : m.mainPos ? m.mainPos : m.parentPos;
        };
        const int where = (op & 1 ? C::NF_INSERT : 0) | (op & 2 ? C::NF_CHILD : 0);
        const int number = int(a % 16) - 8, i = op & 1 ? m.childPos : m.mainPos, k = int(a % 4);
        const wstring16 pos = W("p" + std::to_string(k));
        if (op < 4) {
            b & 32 ? m.x_AddElem(name(), number, flags() | where)
                   : m.x_AddElem(name(), val(), flags() | where);
        } else if (op < 6) {
            const size_t n = size_t(&pick(kNodeTexts, 7, a) - kNodeTexts);
            m.x_AddNode(kNodeTypes[n], W(kNodeTexts[n]), where & C::NF_INSERT);
        } else if (op < 10) {
            clean = clean && !(op == 8 && m.nodeType == C::NT_DOCUMENT_TYPE); // written as given
            if (op % 2 == 0 || i)
                op < 8
                    ? (b & 32 ? m.x_SetAttrib(i, name(), number) : m.x_SetAttrib(i, name(), val()))
                    : (b & 32 ? m.x_SetData(i, number) : m.x_SetData(i, val(), flags()));
        } else if (op < 15) {
            const wstring16 subDoc = W(pick(kSubDocs, 6, a));
            op < 14 ? m.x_AddSubDoc(subDoc, where) : m.SetElemContent(subDoc);
            message = m.GetError();
        } else if (op < 18) {
            op == 15 ? m.RemoveElem() : op == 16 ? m.RemoveChildElem() : m.RemoveNode();
        } else if (op == 18) {
            m.SavePos(pos);
            saved[k] = deepest();
        } else if (op == 19) {
            const auto s = saved.find(k);
            const bool lives = s != saved.end() && !(m.rec(s->second).flags & C::EP_DELETED);
            if (m.RestorePos(pos) != lives || (lives && deepest() != s->second))
                return "a saved position restores wrongly";
        } else if (op < 22) {
            op == 20 ? m.FindElem(name()) : m.FindChildElem(name());
        } else if (op < 24) {
            op == 22 ? m.IntoElem() : m.OutOfElem();
        } else {
            op == 24 ? void(m.FindNode(int(b))) : b & 1 ? m.ResetPos() : m.ResetChildPos();
        }
        return check();
    }

    MarkupProbe m;

private:
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

    // The x-th entry of a pool whose first cleanCount entries are clean.
    template <class T, size_t N> const T& pick(const T (&pool)[N], size_t cleanCount, unsigned x) {
        const size_t i = x % (dirty ? N : cleanCount);
        clean = clean && i < cleanCount;
        return pool[i];
    }

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

    std::string check() const {
        const std::string broken = checkIndex(m, &message);
        if (!broken.empty()) return broken;
        const auto live = [&](int i) {
            return i >= 0 && i < m.records() && !(m.rec(i).flags & C::EP_DELETED);
        };
        if (!live(m.parentPos) || !live(m.mainPos) || !live(m.childPos) ||
            (m.mainPos && m.rec(m.mainPos).parent != m.parentPos) ||
            (m.childPos && m.rec(m.childPos).parent != m.mainPos))
            return "cursor positions do not hang together";
        if (!clean) return "";
        MarkupProbe fresh(m.GetDocFlags());
        fresh.SetDoc(m.GetDoc());
        if (fresh.rec(0).flags & C::EP_DOC_ILLFORMED) return "clean edits made the text ill-formed";
        return indexText(m) == indexText(fresh) ? "" : "the index differs from a reparse's";
    }

    bool dirty, clean;
    wstring16 message;
    std::map<int, int> saved; // saved name number: the record restored to
};
