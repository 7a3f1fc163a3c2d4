#include "update/installer.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

extern char** environ;

namespace nord5::update {

std::string ShellQuote(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  out += "'";
  return out;
}

std::string InstallerScript(const InstallerPlan& p) {
  namespace fs = std::filesystem;
  const fs::path program(p.program_path);
  const std::string name = program.filename().string();
  const std::string folder = program.parent_path().string();
  const std::string backup = p.update_folder + name + "_v" + p.version;
  std::string s;
  s += "#!/bin/sh\n";
  s += "# Replaces the configurator with its new version once the running one has ended.\n";
  s += "pid=" + std::to_string(p.pid) + "\n";
  s += "program=" + ShellQuote(p.program_path) + "\n";
  s += "folder=" + ShellQuote(folder.empty() ? "/" : folder) + "\n";
  s += "backup=" + ShellQuote(backup) + "\n";
  s += "new=" + ShellQuote(p.new_file) + "\n";
  s += "self=" + ShellQuote(p.script_path) + "\n";
  s += "while kill -0 \"$pid\" 2>/dev/null; do sleep 1; done\n";
  // The old program is kept; when the new one cannot be put in place, the old one goes back.
  s += "if mv -f -- \"$program\" \"$backup\"; then\n";
  s += "  if mv -f -- \"$new\" \"$program\"; then\n";
  s += "    chmod +x -- \"$program\"\n";
  s += "  else\n";
  s += "    mv -f -- \"$backup\" \"$program\"\n";
  s += "  fi\n";
  s += "fi\n";
  s += "cd -- \"$folder\" && \"$program\" </dev/null >/dev/null 2>&1 &\n";
  s += "rm -f -- \"$self\"\n";
  s += "exit 0\n";
  return s;
}

bool WriteInstaller(const InstallerPlan& plan) {
  const int fd = ::open(plan.script_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0700);
  if (fd < 0) return false;
  const std::string text = InstallerScript(plan);
  std::size_t off = 0;
  while (off < text.size()) {
    const ssize_t n = ::write(fd, text.data() + off, text.size() - off);
    if (n <= 0) {
      ::close(fd);
      ::unlink(plan.script_path.c_str());
      return false;
    }
    off += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) {
    ::unlink(plan.script_path.c_str());
    return false;
  }
  return true;
}

long StartInstaller(const std::string& script_path) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int fd = 0; fd <= 2; ++fd)
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
  const char* argv[] = {"/bin/sh", script_path.c_str(), nullptr};
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, "/bin/sh", &actions, &attr, const_cast<char**>(argv), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? static_cast<long>(pid) : -1;
}

std::string RunningProgramPath() {
  std::error_code ec;
  const auto p = std::filesystem::canonical("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
}

bool FolderWritable(const std::string& folder) {
  return !folder.empty() && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace nord5::update
