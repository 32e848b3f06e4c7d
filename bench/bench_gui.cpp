// Figures of the main window on the offscreen platform: start-up with a folder of 1,000
// machines, switching to and saving a folder of 10,000 machines, and the ping test of 254 rows
// of which 250 stay silent (fake network operations: nothing leaves the process).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "common/config/Machine.h"
#include "common/config/Programme.h"
#include "gui/main/frmVelmora.h"
#include "gui/widgets/Etat.h"
#include "tests/shared/FauxReseau.h"

using namespace velmora;
using namespace velmora::gui;

namespace {

constexpr int kTempoPingMs = 100;

// Answers at once for the first rows, waits TempoPing and stays silent for the others.
std::string Section(const std::string& nom, int nombre, const std::string& prefixe) {
    std::string texte = "[" + nom + "]\nNbMachines=" + std::to_string(nombre) + "\n";
    for (int i = 1; i <= nombre; ++i)
        texte += "Machine" + std::to_string(i) + "=pc" + std::to_string(i) + "|" + prefixe +
                 std::to_string(i / 250) + "." + std::to_string(i % 250 + 1) +
                 "|255.255.255.0|9|00:11:22:33:44:" + std::to_string(10 + i % 80) +
                 "|admin||poste " + std::to_string(i) + "\n";
    return texte;
}

struct Configuration {
    QTemporaryDir dossier;
    std::string fichier;
    explicit Configuration(const std::string& sections) {
        fichier = dossier.filePath("Velmora.ini").toStdString();
        std::ofstream(fichier) << "[Config]\nLangue=Français\nAstucesAfficherAuDémarrage=0\n"
                               << "TempoPing=" << kTempoPingMs << "\n"
                               << sections;
    }
};

void BM_DemarrageMilleMachines(benchmark::State& etat) {
    Configuration config(Section("Machines", 1000, "10.0."));
    for (auto _ : etat) {
        Etat() = EtatFenetre{};
        frmVelmora fenetre;
        fenetre.Form_Load(config.fichier);
        fenetre.show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(fenetre.lvwMachines()->topLevelItemCount());
        etat.PauseTiming();
        fenetre.hide();
        etat.ResumeTiming();
    }
}
BENCHMARK(BM_DemarrageMilleMachines)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_DossierDixMilleMachines(benchmark::State& etat) {
    Configuration config(Section("Petit", 3, "10.1.") + Section("Grand", 10000, "10.0."));
    Etat() = EtatFenetre{};
    frmVelmora fenetre;
    fenetre.Form_Load(config.fichier);
    fenetre.show();
    const bool sauvegarde = etat.range(0) == 1;
    if (sauvegarde) fenetre.tabOnglets()->setCurrentIndex(1);
    for (auto _ : etat) {
        if (sauvegarde) {
            benchmark::DoNotOptimize(fenetre.SauverDossier());
            continue;
        }
        etat.PauseTiming();
        fenetre.tabOnglets()->setCurrentIndex(0);
        QCoreApplication::processEvents();
        etat.ResumeTiming();
        fenetre.tabOnglets()->setCurrentIndex(1);
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(fenetre.lvwMachines()->topLevelItemCount());
    }
    if (!sauvegarde) return;
    etat.counters["lignes"] = fenetre.lvwMachines()->topLevelItemCount();
}
BENCHMARK(BM_DossierDixMilleMachines)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"sauvegarde"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// The shared fake answers one ping at a time; the real sweep waits TempoPing once for a whole
// list. This fake sweeps as the real one does: the answering rows at once, the silent ones
// together after one TempoPing, so the figure measures the window's work, not the fake's.
class SilenceConcurrent : public velmora::fakes::FauxReseau {
  public:
    void Balayer(const std::vector<std::string>& adresses,
                 const std::function<void(std::size_t, bool)>& surReponse,
                 const std::atomic<bool>& arret) override {
        std::vector<std::size_t> muets;
        for (std::size_t i = 0; i < adresses.size() && !arret; ++i) {
            if (repondent.count(adresses[i]))
                surReponse(i, true);
            else
                muets.push_back(i);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(attentePingMs));
        for (std::size_t i : muets) {
            if (arret) return;
            surReponse(i, false);
        }
    }
};

void BM_TestPing254SweepFaux(benchmark::State& etat) {
    Configuration config(Section("Reseau", 254, "10.9."));
    auto reseau = std::make_shared<SilenceConcurrent>();
    reseau->repondent = {"10.9.0.1", "10.9.0.2", "10.9.0.3", "10.9.0.4"};
    reseau->attentePingMs = kTempoPingMs;
    net::DefinirOperations(reseau);
    Etat() = EtatFenetre{};
    frmVelmora fenetre;
    fenetre.Form_Load(config.fichier);
    fenetre.show();
    for (auto _ : etat) {
        const auto debut = std::chrono::steady_clock::now();
        fenetre.btnTester_Click();
        const auto duree = std::chrono::steady_clock::now() - debut;
        etat.counters["xTempoPing"] =
            std::chrono::duration<double, std::milli>(duree).count() / kTempoPingMs;
    }
    net::DefinirOperations(nullptr);
}
BENCHMARK(BM_TestPing254SweepFaux)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
