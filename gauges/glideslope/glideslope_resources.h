#pragma once
#define kBmpBackground 0x1000  // solid black; also the cover's only picture
#define kBmpScale 0x2000
#define kBmpPointer 0x2001
