// The start-up routine on temporary folders: file location (beside the program or in the
// user's configuration folder, with the move of an older file), statuses, language choice, the
// first key table and the migration of the machine count.
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/config/Config.h"
#include "common/config/IniFile.h"
#include "common/config/Machine.h"
#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "common/platform/Chemins.h"
#include "common/startup/Initialiser.h"
#include "test_chemins_systeme.h"
#include "test_net_espaces.h"

namespace velmora {
namespace {

constexpr const char* kFrancais =
    "Fran\xC3\xA7"
    "ais";

class Initialisation : public test::AvecSystemeFaux {
  protected:
    void SetUp() override {
        AvecSystemeFaux::SetUp();
        m_env.methodePingDisponible = [this] { return m_ping; };
        m_env.langueSysteme = [this] { return m_langue; };
        m_env.programmeInstalle = false;
        m_env.dossiersLangues = {m_racine + "/prog/"};
        Prog().ligneCommande.clear();
    }
    int Demarrer(ModeDemarrage mode, const std::string& ligne = "") {
        Prog().ligneCommande = ligne;
        m_message = "?";
        return Initialiser(mode, m_message, m_env);
    }
    std::string Beside() const { return m_racine + "/prog/Velmora.ini"; }
    std::string Installed() const {
        return m_racine + "/home/.config/Quirlane/Velmora/Velmora.ini";
    }

    EnvironnementDemarrage m_env;
    bool m_ping = true;
    int m_langue = 12;
    std::string m_message;
};

TEST_F(Initialisation, StatusesByModeOptionsAndFile) {
    EXPECT_EQ(Demarrer(ModeDemarrage::GUI), -1);
    EXPECT_EQ(Prog().fichierConfig, Beside());
    EXPECT_EQ(Prog().dossierConfig, m_racine + "/prog/");
    EXPECT_TRUE(Prog().configNouvelle);
    EXPECT_FALSE(FichierExiste(Beside())) << "a start without a file writes nothing";
    EXPECT_EQ(Prog().reglages.delaiEntreDeuxReveilsWOL, 1);

    EXPECT_EQ(Demarrer(ModeDemarrage::BATCH, "/w:pc1"), 1);
    EXPECT_EQ(Demarrer(ModeDemarrage::GUI, "/w:pc1"), 0);
    EXPECT_EQ(Prog().options, "/w:pc1");

    Ecrire(Beside(),
           "[Config]\nLangue=Fran\xC3\xA7"
           "ais\n");
    EXPECT_EQ(Demarrer(ModeDemarrage::BATCH, "/w:pc1"), -1);
    EXPECT_EQ(Demarrer(ModeDemarrage::BATCH), 0);
    EXPECT_FALSE(Prog().configNouvelle);
    EXPECT_EQ(Prog().langue, kFrancais);
    EXPECT_EQ(Prog().fichierLangue, "");
}

TEST_F(Initialisation, NamedFilesResolve) {
    Ecrire(m_racine + "/home/ma maison.ini", "[Config]\nTempoPing=700\n");
    EXPECT_EQ(Demarrer(ModeDemarrage::BATCH, "\"~/ma maison.ini\" /S:pc1"), -1);
    EXPECT_EQ(Prog().fichierConfig, m_racine + "/home/ma maison.ini");
    EXPECT_EQ(Prog().dossierConfig, m_racine + "/home/");
    EXPECT_EQ(Prog().reglages.tempoPing, 700);
    EXPECT_EQ(Prog().options, "/S:pc1");

    EXPECT_EQ(Demarrer(ModeDemarrage::BATCH, "maison.ini /S:pc1"), 1);
    EXPECT_EQ(Prog().fichierConfig, m_racine + "/prog/maison.ini");

    std::string absolu = m_racine + "/cwd/v.ini";
    EXPECT_EQ(Demarrer(ModeDemarrage::GUI, absolu), -1);
    EXPECT_EQ(Prog().fichierConfig, absolu);
}

TEST_F(Initialisation, InstalledProgramMovesItsOlderFile) {
    m_env.programmeInstalle = true;
    // An older file beside the program, with its language set and the delay in seconds.
    const std::string ancien =
        "[Config]\nLangue=Fran\xC3\xA7"
        "ais\nPortParD\xC3\xA9"
        "faut=7\nD\xC3\xA9lai"
        "EntreDeuxR\xC3\xA9veils=2\nProxyType=5\n[Machines]\nNbMachines=1\nMachine1=pc|1.2.3.4\n";
    Ecrire(Beside(), ancien);
    ASSERT_EQ(Demarrer(ModeDemarrage::BATCH, "/w:pc"), -1) << m_message;
    EXPECT_EQ(Prog().fichierConfig, Installed());
    EXPECT_EQ(Lire(Installed()), ancien);
    EXPECT_FALSE(FichierExiste(Beside()));
    // The moved file's settings count: it is not taken for a new configuration.
    EXPECT_FALSE(Prog().configNouvelle);
    EXPECT_EQ(Prog().reglages.delaiEntreDeuxReveilsWOL, 2000);
    EXPECT_EQ(Prog().reglages.delaiEntreDeuxReveilsWOW, 2000);
    EXPECT_EQ(Prog().reglages.portParDefautWOL, 7);
    EXPECT_EQ(Prog().reglages.portParDefautWOW, 7);
    EXPECT_EQ(Prog().reglages.proxyType, 1);

    // A later start with a file already in place leaves a newer file beside the program alone.
    Ecrire(Beside(), "[Config]\nTempoPing=1\n");
    ASSERT_EQ(Demarrer(ModeDemarrage::GUI), -1);
    EXPECT_EQ(Lire(Installed()), ancien);
    EXPECT_TRUE(FichierExiste(Beside()));
}

TEST_F(Initialisation, InstalledProgramCreatesItsFolderUnderXdg) {
    m_env.programmeInstalle = true;
    m_systeme.variables["XDG_CONFIG_HOME"] = m_racine + "/xdg";
    ASSERT_EQ(Demarrer(ModeDemarrage::GUI), -1);
    EXPECT_EQ(Prog().dossierConfig, m_racine + "/xdg/Quirlane/Velmora/");
    EXPECT_TRUE(FichierExiste(m_racine + "/xdg/Quirlane/Velmora", kAttributDossier));
    EXPECT_TRUE(Prog().configNouvelle);

    // A configuration folder that cannot be made is a start-up error with its reason.
    Ecrire(m_racine + "/fichier", "");
    m_systeme.variables["XDG_CONFIG_HOME"] = m_racine + "/fichier";
    EXPECT_EQ(Demarrer(ModeDemarrage::GUI), 2);
    EXPECT_NE(m_message.find("Not a directory"), std::string::npos) << m_message;
    EXPECT_NE(m_message.find("(20)"), std::string::npos) << m_message;
}

TEST_F(Initialisation, LanguageFromTheSystemAndTheLanguageFiles) {
    Ecrire(m_racine + "/prog/Allemand.lng", "[Traduction]\nCodeLangue=7\n");
    Ecrire(m_racine + "/prog/Sans code.lng", "[Traduction]\nMSG_SUCCES=x\n");
    Ecrire(m_racine + "/prog/Anglais.lng", "[Traduction]\nCodeLangue=9\nTXT_ACTION=Action :\n");
    m_langue = 9;
    ASSERT_EQ(Demarrer(ModeDemarrage::GUI), -1);
    EXPECT_EQ(Prog().langue, "Anglais");
    EXPECT_EQ(Prog().fichierLangue, m_racine + "/prog/Anglais.lng");

    m_langue = 16;  // no file for it
    ASSERT_EQ(Demarrer(ModeDemarrage::GUI), -1);
    EXPECT_EQ(Prog().langue, kFrancais);
    m_langue = 0;  // unknown system language: never the file that lacks a code
    ASSERT_EQ(Demarrer(ModeDemarrage::GUI), -1);
    EXPECT_EQ(Prog().langue, kFrancais);

    Ecrire(Beside(), "[Config]\nLangue=Allemand\n");
    ASSERT_EQ(Demarrer(ModeDemarrage::GUI), -1);
    EXPECT_EQ(Prog().fichierLangue, m_racine + "/prog/Allemand.lng");
    Ecrire(Beside(), "[Config]\nLangue=../../etc/passwd\n");
    ASSERT_EQ(Demarrer(ModeDemarrage::GUI), -1);
    EXPECT_EQ(Prog().fichierLangue, "");
    EXPECT_EQ(Prog().langueIntrouvable, "../../etc/passwd");
}

TEST_F(Initialisation, LanguageFileNamesIgnoreCaseAndAMissingOneIsReported) {
    Ecrire(m_racine + "/prog/Anglais.LNG", "[Traduction]\nCodeLangue=9\nTXT_ACTION=Action:\n");
    m_langue = 9;  // found by the system language although its extension is upper-case
    Ecrire(Beside(), "[Config]\nTempoPing=300\n");
    ASSERT_EQ(Demarrer(ModeDemarrage::BATCH, "/w:pc"), -1);
    EXPECT_EQ(Prog().fichierLangue, m_racine + "/prog/Anglais.LNG");
    EXPECT_EQ(i18n::Tr("TXT_ACTION"), "Action:");
    EXPECT_EQ(Prog().langueIntrouvable, "");
    Ecrire(Beside(), "[Config]\nLangue=anglais\n");
    ASSERT_EQ(Demarrer(ModeDemarrage::BATCH, "/w:pc"), -1);
    EXPECT_EQ(Prog().fichierLangue, m_racine + "/prog/Anglais.LNG");
    // A named file that does not exist: French texts, and the name is kept to tell the user.
    Ecrire(Beside(), "[Config]\nLangue=Klingon\n");
    ASSERT_EQ(Demarrer(ModeDemarrage::BATCH, "/w:pc"), -1);
    EXPECT_EQ(Prog().langueIntrouvable, "Klingon");
    EXPECT_EQ(i18n::Tr("TXT_ACTION"), "Action :");
    EXPECT_NE(MessageLangueIntrouvable().find("Klingon.lng"), std::string::npos);
}

TEST_F(Initialisation, NoPingMethodIsTheOnlyToolError) {
    m_ping = false;
    Ecrire(Beside(),
           "[Config]\nLangue=Fran\xC3\xA7"
           "ais\n");
    EXPECT_EQ(Demarrer(ModeDemarrage::BATCH, "/w:pc"), 2);
    EXPECT_EQ(m_message, i18n::Tr("MSG_ERREUR_OUTILS_RESEAU_ABSENTS"));
    // It names what is missing here (the ping tool and its package), not tools never looked for.
    EXPECT_NE(m_message.find("PING"), std::string::npos);
    EXPECT_NE(m_message.find("iputils-ping"), std::string::npos) << m_message;
    EXPECT_EQ(m_message.find("NBTSTAT"), std::string::npos) << m_message;
}

TEST_F(Initialisation, NewFileKeepsTheOlderDelayAsIs) {
    Ecrire(Beside(), "[Config]\nD\xC3\xA9laiEntreDeuxR\xC3\xA9veils=1\nTempoPing=abc\n");
    ASSERT_EQ(Demarrer(ModeDemarrage::GUI), -1);
    EXPECT_TRUE(Prog().configNouvelle);
    EXPECT_EQ(Prog().reglages.delaiEntreDeuxReveilsWOL, 1);
    EXPECT_EQ(Prog().reglages.tempoPing, 300);
}

TEST_F(Initialisation, MachineCountMovesOutOfConfigOnce) {
    Ecrire(Beside(),
           "[Config]\nNbMachines=3\nFen\xC3\xAAtreM\xC3\xA9moriserConfigColonnes=100;200;\n");
    ASSERT_EQ(Demarrer(ModeDemarrage::GUI), -1);
    EXPECT_EQ(LireIni(Beside(), "Machines", cle::NbMachines, "?"), "3");
    EXPECT_EQ(LireIni(Beside(), cle::Config, cle::NbMachines, "absent"), "absent");
    EXPECT_EQ(LireIni(Beside(), cle::Config, cle::FenetreColonnes, ""), "100;200;350;");
    ASSERT_EQ(Demarrer(ModeDemarrage::GUI), -1);
    EXPECT_EQ(LireIni(Beside(), cle::Config, cle::FenetreColonnes, ""), "100;200;350;");

    // A stale count left in "Config" beside the folder's own: the folder keeps its machines.
    std::string machines = "[Machines]\nNbMachines=5\n";
    for (int k = 1; k <= 5; ++k)
        machines += "Machine" + std::to_string(k) + "=pc" + std::to_string(k) + "|1.2.3." +
                    std::to_string(k) + "\n";
    Ecrire(Beside(),
           "[Config]\nNbMachines=2\nFen\xC3\xAAtreM\xC3\xA9moriserConfigColonnes=1;\n" + machines);
    for (ModeDemarrage mode : {ModeDemarrage::BATCH, ModeDemarrage::GUI}) {
        Demarrer(mode, mode == ModeDemarrage::BATCH ? "/w:pc1" : "");
        EXPECT_EQ(LireIni(Beside(), "Machines", cle::NbMachines, "?"), "5");
        EXPECT_EQ(LireIni(Beside(), cle::Config, cle::NbMachines, "absent"), "absent");
        EXPECT_EQ(LireIni(Beside(), cle::Config, cle::FenetreColonnes, ""), "1;");
        EXPECT_EQ(ChargerDossier(Beside(), "Machines").size(), 5u);
    }
}

TEST_F(Initialisation, FailedMigrationWriteDoesNotStopTheStart) {
    const std::string contenu = "[Config]\nNbMachines=2\n";
    Ecrire(Beside(), contenu);
    // A folder where the lock file should be: no write can happen, even as root.
    std::filesystem::create_directory(Beside() + ".lock");
    EXPECT_EQ(Demarrer(ModeDemarrage::GUI), -1) << m_message;
    EXPECT_EQ(Lire(Beside()), contenu);
}

TEST_F(Initialisation, StartsInANetworkWithoutRoutes) {
    // A child process in a fresh network namespace: loopback down, no default route. The real
    // ping-method check runs there.
    Ecrire(Beside(),
           "[Config]\nLangue=Fran\xC3\xA7"
           "ais\n");
    m_env.methodePingDisponible = nullptr;
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::unshare(CLONE_NEWNET) != 0) ::_exit(100);
        ::_exit(Demarrer(ModeDemarrage::BATCH, "/w:pc") + 10);
    }
    int statut = 0;
    ASSERT_EQ(::waitpid(pid, &statut, 0), pid);
    ASSERT_TRUE(WIFEXITED(statut));
    if (WEXITSTATUS(statut) == 100)
        VELMORA_PAIR_INDISPONIBLE("no right to create a network namespace (needs root)");
    EXPECT_EQ(WEXITSTATUS(statut), 10 - 1);
}

}  // namespace
}  // namespace velmora
