// CMarkup editing: one table of edits with the exact text and cursor they leave
// (rows grouped: elements, attributes, nodes and refusals, sub-documents, removal,
// lone end tags, limits), each followed by EditSession's checks of the index, the
// cursor and a comparison with a fresh parse. Random edit sessions over the same
// checks are fuzz_markup_edit's.
#include "xml/markup_edit_session.h"

#include <gtest/gtest.h>

const std::string kLong(1020, 'n'); // its end tag fills a record's field
const std::string kWide = "<a" + std::string(C::ElemPos::kMaxStartTagLen - 3, ' ') + "></a>";
// A row's edits: one expression over the document m, true when every edit did what
// the row expects (a refused edit is written negated).
#define EDIT(...) [](MarkupProbe& m) { return __VA_ARGS__; }

TEST(MarkupEdit, ResultingDocuments) {
    // Document, the cursor after the edits (tag name of the main element or current
    // node, child's, node type), the text after them, the edits.
    const std::tuple<std::string, std::string, std::string, bool (*)(MarkupProbe&)> rows[] = {
        // Elements: line breaks, empty parents opened up (a tag ending in "/>", one with
        // an end tag and no content, one never ended), escaping, CDATA, ints.
        {"", "d,e,1",
         "<a>\r\n<b>x&lt;&amp;</b>\r\n</a>\r\n<c >\r\n<x><![CDATA[y]]]]><![CDATA[>z]]></x>\r\n"
         "</c>\r\n<d>\r\n<e>-5</e>\r\n</d>\r\n",
         EDIT(m.AddElem(W("a")) && m.AddChildElem(W("b"), W("x<&amp;"), C::NF_WITH_REFS) &&
              m.AddElem(W("c"), W(""), C::NF_XHTML_SPACE) && m.SetData(nullptr) &&
              m.AddChildElem(W("x"), W("y]]>z"), C::NF_WITH_CDATA) &&
              m.AddElem(W("d"), nullptr, C::NF_NO_END) && m.AddChildElem(W("e"), -5))},
        // Attributes: quoted, unquoted, escaped; a search that leaves the tag.
        {"<a x='1' y=2 /><b 'c>d'></b>", "b,,1",
         "<a x=\"3\" y=\"\" z=\"&quot;&lt;\" /><b 'c>d'></b>",
         EDIT(m.FindElem() && m.SetAttrib(W("z"), W("\"<")) && m.SetAttrib(W("x"), 3) &&
              m.AddAttrib(W("y"), W("")) && m.FindElem() && !m.SetAttrib(W("x"), W("1")))},
        // Nodes: refused edits change nothing; a declaration's attributes, a comment's
        // and a CDATA section's data, nodes added after and before a node.
        {"<?xml version=\"1.0\"?><a><b/><!--c--><![CDATA[b]]></a>", "e,,1",
         "<?xml version=\"1.0\" e=\"8\"?><a><b/><!--cc--><![CDATA[d]]><!----><e/>t&lt;\r\n</a>",
         EDIT(!(m.AddNode(99, W("x")) || m.AddNode(C::NT_TEXT, W("")) || m.RemoveNode()) &&
              m.FindNode() && m.SetAttrib(W("e"), W("8")) &&
              !(!m.FindElem() || m.SetData(W("x")) || m.AddElem(W("x"), W("v"), C::NF_NO_END) ||
                !m.IntoElem() || !m.FindNode(C::NT_COMMENT) || m.RemoveElem() ||
                m.SetAttrib(W("x"), 1) || m.SetElemContent(W(""))) &&
              m.SetData(W("cc")) && m.FindNode() && !m.SetData(W("]]>")) && m.SetData(W("d")) &&
              m.AddNode(C::NT_COMMENT, nullptr) && m.AddNode(C::NT_TEXT, W("t<")) &&
              m.InsertNode(C::NT_ELEMENT, W("e")))},
        // Sub-documents: a declaration and blanks left out, several elements, none;
        // ill-formed content.
        {"<a/>", "a,d,1", "<a>\r\n<d/>\r\n<b><c/></b>\r\n</a>",
         EDIT(m.FindElem() && m.AddChildSubDoc(W("<?xml version=\"1.0\"?><b><c/></b>")) &&
              m.InsertChildSubDoc(W(" <d/> ")))},
        {"<r><a/><s/></r>", "s,,1", "<r><a/><b/>t<c/>\r\n<s><v></s></r>",
         EDIT(m.FindElem() && m.IntoElem() && m.FindElem() && !m.AddSubDoc(W("<b/><c/>")) &&
              !m.AddSubDoc(W("t")) && m.FindElem(W("s")) && !m.InsertChildSubDoc(W("u")) &&
              !m.SetElemContent(W("<v>")))},
        // Removal: the whitespace after an element, the cursor on what came before.
        {"<r><a/>\r\n<b/>\r\n<c/>\r\n<d/>\r\n<e/></r>", "#text,,4", "<r><d/>\r\n</r>",
         EDIT(m.FindElem() && m.FindChildElem() && m.FindChildElem() && m.RemoveChildElem() &&
              m.GetChildTagName() == W("a") && m.IntoElem() && m.FindElem() && m.RemoveElem() &&
              m.GetTagName() == W("a") && m.RemoveElem() && !m.GetNodeType() && m.FindElem() &&
              m.FindElem() && m.RemoveNode())},
        // Lone end tags: a content is clean again once the last one is gone, or data
        // replaces them.
        {"<r><a></b></c></a><c></y><x/>t</c><d></z></d></r>", "d,,1",
         "<r><a></c></a><c><x/>t</c><d>v</d></r>",
         EDIT(m.FindElem() && m.IntoElem() && m.FindElem() && m.IntoElem() && m.FindNode() &&
              m.RemoveNode() && m.OutOfElem() && m.FindElem() && m.IntoElem() && m.FindNode() &&
              m.RemoveNode() && m.OutOfElem() && m.FindElem() && m.SetData(W("v")))},
        // Limits of a record: the end tag, the start tag, the level (set on record 2, the
        // wide element, as a document nested that deep is half a million units long).
        {"<" + kLong + "n/>" + kWide, "b,,1",
         "<" + kLong + "n/><" + kLong + ">v</" + kLong + ">\r\n" + kWide + "<b/>\r\n",
         EDIT(m.FindElem() && !m.SetData(W("x")) && !m.AddChildElem(W("b")) &&
              !m.AddElem(W(kLong + "n"), W("v")) && m.AddElem(W(kLong), W("v")) && m.FindElem() &&
              !m.SetAttrib(W("b"), W("")) &&
              (m.elemPosArray[2].SetLevel(C::ElemPos::kMaxLevel), !m.AddChildElem(W("b"))) &&
              !m.AddChildSubDoc(W("t")) && !m.SetElemContent(W("")) && m.AddElem(W("b")) &&
              (m.elemPosArray[2].SetLevel(0), true))},
    };
    for (const auto& [doc, cursor, text, edit] : rows) {
        SCOPED_TRACE(doc.substr(0, 60) + " to " + text.substr(0, 60));
        EditSession s(W(doc), 0, false);
        s.clean = true; // compared with a reparse, even where the document was ill-formed
        EXPECT_TRUE(edit(s.m));
        s.message = s.m.GetError(); // a sub-document's or content's parse may rewrite it
        EXPECT_EQ(A(s.m.GetDoc()), text);
        EXPECT_EQ(A(s.m.GetTagName() + W(",") + s.m.GetChildTagName() + W(",")) +
                      std::to_string(s.m.GetNodeType()),
                  cursor);
        EXPECT_EQ(s.check(), "");
    }
}
