// The library's own profile-file reader and writer, with the rules of the
// system's profile functions that callers can see:
// - section and key names match in any (ASCII) case, with the blanks around them
//   ignored; the first matching section, and the first matching key in it, count;
// - a line that starts with ';' is a comment; a line without '=' is no key;
// - a value loses the blanks around it and then one pair of enclosing quotes
//   (" or '), and is cut to kProfileValueMax bytes; a default loses its trailing
//   blanks and is cut likewise;
// - a write trims the value, replaces the first matching key's line (which keeps
//   the file's spelling of the key), or adds the key after the section's last
//   line that is not blank, or adds the section at the end of the file.
// A write rewrites every key line as name=value and every section line as [name],
// in CR LF lines; comments and blank lines stay where they were. The new text goes
// to a temporary file in the same folder that is then renamed over the old one,
// so readers and crashes see the old file or the new one, never a part.
#include "sys/profile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// One lock for the process's writes, so that two threads' updates of one file
// do not lose one another.
std::mutex s_writeLock;

constexpr const char* kBlanks = " \t";

std::string trimmed(const std::string& text) {
    const size_t start = text.find_first_not_of(kBlanks);
    if (start == std::string::npos) return std::string();
    return text.substr(start, text.find_last_not_of(kBlanks) - start + 1);
}

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const unsigned char x = static_cast<unsigned char>(a[i]);
        const unsigned char y = static_cast<unsigned char>(b[i]);
        if ((x >= 'A' && x <= 'Z' ? x + 32 : x) != (y >= 'A' && y <= 'Z' ? y + 32 : y))
            return false;
    }
    return true;
}

// One line of the file, as the reader understands it.
struct Line {
    enum Kind { Other, Section, Key } kind = Other;
    std::string text; // the line as it was read, without its line end
    std::string name; // the section's or key's name, trimmed
    std::string value;
};

Line parse(const std::string& text) {
    Line line;
    line.text = text;
    const std::string t = trimmed(text);
    if (!t.empty() && t[0] == '[') {
        line.kind = Line::Section;
        const size_t close = t.find(']');
        line.name = trimmed(t.substr(1, close == std::string::npos ? close : close - 1));
    } else if (!t.empty() && t[0] != ';' && t.find('=') != std::string::npos) {
        line.kind = Line::Key;
        const size_t eq = t.find('=');
        line.name = trimmed(t.substr(0, eq));
        line.value = trimmed(t.substr(eq + 1));
    }
    return line;
}

// False when the file cannot be read (a missing file reads as no lines).
bool load(const std::string& file, std::vector<Line>& lines, bool& missing) {
    FILE* f = std::fopen(file.c_str(), "rb");
    missing = !f && errno == ENOENT;
    if (!f) return missing;
    std::string text;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        text.append(buf, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string one = text.substr(start, end - start);
        if (!one.empty() && one.back() == '\r') one.pop_back();
        lines.push_back(parse(one));
        start = end + 1;
    }
    return ok;
}

// The first line of the section, and the end of its lines: the next section's
// line or the file's end. first == lines.size() when the section is missing.
void findSection(const std::vector<Line>& lines, const std::string& section, size_t& first,
                 size_t& end) {
    first = end = lines.size();
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].kind == Line::Section && sameName(lines[i].name, section)) {
            first = i;
            for (end = i + 1; end < lines.size() && lines[end].kind != Line::Section; ++end) {
            }
            return;
        }
}

size_t findKey(const std::vector<Line>& lines, size_t first, size_t end, const std::string& key) {
    for (size_t i = first + 1; i < end; ++i)
        if (lines[i].kind == Line::Key && sameName(lines[i].name, key)) return i;
    return end;
}

std::string render(const Line& line) {
    switch (line.kind) {
    case Line::Section:
        return "[" + line.name + "]";
    case Line::Key:
        return line.name + "=" + line.value;
    default:
        return trimmed(line.text);
    }
}

// Writes text beside file and renames it over file.
bool replaceFile(const std::string& file, const std::string& text) {
    std::string temp = file + ".XXXXXX";
    const int fd = mkstemp(&temp[0]);
    if (fd < 0) return false;
    struct stat st;
    fchmod(fd, stat(file.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
    bool ok = true;
    for (size_t done = 0; ok && done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += size_t(n);
    }
    ok = fsync(fd) == 0 && ok;
    ok = close(fd) == 0 && ok;
    ok = ok && std::rename(temp.c_str(), file.c_str()) == 0;
    if (!ok) unlink(temp.c_str());
    return ok;
}

} // namespace

namespace pf {
namespace sys {

std::string readProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& def) {
    std::vector<Line> lines;
    bool missing = false;
    std::string value = def.substr(0, def.find_last_not_of(' ') + 1);
    if (!key.empty() && load(file, lines, missing)) {
        size_t first, end;
        findSection(lines, section, first, end);
        const size_t at = first < lines.size() ? findKey(lines, first, end, key) : end;
        if (at < end) {
            value = lines[at].value;
            if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') &&
                value.back() == value[0])
                value = value.substr(1, value.size() - 2);
        }
    }
    return value.substr(0, kProfileValueMax);
}

bool writeProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value) {
    std::lock_guard<std::mutex> hold(s_writeLock);
    std::vector<Line> lines;
    bool missing = false;
    if (!load(file, lines, missing)) return false;
    Line entry;
    entry.kind = Line::Key;
    entry.name = trimmed(key);
    entry.value = trimmed(value);
    size_t first, end;
    findSection(lines, section, first, end);
    if (first == lines.size()) {
        Line header;
        header.kind = Line::Section;
        header.name = trimmed(section);
        lines.push_back(header);
        lines.push_back(entry);
    } else if (const size_t at = findKey(lines, first, end, key); at < end) {
        lines[at].value = entry.value;
    } else {
        size_t after = end;
        while (after > first + 1 && trimmed(lines[after - 1].text).empty() &&
               lines[after - 1].kind == Line::Other)
            --after;
        lines.insert(lines.begin() + std::ptrdiff_t(after), entry);
    }
    std::string text;
    for (const Line& line : lines)
        text += render(line) + "\r\n";
    return replaceFile(file, text);
}

} // namespace sys
} // namespace pf
