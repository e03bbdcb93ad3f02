// Build tool: writes the program icon as a PNG for the desktop icon theme.
#include <cstdio>

#include "app_icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  return synthfactors::ui::AppIconImage().save(argv[1], "PNG") ? 0 : 1;
}
