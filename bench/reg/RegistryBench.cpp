// What one registry call costs: every call goes to the hive file and every write
// is committed, so a settings save of some sixty values pays this sixty times.
#include "platform/registry/Registry.h"
#include "platform/testing/TempRoot.h"

#include <benchmark/benchmark.h>

namespace {

void BM_SetDword(benchmark::State& state) {
    plat::testing::TempRoot root;
    plat::RegKey key;
    plat::Registry::create(plat::Hive::CurrentUser, "Software\\VOREL\\Lumora\\Settings\\Transfer", &key);
    uint32_t v = 0;
    for (auto _ : state) benchmark::DoNotOptimize(key.setDword("Thumbnail", ++v));
}
BENCHMARK(BM_SetDword);

void BM_QueryString(benchmark::State& state) {
    plat::testing::TempRoot root;
    plat::RegKey key;
    plat::Registry::create(plat::Hive::CurrentUser, "Software\\VOREL\\Lumora\\Settings\\Transfer", &key);
    key.setString("TransferFile", "/home/me/Pictures", plat::RegType::MultiString);
    char buf[260];
    for (auto _ : state) benchmark::DoNotOptimize(key.queryString("TransferFile", buf, sizeof buf));
}
BENCHMARK(BM_QueryString);

void BM_OpenKey(benchmark::State& state) {
    plat::testing::TempRoot root;
    plat::RegKey key;
    plat::Registry::create(plat::Hive::LocalMachine, "SOFTWARE\\Vorel\\Lumora", &key);
    for (auto _ : state) {
        plat::RegKey k;
        benchmark::DoNotOptimize(plat::Registry::open(plat::Hive::LocalMachine, "SOFTWARE\\Vorel\\Lumora", &k));
    }
}
BENCHMARK(BM_OpenKey);

}  // namespace

BENCHMARK_MAIN();
