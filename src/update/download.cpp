#include "update/download.h"

#include <curl/curl.h>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace nord5::update {
namespace {

void GlobalInit() {
  static const bool done = [] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    return true;
  }();
  (void)done;
}

struct Transfer {
  std::FILE* file = nullptr;
  std::int64_t written = 0;
  bool write_failed = false;
  const FetchRequest* request = nullptr;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  if (std::fwrite(data, 1, n, t->file) != n) {
    t->write_failed = true;
    return 0;
  }
  t->written += static_cast<std::int64_t>(n);
  return n;
}

int Progress(void* user, curl_off_t total, curl_off_t done, curl_off_t, curl_off_t) {
  auto* t = static_cast<Transfer*>(user);
  if (t->request->cancel && t->request->cancel->load()) return 1;
  if (t->request->progress && done > 0) t->request->progress(done, total > 0 ? total : 0);
  return 0;
}

struct CurlDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

}  // namespace

std::string FtpUrl(const std::string& host, const std::string& remote_path) {
  GlobalInit();
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  std::string url = "ftp://" + host;
  std::size_t start = 0;
  while (start <= remote_path.size()) {
    std::size_t slash = remote_path.find('/', start);
    if (slash == std::string::npos) slash = remote_path.size();
    const std::string part = remote_path.substr(start, slash - start);
    char* esc =
        curl ? curl_easy_escape(curl.get(), part.c_str(), static_cast<int>(part.size())) : nullptr;
    url += "/";
    url += esc ? esc : part;
    curl_free(esc);
    start = slash + 1;
  }
  return url;
}

bool Fetch(const FetchRequest& r) {
  namespace fs = std::filesystem;
  GlobalInit();
  if (r.url.empty() || r.dest.empty()) return false;
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) return false;
  const std::string part = r.dest + ".part";
  Transfer t;
  t.request = &r;
  t.file = std::fopen(part.c_str(), "wb");
  if (!t.file) return false;

  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, r.url.c_str());
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, WriteBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, Progress);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, r.timeouts.connect_ms);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, r.timeouts.read_s);
  if (r.ftp) {
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
    // Passive mode and binary type are libcurl's defaults for ftp:// (no FTPPORT, no ";type=a").
    curl_easy_setopt(c, CURLOPT_FTP_USE_EPSV, 1L);
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, r.timeouts.read_s);
    curl_easy_setopt(c, CURLOPT_PROXY, "");  // direct connection, whatever the environment says
    if (!r.user.empty()) {
      curl_easy_setopt(c, CURLOPT_USERNAME, r.user.c_str());
      curl_easy_setopt(c, CURLOPT_PASSWORD, r.password.c_str());
    }
  } else {
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
    // Certificate and host name checks stay at libcurl's defaults (on).
  }

  const CURLcode rc = curl_easy_perform(c);
  curl_off_t announced = -1;
  curl_easy_getinfo(c, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
  const bool flushed = std::fflush(t.file) == 0;
  const bool closed = std::fclose(t.file) == 0;
  std::error_code ec;
  // Nothing is kept that is empty or shorter than the server said it would be.
  const bool complete = rc == CURLE_OK && !t.write_failed && flushed && closed && t.written > 0 &&
                        (announced < 0 || t.written == announced);
  if (!complete) {
    fs::remove(part, ec);
    return false;
  }
  fs::rename(part, r.dest, ec);
  if (ec) {
    fs::remove(part, ec);
    return false;
  }
  return true;
}

}  // namespace nord5::update
