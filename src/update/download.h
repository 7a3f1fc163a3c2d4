// Downloads over FTP and HTTP(S) with libcurl, into a temporary file that replaces the target
// only when the transfer is complete.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace nord5::update {

struct DownloadTimeouts {
  long connect_ms = 20000;
  // A transfer that receives nothing for this long fails (the file server's read time-out).
  long read_s = 20;
  int web_attempts = 4;
};

// Bytes received so far and the total the server announced (0 when unknown).
using ProgressFn = std::function<void(std::int64_t done, std::int64_t total)>;

struct FetchRequest {
  std::string url;
  std::string dest;  // local file, replaced on success
  std::string user;  // FTP account; empty: anonymous
  std::string password;
  bool ftp = false;  // ftp:// only, passive binary, never through a proxy; else http(s) only
  DownloadTimeouts timeouts;
  ProgressFn progress;
  const std::atomic<bool>* cancel = nullptr;  // set: the transfer stops as soon as it can
};

// Downloads `url` to `dest`. Fails (and leaves `dest` as it was) on any transfer error, on an
// empty download, and on a download shorter than the size the server announced (FTP SIZE,
// HTTP Content-Length). HTTPS certificates are verified.
bool Fetch(const FetchRequest& request);

// "ftp://" + host + "/" + remote path, each part of the path percent-encoded.
std::string FtpUrl(const std::string& host, const std::string& remote_path);

}  // namespace nord5::update
