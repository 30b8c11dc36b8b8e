// ZvByteArray and ZvByteRef through the exported interface.
#include <pubfunc/zvbytearray.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {
using Make = std::function<ZvByteArray()>;
std::string bytes(const ZvByteArray& a) {
    EXPECT_EQ(a.constData()[a.size()], 0) << "terminator";
    return std::string(a.constData(), size_t(a.size()));
}
ZvByteArray edited(const char* init, const std::function<void(ZvByteArray&)>& edit) {
    ZvByteArray a(init);
    edit(a);
    return a;
}
} // namespace

TEST(ZvByteArray, ResultsAndNullStates) {
    const char raw[] = {0, 'a', 'b', 'c'};
    const struct {
        const char* what;
        Make make;
        std::string expect;
        bool null;
    } cases[] = {
        {"default", [] { return ZvByteArray(); }, "", true},
        {"empty string", [] { return ZvByteArray(""); }, "", false},
        {"null pointer, length 3", [] { return ZvByteArray(nullptr, 3); }, "", true},
        {"first byte 0", [&] { return ZvByteArray(raw, 3); }, "", false},
        {"length 0", [] { return ZvByteArray("ab", 0); }, "", false},
        {"negative size refused", [] { return ZvByteArray("abc", -1); }, "", true},
        {"null for strlen", [] { return ZvByteArray(static_cast<const char*>(nullptr)); }, "",
         true},
        {"filled", [] { return ZvByteArray('x', 3); }, "xxx", false},
        {"filled 0", [] { return ZvByteArray('x', 0); }, "", false},
        {"assign empty", [] { return edited("ab", [](ZvByteArray& a) { a = ""; }); }, "", true},
        {"assign own bytes",
         [] { return edited("abc", [](ZvByteArray& a) { a = a.constData() + 1; }); }, "bc", false},
        {"left(-1)", [] { return ZvByteArray("abc").left(-1); }, "", false},
        {"right(2)", [] { return ZvByteArray("abcd").right(2); }, "cd", false},
        {"mid(1, -1)", [] { return ZvByteArray("abcd").mid(1, -1); }, "bcd", false},
        {"mid(-1, 3)", [] { return ZvByteArray("abcd").mid(-1, 3); }, "ab", false},
        {"mid(-5, 2)", [] { return ZvByteArray("abcd").mid(-5, 2); }, "", false},
        {"mid(4, 1)", [] { return ZvByteArray("abcd").mid(4, 1); }, "", true},
        {"mid(2, INT_MAX)", [] { return ZvByteArray("abcd").mid(2, 0x7fffffff); }, "cd", false},
        {"slice from a 0 byte", [] { return ZvByteArray("", 0).append("ab\0cd", 5).mid(2, 2); }, "",
         false},
        {"insert past end", [] { return edited("ab", [](ZvByteArray& a) { a.insert(5, 'x'); }); },
         "ab   x", false},
        {"insert at -1", [] { return edited("ab", [](ZvByteArray& a) { a.insert(-1, 'x'); }); },
         "ab", false},
        {"insert string", [] { return edited("ad", [](ZvByteArray& a) { a.insert(1, "bc"); }); },
         "abcd", false},
        {"remove to end", [] { return edited("abcd", [](ZvByteArray& a) { a.remove(1, 10); }); },
         "a", false},
        {"remove at size", [] { return edited("abcd", [](ZvByteArray& a) { a.remove(4, 1); }); },
         "abcd", false},
        {"remove middle", [] { return edited("abcd", [](ZvByteArray& a) { a.remove(1, 2); }); },
         "ad", false},
        {"append(s, -1)", [] { return edited("a", [](ZvByteArray& a) { a.append("bc", -1); }); },
         "abc", false},
        {"append null",
         [] { return edited(nullptr, [](ZvByteArray& a) { a.append(nullptr, -1); }); }, "", true},
        {"append to null shares",
         [] { return edited(nullptr, [](ZvByteArray& a) { a.append(ZvByteArray()); }); }, "", true},
        {"prepend",
         [] { return edited("c", [](ZvByteArray& a) { a.prepend("ab").prepend('_'); }); }, "_abc",
         false},
        {"prepend negative refused",
         [] { return edited("c", [](ZvByteArray& a) { a.prepend("ab", -1); }); }, "c", false},
        {"prepend null array",
         [] { return edited("c", [](ZvByteArray& a) { a.prepend(ZvByteArray()); }); }, "c", false},
        {"prepend array",
         [] { return edited("c", [](ZvByteArray& a) { a.prepend(ZvByteArray("ab")); }); }, "abc",
         false},
        {"insert null refused",
         [] {
             return edited("c",
                           [](ZvByteArray& a) { a.insert(0, static_cast<const char*>(nullptr)); });
         },
         "c", false},
        {"toHex", [] { return ZvByteArray("", 0).append("\x00\xab\xff", 3).toHex(); }, "00abff",
         false},
        {"toHex of null", [] { return ZvByteArray().toHex(); }, "", false},
        {"fromHex", [] { return ZvByteArray::fromHex("00abFF"); }, std::string("\x00\xab\xff", 3),
         false},
        {"fromHex skips", [] { return ZvByteArray::fromHex("a b\x80"); }, "\xab", false},
        {"fromHex odd", [] { return ZvByteArray::fromHex("abc"); }, "\x0a\xbc", false},
        {"fromHex none", [] { return ZvByteArray::fromHex("xyz"); }, "", false},
        {"clone of empty", [] { return ZvByteArray("").clone(); }, "", true},
        {"ref grows", [] { return edited("ab", [](ZvByteArray& a) { a[3] = 'x', a[2] = a[0]; }); },
         "abax", false},
    };
    for (const auto& c : cases) {
        const ZvByteArray a = c.make();
        EXPECT_EQ(bytes(a), c.expect) << c.what;
        EXPECT_EQ(a.isNull(), c.null) << c.what;
    }
}

TEST(ZvByteArray, SearchesAndEnds) {
    const ZvByteArray h("abcdcd"), cd("cd"), d("d");
    const char* null = nullptr;
    const struct {
        int got, expect;
    } cases[] = {
        {h.indexOf("cd", 0), 2},
        {h.indexOf("cd", 3), 4},
        {h.indexOf("", 6), 6},
        {h.indexOf("", 7), -1},
        {h.indexOf('d', -2), 5},
        {h.indexOf('a', 6), -1},
        {h.indexOf(null, 0), -1},
        {h.lastIndexOf("cd", -1), 4},
        {h.lastIndexOf("cd", 3), 2},
        {h.lastIndexOf(cd, 7), -1},
        {h.lastIndexOf(d, 4), 3},
        {h.lastIndexOf("c", 100), 4},
        {h.lastIndexOf("abcdcdx"), -1},
        {h.lastIndexOf(null), -1},
        {h.lastIndexOf('a', -7), -1},
        {ZvByteArray("abc").lastIndexOf('c', 10), 2},
        {h.lastIndexOf("", -1), 6},
        {ZvByteArray("\x80\x81\x80\x81\x80").lastIndexOf("\x80\x81"), 2},
        {ZvByteArray((std::string(34, 'a') + "b" + std::string(10, 'a')).c_str())
             .lastIndexOf((std::string(34, 'a') + "b").c_str()),
         0},
        {h.contains("dc"), true},
        {h.contains('x'), false},
        {h.endsWith(cd), true},
        {h.endsWith("bcd"), false},
        {h.endsWith(null), true},
        {h.endsWith('d'), true},
        {ZvByteArray("").endsWith('\0'), false},
        {h.endsWith(h), true},
        {cd.endsWith(h), false},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        EXPECT_EQ(cases[i].got, cases[i].expect) << "case " << i;
}

TEST(ZvByteArray, SharesUntilWritten) {
    const ZvByteArray a("abcd");
    for (const ZvByteArray& s : {a.left(4), a.left(10), a.right(4), a.mid(0, 4), ZvByteArray(a)})
        EXPECT_EQ(s.constData(), a.constData());
    ZvByteArray b = a;
    b += 'e';
    ZvByteArray c = a;
    c[0] = 'X';
    EXPECT_EQ(bytes(a), "abcd");
    EXPECT_EQ(bytes(b), "abcde");
    EXPECT_EQ(bytes(c), "Xbcd");
    EXPECT_EQ(c[7], 0);
    EXPECT_TRUE(c[0] < 'Y' && c[0] >= 'X' && ZvByteArray("\xff")[0] < '\x01');
}

// Sources inside the array's own bytes give the same result as a separate copy.
TEST(ZvByteArray, OwnBytesAsSource) {
    const std::function<void(ZvByteArray&, const char*)> edits[] = {
        [](ZvByteArray& a, const char* s) { a.append(s, 3); },
        [](ZvByteArray& a, const char* s) { a.prepend(s, 3); },
        [](ZvByteArray& a, const char* s) { a.insert(1, s, 3); },
        [](ZvByteArray& a, const char* s) { a.insert(40, s, 3); },
    };
    for (const auto& edit : edits) {
        const std::string src = std::string(30, 'x').append("abc");
        ZvByteArray self(src.c_str()), other(src.c_str()); // self owns its full record
        edit(self, self.constData() + 30);
        edit(other, src.c_str() + 30);
        EXPECT_EQ(bytes(self), bytes(other));
    }
}

TEST(ZvByteArray, CopiesAcrossThreads) {
    const ZvByteArray shared(std::string(1000, 's').c_str());
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([shared, t] {
            for (int i = 0; i < 2000; ++i) {
                ZvByteArray mine = shared;
                mine[i % 1000] = char('0' + t);
                mine.append(char('0' + t));
                ASSERT_EQ(mine.constData()[i % 1000], '0' + t);
                ASSERT_EQ(shared.constData()[i % 1000], 's');
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(bytes(shared), std::string(1000, 's'));
}

namespace {
// What the array should hold: its bytes, which of them are defined (resize and
// expand leave new bytes uninitialised), and which record it points at.
struct Model {
    enum State { Null, StaticEmpty, Heap } state = Null;
    std::string b, known; // known[i] is 1 where b[i] is defined

    void splice(size_t pos, const std::string& s, const std::string& k) {
        b.insert(pos, s), known.insert(pos, k), state = Heap;
    }
    void splice(size_t pos, const std::string& s) { splice(pos, s, std::string(s.size(), 1)); }
    void setSize(size_t n) { b.resize(n, ' '), known.resize(n, 0), state = Heap; }
    // A slice of [pos, end), or the whole array shared; otherwise the first byte
    // decides, 0 giving the static empty record. False when that byte is undefined.
    bool slice(bool whole, long long pos, long long end, Model& out) const {
        const long long n = static_cast<long long>(b.size());
        if (whole) return out = *this, true;
        if (pos < n && !known[size_t(pos)]) return false;
        out = Model();
        out.state = pos < n && b[size_t(pos)] ? Heap : StaticEmpty;
        if (out.state == Heap)
            out.splice(0, b.substr(size_t(pos), size_t(end - pos)),
                       known.substr(size_t(pos), size_t(end - pos)));
        return true;
    }
};

void check(const ZvByteArray& a, const Model& m) {
    ASSERT_EQ(a.size(), int(m.b.size()));
    ASSERT_EQ(a.isNull(), m.state == Model::Null);
    ASSERT_EQ(a.constData()[a.size()], 0);
    for (size_t i = 0; i < m.b.size(); ++i)
        ASSERT_TRUE(!m.known[i] || a.constData()[i] == m.b[i]) << "byte " << i;
}

int pos(size_t p) {
    return p == std::string::npos ? -1 : int(p);
}

void runModel(unsigned seed) {
    std::mt19937 rng(seed);
    const auto r = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const auto text = [&](int n, int alphabet) {
        std::string s;
        while (n-- > 0)
            s += "abc\0"[r(0, alphabet - 1)];
        return s;
    };
    ZvByteArray a;
    Model m;
    std::vector<std::pair<ZvByteArray, Model>> kept(4);
    for (int step = 0; step < 100000 && !testing::Test::HasFailure(); ++step) {
        const int n = int(m.b.size()), op = n > 300 ? 4 : r(0, 13), i = r(-1, n + 3);
        const int j = r(-3, n + 3), k = r(-3, n + 3);
        const std::string s = text(r(0, 6), 4), needle = text(r(0, 3), 3);
        auto& [other, om] = kept[size_t(r(0, 3))];
        const char c = "abc"[r(0, 2)];
        Model sm;
        switch (op) {
        case 0:
            a.append(s.data(), int(s.size()));
            if (!s.empty()) m.splice(n, s);
            break;
        case 1:
            a.append(c), m.splice(n, std::string(1, c));
            break;
        case 2: // prepend(s, 0) still gives the array a record of its own
            a.prepend(s.data(), int(s.size())), m.splice(0, s);
            break;
        case 3:
            a.insert(i, s.data(), int(s.size()));
            if (i < 0 || s.empty()) break;
            if (i > n) m.splice(n, std::string(size_t(i - n), ' '));
            m.splice(size_t(i), s);
            break;
        case 4:
            a.remove(i, k + n / 2);
            if (i < 0 || i >= n || k + n / 2 < 1) break;
            m.b.erase(size_t(i), size_t(k + n / 2)), m.known.erase(size_t(i), size_t(k + n / 2));
            m.state = m.b.empty() ? Model::StaticEmpty : Model::Heap;
            break;
        case 5:
            a.resize(k);
            if (k <= 0)
                m = Model(), m.state = Model::StaticEmpty;
            else
                m.setSize(size_t(k));
            break;
        case 6: // a write through the proxy grows the array up to the index
            a[i + 1] = c;
            if (i + 1 >= n) m.setSize(size_t(i + 2));
            m.b[size_t(i + 1)] = c, m.known[size_t(i + 1)] = 1, m.state = Model::Heap;
            break;
        case 7: {
            const char got = a[i + 1]; // 0 at or past the end; undefined bytes unchecked
            ASSERT_EQ(got, i + 1 >= n ? 0 : m.known[size_t(i + 1)] ? m.b[size_t(i + 1)] : got);
        } break;
        // Slices: left(j) is [0, j), right(j) is [n - j, n), mid(j, k) is [j, j + k), in [0, n).
        case 8: {
            const int which = r(0, 2);
            const ZvByteArray res = which == 0 ? a.left(j) : which == 1 ? a.right(j) : a.mid(j, k);
            const long long lo = which == 1 ? n - std::max(j, 0) : which == 2 ? std::max(j, 0) : 0;
            const long long hi = which == 0 ? std::max(j, 0)
                                 : which == 1 || k < 0
                                     ? n
                                     : std::max<long long>(lo, std::min(j + k, n));
            if (which == 2 && (n == 0 || j >= n))
                sm = Model();
            else if (!m.slice(which < 2 ? j >= n : lo == 0 && hi == n, lo, hi, sm))
                break;
            check(res, sm);
            if (r(0, 3) == 0) a = res, m = sm;
        } break;
        case 9: { // searches, once every byte is defined
            char* p = a.data();
            m.state = Model::Heap;
            for (int x = 0; x < n; ++x)
                if (!m.known[size_t(x)]) p[x] = m.b[size_t(x)] = 'a', m.known[size_t(x)] = 1;
            const int f = j < 0 ? std::max(j + n, 0) : j, lf = j < 0 ? j + n : j;
            const int nl = needle.size() == 1 ? lf : j < 0 ? n - int(needle.size()) : j;
            ASSERT_EQ(a.indexOf(c, j), f >= n ? -1 : pos(m.b.find(c, size_t(f))));
            ASSERT_EQ(a.indexOf(needle.c_str(), j), f > n ? -1 : pos(m.b.find(needle, size_t(f))));
            ASSERT_EQ(a.lastIndexOf(c, j), lf < 0 ? -1 : pos(m.b.rfind(c, size_t(lf))));
            ASSERT_EQ(a.lastIndexOf(needle.c_str(), j), nl < 0 || (needle.size() != 1 && nl > n)
                                                            ? -1
                                                            : pos(m.b.rfind(needle, size_t(nl))));
        } break;
        case 10:
            other = a, om = m;
            break;
        case 11:
            a = other, m = om;
            break;
        case 12: { // an array joined to a null or static empty one is shared, not copied
            const bool app = r(0, 1);
            app ? a.append(other) : a.prepend(other);
            if (m.state != Model::Heap)
                m = om;
            else if (om.state != Model::Null)
                m.splice(app ? size_t(n) : 0, om.b, om.known);
        } break;
        case 13:
            a = s.c_str(), m = Model();
            if (!std::string(s.c_str()).empty()) m.splice(0, s.c_str());
            break;
        }
        check(a, m);
        for (const auto& [copy, model] : kept)
            check(copy, model);
        if (testing::Test::HasFailure())
            ADD_FAILURE() << "seed " << seed << ", step " << step << ", op " << op;
    }
}
} // namespace

TEST(ZvByteArray, MatchesStringModel) {
    runModel(20240611u);
    if (const char* seed = std::getenv("PUBFUNC_TEST_SEED"))
        runModel(unsigned(std::strtoul(seed, nullptr, 10)));
}
