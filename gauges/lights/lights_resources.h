#pragma once
#define kBmpBackground 0x1000
#define kBmpSwitchOff 0x2000  // picture 0: lever up, towards OFF
#define kBmpSwitchOn 0x2003   // picture 1: lever down, towards ON
