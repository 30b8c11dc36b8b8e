// ZvString: sharing states, searches, edits, slices, numbers, and a model test.
#include <pubfunc/zvstring.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {
typedef std::u16string u16;
u16 str(const ZvString& s) {
    return u16(s.constString(), s.constString() + s.size());
}
// u"" literals and std::u16string hold char16_t on both builds.
ZvString Z(const char16_t* s, int len = -1) {
    return ZvString::fromWCharArray(reinterpret_cast<const unsigned short*>(s), len);
}
ZvString Z(const u16& s) {
    return Z(s.c_str(), int(s.size()));
}
bool shares(const ZvString& a, const ZvString& b) {
    return a.constString() == b.constString();
}
} // namespace

TEST(ZvString, NullEmptyAndSharedStates) {
    ZvString null;
    EXPECT_TRUE(null.isNull());
    EXPECT_EQ(null.constString()[0], 0);
    const ZvString empty = Z(u"x", 0);
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_FALSE(empty.isNull());
    EXPECT_TRUE(null == empty);
    ZvString a = Z(u"abc");
    a.resize(0);
    EXPECT_FALSE(a.isNull());
    ZvString b = Z(u"abc"), c = b;
    EXPECT_TRUE(shares(b, c));
    c.append(u'd');
    EXPECT_EQ(str(b), u"abc");
    EXPECT_EQ(str(c), u"abcd");
    null.append(b); // a null string takes the other's record; an empty one does not
    EXPECT_TRUE(shares(null, b));
    ZvString e = Z(u"", 0);
    e.append(b);
    EXPECT_FALSE(shares(e, b));
    b.at(0) = u'X'; // non-const at() writes through to every sharer
    EXPECT_EQ(str(null), u"Xbc");
    null.clear();
    EXPECT_TRUE(null.isNull());
}

TEST(ZvString, ComparisonIsOrdinal) {
    struct Case {
        const char16_t *a, *b;
        int compare, noCase;
    };
    const Case cases[] = {
        {u"abc", u"abd", -1, -1}, {u"ab", u"abc", -1, -1}, {u"b", u"abc", 1, 1},
        {u"ABC", u"abc", -1, 0},  {u"_", u"A", 1, -1},     {u"\u00e9", u"\u00c9", 1, 1},
    };
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const Case& c : cases) {
        const ZvString a = Z(c.a), b = Z(c.b);
        EXPECT_EQ(sign(a.compare(b)), c.compare);
        EXPECT_EQ(sign(a.compareNoCase(b)), c.noCase);
        EXPECT_EQ(a < b, c.compare < 0);
        EXPECT_EQ(a >= b, c.compare >= 0);
        EXPECT_EQ(a > b, c.compare > 0);
    }
    EXPECT_TRUE(Z(u"abc") == W16("abc") && Z(u"abc") != W16("ab") && Z(u"abc") == "abc");
    const unsigned short withZero[] = {'a', 0, 'b'};
    EXPECT_FALSE(ZvString(withZero, 3) == W16("a")); // the size counts, not the terminator
}

TEST(ZvString, SlicesShareWhenWholeAndClampOtherwise) {
    const ZvString abcd = Z(u"abcd");
    struct Case {
        ZvString got;
        const char16_t* want;
        bool null, shared;
    };
    const Case cases[] = {
        {abcd.left(-1), u"abcd", false, true},   {abcd.left(2), u"ab", false, false},
        {abcd.left(0), u"", false, false},       {abcd.right(5), u"abcd", false, true},
        {abcd.right(1), u"d", false, false},     {abcd.mid(1, -1), u"bcd", false, false},
        {abcd.mid(-1, 3), u"ab", false, false},  {abcd.mid(-5, 2), u"abcd", false, false},
        {abcd.mid(4, 1), u"", true, false},      {abcd.mid(0, 4), u"abcd", false, true},
        {abcd.mid(2, 100), u"cd", false, false}, {ZvString().mid(0), u"", true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(str(c.got), c.want);
        EXPECT_EQ(c.got.isNull(), c.null) << std::string(c.want, c.want + 1);
        EXPECT_EQ(shares(c.got, abcd), c.shared);
    }
    ZvString src = Z(u"aBc\u00c9");
    const ZvString lower = src.toLower(), upper = src.toUpper();
    EXPECT_EQ(str(lower), u"abc\u00c9");
    EXPECT_EQ(str(upper), u"ABC\u00c9");
    EXPECT_EQ(str(src), u"aBc\u00c9");
}

TEST(ZvString, SearchesFollowTheirBoundaryRules) {
    const ZvString s = Z(u"abcabc"), empty = Z(u"", 0);
    EXPECT_EQ(s.indexOf(u'c', 3), 5);
    EXPECT_EQ(s.indexOf(u'c', -2), 5); // a negative from counts from the end
    EXPECT_EQ(s.indexOf(u'c', 6), -1);
    EXPECT_EQ(s.indexOf(u'\0'), 6);
    EXPECT_EQ(s.indexOf(Z(u"bc"), 2), 4);
    EXPECT_EQ(s.indexOf(Z(u""), 3), 3);
    EXPECT_EQ(empty.indexOf(Z(u"")), -1);
    EXPECT_EQ(s.lastIndexOf(u'a', 2), 0);
    EXPECT_EQ(s.lastIndexOf(u'c', 100), 5);
    EXPECT_EQ(s.lastIndexOf(u'\0', 6), 6); // starts at the terminator
    EXPECT_EQ(s.lastIndexOf(u'a', -8), -1);
    EXPECT_EQ(s.lastIndexOf(Z(u"bc")), 4);
    EXPECT_EQ(s.lastIndexOf(Z(u"bc"), 3), 1);
    EXPECT_EQ(s.lastIndexOf(Z(u"c"), -1), 5);
    EXPECT_EQ(s.lastIndexOf(Z(u""), 6), 6);
    EXPECT_EQ(s.lastIndexOf(Z(u"abcabcx")), -1);
    const unsigned short embedded[] = {'a', 0, 'b', 'c'};
    const ZvString z(embedded, 4);
    EXPECT_EQ(z.indexOf(u'b'), -1); // terminated searches stop at the 0 unit
    EXPECT_FALSE(z.contains(Z(u"bc")));
    EXPECT_EQ(z.lastIndexOf(u'b'), 2); // the backward scan does not
    EXPECT_TRUE(z.contains(u'\0'));
    EXPECT_FALSE(empty.contains(u'\0'));
    EXPECT_TRUE(empty.startsWith(u'\0'));
    EXPECT_TRUE(s.startsWith(Z(u"abc")) && s.endsWith(Z(u"cabc")) && !s.endsWith(Z(u"ab")));
    EXPECT_FALSE(ZvString().startsWith(empty));
    EXPECT_TRUE(ZvString().startsWith(ZvString()));
    EXPECT_TRUE(empty.endsWith(ZvString()));
}

TEST(ZvString, EditsPadRemoveAndReplace) {
    ZvString s = Z(u"ab");
    s.insert(5, u'x');
    EXPECT_EQ(str(s), u"ab   x");
    EXPECT_EQ(s.constString()[6], 0);
    s = Z(u"ab");
    s.insert(4, W16("xy"), 2);
    EXPECT_EQ(str(s), u"ab  xy");
    s = Z(u"abc");
    s.insert(-1, u'x');
    EXPECT_EQ(str(s), u"abxc");
    s.insert(-1, W16("q"), 1); // only insert(int, unit) counts back from the end
    EXPECT_EQ(str(s), u"abxc");
    ZvString self = Z(u"abcdef"), other = Z(u"abcdef");
    self.insert(1, self.constString() + 2, 3);
    other.insert(1, Z(u"cde"));
    EXPECT_EQ(str(self), str(other));
    self.append(self);
    EXPECT_EQ(str(self), u"acdebcdefacdebcdef");

    ZvString r = Z(u"abcd"), q = Z(u"abcd"), all = Z(u"ab");
    EXPECT_EQ(str(r.remove(-1, 1)), u"abc");
    EXPECT_EQ(str(q.remove(1, 10)), u"a");
    EXPECT_TRUE(all.remove(0, 2).isEmpty() && !all.isNull());
    struct Replace {
        const char16_t *text, *before, *after, *want;
    };
    for (const Replace& r :
         {Replace{u"banana", u"a", u"xy", u"bxynxynxy"}, Replace{u"aaa", u"aa", u"a", u"aa"},
          Replace{u"abc", u"", u"x", u"abc"}, Replace{u"abab", u"ab", u"", u""},
          Replace{u"abc", u"abc", u"abcabc", u"abcabc"}}) {
        ZvString t = Z(r.text);
        EXPECT_EQ(str(t.replace(Z(r.before), Z(r.after))), r.want)
            << std::string(r.text, r.text + 2);
    }
    ZvString nc = Z(u"Hello hELLO");
    EXPECT_EQ(str(nc.replaceNoCase(Z(u"hello"), Z(u"bye"))), u"bye bye");
    ZvString none;
    none.replace(Z(u"a"), Z(u"b"));
    EXPECT_TRUE(none.isEmpty() && !none.isNull());
    ZvString me = Z(u"ab");
    me.replace(Z(u"b"), me);
    EXPECT_EQ(str(me), u"aab");
}

TEST(ZvString, SizesPastTheLimitLeaveTheStringUnchanged) {
    ZvString s = Z(u"abc");
    const unsigned short* before = s.constString();
    s.resize(INT_MAX);
    s.insert(INT_MAX, u'x');
    s.insert(INT_MAX - 1, W16("xy"), 2);
    s.insert(1, W16("xy"), INT_MAX);
    EXPECT_EQ(str(s), u"abc");
    EXPECT_EQ(s.constString(), before);
}

TEST(ZvString, NumbersAndDigitStrings) {
    struct Num {
        int n, base;
        const char16_t* want;
    };
    for (const Num& c :
         {Num{255, 16, u"ff"}, Num{-1, 16, u"ffffffff"}, Num{-42, 10, u"-42"},
          Num{INT_MIN, 10, u"-2147483648"}, Num{-1, 2, u"11111111111111111111111111111111"},
          Num{71, 36, u"1z"}, Num{5, 1, u""}, Num{5, 37, u""}}) {
        const ZvString s = ZvString::number(c.n, c.base);
        EXPECT_EQ(str(s), c.want) << c.n << " base " << c.base;
        EXPECT_FALSE(s.isNull());
    }
    struct Digits {
        const char16_t* text;
        int value;
        bool ok;
    };
    for (const Digits& c :
         {Digits{u"123", 123, true}, Digits{u"-5", 0, false}, Digits{u"1 2", 0, false},
          Digits{u"", 0, true}, Digits{u"007", 7, true}, Digits{u"99999999999", INT_MAX, true}}) {
        bool ok = !c.ok;
        EXPECT_EQ(Z(c.text).toInt32(&ok), c.value);
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(Z(c.text).toUInt32(), unsigned(c.value));
    }
}

// Random edits on a few strings that share records against std::u16string models.
// A write through at() reaches every string on the same record; units that resize
// leaves unset are taken over from the string, whatever they hold.
TEST(ZvString, ModelOfRandomEditsOnSharedStrings) {
    std::mt19937 rng(2024);
    const int kSlots = 4;
    ZvString s[kSlots];
    u16 m[kSlots];
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    auto text = [&] {
        u16 t;
        for (int i = pick(6); i > 0; --i)
            t += char16_t(u'a' + pick(3));
        return t;
    };
    for (int step = 0; step < 20000; ++step) {
        const int i = pick(kSlots), j = pick(kSlots);
        const int size = int(m[i].size());
        const int op = pick(8);
        switch (op) {
        case 0:
            s[i] = s[j], m[i] = m[j];
            break;
        case 1:
            if (!s[j].isNull()) m[i] += m[j];
            s[i].append(s[j]);
            break;
        case 2: { // one unit (a negative position counts back) or a piece of a string
            const bool unitForm = pick(2) == 0;
            int at = unitForm ? pick(size + 6) - 3 : pick(size + 4);
            const u16 piece =
                unitForm ? u16(1, char16_t(u'a' + pick(3))) : m[j].substr(0, size_t(pick(4)));
            if (unitForm)
                s[i].insert(at, static_cast<unsigned short>(piece[0]));
            else
                s[i].insert(at, s[j].constString(), int(piece.size()));
            if (unitForm && at < 0) at += size;
            if (at < 0 || piece.empty()) break;
            if (at > size) m[i].append(size_t(at - size), u' ');
            m[i].insert(size_t(at), piece);
            break;
        }
        case 3: {
            const int pos = pick(size + 4) - 2, len = pick(5) - 1;
            s[i].remove(pos, len);
            const int p = pos < 0 ? pos + size : pos;
            if (p >= 0 && p < size && len >= 1) m[i].erase(size_t(p), size_t(len));
            break;
        }
        case 4: {
            const int n = pick(size + 5);
            s[i].resize(n);
            m[i].resize(size_t(n));
            for (int k = size; k < n; ++k) // not initialised: take what is there
                m[i][size_t(k)] = char16_t(s[i].at(k));
            break;
        }
        case 5:
            if (size > 0) {
                const int at = pick(size);
                const char16_t c = char16_t(u'x' + pick(3));
                for (int k = 0; k < kSlots; ++k)
                    if (k != i && shares(s[k], s[i]) && s[k].size() > 0) m[k][size_t(at)] = c;
                s[i].at(at) = c;
                m[i][size_t(at)] = c;
            }
            break;
        case 6: {
            const u16 before = text(), after = text();
            s[i].replace(Z(before), Z(after));
            if (!before.empty()) { // each search stops at the next 0 unit
                u16 out;
                size_t p = 0;
                for (; p < m[i].size();) {
                    const size_t end = std::min(m[i].find(u'\0', p), m[i].size());
                    const size_t hit = m[i].substr(0, end).find(before, p);
                    if (hit == u16::npos) break;
                    out += m[i].substr(p, hit - p) + after;
                    p = hit + before.size();
                }
                m[i] = out + m[i].substr(std::min(p, m[i].size()));
            }
            break;
        }
        default: {
            const int other = int(m[j].size());
            const int pos = pick(other + 2), len = pick(other + 2) - 1;
            s[i] = s[j].mid(pos, len);
            m[i] =
                pos >= other ? u16() : m[j].substr(size_t(pos), len < 0 ? u16::npos : size_t(len));
            break;
        }
        }
        for (int k = 0; k < kSlots; ++k) {
            ASSERT_EQ(str(s[k]), m[k]) << "step " << step << " slot " << k << " op " << op;
            ASSERT_EQ(s[k].constString()[s[k].size()], 0);
        }
    }
}

// Copies on other threads only take and drop references; ASan sees any early free.
TEST(ZvString, CopiesSharedAcrossThreads) {
    const ZvString shared = Z(u"shared text");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                ZvString copy = shared;
                if (i % 100 == 0) copy.append(u'!');
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(str(shared), u"shared text");
}
