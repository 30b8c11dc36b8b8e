// Uses the library through the installed package: a fresh process's first event id.
#include <pubfunc/all.h>

int main() {
    return genEventId() == 1 ? 0 : 1;
}
