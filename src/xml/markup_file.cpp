// CMarkup: documents read from and written to files as UTF-8, and the encoding
// named in an XML declaration.
//
// A file is read whole and converted in two passes (count, then fill) straight
// into the text it replaces; no byte-order mark is looked for or written, so a
// mark in the file stays in the text as U+FEFF. Every transfer leaves a one-line
// result: the counts on success, the C runtime's message on failure.
#include <pubfunc/markup.h>

#include "core/format.h"
#include "core/u16.h"
#include "platform/fs.h"
#include "xml/markup_chars.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// Closes the file on every way out; close() reports whether the close succeeded.
struct FileCloser {
    FILE* f;
    ~FileCloser() {
        if (f) std::fclose(f);
    }
    bool close() {
        FILE* const g = f;
        f = nullptr;
        return std::fclose(g) == 0;
    }
};

FILE* open(CMarkup::MCD_CSTR path, const char* mode) {
    if (!path.text) {
        errno = EINVAL;
        return nullptr;
    }
    return pf::platform::openFile(reinterpret_cast<const unsigned short*>(path.text), mode);
}

} // namespace

wstring16 CMarkup::x_GetLastError() {
    wstring16 text = pf::platform::errnoText(errno);
    const size_t eol = text.find_first_of(W16("\r\n"));
    if (eol != wstring16::npos) text.erase(eol);
    return text;
}

// Every byte is read before text is touched, so a failed read leaves it as it was.
// A file without a size (a pipe, a device that cannot seek) fails with the seek's
// error, and so does a read that ends short of the size: with the system's error,
// or as an input/output error when the file just ended early (it got shorter while
// it was read). The counts are ints: a file of 2 GiB or more is refused as too
// large (EFBIG) rather than read in part.
bool CMarkup::ReadTextFile(MCD_CSTR path, wstring16& text, wstring16* result, int* flags) {
    (void)flags;
    const auto failed = [result]() {
        if (result) *result = x_GetLastError();
        return false;
    };
    FileCloser file{open(path, "rb")};
    if (!file.f) return failed();
    const long long size = pf::platform::fileSize(file.f);
    if (size < 0 || std::fseek(file.f, 0, SEEK_SET) != 0) return failed();
    if (size > INT_MAX) {
        errno = EFBIG;
        return failed();
    }
    const int bytes = int(size);
    std::unique_ptr<char[]> buffer(new char[size_t(bytes) + 1]);
    if (bytes && std::fread(buffer.get(), 1, size_t(bytes), file.f) != size_t(bytes)) {
        if (!std::ferror(file.f)) errno = EIO;
        return failed();
    }
    const int units = pf::xml::utf8ToText(buffer.get(), bytes, text);
    if (result) *result = pf::format(W16("%s%d bytes to %d wide chars"), W16(""), bytes, units);
    return true;
}

// The bytes have reached the file only when the close has flushed them: a full disk
// may show there first, and then fails the write like a failed fwrite.
bool CMarkup::WriteTextFile(MCD_CSTR path, const wstring16& text, wstring16* result, int* flags) {
    (void)flags;
    FileCloser file{open(path, "wb")};
    if (!file.f) {
        if (result) *result = x_GetLastError();
        return false;
    }
    const int bytes = UTF16To8(nullptr, text.c_str(), 0);
    bool ok = true;
    if (bytes) {
        std::vector<char> buffer(size_t(bytes) + 1);
        UTF16To8(buffer.data(), text.c_str(), bytes + 1);
        ok = std::fwrite(buffer.data(), size_t(bytes), 1, file.f) == 1;
    }
    wstring16 error;
    if (!ok) error = x_GetLastError();
    if (!file.close() && ok) {
        ok = false;
        error = x_GetLastError();
    }
    if (result)
        *result =
            ok ? pf::format(W16("%d wide chars to %s%d bytes"), int(text.size()), W16(""), bytes)
               : error;
    return ok;
}

bool CMarkup::Load(MCD_CSTR path) {
    if (!ReadTextFile(path, docText, &errorText, &docFlags)) return false;
    return x_ParseDoc();
}

bool CMarkup::Save(MCD_CSTR path) {
    return WriteTextFile(path, docText, &errorText, &docFlags);
}

// The declaration is parsed on its own as a small document: its first node is the
// processing instruction, whose pseudo-attributes read like attributes. A "?>"
// before the first '<' leaves no declaration to read.
wstring16 CMarkup::GetDeclaredEncoding(MCD_CSTR text) {
    using pf::u16::unit;
    const unit* s = reinterpret_cast<const unit*>(text.text);
    if (!s) return wstring16();
    const unit* lt = pf::u16::findChar(s, '<');
    if (!lt || !*lt || lt[1] != '?') return wstring16();
    static const unit kEnd[] = {'?', '>', 0};
    const unit* end = pf::u16::find(s, kEnd);
    if (!end || end < lt) return wstring16();
    const wstring16 declaration(reinterpret_cast<const wchar16*>(lt), size_t(end + 2 - lt));
    CMarkup doc(declaration);
    if (!doc.FindNode(0)) return wstring16();
    return doc.GetAttrib(W16("encoding"));
}
