// CMarkup through the library's exports: parse results and messages, construction,
// string arguments, saved positions across a reparse and a copy.
#include "xml/markup_text_views.h"

#include <gtest/gtest.h>

// Document, flags, message.
TEST(CMarkup, ParseResultsAndMessages) {
    const std::tuple<const char*, int, const char*> cases[] = {
        {"", 0, "Empty document"},
        {"  ", 0, "No root element"},
        {"<a/><b/>", 0, "Root element has sibling"},
        {"<a><b></a>", 0, "End tag 'a' at offset 7 does not match start tag 'b' at offset 3"},
        {"<a></b></a>", 0, "No start tag for end tag 'b' at offset 3"},
        {"<a>", 0, "Element 'a' at offset 0 not ended"},
        {"<a><!-- x", 0, "Comment at offset 3 unterminated"},
        {"<a b=\"c\"/><!-- tail -->", 0, ""},
        {"<r><1a/></r>", 0, "Incorrect tag name character at offset 3"},
        {"<1a/>", 0, "No root element"},
        {"<r><!x></r>", 0, "Incorrect ! tag at offset 3"},
        {"<r><!-x></r>", 0, "Incorrect comment tag at offset 3"},
        {"<r><![x></r>", 0, "Incorrect tag at offset 3"},
        {"<r><![CDATA[x", 0, "CDATA Section at offset 3 unterminated"},
        {"<r><?pi x", 0, "Processing instruction at offset 3 unterminated"},
        {"<r><x a='>", 0, "Element tag at offset 3 unterminated"},
        {"<r></r", 0, "Element end tag at offset 3 unterminated"},
        {"<r><!DOCTYPE x", 0, "Doctype at offset 3 unterminated"},
        {"<r><!ENTITY x '>", 0, "Doctype at offset 3 unterminated"},
        {"<r><", 0, "tag at offset 3 unterminated"},
        {"<?xml version=\"1.0\"?>\r\n<!DOCTYPE r [ <!ELEMENT r ANY> <!-- > --> ]>\r\n<r/>", 0, ""},
        // Inside a declaration an error points at the '>' that ended the last inner one.
        {"<r><!DOCTYPE x [<!ELEMENT a ANY><1 <b/>]></r>", 0,
         "Incorrect tag name character at offset 31"},
        {"<A></a>", CMarkup::DF_IGNORE_CASE, ""},
        {"<A></a>", 0, "No start tag for end tag 'a' at offset 3"},
        {"<r><a><a></a></r>", 0,
         "End tag 'r' at offset 14 does not match start tag 'a' at offset 3"},
    };
    for (const auto& [doc, flags, message] : cases) {
        SCOPED_TRACE(doc);
        CMarkup m(flags);
        const bool wellFormed = m.SetDoc(W(doc));
        EXPECT_EQ(A(m.GetError()), message);
        EXPECT_EQ(wellFormed, !*message);
        EXPECT_EQ(m.IsWellFormed(), wellFormed);
        EXPECT_EQ(m.GetDocFlags(), flags);
        EXPECT_EQ(m.GetNodeType(), 0);
    }
}

TEST(CMarkup, ConstructionAndStringArguments) {
    EXPECT_EQ(A(CMarkup().GetError()), "Empty document");
    EXPECT_EQ(CMarkup(0x4321).GetDocFlags(), 0x4321); // unknown bits are kept
    const wstring16 text = W("<r><c/></r>");
    CMarkup fromString(text), fromPointer(text.c_str()), fromNull(CMarkup::MCD_CSTR(nullptr));
    EXPECT_EQ(fromString.GetDoc(), text);
    EXPECT_TRUE(fromPointer.IsWellFormed());
    EXPECT_EQ(A(fromNull.GetError()), "Empty document");

    CMarkup m;
    EXPECT_TRUE(m.SetDoc(text.c_str()));
    EXPECT_FALSE(m.SetDoc(static_cast<const wchar16*>(nullptr)));
    EXPECT_EQ(A(m.GetError()), "Empty document");
    // A 0 unit ends the text for the parser; the document keeps every unit.
    EXPECT_TRUE(m.SetDoc(W(std::string("<a/>\0<b/>", 9))));
    EXPECT_EQ(m.GetDoc().size(), 9u);
    // Setting a document from its own text is safe.
    EXPECT_TRUE(m.SetDoc(m.GetDoc().c_str()));
    EXPECT_EQ(A(m.GetDoc()), "<a/>");
}

// A reparse forgets every saved name; a copy keeps them.
TEST(CMarkup, SavedPositionsEndWithAReparseAndSurviveACopy) {
    CMarkup m(CMarkup::MCD_CSTR(W16("<r/>")));
    EXPECT_FALSE(m.SavePos(CMarkup::MCD_CSTR()));
    EXPECT_FALSE(m.RestorePos(W16("top")));
    EXPECT_TRUE(m.SavePos(W16("top")));
    const CMarkup copy(m);
    EXPECT_TRUE(m.RestorePos(W16("top")));
    EXPECT_FALSE(m.RestorePos(W16("to")));
    m.SetDoc(W16("<r/>"));
    EXPECT_FALSE(m.RestorePos(W16("top")));
    CMarkup again = copy;
    EXPECT_TRUE(again.RestorePos(W16("top")));
    EXPECT_FALSE(again.RestorePos(W16("pot"))); // the bucket of "top", searched to its end
}
