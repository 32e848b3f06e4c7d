// The console program run in-process on a temporary Configuration file with a fake network:
// the console lines, the exit code and the operations asked of the network.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <sstream>

#include "Aides.h"
#include "batch/Batch.h"
#include "common/config/IniFile.h"
#include "common/config/Machine.h"
#include "common/text/Commun.h"

namespace velmora::batch::test {
namespace {

using Lignes_t = std::vector<std::string>;

class Execution : public ::testing::Test {
  protected:
    // Writes the Configuration file of the test.
    void Config(const std::string& lignesConfig, const std::string& dossiers) {
        m_fichier = m_dossier.Ecrire("test.ini", ConfigTest(lignesConfig, dossiers));
    }
    // Runs "VelmoraBatch <file> <options...>"; the output is kept in m_sortie.
    int Lancer(const std::vector<std::string>& options) {
        std::vector<std::string> arguments{m_fichier};
        arguments.insert(arguments.end(), options.begin(), options.end());
        std::ostringstream sortie;
        int code = ExecuterBatch(arguments, sortie, m_reseau);
        m_sortie = sortie.str();
        return code;
    }
    Lignes_t Sortie() const { return Lignes(m_sortie); }
    std::string Machine(const std::string& dossier, int k) const {
        return LireIni(m_fichier, dossier, "Machine" + std::to_string(k), "<absente>");
    }

    DossierTemporaire m_dossier;
    std::string m_fichier;
    FauxReseau m_reseau;
    std::string m_sortie;
};

const std::string kDeuxPostes =
    "[bureau]\nNbMachines=2\n"
    "Machine1=pc1|127.0.0.5|||00-11-22-33-44-55|admin|" +
    CoderMotDePasse("s3cret!").value() +
    "|poste 1\n"
    "Machine2=pc2|127.0.0.6|||00-11-22-33-44-66|||\n";

TEST_F(Execution, RemotePowerActionsGetTheirValuesAndCredentials) {
    Config("DélaiAvantRedémarrageExtinctionParDéfaut=45\nMessageParDéfaut=Bonne nuit\n",
           kDeuxPostes);
    m_reseau.repondent = {"127.0.0.5", "127.0.0.6"};
    EXPECT_EQ(Lancer({"/S:pc1"}), 0);
    EXPECT_EQ(Sortie(), (Lignes_t{"Action : Eteindre", " - pc1 : Demande envoyée à 127.0.0.5",
                                  "   -> traitement OK", "", "Traitement terminé.", "", ""}));
    // The defaults of the file, the machine's login and its decoded password.
    EXPECT_EQ(m_reseau.Appels(),
              (Lignes_t{"ping 127.0.0.5", "arreter 127.0.0.5 45 [Bonne nuit] - admin:s3cret!"}));
    // Options replace the defaults; "§" becomes CR LF in the message sent.
    EXPECT_EQ(Lancer({"/R:pc2", "/t:0", "/f:on", "/m:Arret le 12/05§18h"}), 0);
    EXPECT_EQ(m_reseau.Appels().back(), "redemarrer 127.0.0.6 0 [Arret le 12/05\r\n18h] force :");
    // WMI actions by their letter (case matters for r and s).
    const std::pair<std::string, std::string> wmi[] = {{"/L:pc1", "wmi 5 "}, {"/C:pc1", "wmi 6 "},
                                                       {"/h:pc1", "wmi 7 "}, {"/r:pc1", "wmi 8 "},
                                                       {"/P:pc1", "wmi 9 "}, {"/s:pc1", "wmi 10 "}};
    for (const auto& [option, appel] : wmi) {
        EXPECT_EQ(Lancer({option}), 0);
        EXPECT_EQ(m_reseau.Appels().back(), appel + "127.0.0.5 admin:s3cret!") << option;
    }
    // A refusal of the only machine ends with 4 and the reason.
    m_reseau.refus["127.0.0.5"] = "Accès refusé (err=5)";
    EXPECT_EQ(Lancer({"/A:pc1"}), 4);
    EXPECT_EQ(Sortie()[2], "   -> la machine distante a rejeté la demande : Accès refusé (err=5)");

    // An unexpected error ends with 1 and its text, also under /d.
    m_reseau.panne = "panne de socket";
    EXPECT_EQ(Lancer({"/d", "/S:pc1"}), 1);
    EXPECT_EQ(Sortie(), (Lignes_t{"Une erreur (5) est survenue durant le traitement :", "",
                                  "\tpanne de socket", "",
                                  "Veuillez contacter l'auteur du logiciel si le problème "
                                  "persiste...",
                                  ""}));
}

TEST_F(Execution, WakesWithPauseBetweenMachinesAndOlderLayouts) {
    Config("DélaiEntreDeuxRéveilsWOL=1000\nPortParDéfautWOL=40009\n",
           "[bureau]\nNbMachines=3\n"
           "Machine1=pc1|salle 12|192.168.1.10|00-11-22-33-44-55\n"  // name, comment, address, MAC
           "Machine2=pc2|192.168.001.011|255.255.0.0|7|00:11:22:33:44:66|||\n"
           "Machine3=serveur|10.0.0.1|||00-11-22-33-44-77|||\n");
    EXPECT_EQ(Lancer({"/w:bureau!pc*"}), 0);
    EXPECT_EQ(Sortie(),
              (Lignes_t{"Action : Réveiller (WOL)", "Sélection multiple : bureau!pc*",
                        " - pc1 : Demande envoyée à 192.168.1.10",
                        "   -> Paquet envoyé à 192.168.1.10 (port 40009)", " - Attente de 1000 ms",
                        " - pc2 : Demande envoyée à 192.168.1.11",
                        "   -> Paquet envoyé à 192.168.1.11 (port 7)", "", "Traitement terminé.",
                        "", ""}));
    EXPECT_EQ(m_reseau.Appels(),
              (Lignes_t{"paquet 192.168.1.10 255.255.255.0 40009 00-11-22-33-44-55",
                        "paquet 192.168.1.11 255.255.0.0 7 00:11:22:33:44:66"}));
    EXPECT_EQ(m_reseau.Pauses(), (std::vector<long long>{1000}));

    // A failed send is reported and the run still ends with 0.
    m_reseau.erreurPaquet = "Network is unreachable";
    EXPECT_EQ(Lancer({"/W:serveur"}), 0);
    EXPECT_EQ(Sortie()[2], "   -> Erreur rencontrée : Network is unreachable");
}

TEST_F(Execution, DirectDesignationsAndTheirErrors) {
    Config("", kDeuxPostes);
    EXPECT_EQ(Lancer({"/w:127.0.0.1, 00-11-22-33-44-55, 40009, 255.255.255.255"}), 0);
    EXPECT_EQ(m_reseau.Appels().back(), "paquet 127.0.0.1 255.255.255.255 40009 00-11-22-33-44-55");
    EXPECT_EQ(Sortie()[1], " - 127.0.0.1 : Demande envoyée à 127.0.0.1");

    const std::pair<std::string, std::string> erreurs[] = {
        {"/w:192.168.1.10", "Le nombre de paramètres pour cette action est incorrect..."},
        {"/R:pc1,pc2", "Le nombre de paramètres pour cette action est incorrect..."},
        {"/n:1.2.3.4, 00-11-22-33-44-55, 9, 255.0.0.0",
         "Le nombre de paramètres pour cette action est incorrect..."},
        {"/w:10.0.0.1, 00-11-22-33-44-55, 70000", "Valeur du port (70000) incorrecte..."},
        {"/w:10.0.0.1, 001122334455",
         "Le format de l'adresse MAC (001122334455) n'est pas reconnu..."},
        {"/w:10.0.0.1, , 9", "Le format de l'adresse MAC () n'est pas reconnu..."},
        {"/w:10.0.0.1, 00-11-22-33-44-55, 9, 255.0.0",
         "La valeur du masque (255.0.0) est incorrecte..."},
    };
    for (const auto& [etendue, message] : erreurs) {
        EXPECT_EQ(Lancer({etendue}), 1) << etendue;
        Lignes_t lignes = Sortie();
        ASSERT_EQ(lignes.size(), 3u) << m_sortie;
        EXPECT_EQ(lignes[1], message);
    }
    // Errors of the command line are written also under /d.
    EXPECT_EQ(Lancer({"/W:pc1", "/i", "/d"}), 1);
    EXPECT_EQ(m_sortie, "Le nombre de paramètres pour cette action est incorrect...\n");
    EXPECT_EQ(Lancer({"/d", "/x"}), 1);
    EXPECT_EQ(m_sortie, "Le paramètre '/x' de la ligne de commande est inconnu...\n");
    // /t: above the 16-bit range is a command-line error, not a crash.
    EXPECT_EQ(Lancer({"/S:pc1", "/t:40000"}), 1);
    EXPECT_EQ(Sortie()[0].rfind("L'option /t: doit être suivie", 0), 0u) << m_sortie;

    // A single field with /i is one address, not looked up.
    m_reseau.repondent = {"pc9"};
    EXPECT_EQ(Lancer({"/c:pc9", "/i"}), 0);
    EXPECT_EQ(m_reseau.Appels().back(), "wmi 6 pc9 :");
}

TEST_F(Execution, AFailedWakeViaInternetShowsTheServicesAnswer) {
    Config("", "");
    m_reseau.relaisRepond = false;  // the service answers, but not "200 OK"
    EXPECT_EQ(Lancer({"/n:1.2.3.4, 00-11-22-33-44-55"}), 0);
    const Lignes_t lignes = Sortie();
    ASSERT_GE(lignes.size(), 3u);
    EXPECT_EQ(lignes[2],
              "   -> Impossible d'accéder au service de réveil par Internet : OK 1.2.3.4");
}

TEST_F(Execution, LookUpByFolderPatternAndLetterCase) {
    Config("",
           "[bureau]\nNbMachines=1\nMachine1=pc1|127.0.0.5||||||\n"
           "[Vide]\nNbMachines=0\n"
           "[maison]\nNbMachines=3\nMachine1=PC1|127.0.0.6||||||\nMachine2=\n"
           "Machine3=tablette|127.0.0.7||||||\n");
    m_reseau.repondent = {"127.0.0.5", "127.0.0.6", "127.0.0.7"};
    // The same name in two folders: both, in the order of the sections.
    EXPECT_EQ(Lancer({"/a:Pc1"}), 0);
    EXPECT_EQ(m_reseau.Appels(), (Lignes_t{"ping 127.0.0.5", "annuler 127.0.0.5 :",
                                           "ping 127.0.0.6", "annuler 127.0.0.6 :"}));
    EXPECT_EQ(Sortie()[0], "Action : Annuler redémarrage/extinction");

    // An empty machine line names no machine, even for "*".
    m_reseau.ViderAppels();
    EXPECT_EQ(Lancer({"/p:MAISON!*"}), 0);
    EXPECT_EQ(m_reseau.Appels(), (Lignes_t{"ping 127.0.0.6", "wmi 9 127.0.0.6 :", "ping 127.0.0.7",
                                           "wmi 9 127.0.0.7 :"}));
    EXPECT_EQ(Lancer({"/p:maison![st]ab*"}), 0);
    EXPECT_EQ(Sortie()[2], " - tablette : Demande envoyée à 127.0.0.7");

    EXPECT_EQ(Lancer({"/S:inconnu!pc1"}), 2);
    EXPECT_EQ(Sortie(),
              (Lignes_t{"Action : Eteindre",
                        "Le dossier spécifié (inconnu) n'a pas été trouvé dans la liste...", ""}));
    // The folder part is never a pattern.
    EXPECT_EQ(Lancer({"/S:bur*!pc1"}), 2);
    EXPECT_EQ(Lancer({"/d", "/S:vide!*"}), 2);
    EXPECT_EQ(m_sortie, "La machine spécifiée (*) n'a pas été trouvée dans la liste...\n");
    EXPECT_EQ(Lancer({"/S:pc?9"}), 2);
    EXPECT_EQ(Sortie()[2], "La machine spécifiée (pc?9) n'a pas été trouvée dans la liste...");
}

TEST_F(Execution, MacUpdateRewritesOnlyTheMacField) {
    Config("",
           "[bureau]\nNbMachines=5\n"
           "Machine1=pc1|127.0.0.5|255.255.255.0|9|00-11-22-33-44-55|admin|4142|commentaire 1\n"
           "Machine2=pc2|salle 3|127.0.0.6|00:11:22:33:44:66\n"
           "Machine3=hote1|hote1.lan||||||\n"
           "Machine4=pc4|127.0.0.7||||||\n"
           "Machine5=pc5|127.0.0.8||||||\n"
           "[maison]\nNbMachines=1\nMachine1=pc6|127.000.000.010|||00-11-22-33-44-88|||\n");
    m_reseau.repondent = {"127.0.0.5", "127.0.0.6", "hote1.lan", "127.0.0.8", "127.0.0.10"};
    m_reseau.reponses = {{"hote1.lan", "127.0.0.9"}};  // a name answers from its address
    m_reseau.macs = {{"127.0.0.5", "00-11-22-33-44-AA"},
                     {"127.0.0.6", "00-11-22-33-44-66"},
                     {"127.0.0.9", "00-11-22-33-44-99"},
                     {"127.0.0.10", "00-11-22-33-44-88"}};
    EXPECT_EQ(Lancer({"/u"}), 0);
    EXPECT_EQ(Sortie(),
              (Lignes_t{"Action : Mise à jour des adresses MAC",
                        "bureau!pc1 (127.0.0.5) : adresse modifiée (00-11-22-33-44-55 -> "
                        "00-11-22-33-44-AA)",
                        "bureau!pc2 (127.0.0.6) : adresse modifiée (00:11:22:33:44:66 -> "
                        "00-11-22-33-44-66)",
                        "bureau!hote1 (hote1.lan) : adresse modifiée ( -> 00-11-22-33-44-99)",
                        "bureau!pc4 (127.0.0.7) : la machine distante ne répond pas",
                        "bureau!pc5 (127.0.0.8) : impossible de déterminer l'adresse MAC",
                        "maison!pc6 (127.0.0.10) : adresse inchangée", "", "Traitement terminé.",
                        "", ""}));
    EXPECT_EQ(Machine("bureau", 1),
              "pc1|127.0.0.5|255.255.255.0|9|00-11-22-33-44-AA|admin|4142|commentaire 1");
    EXPECT_EQ(Machine("bureau", 2), "pc2|127.0.0.6|||00-11-22-33-44-66|salle 3");
    EXPECT_EQ(Machine("bureau", 3), "hote1|hote1.lan|||00-11-22-33-44-99|||");
    EXPECT_EQ(Machine("bureau", 4), "pc4|127.0.0.7||||||");
    EXPECT_EQ(Machine("maison", 1), "pc6|127.000.000.010|||00-11-22-33-44-88|||");

    EXPECT_EQ(Lancer({"/U:maison"}), 0);
    EXPECT_EQ(Sortie()[1], "maison!pc6 (127.0.0.10) : adresse inchangée");
    EXPECT_EQ(Lancer({"/u:grenier"}), 2);
    EXPECT_EQ(Sortie()[0], "Le dossier spécifié (grenier) n'a pas été trouvé dans la liste...");
    EXPECT_EQ(Lancer({"/u:bureau,maison"}), 1);
}

TEST_F(Execution, MacUpdateStopsAtAFailedWriteAndKeepsEarlierLines) {
    Config("",
           "[bureau]\nNbMachines=2\nMachine1=pc1|127.0.0.5||||||\nMachine2=pc2|127.0.0.6||||||\n");
    m_reseau.repondent = {"127.0.0.5", "127.0.0.6"};
    m_reseau.macs = {{"127.0.0.5", "00-11-22-33-44-55"}, {"127.0.0.6", "00-11-22-33-44-66"}};
    // The file becomes read-only after the first line was written (lines found close together
    // are written together, a fraction of a second later).
    m_reseau.avantRechercheMAC = [this](int n) {
        if (n != 1) return;
        for (int i = 0; i < 200 && Machine("bureau", 1).find("44-55") == std::string::npos; ++i)
            ::usleep(10000);
        ::chmod(m_fichier.c_str(), 0444);
    };
    EXPECT_EQ(Lancer({"/d", "/u"}), 1);
    Lignes_t lignes = Sortie();
    ASSERT_GE(lignes.size(), 3u) << m_sortie;
    EXPECT_EQ(lignes[0], "Une erreur (75) est survenue durant le traitement :");
    EXPECT_EQ(Machine("bureau", 1), "pc1|127.0.0.5|||00-11-22-33-44-55|||");
    EXPECT_EQ(Machine("bureau", 2), "pc2|127.0.0.6||||||");
}

TEST_F(Execution, MacUpdateSaysChangedOnlyForLinesThatReachedTheFile) {
    Config("",
           "[bureau]\nNbMachines=2\nMachine1=pc1|127.0.0.5||||||\nMachine2=pc2|127.0.0.6||||||\n");
    m_reseau.repondent = {"127.0.0.5", "127.0.0.6"};
    m_reseau.macs = {{"127.0.0.5", "00-11-22-33-44-55"}, {"127.0.0.6", "00-11-22-33-44-66"}};
    // The file cannot be replaced: no line reaches it.
    ::chmod(m_fichier.c_str(), 0444);
    EXPECT_EQ(Lancer({"/u"}), 1);
    EXPECT_EQ(m_sortie.find("adresse modifiée"), std::string::npos) << m_sortie;
    Lignes_t lignes = Sortie();
    ASSERT_GE(lignes.size(), 4u) << m_sortie;
    EXPECT_EQ(lignes[1],
              "bureau!pc1 (127.0.0.5) : nouvelle adresse non enregistrée ( -> "
              "00-11-22-33-44-55) : le fichier n'a pas pu être écrit");
    EXPECT_NE(m_sortie.find("Une erreur (75)"), std::string::npos) << m_sortie;
    EXPECT_EQ(m_sortie.find("Traitement terminé"), std::string::npos) << m_sortie;
    EXPECT_EQ(Machine("bureau", 1), "pc1|127.0.0.5||||||");

    // A machine deleted by another program while its address was looked up.
    ::chmod(m_fichier.c_str(), 0644);
    bool supprimees = false;
    m_reseau.avantRechercheMAC = [this, &supprimees](int) {
        if (supprimees) return;
        supprimees = true;
        ASSERT_TRUE(SauvegarderDossier(m_fichier, "bureau", {}));
    };
    EXPECT_EQ(Lancer({"/u"}), 0);
    EXPECT_EQ(Sortie()[1],
              "bureau!pc1 (127.0.0.5) : nouvelle adresse (00-11-22-33-44-55) non enregistrée : "
              "la machine a été supprimée entre-temps");
}

TEST_F(Execution, TextFromOutsideCannotDriveTheTerminalAndPortsArePlainDecimal) {
    Config("",
           "[bureau]\nNbMachines=3\n"
           "Machine1=pc\x1b]0;pirate\x07\x1b[2J\xc2\x9b"
           "31m|127.0.0.5|||00-11-22-33-44-55|||\n"
           "Machine2=hexa|127.0.0.6||0x9|00-11-22-33-44-66|||\n"
           "Machine3=url|127.0.0.7||9&key=evil|00-11-22-33-44-77|||\n");
    EXPECT_EQ(Lancer({"/w:bureau!*"}), 0);
    for (char c : m_sortie) {
        EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 && c != '\n') << m_sortie;
    }
    EXPECT_EQ(m_sortie.find("\xc2\x9b"), std::string::npos);
    const Lignes_t lignes = Sortie();
    ASSERT_GE(lignes.size(), 8u) << m_sortie;
    EXPECT_EQ(lignes[2], " - pc]0;pirate[2J31m : Demande envoyée à 127.0.0.5");
    EXPECT_NE(m_sortie.find("Valeur du port (0x9) incorrecte..."), std::string::npos) << m_sortie;
    EXPECT_NE(m_sortie.find("Valeur du port (9&key=evil) incorrecte..."), std::string::npos);
    // Only the machine with a valid port was woken.
    EXPECT_EQ(m_reseau.Appels(), (Lignes_t{"paquet 127.0.0.5 255.255.255.0 9 00-11-22-33-44-55"}));
    m_reseau.ViderAppels();
    EXPECT_EQ(Lancer({"/n:bureau!hexa"}), 0);
    EXPECT_TRUE(m_reseau.Appels().empty());
    // A port typed on the command line is reported as typed.
    EXPECT_EQ(Lancer({"/w:127.0.0.5, 00-11-22-33-44-55, 99999999999999999999"}), 1);
    EXPECT_EQ(Sortie()[1], "Valeur du port (99999999999999999999) incorrecte...");
}

TEST_F(Execution, MacUpdateKeepsWhatOthersWroteMeanwhile) {
    std::string dossier = "[bureau]\nNbMachines=10\n";
    for (int k = 1; k <= 10; ++k) {
        const std::string ip = "127.0.0." + std::to_string(10 + k);
        dossier += "Machine" + std::to_string(k) + "=pc" + std::to_string(k) + "|" + ip +
                   "|||00-00-00-00-00-00|||\n";
        m_reseau.repondent.insert(ip);
        m_reseau.macs[ip] = "00-11-22-33-44-" + std::to_string(10 + k);
    }
    Config("", dossier);
    // While the update runs, the windowed program edits the comment of every machine in turn,
    // then deletes pc10 and moves pc9 to the front (the folder is saved renumbered).
    m_reseau.avantRechercheMAC = [this](int n) {
        std::vector<velmora::Machine> machines = ChargerDossier(m_fichier, "bureau");
        for (velmora::Machine& m : machines)
            if (m.nom == "pc" + std::to_string(n + 1)) m.commentaire = "édité";
        if (n == 5) {
            machines.pop_back();
            std::rotate(machines.begin(), machines.end() - 1, machines.end());
        }
        ASSERT_TRUE(SauvegarderDossier(m_fichier, "bureau", machines));
    };
    EXPECT_EQ(Lancer({"/u"}), 0);
    const std::vector<velmora::Machine> machines = ChargerDossier(m_fichier, "bureau");
    ASSERT_EQ(machines.size(), 9u);  // pc10 stays deleted
    EXPECT_EQ(LireIni(m_fichier, "bureau", "Machine10", "<absente>"), "<absente>");
    EXPECT_EQ(machines[0].nom, "pc9");
    for (const velmora::Machine& m : machines) {
        const std::string numero = m.nom.substr(2);
        EXPECT_EQ(m.adresseMAC, "00-11-22-33-44-" + std::to_string(10 + std::stoi(numero)))
            << m.nom;
        EXPECT_EQ(m.commentaire, "édité") << m.nom;  // every edit made meanwhile is kept
    }
}

}  // namespace
}  // namespace velmora::batch::test
