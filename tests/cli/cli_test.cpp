// nord5-cli as a program: decode on recorded frames (plain and JSON), show on configuration
// files, the refusals with their messages and exit statuses, and the usage errors.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "foundation/meter_image.h"
#include "sim/meter_memory.h"

extern char** environ;

namespace nord5 {
namespace {

namespace fs = std::filesystem;

constexpr int kOk = 0, kUsage = 1, kRefused = 4;

struct Result {
  int status = -1;
  std::string out, err;
};

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CliTest : public ::testing::Test {
 protected:
  CliTest() {
    dir_ = fs::path(::testing::TempDir()) / ("nord5_cli_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  ~CliTest() override { fs::remove_all(dir_); }

  fs::path Path(const std::string& name) const { return dir_ / name; }

  // Runs nord5-cli with `args`, `input` on its standard input; the settings live in the test's
  // own folder.
  Result Run(const std::vector<std::string>& args, const std::string& input = {}) {
    const fs::path in = Path("stdin"), out = Path("stdout"), err = Path("stderr");
    std::ofstream(in, std::ios::binary) << input;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> all = {NORD5_CLI};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {"XDG_DATA_HOME=" + dir_.string(), "HOME=" + dir_.string(),
                                    "PATH=/usr/bin:/bin"};
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    Result r;
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return r;
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = ReadText(out);
    r.err = ReadText(err);
    return r;
  }

  fs::path dir_;
};

// ---- a small JSON reader, enough for the decoder's output ------------------------------------

struct Json;
using JsonObject = std::map<std::string, Json>;
using JsonArray = std::vector<Json>;
struct Json {
  std::variant<std::nullptr_t, bool, double, std::string, JsonArray, JsonObject> v;
  const Json& operator[](const std::string& k) const { return std::get<JsonObject>(v).at(k); }
  const JsonArray& Array() const { return std::get<JsonArray>(v); }
  const std::string& Text() const { return std::get<std::string>(v); }
  double Number() const { return std::get<double>(v); }
  int Int() const { return static_cast<int>(Number()); }
};

class JsonReader {
 public:
  explicit JsonReader(const std::string& s) : s_(s) {}
  // Throws std::runtime_error on anything that is not one JSON value with blanks around it.
  Json Document() {
    Json j = Value();
    Blank();
    if (i_ != s_.size()) Fail();
    return j;
  }

 private:
  [[noreturn]] void Fail() const {
    throw std::runtime_error("bad JSON at " + std::to_string(i_) + ": " + s_.substr(i_, 20));
  }
  void Blank() {
    while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
  }
  bool Eat(char c) {
    Blank();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  void Expect(char c) {
    if (!Eat(c)) Fail();
  }
  bool Word(const char* w) {
    const std::string word(w);
    if (s_.compare(i_, word.size(), word) != 0) return false;
    i_ += word.size();
    return true;
  }
  std::string String() {
    Expect('"');
    std::string out;
    while (i_ < s_.size() && s_[i_] != '"') {
      char c = s_[i_++];
      if (static_cast<unsigned char>(c) < 0x20) Fail();
      if (c == '\\') {
        if (i_ >= s_.size()) Fail();
        c = s_[i_++];
        switch (c) {
          case 'n': out += '\n'; break;
          case 'r': out += '\r'; break;
          case 't': out += '\t'; break;
          case 'u':
            if (i_ + 4 > s_.size()) Fail();
            out += static_cast<char>(std::stoi(s_.substr(i_, 4), nullptr, 16));
            i_ += 4;
            break;
          case '"': case '\\': case '/': out += c; break;
          default: Fail();
        }
      } else {
        out += c;
      }
    }
    Expect('"');
    return out;
  }
  Json Value() {
    Blank();
    if (i_ >= s_.size()) Fail();
    const char c = s_[i_];
    if (c == '{') {
      ++i_;
      JsonObject o;
      if (!Eat('}')) {
        do {
          Blank();
          std::string k = String();
          Expect(':');
          o[k] = Value();
        } while (Eat(','));
        Expect('}');
      }
      return {o};
    }
    if (c == '[') {
      ++i_;
      JsonArray a;
      if (!Eat(']')) {
        do a.push_back(Value());
        while (Eat(','));
        Expect(']');
      }
      return {a};
    }
    if (c == '"') return {String()};
    if (Word("null")) return {nullptr};
    if (Word("true")) return {true};
    if (Word("false")) return {false};
    std::size_t used = 0;
    double d = 0;
    try {
      d = std::stod(s_.substr(i_, 40), &used);
    } catch (const std::exception&) {
      Fail();
    }
    i_ += used;
    return {d};
  }
  const std::string& s_;
  std::size_t i_ = 0;
};

// ---- decode ----------------------------------------------------------------------------------

std::vector<std::uint8_t> Bytes(const std::string& hex) {
  std::vector<std::uint8_t> out;
  std::istringstream in(hex);
  std::string pair;
  while (in >> pair) out.push_back(static_cast<std::uint8_t>(std::stoi(pair, nullptr, 16)));
  return out;
}

std::string XmlField(const std::string& xml, const std::string& tag) {
  std::smatch m;
  if (!std::regex_search(xml, m, std::regex("<" + tag + ">([^<]*)</" + tag + ">"))) return {};
  return m[1];
}

// Recorded frames of other meters (libmbus corpus) and what libmbus reads from their headers.
const char* const kFrames[] = {"EDC", "kamstrup_382_005", "landis+gyr_ultraheat_t230",
                               "abb_delta", "filler"};

TEST_F(CliTest, DecodeShowsTheHeaderAndRecordsOfRecordedFrames) {
  for (const char* name : kFrames) {
    SCOPED_TRACE(name);
    const fs::path base = fs::path(NORD5_TEST_DATA) / "frames" / "real" / name;
    const std::string hex = ReadText(base.string() + ".hex");
    const std::string xml = ReadText(base.string() + ".norm.xml");
    const std::vector<std::uint8_t> frame = Bytes(hex);
    const std::string id = XmlField(xml, "Id");
    ASSERT_FALSE(id.empty());

    // Plain text, the frame on standard input.
    const Result plain = Run({"decode", "-"}, hex);
    ASSERT_EQ(plain.status, kOk) << plain.err;
    EXPECT_NE(plain.out.find("Identification: " + std::string(8 - id.size(), '0') + id + "\n"),
              std::string::npos)
        << plain.out;
    EXPECT_NE(plain.out.find("Manufacturer: " + XmlField(xml, "Manufacturer") + "\n"),
              std::string::npos);
    EXPECT_NE(plain.out.find("Access number: " + XmlField(xml, "AccessNumber") + "\n"),
              std::string::npos);
    EXPECT_NE(plain.out.find("Index\tName\tValue\tUnits\n"), std::string::npos);

    // JSON, the frame as arguments.
    std::vector<std::string> args = {"decode", "--json"};
    std::istringstream pairs(hex);
    for (std::string p; pairs >> p;) args.push_back(p);
    const Result json = Run(args);
    ASSERT_EQ(json.status, kOk) << json.err;
    Json doc;
    ASSERT_NO_THROW(doc = JsonReader(json.out).Document()) << json.out;
    EXPECT_EQ(std::stoul(doc["id"].Text()), std::stoul(id));
    EXPECT_EQ(doc["manufacturer"].Text(), XmlField(xml, "Manufacturer"));
    EXPECT_EQ(doc["version"].Int(), std::stoi(XmlField(xml, "Version")));
    EXPECT_EQ(doc["access"].Int(), std::stoi(XmlField(xml, "AccessNumber")));
    EXPECT_EQ(doc["medium"].Int(), frame[14]);
    const JsonArray& records = doc["records"].Array();
    ASSERT_GE(records.size(), 2u);
    // The identification entry points at its four bytes of the fixed header.
    EXPECT_EQ(records[0]["name"].Text(), "DeviceID");
    EXPECT_EQ(records[0]["offset"].Int(), 7);
    EXPECT_EQ(records[0]["length"].Int(), 4);
    // libmbus's records in the same order, after the identification entry: storage number,
    // tariff and subunit (the last two left out when 0). libmbus also lists the manufacturer
    // data behind 0Fh or 1Fh, which is not a record here.
    struct Place {
      int storage, tariff, subunit;
    };
    std::vector<Place> xml_records;
    const std::regex record_re(
        "<DataRecord id=\"\\d+\">\\s*<Function>([^<]*)</Function>\\s*"
        "<StorageNumber>(\\d+)</StorageNumber>\\s*(?:<Tariff>(\\d+)</Tariff>\\s*)?"
        "(?:<Device>(\\d+)</Device>)?");
    for (std::sregex_iterator it(xml.begin(), xml.end(), record_re), end; it != end; ++it) {
      const std::smatch& m = *it;
      if (m[1] == "Manufacturer specific" || m[1] == "More records follow") continue;
      xml_records.push_back({std::stoi(m[2]), m[3].matched ? std::stoi(m[3]) : 0,
                             m[4].matched ? std::stoi(m[4]) : 0});
    }
    ASSERT_EQ(records.size(), xml_records.size() + 1);
    // Every record lies inside the user data and starts with the header bytes it reports.
    int previous_end = 19;
    for (std::size_t i = 1; i < records.size(); ++i) {
      SCOPED_TRACE("record " + std::to_string(i));
      const int offset = records[i]["offset"].Int();
      const int length = records[i]["length"].Int();
      const std::vector<std::uint8_t> dif = Bytes(records[i]["dif"].Text());
      ASSERT_GE(offset, previous_end);
      ASSERT_LE(offset + length, static_cast<int>(frame.size()) - 2);
      ASSERT_GE(length, static_cast<int>(dif.size()));
      EXPECT_TRUE(std::equal(dif.begin(), dif.end(), frame.begin() + offset));
      previous_end = offset + length;
      EXPECT_EQ(records[i]["storage"].Int(), xml_records[i - 1].storage);
      EXPECT_EQ(records[i]["tariff"].Int(), xml_records[i - 1].tariff);
      EXPECT_EQ(records[i]["subunit"].Int(), xml_records[i - 1].subunit);
    }
  }
}

TEST_F(CliTest, DecodeRefusesWhatIsNotAGoodLongFrame) {
  std::string good = ReadText(fs::path(NORD5_TEST_DATA) / "frames" / "real" / "EDC.hex");
  while (!good.empty() && std::isspace(static_cast<unsigned char>(good.back()))) good.pop_back();
  std::string bad_sum = good;
  bad_sum.replace(bad_sum.size() - 5, 2, "00");  // the check sum 2F
  const struct {
    const char* what;
    std::string input;
    int status;
    std::string message;
  } cases[] = {
      {"not hexadecimal", "68 AE AE 68 2X", kRefused, "not hexadecimal text (character 14)"},
      {"odd digit count", "68 AE A", kRefused, "not hexadecimal text"},
      {"wrong check sum", bad_sum, kRefused, "refused: check sum is 2F, the frame says 00"},
      {"short frame", "68 03 03 68 08 01 72 7B 16", kRefused,
       "refused: too short for a long frame with a fixed header"},
      {"cut off", good.substr(0, good.size() - 9), kRefused, "refused: length field L=174"},
      {"nothing", "  \n", kUsage, "no frame given"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const bool json : {false, true}) {
      const Result r = Run(json ? std::vector<std::string>{"decode", "--json"}
                                : std::vector<std::string>{"decode"},
                           c.input);
      EXPECT_EQ(r.status, c.status);
      EXPECT_NE(r.err.find("nord5-cli decode: " + c.message), std::string::npos) << r.err;
      EXPECT_EQ(r.out, "");
    }
  }
}

// ---- show ------------------------------------------------------------------------------------

std::vector<std::uint8_t> FactoryFile() {
  const MeterImage image = sim::DefaultMeterImage(kFirmware17042702);
  std::vector<std::uint8_t> bytes(image.bytes.begin(), image.bytes.end());
  const std::uint16_t crc = ImageCrc(image);
  bytes[kImageCrcOffset] = static_cast<std::uint8_t>(crc & 0xFF);
  bytes[kImageCrcOffset + 1] = static_cast<std::uint8_t>(crc >> 8);
  return bytes;
}

void WriteBytes(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(p, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

TEST_F(CliTest, ShowPrintsEveryFilledControlOfAFactoryFile) {
  const fs::path file = Path("factory.meterConfig");
  ASSERT_TRUE(sim::SaveMeterImageFile(file.string(), sim::DefaultMeterImage(kFirmware17042702)));
  const std::vector<std::uint8_t> expected = FactoryFile();
  ASSERT_EQ(ReadText(file), std::string(expected.begin(), expected.end()));
  for (const bool advanced : {false, true}) {
    SCOPED_TRACE(advanced ? "advanced" : "plain");
    const Result r = Run(advanced ? std::vector<std::string>{"show", file.string(), "--advanced"}
                                  : std::vector<std::string>{"show", file.string()});
    ASSERT_EQ(r.status, kOk) << r.err;
    EXPECT_EQ(r.err, "");
    std::istringstream lines(r.out);
    std::map<std::string, std::string> shown;
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
      const auto tab = line.find('\t');
      ASSERT_NE(tab, std::string::npos) << line;
      ASSERT_GT(tab, 0u) << line;
      ASSERT_EQ(line.find('\t', tab + 1), std::string::npos) << line;
      EXPECT_TRUE(shown.emplace(line.substr(0, tab), line.substr(tab + 1)).second)
          << "twice: " << line;
    }
    EXPECT_GT(count, 100);
    EXPECT_FALSE(r.out.empty() || r.out.back() != '\n');
    // The identity fields come from the file's bytes.
    const MeterImage image = sim::DefaultMeterImage(kFirmware17042702);
    char id[16];
    std::snprintf(id, sizeof id, "%08X", image.Cfg<std::uint32_t>(sim::kCfgIdentification));
    EXPECT_EQ(shown["textActDeviceID"], id);
    EXPECT_EQ(shown["textActMBusAddr"],
              std::to_string(image.Cfg<std::uint8_t>(sim::kCfgPrimaryAddress)));
  }
}

TEST_F(CliTest, ShowRefusesDamagedFiles) {
  std::vector<std::uint8_t> flipped = FactoryFile();
  flipped[300] ^= 0x08;
  std::vector<std::uint8_t> short_file = FactoryFile();
  short_file.pop_back();
  std::vector<std::uint8_t> long_file = FactoryFile();
  long_file.push_back(0);
  const struct {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* message;
  } cases[] = {
      {"flipped.meterConfig", flipped, "Bad file CRC\n"},
      {"short.meterConfig", short_file, "Wrong file length\n"},
      {"long.meterConfig", long_file, "Wrong file length\n"},
      {"empty.meterConfig", {}, "Wrong file length\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(Path(c.name), c.bytes);
    const Result r = Run({"show", Path(c.name).string()});
    EXPECT_EQ(r.status, kRefused);
    EXPECT_EQ(r.err, c.message);
    EXPECT_EQ(r.out, "");
  }
  const Result missing = Run({"show", Path("missing.meterConfig").string()});
  EXPECT_EQ(missing.status, kRefused);
  EXPECT_EQ(missing.err, "Wrong file length\n");
}

// A FIFO without a writer, a device or a folder given as a configuration file is refused at once
// like a file of the wrong length: nothing waits on it, nothing reads it to its (missing) end.
TEST_F(CliTest, FilesThatAreNoFilesAreRefusedWithoutWaiting) {
  ASSERT_EQ(::mkfifo(Path("fifo.meterConfig").c_str(), 0600), 0);
  fs::create_directory(Path("folder.meterConfig"));
  for (const std::string& file :
       {Path("fifo.meterConfig").string(), Path("folder.meterConfig").string(),
        std::string("/dev/zero"), std::string("/dev/null")}) {
    SCOPED_TRACE(file);
    const Result show = Run({"show", file});
    EXPECT_EQ(show.status, kRefused);
    EXPECT_EQ(show.err, "Wrong file length\n");
    // Refused before the port is opened (the port named does not exist).
    const Result write =
        Run({"write-config", "--in", file, "--port", Path("no-such-port").string()});
    EXPECT_EQ(write.status, kRefused);
    EXPECT_EQ(write.err, "Wrong file length\n");
  }
}

// ---- usage -----------------------------------------------------------------------------------

TEST_F(CliTest, UnknownCommandsAndOptionsEndWithStatusOne) {
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"frobnicate"}, "nord5-cli: unknown command \"frobnicate\""},
      {{}, "usage: nord5-cli COMMAND"},
      {{"decode", "--frob", "68"}, "nord5-cli decode: unknown option --frob"},
      {{"show", "a.meterConfig", "--frob"}, "usage: nord5-cli show FILE [--advanced]"},
      {{"show"}, "usage: nord5-cli show FILE [--advanced]"},
      {{"show", "a", "b"}, "usage: nord5-cli show FILE [--advanced]"},
      {{"--frob", "show", "a"}, "usage: nord5-cli show FILE [--advanced]"},
      {{"read-config", "--port", "/nonexistent", "--frob"}, "nord5-cli: unknown option \"--frob\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    const Result r = Run(c.args);
    EXPECT_EQ(r.status, kUsage);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace nord5
