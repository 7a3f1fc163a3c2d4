// Decoding speed over the recorded frames of tests/data/frames: every frame once per iteration;
// the counter "frames" is in frames per second.
//
// `bench_decode --passes=N [folder]` runs no benchmark: it decodes every frame of the folder
// (tests/data/frames/real by default) N times the way the engine does, for counting instructions
// under callgrind (bench/decode_instructions.sh).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "mbus/decoder.h"
#include "mbus/long_frame.h"

namespace {

using Frame = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

const fs::path kFramesRoot = fs::path(NORD5_SOURCE_DIR) / "tests/data/frames";

void LoadFolder(const fs::path& dir, std::vector<Frame>& frames) {
  if (!fs::is_directory(dir)) return;
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".hex") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  for (const auto& f : files) {
    std::ifstream in(f);
    std::stringstream s;
    s << in.rdbuf();
    if (auto bytes = nord5::ParseHexText(s.str())) frames.push_back(std::move(*bytes));
  }
}

std::vector<Frame> LoadCorpus() {
  std::vector<Frame> frames;
  for (const char* dir : {"real", "broken"}) LoadFolder(kFramesRoot / dir, frames);
  return frames;
}

const std::vector<Frame>& Corpus() {
  static const std::vector<Frame> frames = LoadCorpus();
  return frames;
}

// A consumer that looks at every entry, as the window's handler does.
bool CountEntries(std::int32_t, std::int32_t, const nord5::TFullRecord& dr,
                  std::int64_t& entries) {
  for (int i = 0; i < dr.Count; ++i)
    if (!dr.Rec[static_cast<std::size_t>(i)].Name.empty()) ++entries;
  return true;
}

void BM_DecodeCorpus(benchmark::State& state) {
  const auto& frames = Corpus();
  if (frames.empty()) {
    state.SkipWithError("no frames in tests/data/frames");
    return;
  }
  std::int64_t entries = 0;
  const nord5::DecodedDataHandler count = [&entries](std::int32_t id, std::int32_t a,
                                                     const nord5::TFullRecord& dr) {
    return CountEntries(id, a, dr, entries);
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

// The counted region of bench/decode_instructions.sh (callgrind --toggle-collect names it).
__attribute__((noinline)) std::int64_t DecodePasses(const std::vector<Frame>& frames, int passes) {
  std::int64_t entries = 0;
  const nord5::DecodedDataHandler count = [&entries](std::int32_t id, std::int32_t a,
                                                     const nord5::TFullRecord& dr) {
    return CountEntries(id, a, dr, entries);
  };
  for (int p = 0; p < passes; ++p)
    for (const Frame& f : frames) nord5::DecodeMBusData(f, nord5::RecordLimit(f), false, count);
  return entries;
}

int RunPasses(int passes, const fs::path& dir) {
  std::vector<Frame> frames;
  LoadFolder(dir, frames);
  if (frames.empty()) {
    std::fprintf(stderr, "no .hex frames in %s\n", dir.c_str());
    return 1;
  }
  const std::int64_t entries = DecodePasses(frames, passes);
  std::printf("frames %zu passes %d entries %lld\n", frames.size(), passes,
              static_cast<long long>(entries));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strncmp(argv[1], "--passes=", 9) == 0) {
    const int passes = std::atoi(argv[1] + 9);
    return RunPasses(passes > 0 ? passes : 1, argc >= 3 ? fs::path(argv[2]) : kFramesRoot / "real");
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
