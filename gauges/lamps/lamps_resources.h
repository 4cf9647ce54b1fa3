#pragma once
#define kBmpBackground 0x1000  // bezel, three unlit lenses, display window
#define kBmpLeftLamp 0x2000    // left lens lit
#define kBmpMiddleLamp 0x2003  // middle lens lit
#define kBmpRightLamp 0x2006   // right lens lit
