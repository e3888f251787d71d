#pragma once

#include <QtGlobal>

namespace KeyboardShortcuts {

// A physical key by its virtual key code: the codes of the US keyboard layout's key
// positions that the stored shortcuts use. Any integer makes a key; equality is the code.
struct Key
{
    qint64 rawValue = 0;

    friend constexpr bool operator==(Key, Key) = default;

    static constexpr qint64 a = 0x00, s = 0x01, d = 0x02, f = 0x03, h = 0x04, g = 0x05, z = 0x06, x = 0x07,
                            c = 0x08, v = 0x09, b = 0x0B, q = 0x0C, w = 0x0D, e = 0x0E, r = 0x0F, y = 0x10,
                            t = 0x11, o = 0x1F, u = 0x20, i = 0x22, p = 0x23, l = 0x25, j = 0x26, k = 0x28,
                            n = 0x2D, m = 0x2E;
    static constexpr qint64 zero = 0x1D, one = 0x12, two = 0x13, three = 0x14, four = 0x15, five = 0x17,
                            six = 0x16, seven = 0x1A, eight = 0x1C, nine = 0x19;
    static constexpr qint64 capsLock = 0x39, shift = 0x38, function = 0x3F, control = 0x3B, option = 0x3A,
                            command = 0x37, rightCommand = 0x36, rightOption = 0x3D, rightControl = 0x3E,
                            rightShift = 0x3C;
    static constexpr qint64 returnKey = 0x24, backslash = 0x2A, backtick = 0x32, comma = 0x2B, equal = 0x18,
                            minus = 0x1B, period = 0x2F, quote = 0x27, semicolon = 0x29, slash = 0x2C,
                            space = 0x31, tab = 0x30, leftBracket = 0x21, rightBracket = 0x1E;
    static constexpr qint64 pageUp = 0x74, pageDown = 0x79, home = 0x73, end = 0x77, upArrow = 0x7E,
                            rightArrow = 0x7C, downArrow = 0x7D, leftArrow = 0x7B, escape = 0x35,
                            deleteKey = 0x33, deleteForward = 0x75, help = 0x72, mute = 0x4A, volumeUp = 0x48,
                            volumeDown = 0x49;
    static constexpr qint64 f1 = 0x7A, f2 = 0x78, f3 = 0x63, f4 = 0x76, f5 = 0x60, f6 = 0x61, f7 = 0x62,
                            f8 = 0x64, f9 = 0x65, f10 = 0x6D, f11 = 0x67, f12 = 0x6F, f13 = 0x69, f14 = 0x6B,
                            f15 = 0x71, f16 = 0x6A, f17 = 0x40, f18 = 0x4F, f19 = 0x50, f20 = 0x5A;
    // That layout ends at F20; the function keys X knows beyond it take the codes after its last.
    static constexpr qint64 f21 = 0x80, f22 = 0x81, f23 = 0x82, f24 = 0x83, f25 = 0x84, f26 = 0x85,
                            f27 = 0x86, f28 = 0x87, f29 = 0x88, f30 = 0x89, f31 = 0x8A, f32 = 0x8B,
                            f33 = 0x8C, f34 = 0x8D, f35 = 0x8E;
    static constexpr qint64 keypad0 = 0x52, keypad1 = 0x53, keypad2 = 0x54, keypad3 = 0x55, keypad4 = 0x56,
                            keypad5 = 0x57, keypad6 = 0x58, keypad7 = 0x59, keypad8 = 0x5B, keypad9 = 0x5C,
                            keypadClear = 0x47, keypadDecimal = 0x41, keypadDivide = 0x4B, keypadEnter = 0x4C,
                            keypadEquals = 0x51, keypadMinus = 0x4E, keypadMultiply = 0x43, keypadPlus = 0x45;
};

} // namespace KeyboardShortcuts
