// Prints the code-page differential table (tests/core/codepage_table.h) as this
// build's platform conversions compute it. Run on the Windows build by
// scripts/gen-codepage-expected.sh to make tests/data/codepage_65001.txt.
#include "core/codepage_table.h"

#include <cstdio>

int main() {
    const std::string text = codepage_table::run();
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}
