// ZvByteArray and ZvByteRef through the exported interface.
#include "core/text_views.h"
#include <pubfunc/zvbytearray.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

static const char* const null = nullptr;

// Construction, refused arguments and hex; the model test below covers the edits,
// slices and searches at random.
TEST(ZvByteArray, ResultsAndNullStates) {
    ZvByteArray own("abc"), zeros("", 0);
    own = own.constData() + 1; // assigned from its own bytes
    zeros.append("\0\xab\xff", 3);
    // The array, its bytes, whether it is null.
    const std::tuple<ZvByteArray, std::string, bool> cases[] = {
        // clang-format off
        {ZvByteArray(), "", true}, {ZvByteArray(""), "", false}, {ZvByteArray(null, 3), "", true},
        {ZvByteArray("\0ab", 3), "", false}, {ZvByteArray("ab", 0), "", false},
        {ZvByteArray("abc", -1), "", true}, {ZvByteArray(null), "", true},
        {ZvByteArray('x', 3), "xxx", false}, {ZvByteArray("ab") = "", "", true}, {own, "bc", false},
        {zeros.toHex(), "00abff", false}, {ZvByteArray().toHex(), "", false},
        {ZvByteArray("").clone(), "", true}, {ZvByteArray::fromHex("xyz"), "", false},
        {ZvByteArray::fromHex("a b\x80"), "\xab", false},
        {ZvByteArray::fromHex("abc"), "\x0a\xbc", false},
        {ZvByteArray::fromHex("00abFF"), std::string("\0\xab\xff", 3), false},
        {ZvByteArray().append(null, -1), "", true}, {ZvByteArray("c").insert(0, null), "c", false},
        {ZvByteArray("c").prepend("ab", -1), "c", false},
        {ZvByteArray("ab").insert(5, 'x'), "ab   x", false},
        // clang-format on
    };
    for (const auto& c : cases) {
        const auto& [got, expect, wantNull] = c;
        EXPECT_TRUE(bytes(got) == expect && got.isNull() == wantNull) << "case " << &c - cases;
    }
}

TEST(ZvByteArray, SearchesAndEnds) {
    const ZvByteArray h("abcdcd"), cd("cd");
    const std::string run = std::string(34, 'a') + "b"; // past 32 bytes the hash wraps
    EXPECT_EQ(ZvByteArray((run + "aaaa").c_str()).lastIndexOf(run.c_str()), 0);
    EXPECT_EQ(ZvByteArray("\x80\x81\x80\x81\x80").lastIndexOf("\x80\x81"), 2);
    const int cases[][2] = {
        // clang-format off
        {h.indexOf(null), -1}, {h.lastIndexOf(null), -1}, {h.lastIndexOf('\0', 9), -1},
        {h.contains("dc"), true}, {h.contains('x'), false}, {h.endsWith(cd), true},
        {h.endsWith("bcd"), false}, {h.endsWith(null), true}, {h.endsWith('d'), true},
        {h.endsWith(h), true}, {cd.endsWith(h), false}, {ZvByteArray("").endsWith('\0'), false},
        {ZvByteArray("\xff")[0] < '\x01', true}, // ZvByteRef orders bytes as signed
        // clang-format on
    };
    for (const auto& c : cases)
        EXPECT_EQ(c[0], c[1]) << &c - cases;
}

// Each thread detaches its own copies; ASan sees an early free or a leak.
TEST(ZvByteArray, CopiesAcrossThreads) {
    const ZvByteArray shared(std::string(1000, 's').c_str());
    std::vector<std::thread> threads;
    for (char t = '0'; t < '8'; ++t)
        threads.emplace_back([shared, t] {
            for (int i = 0; i < 2000; ++i) {
                ZvByteArray mine = shared;
                mine[i % 1000] = t;
                ASSERT_EQ(mine.append(t).constData()[i % 1000], t);
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(bytes(shared), std::string(1000, 's'));
}

namespace {
// What the array should hold: its bytes, with kUndef where resize and expand left a
// byte uninitialised (no operation writes that value), and which record it points at.
constexpr char kUndef = '\x7f';
struct Model {
    enum State { Null, StaticEmpty, Heap } state = Null;
    std::string b;
    void splice(size_t pos, const std::string& s) { b.insert(pos, s), state = Heap; }
    void setSize(size_t n) { b.resize(n, kUndef), state = Heap; }
};

void check(const ZvByteArray& a, const Model& m) {
    ASSERT_EQ(a.size(), int(m.b.size()));
    ASSERT_EQ(a.isNull(), m.state == Model::Null);
    ASSERT_EQ(a.constData()[a.size()], 0);
    for (size_t i = 0; i < m.b.size(); ++i)
        ASSERT_TRUE(m.b[i] == kUndef || a.constData()[i] == m.b[i]) << "byte " << i;
}

void runModel(unsigned seed) {
    std::mt19937 rng(seed);
    const auto r = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const auto pos = [](size_t p) { return p == std::string::npos ? -1 : int(p); };
    const auto text = [&](int n, int alphabet) {
        std::string s;
        while (n-- > 0)
            s += "abc\0"[r(0, alphabet - 1)];
        return s;
    };
    ZvByteArray a;
    Model m;
    std::vector<std::pair<ZvByteArray, Model>> kept(4); // copies that must not change
    for (int step = 0; step < 100000 && !testing::Test::HasFailure(); ++step) {
        const int n = int(m.b.size()), op = n > 300 ? 3 : r(0, 10), i = r(0, n + 3);
        const int j = r(-3, n + 3), k = r(-3, n + 3), len = k + n / 2;
        // Now and then an edit's source is this array's own bytes, which the edit moves.
        const int from = r(0, n);
        const std::string own = m.b.substr(size_t(from), size_t(r(0, 6)));
        const bool fromOwn = r(0, 2) == 0 && own.find(kUndef) == std::string::npos;
        const std::string s = fromOwn ? own : text(r(0, 6), 4), needle = text(r(0, 3), 3);
        const char* const src = fromOwn ? a.constData() + from : s.data();
        auto& [other, om] = kept[size_t(r(0, 3))];
        const char c = "abc"[r(0, 2)];
        switch (op) {
        case 0: // one byte goes through append(char), the rest through append(s, len)
            s.size() == 1 ? a.append(s[0]) : a.append(src, int(s.size()));
            if (!s.empty()) m.splice(size_t(n), s);
            break;
        case 1: // prepend(s, 0) still gives the array a record of its own
            a.prepend(src, int(s.size())), m.splice(0, s);
            break;
        case 2:
            a.insert(j, src, int(s.size()));
            if (j < 0 || s.empty()) break;
            if (j > n) m.splice(size_t(n), std::string(size_t(j - n), ' '));
            m.splice(size_t(j), s);
            break;
        case 3:
            a.remove(j, len);
            if (j < 0 || j >= n || len < 1) break;
            m.b.erase(size_t(j), size_t(len));
            m.state = m.b.empty() ? Model::StaticEmpty : Model::Heap;
            break;
        case 4:
            a.resize(k);
            if (k > 0)
                m.setSize(size_t(k));
            else
                m = Model(), m.state = Model::StaticEmpty;
            break;
        case 5: { // the proxy reads 0 past the end; a write there grows the array
            const char got = a[i], want = i >= n ? 0 : m.b[size_t(i)];
            ASSERT_TRUE(got == want || want == kUndef);
            a[i] = c;
            if (i >= n) m.setSize(size_t(i + 1));
            m.b[size_t(i)] = c, m.state = Model::Heap;
        } break;
        case 6: { // left(j) is [0, j), right(j) [n - j, n), mid(j, k) [j, j + k), within [0, n)
            const int which = r(0, 2);
            const ZvByteArray res = which == 0 ? a.left(j) : which == 1 ? a.right(j) : a.mid(j, k);
            const long long lo = which == 1 ? n - std::max(j, 0) : which == 2 ? std::max(j, 0) : 0;
            const long long hi = which == 0 ? std::max(j, 0)
                                 : which == 1 || k < 0
                                     ? n
                                     : std::max<long long>(lo, std::min(j + k, n));
            const bool none = which == 2 && (n == 0 || j >= n); // mid gives a null array
            const bool whole = !none && (which < 2 ? j >= n : lo == 0 && hi == n);
            // Otherwise the first byte decides: 0 gives the static empty record.
            const char first = none || whole || lo >= n ? 0 : m.b[size_t(lo)];
            if (first == kUndef) break;
            Model sm = whole ? m : Model();
            if (!whole && !none) sm.state = first ? Model::Heap : Model::StaticEmpty;
            if (!whole && first) sm.b = m.b.substr(size_t(lo), size_t(hi - lo));
            check(res, sm);
            ASSERT_TRUE(!whole || res.constData() == a.constData()); // shared, not copied
            if (r(0, 3) == 0) a = res, m = sm;
        } break;
        case 7: { // searches, once every byte is defined
            char* p = a.data();
            m.state = Model::Heap;
            for (int x = 0; x < n; ++x)
                if (m.b[size_t(x)] == kUndef) p[x] = m.b[size_t(x)] = 'a';
            const int f = j < 0 ? std::max(j + n, 0) : j, lf = j < 0 ? j + n : j;
            const int nl = needle.size() == 1 ? lf : j < 0 ? n - int(needle.size()) : j;
            ASSERT_EQ(a.indexOf(c, j), f >= n ? -1 : pos(m.b.find(c, size_t(f))));
            ASSERT_EQ(a.indexOf(needle.c_str(), j), f > n ? -1 : pos(m.b.find(needle, size_t(f))));
            ASSERT_EQ(a.lastIndexOf(c, j), lf < 0 ? -1 : pos(m.b.rfind(c, size_t(lf))));
            const bool beyond = nl < 0 || (needle.size() != 1 && nl > n);
            ASSERT_EQ(a.lastIndexOf(needle.c_str(), j),
                      beyond ? -1 : pos(m.b.rfind(needle, size_t(nl))));
        } break;
        case 8: { // a copy, now and then a null array instead
            const bool copy = r(0, 4);
            other = copy ? a : ZvByteArray(), om = copy ? m : Model();
        } break;
        case 9:
            a = other, m = om;
            break;
        case 10: { // an array joined to a null or static empty one is shared, not copied
            const bool app = r(0, 1);
            app ? a.append(other) : a.prepend(other);
            if (m.state != Model::Heap)
                m = om;
            else if (om.state != Model::Null)
                m.splice(app ? size_t(n) : 0, om.b);
        } break;
        }
        check(a, m);
        for (const auto& [copy, model] : kept)
            check(copy, model);
        if (testing::Test::HasFailure()) ADD_FAILURE() << "seed " << seed << ", step " << step;
    }
}
} // namespace

TEST(ZvByteArray, MatchesStringModel) {
    runModel(20240611u);
    if (const char* seed = std::getenv("PUBFUNC_TEST_SEED"))
        runModel(unsigned(std::strtoul(seed, nullptr, 10)));
}
