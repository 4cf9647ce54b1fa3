#pragma once
// Bitmaps of the autopilot panel. An icon's picture k is its first id + 3k.
#define kBmpBackground 0x1000
#define kBmpRSwitchOff 0x2500  // picture 0: slider at the bottom
#define kBmpRSwitchCmd 0x2503  // picture 1: slider at the top
#define kBmpLeverDown 0x2510   // picture 0: toggle lever down (off)
#define kBmpLeverUp 0x2513     // picture 1: toggle lever up (on)
#define kBmpModeOff 0x2520     // NAV/APR/LOC/BC selector, pictures 0 to 4
#define kBmpModeNav 0x2523
#define kBmpModeApr 0x2526
#define kBmpModeLoc 0x2529
#define kBmpModeBc 0x252C
#define kBmpKnobUpLeft 0x2600  // YAW DAMPER and OFF/IAS/MACH knob, pictures 0 to 2
#define kBmpKnobUpRight 0x2603
#define kBmpKnobRight 0x2606
