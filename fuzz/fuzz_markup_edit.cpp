// fuzz_markup_edit: edit sequences that the input chooses, over a document that the
// input also gives.
//
// Layout: byte 0 sets the document flags (bit 0: names ignore case) and whether the
// edits may take dirty arguments too (bit 1 clear: invalid names, markup in texts,
// NF_NO_END, ill-formed sub-documents); byte 1 gives the number of steps (up to 63);
// three bytes per step follow; the rest is the text, one unit per byte. Every step
// must keep what EditSession checks: the index, the cursor, and in a session without
// dirty arguments the index of a reparse.
#include "xml/markup_edit_session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t steps = size < 2 ? 0 : data[1] & 63;
    if (size < 2 + 3 * steps) return 0;
    const uint8_t *p = data + 2, *const text = p + 3 * steps;
    EditSession session(wstring16(text, data + size),
                        data[0] & 1 ? int(CMarkup::DF_IGNORE_CASE) : 0, !(data[0] & 2));
    while (p < text) {
        const std::string broken = session.step(p, text);
        requireRule(broken.empty(), broken.c_str());
    }
    return 0;
}
