#pragma once
#define kBmpFrame 101   // the gauge's background, all black
#define kBmpScreen 130  // the screen the gauge draws into, all black until drawn
