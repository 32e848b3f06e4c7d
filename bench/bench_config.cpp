// Loading and saving a folder of 10,000 machines (one parse, one rewrite).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "common/config/IniFile.h"
#include "common/config/Machine.h"

using namespace velmora;

namespace {

std::string CheminTemporaire(const char* nom) {
    return (std::filesystem::temp_directory_path() /
            (std::string(nom) + std::to_string(::getpid()) + ".ini"))
        .string();
}

std::vector<Machine> Machines(size_t n) {
    std::vector<Machine> out(n);
    for (size_t i = 0; i < n; ++i) {
        out[i].nom = "poste-" + std::to_string(i);
        out[i].adresse = "10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
        out[i].adresseMAC = "00-11-22-33-44-" + std::to_string(10 + i % 90);
        out[i].commentaire = "salle " + std::to_string(i % 40);
    }
    return out;
}

void ChargerDossier10000(benchmark::State& state) {
    const std::string chemin = CheminTemporaire("velmora_bench_load");
    SauvegarderDossier(chemin, "Salle", Machines(10000));
    for (auto _ : state) {
        // Touch the file so that every load really reads and parses it, as after a change.
        std::filesystem::last_write_time(chemin, std::filesystem::file_time_type::clock::now());
        auto machines = ChargerDossier(chemin, "Salle");
        if (machines.size() != 10000) state.SkipWithError("wrong count");
        benchmark::DoNotOptimize(machines);
    }
    std::filesystem::remove(chemin);
    std::filesystem::remove(chemin + ".lock");
}
BENCHMARK(ChargerDossier10000)->Unit(benchmark::kMillisecond);

void SauvegarderDossier10000(benchmark::State& state) {
    const std::string chemin = CheminTemporaire("velmora_bench_save");
    auto machines = Machines(10000);
    SauvegarderDossier(chemin, "Salle", machines);
    size_t i = 0;
    for (auto _ : state) {
        machines[i++ % machines.size()].commentaire += "x";  // a real change every time
        if (!SauvegarderDossier(chemin, "Salle", machines)) state.SkipWithError("write failed");
    }
    std::filesystem::remove(chemin);
    std::filesystem::remove(chemin + ".lock");
}
BENCHMARK(SauvegarderDossier10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
