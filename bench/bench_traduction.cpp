// Loading the Translation table: with the shipped English file the whole load must stay under
// 5 ms. The per-key way (one read of the language file for every key) is measured beside it.
#include <benchmark/benchmark.h>

#include <string>

#include "common/i18n/Traduction.h"

using namespace velmora::i18n;

namespace {

const std::string kAnglais = std::string(VELMORA_SOURCE_DIR) + "/lang/English.lng";

void BM_ChargerTraductions_Anglais_Fenetre(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(ChargerTraductions(ListeTextes::Fenetre, kAnglais));
    }
    state.counters["cles"] = static_cast<double>(Traductions().Count());
}
BENCHMARK(BM_ChargerTraductions_Anglais_Fenetre)->Unit(benchmark::kMillisecond);

void BM_ChargerTraductions_Anglais_Console(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(ChargerTraductions(ListeTextes::Console, kAnglais));
    }
    state.counters["cles"] = static_cast<double>(Traductions().Count());
}
BENCHMARK(BM_ChargerTraductions_Anglais_Console)->Unit(benchmark::kMillisecond);

void BM_ChargerTraductions_Francais(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(ChargerTraductions(ListeTextes::Fenetre, ""));
    }
}
BENCHMARK(BM_ChargerTraductions_Francais)->Unit(benchmark::kMillisecond);

// For comparison: the file read and parsed again for every key.
void BM_LectureParCle_Anglais_Fenetre(benchmark::State& state) {
    for (auto _ : state) {
        Traductions().Clear();
        for (const auto& [cle, defaut] : TextesIntegres(ListeTextes::Fenetre)) {
            AjouterTraduction(kAnglais, cle, defaut);
        }
    }
}
BENCHMARK(BM_LectureParCle_Anglais_Fenetre)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
