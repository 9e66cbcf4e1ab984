// art OUT_DIR [MODULE...]: draws the bitmaps of every module (or of the named
// ones) into OUT_DIR/<module>/<id>.bmp.
#include <cstdio>
#include <exception>
#include <map>
#include <string>

#include "art/art.h"

namespace art {
namespace {
std::map<std::string, DrawModule>& Registry() {
  static std::map<std::string, DrawModule> registry;
  return registry;
}
}  // namespace

Registration::Registration(const char* module, DrawModule draw) { Registry()[module] = draw; }

}  // namespace art

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help") {
    std::fprintf(stderr, "usage: art OUT_DIR [MODULE...]\nmodules:");
    for (const auto& [name, draw] : art::Registry()) std::fprintf(stderr, " %s", name.c_str());
    std::fprintf(stderr, "\n");
    return argc < 2 ? 2 : 0;
  }
  const std::string out = argv[1];
  try {
    for (const auto& [name, draw] : art::Registry()) {
      bool wanted = argc == 2;
      for (int i = 2; i < argc; ++i) wanted = wanted || name == argv[i];
      if (wanted) draw(art::Output(out, name));
    }
    for (int i = 2; i < argc; ++i) {
      if (art::Registry().count(argv[i]) == 0) {
        std::fprintf(stderr, "art: no such module: %s\n", argv[i]);
        return 2;
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "art: %s\n", e.what());
    return 1;
  }
  return 0;
}
