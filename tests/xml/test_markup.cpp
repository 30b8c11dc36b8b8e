// CMarkup through the library's exports: construction and string arguments, moving
// the cursor over elements and nodes, and reading names, data, attributes and raw
// markup. Parse messages are checked with the index (test_markup_internal.cpp).
// Plain documents are also walked against pugixml (walk_pugixml.cpp, Linux only: node
// kinds, names, text, attributes and element data); these cases cover what a peer
// cannot judge, on both builds: the cursor rules, the child level, ill-formed nodes
// and the raw readers.
#include "xml/markup_text_views.h"

#include <gtest/gtest.h>

// The document with the cursor inside its root element.
static CMarkup into(const char* doc, int flags = 0) {
    CMarkup m(flags);
    m.SetDoc(W(doc));
    EXPECT_TRUE(m.FindElem());
    EXPECT_TRUE(m.IntoElem());
    return m;
}

TEST(CMarkup, ConstructionAndStringArguments) {
    EXPECT_EQ(A(CMarkup().GetError()), "Empty document");
    EXPECT_EQ(CMarkup(0x4321).GetDocFlags(), 0x4321); // unknown bits are kept
    CMarkup m(W16("<r/>"));
    // A 0 unit ends the text for the parser; the document keeps every unit.
    EXPECT_TRUE(m.SetDoc(W(std::string("<a/>\0<b/>", 9))));
    EXPECT_EQ(m.GetDoc().size(), 9u);
    // Setting a document from its own text is safe.
    EXPECT_TRUE(m.SetDoc(m.GetDoc().c_str()));
    EXPECT_EQ(A(m.GetDoc()), "<a/>");
}

// A search goes on after the main element and fails where it is. An empty name
// matches any element; a name followed by one of " =/[]" matches that name, and the
// rest is not read. Names (and end tags) may ignore case. Inside an element without
// content there is no node and no main element to take, and the searches must not
// wander off to what follows it. The child level goes into and out of elements.
TEST(CMarkupNavigate, ElementCursor) {
    CMarkup m = into("<r><b i='0'/><a i='1'/><ab i='2'/><a i='3'/></r>");
    const std::pair<bool, const char*> searches[] = {{true, "1"}, {true, "3"}, {false, "3"}};
    for (const auto& [found, i] : searches) {
        EXPECT_EQ(m.FindElem(W16("a")), found) << i;
        EXPECT_EQ(A(m.GetAttrib(W16("i"))), i) << found;
    }
    for (const char* search : {"", "a/x", "a[1]", "a x", "a=", "a]"}) {
        m.ResetMainPos();
        EXPECT_TRUE(m.FindElem(W(search))) << search;
        EXPECT_EQ(A(m.GetAttrib(W16("i"))), *search ? "1" : "0") << search;
    }
    m.ResetMainPos();
    EXPECT_FALSE(m.FindElem(W16("A")));
    EXPECT_TRUE(into("<R><a/></r>", CMarkup::DF_IGNORE_CASE).FindElem(W16("A")));

    CMarkup leaf = into("<e/><x/>t");
    EXPECT_EQ(leaf.FindNode(), 0);
    EXPECT_FALSE(leaf.FindChildElem());

    // With no main element, a child search makes the parent's first element the main
    // one.
    CMarkup c(W16("<r><a><x>1</x><y>2</y></a><b/></r>"));
    EXPECT_FALSE(c.IntoElem()); // no main element
    EXPECT_TRUE(c.FindChildElem(W16("b")));
    c.ResetChildPos();
    EXPECT_TRUE(c.FindChildElem());
    EXPECT_TRUE(c.IntoElem()); // the child becomes the main element
    EXPECT_EQ(A(c.GetTagName()), "a");
    EXPECT_TRUE(c.FindChildElem(W16("y")));
    EXPECT_EQ(A(c.GetChildData()), "2");
    EXPECT_TRUE(c.OutOfElem()); // document level: r main, a child
    EXPECT_EQ(A(c.GetTagName()), "r");
    EXPECT_EQ(A(c.GetChildTagName()), "a");
    EXPECT_FALSE(c.OutOfElem());
}

TEST(CMarkupNavigate, FindNodeVisitsEveryNodeOfTheParentOnce) {
    CMarkup m(W16("<?xml version=\"1.0\" encoding=\"UTF-8\"?><!DOCTYPE r [<!ELEMENT r ANY>]>"
                  "<r></x><![CDATA[d]]><1/></r> "));
    // Type, name, data, and the first attribute's name and value. At the end of the
    // document level (type 0) the cursor stays on the last node, and the walk goes on
    // inside r.
    const std::vector<std::string> steps[] = {
        {"16", "xml", "xml version=\"1.0\" encoding=\"UTF-8\"", "version", "1.0"},
        {"64", "r", "<!DOCTYPE r [<!ELEMENT r ANY>]>", "", ""},
        {"1", "r", "d", "", ""},
        {"4", "#text", " ", "", ""},
        {"0", "#text", " ", "", ""},
        {"128", "x", "x", "", ""},
        {"8", "#cdata-section", "d", "", ""},
        {"32768", "", "<1/>", "", ""},
        {"0", "", "<1/>", "", ""}};
    for (const std::vector<std::string>& step : steps) {
        const int type = m.FindNode();
        const wstring16 attrib = m.GetAttribName(0);
        EXPECT_EQ(step,
                  (std::vector<std::string>{std::to_string(type), A(m.GetTagName()), A(m.GetData()),
                                            A(attrib), A(m.GetAttrib(attrib))}));
        if (type > CMarkup::NT_ELEMENT) {
            EXPECT_FALSE(m.IntoElem()) << type;
        } else if (!type) {
            m.ResetPos();
            ASSERT_TRUE(m.FindElem());
            ASSERT_TRUE(m.IntoElem());
        }
    }

    // A type mask skips other nodes and steps over elements without entering them;
    // FindElem goes on after the element stepped over last.
    CMarkup spaced = into("<r> <a><!--x--></a> <!--c--></r>");
    for (int type : {32, 0})
        EXPECT_EQ(spaced.FindNode(CMarkup::NT_COMMENT), type);
    EXPECT_FALSE(spaced.FindElem());
}

// The whitespace after an element belongs to its raw markup when markup or the end
// of the text follows. An element's data leaves out whitespace before markup and may
// take a numeric reference whose ';' lies past its text node; with no main element
// there is no data, whatever the text holds.
TEST(CMarkupNavigate, RawMarkupAndData) {
    CMarkup m(W16("<a b='1'><c k='v'/>  <d/> x</a>\r\n"));
    ASSERT_TRUE(m.FindChildElem());
    EXPECT_EQ(m.GetSubDoc(), m.GetDoc());
    EXPECT_EQ(A(m.GetChildSubDoc()), "<c k='v'/>  ");
    ASSERT_TRUE(m.FindChildElem());
    EXPECT_EQ(A(m.GetChildSubDoc()), "<d/>"); // text follows

    CMarkup data(W16("<r>x<!--c-->y&#6<!--;--> <![CDATA[<z>]]></r>"));
    ASSERT_TRUE(data.FindElem());
    EXPECT_EQ(A(data.GetData()), "xy\x06<z>");
    EXPECT_EQ(A(data.GetElemContent()), "x<!--c-->y&#6<!--;--> <![CDATA[<z>]]>");
    EXPECT_EQ(A(CMarkup(W16("x&lt;")).GetData()), "");
}
