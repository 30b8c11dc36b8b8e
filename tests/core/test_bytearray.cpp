// ZvByteArray and ZvByteRef through the exported interface.
#include "core/text_views.h"
#include <pubfunc/zvbytearray.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

static const char* const null = nullptr;

// Construction, refused arguments, slices and hex; the model test below covers the
// edits at random, inserts past the end among them. Each call runs when its row is checked, and a
// failing row names the call.
TEST(ZvByteArray, ResultsAndNullStates) {
    const std::tuple<const char*, ZvByteArray (*)(), std::string, bool> rows[] = {
#define ROW(call, bytes, isNull) {#call, [] { return ZvByteArray(call); }, bytes, isNull}
        // clang-format off
        ROW(ZvByteArray(), "", true), ROW(ZvByteArray(""), "", false),
        ROW(ZvByteArray(null, 3), "", true), ROW(ZvByteArray("\0ab", 3), "", false),
        ROW(ZvByteArray("ab", 0), "", false), ROW(ZvByteArray("abc", -1), "", true),
        ROW(ZvByteArray(null), "", true), ROW(ZvByteArray('x', 3), "xxx", false),
        ROW(ZvByteArray("ab") = "", "", true), ROW(ZvByteArray().toHex(), "", false),
        ROW(ZvByteArray("").clone(), "", true), ROW(ZvByteArray::fromHex("xyz"), "", false),
        // Other bytes are skipped; an odd count of digits reads as if led by a 0.
        ROW(ZvByteArray::fromHex("0 bF\x80"), std::string("\0\xbf", 2), false),
        ROW(ZvByteArray::fromHex("a bF\x80").toHex(), "0abf", false),
        ROW(ZvByteArray().append(null, -1), "", true),
        ROW(ZvByteArray("c").insert(0, null), "c", false),
        ROW(ZvByteArray("c").prepend("ab", -1), "c", false),
        // Slices clamp to the array; mid past the end is null, and a slice whose first
        // byte is 0 gives the shared empty array.
        ROW(ZvByteArray("abc").mid(1, INT_MAX), "bc", false), // clamped without wrapping
        ROW(ZvByteArray("abcd").left(-1), "", false), ROW(ZvByteArray("abcd").right(2), "cd", false),
        ROW(ZvByteArray("abcd").mid(-1, 3), "ab", false), ROW(ZvByteArray("abcd").mid(1), "bcd", false),
        ROW(ZvByteArray("abcd").mid(4), "", true), ROW(ZvByteArray().mid(0), "", true),
        ROW(ZvByteArray().left(-1), "", false), ROW(ZvByteArray("a\0bc", 4).mid(1, 2), "", false),
        ROW(ZvByteArray("ab\0c", 4).left(3), std::string("ab\0", 3), false),
        // A first byte of 0 gives the shared empty array, which joined to a null one
        // becomes null; a length of 0 after another byte gives an array of its own.
        ROW(ZvByteArray("\0ab", 3).append(ZvByteArray()), "", true),
        ROW(ZvByteArray("ab", 0).append(ZvByteArray()), "", false),
        {"a = a.constData() + 1", [] { ZvByteArray a("abc"); return a = a.constData() + 1; },
         "bc", false},
        // clang-format on
    };
#undef ROW
    for (const auto& [call, get, want, isNull] : rows) {
        const ZvByteArray got = get();
        EXPECT_EQ(bytes(got), want) << call;
        EXPECT_EQ(got.isNull(), isNull) << call;
    }
}

TEST(ZvByteArray, SearchesAndEnds) {
    const ZvByteArray h("abcdcd"), cd("cd");
    const std::string run = std::string(34, 'a') + "b"; // past 32 bytes the hash wraps
    const std::tuple<const char*, std::function<int()>, int> rows[] = {
#define ROW(call, want) {#call, [&] { return int(call); }, want}
        // clang-format off
        ROW(ZvByteArray((run + "aaaa").c_str()).lastIndexOf(run.c_str()), 0),
        ROW(ZvByteArray("\x80\x81\x80\x81\x80").lastIndexOf("\x80\x81"), 2),
        // A negative start counts back from the end, except that a longer needle's
        // lastIndexOf then searches from the end; past the end, only a single byte is found.
        ROW(h.indexOf('c', -3), 4), ROW(h.indexOf('a', -9), 0), ROW(h.indexOf('d', 6), -1),
        ROW(h.indexOf("cd", -3), 4), ROW(h.indexOf("", 6), 6), ROW(h.indexOf("", 7), -1),
        ROW(h.lastIndexOf('c', -3), 2), ROW(h.lastIndexOf('c', 99), 4), ROW(h.lastIndexOf('a', -7), -1),
        ROW(h.lastIndexOf("cd", -5), 4), ROW(h.lastIndexOf("cd", 3), 2), ROW(h.lastIndexOf("cd", 7), -1),
        ROW(h.lastIndexOf("d", 99), 5), ROW(h.lastIndexOf("", 6), 6),
        ROW(h.indexOf(null), -1), ROW(h.lastIndexOf(null), -1), ROW(h.lastIndexOf('\0', 9), -1),
        ROW(h.contains("dc"), true), ROW(h.contains('x'), false), ROW(h.endsWith(cd), true),
        ROW(h.endsWith("bcd"), false), ROW(h.endsWith(null), true), ROW(h.endsWith('d'), true),
        ROW(h.endsWith(h), true), ROW(cd.endsWith(h), false),
        ROW(ZvByteArray("").endsWith('\0'), false),
        ROW(ZvByteArray("\xff")[0] < '\x01', true), // ZvByteRef orders bytes as signed
        // A slice of the whole array shares its record.
        ROW(h.left(6).constData() == h.constData(), true),
        ROW(h.right(9).constData() == h.constData(), true),
        ROW(h.mid(-2, -1).constData() == h.constData(), true),
        // clang-format on
    };
#undef ROW
    for (const auto& [call, get, want] : rows)
        EXPECT_EQ(get(), want) << call;
}

namespace {
// What the array should hold: its bytes, and which record it points at.
struct Model {
    enum State { Null, StaticEmpty, Heap } state = Null;
    std::string b;
    void splice(size_t pos, const std::string& s) {
        b.insert(pos, s);
        state = Heap;
    }
};

void check(const ZvByteArray& a, const Model& m) {
    ASSERT_EQ(bytes(a), m.b);
    ASSERT_EQ(a.isNull(), m.state == Model::Null);
}

void runModel(unsigned seed) {
    std::mt19937 rng(seed);
    const auto r = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const auto text = [&](int n) {
        std::string s;
        while (n-- > 0)
            s += "abc\0"[r(0, 3)];
        return s;
    };
    ZvByteArray a;
    Model m;
    // Bytes that resize and a write past the end leave undefined are given 'a' at once.
    const auto define = [&](int from, int to) {
        for (int x = from; x < to; ++x)
            a.data()[x] = m.b[size_t(x)] = 'a';
    };
    std::vector<std::pair<ZvByteArray, Model>> kept(4); // copies that must not change
    for (int step = 0; step < 100000 && !testing::Test::HasFailure(); ++step) {
        const int n = int(m.b.size()), op = n > 300 ? 3 : r(0, 8), i = r(0, n + 3);
        const int j = r(-3, n + 3), k = r(-3, n + 3), len = k + n / 2;
        // Now and then an edit's source is this array's own bytes, which the edit moves.
        const int from = r(0, n);
        const bool fromOwn = r(0, 2) == 0;
        const std::string s = fromOwn ? m.b.substr(size_t(from), size_t(r(0, 6))) : text(r(0, 6));
        const char* const src = fromOwn ? a.constData() + from : s.data();
        auto& [other, om] = kept[size_t(r(0, 3))];
        const char c = "abc"[r(0, 2)];
        if (op == 0) { // one byte goes through append(char), the rest through append(s, len)
            s.size() == 1 ? a.append(s[0]) : a.append(src, int(s.size()));
            if (!s.empty()) m.splice(size_t(n), s);
        } else if (op == 1) { // prepend(s, 0) still gives the array a record of its own
            a.prepend(src, int(s.size()));
            m.splice(0, s);
        } else if (op == 2) {
            a.insert(j, src, int(s.size()));
            if (j >= 0 && !s.empty()) {
                if (j > n) m.splice(size_t(n), std::string(size_t(j - n), ' '));
                m.splice(size_t(j), s);
            }
        } else if (op == 3) {
            a.remove(j, len);
            if (j >= 0 && j < n && len >= 1) {
                m.b.erase(size_t(j), size_t(len));
                m.state = m.b.empty() ? Model::StaticEmpty : Model::Heap;
            }
        } else if (op == 4) {
            a.resize(k);
            m.b.resize(size_t(std::max(k, 0)));
            m.state = k > 0 ? Model::Heap : Model::StaticEmpty;
            define(n, k);
        } else if (op == 5) { // the proxy reads 0 past the end; a write there grows the array
            ASSERT_EQ(char(a[i]), i >= n ? 0 : m.b[size_t(i)]) << "a[" << i << "]";
            a[i] = c;
            m.b.resize(size_t(std::max(n, i + 1)));
            m.state = Model::Heap;
            define(n, i);
            m.b[size_t(i)] = c;
        } else if (op == 6) { // a copy, now and then a null array instead
            const bool copy = r(0, 4);
            other = copy ? a : ZvByteArray();
            om = copy ? m : Model();
        } else if (op == 7) {
            a = other;
            m = om;
        } else if (op == 8) { // an array joined to a null or static empty one is shared, not copied
            const bool app = r(0, 1);
            app ? a.append(other) : a.prepend(other);
            if (m.state != Model::Heap)
                m = om;
            else if (om.state != Model::Null)
                m.splice(app ? size_t(n) : 0, om.b);
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
