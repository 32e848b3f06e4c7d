// Windowed-program figures: a scanner export of 10,000 lines imported into an empty machine list
// (read, split, rows created), and the opening of the configuration dialog.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTreeWidget>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "common/i18n/Traduction.h"
#include "gui/dialogs/frmConfiguration.h"
#include "gui/import/ImportFenetre.h"
#include "gui/import/ImportTrellide.h"
#include "gui/import/frmImportFichierText.h"
#include "gui/list/ListeMachines.h"
#include "gui/widgets/Etat.h"

using namespace velmora::gui;

namespace {

std::string FichierScanner() {
    static const std::string chemin = [] {
        const std::string p = QDir::tempPath().toStdString() + "/velmora_bench_scanner.txt";
        std::ofstream f(p, std::ios::binary);
        for (int i = 0; i < 10000; ++i) {
            char mac[32];
            std::snprintf(mac, sizeof mac, "00-1A-2B-%02X-%02X-%02X", i >> 16 & 255, i >> 8 & 255,
                          i & 255);
            f << "10." << (i >> 16 & 255) << '.' << (i >> 8 & 255) << '.' << (i & 255) << "\tpc"
              << i << "\t0 ms\tposte " << i << "\tWORKGROUP\t" << mac << "\tx\tx\tx\tx\t\r\n";
        }
        return p;
    }();
    return chemin;
}

void BM_ImportScanner10000LignesDossierVide(benchmark::State& state) {
    const std::string chemin = FichierScanner();
    for (auto _ : state) {
        state.PauseTiming();
        auto liste = std::make_unique<QTreeWidget>();
        liste->setColumnCount(NombreColonnes);
        state.ResumeTiming();
        std::string erreur;
        const auto lignes = LireLignesFichier(chemin, erreur);
        CibleArbreMachines cible(liste.get());
        ImporterTrellide(*lignes, cible, QuestionsImport{});
        state.PauseTiming();  // freeing the rows is not part of the import
        if (liste->topLevelItemCount() != 10000) state.SkipWithError("rows missing");
        liste.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ImportScanner10000LignesDossierVide)->Unit(benchmark::kMillisecond);

// The text import dialog on the same 10,000 lines: load, split at tabs, preview filled.
void BM_ImportTexte10000LignesApercu(benchmark::State& state) {
    std::string erreur;
    const auto lignes = LireLignesFichier(FichierScanner(), erreur);
    struct SansCible : CibleImport {
        int Trouver(const std::string&) const override { return -1; }
        void Ajouter(const MachineImportee&) override {}
        void Remplacer(int, const MachineImportee&) override {}
    } cible;
    for (auto _ : state) {
        frmImportFichierText dialogue(*lignes, cible);
        if (dialogue.lvwImport()->topLevelItemCount() != 10000) state.SkipWithError("rows");
        state.PauseTiming();  // freeing the preview is not part of the opening
        dialogue.lvwImport()->clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ImportTexte10000LignesApercu)->Unit(benchmark::kMillisecond);

void BM_OuvertureConfiguration(benchmark::State& state) {
    const std::vector<std::string> dossiers = {"Bureau", "Salle 1", "Salle 2", "Serveurs", "+"};
    for (auto _ : state) {
        frmConfiguration dialogue(dossiers);
        dialogue.show();
        QCoreApplication::processEvents();
        state.PauseTiming();
        dialogue.hide();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OuvertureConfiguration)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    velmora::i18n::ChargerTraductions(velmora::i18n::ListeTextes::Fenetre, "");
    Etat().reglages.commandes = {{"Bureau à distance", -1, "xfreerdp /v:%ip%"},
                                 {"Explorer", 60, "xdg-open smb://%ip%/"}};
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
