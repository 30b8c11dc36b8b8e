// Key names and codes: CKeyExchange's key table, and pubfunc's hotkey text.
#include <pubfunc/keyexchange.h>
#include <pubfunc/pubfunc.h>

#include "sys/keys_internal.h"

namespace pf {
namespace sys {

// In this order on purpose: lookups take the first match, so the left Shift
// (0x2A) answers for 0x10, and '=' comes before '-' although its scan code is
// the higher.
const KeyEntry kKeyTable[kKeyCount] = {
    // clang-format off
    {0x01, W16("Esc"), 0x1B},
    {0x02, W16("1"), 0x31},
    {0x03, W16("2"), 0x32},
    {0x04, W16("3"), 0x33},
    {0x05, W16("4"), 0x34},
    {0x06, W16("5"), 0x35},
    {0x07, W16("6"), 0x36},
    {0x08, W16("7"), 0x37},
    {0x09, W16("8"), 0x38},
    {0x0A, W16("9"), 0x39},
    {0x0B, W16("0"), 0x30},
    {0x0D, W16("="), 0xBB},
    {0x0C, W16("-"), 0xBD},
    {0x0E, W16("Backspace"), 0x08},
    {0x0F, W16("Tab"), 0x09},
    {0x10, W16("Q"), 0x51},
    {0x11, W16("W"), 0x57},
    {0x12, W16("E"), 0x45},
    {0x13, W16("R"), 0x52},
    {0x14, W16("T"), 0x54},
    {0x15, W16("Y"), 0x59},
    {0x16, W16("U"), 0x55},
    {0x17, W16("I"), 0x49},
    {0x18, W16("O"), 0x4F},
    {0x19, W16("P"), 0x50},
    {0x1A, W16("["), 0xDB},
    {0x1B, W16("]"), 0xDD},
    {0x1C, W16("Enter"), 0x0D},
    {0x1D, W16("Ctrl"), 0x11},
    {0x1E, W16("A"), 0x41},
    {0x1F, W16("S"), 0x53},
    {0x20, W16("D"), 0x44},
    {0x21, W16("F"), 0x46},
    {0x22, W16("G"), 0x47},
    {0x23, W16("H"), 0x48},
    {0x24, W16("J"), 0x4A},
    {0x25, W16("K"), 0x4B},
    {0x26, W16("L"), 0x4C},
    {0x27, W16(";"), 0xBA},
    {0x28, W16("Apostrophe"), 0xDE},
    {0x29, W16("~"), 0xC0},
    {0x2A, W16("Shift"), 0x10},
    {0x2B, W16("\\"), 0xDC},
    {0x2C, W16("Z"), 0x5A},
    {0x2D, W16("X"), 0x58},
    {0x2E, W16("C"), 0x43},
    {0x2F, W16("V"), 0x56},
    {0x30, W16("B"), 0x42},
    {0x31, W16("N"), 0x4E},
    {0x32, W16("M"), 0x4D},
    {0x33, W16(","), 0xBC},
    {0x34, W16("."), 0xBE},
    {0x35, W16("/"), 0xBF},
    {0x36, W16("Shift"), 0x10},
    {0x37, W16("*"), 0x6A},
    {0x38, W16("Alt"), 0x12},
    {0x39, W16("Space"), 0x20},
    {0x3A, W16("CapsLock"), 0x14},
    {0x3B, W16("F1"), 0x70},
    {0x3C, W16("F2"), 0x71},
    {0x3D, W16("F3"), 0x72},
    {0x3E, W16("F4"), 0x73},
    {0x3F, W16("F5"), 0x74},
    {0x40, W16("F6"), 0x75},
    {0x41, W16("F7"), 0x76},
    {0x42, W16("F8"), 0x77},
    {0x43, W16("F9"), 0x78},
    {0x44, W16("F10"), 0x79},
    {0x57, W16("F11"), 0x7A},
    {0x58, W16("F12"), 0x7B},
    {0x64, W16("F13"), 0x7C},
    {0x65, W16("F14"), 0x7D},
    {0x66, W16("F15"), 0x7E},
    {0x45, W16("NumLock"), 0x90},
    {0x46, W16("Scroll"), 0x91},
    {0x47, W16("Numpad7"), 0x67},
    {0x48, W16("Numpad8"), 0x68},
    {0x49, W16("Numpad9"), 0x69},
    {0x4A, W16("-"), 0x6D},
    {0x4B, W16("Numpad4"), 0x64},
    {0x4C, W16("Numpad5"), 0x65},
    {0x4D, W16("Numpad6"), 0x66},
    {0x4E, W16("+"), 0x6B},
    {0x4F, W16("Numpad1"), 0x61},
    {0x50, W16("Numpad2"), 0x62},
    {0x51, W16("Numpad3"), 0x63},
    {0x52, W16("Numpad0"), 0x60},
    {0x53, W16("."), 0x6E},
    {0x56, W16("Oem102"), 0xE2},
    {0x9D, W16("Ctrl"), 0xA3},
    {0xB7, W16("SysRq"), 0x2C},
    {0xB8, W16("Alt"), 0xA5},
    {0xC5, W16("Pause"), 0x13},
    {0xC7, W16("Home"), 0x24},
    {0xC8, W16("Up"), 0x26},
    {0xC9, W16("Prior"), 0x21},
    {0xCB, W16("Left"), 0x25},
    {0xCD, W16("Right"), 0x27},
    {0xCF, W16("End"), 0x23},
    {0xD0, W16("Down"), 0x28},
    {0xD1, W16("Next"), 0x22},
    {0xD2, W16("Insert"), 0x2D},
    {0xD3, W16("Delete"), 0x2E},
    {0xDB, W16("Win"), 0x5B},
    {0xDC, W16("Win"), 0x5C},
    {0xDD, W16("Apps"), 0x5D},
    {0xDF, W16("Sleep"), 0x5F},
    // clang-format on
};

} // namespace sys
} // namespace pf

namespace {

const pf::sys::KeyEntry* findKey(int virtualKey) {
    for (const pf::sys::KeyEntry& key : pf::sys::kKeyTable)
        if (key.virtualKey == virtualKey) return &key;
    return nullptr;
}

// Hotkey modifier flags and the keys that the hotkey text treats apart.
constexpr unsigned int kShift = 0x1;
constexpr unsigned int kCtrl = 0x2;
constexpr unsigned int kAlt = 0x4;
constexpr unsigned int kVkBackspace = 8;
constexpr unsigned int kVkSpace = 32;
constexpr unsigned int kVkDelete = 46;
const wchar16 kNone[] = {0x65E0, 0}; // "无"

struct HotkeyName {
    unsigned int virtualKey;
    const wchar16* name;
};

// The hotkey text's own names, which differ from the key table's ("PageUp", not
// "Prior"). Digits and letters are named by themselves; codes absent here, 108
// among them, by the empty string.
const HotkeyName kHotkeyNames[] = {
    // clang-format off
    {20, W16("Caps Lock")}, {33, W16("PageUp")}, {34, W16("PageDown")}, {35, W16("End")},
    {36, W16("Home")}, {37, W16("Left")}, {38, W16("Up")}, {39, W16("Right")}, {40, W16("Down")},
    {45, W16("Insert")}, {96, W16("Num0")}, {97, W16("Num1")}, {98, W16("Num2")},
    {99, W16("Num3")}, {100, W16("Num4")}, {101, W16("Num5")}, {102, W16("Num6")},
    {103, W16("Num7")}, {104, W16("Num8")}, {105, W16("Num9")}, {106, W16("Num*")},
    {107, W16("Num+")}, {109, W16("Num-")}, {110, W16("Num.")}, {111, W16("Num/")},
    {112, W16("F1")}, {113, W16("F2")}, {114, W16("F3")}, {115, W16("F4")}, {116, W16("F5")},
    {117, W16("F6")}, {118, W16("F7")}, {119, W16("F8")}, {120, W16("F9")}, {121, W16("F10")},
    {122, W16("F11")}, {123, W16("F12")}, {144, W16("Num Lock")}, {186, W16(";")},
    {187, W16("=")}, {188, W16(",")}, {189, W16("-")}, {190, W16(".")}, {191, W16("/")},
    {192, W16("`")}, {219, W16("[")}, {220, W16("\\")}, {221, W16("]")}, {222, W16("'")},
    // clang-format on
};

} // namespace

void CKeyExchange::VKKeyToString_S(int virtualKey, wstring16& name) {
    if (const pf::sys::KeyEntry* key = findKey(virtualKey)) name = key->name;
}

bool CKeyExchange::VK2DIK(int virtualKey, int& scanCode) {
    const pf::sys::KeyEntry* key = findKey(virtualKey);
    if (!key) return false;
    scanCode = key->scanCode;
    return true;
}

void CKeyExchange::GetKeysCombineDesc(int key1, int key2, int key3, wstring16& text) {
    static const wchar16 kJoin[] = {' ', '+', ' ', 0};
    text.clear();
    wstring16 name; // the last name found, reused for a code the table lacks
    const int keys[] = {key1, key2, key3};
    for (int i = 0; i < 3; ++i) {
        if (keys[i] == 0) continue;
        VKKeyToString_S(keys[i], name);
        if (i > 0) text += kJoin;
        text += name;
    }
}

wstring16 pubfunc::modifierNames(unsigned int flags) {
    wstring16 text;
    if (flags & kCtrl) text = W16("Ctrl");
    if (flags & kAlt) text = text.empty() ? W16("Alt") : text + W16("+Alt");
    if (flags & kShift) text = text.empty() ? W16("Shift") : text + W16("+Shift");
    return text;
}

wstring16 pubfunc::hotkeyKeyName(unsigned int virtualKey) {
    if ((virtualKey >= '0' && virtualKey <= '9') || (virtualKey >= 'A' && virtualKey <= 'Z'))
        return wstring16(1, wchar16(virtualKey));
    for (const HotkeyName& entry : kHotkeyNames)
        if (entry.virtualKey == virtualKey) return entry.name;
    return wstring16();
}

// Space alone is dropped, keeping the modifiers; Backspace and Delete clear the
// whole hotkey.
wstring16 pubfunc::changeHotkeyValueToString(unsigned int value) {
    unsigned int flags = value >> 16;
    unsigned int key = value & 0xFFFF;
    if (key == kVkSpace) key = 0;
    if (key == kVkBackspace || key == kVkDelete) key = flags = 0;
    wstring16 text = modifierNames(flags);
    if (!text.empty() && key != 0) text += wchar16('+');
    text += hotkeyKeyName(key);
    return text.empty() ? wstring16(kNone) : text;
}
