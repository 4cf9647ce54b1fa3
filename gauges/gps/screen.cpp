// The GPS screen: drawn with GDI into a DIB section and copied into the
// screen element's host pixels. (Being written: the seams below are called
// by the gauge routines and do nothing yet.)
#include "gps_state.h"

namespace gps {

void CreateScreen(StaticImageElement*) {}
void DrawScreen(StaticImageElement*) {}
void ReleaseScreen() {}

}  // namespace gps
