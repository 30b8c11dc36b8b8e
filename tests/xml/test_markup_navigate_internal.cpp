// CMarkup navigation, white-box: element paths and the cursor rules behind them.
#include "xml/markup_check.h"

#include <gtest/gtest.h>

namespace {
class PathProbe : public MarkupProbe {
public:
    using CMarkup::nodeLength;
    using CMarkup::nodeType;
    using CMarkup::x_FindElem;
    using CMarkup::x_GetPath;
    using CMarkup::x_GetTagName;
    using MarkupProbe::MarkupProbe;
};
std::string A(const wstring16& s) {
    return std::string(s.begin(), s.end());
}
} // namespace

TEST(CMarkupNavigateInternal, PathsCountSameNamedSiblingsBefore) {
    PathProbe m(W16("<r><a/><b/><a><c/><c/></a></r>"));
    ASSERT_TRUE(m.FindElem());
    ASSERT_TRUE(m.IntoElem());
    ASSERT_TRUE(m.FindElem(W16("a")));
    EXPECT_EQ(A(m.x_GetPath(m.mainPos)), "/r/a");
    ASSERT_TRUE(m.FindElem(W16("a")));
    EXPECT_EQ(A(m.x_GetPath(m.mainPos)), "/r/a[2]");
    ASSERT_TRUE(m.FindChildElem());
    ASSERT_TRUE(m.FindChildElem());
    EXPECT_EQ(A(m.x_GetPath(m.childPos)), "/r/a[2]/c[2]");
    EXPECT_EQ(A(m.x_GetPath(0)), "");
    EXPECT_EQ(m.x_FindElem(0, 0, W16("r")), m.parentPos);
}

// After a node is found the main element is the one before it, the child is
// cleared, and an element found is the current node with no node span.
TEST(CMarkupNavigateInternal, FindNodeKeepsTheCursorInvariants) {
    PathProbe m(W16("<r>t<a/>u<b>v</b></r>"));
    m.FindElem();
    m.FindChildElem(W16("b"));
    m.IntoElem();
    m.OutOfElem();
    const int r = m.parentPos ? m.parentPos : m.mainPos;
    m.ResetPos();
    m.FindElem();
    m.IntoElem();
    const struct {
        int type;
        const char* main;
    } steps[] = {{2, ""}, {1, "a"}, {2, "a"}, {1, "b"}, {0, "b"}};
    for (const auto& s : steps) {
        EXPECT_EQ(m.FindNode(), s.type);
        EXPECT_EQ(m.parentPos, r);
        EXPECT_EQ(m.childPos, 0);
        EXPECT_EQ(A(m.x_GetTagName(m.mainPos)), s.main);
        if (s.type == 1) {
            EXPECT_EQ(m.nodeLength, 0);
            EXPECT_EQ(m.nodeType, 1);
        }
    }
}
