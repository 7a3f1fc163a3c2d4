// Decoding speed over the recorded frames of tests/data/frames: every frame once per iteration;
// the counter "frames" is in frames per second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "mbus/decoder.h"
#include "mbus/long_frame.h"

namespace {

using Frame = std::vector<std::uint8_t>;

std::vector<Frame> LoadCorpus() {
  namespace fs = std::filesystem;
  const fs::path root = fs::path(__FILE__).parent_path().parent_path() / "tests/data/frames";
  std::vector<Frame> frames;
  for (const char* dir : {"real", "broken"}) {
    if (!fs::is_directory(root / dir)) continue;
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(root / dir))
      if (e.path().extension() == ".hex") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
      std::ifstream in(f);
      std::stringstream s;
      s << in.rdbuf();
      if (auto bytes = nord5::ParseHexText(s.str())) frames.push_back(std::move(*bytes));
    }
  }
  return frames;
}

const std::vector<Frame>& Corpus() {
  static const std::vector<Frame> frames = LoadCorpus();
  return frames;
}

void BM_DecodeCorpus(benchmark::State& state) {
  const auto& frames = Corpus();
  if (frames.empty()) {
    state.SkipWithError("no frames in tests/data/frames");
    return;
  }
  std::int64_t entries = 0;
  const nord5::DecodedDataHandler count = [&entries](std::int32_t, std::int32_t,
                                                     const nord5::TFullRecord& dr) {
    entries += dr.Count;
    return true;
  };
  for (auto _ : state) {
    for (const Frame& f : frames) {
      const bool r = nord5::DecodeMBusData(f, nord5::RecordLimit(f), false, count);
      benchmark::DoNotOptimize(r);
    }
  }
  state.counters["frames"] = benchmark::Counter(
      static_cast<double>(state.iterations() * frames.size()), benchmark::Counter::kIsRate);
  state.counters["entries/frame"] =
      static_cast<double>(entries) / static_cast<double>(state.iterations() * frames.size());
}
BENCHMARK(BM_DecodeCorpus);

// The decoding alone, without the list copy and the handler.
void BM_DecodeRecordsCorpus(benchmark::State& state) {
  const auto& frames = Corpus();
  auto records = std::make_unique<nord5::tMBUS_RecArray>();
  for (auto _ : state) {
    for (const Frame& f : frames) {
      std::int32_t id = 0;
      std::int32_t a = 0;
      benchmark::DoNotOptimize(
          nord5::DecodeMBusRecords(f, nord5::RecordLimit(f), *records, id, a));
    }
  }
  state.counters["frames"] = benchmark::Counter(
      static_cast<double>(state.iterations() * frames.size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeRecordsCorpus);

}  // namespace
