#pragma once
#define kBmpBackground 0x1000  // black, with the cyan bar
#define kBmpTape 0x2000        // the moving tape: blue line over the dark strip
#define kBmpTapeWindow 0x2003  // what of the tape shows: 33 of its 66 rows
