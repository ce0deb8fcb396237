// Window-system key numbers (USB HID usages, as SDL reports them) onto the DirectInput scan codes
// the viewer's commands are written against.
#include <gtest/gtest.h>

#include "platform/KeyCodes.h"

TEST(KeyCodes, CommandKeysMapOntoTheirScanCodes) {
    struct Pair {
        int usage;
        int dik;
    };
    const Pair pairs[] = {
        {41, 0x01}, {8, 0x12},   {23, 0x14}, {12, 0x17},  {18, 0x18}, {19, 0x19},  {224, 0x1D},
        {4, 0x1E},  {22, 0x1F},  {9, 0x21},  {11, 0x23},  {15, 0x26}, {225, 0x2A}, {27, 0x2D},
        {6, 0x2E},  {25, 0x2F},  {16, 0x32}, {229, 0x36}, {85, 0x37}, {44, 0x39},  {86, 0x4A},
        {87, 0x4E}, {228, 0x9D}, {84, 0xB5}, {70, 0xB7},  {72, 0xC5}, {82, 0xC8},  {75, 0xC9},
        {80, 0xCB}, {79, 0xCD},  {81, 0xD0}, {78, 0xD1},  {54, 0x33}, {55, 0x34},
    };
    for (const Pair& p : pairs) EXPECT_EQ(ScanCodeFromSdl(p.usage), p.dik) << "usage " << p.usage;
}

TEST(KeyCodes, MainKeyboardMinusAndPlusAreNotTheKeypadOperators) {
    EXPECT_EQ(ScanCodeFromSdl(45), DIK_MINUS);  // '-' beside '0', not numeric minus
    EXPECT_EQ(ScanCodeFromSdl(46), DIK_EQUALS); // '=' / '+', not numeric plus
    EXPECT_EQ(ScanCodeFromSdl(0), 0);           // unknown keys have no scan code
    EXPECT_EQ(ScanCodeFromSdl(511), 0);
}
