// Draws every gauge bitmap into gauges/<folder>/res. The output is committed,
// so a build never needs this program; run ./art/generate.sh after changing
// a drawing. With folder names as arguments only those gauges are drawn.
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "canvas.h"

int main(int argc, char** argv) {
  std::string root = argc > 1 ? argv[1] : ".";
  std::set<std::string> only(argv + (argc > 1 ? 2 : 1), argv + argc);
  for (const art::ArtSet& set : art::Registry()) {
    if (!only.empty() && !only.count(set.folder)) continue;
    std::string res = root + "/gauges/" + set.folder + "/res";
    std::filesystem::create_directories(res);
    set.draw(res);
  }
  return 0;
}
