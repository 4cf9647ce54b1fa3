#pragma once
#define kBmpBackground 0x1000
#define kBmpLever 0x2000  // the lever thrown down, drawn while armed
#define kBmpLamp 0x2006   // the lit lamp, drawn while armed
