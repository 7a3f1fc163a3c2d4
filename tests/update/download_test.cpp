// Downloads against loopback servers: complete files arrive, short, empty and failed ones never
// replace the target, and HTTPS certificates are checked.
#include "update/download.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "test_servers.h"

using namespace nord5::update;
using namespace nord5::test;

namespace {

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(tmp / "www/VARMELINOX");
    WriteFile(tmp / "www/prog", std::string(5000, 'p'));
    WriteFile(tmp / "www/VARMELINOX/prog", std::string(5000, 'f'));
    WriteFile(tmp / "www/empty", "");
    WriteFile(tmp / "www/VARMELINOX/empty", "");
  }
  FetchRequest Web(const std::string& url, const std::string& dest) {
    FetchRequest r;
    r.url = url;
    r.dest = dest;
    r.timeouts.connect_ms = 3000;
    r.timeouts.read_s = 3;
    return r;
  }
  FetchRequest Ftp(const TestServer& ftp, const std::string& file, const std::string& dest) {
    FetchRequest r = Web(FtpUrl(ftp.Host(), "VARMELINOX/" + file), dest);
    r.user = "nord5";
    r.password = "Pa$$ word'`x\"18ch";
    r.ftp = true;
    return r;
  }
  TempFolder tmp;
};

}  // namespace

TEST_F(DownloadTest, WebDownloadReplacesTheTargetAndReportsProgress) {
  TestServer http = TestServer::Http(tmp / "www");
  ASSERT_TRUE(http.Running());
  WriteFile(tmp / "out", "old");
  FetchRequest r = Web("http://" + http.Host() + "/prog?dl=1", tmp / "out");
  std::int64_t last_done = 0, last_total = 0;
  r.progress = [&](std::int64_t done, std::int64_t total) {
    last_done = done;
    last_total = total;
  };
  ASSERT_TRUE(Fetch(r));
  EXPECT_EQ(ReadFile(tmp / "out"), std::string(5000, 'p'));
  EXPECT_EQ(last_done, 5000);
  EXPECT_EQ(last_total, 5000);
  EXPECT_FALSE(Exists(tmp / "out.part"));
}

TEST_F(DownloadTest, ShortEmptyOrFailedWebDownloadsLeaveTheTargetAlone) {
  TestServer http = TestServer::Http(tmp / "www");
  ASSERT_TRUE(http.Running());
  WriteFile(tmp / "www/short", std::string(300, 's'));
  WriteFile(tmp / "www/short.truncate", "");
  WriteFile(tmp / "www/gone.status", "404");
  for (const char* path : {"/short", "/empty", "/gone", "/missing"}) {
    WriteFile(tmp / "out", "old");
    EXPECT_FALSE(Fetch(Web("http://" + http.Host() + path, tmp / "out"))) << path;
    EXPECT_EQ(ReadFile(tmp / "out"), "old") << path;
    EXPECT_FALSE(Exists(tmp / "out.part")) << path;
  }
}

TEST_F(DownloadTest, FtpDownloadLogsInAndRefusesShortFiles) {
  TestServer ftp = TestServer::Ftp(tmp / "www", "nord5", "Pa$$ word'`x\"18ch");
  ASSERT_TRUE(ftp.Running());
  ASSERT_TRUE(Fetch(Ftp(ftp, "prog", tmp / "out")));
  EXPECT_EQ(ReadFile(tmp / "out"), std::string(5000, 'f'));

  WriteFile(tmp / "www/VARMELINOX/prog.truncate", "");  // SIZE announces 100 bytes more
  WriteFile(tmp / "out", "old");
  EXPECT_FALSE(Fetch(Ftp(ftp, "prog", tmp / "out")));
  EXPECT_FALSE(Fetch(Ftp(ftp, "empty", tmp / "out")));
  EXPECT_FALSE(Fetch(Ftp(ftp, "missing", tmp / "out")));
  FetchRequest wrong = Ftp(ftp, "prog", tmp / "out");
  wrong.password = "wrong";
  EXPECT_FALSE(Fetch(wrong));
  EXPECT_EQ(ReadFile(tmp / "out"), "old");
}

TEST_F(DownloadTest, HttpsWithAnUntrustedCertificateFails) {
  const std::string cert = tmp / "cert.pem";
  const std::string key = tmp / "key.pem";
  const std::string cmd =
      "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 "
      "-addext subjectAltName=IP:127.0.0.1 -keyout '" +
      key + "' -out '" + cert + "' >/dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) GTEST_SKIP() << "openssl cannot make a test certificate";
  TestServer https = TestServer::Http(tmp / "www", cert, key);
  ASSERT_TRUE(https.Running());
  EXPECT_FALSE(Fetch(Web("https://" + https.Host() + "/prog", tmp / "out")));
  EXPECT_FALSE(Exists(tmp / "out"));
}
