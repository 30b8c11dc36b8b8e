// ZvString against std::u16string (append, copy, search) and against glibc's
// iconv (UTF-16 to UTF-8 and back, 1 MiB of mixed text). Prints a ratio table
// after the runs: peer time / library time, so above 1 means the library is faster.
#include <pubfunc/zvtextcodec.h>

#include <benchmark/benchmark.h>

#include <iconv.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

typedef std::u16string u16;

const unsigned short* units(const u16& s) {
    return reinterpret_cast<const unsigned short*>(s.data());
}

// 1 MiB of UTF-8 mixing ASCII, Latin-1, CJK and characters outside the BMP.
const std::string& mixedUtf8() {
    static const std::string text = [] {
        const std::string piece = "The quick brown fox \xE2\x80\x94 "
                                  "\xE9\x80\x9F\xE3\x81\x84\xE8\x8C\xB6\xE8\x89\xB2\xE3\x81\xAE"
                                  "\xE7\x8B\x90 \xC2\xA1Hola se\xC3\xB1or! \xF0\x9F\x98\x80 ";
        std::string t;
        while (t.size() + piece.size() <= (1u << 20))
            t += piece;
        return t;
    }();
    return text;
}

const u16& mixedUtf16() {
    static const u16 text = [] {
        const ZvString s = ZvString::fromUtf8(mixedUtf8().data(), int(mixedUtf8().size()));
        return u16(reinterpret_cast<const char16_t*>(s.constString()), size_t(s.size()));
    }();
    return text;
}

constexpr int kUnits = 1 << 20;

const u16& haystack() {
    static const u16 text = [] {
        u16 t;
        for (int i = 0; i < kUnits; ++i)
            t += char16_t(u'a' + i % 7); // never holds the needle's "z"
        t.replace(t.size() - 8, 8, u"abcdefgz");
        return t;
    }();
    return text;
}
const u16 kNeedle = u"abcdefgz";

void Append_ZvString(benchmark::State& state) {
    for (auto _ : state) {
        ZvString s;
        for (int i = 0; i < kUnits; ++i)
            s.append(static_cast<unsigned short>('a' + (i & 15)));
        benchmark::DoNotOptimize(s.constString());
    }
}
void Append_U16String(benchmark::State& state) {
    for (auto _ : state) {
        u16 s;
        for (int i = 0; i < kUnits; ++i)
            s.push_back(char16_t('a' + (i & 15)));
        benchmark::DoNotOptimize(s.data());
    }
}

void Copy_ZvString(benchmark::State& state) {
    const ZvString src = ZvString::fromWCharArray(units(haystack()), kUnits);
    for (auto _ : state) {
        ZvString copy(src);
        benchmark::DoNotOptimize(copy.constString());
    }
}
void Copy_U16String(benchmark::State& state) {
    const u16& src = haystack();
    for (auto _ : state) {
        u16 copy(src);
        benchmark::DoNotOptimize(copy.data());
    }
}

void IndexOf_ZvString(benchmark::State& state) {
    const ZvString hay = ZvString::fromWCharArray(units(haystack()), kUnits);
    const ZvString needle = ZvString::fromWCharArray(units(kNeedle), 8);
    for (auto _ : state)
        benchmark::DoNotOptimize(hay.indexOf(needle));
}
void IndexOf_U16String(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(haystack().find(kNeedle));
}

void ToUtf8_ZvString(benchmark::State& state) {
    const ZvString s = ZvString::fromWCharArray(units(mixedUtf16()), int(mixedUtf16().size()));
    for (auto _ : state) {
        const ZvByteArray out = s.toUtf8();
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(mixedUtf8().size()));
}

// iconv into a buffer allocated once; the library allocates its result each time.
void iconvRun(benchmark::State& state, const char* to, const char* from, const char* in,
              size_t inBytes, size_t outBytes) {
    iconv_t cd = iconv_open(to, from);
    std::string out(outBytes, '\0');
    for (auto _ : state) {
        char* src = const_cast<char*>(in);
        char* dst = &out[0];
        size_t inLeft = inBytes, outLeft = outBytes;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        benchmark::DoNotOptimize(iconv(cd, &src, &inLeft, &dst, &outLeft));
    }
    iconv_close(cd);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(mixedUtf8().size()));
}

void ToUtf8_Iconv(benchmark::State& state) {
    const u16& in = mixedUtf16();
    iconvRun(state, "UTF-8", "UTF-16LE", reinterpret_cast<const char*>(in.data()), in.size() * 2,
             mixedUtf8().size() + 16);
}

void FromUtf8_ZvString(benchmark::State& state) {
    const std::string& in = mixedUtf8();
    for (auto _ : state) {
        const ZvString s = ZvString::fromUtf8(in.data(), int(in.size()));
        benchmark::DoNotOptimize(s.constString());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
}
// The codec's path: a stack attempt, a measure, then the conversion.
void FromUtf8_Codec(benchmark::State& state) {
    const std::string& in = mixedUtf8();
    const ZvTextCodec codec(ZvTextCodec::Utf8);
    for (auto _ : state) {
        const ZvString s = codec.toUnicode(in.data(), int(in.size()));
        benchmark::DoNotOptimize(s.constString());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
}
void FromUtf8_Iconv(benchmark::State& state) {
    const std::string& in = mixedUtf8();
    iconvRun(state, "UTF-16LE", "UTF-8", in.data(), in.size(), in.size() * 2 + 16);
}

BENCHMARK(Append_ZvString)->Unit(benchmark::kMicrosecond);
BENCHMARK(Append_U16String)->Unit(benchmark::kMicrosecond);
BENCHMARK(Copy_ZvString);
BENCHMARK(Copy_U16String);
BENCHMARK(IndexOf_ZvString)->Unit(benchmark::kMicrosecond);
BENCHMARK(IndexOf_U16String)->Unit(benchmark::kMicrosecond);
BENCHMARK(ToUtf8_ZvString)->Unit(benchmark::kMicrosecond);
BENCHMARK(ToUtf8_Iconv)->Unit(benchmark::kMicrosecond);
BENCHMARK(FromUtf8_ZvString)->Unit(benchmark::kMicrosecond);
BENCHMARK(FromUtf8_Codec)->Unit(benchmark::kMicrosecond);
BENCHMARK(FromUtf8_Iconv)->Unit(benchmark::kMicrosecond);

// Keeps each benchmark's CPU time per iteration (ns), for the ratio table: CPU
// time, since the machine's cores may be shared with other work. With
// --benchmark_repetitions the median is kept.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ns;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
            if (r.run_type == Run::RT_Aggregate && !median) continue;
            if (!median && r.repetitions > 1) continue;
            ns[r.run_name.function_name] =
                r.GetAdjustedCPUTime() * (r.time_unit == benchmark::kMicrosecond ? 1e3 : 1.0);
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const char* pairs[][3] = {
        {"append 1M units", "Append_ZvString", "Append_U16String"},
        {"copy 1M units", "Copy_ZvString", "Copy_U16String"},
        {"indexOf 8 in 1M", "IndexOf_ZvString", "IndexOf_U16String"},
        {"toUtf8 1 MiB", "ToUtf8_ZvString", "ToUtf8_Iconv"},
        {"UTF-8 to UTF-16 (fromUtf8)", "FromUtf8_ZvString", "FromUtf8_Iconv"},
        {"UTF-8 to UTF-16 (codec)", "FromUtf8_Codec", "FromUtf8_Iconv"},
    };
    std::printf("\n%-28s %14s %14s %8s\n", "case", "library ns", "peer ns", "peer/lib");
    for (const auto& p : pairs) {
        const auto lib = reporter.ns.find(p[1]), peer = reporter.ns.find(p[2]);
        if (lib == reporter.ns.end() || peer == reporter.ns.end()) continue;
        std::printf("%-28s %14.0f %14.0f %8.2f\n", p[0], lib->second, peer->second,
                    peer->second / lib->second);
    }
    return 0;
}
