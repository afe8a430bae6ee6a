// Program entry. The main window is not built yet, so Glimra starts as the
// smallest honest program: it reads which collection file the settings
// remember and says so, then ends.
#include <cstdio>
#include <string>

#include "collection/settings.h"

int main() {
  using namespace glimra::collection;
  const std::string file = readSetting("CurrentFile", "GlimraFile", "");
  if (file.empty()) {
    std::printf("Glimra: no collection file is remembered in %s; the main window would ask for a new one.\n",
                settingsPath().c_str());
  } else {
    std::printf("Glimra: would open the collection file %s (remembered in %s).\n", file.c_str(),
                settingsPath().c_str());
  }
  return 0;
}
