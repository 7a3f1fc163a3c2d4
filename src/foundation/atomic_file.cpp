#include "foundation/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>

namespace nord5 {
namespace {

bool WriteAll(int fd, const unsigned char* p, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, p + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string ParentFolder(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The process id in a temporary file name `<base>.tmp<pid>-<n>`, or 0 when `name` is none.
pid_t TempFileOwner(std::string_view name, std::string_view base) {
  const std::string_view marker = ".tmp";
  if (name.size() <= base.size() + marker.size() || name.substr(0, base.size()) != base ||
      name.substr(base.size(), marker.size()) != marker)
    return 0;
  std::string_view rest = name.substr(base.size() + marker.size());
  const std::size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size()) return 0;
  auto digits = [](std::string_view d) {
    return d.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (!digits(rest.substr(0, dash)) || !digits(rest.substr(dash + 1)) || dash > 9) return 0;
  long long pid = 0;
  for (char c : rest.substr(0, dash)) pid = pid * 10 + (c - '0');
  return pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
}

// Removes the temporary files of `path` whose writer is no longer running: a save that died
// between creating its temporary file and renaming it leaves one behind.
void RemoveStaleTempFiles(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = ParentFolder(path);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const std::string prefix = folder == "/" ? "/" : folder + "/";
  while (const dirent* entry = ::readdir(dir)) {
    const pid_t pid = TempFileOwner(entry->d_name, base);
    if (pid == 0 || pid == ::getpid()) continue;
    if (::kill(pid, 0) == 0 || errno != ESRCH) continue;  // still running, or not ours to know
    const std::string stale = prefix + entry->d_name;
    struct stat st {};
    if (::lstat(stale.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(stale.c_str());
  }
  ::closedir(dir);
}

}  // namespace

bool WriteFileAtomically(const std::string& target, const void* data, std::size_t size,
                         const BeforeReplaceHook& before_replace) {
  if (target.empty()) return false;
  std::string path = target;
  struct stat st {};
  bool exists = false;
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return false;
    path = resolved;
  }
  if (::stat(path.c_str(), &st) == 0) {
    exists = true;
    if (!S_ISREG(st.st_mode)) return false;
    // The folder may let us replace a read-only file (and the superuser may write anything):
    // a file the user made read-only stays as it is all the same.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    if (::access(path.c_str(), W_OK) != 0) return false;
  } else if (errno != ENOENT) {
    return false;
  }

  RemoveStaleTempFiles(path);

  static std::atomic<unsigned> counter{0};
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = true;
  if (exists && ::fchmod(fd, st.st_mode & 07777) != 0) ok = false;
  if (ok) ok = WriteAll(fd, static_cast<const unsigned char*>(data), size);
  if (ok) ok = ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok && before_replace) ok = before_replace(temp);
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable; the file is already complete if this fails.
  const int dir = ::open(ParentFolder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t max_size,
                                           FileReadError* error) {
  auto fail = [error](FileReadError e) -> std::optional<std::string> {
    if (error) *error = e;
    return std::nullopt;
  };
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return fail(errno == ENOENT || errno == ENOTDIR ? FileReadError::Missing
                                                    : FileReadError::Unreadable);
  if (!S_ISREG(st.st_mode)) return fail(FileReadError::NotRegular);
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return fail(errno == ENOENT ? FileReadError::Missing : FileReadError::Unreadable);
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return fail(FileReadError::NotRegular);
  }
  std::string data;
  const std::size_t limit = max_size + 1;  // one byte more tells a longer file
  data.resize(std::min<std::size_t>(limit, static_cast<std::size_t>(st.st_size) + 1));
  std::size_t got = 0;
  for (;;) {
    if (got == data.size()) {
      if (data.size() >= limit) break;
      data.resize(std::min(limit, data.size() * 2 + 4096));  // the file grew meanwhile
    }
    const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return fail(FileReadError::Unreadable);
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (got > max_size) return fail(FileReadError::TooLong);
  data.resize(got);
  if (error) *error = FileReadError::None;
  return data;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ProgramFolder() {
  char buf[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  return FolderOf(std::string(buf, static_cast<std::size_t>(n)));
}

}  // namespace nord5
