#pragma once
#define kBmpBackground 0x1000
#define kBmpSwitchDown 0x2000  // picture 0: lever down
#define kBmpSwitchUp 0x2003    // picture 1: lever up
