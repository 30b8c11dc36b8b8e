// CMarkup's element and node walks against pugixml reading the UTF-8 form of the
// same documents: hand-written ones and generated ones from a fixed seed. Linux
// build only (pugixml comes from the distribution's package; the Windows build has
// no copy of it), hence the _Posix names.
#include <pubfunc/markup.h>
#include <pubfunc/zvstring.h>

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <random>
#include <string>
#include <vector>

namespace {

wstring16 utf16(const std::string& s) {
    const ZvString z = ZvString::fromUtf8(s.data(), int(s.size()));
    return wstring16(z.constString(), z.constString() + z.size());
}
std::string utf8(const wstring16& s) {
    const ZvByteArray b = ZvString(s.c_str(), int(s.size())).toUtf8();
    return std::string(b.constData(), size_t(b.size()));
}

// Element walk: name, attributes in order with their values, and the text of
// elements without child elements, one line each.
void walkMarkup(CMarkup& m, std::vector<std::string>& out) {
    while (m.FindElem()) {
        out.push_back("<" + utf8(m.GetTagName()));
        for (int n = 0;; ++n) {
            const wstring16 name = m.GetAttribName(n);
            if (name.empty()) break;
            out.push_back(" " + utf8(name) + "=" + utf8(m.GetAttrib(name)));
        }
        m.IntoElem();
        walkMarkup(m, out);
        m.OutOfElem();
        out.push_back("=" + utf8(m.GetData()));
    }
}
void walkPugi(const pugi::xml_node& parent, std::vector<std::string>& out) {
    for (pugi::xml_node e = parent.first_child(); e; e = e.next_sibling()) {
        if (e.type() != pugi::node_element) continue;
        out.push_back(std::string("<") + e.name());
        for (pugi::xml_attribute a = e.first_attribute(); a; a = a.next_attribute())
            out.push_back(std::string(" ") + a.name() + "=" + a.value());
        walkPugi(e, out);
        // Text and CDATA of an element without child elements; when other markup
        // sits in the content, whitespace-only text does not count.
        std::string text;
        const bool markup =
            e.find_child([](pugi::xml_node c) { return c.type() != pugi::node_pcdata; });
        if (!e.find_child([](pugi::xml_node c) { return c.type() == pugi::node_element; })) {
            for (pugi::xml_node c = e.first_child(); c; c = c.next_sibling()) {
                const std::string v = c.value();
                if (c.type() == pugi::node_cdata ||
                    (c.type() == pugi::node_pcdata &&
                     !(markup && v.find_first_not_of(" \t\r\n") == std::string::npos)))
                    text += v;
            }
        }
        out.push_back("=" + text);
    }
}

// Node walk: one line per node, adjacent text merged (CMarkup splits text at a
// '>', pugixml does not).
void addNode(std::vector<std::string>& out, const std::string& line) {
    if (line[0] == 'T' && !out.empty() && out.back()[0] == 'T')
        out.back() += line.substr(1);
    else
        out.push_back(line);
}
// Node lines: a letter for the kind and the node's data (elements and
// instructions: the name); an element's nodes follow its line and end with "/".
char kindOf(int type) {
    switch (type) {
    case CMarkup::NT_ELEMENT:
        return 'E';
    case CMarkup::NT_TEXT:
    case CMarkup::NT_WHITESPACE:
        return 'T';
    case CMarkup::NT_CDATA_SECTION:
        return 'K';
    case CMarkup::NT_COMMENT:
        return 'C';
    case CMarkup::NT_PROCESSING_INSTRUCTION:
        return 'P';
    default:
        return '?';
    }
}
void nodesMarkup(CMarkup& m, std::vector<std::string>& out) {
    for (int type; (type = m.FindNode()) != 0;) {
        const char kind = kindOf(type);
        addNode(out, kind + utf8(kind == 'E' || kind == 'P' ? m.GetTagName() : m.GetData()));
        if (kind != 'E') continue;
        m.IntoElem();
        nodesMarkup(m, out);
        m.OutOfElem();
        out.push_back("/");
    }
}
void nodesPugi(const pugi::xml_node& parent, std::vector<std::string>& out) {
    for (pugi::xml_node n = parent.first_child(); n; n = n.next_sibling()) {
        const pugi::xml_node_type t = n.type();
        const char kind = t == pugi::node_element                             ? 'E'
                          : t == pugi::node_pcdata                            ? 'T'
                          : t == pugi::node_cdata                             ? 'K'
                          : t == pugi::node_comment                           ? 'C'
                          : t == pugi::node_pi || t == pugi::node_declaration ? 'P'
                                                                              : '?';
        addNode(out, kind + std::string(kind == 'E' || kind == 'P' ? n.name() : n.value()));
        if (kind != 'E') continue;
        nodesPugi(n, out);
        out.push_back("/");
    }
}

void compare(const std::string& doc) {
    pugi::xml_document x;
    ASSERT_TRUE(x.load_buffer(doc.data(), doc.size(), pugi::parse_full | pugi::parse_ws_pcdata,
                              pugi::encoding_utf8))
        << doc;
    CMarkup m(utf16(doc));
    ASSERT_EQ(utf8(m.GetError()), "") << doc;
    std::vector<std::string> ours, theirs;
    walkMarkup(m, ours);
    walkPugi(x, theirs);
    EXPECT_EQ(ours, theirs) << doc;
    ours.clear();
    theirs.clear();
    m.ResetPos();
    nodesMarkup(m, ours);
    nodesPugi(x, theirs);
    EXPECT_EQ(ours, theirs) << doc;
}

// A random well-formed document: nested elements with attributes, text with
// references and non-ASCII characters, CDATA, comments and instructions.
std::string generate(std::mt19937& rng) {
    const char* names[] = {"a", "item", "x:y", "\xC3\xA9l\xC3\xA9ment", "\xE4\xB8\xAD", "_n.1-2"};
    const char* texts[] = {"plain", " spaced ",         "&amp;&lt;&gt;", "&#65;&#x4E2D;",
                           "a>b",   "\xF0\x9F\x98\x80", "&quot;&apos;",  "\n  "};
    const char* others[] = {"<![CDATA[<c>&amp;]]>", "<!-- c -->", "<?pi data?>"};
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    std::string doc = pick(2) ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!--head-->" : "";
    std::vector<std::string> open;
    int elements = 0;
    do {
        const int action = open.empty() ? 0 : pick(7);
        if (action <= 1 && open.size() < 6 && elements++ < 40) {
            const std::string name = names[pick(6)];
            doc += "<" + name;
            for (int i = 0, n = pick(4); i < n; ++i) {
                const std::string quote = pick(2) ? "\"" : "'";
                doc += " k" + std::to_string(i) + "=" + quote + texts[pick(7)] + quote;
            }
            doc += pick(4) ? ">" : "/>";
            if (doc.back() == '>' && doc[doc.size() - 2] != '/') open.push_back(name);
        } else if (action == 2) {
            doc += texts[pick(8)];
        } else if (action <= 4) {
            doc += others[pick(3)];
        } else {
            doc += "</" + open.back() + ">";
            open.pop_back();
        }
    } while (!open.empty());
    return doc;
}

} // namespace

TEST(CMarkupWalk, DocumentsReadAsPugixmlReadsThem_Posix) {
    for (const char* d :
         {"<r a='1' b=\"&lt;&amp;\"><c>t &amp; u</c><c/><d>x<!--c-->y<![CDATA[<z>]]></d></r>",
          "<?xml version=\"1.0\"?><!--c--><r><?pi x?> <a>\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80</a> "
          "t </r>"})
        compare(d);
    std::mt19937 rng(20261206);
    for (int i = 0; i < 300; ++i)
        compare(generate(rng));
}
