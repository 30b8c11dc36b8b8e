// CMarkup navigation, white-box: element paths.
#include "xml/markup_check.h"

#include <gtest/gtest.h>

namespace {
class PathProbe : public MarkupProbe {
public:
    using CMarkup::x_GetPath;
    using MarkupProbe::MarkupProbe;
};
} // namespace

TEST(CMarkupNavigateInternal, PathsCountSameNamedSiblingsBefore) {
    PathProbe m(W16("<r><a/><b/><a><c/><c/></a></r>"));
    ASSERT_TRUE(m.FindElem() && m.IntoElem());
    const wstring16 paths[] = {W16("/r/a"), W16("/r/a[2]")};
    for (const wstring16& path : paths) {
        ASSERT_TRUE(m.FindElem(W16("a")));
        EXPECT_EQ(m.x_GetPath(m.mainPos), path);
    }
    ASSERT_TRUE(m.FindChildElem() && m.FindChildElem());
    EXPECT_EQ(m.x_GetPath(m.childPos), W16("/r/a[2]/c[2]"));
    EXPECT_EQ(m.x_GetPath(0), W16(""));
}
