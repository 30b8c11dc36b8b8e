// ZvString: sharing states, searches, edits, slices, numbers, and a model test.
#include "core/text_views.h"
#include "core/threads.h"

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

// Copy on write, at()'s write-through and the terminator of a null string are in
// the model test. Comparison is ordinal; compareNoCase folds ASCII letters alone.
TEST(ZvString, StatesEqualityAndComparison) {
    ZvString null, b = Z(u"abc"), c = b, e = Z(u"x", 0), all = Z(u"ab"), none;
    const unsigned short az[] = {'a', 0, 'b'}, azc[] = {'a', 0, 'c'};
    EXPECT_FALSE(e.isNull());
    EXPECT_TRUE(null == e);
    null.append(b); // a null string takes the other's record; an empty one does not
    e.append(b);
    EXPECT_TRUE(shares(null, b));
    EXPECT_FALSE(shares(e, b));
    null.clear(), c.resize(0);
    // The sign of compare, or of compareNoCase.
    const auto order = [](const char16_t* x, const char16_t* y, bool noCase = false) {
        const int v = noCase ? Z(x).compareNoCase(Z(y)) : Z(x).compare(Z(y));
        return (v > 0) - (v < 0);
    };
    const std::tuple<const char*, int, int> states[] = {
        // clang-format off
        CALL_ROW(null.isNull(), true), CALL_ROW(c.isNull(), false),
        CALL_ROW(none.replace(Z(u"a"), Z(u"b")).isNull(), false), // replacing gives a record
        CALL_ROW(all.remove(0, 2).isEmpty(), true), CALL_ROW(all.isNull(), false),
        CALL_ROW(Z(u"abc") == W16("abc"), true), CALL_ROW(Z(u"abc") != W16("ab"), true),
        CALL_ROW(ZvString(az, 3) == W16("a"), false), // the size counts, not the terminator
        CALL_ROW(ZvString(az, 3).compareNoCase(ZvString(azc, 3)) == 0, true), // but not here
        CALL_ROW(order(u"abc", u"abd"), -1), CALL_ROW(order(u"ab", u"abc"), -1),
        CALL_ROW(order(u"b", u"abc"), 1), CALL_ROW(order(u"ABC", u"abc"), -1),
        CALL_ROW(order(u"_", u"A"), 1), CALL_ROW(order(u"\u00e9", u"\u00c9"), 1),
        CALL_ROW(order(u"ab", u"abc", true), -1), CALL_ROW(order(u"ABC", u"abc", true), 0),
        CALL_ROW(order(u"_", u"A", true), -1), CALL_ROW(order(u"\u00e9", u"\u00c9", true), 1),
        // clang-format on
    };
    for (const auto& [call, got, want] : states)
        EXPECT_EQ(got, want) << call;
}

TEST(ZvString, SlicesShareWhenWholeAndClampOtherwise) {
    const ZvString abcd = Z(u"abcd");
    // The slice, its units, whether it is null, whether it shares abcd's record.
    const std::tuple<const char*, ZvString, const char16_t*, bool, bool> cases[] = {
#define SLICE(call, want, null, shared) {#call, call, want, null, shared}
        // clang-format off
        SLICE(abcd.left(-1), u"abcd", false, true), SLICE(abcd.left(2), u"ab", false, false),
        SLICE(abcd.left(0), u"", false, false),     SLICE(abcd.left(4), u"abcd", false, true),
        SLICE(abcd.right(5), u"abcd", false, true), SLICE(abcd.right(1), u"d", false, false),
        SLICE(abcd.mid(1, -1), u"bcd", false, false), SLICE(abcd.mid(-1, 3), u"ab", false, false),
        SLICE(abcd.mid(-5, 2), u"abcd", false, false), SLICE(abcd.mid(4, 1), u"", true, false),
        SLICE(abcd.mid(0, 4), u"abcd", false, true), SLICE(abcd.mid(2, 100), u"cd", false, false),
        SLICE(ZvString().mid(0), u"", true, false),
        // clang-format on
    };
#undef SLICE
    for (const auto& [call, got, want, null, shared] : cases) {
        EXPECT_EQ(str(got), want) << call;
        EXPECT_EQ(got.isNull(), null) << call;
        EXPECT_EQ(shares(got, abcd), shared) << call;
    }
    // Only ASCII letters change; each mapping reaches the first and the last unit.
    const ZvString src = Z(u"AZ@[az`{\u00c9Z");
    EXPECT_EQ(str(src.toLower()), u"az@[az`{\u00c9z");
    EXPECT_EQ(str(src.toLower().toUpper()), u"AZ@[AZ`{\u00c9Z");
    EXPECT_EQ(str(src), u"AZ@[az`{\u00c9Z");
}

// The model test below runs no searches: these are their boundaries.
TEST(ZvString, SearchesFollowTheirBoundaryRules) {
    const ZvString s = Z(u"abcabc"), empty = Z(u"", 0), null;
    const unsigned short embedded[] = {'a', 0, 'b', 'c'};
    const ZvString z(embedded, 4); // terminated searches stop at the 0 unit; others do not
    const std::tuple<const char*, int, int> cases[] = {
        // clang-format off
        CALL_ROW(s.indexOf(u'c', 3), 5), CALL_ROW(s.indexOf(u'c', -2), 5),
        CALL_ROW(s.indexOf(u'c', 6), -1), CALL_ROW(s.indexOf(u'\0'), 6),
        CALL_ROW(s.indexOf(Z(u"bc"), 2), 4), CALL_ROW(s.indexOf(Z(u""), 3), 3),
        CALL_ROW(empty.indexOf(Z(u"")), -1), CALL_ROW(s.lastIndexOf(u'a', 2), 0),
        CALL_ROW(s.lastIndexOf(u'c', 100), 5), CALL_ROW(s.lastIndexOf(u'\0', 100), -1),
        CALL_ROW(s.lastIndexOf(u'\0', 6), 6), CALL_ROW(s.lastIndexOf(u'a', -8), -1),
        CALL_ROW(s.lastIndexOf(Z(u"bc")), 4), CALL_ROW(s.lastIndexOf(Z(u"bc"), 3), 1),
        CALL_ROW(s.lastIndexOf(Z(u"c"), -1), 5), CALL_ROW(s.lastIndexOf(Z(u""), 6), 6),
        CALL_ROW(s.lastIndexOf(Z(u"abcabcx")), -1), CALL_ROW(z.indexOf(u'b'), -1),
        CALL_ROW(z.lastIndexOf(u'b'), 2), CALL_ROW(int(z.contains(Z(u"bc"))), 0),
        CALL_ROW(int(z.contains(u'\0')), 1), CALL_ROW(int(empty.contains(u'\0')), 0),
        CALL_ROW(int(empty.startsWith(u'\0')), 1), CALL_ROW(int(s.startsWith(Z(u"abc"))), 1),
        CALL_ROW(int(s.endsWith(Z(u"cabc"))), 1), CALL_ROW(int(s.endsWith(Z(u"ab"))), 0),
        CALL_ROW(int(null.startsWith(empty)), 0), CALL_ROW(int(null.startsWith(null)), 1),
        CALL_ROW(int(empty.endsWith(null)), 1),
        // clang-format on
    };
    for (const auto& [call, got, want] : cases)
        EXPECT_EQ(got, want) << call;
}

// Inserts and removes at random are in the model test; these are the cases it does
// not reach, and the replaces.
TEST(ZvString, EditsAliasingAndLimits) {
    ZvString me = Z(u"ab"), nc = Z(u"Hello hELLO"), s = Z(u"abc");
    me.replace(Z(u"b"), me);
    EXPECT_EQ(str(me), u"aab");
    // String, before, after, result. The search reads both up to their first 0
    // unit (a before of "\0x" is found everywhere) and passes over before's size.
    const std::tuple<u16, u16, u16, u16> replaces[] = {
        // clang-format off
        {u16(u"a\0a", 3), u"a", u"b", u16(u"b\0a", 3)}, {u"abcd", u16(u"\0x", 2), u"Z", u"ZZ"},
        {u"aaaaa", u"aa", u"b", u"bba"}, {u"abab", u"b", u"xyz", u"axyzaxyz"},
        {u"cabcab", u"ab", u"", u"cc"}, {u"abc", u"", u"x", u"abc"}, {u"abc", u"abcd", u"x", u"abc"},
        // clang-format on
    };
    for (const auto& [text, before, after, want] : replaces) {
        ZvString t = Z(text);
        EXPECT_EQ(str(t.replace(Z(before), Z(after))), want)
            << testing::PrintToString(text) << " before " << testing::PrintToString(before);
    }
    EXPECT_EQ(str(nc.replaceNoCase(Z(u"hello"), Z(u"bye"))), u"bye bye");
    const unsigned short* before = s.constString();
    s.resize(INT_MAX);
    s.insert(INT_MAX, u'x');
    s.insert(INT_MAX - 1, W16("xy"), 2);
    s.insert(1, W16("xy"), INT_MAX);
    EXPECT_EQ(str(s), u"abc");
    EXPECT_EQ(s.constString(), before);
}

TEST(ZvString, NumbersAndDigitStrings) {
    const std::tuple<int, int, const char16_t*> numbers[] = {
        // clang-format off
        {255, 16, u"ff"}, {-1, 16, u"ffffffff"}, {-42, 10, u"-42"}, {INT_MIN, 10, u"-2147483648"},
        {-1, 2, u"11111111111111111111111111111111"}, {71, 36, u"1z"}, {5, 1, u""}, {5, 37, u""},
        // clang-format on
    };
    for (const auto& [n, base, want] : numbers) {
        const ZvString s = ZvString::number(n, base);
        EXPECT_EQ(str(s), want) << n << " base " << base;
        EXPECT_FALSE(s.isNull()) << n << " base " << base;
    }
    const std::tuple<const char16_t*, int, bool> digits[] = {
        // clang-format off
        {u"123", 123, true}, {u"-5", 0, false}, {u"1 2", 0, false}, {u"", 0, true},
        {u"0079", 79, true}, {u"99999999999", INT_MAX, true},
        // clang-format on
    };
    for (const auto& [text, value, valid] : digits) {
        bool ok = !valid;
        EXPECT_EQ(Z(text).toInt32(&ok), value) << testing::PrintToString(u16(text));
        EXPECT_EQ(ok, valid) << testing::PrintToString(u16(text));
    }
}

// Random edits on a few strings that share records against std::u16string models.
// A write through at() reaches every string on the same record. Units that resize
// leaves unset are given values, so no model holds a 0 unit.
TEST(ZvString, ModelOfRandomEditsOnSharedStrings) {
    std::mt19937 rng(2024);
    ZvString s[4];
    u16 m[4];
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    for (int step = 0; step < 20000; ++step) {
        const int i = pick(4), j = pick(4), size = int(m[i].size()), op = size > 300 ? 4 : pick(6);
        if (op == 0) {
            s[i] = s[j];
            m[i] = m[j];
        } else if (op == 1) {
            s[i].append(s[j]);
            m[i] += m[j];
        } else if (op == 2) { // one unit (a negative position counts back) or a piece of
                              // a string, maybe of this one, whose units the insert moves
            const bool unit = pick(2) == 0;
            int at = pick(size + 6) - 3;
            const size_t from = size_t(pick(int(m[j].size()) + 1));
            const u16 piece =
                unit ? u16(1, char16_t(u'a' + pick(3))) : m[j].substr(from, size_t(pick(4)));
            if (unit)
                s[i].insert(at, static_cast<unsigned short>(piece[0]));
            else
                s[i].insert(at, s[j].constString() + from, int(piece.size()));
            if (unit && at < 0) at += size;
            if (at >= 0 && !piece.empty())
                m[i].append(size_t(std::max(at - size, 0)), u' ').insert(size_t(at), piece);
        } else if (op == 3) {
            const int pos = pick(size + 4) - 2, len = pick(5) - 1, p = pos < 0 ? pos + size : pos;
            s[i].remove(pos, len);
            if (p >= 0 && p < size && len >= 1) m[i].erase(size_t(p), size_t(len));
        } else if (op == 4) {
            const int n = pick(size + 5);
            s[i].resize(n);
            m[i].resize(size_t(n), u'a');
            for (int k = size; k < n; ++k)
                s[i].at(k) = u'a';
        } else if (op == 5 && size > 0) { // a write through at() reaches every sharer
            const int at = pick(size);
            const char16_t c = char16_t(u'x' + pick(3));
            for (int k = 0; k < 4; ++k)
                if (shares(s[k], s[i])) m[k][size_t(at)] = c;
            s[i].at(at) = c;
        }
        for (int k = 0; k < 4; ++k) {
            ASSERT_EQ(str(s[k]), m[k]) << "step " << step << " slot " << k << " op " << op;
            ASSERT_EQ(s[k].constString()[s[k].size()], 0);
        }
    }
}

// Threads that start together make the shared null and empty records on first use,
// then copy one string and one byte array and edit their copies: a count or an
// in-place write that races shows under ThreadSanitizer, an early free under ASan.
TEST(ZvString, CopiesAcrossThreads) {
    const ZvString shared = Z(u16(500, u's'));
    const ZvByteArray sharedBytes(std::string(1000, 's').c_str());
    const std::vector<ZvByteArray> copies(8, sharedBytes); // an object for each thread, one record
    onThreads(8, [&](int t) {
        const char c = char('0' + t);
        const char16_t unit = char16_t(u'0' + t);
        ZvString none, empty = Z(u"", 0);
        EXPECT_TRUE(none.append(empty).isEmpty());
        for (int i = 0; i < 2000; ++i) {
            ZvString mine = shared;
            ASSERT_EQ(str(mine.append(unit)).back(), unit);
            ZvByteArray mineToo = copies[size_t(t)];
            mineToo[i % 1000] = c;
            ASSERT_EQ(mineToo.append(c).constData()[i % 1000], c);
        }
    });
    EXPECT_EQ(str(shared), u16(500, u's'));
    EXPECT_EQ(bytes(sharedBytes), std::string(1000, 's'));
}
