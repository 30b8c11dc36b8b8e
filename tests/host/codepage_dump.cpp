// Prints the code-page differential table (tests/core/codepage_table.h) as this
// build's platform conversions compute it. Run on the Windows build by
// scripts/gen-expected.sh codepage to make tests/data/codepage_65001.txt.
#include "core/codepage_table.h"

#include <cstdio>

int main() {
    std::fputs(codepage_table::run().c_str(), stdout);
}
