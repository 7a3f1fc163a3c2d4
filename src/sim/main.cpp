// nord5-meter-sim: a virtual NORD5 meter behind a pseudo-terminal. It prints the port (the slave
// side, /dev/pts/N) as its first line, publishes it as a virtual port for the configurator's port
// list while it runs, and answers whatever a master writes there.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/clock.h"
#include "sim/line_model.h"
#include "sim/sim_options.h"
#include "sim/telegram.h"
#include "sim/virtual_bus.h"
#include "sim/virtual_meter.h"
#include "transport/virtual_ports.h"

namespace {

using nord5::SystemClock;
using namespace nord5::sim;

int g_signal_pipe[2] = {-1, -1};
constexpr std::size_t kMaxUnsent = 65536;
constexpr char kLinkPrefix[] = "nord5-meter-";

void OnSignal(int) {
  const char c = 1;
  [[maybe_unused]] const ssize_t n = write(g_signal_pipe[1], &c, 1);
}

// A symbolic link that is removed again when the program ends.
class PublishedLink {
 public:
  PublishedLink() = default;
  PublishedLink(const PublishedLink&) = delete;
  PublishedLink& operator=(const PublishedLink&) = delete;
  ~PublishedLink() { Remove(); }

  // Creates `path` -> `target`; an old symbolic link in the way is replaced, anything else is not.
  bool Create(const std::string& path, const std::string& target, std::string& error) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
      if (!S_ISLNK(st.st_mode)) {
        error = path + " exists and is not a symbolic link";
        return false;
      }
      unlink(path.c_str());
    }
    if (symlink(target.c_str(), path.c_str()) != 0) {
      error = "cannot create " + path + ": " + std::strerror(errno);
      return false;
    }
    path_ = path;
    return true;
  }
  void Remove() {
    if (!path_.empty()) unlink(path_.c_str());
    path_.clear();
  }

 private:
  std::string path_;
};

bool MakeFolder(const std::string& folder, std::string& error) {
  std::string path;
  for (std::size_t i = 0; i < folder.size(); ++i) {
    path.push_back(folder[i]);
    if ((folder[i] == '/' && i > 0) || i + 1 == folder.size()) {
      if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
      }
    }
  }
  // The folder may lie in a shared temporary directory: it must be our own directory.
  struct stat st {};
  std::string dir = folder;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) {
    error = dir + " is not a directory of this user";
    return false;
  }
  return true;
}

// Links left behind by simulators that were killed: named nord5-meter-PID with no such process.
void RemoveStaleLinks(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  const std::string prefix = kLinkPrefix;
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name.rfind(prefix, 0) != 0) continue;
    const std::string digits = name.substr(prefix.size());
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    const long pid = std::strtol(digits.c_str(), nullptr, 10);
    struct stat st {};
    const std::string path = folder + name;
    if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH &&
        lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
      unlink(path.c_str());
  }
  closedir(dir);
}

void Trace(bool incoming, const Bytes& t) {
  std::fprintf(stderr, "%s %s\n", incoming ? ">" : "<", HexString(t.data(), t.size()).c_str());
}

int Run(const SimProgramOptions& options) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    std::fprintf(stderr, "nord5-meter-sim: cannot open a pseudo-terminal: %s\n",
                 std::strerror(errno));
    return 1;
  }
  char name[128] = {};
  if (ptsname_r(master, name, sizeof name) != 0) {
    std::fprintf(stderr, "nord5-meter-sim: no name for the pseudo-terminal\n");
    return 1;
  }
  // Raw, so that the line discipline neither echoes nor translates the binary telegrams. Some
  // kernels refuse parity on a pseudo-terminal; it means nothing there, so raw 2400 is enough.
  termios tio{};
  if (tcgetattr(master, &tio) == 0) {
    cfmakeraw(&tio);
    cfsetispeed(&tio, B2400);
    cfsetospeed(&tio, B2400);
    tcsetattr(master, TCSANOW, &tio);
  }
  const std::string port = name;

  std::string error;
  PublishedLink published, extra;
  const std::string folder = nord5::VirtualPortsFolder();
  if (MakeFolder(folder, error)) RemoveStaleLinks(folder);
  if (!error.empty() ||
      !published.Create(folder + kLinkPrefix + std::to_string(getpid()), port, error) ||
      (!options.link.empty() && !extra.Create(options.link, port, error))) {
    std::fprintf(stderr, "nord5-meter-sim: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", port.c_str());
  std::fflush(stdout);

  const SystemClock& clock = SystemClock::Instance();
  const std::unique_ptr<SimLine> sim_line = MakeSimLine(options.meter, options.meters, clock);
  SimLine& line = *sim_line;
  if (options.trace) line.SetTrace(Trace);

  std::vector<std::uint8_t> unsent;  // answer bytes the pseudo-terminal did not take yet
  bool peer = false;                 // a slave side is open
  std::uint8_t buf[512];
  for (;;) {
    std::uint8_t ready[512];
    const std::size_t n = line.Take(ready, sizeof ready);
    if (n > 0 && peer) unsent.insert(unsent.end(), ready, ready + n);
    // A master that writes and never reads must not make the meter hoard its answers.
    if (unsent.size() > kMaxUnsent)
      unsent.erase(unsent.begin(), unsent.end() - static_cast<std::ptrdiff_t>(kMaxUnsent));
    while (!unsent.empty()) {
      const ssize_t w = write(master, unsent.data(), unsent.size());
      if (w > 0) {
        unsent.erase(unsent.begin(), unsent.begin() + w);
      } else {
        if (w < 0 && errno == EIO) unsent.clear();  // nobody there to read it
        break;
      }
    }

    int timeout = 1000;
    if (const auto next = line.NextArrivalMs()) {
      const std::int64_t wait = *next - clock.NowMs();
      timeout = wait <= 0 ? 0 : static_cast<int>(std::min<std::int64_t>(wait, 1000));
    }
    // Without a slave side the master reports a hang-up all the time; then look again shortly
    // instead of spinning.
    pollfd fds[2] = {{g_signal_pipe[0], POLLIN, 0}, {master, POLLIN, 0}};
    if (!unsent.empty()) fds[1].events |= POLLOUT;
    const nfds_t count = peer ? 2 : 1;
    if (!peer) timeout = std::min(timeout, 50);
    const int r = poll(fds, count, timeout);
    if (r < 0 && errno != EINTR) break;
    if (fds[0].revents & POLLIN) break;  // SIGINT, SIGTERM or SIGHUP
    if (!peer) {
      pollfd probe{master, POLLIN, 0};
      peer = poll(&probe, 1, 0) >= 0 && !(probe.revents & POLLHUP);
      if (!peer) continue;
      if (!(probe.revents & POLLIN)) continue;
    } else if (fds[1].revents & POLLHUP && !(fds[1].revents & POLLIN)) {
      peer = false;
      unsent.clear();
      line.Clear();
      continue;
    }
    for (;;) {
      const ssize_t got = read(master, buf, sizeof buf);
      if (got > 0) {
        line.Receive(buf, static_cast<std::size_t>(got));
        continue;
      }
      if (got < 0 && errno == EIO) {  // the last slave side was closed
        peer = false;
        unsent.clear();
        line.Clear();
      }
      break;
    }
  }
  close(master);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  SimProgramOptions options;
  std::string error;
  if (!ParseSimArguments(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::fprintf(stderr, "nord5-meter-sim: %s\n%s", error.c_str(), SimUsage().c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(SimUsage().c_str(), stdout);
    return 0;
  }
  if (pipe(g_signal_pipe) != 0) return 1;
  fcntl(g_signal_pipe[0], F_SETFL, O_NONBLOCK);
  fcntl(g_signal_pipe[1], F_SETFL, O_NONBLOCK);
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return Run(options);
}
