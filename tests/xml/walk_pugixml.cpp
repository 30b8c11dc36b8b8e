// CMarkup's node walk against pugixml reading the UTF-8 form of the same documents,
// generated from a fixed seed. Linux build only (pugixml comes from the distribution's
// package; the Windows build has no copy of it), hence the _Posix name. There wide text
// is std::u16string, so the core tests' ZvString views convert it.
#include "core/text_views.h"

#include <pubfunc/markup.h>

#include <pugixml.hpp>

#include <map>
#include <random>
#include <vector>

const auto utf8 = [](const wstring16& s) { return bytes(Z(s).toUtf8()); };

// One line per node: a letter for its kind and its data (elements and instructions:
// the name), adjacent text merged (CMarkup splits text at a '>', pugixml does not).
// An element's line is followed by a line per attribute in order, the lines of its
// nodes, and "=" with its data.
static void add(std::vector<std::string>& out, char kind, const std::string& data) {
    if (kind == 'T' && !out.empty() && out.back()[0] == 'T')
        out.back() += data;
    else
        out.push_back(kind + data);
}

// Element, text, whitespace, CDATA, instruction, comment: by CMarkup's node type.
const std::map<int, char> kKinds = {{1, 'E'}, {2, 'T'}, {4, 'T'}, {8, 'K'}, {16, 'P'}, {32, 'C'}};

static void walkMarkup(CMarkup& m, std::vector<std::string>& out) {
    for (int type; (type = m.FindNode()) != 0;) {
        const char kind = kKinds.count(type) ? kKinds.at(type) : '?';
        add(out, kind, utf8(kind == 'E' || kind == 'P' ? m.GetTagName() : m.GetData()));
        if (kind != 'E') continue;
        for (int n = 0; !m.GetAttribName(n).empty(); ++n)
            add(out, ' ', utf8(m.GetAttribName(n) + W16("=") + m.GetAttrib(m.GetAttribName(n))));
        m.IntoElem();
        walkMarkup(m, out);
        m.OutOfElem();
        add(out, '=', utf8(m.GetData()));
    }
}

// Adds the lines of parent's nodes and returns parent's data: its text and CDATA when
// it has no child elements, whitespace-only text counting only when it is all the
// content.
static std::string walkPugi(const pugi::xml_node& parent, std::vector<std::string>& out) {
    std::string data;
    bool element = false;
    for (pugi::xml_node n = parent.first_child(); n; n = n.next_sibling()) {
        const char kind = "??ETKCPP?"[n.type()]; // by pugi::xml_node_type
        const std::string value = n.value();
        const bool alone = !n.previous_sibling() && !n.next_sibling();
        add(out, kind, kind == 'E' || kind == 'P' ? n.name() : value);
        element = element || kind == 'E';
        if (kind == 'K' ||
            (kind == 'T' && (alone || value.find_first_not_of(" \t\r\n") != std::string::npos)))
            data += value;
        if (kind != 'E') continue;
        for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute())
            add(out, ' ', std::string(a.name()) + "=" + a.value());
        add(out, '=', walkPugi(n, out));
    }
    return element ? "" : data;
}

// A random element: attributes, then nested elements, text with references and
// non-ASCII characters, CDATA, comments and instructions, up to five levels down.
static std::string element(std::mt19937& rng, int depth) {
    const char* names[] = {"a", "item", "x:y", "\xC3\xA9l\xC3\xA9ment", "\xE4\xB8\xAD", "_n.1-2"};
    const char* texts[] = {"plain",         " spaced ",   "&amp;&lt;&gt;",
                           "&#65;&#x4E2D;", "a>b",        "\xF0\x9F\x98\x80",
                           "&quot;&apos;",  "\n  ",       "<![CDATA[<c>&amp;]]>",
                           "<!-- c -->",    "<?pi data?>"};
    const auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    const std::string name = names[pick(6)];
    std::string doc = "<" + name;
    for (int i = 0, n = pick(4); i < n; ++i) {
        const char* quote = pick(2) ? "\"" : "'";
        doc += " k" + std::to_string(i) + "=" + quote + texts[pick(7)] + quote;
    }
    if (depth == 5 || !pick(4)) return doc + "/>";
    doc += ">";
    for (int i = 0, n = pick(8); i < n; ++i)
        doc += pick(2) ? texts[pick(11)] : element(rng, depth + 1);
    return doc + "</" + name + ">";
}

const std::string kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!--head-->";

TEST(CMarkupWalk, DocumentsReadAsPugixmlReadsThem_Posix) {
    std::mt19937 rng(20261206);
    for (int i = 0; i < 300; ++i) {
        const std::string doc = (rng() % 2 ? kHead : "") + element(rng, 0);
        SCOPED_TRACE(doc);
        pugi::xml_document x;
        ASSERT_TRUE(x.load_string(doc.c_str(), pugi::parse_full | pugi::parse_ws_pcdata));
        CMarkup m(str(ZvString::fromUtf8(doc.data(), int(doc.size()))));
        ASSERT_EQ(utf8(m.GetError()), "");
        std::vector<std::string> ours, theirs;
        walkMarkup(m, ours);
        walkPugi(x, theirs);
        EXPECT_EQ(ours, theirs);
    }
}
