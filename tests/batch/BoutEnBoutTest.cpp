// The built VelmoraBatch run as a user runs it: a temporary Configuration file, a command
// line, the console output compared line by line and the exit code. Packets go to UDP
// receivers on loopback only.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

using namespace std::string_literals;

extern char** environ;

#include "Aides.h"
#include "common/text/Commun.h"
#include "tests/common/test_net_espaces.h"

namespace velmora::batch::test {
namespace {

using Lignes_t = std::vector<std::string>;

// A UDP socket bound to a loopback address on a free port.
class RecepteurUDP {
  public:
    explicit RecepteurUDP(const char* adresse = "127.0.0.1") {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, adresse, &a.sin_addr);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t n = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &n);
        m_port = ntohs(a.sin_port);
    }
    ~RecepteurUDP() { ::close(m_fd); }
    int Port() const { return m_port; }
    std::string PortTexte() const { return std::to_string(m_port); }
    // The next datagram, or "" when none comes within a second.
    std::string Recevoir() {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 1000) != 1) return "";
        char tampon[2048];
        ssize_t n = ::recv(m_fd, tampon, sizeof tampon, 0);
        return n > 0 ? std::string(tampon, static_cast<size_t>(n)) : "";
    }

  private:
    int m_fd = -1;
    int m_port = 0;
};

std::string PaquetAttendu(const std::string& octetsMAC) {
    std::string paquet(6, '\xFF');
    for (int i = 0; i < 16; ++i) paquet += octetsMAC;
    return paquet;
}

const Lignes_t kFinOK = {"", "Traitement terminé.", "", ""};

Lignes_t Concat(Lignes_t a, const Lignes_t& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(BoutEnBout, StartUpUsageTextAndCommandLineErrors) {
    DossierTemporaire dossier;
    std::string fichier = dossier.Ecrire("maison.ini", ConfigTest("", ""));

    for (const Lignes_t& arguments : {Lignes_t{fichier}, Lignes_t{fichier, "/?"}}) {
        Resultat r = LancerBatch(arguments);
        EXPECT_EQ(r.code, 0);
        Lignes_t lignes = Lignes(r.sortie);
        // The banner line, the 65 lines of the usage text (the first, empty, ends the banner
        // line), an empty line.
        ASSERT_EQ(lignes.size(), 67u) << r.sortie;
        EXPECT_EQ(lignes[0].rfind("VelmoraBatch v", 0), 0u);
        EXPECT_NE(lignes[0].find(" - "), std::string::npos);
        EXPECT_EQ(lignes[1], "Utilisation");
        EXPECT_EQ(lignes[2], "   VelmoraBatch [fichier_ini] action [options]");
        EXPECT_EQ(lignes[36],
                  "                  signe '§' peut être utilisé comme retour-chariot)");
        EXPECT_EQ(lignes[41], "   /attendre:{secondes}[,port]");
        EXPECT_EQ(lignes[47],
                  "   /cadence:{n} : nombre de requêtes par seconde au plus vers les adresses du");
        EXPECT_EQ(lignes[57],
                  "   - Code de sortie 2 : fichier de configuration absent ou illisible, ou");
        // The examples, pasted into an interactive bash, reach the program as written: every
        // switch holding "!", "*" or "?" is in single quotes.
        EXPECT_EQ(lignes[61], "   VelmoraBatch '/W:serveurs!*'");
        EXPECT_EQ(lignes[62], "   VelmoraBatch maison.ini '/S:*' '/m:à table !' /t:30 /f:on");
        EXPECT_EQ(lignes[63], "   VelmoraBatch /l:tavrin");
        EXPECT_EQ(lignes[64], "   VelmoraBatch '/w:serveurs!nas' /attendre:180,22");
        EXPECT_EQ(lignes[65], "");
    }

    // A missing file is reported before the command line is looked at; nothing was done, so
    // the code is 2.
    const std::string absent = dossier.Chemin() + "/absent.ini";
    for (const Lignes_t& arguments : {Lignes_t{absent}, Lignes_t{absent, "/S:pc1"}}) {
        Resultat r = LancerBatch(arguments);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.sortie, "Le fichier de configuration spécifié n'a pas été trouvé...\n");
    }

    // A file name with a space, as one argument; command-line errors pass /d.
    std::string avecEspace = dossier.Ecrire("ma config.ini", ConfigTest("", ""));
    Resultat r = LancerBatch({avecEspace, "/d", "/x"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.sortie, "Le paramètre '/x' de la ligne de commande est inconnu...\n");
    r = LancerBatch({avecEspace, "/w:pc1", "/n:pc2"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.sortie, "Il n'est pas possible de spécifier plusieurs actions...\n");
    r = LancerBatch({avecEspace, "/S:grenier!pc1"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(Lignes(r.sortie)[1],
              "Le dossier spécifié (grenier) n'a pas été trouvé dans la liste...");
}

TEST(BoutEnBout, UsageTextReadsWholeInEachLanguage) {
    // French: the usage text as the user reads it, its words apart and its apostrophes tight.
    DossierTemporaire dossier;
    Resultat r = LancerBatch({dossier.Ecrire("maison.ini", ConfigTest("", "")), "/?"});
    ASSERT_EQ(r.code, 0);
    Lignes_t lignes = Lignes(r.sortie);
    ASSERT_EQ(lignes.size(), 67u) << r.sortie;
    EXPECT_NE(lignes[0].find(" - réveil et arrêt des machines"), std::string::npos) << lignes[0];
    EXPECT_EQ(lignes[13],
              "   /h:{étendueC} : Mettre en veille prolongée la machine distante (WMI)");
    EXPECT_EQ(lignes[35],
              "                  l'utilisateur connecté avant redémarrage/extinction (le");

    // English: a program beside its language file, whose settings ask for it. Not one French
    // word, the banner line included.
    const std::string programme = dossier.Chemin() + "/VelmoraBatch";
    std::filesystem::copy_file(kProgramme, programme);
    std::filesystem::copy_file(std::string(VELMORA_SOURCE_DIR) + "/lang/English.lng",
                               dossier.Chemin() + "/English.lng");
    dossier.Ecrire("Velmora.ini", "[Config]\nLangue=English\n");
    r = LancerBatch({"/?"}, {}, {}, programme);
    ASSERT_EQ(r.code, 0);
    lignes = Lignes(r.sortie);
    ASSERT_EQ(lignes.size(), 67u) << r.sortie;
    EXPECT_EQ(lignes[0].rfind("VelmoraBatch v", 0), 0u);
    EXPECT_NE(lignes[0].find(" - "), std::string::npos);
    EXPECT_EQ(lignes[1], "Usage");
    for (const std::string& ligne : lignes)
        for (const char* francais : {"é", "è", "à", "ê", "ç", " machines du ", " ligne de "})
            EXPECT_EQ(ligne.find(francais), std::string::npos) << ligne;
}

TEST(BoutEnBout, DefaultAndBareConfigurationNamesAreBesideTheProgram) {
    // A copy of the program in a folder of its own, whose Velmora.ini is the default file.
    DossierTemporaire dossier;
    const std::string programme = dossier.Chemin() + "/VelmoraBatch";
    std::filesystem::copy_file(kProgramme, programme);
    Resultat r = LancerBatch({}, {}, {}, programme);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.sortie, "Le fichier de configuration spécifié n'a pas été trouvé...\n");

    dossier.Ecrire("Velmora.ini", ConfigTest("", ""));
    r = LancerBatch({}, {}, {}, programme);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(Lignes(r.sortie)[1], "Utilisation");
    r = LancerBatch({"/S:bureau!pc1"}, {}, {}, programme);
    EXPECT_EQ(r.code, 2);

    // A bare name is taken in the program folder, not in the current one.
    dossier.Ecrire("maison.ini", ConfigTest("", "[bureau]\nNbMachines=0\n"));
    r = LancerBatch({"maison.ini", "/S:bureau!pc1"}, {}, {}, programme);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(Lignes(r.sortie)[1],
              "La machine spécifiée (pc1) n'a pas été trouvée dans la liste...");
}

TEST(BoutEnBout, AScriptCanTellNothingDoneFromDone) {
    DossierTemporaire dossier;
    ::chmod(dossier.Chemin().c_str(), 0755);
    const std::string programme = dossier.Chemin() + "/VelmoraBatch";
    std::filesystem::copy_file(kProgramme, programme);
    const std::string config =
        ConfigTest("", "[bureau]\nNbMachines=1\nMachine1=pc1|127.0.0.5||||||\n");

    // A folder in the file's place.
    std::filesystem::create_directory(dossier.Chemin() + "/dossier.ini");
    Resultat r = LancerBatch({dossier.Chemin() + "/dossier.ini", "/u"}, {}, {}, programme);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.sortie, "Le fichier de configuration spécifié n'a pas été trouvé...\n");

    // A file in an encoding that cannot be read: named, never written.
    const std::string utf16 = dossier.Ecrire("utf16.ini", std::string("\xFF\xFE[\0x\0]\0", 8));
    r = LancerBatch({utf16, "/u"}, {}, {}, programme);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.sortie.find("UTF-16 LE"), std::string::npos) << r.sortie;
    EXPECT_EQ(LireFichier(utf16), std::string("\xFF\xFE[\0x\0]\0", 8));

    // A file its user cannot read (write-only).
    if (::geteuid() == 0) {
        const std::string illisible = dossier.Ecrire("illisible.ini", config);
        ::chown(illisible.c_str(), 65534, 65534);
        ::chmod(illisible.c_str(), 0200);
        r = LancerBatch({illisible, "/u"}, {},
                        {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"}, programme);
        EXPECT_EQ(r.code, 2) << r.sortie;
        EXPECT_EQ(r.sortie.find("Traitement terminé"), std::string::npos) << r.sortie;
        EXPECT_NE(r.sortie.find("illisible.ini"), std::string::npos) << r.sortie;
    }

    // "--something" is an unknown option, not a file name.
    r = LancerBatch({"--bogus"}, {}, {}, programme);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.sortie, "Le paramètre '--bogus' de la ligne de commande est inconnu...\n");
    EXPECT_EQ(r.erreurs, "");

    // A relative path with a folder is the current folder's; a bare name the program's.
    DossierTemporaire courant;
    std::filesystem::create_directory(courant.Chemin() + "/sous");
    courant.Ecrire("sous/maison.ini", config);
    r = LancerBatch({"sous/maison.ini", "/S:bureau!pc2"}, {}, {"env", "-C", courant.Chemin()},
                    programme);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(Lignes(r.sortie)[1],
              "La machine spécifiée (pc2) n'a pas été trouvée dans la liste...");
    courant.Ecrire("maison.ini", config);
    r = LancerBatch({"maison.ini", "/S:bureau!pc2"}, {}, {"env", "-C", courant.Chemin()},
                    programme);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.sortie, "Le fichier de configuration spécifié n'a pas été trouvé...\n");
}

TEST(BoutEnBout, HelpAndVersionAnswerWithOrWithoutAConfigurationFile) {
    // A new user's first calls: a copy of the program whose default file does not exist yet.
    DossierTemporaire dossier;
    const std::string programme = dossier.Chemin() + "/VelmoraBatch";
    std::filesystem::copy_file(kProgramme, programme);
    const std::string fichier = dossier.Ecrire("maison.ini", ConfigTest("", ""));
    for (const Lignes_t& arguments : {Lignes_t{"--help"}, Lignes_t{"-h"}, Lignes_t{fichier, "-h"},
                                      Lignes_t{dossier.Chemin() + "/absent.ini", "--help"}}) {
        Resultat r = LancerBatch(arguments, {}, {}, programme);
        EXPECT_EQ(r.code, 0) << arguments[0];
        const Lignes_t lignes = Lignes(r.sortie);
        ASSERT_EQ(lignes.size(), 67u) << r.sortie;
        EXPECT_EQ(lignes[1], "Utilisation");
        EXPECT_EQ(r.erreurs, "");
    }
    for (const Lignes_t& arguments : {Lignes_t{"--version"}, Lignes_t{fichier, "--version"}}) {
        Resultat r = LancerBatch(arguments, {}, {}, programme);
        EXPECT_EQ(r.code, 0);
        // The version of the usage text's first line, alone on its line, then the licence.
        EXPECT_EQ(r.sortie.rfind("VelmoraBatch v", 0), 0u) << r.sortie;
        const Lignes_t lignes = Lignes(r.sortie);
        ASSERT_EQ(lignes.size(), 3u) << r.sortie;
        EXPECT_EQ(lignes[0].find(" - "), std::string::npos);
        EXPECT_EQ(lignes[1],
                  "Licence GPL-3.0-or-later <https://www.gnu.org/licenses/gpl-3.0.html>");
    }
    // Elsewhere on the line they are plain text: here part of the machine name.
    Resultat r = LancerBatch({fichier, "/S:pc1", "--help"}, {}, {}, programme);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.sortie.find("(pc1 --help)"), std::string::npos) << r.sortie;

    // A missing file: the same console text, and standard error names the file looked for.
    r = LancerBatch({}, {}, {}, programme);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.sortie, "Le fichier de configuration spécifié n'a pas été trouvé...\n");
    const Lignes_t erreurs = Lignes(r.erreurs);
    ASSERT_EQ(erreurs.size(), 2u) << r.erreurs;
    EXPECT_NE(erreurs[0].find(dossier.Chemin() + "/Velmora.ini"), std::string::npos);
    EXPECT_NE(erreurs[0].find("Velmora"), std::string::npos);
    r = LancerBatch({"absent.ini", "/w:pc1"}, {}, {}, programme);
    EXPECT_NE(r.erreurs.find(dossier.Chemin() + "/absent.ini"), std::string::npos) << r.erreurs;
}

TEST(BoutEnBout, WakeByDirectDesignationSendsThePacketToLoopback) {
    DossierTemporaire dossier;
    std::string fichier = dossier.Ecrire("maison.ini", ConfigTest("", ""));
    RecepteurUDP recepteur;
    const std::string port = recepteur.PortTexte();
    const Lignes_t attendu =
        Concat({"Action : Réveiller (WOL)", " - 127.0.0.1 : Demande envoyée à 127.0.0.1",
                "   -> Paquet envoyé à 127.0.0.1 (port " + port + ")"},
               kFinOK);

    // As one quoted argument, and as the shell splits it without quotes.
    const Lignes_t formes[] = {
        {fichier, "/w:127.0.0.1, 00-11-22-33-44-55, " + port + ", 255.255.255.255"},
        {fichier, "/w:127.0.0.1,", "00-11-22-33-44-55,", port + ",", "255.255.255.255"}};
    for (const Lignes_t& arguments : formes) {
        Resultat r = LancerBatch(arguments);
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(Lignes(r.sortie), attendu);
        EXPECT_EQ(recepteur.Recevoir(), PaquetAttendu("\x00\x11\x22\x33\x44\x55"s));
    }

    // Quiet: nothing written, the packet still sent.
    Resultat r = LancerBatch(
        {fichier, "/d", "/W:127.0.0.1, aa:BB:cc:DD:ee:FF, " + port + ", 255.255.255.255"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.sortie, "");
    EXPECT_EQ(recepteur.Recevoir(), PaquetAttendu("\xAA\xBB\xCC\xDD\xEE\xFF"s));
}

TEST(BoutEnBout, WakeOfAFolderPausesBetweenMachinesOnly) {
    RecepteurUDP premier("127.0.0.1");
    RecepteurUDP second("127.0.0.2");
    DossierTemporaire dossier;
    std::string fichier = dossier.Ecrire(
        "maison.ini", ConfigTest("DélaiEntreDeuxRéveilsWOL=20\n",
                                 "[Salle A]\nNbMachines=3\n"
                                 "Machine1=Poste 1|127.0.0.1|255.255.255.255|" +
                                     premier.PortTexte() +
                                     "|00-00-00-00-00-01|||\n"
                                     "Machine2=poste2|127.000.000.002|255.255.255.255|" +
                                     second.PortTexte() +
                                     "|00-00-00-00-00-02|||\n"
                                     "Machine3=hors|127.0.0.1|255.255.255.255|4294967305|"
                                     "00-00-00-00-00-03|||\n"));
    Resultat r = LancerBatch({fichier, "/w:Salle A!poste*"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(Lignes(r.sortie),
              Concat({"Action : Réveiller (WOL)", "Sélection multiple : Salle A!poste*",
                      " - Poste 1 : Demande envoyée à 127.0.0.1",
                      "   -> Paquet envoyé à 127.0.0.1 (port " + premier.PortTexte() + ")",
                      " - Attente de 20 ms", " - poste2 : Demande envoyée à 127.0.0.2",
                      "   -> Paquet envoyé à 127.0.0.2 (port " + second.PortTexte() + ")"},
                     kFinOK));
    EXPECT_EQ(premier.Recevoir().size(), 102u);
    EXPECT_EQ(second.Recevoir().size(), 102u);

    // A port out of range in a hand-edited line is refused as it is written, not wrapped
    // around.
    r = LancerBatch({fichier, "/w:salle a!HORS"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(Lignes(r.sortie)[2], "   -> Valeur du port (4294967305) incorrecte...") << r.sortie;
}

// A stand-in for Samba's `net`, found first along PATH: it writes its arguments and the
// credentials file it was given to a journal, and refuses any request for 127.0.0.6.
std::string FauxNet(const DossierTemporaire& dossier, const std::string& journal) {
    std::string script =
        "#!/bin/sh\n"
        "tous=\" $* \"\n"
        "{ printf '%s\\n' \"$@\"\n"
        "  while [ $# -gt 0 ]; do [ \"$1\" = -A ] && cat \"$2\"; shift; done\n"
        "  echo ---; } >> '" +
        journal +
        "'\n"
        "case \"$tous\" in *' 127.0.0.6 '*) echo 'Accès refusé (err=5)'; exit 1;; esac\n"
        "exit 0\n";
    std::string chemin = dossier.Ecrire("net", script);
    ::chmod(chemin.c_str(), 0755);
    return dossier.Chemin();
}

TEST(BoutEnBout, RemoteShutdownThroughAStandInNetTool) {
    DossierTemporaire dossier;
    const std::string journal = dossier.Chemin() + "/journal";
    const std::string outils = FauxNet(dossier, journal);
    std::string fichier = dossier.Ecrire(
        "maison.ini",
        ConfigTest("",
                   "[bureau]\nNbMachines=2\n"
                   "Machine1=pc1|127.0.0.5|||00-11-22-33-44-55|admin|" +
                       CoderMotDePasse("s3cret!").value() + "|\nMachine2=pc2|127.0.0.6||||||\n"));
    const std::vector<std::pair<std::string, std::string>> env = {
        {"PATH", outils + ":" + std::getenv("PATH")}};

    // The message holds a space and a "/": as one argument it stays whole.
    Resultat r = LancerBatch({fichier, "/S:pc1", "/m:Arret le 12/05", "/t:30", "/f:on"}, env);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(Lignes(r.sortie), Concat({"Action : Eteindre", " - pc1 : Demande envoyée à 127.0.0.5",
                                        "   -> traitement OK"},
                                       kFinOK));
    Lignes_t appel = Lignes(LireFichier(journal));
    auto contient = [&](const std::string& l) {
        return std::find(appel.begin(), appel.end(), l) != appel.end();
    };
    EXPECT_TRUE(contient("shutdown"));
    EXPECT_TRUE(contient("--timeout=30"));
    EXPECT_TRUE(contient("--comment=Arret le 12/05"));
    EXPECT_TRUE(contient("--force"));
    EXPECT_FALSE(contient("--reboot"));
    EXPECT_TRUE(contient("127.0.0.5"));
    EXPECT_TRUE(contient("password = s3cret!"));  // in the credentials file, not on the line

    // The only machine refuses: code 4 with the tool's reason.
    r = LancerBatch({fichier, "/R:pc2"}, env);
    EXPECT_EQ(r.code, 4);
    EXPECT_EQ(
        Lignes(r.sortie),
        (Lignes_t{"Action : Redémarrer", " - pc2 : Demande envoyée à 127.0.0.6",
                  "   -> la machine distante a rejeté la demande : Accès refusé (err=5)", "", ""}));

    // Several machines, one refusing: both reported, code 0.
    r = LancerBatch({fichier, "/A:pc?"}, env);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(Lignes(r.sortie),
              Concat({"Action : Annuler redémarrage/extinction", "Sélection multiple : pc?",
                      " - pc1 : Demande envoyée à 127.0.0.5", "   -> traitement OK",
                      " - pc2 : Demande envoyée à 127.0.0.6",
                      "   -> la machine distante a rejeté la demande : Accès refusé (err=5)"},
                     kFinOK));
}

// A one-thread HTTP server on loopback that answers every request with "200 OK" and `corps`,
// and keeps the request lines.
class ServeurHTTP {
  public:
    explicit ServeurHTTP(std::string corps) : m_corps(std::move(corps)) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_fd, 8);
        socklen_t n = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &n);
        m_port = ntohs(a.sin_port);
        m_fil = std::thread([this] { Servir(); });
    }
    ~ServeurHTTP() {
        m_fin = true;
        m_fil.join();
        ::close(m_fd);
    }
    int Port() const { return m_port; }
    std::vector<std::string> Requetes() {
        std::lock_guard<std::mutex> v(m_verrou);
        return m_requetes;
    }

  private:
    void Servir() {
        while (!m_fin) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) != 1) continue;
            int c = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) continue;
            std::string requete;
            char tampon[1024];
            while (requete.find("\r\n\r\n") == std::string::npos) {
                ssize_t n = ::recv(c, tampon, sizeof tampon, 0);
                if (n <= 0) break;
                requete.append(tampon, static_cast<size_t>(n));
            }
            {
                std::lock_guard<std::mutex> v(m_verrou);
                m_requetes.push_back(requete.substr(0, requete.find("\r\n")));
            }
            std::string reponse =
                "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(m_corps.size()) +
                "\r\nConnection: close\r\n\r\n" + m_corps;
            ::send(c, reponse.data(), reponse.size(), MSG_NOSIGNAL);
            ::close(c);
        }
    }
    std::string m_corps;
    int m_fd = -1;
    int m_port = 0;
    std::atomic<bool> m_fin{false};
    std::mutex m_verrou;
    std::vector<std::string> m_requetes;
    std::thread m_fil;
};

// SIGTERM during a remote call: the tool and what it started are stopped, and the program ends
// as the signal asks, at once rather than after the tool's time limit.
TEST(BoutEnBout, SigtermStopsTheRemoteCallAndItsChildren) {
    DossierTemporaire dossier;
    const std::string marque = dossier.Chemin() + "/pids";
    const std::string net =
        dossier.Ecrire("net", "#!/bin/sh\nsleep 60 &\necho \"$$ $!\" > '" + marque + ".tmp'\nmv '" +
                                  marque + ".tmp' '" + marque + "'\nwait\n");
    ::chmod(net.c_str(), 0755);
    const std::string fichier = dossier.Ecrire(
        "maison.ini", ConfigTest("", "[bureau]\nNbMachines=1\nMachine1=pc1|127.0.0.5||||admin|" +
                                         CoderMotDePasse("x").value() + "|\n"));
    std::vector<std::string> mots = {kProgramme, fichier, "/S:pc1"};
    std::vector<char*> argv;
    for (auto& m : mots) argv.push_back(m.data());
    argv.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("PATH=", 0) != 0) env.emplace_back(*e);
    env.push_back("PATH=" + dossier.Chemin() + ":" + std::getenv("PATH"));
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t batch = -1;
    ASSERT_EQ(::posix_spawn(&batch, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);

    bool appele = false;
    for (int i = 0; i < 500 && !appele; ++i) {
        appele = std::filesystem::exists(marque);
        if (!appele) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(batch, SIGTERM);
    int statut = 0;
    pid_t fini = 0;
    for (int i = 0; i < 250 && fini == 0; ++i) {
        fini = ::waitpid(batch, &statut, WNOHANG);
        if (fini == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (fini == 0) {
        ::kill(batch, SIGKILL);
        ::waitpid(batch, &statut, 0);
    }
    ASSERT_TRUE(appele) << "net was never called";
    EXPECT_EQ(fini, batch) << "the program did not end within 5 s of SIGTERM";
    EXPECT_TRUE(WIFSIGNALED(statut) && WTERMSIG(statut) == SIGTERM);
    std::string texte = LireFichier(marque);
    while (!texte.empty() && texte.back() == '\n') texte.pop_back();
    const Lignes_t pids = ExtraireChamp(texte, " ");
    ASSERT_EQ(pids.size(), 2u);
    for (const std::string& p : pids) {
        bool parti = false;
        for (int i = 0; i < 100 && !parti; ++i) {
            std::ifstream etat("/proc/" + p + "/stat");
            std::string ligne;
            parti = !std::getline(etat, ligne) || ligne.substr(ligne.rfind(')') + 2, 1) == "Z";
            if (!parti) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_TRUE(parti) << "process " << p << " survived";
        ::kill(std::stoi(p), SIGKILL);
    }
}

TEST(BoutEnBout, WakeViaInternetThroughALoopbackRelay) {
    ServeurHTTP relais("Réveil demandé");
    DossierTemporaire dossier;
    std::string fichier = dossier.Ecrire(
        "maison.ini",
        ConfigTest("ScriptWOWParDéfaut=0\nProxyType=1\nScriptWOWUrl=http://127.0.0.1:" +
                       std::to_string(relais.Port()) + "/wow.php?ip=%IP%&mac=%mac%&port=%port%\n",
                   "[internet]\nNbMachines=1\n"
                   "Machine1=maison|203.0.113.9||4343|00-11-22-33-44-66|||\n"));

    // A private address: the request goes to the relay all the same, and the warning comes
    // before the end of the run.
    Resultat r = LancerBatch({fichier, "/n:192.168.1.20, 00-11-22-33-44-55"});
    EXPECT_EQ(r.code, 0);
    Lignes_t lignes = Lignes(r.sortie);
    ASSERT_GE(lignes.size(), 9u) << r.sortie;
    EXPECT_EQ(lignes[0], "Action : Réveiller via Internet (WOW)");
    EXPECT_EQ(lignes[1], " - 192.168.1.20 : Demande envoyée via Internet pour 192.168.1.20");
    EXPECT_EQ(lignes[2], "   -> Réveil demandé");
    EXPECT_EQ(lignes[3], "");
    EXPECT_EQ(lignes[4], "Attention :");
    EXPECT_EQ(Lignes_t(lignes.end() - 4, lignes.end()), kFinOK);

    r = LancerBatch({fichier, "/N:internet!maison"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(Lignes(r.sortie), Concat({"Action : Réveiller via Internet (WOW)",
                                        " - maison : Demande envoyée via Internet pour 203.0.113.9",
                                        "   -> Réveil demandé"},
                                       kFinOK));
    EXPECT_EQ(relais.Requetes(),
              (Lignes_t{"GET /wow.php?ip=192.168.1.20&mac=00-11-22-33-44-55&port=9 HTTP/1.1",
                        "GET /wow.php?ip=203.0.113.9&mac=00-11-22-33-44-66&port=4343 HTTP/1.1"}));
}

// Two network namespaces joined by a veth pair: 10.77.0.1 in the first, 10.77.0.2 (with a
// fixed MAC address) in the second. Removed with everything in them at the end.
class DeuxNamespaces {
  public:
    DeuxNamespaces() {
        const std::string n = std::to_string(::getpid());
        m_a = "vbta" + n;
        m_b = "vbtb" + n;
        const std::string va = "vba" + n, vb = "vbb" + n;
        m_pret = Executer("ip netns add " + m_a) && Executer("ip netns add " + m_b) &&
                 Executer("ip link add " + va + " netns " + m_a + " type veth peer name " + vb +
                          " netns " + m_b) &&
                 Executer("ip -n " + m_b + " link set " + vb + " address " + kMAC) &&
                 Executer("ip -n " + m_a + " addr add 10.77.0.1/24 dev " + va) &&
                 Executer("ip -n " + m_b + " addr add 10.77.0.2/24 dev " + vb) &&
                 Executer("ip -n " + m_a + " link set " + va + " up") &&
                 Executer("ip -n " + m_b + " link set " + vb + " up") &&
                 Executer("ip -n " + m_a + " link set lo up") &&
                 Executer("ip -n " + m_b + " link set lo up");
    }
    ~DeuxNamespaces() {
        Executer("ip netns del " + m_a);
        Executer("ip netns del " + m_b);
    }
    bool Pret() const { return m_pret; }
    // Runs the program inside the first namespace.
    Lignes_t Dans() const { return {"ip", "netns", "exec", m_a}; }
    static constexpr const char* kMAC = "02:00:5e:77:00:02";

  private:
    static bool Executer(const std::string& commande) {
        return std::system((commande + " >/dev/null 2>&1").c_str()) == 0;
    }
    std::string m_a, m_b;
    bool m_pret = false;
};

TEST(BoutEnBout, MacUpdateWithARealNeighbour) {
    DeuxNamespaces reseau;
    if (!reseau.Pret()) VELMORA_PAIR_INDISPONIBLE("needs root and iproute2 for network namespaces");
    DossierTemporaire dossier;
    std::string fichier = dossier.Ecrire(
        "maison.ini", ConfigTest("TempoPing=300\n",
                                 "[salle]\nNbMachines=2\n"
                                 "Machine1=cible|10.77.0.2|255.255.255.0||00-00-00-00-00-00|"
                                 "admin|4142|au fond\n"
                                 "Machine2=absente|10.77.0.3||||||\n"));
    Resultat r = LancerBatch({fichier, "/u:salle"}, {}, reseau.Dans());
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(Lignes(r.sortie),
              Concat({"Action : Mise à jour des adresses MAC",
                      "salle!cible (10.77.0.2) : adresse modifiée (00-00-00-00-00-00 -> "
                      "02-00-5E-77-00-02)",
                      "salle!absente (10.77.0.3) : la machine distante ne répond pas"},
                     kFinOK));
    const std::string contenu = LireFichier(fichier);
    EXPECT_NE(contenu.find("Machine1=cible|10.77.0.2|255.255.255.0||02-00-5E-77-00-02|admin|4142|"
                           "au fond\n"),
              std::string::npos)
        << contenu;
    EXPECT_NE(contenu.find("Machine2=absente|10.77.0.3||||||\n"), std::string::npos);

    // A second run finds the same address.
    r = LancerBatch({fichier, "/u"}, {}, reseau.Dans());
    EXPECT_EQ(Lignes(r.sortie)[1], "salle!cible (10.77.0.2) : adresse inchangée");
}

// Runs the program in a network namespace of its own, where nothing answers.
bool NamespaceDisponible() { return std::system("unshare --net true 2>/dev/null") == 0; }

TEST(BoutEnBout, MachinesThatDoNotAnswer) {
    if (!NamespaceDisponible())
        VELMORA_PAIR_INDISPONIBLE("needs root for a private network namespace");
    DossierTemporaire dossier;
    std::string fichier = dossier.Ecrire(
        "maison.ini", ConfigTest("TempoPing=200\n",
                                 "[bureau]\nNbMachines=2\nMachine1=pc1|127.0.0.5||||||\n"
                                 "Machine2=pc2|127.0.0.6||||||\n"));
    const Lignes_t isole = {"unshare", "--net"};
    Resultat r = LancerBatch({fichier, "/S:pc1"}, {}, isole);
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(Lignes(r.sortie),
              (Lignes_t{"Action : Eteindre", " - pc1 : Demande envoyée à 127.0.0.5",
                        "   -> la machine distante ne répond pas", "", ""}));
    r = LancerBatch({fichier, "/d", "/r:pc1"}, {}, isole);
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.sortie, "");
    // Several machines: both reported, code 0.
    r = LancerBatch({fichier, "/S:*"}, {}, isole);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(
        Lignes(r.sortie),
        Concat({"Action : Eteindre", "Sélection multiple : *",
                " - pc1 : Demande envoyée à 127.0.0.5", "   -> la machine distante ne répond pas",
                " - pc2 : Demande envoyée à 127.0.0.6", "   -> la machine distante ne répond pas"},
               kFinOK));
}

}  // namespace
}  // namespace velmora::batch::test
