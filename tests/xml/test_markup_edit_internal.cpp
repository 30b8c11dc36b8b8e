// CMarkup editing: one table of edits with the exact text, result and cursor they
// leave, each followed by the structural check and, where the text reparses
// cleanly, a comparison with a fresh parse; then 50,000 random edits that keep the
// index (EditSession).
#include "xml/markup_edit_session.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace {

typedef CMarkup C;
std::string repeat(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i)
        r += s;
    return r;
}
std::string cursorOf(const MarkupProbe& m) {
    return A(m.GetTagName()) + "," + A(m.GetChildTagName()) + "," +
           std::to_string(const_cast<MarkupProbe&>(m).GetNodeType());
}
bool into(MarkupProbe& m, int finds = 1) {
    bool ok = m.FindElem() && m.IntoElem();
    for (int i = 0; i < finds; ++i)
        ok = ok && m.FindElem();
    return ok;
}
const std::string kLong = std::string(1020, 'n'); // an end tag of it fills a record's field
const std::string kDeep = repeat("<a>", C::ElemPos::kMaxLevel + 1) + "</a>";
const std::string kTallTag = "<a" + std::string(C::ElemPos::kMaxStartTagLen - 3, ' ') + ">";
const wchar16* const null = nullptr;

struct Row {
    const char* what;
    std::string doc;
    std::function<bool(MarkupProbe&)> edit;
    bool result;
    std::string text;   // "=": unchanged
    std::string cursor; // main (or current node) tag name, child tag name, node type
    const char* error;  // null: the parse message stays
};

} // namespace

TEST(MarkupEdit, ResultingDocuments) {
    const Row rows[] = {
        {"AddElem, AddChildElem with value", "",
         [](MarkupProbe& m) { return m.AddElem(W16("a")) && m.AddChildElem(W16("b"), W16("x")); },
         true, "<a>\r\n<b>x</b>\r\n</a>\r\n", "a,b,1", nullptr},
        {"XHTML space", "",
         [](MarkupProbe& m) { return m.AddElem(W16("a"), W16(""), C::NF_XHTML_SPACE); }, true,
         "<a />\r\n", "a,,1", nullptr},
        {"NF_NO_END, then a child supplies the end tag", "",
         [](MarkupProbe& m) {
             return m.AddElem(W16("a"), null, C::NF_NO_END) && m.AddChildElem(W16("b"));
         },
         true, "<a>\r\n<b/>\r\n</a>\r\n", "a,b,1", nullptr},
        {"NF_NO_END with a value", "<r/>",
         [](MarkupProbe& m) { return m.AddElem(W16("a"), W16("v"), C::NF_NO_END); }, false, "=",
         ",,0", nullptr},
        {"child of <p />, no lines", "<p /><q/>",
         [](MarkupProbe& m) {
             return m.FindElem() && m.AddChildElem(W16("b"), W16("x"), C::NF_NO_LINES);
         },
         true, "<p ><b>x</b></p><q/>", "p,b,1", nullptr},
        {"InsertChildElem without child position", "<r>\r\n<a/></r>",
         [](MarkupProbe& m) { return m.FindElem() && m.InsertChildElem(W16("c")); }, true,
         "<r>\r\n<c/>\r\n<a/></r>", "r,c,1", nullptr},
        {"AddElem after a node, before an element", "<r><a/><!--c--><b/></r>",
         [](MarkupProbe& m) {
             return into(m, 0) && m.FindNode(C::NT_COMMENT) && m.AddElem(W16("x"));
         },
         true, "<r><a/><!--c--><x/>\r\n<b/></r>", "x,,1", nullptr},
        {"InsertElem before the first, int forms", "<r><a/></r>",
         [](MarkupProbe& m) {
             return into(m) && m.InsertElem(W16("n"), -5) && m.SetAttrib(W16("v"), 7) &&
                    m.AddChildElem(W16("c")) && m.SetChildData(3);
         },
         true, "<r><n v=\"7\">-5<c>3</c>\r\n</n>\r\n<a/></r>", "n,c,1", nullptr},
        {"SetData escapes, CDATA splits", "<a/><b/>",
         [](MarkupProbe& m) {
             return m.FindElem() && m.SetData(W16("a<b&amp;"), C::NF_WITH_REFS) && m.FindElem() &&
                    m.SetData(W16("x]]>y"), C::NF_WITH_CDATA);
         },
         true, "<a>a&lt;b&amp;</a><b><![CDATA[x]]]]><![CDATA[>y]]></b>", "b,,1", nullptr},
        {"SetData of an element with children", "<a><b/></a>",
         [](MarkupProbe& m) { return m.FindElem() && m.SetData(W16("x")); }, false, "=", "a,,1",
         nullptr},
        {"SetAttrib replaces, escapes quotes", "<a x='1' y=2 />",
         [](MarkupProbe& m) {
             return m.FindElem() && m.SetAttrib(W16("z"), W16("\"<")) &&
                    m.SetAttrib(W16("x"), W16("3")) && m.SetAttrib(W16("y"), W16(""));
         },
         true, "<a x=\"3\" y=\"\" z=\"&quot;&lt;\" />", "a,,1", nullptr},
        {"a valueless attribute has its name replaced", "<o sel />",
         [](MarkupProbe& m) { return m.FindElem() && m.SetAttrib(W16("sel"), W16("1")); }, true,
         "<o \"1\" />", "o,,1", nullptr},
        {"attribute search that leaves the tag", "<a 'b>c'></a>",
         [](MarkupProbe& m) { return m.FindElem() && m.SetAttrib(W16("x"), W16("1")); }, false, "=",
         "a,,1", nullptr},
        {"SetAttrib of a declaration", "<?xml version=\"1.0\"?><r/>",
         [](MarkupProbe& m) {
             return m.FindNode(C::NT_PROCESSING_INSTRUCTION) && m.SetAttrib(W16("e"), W16("8"));
         },
         true, "<?xml version=\"1.0\" e=\"8\"?><r/>", "xml,,16", nullptr},
        {"nodes: comment with line, text without", "<a/>",
         [](MarkupProbe& m) {
             return m.FindElem() && m.AddNode(C::NT_COMMENT, W16("c")) &&
                    m.AddNode(C::NT_TEXT, W16("t<")) && m.InsertNode(C::NT_ELEMENT, W16("e"));
         },
         true, "<a/><!--c--><e/>t&lt;\r\n", "e,,1", nullptr},
        {"refused nodes", "<a/>",
         [](MarkupProbe& m) {
             return m.AddNode(C::NT_LONE_END_TAG, W16("x")) ||
                    m.AddNode(C::NT_CDATA_SECTION, W16("]]>")) || m.AddNode(99, W16("x")) ||
                    m.AddNode(C::NT_TEXT, W16(""));
         },
         false, "=", ",,0", nullptr},
        {"null values are empty", "<a/>",
         [](MarkupProbe& m) {
             return m.FindElem() && m.SetData(null) && m.SetAttrib(W16("v"), null) &&
                    m.AddNode(C::NT_COMMENT, null);
         },
         true, "<a v=\"\"></a><!---->\r\n", "#comment,,32", nullptr},
        {"SetData of a node", "<r><!--a--><![CDATA[b]]></r>",
         [](MarkupProbe& m) {
             return into(m, 0) && m.FindNode() && m.SetData(W16("cc")) && m.FindNode() &&
                    !m.SetData(W16("]]>")) && m.SetData(W16("d"));
         },
         true, "<r><!--cc--><![CDATA[d]]></r>", "#cdata-section,,8", nullptr},

        {"AddChildSubDoc drops the declaration", "<a/>",
         [](MarkupProbe& m) {
             return m.FindElem() && m.AddChildSubDoc(W16("<?xml version=\"1.0\"?><b><c/></b>"));
         },
         true, "<a>\r\n<b><c/></b>\r\n</a>", "a,b,1", ""},
        {"AddSubDoc of two elements", "<r><a/></r>",
         [](MarkupProbe& m) { return into(m) && m.AddSubDoc(W16("<b/><c/>")); }, false,
         "<r><a/><b/><c/>\r\n</r>", "b,,1", ""},
        {"AddSubDoc of an unended element", "<r><a/></r>",
         [](MarkupProbe& m) { return into(m) && m.AddSubDoc(W16("<b>")); }, false, "<r><a/><b></r>",
         "b,,1", "Element 'b' at offset 0 not ended"},
        {"InsertChildSubDoc", "<r><a/></r>",
         [](MarkupProbe& m) { return m.FindElem() && m.InsertChildSubDoc(W16(" <b>t</b> ")); },
         true, "<r><b>t</b>\r\n<a/></r>", "r,b,1", ""},
        {"AddSubDoc without an element", "<r><a/><b/></r>",
         [](MarkupProbe& m) { return into(m) && m.AddSubDoc(W16("t")); }, false, "<r><a/>t<b/></r>",
         ",,0", ""},
        {"AddChildSubDoc without an element, empty parent", "<r/>",
         [](MarkupProbe& m) { return m.FindElem() && m.AddChildSubDoc(W16("t")); }, false,
         "<r>t</r>", "r,,1", ""},
        {"a node never runs into an element", "<r><a/></r>",
         [](MarkupProbe& m) {
             return into(m) && !m.AddSubDoc(W16("<!--")) && m.FindNode() == 1 &&
                    m.FindNode() == C::NT_NODE_ERROR && m.GetData() == W16("<!--");
         },
         true, "<r><a/><!--</r>", ",,32768", "Comment at offset 0 unterminated"},
        {"SetElemContent replaces children", "<r><a><x/></a><b/></r>",
         [](MarkupProbe& m) {
             return m.FindElem() && m.SetElemContent(W16("x<y/>z")) && m.GetData().empty();
         },
         true, "<r>x<y/>z</r>", "r,,1", ""},
        {"SetElemContent of text, empty element", "<r/>",
         [](MarkupProbe& m) { return m.FindElem() && m.SetElemContent(W16("plain")); }, true,
         "<r>plain</r>", "r,,1", ""},

        {"RemoveElem of the second of three", "<r><a/>\r\n<b/>\r\n<c/></r>",
         [](MarkupProbe& m) { return into(m, 2) && m.RemoveElem(); }, true, "<r><a/>\r\n<c/></r>",
         "a,,1", nullptr},
        {"RemoveElem of the first, then FindElem", "<r><a/>\r\n<b/>\r\n<c/></r>",
         [](MarkupProbe& m) {
             return into(m) && m.RemoveElem() && m.GetNodeType() == 0 && m.FindElem();
         },
         true, "<r><b/>\r\n<c/></r>", "b,,1", nullptr},
        {"RemoveNode of an element keeps whitespace", "<r><a/>\r\n<b/>\r\n<c/></r>",
         [](MarkupProbe& m) { return into(m, 2) && m.RemoveNode(); }, true,
         "<r><a/>\r\n\r\n<c/></r>", "#text,,4", nullptr},
        {"RemoveChildElem, saved positions", "<r><a/><b/></r>",
         [](MarkupProbe& m) {
             return m.FindChildElem() && m.SavePos(W16("a")) && m.FindChildElem() &&
                    m.SavePos(W16("b")) && m.RemoveChildElem() && !m.RestorePos(W16("b")) &&
                    m.RestorePos(W16("a"));
         },
         true, "<r><a/></r>", "r,a,1", nullptr},
        {"RemoveNode of the only lone end tag", "<a>x</b></a>",
         [](MarkupProbe& m) {
             return into(m, 0) && m.FindNode(C::NT_LONE_END_TAG) && m.RemoveNode();
         },
         true, "<a>x</a>", "#text,,2", nullptr},
        {"RemoveNode of one of two lone end tags", "<a></b></c></a>",
         [](MarkupProbe& m) { return into(m, 0) && m.FindNode() && m.RemoveNode(); }, true,
         "<a></c></a>", ",,0", nullptr},
        {"RemoveElem while a node is current", "<r><a/><!--c--></r>",
         [](MarkupProbe& m) { return into(m) && m.FindNode() && m.RemoveElem(); }, false, "=",
         "#comment,,32", nullptr},

        {"an end tag past a record's field", "<r/>",
         [](MarkupProbe& m) { return m.FindElem() && m.AddChildElem(W(kLong + "n"), W16("v")); },
         false, "=", "r,,1", nullptr},
        {"an end tag that fills it", "<r/>",
         [](MarkupProbe& m) { return m.FindElem() && m.AddElem(W(kLong), W16("v")); }, true,
         "<r/><" + kLong + ">v</" + kLong + ">\r\n", kLong + ",,1", nullptr},
        {"opening an empty parent whose end tag would not fit", "<" + kLong + "n/>",
         [](MarkupProbe& m) { return m.FindElem() && m.SetData(W16("x")); }, false, "=",
         kLong + "n,,1", nullptr},
        {"a start tag past a record's field", kTallTag + "</a>",
         [](MarkupProbe& m) { return m.FindElem() && m.SetAttrib(W16("b"), W16("")); }, false, "=",
         "a,,1", nullptr},
        {"a child below the deepest level", kDeep + repeat("</a>", C::ElemPos::kMaxLevel),
         [](MarkupProbe& m) {
             m.x_SetPos(m.records() - 2, m.records() - 1, 0);
             return m.AddChildElem(W16("b")) || m.AddChildSubDoc(W16("t")) ||
                    m.SetElemContent(W16(""));
         },
         false, "=", "a,,1", nullptr},
        {"a sibling at the deepest level", kDeep + repeat("</a>", C::ElemPos::kMaxLevel),
         [](MarkupProbe& m) {
             m.x_SetPos(m.records() - 2, m.records() - 1, 0);
             return m.AddElem(W16("b"));
         },
         true, kDeep + "<b/>\r\n" + repeat("</a>", C::ElemPos::kMaxLevel), "b,,1", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.what << " on " << row.doc.substr(0, 60));
        MarkupProbe m;
        m.SetDoc(W(row.doc));
        const wstring16 message = row.error ? W(row.error) : m.GetError();
        EXPECT_EQ(row.edit(m), row.result);
        EXPECT_EQ(A(m.GetDoc()), row.text == "=" ? row.doc : row.text);
        EXPECT_EQ(cursorOf(m), row.cursor);
        EXPECT_EQ(checkIndex(m, &message), "");
        MarkupProbe fresh;
        fresh.SetDoc(m.GetDoc());
        if (!(fresh.rec(0).flags & C::EP_DOC_ILLFORMED)) {
            EXPECT_EQ(sameIndex(m, fresh), "");
        }
    }
}

// 70,000 steps (about 54,000 of them edits and saved positions, the rest cursor
// moves) in sessions of 250 from three seed documents, every second one with dirty
// arguments, every fifth ignoring case. A clean session stays clean to its end, so
// each of its steps is compared with a reparse.
TEST(MarkupEdit, RandomEditsKeepTheIndex) {
    const char* const seeds[] = {
        "<r>\r\n<a x='1'>t<!--c--></a>\r\n<b/>\r\n</r>",
        "<?xml version=\"1.0\"?>\r\n<d><p>x<![CDATA[y]]>z</p><q><r/></q></d>", ""};
    std::mt19937 random(1);
    uint8_t bytes[3];
    for (int s = 0; s < 280; ++s) {
        EditSession session(W(seeds[s % 3]), s % 5 == 4 ? int(C::DF_IGNORE_CASE) : 0, s % 2);
        for (int i = 0; i < 250; ++i) {
            for (uint8_t& b : bytes)
                b = uint8_t(random());
            const uint8_t* p = bytes;
            ASSERT_EQ(session.step(p, bytes + 3), "")
                << "session " << s << ", step " << i << ", bytes " << int(bytes[0]) << " "
                << int(bytes[1]) << " " << int(bytes[2]) << ", text " << A(session.m.GetDoc());
        }
        EXPECT_TRUE(s % 2 || session.isClean()) << "session " << s;
    }
}
