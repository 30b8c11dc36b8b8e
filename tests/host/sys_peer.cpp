// The other process of the system tests. "shm NAME": opens the block the test
// made, checks its bytes and answers in it. "version": exits with the version
// facts this process is shown, one decimal digit each: getOSVersion after
// initPubfunc, OSGetVersion, isAboveVista, IsWin10OSVersion, IsCompositionEnabled.
#include <pubfunc/pubfunc.h>
#include <pubfunc/sharedata.h>

#include <cstring>

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "shm") == 0) {
        CShareData block;
        if (!block.openSharedFile(wstring16(argv[2], argv[2] + std::strlen(argv[2])), 16)) return 2;
        char got[16];
        if (block.getSharedData(got, 16) != 16 || std::memcmp(got, "ping from parent", 16) != 0)
            return 3;
        return block.writeData("pong from child!", 16) == 16 ? 0 : 4;
    }
    if (argc == 2 && std::strcmp(argv[1], "version") == 0) {
        pubfunc::initPubfunc();
        return pubfunc::getOSVersion() * 10000 + pubfunc::OSGetVersion() * 1000 +
               pubfunc::isAboveVista() * 100 + pubfunc::IsWin10OSVersion() * 10 +
               pubfunc::IsCompositionEnabled();
    }
    return 1;
}
