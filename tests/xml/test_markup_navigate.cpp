// CMarkup through the library's exports: moving the cursor over elements and
// nodes, and reading names, data, attributes and raw markup.
#include <pubfunc/markup.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// Tables are written in ASCII; each byte becomes one unit.
wstring16 W(const std::string& s) {
    return wstring16(s.begin(), s.end());
}
std::string A(const wstring16& s) {
    return std::string(s.begin(), s.end());
}
// The document with the cursor on the root's first child level.
CMarkup into(const char* doc, int flags = 0) {
    CMarkup m(flags);
    m.SetDoc(W(doc));
    EXPECT_TRUE(m.FindElem());
    EXPECT_TRUE(m.IntoElem());
    return m;
}
} // namespace

TEST(CMarkupNavigate, FindElemMatchesNamesAndStaysPutOnFailure) {
    CMarkup m = into("<r><a i='1'/><b i='2'/><a i='3'/><ab i='4'/></r>");
    EXPECT_TRUE(m.FindElem(W16("a")));
    EXPECT_EQ(A(m.GetAttrib(W16("i"))), "1");
    EXPECT_TRUE(m.FindElem(W16("a")));
    EXPECT_EQ(A(m.GetAttrib(W16("i"))), "3");
    EXPECT_FALSE(m.FindElem(W16("a"))); // "ab" is another name
    EXPECT_EQ(A(m.GetAttrib(W16("i"))), "3");
    EXPECT_TRUE(m.FindElem());
    EXPECT_EQ(A(m.GetTagName()), "ab");

    // A name followed by one of " =/[]" matches that name; nothing after it is read.
    for (const char* search : {"a/x", "a[1]", "a x", "a=", "a]"}) {
        m.ResetMainPos();
        EXPECT_TRUE(m.FindElem(W(search))) << search;
        EXPECT_EQ(A(m.GetAttrib(W16("i"))), "1") << search;
    }
    m.ResetMainPos();
    EXPECT_FALSE(m.FindElem(W16("A")));
    CMarkup noCase = into("<r><a i='1'/></r>", CMarkup::DF_IGNORE_CASE);
    EXPECT_TRUE(noCase.FindElem(W16("A")));
}

TEST(CMarkupNavigate, ChildLevelIntoAndOut) {
    CMarkup m(W16("<r><a><x>1</x><y>2</y></a><b/></r>"));
    EXPECT_TRUE(m.FindChildElem(W16("b"))); // finds r as the main element first
    EXPECT_EQ(A(m.GetTagName()), "r");
    EXPECT_EQ(A(m.GetChildTagName()), "b");
    m.ResetChildPos();
    EXPECT_TRUE(m.FindChildElem());
    EXPECT_EQ(A(m.GetChildTagName()), "a");
    EXPECT_EQ(A(m.GetChildData()), ""); // a has child elements
    EXPECT_TRUE(m.IntoElem());          // a is now the main element
    EXPECT_EQ(A(m.GetTagName()), "a");
    EXPECT_TRUE(m.FindChildElem(W16("y")));
    EXPECT_EQ(A(m.GetChildData()), "2");
    EXPECT_TRUE(m.OutOfElem()); // document level: r main, a child
    EXPECT_EQ(A(m.GetTagName()), "r");
    EXPECT_EQ(A(m.GetChildTagName()), "a");
    EXPECT_FALSE(m.OutOfElem());
    EXPECT_EQ(A(m.GetTagName()), "r");

    m.ResetPos();
    EXPECT_FALSE(m.IntoElem()); // no main element
    EXPECT_TRUE(m.FindNode(CMarkup::NT_ELEMENT));
    EXPECT_TRUE(m.IntoElem());
    EXPECT_EQ(m.FindNode(CMarkup::NT_ELEMENT), CMarkup::NT_ELEMENT);
    EXPECT_TRUE(m.IntoElem());
    EXPECT_EQ(m.FindNode(), CMarkup::NT_ELEMENT);
    EXPECT_EQ(m.FindNode(), CMarkup::NT_ELEMENT);
    EXPECT_EQ(A(m.GetTagName()), "y");
    EXPECT_TRUE(m.IntoElem());
    EXPECT_EQ(m.FindNode(), CMarkup::NT_TEXT);
    EXPECT_FALSE(m.IntoElem()); // a text node is current
}

// A child search needs a main element: inside an element without children there
// is none, and the search must not wander off to the top-level elements.
TEST(CMarkupNavigate, FindChildElemFailsWhenTheParentHasNoElements) {
    CMarkup m = into("<r><e/></r>");
    ASSERT_TRUE(m.FindElem());
    ASSERT_TRUE(m.IntoElem()); // parent e, nothing inside
    EXPECT_FALSE(m.FindChildElem());
    EXPECT_EQ(A(m.GetChildTagName()), "");
    EXPECT_TRUE(m.OutOfElem());
    EXPECT_EQ(A(m.GetTagName()), "e");
}

TEST(CMarkupNavigate, DataAndContentOfElements) {
    struct Case {
        const char* doc;
        const char* data;
    };
    const Case cases[] = {
        {"<r>x<!--c-->y<![CDATA[<z>]]></r>", "xy<z>"},
        {"<r>a&lt;b&#65;&amp;</r>", "a<bA&"},
        {"<r>a>b</r>", "a>b"}, // two text nodes, "a>" and "b"
        {"<r>t<c/>u</r>", ""}, // child elements hide the text
        {"<r/>", ""},
        {"<r> <!--c--> <?p?> </r>", ""},
        {"<r> a <![CDATA[&lt;]]></r>", " a &lt;"},
        {"<r>&#6<!--;--></r>", "&#6"}, // the reference would end outside the text node
    };
    for (const Case& c : cases) {
        CMarkup m(W(c.doc));
        ASSERT_TRUE(m.FindElem()) << c.doc;
        EXPECT_EQ(A(m.GetData()), c.data) << c.doc;
    }
    CMarkup m(W16("<r>x<!--c-->y</r>"));
    EXPECT_EQ(A(m.GetElemContent()), ""); // no main element yet
    m.FindElem();
    EXPECT_EQ(A(m.GetElemContent()), "x<!--c-->y");
    EXPECT_EQ(A(m.GetData()), "xy");
}

TEST(CMarkupNavigate, FindNodeVisitsEveryNodeOfTheParentOnce) {
    const char* doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!DOCTYPE r [<!ELEMENT r ANY>]>"
                      "<!--c--><r>t&amp;<e/></x><![CDATA[d]]><?pi a='1'?><1/></r> ";
    // Each step: the type found, its name, its data (elements: none) and, for an
    // instruction, its first attribute's name and value.
    struct Step {
        int type;
        const char* name;
        const char* data;
        const char* attrib;
        const char* value;
    };
    const Step top[] = {{16, "xml", "xml version=\"1.0\" encoding=\"UTF-8\"", "version", "1.0"},
                        {64, "r", "<!DOCTYPE r [<!ELEMENT r ANY>]>", "", ""},
                        {32, "#comment", "c", "", ""},
                        {1, "r", nullptr, "", ""},
                        {4, "#text", " ", "", ""},
                        {0, "", "", "", ""}};
    const Step inside[] = {{2, "#text", "t&", "", ""},
                           {1, "e", nullptr, "", ""},
                           {128, "x", "x", "", ""},
                           {8, "#cdata-section", "d", "", ""},
                           {16, "pi", "pi a='1'", "a", "1"},
                           {0x8000, "", "<1/>", "", ""},
                           {0, "", "", "", ""}};
    CMarkup m(W(doc));
    auto walk = [&m](const Step* steps) {
        for (const Step* s = steps;; ++s) {
            ASSERT_EQ(m.FindNode(), s->type) << s->name;
            if (!s->type) break;
            EXPECT_EQ(A(m.GetTagName()), s->name);
            if (s->data) {
                EXPECT_EQ(A(m.GetData()), s->data);
            }
            EXPECT_EQ(A(m.GetAttribName(0)), s->attrib);
            EXPECT_EQ(A(m.GetAttrib(W(s->attrib))), s->value);
        }
    };
    walk(top);
    EXPECT_EQ(A(m.GetAttrib(W16("encoding"))), "");
    m.ResetPos();
    ASSERT_TRUE(m.FindElem());
    ASSERT_TRUE(m.IntoElem());
    walk(inside);
    // The parent's end stops the walk and leaves the cursor on the last node.
    EXPECT_EQ(m.GetNodeType(), CMarkup::NT_NODE_ERROR);

    // Type masks skip other nodes and step over elements without entering them;
    // FindElem goes on after the node found.
    m.ResetPos();
    EXPECT_EQ(m.FindNode(CMarkup::NT_COMMENT | CMarkup::NT_WHITESPACE), CMarkup::NT_COMMENT);
    EXPECT_TRUE(m.FindElem());
    EXPECT_EQ(A(m.GetTagName()), "r");
    EXPECT_EQ(m.FindNode(CMarkup::NT_COMMENT), 0);
    EXPECT_EQ(A(m.GetTagName()), "r");

    CMarkup spaced = into("<r> <a/> </r>");
    for (int type : {4, 1, 4, 0})
        EXPECT_EQ(spaced.FindNode(0), type);
    CMarkup empty = into("<r/>");
    EXPECT_EQ(empty.FindNode(0), 0);
}

TEST(CMarkupNavigate, AttributesAndNames) {
    CMarkup m(W16("<a selected b=\"x&amp;y\" c='q\"' d=u e=''><c k='v'/></a>"));
    EXPECT_EQ(A(m.GetAttrib(W16("b"))), ""); // no main element
    ASSERT_TRUE(m.FindElem());
    const struct {
        const char* name;
        const char* value;
    } attribs[] = {{"selected", "selected"},
                   {"b", "x&y"},
                   {"c", "q\""},
                   {"d", "u"},
                   {"e", ""},
                   {"f", ""},
                   {"", ""}};
    for (const auto& a : attribs)
        EXPECT_EQ(A(m.GetAttrib(W(a.name))), a.value) << a.name;
    EXPECT_EQ(A(m.GetAttrib(nullptr)), "");
    const char* names[] = {"selected", "b", "c", "d", "e", ""};
    for (int n = 0; n < 6; ++n)
        EXPECT_EQ(A(m.GetAttribName(n)), names[n]);
    EXPECT_EQ(A(m.GetChildAttrib(W16("k"))), "");
    ASSERT_TRUE(m.FindChildElem());
    EXPECT_EQ(A(m.GetChildAttrib(W16("k"))), "v");
}

TEST(CMarkupNavigate, SubDocTakesTheWhitespaceBeforeMarkup) {
    CMarkup m = into("<r><a/>  <b>x</b>  y<c/>\r\n</r>\n");
    const char* expected[] = {"<a/>  ", "<b>x</b>", "<c/>\r\n"};
    for (const char* e : expected) {
        ASSERT_TRUE(m.FindElem());
        EXPECT_EQ(A(m.GetSubDoc()), e);
    }
    m.OutOfElem();
    EXPECT_EQ(A(m.GetSubDoc()), A(m.GetDoc()));
    EXPECT_EQ(A(m.GetChildSubDoc()), "<c/>\r\n");
}

TEST(CMarkupNavigate, SavedPositionsFollowNavigation) {
    CMarkup m(W16("<r><a><x/></a><b/></r>"));
    m.FindChildElem(W16("a"));
    ASSERT_TRUE(m.SavePos(W16("child")));
    m.IntoElem();
    m.FindChildElem();
    ASSERT_TRUE(m.SavePos(W16("deep")));
    m.ResetPos();
    ASSERT_TRUE(m.RestorePos(W16("child")));
    EXPECT_EQ(A(m.GetTagName()), "r");
    EXPECT_EQ(A(m.GetChildTagName()), "a");
    ASSERT_TRUE(m.RestorePos(W16("deep")));
    EXPECT_EQ(A(m.GetTagName()), "a");
    EXPECT_EQ(A(m.GetChildTagName()), "x");
    EXPECT_TRUE(m.OutOfElem()); // r main, a child
    EXPECT_TRUE(m.IntoElem());
    EXPECT_TRUE(m.FindElem(W16("b")));
}
