// `gaugebench window`: the gauge in a real window, drawn at a zoom and run
// at the simulator's frame rate, to be looked at and clicked by hand.
#pragma once

namespace bench {

// gaugebench window MODULE.gau [--zoom N] [--companion-dir DIR] [--log FILE]
//                              [--exit-after SECONDS]
// argv[1] is "window". Returns the process exit code.
int WindowMain(int argc, char** argv);

}  // namespace bench
