// In-process cost of the start-up routine (a typical file and the English language file), and
// the cost of one tool run, so that the start-up figure of demarrage.bench.sh can be split into
// what the program does and what loading it costs.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "common/config/Programme.h"
#include "common/platform/Outil.h"
#include "common/platform/Systeme.h"
#include "common/startup/Initialiser.h"

namespace {

using namespace velmora;

class SystemeBanc : public platform::Systeme {
  public:
    explicit SystemeBanc(std::string racine) : m_racine(std::move(racine)) {}
    std::string DossierProgramme() const override { return m_racine; }
    std::string DossierPersonnel() const override { return m_racine; }
    std::string DossierCourant() const override { return m_racine; }
    std::string Variable(std::string_view) const override { return ""; }

  private:
    std::string m_racine;
};

// A temporary program folder with Velmora.ini (language English, 40 settings) and English.lng.
std::string PreparerDossier() {
    char modele[] = "/tmp/velmora-banc-XXXXXX";
    std::string racine = ::mkdtemp(modele);
    std::filesystem::copy_file(VELMORA_SOURCE_DIR "/lang/English.lng", racine + "/English.lng");
    std::ofstream ini(racine + "/Velmora.ini");
    ini << "[Config]\nLangue=English\nTempoPing=300\nProxyType=2\n";
    for (int i = 0; i < 36; ++i) ini << "Cle" << i << "=valeur " << i << "\n";
    ini << "[Machines]\nNbMachines=2\nMachine1=pc1|127.0.0.1\nMachine2=pc2|127.0.0.2\n";
    return racine;
}

void BM_InitialiserBatch(benchmark::State& etat) {
    std::string racine = PreparerDossier();
    SystemeBanc systeme(racine);
    platform::RemplacerSysteme(&systeme);
    EnvironnementDemarrage env;
    env.programmeInstalle = false;
    env.langueSysteme = [] { return 9; };
    for (auto _ : etat) {
        Prog().ligneCommande = "/w:pc1";
        std::string message;
        int statut = Initialiser(ModeDemarrage::BATCH, message, env);
        if (statut != -1) etat.SkipWithError(("status " + std::to_string(statut)).c_str());
        benchmark::DoNotOptimize(statut);
    }
    platform::RemplacerSysteme(nullptr);
    std::filesystem::remove_all(racine);
}
BENCHMARK(BM_InitialiserBatch)->Unit(benchmark::kMillisecond);

void BM_ExecuterOutilTrue(benchmark::State& etat) {
    for (auto _ : etat) {
        std::vector<std::string> lignes;
        benchmark::DoNotOptimize(platform::ExecuterOutil("/bin/true", &lignes));
    }
}
BENCHMARK(BM_ExecuterOutilTrue)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
