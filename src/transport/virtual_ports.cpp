#include "transport/virtual_ports.h"

#include <unistd.h>

#include <cstdlib>

namespace nord5 {
namespace {
std::string WithSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}
}  // namespace

std::string VirtualPortsFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0') return WithSlash(runtime) + "nord5-ports/";
  const char* tmp = std::getenv("TMPDIR");
  const std::string base = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
  return WithSlash(base) + "nord5-ports-" + std::to_string(::getuid()) + "/";
}

}  // namespace nord5
