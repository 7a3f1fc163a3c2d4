// nord5-config: the desktop configurator. Takes no options of its own besides --help and
// --version (Qt's own, such as -platform, pass through).
#include <cstdio>
#include <string_view>

#include "ui/application.h"

namespace {

constexpr const char* kHelp =
    "Usage: nord5-config [--help | --version]\n"
    "\n"
    "VARMELINOX NORD5 User configurator: reads live values and the whole configuration of a\n"
    "NORD5 heat and cooling meter through an optical head or an M-Bus level converter\n"
    "(2400 baud, 8E1), edits, writes and calibrates it, saves and loads configuration and LCD\n"
    "menu files, and traces every telegram. \"Program settings\" (F6) also offers a built-in\n"
    "virtual meter.\n"
    "\n"
    "Serial ports belong to the group dialout: add your user to it\n"
    "(sudo adduser \"$USER\" dialout, then log in again).\n"
    "\n"
    "Settings: $XDG_DATA_HOME/VARMELINOX_NORD5_User_config/VARMELINOX_NORD5_User_config.ini\n"
    "(by default under ~/.local/share).\n"
    "\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n";

}  // namespace

int main(int argc, char** argv) {
  // Answered before anything starts: no settings, no window, no signal to a running instance.
  const std::string_view option = argc > 1 ? argv[1] : "";
  if (option == "--help" || option == "-h") return std::fputs(kHelp, stdout) < 0 ? 1 : 0;
  if (option == "--version") return std::printf("nord5-config %s\n", NORD5_FILE_VERSION) < 0;
  return nord5::ui::RunApplication(argc, argv);
}
