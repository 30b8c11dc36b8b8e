// CMarkup through the library's exports: parse results and messages, construction
// and string arguments. (Saved positions are checked with the index, in
// test_markup_internal.cpp.)
#include "xml/markup_text_views.h"

#include <gtest/gtest.h>

// Document, message.
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
