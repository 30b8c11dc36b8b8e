// CKeyExchange's key table, for the white-box tests.
#pragma once

#include <pubfunc/export.h>

namespace pf {
namespace sys {

// One key: DirectInput scan code, display name, virtual-key code.
struct KeyEntry {
    int scanCode;
    wchar16 name[64];
    int virtualKey;
};

constexpr int kKeyCount = 107;
extern const KeyEntry kKeyTable[kKeyCount];

} // namespace sys
} // namespace pf
