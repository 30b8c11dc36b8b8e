// CMarkup through the library's exports: parse results and messages, construction
// and string arguments. (Saved positions are checked with the index, in
// test_markup_internal.cpp.)
#include "xml/markup_text_views.h"

#include <gtest/gtest.h>

// Document, message.
TEST(CMarkup, ParseResultsAndMessages) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "Empty document"},
        {"  ", "No root element"},
        {"<a/><b/>", "Root element has sibling"},
        {"<a><b></a>", "End tag 'a' at offset 7 does not match start tag 'b' at offset 3"},
        {"<r><a><a></a></r>", "End tag 'r' at offset 14 does not match start tag 'a' at offset 3"},
        {"<a></b></a>", "No start tag for end tag 'b' at offset 3"},
        {"<A></a>", "No start tag for end tag 'a' at offset 3"},
        {"<a>", "Element 'a' at offset 0 not ended"},
        {"<a><!-- x", "Comment at offset 3 unterminated"},
        {"<a b=\"c\"/><!-- tail -->", ""},
        {"<r><1a/></r>", "Incorrect tag name character at offset 3"},
        {"<1a/>", "No root element"},
        {"<r><!x></r>", "Incorrect ! tag at offset 3"},
        {"<r><!-x></r>", "Incorrect comment tag at offset 3"},
        {"<r><![x></r>", "Incorrect tag at offset 3"},
        {"<r><![CDATA[x", "CDATA Section at offset 3 unterminated"},
        {"<r><?pi x", "Processing instruction at offset 3 unterminated"},
        {"<r><x a='>", "Element tag at offset 3 unterminated"},
        {"<r></r", "Element end tag at offset 3 unterminated"},
        {"<r><!DOCTYPE x", "Doctype at offset 3 unterminated"},
        {"<r><!ENTITY x '>", "Doctype at offset 3 unterminated"},
        {"<r><", "tag at offset 3 unterminated"},
        {"<?xml version=\"1.0\"?>\r\n<!DOCTYPE r [ <!ELEMENT r ANY> <!-- > --> ]>\r\n<r/>", ""},
        // Inside a declaration an error points at the '>' that ended the last inner one.
        {"<r><!DOCTYPE x [<!ELEMENT a><1 <b/>]></r>", "Incorrect tag name character at offset 27"},
    };
    for (const auto& [doc, message] : cases) {
        SCOPED_TRACE(doc);
        CMarkup m;
        EXPECT_EQ(m.SetDoc(W(doc)), !*message);
        EXPECT_EQ(A(m.GetError()), message);
    }
    EXPECT_TRUE(CMarkup(CMarkup::DF_IGNORE_CASE).SetDoc(W16("<A></a>")));
}

TEST(CMarkup, ConstructionAndStringArguments) {
    EXPECT_EQ(A(CMarkup().GetError()), "Empty document");
    EXPECT_EQ(CMarkup(0x4321).GetDocFlags(), 0x4321); // unknown bits are kept
    EXPECT_EQ(A(CMarkup(CMarkup::MCD_CSTR(nullptr)).GetError()), "Empty document");
    CMarkup m(W16("<r/>"));
    EXPECT_FALSE(m.SetDoc(static_cast<const wchar16*>(nullptr)));
    // A 0 unit ends the text for the parser; the document keeps every unit.
    EXPECT_TRUE(m.SetDoc(W(std::string("<a/>\0<b/>", 9))));
    EXPECT_EQ(m.GetDoc().size(), 9u);
    // Setting a document from its own text is safe.
    EXPECT_TRUE(m.SetDoc(m.GetDoc().c_str()));
    EXPECT_EQ(A(m.GetDoc()), "<a/>");
}
