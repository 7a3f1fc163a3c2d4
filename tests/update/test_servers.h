// Loopback servers for the update tests (tests/update/servers.py run with Debian's Python) and a
// private temporary folder.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace nord5::test {

// A temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::string& Path() const { return path_; }  // ends with '/'
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& text);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);

// One server process on 127.0.0.1; stopped and reaped by the destructor.
class TestServer {
 public:
  // HTTP serving `root`; HTTPS when `cert` and `key` are given.
  static TestServer Http(const std::string& root, const std::string& cert = {},
                         const std::string& key = {});
  static TestServer Ftp(const std::string& root, const std::string& user,
                        const std::string& password);
  TestServer(TestServer&& other) noexcept;
  TestServer& operator=(TestServer&&) = delete;
  ~TestServer();

  bool Running() const { return port_ > 0; }
  int Port() const { return port_; }
  std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
  // Request paths seen so far, one per line.
  std::string Log() const;

 private:
  TestServer() = default;
  void Launch(const std::vector<std::string>& args);
  pid_t pid_ = -1;
  int stdin_fd_ = -1;
  int port_ = 0;
  std::string log_;
};

// A port on 127.0.0.1 where nothing listens (bound once, then released).
int UnusedPort();

}  // namespace nord5::test
