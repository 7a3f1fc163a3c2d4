#include "foundation/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

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
