// The platform-table lookup's cost against "TOTAL_NUM" and against the size
// of the table file, through the in-memory stand-in for the profile reads.
// Every lookup misses, so it reads every entry the table has.
#include <benchmark/benchmark.h>

#include <string>

#include "install/platform_table.h"
#include "tests/fake_platform.h"

namespace {

constexpr wchar_t kTablePath[] = L"C:\\Kit\\KORVPlatformTable.ini";

void SetTable(int64_t count, int64_t entries) {
  ResetFake();
  std::string table = "[Version]\r\nVer=Morlane_V4.0.0.4\r\n[DMI_Type0_Table]\r\nTOTAL_NUM=" +
                      std::to_string(count) + "\r\n";
  for (int64_t i = 1; i <= entries; ++i) {
    table += std::to_string(i) + "=PLATFORM" + std::to_string(i) + "\r\n";
  }
  SetProfileFile(kTablePath, table);
}

void Lookup(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(FindInPlatformTable(L"UNLISTED", 0));
  state.counters["profile_reads_per_lookup"] =
      static_cast<double>(Fake().profileReads) / static_cast<double>(state.iterations());
}

// Ten entries whatever the count.
void BM_LookupByCount(benchmark::State& state) {
  SetTable(state.range(0), 10);
  Lookup(state);
}
BENCHMARK(BM_LookupByCount)->Arg(1)->Arg(1000)->Arg(1000000)->Arg(2147483647);

// As many entries as the count.
void BM_LookupByFileSize(benchmark::State& state) {
  SetTable(state.range(0), state.range(0));
  Lookup(state);
}
BENCHMARK(BM_LookupByFileSize)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Arg(100000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
