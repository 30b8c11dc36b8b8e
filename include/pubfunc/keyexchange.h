// CKeyExchange: names and DirectInput scan codes of keyboard keys.
#pragma once

#include <pubfunc/export.h>

// One constant table of 107 keys pairs each virtual-key code with its DirectInput
// scan code and a short display name. Lookups take the first row with the code, so
// 0x10 (either Shift) is the left Shift, scan code 0x2A. Static members only.
class PUBFUNC_API CKeyExchange {
public:
    CKeyExchange() = delete;

    // The key's display name ("Prior" for 0x21); name is left as it was when the
    // table lacks the code.
    static void VKKeyToString_S(int virtualKey, wstring16& name);
    // True with the key's scan code; false with scanCode unchanged when the table
    // lacks the code.
    static bool VK2DIK(int virtualKey, int& scanCode);
    // "Ctrl + Alt + F5" for 0x11, 0x12, 0x74. A code of 0 leaves its place out; a
    // second or third key always brings its " + ", so a missing first key makes
    // the text start with it. A code the table lacks repeats the name found last
    // (empty when none was).
    static void GetKeysCombineDesc(int key1, int key2, int key3, wstring16& text);
};
