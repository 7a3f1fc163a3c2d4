// nord5-config: the desktop configurator. Takes no command-line options.
#include "ui/application.h"

int main(int argc, char** argv) { return nord5::ui::RunApplication(argc, argv); }
