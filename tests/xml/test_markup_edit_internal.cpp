// CMarkup editing: one table of edits with the exact text, result and cursor they
// leave (rows grouped: elements, attributes and data, nodes, refusals, sub-documents
// and content, removal, limits), each followed by the structural check and, unless
// the edit put ill-formed markup in, a comparison with a fresh parse; then 70,000
// random steps that keep the index (EditSession).
#include "xml/markup_edit_session.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace {

typedef CMarkup C;
typedef MarkupProbe P;
std::string repeat(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i)
        r += s;
    return r;
}
const wchar16* const null = nullptr;
const std::string kLong(1020, 'n'); // its end tag fills a record's field
const std::string kDeep = repeat("<a>", C::ElemPos::kMaxLevel + 1) + "</a>";

// A row's edits: one expression over the document m, whose value is the row's result.
#define EDIT(...) [](P& m) { return __VA_ARGS__; }

} // namespace

TEST(MarkupEdit, ResultingDocuments) {
    // Document, text after the edits ("=": unchanged), their result, the cursor (tag
    // name of the main element or current node, child's, node type), the message a
    // sub-document's parse leaves (null: the parse message is kept), the edits.
    const std::tuple<std::string, std::string, bool, std::string, const char*,
                     std::function<bool(P&)>>
        rows[] = {
            // Elements: line breaks, an empty parent opened up, placement after
            // whitespace and after a node, the int forms.
            {"", "<a>\r\n<b>x</b>\r\n</a>\r\n<c />\r\n<d>\r\n<e/>\r\n</d>\r\n", true, "d,e,1",
             nullptr,
             EDIT(m.AddElem(W("a")) && m.AddChildElem(W("b"), W("x")) &&
                  m.AddElem(W("c"), W(""), C::NF_XHTML_SPACE) &&
                  m.AddElem(W("d"), null, C::NF_NO_END) && m.AddChildElem(W("e")))},
            {"<p /><q>\r\n<a/><!--c--></q>",
             "<p ><b>x</b></p><q>\r\n<c/>\r\n<a/><!--c--><n v=\"7\">-5</n>\r\n</q>", true, "n,,1",
             nullptr,
             EDIT(m.FindElem() && m.AddChildElem(W("b"), W("x"), C::NF_NO_LINES) && m.FindElem() &&
                  m.InsertChildElem(W("c")) && m.IntoElem() && m.FindNode(C::NT_COMMENT) &&
                  m.AddElem(W("n"), -5) && m.SetAttrib(W("v"), 7))},
            // Data and attributes: escaping, CDATA, the content mark, a valueless
            // attribute, a search that leaves the tag, a declaration, null values.
            {"<a></x></a><b/>", "<a>a&lt;b&amp;</a><b><![CDATA[x]]]]><![CDATA[>y]]></b>", true,
             "b,,1", nullptr,
             EDIT(m.FindElem() && m.SetData(W("a<b&amp;"), C::NF_WITH_REFS) && m.FindElem() &&
                  m.SetData(W("x]]>y"), C::NF_WITH_CDATA))},
            {"<a x='1' y=2 /><o sel /><b 'c>d'></b>",
             "<a x=\"3\" y=\"\" z=\"&quot;&lt;\" /><o \"1\" /><b 'c>d'></b>", true, "b,,1", nullptr,
             EDIT(m.FindElem() && m.SetAttrib(W("z"), W("\"<")) && m.SetAttrib(W("x"), W("3")) &&
                  m.AddAttrib(W("y"), W("")) && m.FindElem() && m.SetAttrib(W("sel"), W("1")) &&
                  m.FindElem() && !m.SetAttrib(W("x"), W("1")))},
            {"<?xml version=\"1.0\"?><a/>",
             "<?xml version=\"1.0\" e=\"8\"?><a v=\"\"></a><!----><e/>t&lt;\r\n", true, "e,,1",
             nullptr,
             EDIT(m.FindNode() && m.SetAttrib(W("e"), W("8")) && m.FindElem() && m.SetData(null) &&
                  m.SetAttrib(W("v"), null) && m.AddNode(C::NT_COMMENT, null) &&
                  m.AddNode(C::NT_TEXT, W("t<")) && m.InsertNode(C::NT_ELEMENT, W("e")))},
            {"<r><!--a--><![CDATA[b]]></r>", "<r><!--cc--><![CDATA[d]]></r>", true,
             "#cdata-section,,8", nullptr,
             EDIT(m.FindElem() && m.IntoElem() && m.FindNode() && m.SetData(W("cc")) &&
                  m.FindNode() && !m.SetData(W("]]>")) && m.SetData(W("d")))},
            {"<a><b/><!--c--></a>", "=", false, "#comment,,32", nullptr,
             EDIT(m.AddNode(C::NT_LONE_END_TAG, W("x")) ||
                  m.AddNode(C::NT_CDATA_SECTION, W("]]>")) || m.AddNode(99, W("x")) ||
                  m.AddNode(C::NT_TEXT, W("")) || m.RemoveNode() || !m.FindElem() ||
                  m.SetData(W("x")) || m.AddElem(W("x"), W("v"), C::NF_NO_END) ||
                  m.SetChildData(W("x")) || m.SetChildAttrib(W("x"), 1) || !m.IntoElem() ||
                  !m.FindNode(C::NT_COMMENT) || m.RemoveElem() || m.SetAttrib(W("x"), 1) ||
                  m.SetElemContent(W("")))},
            // Sub-documents and content.
            {"<a/>", "<a>\r\n<d/>\r\n<b><c/></b>\r\n</a>", true, "a,d,1", "",
             EDIT(m.FindElem() && m.AddChildSubDoc(W("<?xml version=\"1.0\"?><b><c/></b>")) &&
                  m.InsertChildSubDoc(W(" <d/> ")))},
            {"<r><a/></r>", "<r><a/><b/><c/>\r\n</r>", false, "b,,1", "",
             EDIT(m.FindElem() && m.IntoElem() && m.FindElem() && m.AddSubDoc(W("<b/><c/>")))},
            {"<r><a/><b/><s/></r>", "<r><a/>t<b/><s>u</s></r>", true, "s,,1", "",
             EDIT(m.FindElem() && m.IntoElem() && m.FindElem() && !m.AddSubDoc(W("t")) &&
                  m.FindElem(W("s")) && !m.InsertChildSubDoc(W("u")))},
            {"<r><a/></r>", "<r><!--<a/></r>", true, "a,,1", "Comment at offset 0 unterminated",
             EDIT(m.FindElem() && m.IntoElem() && m.FindElem() && !m.InsertSubDoc(W("<!--")) &&
                  m.FindNode() == C::NT_NODE_ERROR && m.GetData() == W("<!--") &&
                  m.FindNode() == 1)},
            {"<r><a><x/></a><b/></r>", "<r>x<y>t</y>z</r>", true, "y,,1", "",
             EDIT(m.FindElem() && m.SetElemContent(W("x<y/>z")) && m.GetData().empty() &&
                  m.IntoElem() && m.FindElem() && m.SetElemContent(W("t")))},
            // Removal: whitespace, the cursor, saved positions, lone end tags.
            {"<r><a/>\r\n<b/>\r\n<c/>\r\n<d/>\r\n<e/></r>", "<r><c/>\r\n\r\n<e/></r>", true,
             "#text,,4", nullptr,
             EDIT(m.FindElem() && m.IntoElem() && m.FindElem() && m.FindElem() && m.RemoveElem() &&
                  m.GetTagName() == W("a") && m.RemoveElem() && !m.GetNodeType() && m.FindElem() &&
                  m.FindElem() && m.RemoveNode())},
            {"<r><a/><b/></r>", "<r><a/></r>", true, "r,a,1", nullptr,
             EDIT(m.FindChildElem() && m.SavePos(W("a")) && m.FindChildElem() &&
                  m.SavePos(W("b")) && m.RemoveChildElem() && !m.RestorePos(W("b")) &&
                  m.RestorePos(W("a")))},
            {"<a></b></c></a>", "<a></c></a>", true, ",,0", nullptr,
             EDIT(m.FindElem() && m.IntoElem() && m.FindNode() && m.RemoveNode())},
            // Limits of a record: the end tag, the start tag, the level.
            {"<" + kLong + "n/>", "<" + kLong + "n/><" + kLong + ">v</" + kLong + ">\r\n", true,
             kLong + ",,1", nullptr,
             EDIT(m.FindElem() && !m.SetData(W("x")) && !m.AddChildElem(W("b")) &&
                  !m.AddElem(W(kLong + "n"), W("v")) && m.AddElem(W(kLong), W("v")))},
            {"<a" + std::string(C::ElemPos::kMaxStartTagLen - 3, ' ') + "></a>", "=", false, "a,,1",
             nullptr, EDIT(m.FindElem() && m.SetAttrib(W("b"), W("")))},
            {kDeep + repeat("</a>", C::ElemPos::kMaxLevel),
             kDeep + "<b/>\r\n" + repeat("</a>", C::ElemPos::kMaxLevel), true, "b,,1", nullptr,
             EDIT((m.x_SetPos(m.records() - 2, m.records() - 1, 0), !m.AddChildElem(W("b"))) &&
                  !m.AddChildSubDoc(W("t")) && !m.SetElemContent(W("")) && m.AddElem(W("b")))},
        };
    for (const auto& [doc, text, result, cursor, error, edit] : rows) {
        SCOPED_TRACE(doc.substr(0, 60) + " to " + text.substr(0, 60));
        P m, fresh;
        m.SetDoc(W(doc));
        const wstring16 message = error ? W(error) : m.GetError();
        EXPECT_EQ(edit(m), result);
        EXPECT_EQ(A(m.GetDoc()), text == "=" ? doc : text);
        EXPECT_EQ(A(m.GetTagName() + W(",") + m.GetChildTagName()) + "," +
                      std::to_string(m.GetNodeType()),
                  cursor);
        EXPECT_EQ(checkIndex(m, &message), "");
        fresh.SetDoc(m.GetDoc());
        if (!error || !*error) { // no ill-formed markup went in
            EXPECT_EQ(indexText(m), indexText(fresh));
        }
    }
}

// 70,000 steps (about 54,000 of them edits and saved positions, the rest cursor
// moves) in sessions of 250 from three seed documents, every second one with dirty
// arguments, every fifth ignoring case. A clean session stays clean to its end, so
// each of its steps is compared with a reparse.
TEST(MarkupEdit, RandomEditsKeepTheIndex) {
    const char* const seeds[] = {"<r>\r\n<a x='1'>t<!--c--></a>\r\n<b/>\r\n</r>",
                                 "<?xml version=\"1.0\"?>\r\n<d><p>x<![CDATA[y]]>z</p><q/></d>",
                                 ""};
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
