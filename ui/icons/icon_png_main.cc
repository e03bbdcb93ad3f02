// Build tool: writes a program icon as a PNG for the desktop icon theme:
// the classic window's, or with "planner" the planner's.
#include <cstdio>
#include <cstring>

#include "app_icon.h"

int main(int argc, char** argv) {
  const bool planner = argc == 3 && std::strcmp(argv[2], "planner") == 0;
  if (argc != 2 && !planner) {
    std::fprintf(stderr, "usage: %s OUTPUT.png [planner]\n", argv[0]);
    return 2;
  }
  const QImage icon =
      planner ? synthfactors::ui::PlannerIconImage() : synthfactors::ui::AppIconImage();
  return icon.save(argv[1], "PNG") ? 0 : 1;
}
