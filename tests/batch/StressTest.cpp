// The Configuration file under stress: the MAC update is killed with SIGKILL at random moments
// while another program writes the same file, fifty times over.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <sstream>

#include "Aides.h"
#include "batch/Batch.h"
#include "common/config/IniFile.h"
#include "common/config/Machine.h"

namespace velmora::batch::test {
namespace {

constexpr int kMachines = 300;
constexpr int kTours = 50;
constexpr int kClesParTour = 5;
const char* const kAncienne = "00-00-00-00-00-00";
// Each run finds the other address than the run before, so that every run rewrites every line.
const char* const kNouvelles[2] = {"00-11-22-33-44-55", "00-11-22-33-44-66"};

std::string Adresse(int k) {
    return "127.0." + std::to_string(k / 250) + "." + std::to_string(k % 250 + 1);
}

int Attendre(pid_t pid) {
    int statut = 0;
    ::waitpid(pid, &statut, 0);
    return WIFEXITED(statut) ? WEXITSTATUS(statut) : -WTERMSIG(statut);
}

TEST(Stress, KilledMacUpdatesAndASecondWriterNeverLoseOrDamageALine) {
    DossierTemporaire dossier;
    std::string salle = "[salle]\nNbMachines=" + std::to_string(kMachines) + "\n";
    for (int k = 1; k <= kMachines; ++k)
        salle += "Machine" + std::to_string(k) + "=poste" + std::to_string(k) + "|" + Adresse(k) +
                 "|||" + kAncienne + "|admin|4142|commentaire " + std::to_string(k) + "\n";
    const std::string fichier = dossier.Ecrire("Velmora.ini", ConfigTest("TempoPing=300\n", salle));

    // The MAC update, slowed down so that the kill lands anywhere in it.
    auto miseAJour = [&fichier](int tour) {
        FauxReseau reseau;
        for (int k = 1; k <= kMachines; ++k) {
            reseau.repondent.insert(Adresse(k));
            reseau.macs[Adresse(k)] = kNouvelles[tour % 2];
        }
        reseau.avantRechercheMAC = [](int) { ::usleep(1000); };
        std::ostringstream sortie;
        return ExecuterBatch({fichier, "/u:salle"}, sortie, reseau);
    };

    std::mt19937 hasard(12345);
    for (int tour = 0; tour < kTours; ++tour) {
        const pid_t maj = ::fork();
        if (maj == 0) ::_exit(miseAJour(tour));
        const pid_t autre = ::fork();
        if (autre == 0) {
            bool ok = true;
            for (int j = 0; j < kClesParTour; ++j)
                ok &= EcrireIni(fichier, "autre",
                                "t" + std::to_string(tour) + "_" + std::to_string(j),
                                "valeur " + std::to_string(j));
            ::_exit(ok ? 0 : 1);
        }
        ::usleep(std::uniform_int_distribution<int>(0, 400000)(hasard));
        ::kill(maj, SIGKILL);
        EXPECT_EQ(Attendre(autre), 0) << "tour " << tour;
        const int fin = Attendre(maj);
        EXPECT_TRUE(fin == -SIGKILL || fin == 0) << "tour " << tour << ": " << fin;

        // The file is whole: settings, every machine with one of its two MAC addresses and its
        // other fields, and every key the other writer wrote so far.
        const IniDocument doc = LireDocumentIni(fichier);
        ASSERT_EQ(doc.Get("Config", "Langue"), "Français") << "tour " << tour;
        ASSERT_EQ(doc.Get("salle", "NbMachines"), std::to_string(kMachines)) << "tour " << tour;
        for (int k = 1; k <= kMachines; ++k) {
            const velmora::Machine m =
                LireLigneMachine(doc.Get("salle", "Machine" + std::to_string(k)).value_or(""));
            ASSERT_EQ(m.nom, "poste" + std::to_string(k)) << "tour " << tour;
            ASSERT_TRUE(m.adresseMAC == kAncienne || m.adresseMAC == kNouvelles[0] ||
                        m.adresseMAC == kNouvelles[1])
                << m.adresseMAC;
            ASSERT_EQ(m.commentaire, "commentaire " + std::to_string(k));
        }
        for (int t = 0; t <= tour; ++t)
            for (int j = 0; j < kClesParTour; ++j)
                ASSERT_EQ(doc.Get("autre", "t" + std::to_string(t) + "_" + std::to_string(j)),
                          "valeur " + std::to_string(j))
                    << "tour " << tour;
    }

    // A run that is left to finish changes every line; no temporary file is left behind.
    ASSERT_EQ(miseAJour(kTours), 0);
    const std::vector<velmora::Machine> machines = ChargerDossier(fichier, "salle");
    ASSERT_EQ(machines.size(), static_cast<size_t>(kMachines));
    for (const velmora::Machine& m : machines)
        EXPECT_EQ(m.adresseMAC, kNouvelles[kTours % 2]) << m.nom;
    for (const auto& e : std::filesystem::directory_iterator(dossier.Chemin()))
        EXPECT_TRUE(e.path().filename() == "Velmora.ini" || e.path().extension() == ".lock")
            << e.path();
}

TEST(Stress, SigtermWritesTheLinesFoundBeforeEndingTheUpdate) {
    DossierTemporaire dossier;
    std::string salle = "[salle]\nNbMachines=20\n";
    for (int k = 1; k <= 20; ++k)
        salle += "Machine" + std::to_string(k) + "=poste" + std::to_string(k) + "|" + Adresse(k) +
                 "|||" + kAncienne + "|||\n";
    const std::string fichier = dossier.Ecrire("Velmora.ini", ConfigTest("", salle));
    const pid_t pid = ::fork();
    if (pid == 0) {
        FauxReseau reseau;
        for (int k = 1; k <= 20; ++k) {
            reseau.repondent.insert(Adresse(k));
            reseau.macs[Adresse(k)] = kNouvelles[0];
        }
        reseau.avantRechercheMAC = [](int) { ::usleep(40000); };
        std::ostringstream sortie;
        ::_exit(ExecuterBatch({fichier, "/u:salle"}, sortie, reseau));
    }
    // Stopped well before the first grouped write would have been due.
    ::usleep(150000);
    ::kill(pid, SIGTERM);
    EXPECT_EQ(Attendre(pid), -SIGTERM);
    int changees = 0;
    for (const velmora::Machine& m : ChargerDossier(fichier, "salle"))
        changees += m.adresseMAC == kNouvelles[0];
    EXPECT_GE(changees, 2);
    EXPECT_LT(changees, 20);
}

}  // namespace
}  // namespace velmora::batch::test
