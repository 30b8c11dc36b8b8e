// Prints the profile-file differential (tests/sys/profile_table.h) as this build's
// profile functions answer it, working in the folder given as its argument. Run on
// the Windows build by scripts/gen-expected.sh profile to make
// tests/data/profile_expected.txt.
#include "sys/profile_table.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    std::fputs(profile_table::run(argv[1]).c_str(), stdout);
}
