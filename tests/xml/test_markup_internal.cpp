// CMarkup's index and scanner from inside: the message of each parse, the node
// scanner and the attribute tokenizer, the limits of a record and of the record
// array, saved positions and copies (one that fails too); the block searches the
// scanner and the codec run on.
#include "alloc_probe.h"
#include "core/simd.h"
#include "xml/markup_check.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <random>
#include <string>

static std::string repeat(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i)
        r += s;
    return r;
}

// The message of each parse, whatever it had to recover from: an element whose end
// tag never comes hands its children to its parent, a stray end tag is passed over.
// (fuzz_markup_parse checks the index after any parse.)
TEST(MarkupIndex, ParseMessages) {
    const std::pair<const char*, const char*> cases[] = {
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
        {"<r><x a='>", "Element tag at offset 3 unterminated"},
        {"<r><!DOCTYPE x", "Doctype at offset 3 unterminated"},
        {"<r><!ENTITY x '>", "Doctype at offset 3 unterminated"},
        {"<?xml version=\"1.0\"?>\r\n<!DOCTYPE r [ <!ELEMENT r ANY> <!-- > --> ]>\r\n<r/>", ""},
        // Inside a declaration an error points at the '>' that ended the last inner one.
        {"<r><!DOCTYPE x [<!ELEMENT a><1 <b/>]></r>", "Incorrect tag name character at offset 27"},
    };
    for (const auto& [doc, message] : cases) {
        SCOPED_TRACE(doc);
        MarkupProbe m;
        EXPECT_EQ(m.SetDoc(W(doc)), !*message);
        EXPECT_EQ(A(m.GetError()), message);
    }
}

// The node scanner over each text, node after node to its end (-2), and the
// attribute tokenizer over a tag.
TEST(MarkupIndex, Tokenizers) {
    // Type, start, length, the name of a start tag, target or end tag or the message,
    // and flags.
    typedef std::tuple<int, int, int, std::string, int> Node;
    const int kEmpty = CMarkup::NF_EMPTY_ELEMENT;
    const std::pair<const char*, std::vector<Node>> nodes[] = {
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
    for (const auto& [doc, expectedNodes] : nodes) {
        const wstring16 text = W(doc);
        CMarkup::TokenPos token(text.c_str(), 0);
        CMarkup::NodePos node;
        for (const Node& expected : expectedNodes) {
            node.text.clear();
            const int type = MarkupProbe::x_ParseNode(token, node);
            const std::string name = A(type ? node.text : MarkupProbe::x_GetToken(token));
            EXPECT_EQ(Node(type, node.start, node.length, name, node.nodeFlags), expected) << doc;
        }
        EXPECT_EQ(MarkupProbe::x_ParseNode(token, node), -2) << doc;
    }

    // The attribute found in a tag (the text after its '<') by name, or as attribute 0
    // with a null name, and its value: a name alone is its own value, a quoted token
    // where a name belongs is passed over, and the tag's own name is no attribute.
    // Tag, name, document flags, value (null: not found).
    const std::tuple<const char*, const char*, int, const char*> attributes[] = {
        {"a x='1' z=3>", "z", 0, "3"},
        {"a e='' f>", "e", 0, ""},
        {"option selected", "selected", 0, "selected"},
        {"a a='tag name is not an attribute'/>", "a", 0, "tag name is not an attribute"},
        {"a 'q' b=2>", nullptr, 0, "b"},
        {"a x = 'open", "x", 0, "open"},
        {"A X='1'>", "x", 0, nullptr},
        {"A X='1'>", "x", CMarkup::DF_IGNORE_CASE, "1"},
    };
    for (const auto& [tag, name, flags, value] : attributes) {
        SCOPED_TRACE(testing::Message() << tag << ", " << (name ? name : "null") << ", " << flags);
        const wstring16 text = W(tag), wanted = name ? W(name) : wstring16();
        CMarkup::TokenPos token(text.c_str(), flags);
        const bool found = MarkupProbe::x_FindAttrib(token, name ? wanted.c_str() : nullptr, 0);
        EXPECT_EQ(found, value != nullptr);
        if (found && value) {
            EXPECT_EQ(A(MarkupProbe::x_GetToken(token)), value);
        }
    }
}

// What a record cannot hold is left out as ill-formed; the most it holds fits (the
// longest tags, r at the deepest level). Inside r, FindNode reads a left-out piece as
// one ill-formed node and stays in step with the text after it. The record array
// holds 270,000 records in five segments: growth moves at most one segment (a request
// past the segment after the last one in use stops at its end, else the segments
// between are never made), so records keep their indexes, and the fifth segment takes
// a bigger segment table.
TEST(MarkupIndex, LimitsOfTheIndex) {
    const std::string tag = "<a" + std::string(CMarkup::ElemPos::kMaxStartTagLen - 3, ' ') + ">";
    const std::string end = "</a" + std::string(CMarkup::ElemPos::kMaxEndTagLen - 4, ' ') + ">";
    const int deep = CMarkup::ElemPos::kMaxLevel, kErr = CMarkup::NT_NODE_ERROR,
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
    MarkupProbe m;
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
// the third; saving "ba" again overwrites it.
//
// Each allocation of an assignment fails in turn: the target keeps its document,
// index, cursor and saved positions. The copy that completes is whole: a name missing
// from a copied bucket is searched to its end, and a reparse forgets the names.
TEST(MarkupIndex, SavedPositionsAndCopies) {
    ASSERT_EQ(CMarkup::SavedPosMap::Hash(W16("ab")), CMarkup::SavedPosMap::Hash(W16("ab\a")));
    // r 1, a 2, x 3, b 4, a 5, c 6, z 7
    MarkupProbe m(W16("<r><a><x/></a><b/><a><c/></a></r><z/>"));
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
    EXPECT_EQ(cursor(copy), std::vector<int>({1, 5, 6, 1}));
    EXPECT_FALSE(copy.RestorePos(W16("ab\a")));
    const std::vector<int> restored[] = {{1, 2, 3, 1}, {1, 5, 6, 1}, {0, 0, 0, 0}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(copy.RestorePos(names[i])) << A(names[i]);
        EXPECT_EQ(cursor(copy), restored[i]) << A(names[i]);
    }
    copy.SetDoc(copy.GetDoc());
    EXPECT_FALSE(copy.RestorePos(names[0]));
}

// The block searches against their unit-by-unit twins, from every start offset of the
// same random inputs: bytes holding a multi-byte sequence (or a 0) at every offset of
// a 16-byte block, so split across two blocks or ending right at an edge, units
// holding a non-ASCII unit or a surrogate pair likewise, and one unit of a small
// alphabet at every offset, searched for random sets.
TEST(MarkupCodec, BlockSearchesMatchTheirScalarTwins) {
    namespace simd = pf::simd;
    std::mt19937 rng(22);
    const std::string seqs[] = {"\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80", {"\0", 1}};
    const unsigned short alphabet[] = {'a', '<', '>', '"', ' ', 0, 0x7F, 0x3C3C, 0x8000, 0xFFFF};
    for (int at = 0; at < 48; ++at) {
        for (const std::string& seq : seqs) {
            const std::string b = std::string(at, 'x') + seq + std::string(rng() % 20, 'y');
            const auto* u = reinterpret_cast<const unsigned char*>(b.data());
            for (int s = 0; s <= int(b.size()); ++s) {
                SCOPED_TRACE(testing::Message() << "sequence at " << at << ", from " << s);
                const int n = int(b.size()) - s, run = simd::asciiRun(u + s, n);
                EXPECT_EQ(run, simd::scalar::asciiRun(u + s, n));
                std::u16string wide(size_t(run), u'?'), twin(size_t(run), u'!');
                simd::widen(&wide[0], u + s, run);
                simd::scalar::widen(&twin[0], u + s, run);
                EXPECT_EQ(wide, twin);
                EXPECT_EQ(simd::asciiBytes(u + s, n), simd::scalar::asciiBytes(u + s, n));
            }
        }
        // A non-ASCII unit, or a surrogate pair, at offset at: the unit runs and their
        // narrowing back.
        for (const std::u16string seq : {u"\u00E9", u"\U0001F600", u"\u0080"}) {
            std::u16string w;
            for (int k = 1; k <= at; ++k)
                w += char16_t('a' + k % 26);
            w += seq + u"yz";
            for (int s = 0; s <= int(w.size()); ++s) {
                const int n = int(w.size()) - s, run = simd::asciiUnits(w.data() + s, n);
                EXPECT_EQ(run, simd::scalar::asciiUnits(w.data() + s, n)) << at << " from " << s;
                std::string narrow(size_t(run), '?'), twin(size_t(run), '!');
                simd::narrow(reinterpret_cast<unsigned char*>(&narrow[0]), w.data() + s, run);
                simd::scalar::narrow(reinterpret_cast<unsigned char*>(&twin[0]), w.data() + s, run);
                EXPECT_EQ(narrow, twin);
            }
        }
        // One unit from the alphabet at offset at among units no set holds.
        std::u16string units(size_t(at + 9), u'a');
        units[size_t(at)] = char16_t(alphabet[1 + rng() % 9]);
        const simd::UnitSet set = {{alphabet[1 + rng() % 9], alphabet[1 + rng() % 9], '>', '>'},
                                   uint16_t(rng() % 2 ? 0 : 0x21)};
        for (int s = 0; s <= int(units.size()); ++s)
            EXPECT_EQ(simd::find(units.data(), s, int(units.size()), set),
                      simd::scalar::find(units.data(), s, int(units.size()), set))
                << "from " << s << " of " << testing::PrintToString(units);
    }
}
