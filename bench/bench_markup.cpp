// CMarkup::SetDoc against pugixml's load_buffer (parse_default) on three documents:
// the freedesktop.org MIME database (about 2 MB, skipped when the file is missing),
// a generated wide and shallow one and a generated deep one. Each library gets the
// text in its own form: UTF-16 for CMarkup, UTF-8 for pugixml. Counters give
// documents and elements per second; the ratio table follows the runs.
//
// On the real document two more pairs: Load from disk (read, UTF-8 to UTF-16 and
// parse) against pugixml's load_file, and a walk over every element reading its
// name and every attribute name and value against pugixml's traversal.
//
// Editing, where each pugixml run ends with one save to a string, since a CMarkup
// document always is its text: a document of N items built by appending (10,000,
// 100,000 and 1,000,000; the time per element should not grow with N), one
// attribute set on every element of the real document, and every second element
// removed from it (at each level, below the elements kept). Each iteration starts
// from a fresh parse outside the timing. The counter "per elem" is the time per
// element appended, or per element of the real document.
#include <pubfunc/markup.h>
#include <pubfunc/zvstring.h>

#include "bench_ratio.h"

#include <pugixml.hpp>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Doc {
    std::string utf8;
    wstring16 utf16;
    long elements = 0;
};

Doc makeDoc(std::string utf8) {
    Doc d;
    const ZvString s = ZvString::fromUtf8(utf8.data(), int(utf8.size()));
    d.utf16.assign(s.constString(), s.constString() + s.size());
    d.utf8 = std::move(utf8);
    pugi::xml_document doc;
    doc.load_buffer(d.utf8.data(), d.utf8.size());
    std::vector<pugi::xml_node> todo(1, doc);
    while (!todo.empty()) {
        const pugi::xml_node n = todo.back();
        todo.pop_back();
        for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
            if (c.type() == pugi::node_element) {
                ++d.elements;
                todo.push_back(c);
            }
    }
    return d;
}

const char* const kRealPath = "/usr/share/mime/packages/freedesktop.org.xml";

const Doc& realDoc() {
    static const Doc d = [] {
        std::ifstream in(kRealPath, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return makeDoc(text.str());
    }();
    return d;
}

// 50,000 items with three attributes each and a little text, under one root.
const Doc& wideDoc() {
    static const Doc d = [] {
        std::string t = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<items>\n";
        for (int i = 0; i < 50000; ++i)
            t += "  <item id=\"" + std::to_string(i) + "\" name=\"item " + std::to_string(i) +
                 "\" kind='plain'>text &amp; more</item>\n";
        return makeDoc(t + "</items>\n");
    }();
    return d;
}

// One chain of 10,000 nested elements, each with an attribute and some text.
const Doc& deepDoc() {
    static const Doc d = [] {
        std::string t;
        for (int i = 0; i < 10000; ++i)
            t += "<level depth=\"" + std::to_string(i) + "\">text ";
        for (int i = 0; i < 10000; ++i)
            t += "</level>";
        return makeDoc(t);
    }();
    return d;
}

// Each parser reloads into one object, as a host reloading a document would: CMarkup
// keeps its buffers, pugixml frees its copy of the text and its node pages before
// parsing again. The shared main keeps that freed memory in the process, so both
// parse on a warm heap; with --bench_cold_heap pugixml's figure on the wide document
// is mostly page faults (about 3,900 per load) rather than parsing.
template <bool kPugixml> void Parse(benchmark::State& state, const Doc& (*doc)()) {
    const Doc& d = doc();
    if (d.utf8.empty()) return state.SkipWithError("document missing");
    CMarkup m;
    pugi::xml_document x;
    for (auto _ : state) {
        if (kPugixml)
            benchmark::DoNotOptimize(x.load_buffer(d.utf8.data(), d.utf8.size(),
                                                   pugi::parse_default, pugi::encoding_utf8));
        else
            benchmark::DoNotOptimize(m.SetDoc(d.utf16));
    }
    state.counters["docs/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["elements/s"] =
        benchmark::Counter(double(d.elements), benchmark::Counter::kIsIterationInvariantRate);
}

template <bool kPugixml> void LoadFile(benchmark::State& state) {
    const Doc& d = realDoc();
    if (d.utf8.empty()) return state.SkipWithError("document missing");
    const std::string path = kRealPath;
    const wstring16 widePath(path.begin(), path.end());
    CMarkup m;
    pugi::xml_document x;
    for (auto _ : state) {
        if (kPugixml)
            benchmark::DoNotOptimize(x.load_file(kRealPath));
        else
            benchmark::DoNotOptimize(m.Load(widePath));
    }
    state.counters["docs/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}

// Both walks read what a host reads: the name, then each attribute's name and value.
size_t walkMarkup(CMarkup& m) {
    size_t units = 0;
    while (m.FindElem()) {
        units += m.GetTagName().size();
        for (int n = 0;; ++n) {
            const wstring16 name = m.GetAttribName(n);
            if (name.empty()) break;
            units += name.size() + m.GetAttrib(name).size();
        }
        m.IntoElem();
        units += walkMarkup(m);
        m.OutOfElem();
    }
    return units;
}
size_t walkPugi(const pugi::xml_node& parent) {
    size_t bytes = 0;
    for (pugi::xml_node e = parent.first_child(); e; e = e.next_sibling()) {
        if (e.type() != pugi::node_element) continue;
        bytes += std::strlen(e.name());
        for (pugi::xml_attribute a = e.first_attribute(); a; a = a.next_attribute())
            bytes += std::strlen(a.name()) + std::strlen(a.value());
        bytes += walkPugi(e);
    }
    return bytes;
}

template <bool kPugixml> void Walk(benchmark::State& state) {
    const Doc& d = realDoc();
    if (d.utf8.empty()) return state.SkipWithError("document missing");
    CMarkup m(d.utf16);
    pugi::xml_document x;
    x.load_buffer(d.utf8.data(), d.utf8.size());
    for (auto _ : state) {
        if (kPugixml) {
            benchmark::DoNotOptimize(walkPugi(x));
        } else {
            m.ResetPos();
            benchmark::DoNotOptimize(walkMarkup(m));
        }
    }
    state.counters["elements/s"] =
        benchmark::Counter(double(d.elements), benchmark::Counter::kIsIterationInvariantRate);
}

struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, size_t size) override {
        text.append(static_cast<const char*>(data), size);
    }
};
size_t savePugi(const pugi::xml_document& x) {
    StringWriter w;
    x.save(w, "", pugi::format_raw);
    return w.text.size();
}

void perElement(benchmark::State& state, double elements) {
    state.counters["per elem"] = benchmark::Counter(
        elements, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

template <bool kPugixml> void Append(benchmark::State& state) {
    const int n = int(state.range(0));
    for (auto _ : state) {
        if (kPugixml) {
            pugi::xml_document x;
            pugi::xml_node root = x.append_child("root");
            for (int i = 0; i < n; ++i)
                root.append_child("item").text().set("text");
            benchmark::DoNotOptimize(savePugi(x));
        } else {
            CMarkup m;
            m.AddElem(W16("root"));
            m.IntoElem();
            for (int i = 0; i < n; ++i)
                m.AddElem(W16("item"), W16("text"));
            benchmark::DoNotOptimize(m.GetDoc().size());
        }
    }
    perElement(state, n);
}

void setEveryMarkup(CMarkup& m) {
    while (m.FindElem()) {
        m.SetAttrib(W16("edited"), W16("1"));
        m.IntoElem();
        setEveryMarkup(m);
        m.OutOfElem();
    }
}
void setEveryPugi(pugi::xml_node parent) {
    for (pugi::xml_node e = parent.first_child(); e; e = e.next_sibling()) {
        if (e.type() != pugi::node_element) continue;
        pugi::xml_attribute a = e.attribute("edited");
        (a ? a : e.append_attribute("edited")).set_value("1");
        setEveryPugi(e);
    }
}

// After a removal the sibling before it is the main element again, so the next
// FindElem goes on with the element after the removed one.
void removeEverySecondMarkup(CMarkup& m) {
    for (bool drop = false; m.FindElem(); drop = !drop) {
        if (drop) {
            m.RemoveElem();
            continue;
        }
        m.IntoElem();
        removeEverySecondMarkup(m);
        m.OutOfElem();
    }
}
void removeEverySecondPugi(pugi::xml_node parent) {
    bool drop = false;
    for (pugi::xml_node e = parent.first_child(), next; e; e = next) {
        next = e.next_sibling();
        if (e.type() != pugi::node_element) continue;
        if (drop)
            parent.remove_child(e);
        else
            removeEverySecondPugi(e);
        drop = !drop;
    }
}

template <bool kPugixml>
void EditReal(benchmark::State& state, void (*markup)(CMarkup&), void (*pugi)(pugi::xml_node)) {
    const Doc& d = realDoc();
    if (d.utf8.empty()) return state.SkipWithError("document missing");
    CMarkup m;
    pugi::xml_document x;
    for (auto _ : state) {
        state.PauseTiming();
        if (kPugixml)
            x.load_buffer(d.utf8.data(), d.utf8.size());
        else
            m.SetDoc(d.utf16);
        state.ResumeTiming();
        if (kPugixml) {
            pugi(x);
            benchmark::DoNotOptimize(savePugi(x));
        } else {
            markup(m);
            benchmark::DoNotOptimize(m.GetDoc().size());
        }
    }
    perElement(state, double(d.elements));
}

const bool registered = [] {
    const std::pair<const char*, const Doc& (*)()> docs[] = {
        {"real", realDoc}, {"wide", wideDoc}, {"deep", deepDoc}};
    for (const auto& d : docs) {
        const std::string name = d.first;
        benchmark::RegisterBenchmark((name + "/pubfunc").c_str(), Parse<false>, d.second)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((name + "/pugixml").c_str(), Parse<true>, d.second)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("load/pubfunc", LoadFile<false>)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("load/pugixml", LoadFile<true>)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("walk/pubfunc", Walk<false>)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("walk/pugixml", Walk<true>)->Unit(benchmark::kMillisecond);
    for (int n : {10000, 100000, 1000000}) {
        benchmark::RegisterBenchmark("append/pubfunc", Append<false>)
            ->Arg(n)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("append/pugixml", Append<true>)
            ->Arg(n)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("setattrib/pubfunc", EditReal<false>, setEveryMarkup, setEveryPugi)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("setattrib/pugixml", EditReal<true>, setEveryMarkup, setEveryPugi)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("remove/pubfunc", EditReal<false>, removeEverySecondMarkup,
                                 removeEverySecondPugi)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("remove/pugixml", EditReal<true>, removeEverySecondMarkup,
                                 removeEverySecondPugi)
        ->Unit(benchmark::kMillisecond);
    return true;
}();

} // namespace

PUBFUNC_BENCH_MAIN()
