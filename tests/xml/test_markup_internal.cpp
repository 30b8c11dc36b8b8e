// CMarkup's index and scanner from inside: records after a parse, the node scanner
// and the attribute tokenizer, the limits of a record and of the record array, saved
// positions, copies (one that fails too), releases and paths.
#include "alloc_probe.h"
#include "xml/markup_check.h"

#include <gtest/gtest.h>

#include <new>

namespace {
typedef CMarkup::ElemPos ElemPos;
std::string repeat(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i)
        r += s;
    return r;
}
const int kFirst = CMarkup::EP_FIRST_CHILD, kUnended = CMarkup::EP_NOT_ENDED,
          kBadContent = CMarkup::EP_CONTENT_ILLFORMED, kBadDoc = CMarkup::EP_DOC_ILLFORMED;
} // namespace

// Records of an element whose end tag never comes, and of a stray end tag. The
// index must hold together too (checkIndex), which also counts the records.
TEST(MarkupIndex, RecordsAfterParse) {
    // Document, record, and its start, length, start tag, end tag, flags, parent, first
    // child, next and previous sibling.
    const std::tuple<const char*, int, std::vector<int>> cases[] = {
        // b keeps its start tag, and c and d follow it under a.
        {"<a><b><c/><d/></a>", 2, {3, 3, 3, 0, kFirst | kUnended | 1, 1, 0, 3, 4}},
        {"<a></b></a>", 1, {0, 11, 3, 4, kFirst | kBadContent, 0, 0, 0, 1}},
        // The unended a hands its content mark to the document.
        {"<a><!-- x", 0, {0, 9, 0, 0, kBadDoc | kBadContent, 0, 1, 0, 0}},
        {"<a><!-- x", 1, {0, 3, 3, 0, kFirst | kUnended, 0, 0, 0, 1}},
    };
    for (const auto& [doc, i, want] : cases) {
        SCOPED_TRACE(testing::Message() << doc << ", record " << i);
        MarkupProbe m(W(doc));
        EXPECT_EQ(checkIndex(m), "");
        const ElemPos& e = m.rec(i);
        const std::vector<int> got = {e.start,       e.length,      e.StartTagLen(),
                                      e.EndTagLen(), e.flags,       e.parent,
                                      e.firstChild,  e.nextSibling, e.prevSibling};
        EXPECT_EQ(got, want);
    }
}

TEST(MarkupIndex, NodeScanner) {
    // Type, start, length, the name of a start tag, target or end tag or the message,
    // and flags.
    typedef std::tuple<int, int, int, std::string, int> Node;
    const int kEmpty = CMarkup::NF_EMPTY_ELEMENT;
    const std::pair<const char*, std::vector<Node>> cases[] = {
        {"a>b<x/>", {{2, 0, 2, "", 0}, {2, 2, 1, "", 0}, {1, 3, 4, "x", kEmpty}}},
        {" \t<?pi a?><!-- a -- b --><![CDATA[]]]]>",
         {{4, 0, 2, "", 0}, {16, 2, 8, "pi", 0}, {32, 10, 15, "", 0}, {8, 25, 14, "", 0}}},
        {"<a b=\"/\"/><a b=/><a/ ><e/ x>",
         {{1, 0, 10, "a", kEmpty}, {1, 10, 7, "a", 0}, {1, 17, 5, "a", 0}, {1, 22, 6, "e", 0}}},
        {"<!DOCTYPE r [<!ENTITY e \"a'>b\"><!-- > -->]><!DOCTYPE x \"a>b\">",
         {{64, 0, 43, "", 0}, {64, 43, 15, "", 0}, {2, 58, 3, "", 0}}},
        // A longer terminator needs its units before the '>'; "<!-->" has them.
        {"<!-->x", {{32, 0, 5, "", 0}, {2, 5, 1, "", 0}}},
        {"<?>x?>", {{16, 0, 6, "", 0}}},
        {"</ab  >< x>",
         {{0, 0, 7, "ab", 0}, {-1, 7, 4, "Incorrect tag name character at offset 7", 0}}},
    };
    for (const auto& [doc, nodes] : cases) {
        const wstring16 text = W(doc);
        CMarkup::TokenPos token(text.c_str(), 0);
        CMarkup::NodePos node;
        for (const Node& expected : nodes) {
            node.text.clear();
            const int type = MarkupProbe::x_ParseNode(token, node);
            const std::string name = A(type ? node.text : MarkupProbe::x_GetToken(token));
            EXPECT_EQ(Node(type, node.start, node.length, name, node.nodeFlags), expected) << doc;
        }
        EXPECT_EQ(MarkupProbe::x_ParseNode(token, node), -2) << doc;
    }
}

// The attribute found in a tag (the text after its '<') by name, or by number with a
// null name: its value (a name alone is its own value) and whether it was quoted; a
// quoted token where a name belongs is passed over, and the tag's own name is no
// attribute. When the name is not found (no flags), next is where a new attribute
// goes: before the whitespace of the tag's end.
TEST(MarkupIndex, AttributeTokens) {
    const int kQuoted = CMarkup::TF_QUOTED, kNotFound = -1;
    const std::tuple<const char*, const char*, int, int, const char*> cases[] = {
        {"a x='1' y=\"2\" z=3>", "z", 0, 0, "3"},
        {"a e='' f>", "e", 0, kQuoted, ""},
        {"option selected", "selected", 0, 0, "selected"},
        {"a a='tag name is not an attribute'/>", "a", 0, kQuoted, "tag name is not an attribute"},
        {"a 'q' b=2>", nullptr, 0, 0, "b"},
        {"a x = 'open", "x", 0, kQuoted, "open"},
        {"A X='1'>", "x", 0, kNotFound, ">"},
        {"a x='1' y=\"2\" z=3  />", "w", 0, kNotFound, "  />"},
    };
    for (const auto& [tag, name, n, flags, value] : cases) {
        SCOPED_TRACE(testing::Message() << tag << ", " << (name ? name : "null") << ", " << n);
        const wstring16 text = W(tag), wanted = name ? W(name) : wstring16();
        CMarkup::TokenPos token(text.c_str(), 0);
        const bool found = MarkupProbe::x_FindAttrib(token, name ? wanted.c_str() : nullptr, n);
        EXPECT_EQ(found ? token.tokenFlags : kNotFound, flags);
        EXPECT_EQ(found ? A(MarkupProbe::x_GetToken(token)) : tag + token.next, value);
    }
    const wstring16 upper = W("A X='1'>");
    CMarkup::TokenPos noCase(upper.c_str(), CMarkup::DF_IGNORE_CASE);
    EXPECT_TRUE(MarkupProbe::x_FindAttrib(noCase, W16("x"), 0));
}

// What a record cannot hold is left out as ill-formed; the most it holds fits (the
// longest tags, r at the deepest level, 270,000 records in five segments). Inside r,
// FindNode reads a left-out piece as one ill-formed node and stays in step with the
// text after it. Growth moves at most one segment, so records keep their indexes: a
// request past the segment after the last one in use stops at its end.
TEST(MarkupIndex, LimitsOfARecord) {
    MarkupProbe m;
    m.x_AllocPosArray(300000);
    EXPECT_EQ(m.elemPosArray.GetSize(), 2 * 65536);
    const std::string tag = "<a" + std::string(ElemPos::kMaxStartTagLen - 3, ' ') + ">";
    const std::string end = "</a" + std::string(ElemPos::kMaxEndTagLen - 4, ' ') + ">";
    const int deep = ElemPos::kMaxLevel, kErr = CMarkup::NT_NODE_ERROR,
              kLone = CMarkup::NT_LONE_END_TAG;
    // Document, message, FindNode(0) inside r up to its end or five nodes.
    const std::tuple<std::string, std::string, std::vector<int>> cases[] = {
        {"<r>" + tag + end + "</r>", "", {1, 0}},
        {"<r>" + repeat("<e/>", 270000) + "</r>", "", {1, 1, 1, 1, 1}},
        {"<r><a " + tag.substr(2) + "t</a><b/></r>",
         "Element tag at offset 3 too long",
         {kErr, 2, kLone, 1, 0}},
        {"<r>t</a " + end.substr(3) + "<b/></r>",
         "Element end tag at offset 4 too long",
         {2, kErr, 1, 0}},
        {repeat("<d>", deep) + "<r><a>t</a></r>" + repeat("</d>", deep),
         "Element 'a' at offset " + std::to_string(3 * deep + 3) + " nested too deeply",
         {kErr, 2, kLone, 0}},
    };
    for (const auto& [doc, message, nodes] : cases) {
        SCOPED_TRACE(testing::Message() << doc.substr(0, 12) << "... " << message);
        EXPECT_EQ(m.SetDoc(W(doc)), message.empty());
        EXPECT_EQ(A(m.GetError()), message);
        // Tags within their records, levels growing downwards, in the copy too.
        EXPECT_EQ(checkIndex(m), "");
        EXPECT_EQ(checkIndex(MarkupProbe(m)), "");
        while (m.FindElem() && m.GetTagName() != W16("r"))
            m.IntoElem();
        ASSERT_TRUE(m.IntoElem());
        std::vector<int> found;
        for (int type = -1; type && found.size() < 5;)
            found.push_back(type = m.FindNode());
        EXPECT_EQ(found, nodes);
    }
}

// "ab", "ba", "\aab" and "ab\a" (\a is 7) share a bucket, whose array of two grows for
// the third; saving "ba" again overwrites it. A path counts the same-named siblings
// before each level.
//
// Each allocation of an assignment fails in turn: the target keeps its document,
// index, cursor and saved positions. The copy that completes is whole: a name missing
// from a copied bucket is searched to its end, and a reparse forgets the names.
//
// Releasing a's subtree frees x before a, and forgets the names saved on them.
TEST(MarkupIndex, SavedPositionsCopiesAndReleases) {
    ASSERT_EQ(CMarkup::SavedPosMap::Hash(W16("ab")), CMarkup::SavedPosMap::Hash(W16("ab\a")));
    // r 1, a 2, x 3, b 4, a 5, c 6, c 7, z 8
    MarkupProbe m(W16("<r><a><x/></a><b/><a><c/><c/></a></r><z/>"));
    EXPECT_EQ(m.x_GetPath(5), W16("/r/a[2]"));
    EXPECT_EQ(m.x_GetPath(7), W16("/r/a[2]/c[2]"));
    EXPECT_FALSE(m.RestorePos(W16("ab")));
    EXPECT_FALSE(m.SavePos(CMarkup::MCD_CSTR()));
    const wstring16 names[] = {W16("ab"), W16("ba"), W16("\aab"), W16("ba")};
    const int cursors[][3] = {{1, 2, 3}, {1, 4, 0}, {0, 0, 0}, {1, 5, 6}};
    for (int i = 0; i < 4; ++i) {
        m.x_SetPos(cursors[i][0], cursors[i][1], cursors[i][2]);
        ASSERT_TRUE(m.SavePos(names[i]));
    }
    const auto cursor = [](const MarkupProbe& p) {
        return std::vector<int>{p.parentPos, p.mainPos, p.childPos, p.nodeType};
    };

    MarkupProbe copy(W16("<q><s/></q>"));
    ASSERT_TRUE(copy.FindChildElem(W16("s")));
    ASSERT_TRUE(copy.SavePos(W16("s")));
    for (int n = 1;; ++n) {
        g_failAfter = n;
        try {
            copy = m;
        } catch (const std::bad_alloc&) {
            g_failAfter = 0;
            EXPECT_EQ(A(copy.GetDoc()), "<q><s/></q>") << "allocation " << n;
            EXPECT_EQ(checkIndex(copy), "") << "allocation " << n;
            EXPECT_EQ(cursor(copy), std::vector<int>({0, 1, 2, 1})) << "allocation " << n;
            EXPECT_TRUE(copy.RestorePos(W16("s"))) << "allocation " << n;
            continue;
        }
        g_failAfter = 0;
        // At least six allocations failed in turn: the segment table, a segment, the
        // saved positions' table and bucket, the two texts.
        EXPECT_GE(n, 7);
        break;
    }
    EXPECT_EQ(A(copy.GetError()), "Root element has sibling");
    EXPECT_EQ(checkIndex(copy), "");
    EXPECT_EQ(cursor(copy), std::vector<int>({1, 5, 6, 1}));
    EXPECT_FALSE(copy.RestorePos(W16("ab\a")));
    EXPECT_TRUE(copy.RestorePos(names[0]));
    EXPECT_EQ(cursor(copy), std::vector<int>({1, 2, 3, 1}));
    copy.SetDoc(copy.GetDoc());
    EXPECT_FALSE(copy.RestorePos(names[0]));

    EXPECT_EQ(m.x_ReleaseSubDoc(2), 4);
    EXPECT_EQ(m.deletedPos, 2);
    EXPECT_EQ(m.rec(2).nextSibling, 3);
    EXPECT_EQ(m.rec(3).flags, CMarkup::EP_DELETED);
    m.x_CheckSavedPos();
    EXPECT_FALSE(m.RestorePos(names[0]));
    EXPECT_TRUE(m.RestorePos(names[1]));
    EXPECT_EQ(cursor(m), std::vector<int>({1, 5, 6, 1}));
    EXPECT_TRUE(m.RestorePos(names[2]));
    EXPECT_EQ(cursor(m), std::vector<int>({0, 0, 0, 0}));
}
