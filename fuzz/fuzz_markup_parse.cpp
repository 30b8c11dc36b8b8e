// fuzz_markup_parse: any 16-bit text through CMarkup's parser.
//
// The first input byte chooses how the rest becomes text (bit 0: pairs of bytes as
// little-endian units, else one unit per byte, which keeps markup dense) and whether
// names ignore case (bit 1). After the parse the element index must pass checkIndex.
// The parse runs the scanner over the whole text; the readers and the attribute
// tokenizer are driven by fuzz_markup_read. (Copies are checked by the white-box tests,
// record by record through checkIndex, on documents of up to five segments.)
#include "xml/markup_check.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!size) return 0;
    wstring16 text;
    if (data[0] & 1) {
        for (size_t i = 1; i + 1 < size; i += 2)
            text.push_back(wchar16(data[i] | (data[i + 1] << 8)));
    } else {
        text.assign(data + 1, data + size);
    }
    MarkupProbe m(data[0] & 2 ? int(CMarkup::DF_IGNORE_CASE) : 0);
    m.SetDoc(text);
    const std::string broken = checkIndex(m);
    requireRule(broken.empty(), broken.c_str());
    return 0;
}
