#include "test_servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace nord5::test {

TempFolder::TempFolder() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "nord5-update-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl + "/";
}

TempFolder::~TempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

TestServer TestServer::Http(const std::string& root, const std::string& cert,
                            const std::string& key) {
  TestServer s;
  s.log_ = root + ".http.log";
  std::vector<std::string> args{"http", root, s.log_};
  if (!cert.empty()) {
    args.push_back(cert);
    args.push_back(key);
  }
  s.Launch(args);
  return s;
}

TestServer TestServer::Ftp(const std::string& root, const std::string& user,
                           const std::string& password) {
  TestServer s;
  s.log_ = root + ".ftp.log";
  s.Launch({"ftp", root, s.log_, user, password});
  return s;
}

TestServer::TestServer(TestServer&& o) noexcept
    : pid_(o.pid_), stdin_fd_(o.stdin_fd_), port_(o.port_), log_(std::move(o.log_)) {
  o.pid_ = -1;
  o.stdin_fd_ = -1;
  o.port_ = 0;
}

void TestServer::Launch(const std::vector<std::string>& args) {
  int in[2];
  int out[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, in[0], 0);
  posix_spawn_file_actions_adddup2(&fa, out[1], 1);
  std::vector<std::string> argv_s{"/usr/bin/python3", NORD5_TEST_SERVERS};
  argv_s.insert(argv_s.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_s) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int rc = posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  ::close(in[0]);
  ::close(out[1]);
  stdin_fd_ = in[1];
  if (rc != 0) {
    pid_ = -1;
    ::close(out[0]);
    return;
  }
  // The first line is the port; a server that does not start within 15 s counts as failed.
  std::string line;
  pollfd p{out[0], POLLIN, 0};
  while (line.find('\n') == std::string::npos && ::poll(&p, 1, 15000) > 0) {
    char buf[64];
    const ssize_t n = ::read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    line.append(buf, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  port_ = std::atoi(line.c_str());
}

TestServer::~TestServer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  if (stdin_fd_ >= 0) ::close(stdin_fd_);
}

std::string TestServer::Log() const { return ReadFile(log_); }

int UnusedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  const int port = ntohs(a.sin_port);
  ::close(fd);
  return port;
}

}  // namespace nord5::test
