#include "foundation/shell.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace nord5 {

bool XdgShell::Open(const std::string& path_or_url) {
  // Double fork through /bin/sh so that no zombie is left behind and the caller never waits.
  const std::string cmd = "xdg-open \"$0\" >/dev/null 2>&1 &";
  const char* argv[] = {"/bin/sh", "-c", cmd.c_str(), path_or_url.c_str(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace nord5
