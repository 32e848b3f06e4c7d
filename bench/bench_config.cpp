// Loading and saving a folder of 10,000 machines (one parse, one rewrite); the cost of one
// durable save (flushed to disk before and after the rename); the MAC update of the console
// program over 10,000 machines that all change (target: under 10 s).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "batch/Batch.h"

#include "common/config/IniFile.h"
#include "common/config/Machine.h"
#include "tests/shared/FauxReseau.h"

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

// One key written to a small file: re-read, rewrite, fsync of the file and of its folder. The
// file lies in /tmp, on the disk of the machine unless /tmp is a memory file system.
void SauverUneCle(benchmark::State& state) {
    const std::string chemin = CheminTemporaire("velmora_bench_cle");
    SauvegarderDossier(chemin, "Salle", Machines(20));
    long long i = 0;
    for (auto _ : state)
        if (!EcrireIni(chemin, "Config", "TempoPing", std::to_string(++i)))
            state.SkipWithError("write failed");
    std::filesystem::remove(chemin);
    std::filesystem::remove(chemin + ".lock");
}
BENCHMARK(SauverUneCle)->Unit(benchmark::kMillisecond);

void MiseAJourMAC10000(benchmark::State& state) {
    const std::string chemin = CheminTemporaire("velmora_bench_maj");
    EcrireIni(chemin, "Config", "Langue", "Français");
    SauvegarderDossier(chemin, "Salle", Machines(10000));
    // Every machine answers at once with a MAC address that differs from the stored one.
    fakes::FauxReseau reseau;
    reseau.tousRepondent = true;
    reseau.macParDefaut = "AA-BB-CC-DD-EE-01";
    for (auto _ : state) {
        // Each run finds other addresses than the run before: every line changes.
        reseau.macParDefaut =
            reseau.macParDefaut == "AA-BB-CC-DD-EE-01" ? "AA-BB-CC-DD-EE-02" : "AA-BB-CC-DD-EE-01";
        reseau.ViderAppels();
        std::ostringstream sortie;
        if (batch::ExecuterBatch({chemin, "/u:Salle"}, sortie, reseau) != 0)
            state.SkipWithError("update failed");
    }
    if (ChargerDossier(chemin, "Salle").back().adresseMAC != reseau.macParDefaut)
        state.SkipWithError("lines not written");
    std::filesystem::remove(chemin);
    std::filesystem::remove(chemin + ".lock");
}
BENCHMARK(MiseAJourMAC10000)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
