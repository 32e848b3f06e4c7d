// "/attendre:S[,PORT]": its parsing, then the built VelmoraBatch waking machines of a namespace
// network made here, one of which comes up during the wait (its address is added to the
// namespace), one of which never does.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <signal.h>

#include <atomic>
#include <chrono>
#include <regex>
#include <thread>

#include "Aides.h"
#include "batch/LigneCommande.h"
#include "tests/common/test_net_hotes.h"

namespace velmora::batch::test {
namespace {

std::optional<ErreurCommande> Analyser(const std::string& options, Commande& commande) {
    std::optional<ErreurCommande> erreur = AnalyserOptions(options, commande);
    return erreur ? erreur : VerifierCommande(commande);
}

TEST(OptionAttendre, SecondsAndPortAreReadWithEveryWakeAction) {
    for (const char* action : {"/w:pc1", "/W:pc1", "/n:pc1", "/N:pc1"}) {
        Commande c;
        EXPECT_FALSE(Analyser(std::string(action) + " /attendre:120", c)) << action;
        EXPECT_EQ(c.attente, 120);
        EXPECT_EQ(c.portAttente, 0);
    }
    Commande c;
    EXPECT_FALSE(Analyser("/attendre: 90 , 3389 /w:serveurs!*", c));
    EXPECT_EQ(c.attente, 90);
    EXPECT_EQ(c.portAttente, 3389);
    EXPECT_EQ(c.action, 'w');
    EXPECT_EQ(c.etendue, "serveurs!*");
}

TEST(OptionAttendre, BadValuesAndOtherActionsAreRefusedWithTheirOwnMessages) {
    for (const char* valeur : {"", "0", "-5", "abc", "86401", "99999999999999999999", "10,", "10,0",
                               "10,65536", "10,22,23", "10,ssh", ",22", "1 0"}) {
        Commande c;
        const auto erreur = Analyser(std::string("/w:pc1 /attendre:") + valeur, c);
        ASSERT_TRUE(erreur) << valeur;
        EXPECT_EQ(erreur->cle, "MSG_ERREUR_OPTION_ATTENDRE") << valeur;
    }
    for (const char* action : {"/R:pc1", "/S:pc1", "/A:pc1", "/a:pc1", "/l:pc1", "/u", "/?"}) {
        Commande c;
        const auto erreur = Analyser(std::string(action) + " /attendre:30", c);
        ASSERT_TRUE(erreur) << action;
        EXPECT_EQ(erreur->cle, "MSG_ERREUR_OPTION_NON_PERMISE_ATTENDRE") << action;
    }
    // Neither a cancel ("/a:") nor any other switch: a spelling without its colon is unknown.
    Commande c;
    auto erreur = Analyser("/w:pc1 /attendre", c);
    ASSERT_TRUE(erreur);
    EXPECT_EQ(erreur->cle, "MSG_ERREUR_ACTION_OU_OPTION_INCONNUE");
    Commande d;
    erreur = Analyser("/attendre:30", d);
    ASSERT_TRUE(erreur);
    EXPECT_EQ(erreur->cle, "MSG_ERREUR_OMISSION_ACTION_BATCH");
    EXPECT_EQ(d.action, 0);
}

TEST(OptionCadence, APaceForTheLocalNetworkIsTakenWithAnyActionAndBadValuesAreRefused) {
    Commande c;
    EXPECT_FALSE(Analyser("/w:pc1 /cadence:500 /attendre:30", c));
    EXPECT_EQ(c.cadence, 500);
    Commande sansLimite;
    EXPECT_FALSE(Analyser("/u /cadence:0", sansLimite));
    EXPECT_EQ(sansLimite.cadence, 0);
    Commande parDefaut;
    EXPECT_FALSE(Analyser("/w:pc1", parDefaut));
    EXPECT_EQ(parDefaut.cadence, -1);
    for (const char* valeur : {"", "-1", "abc", "1000001", "99999999999999999999", "0x10", "5 0"}) {
        Commande d;
        const auto erreur = Analyser(std::string("/w:pc1 /cadence:") + valeur, d);
        ASSERT_TRUE(erreur) << valeur;
        EXPECT_EQ(erreur->cle, "MSG_ERREUR_OPTION_CADENCE") << valeur;
    }
}

// The client namespace A runs the program; B holds 198.18.0.2 from the start and, after a
// while, the address of a machine that "boots".
class Attente : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!m_espaces.Pret()) GTEST_SKIP() << m_espaces.Raison();
        m_fichier = m_dossier.Ecrire(
            "maison.ini",
            ConfigTest("TempoPing=300\nDélaiEntreDeuxRéveilsWOL=0\n",
                       "[salle]\nNbMachines=3\n"
                       "Machine1=serveur|198.18.0.2|255.255.255.0||02-00-00-00-0B-02|||\n"
                       "Machine2=lent|198.18.0.50|255.255.255.0||02-00-00-00-0B-50|||\n"
                       "Machine3=absent|198.18.0.60|255.255.255.0||02-00-00-00-0B-60|||\n"));
    }
    void TearDown() override {
        if (m_demarrage.joinable()) m_demarrage.join();
    }
    // After `ms`, runs `travail` (the machine "comes up").
    void Plus(int ms, std::function<void()> travail) {
        m_demarrage = std::thread([ms, travail] {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            travail();
        });
    }
    void LentDemarre(int ms) {
        const std::string b = m_espaces.B();
        Plus(ms, [b] { velmora::test::Espaces::Dans(b, "ip addr add 198.18.0.50/24 dev vb"); });
    }
    Resultat Lancer(const std::vector<std::string>& arguments) {
        std::vector<std::string> tout = {m_fichier};
        tout.insert(tout.end(), arguments.begin(), arguments.end());
        return LancerBatch(tout, {}, {"ip", "netns", "exec", m_espaces.A()});
    }
    // The last line that starts with `debut` (the wait comes after the wake), or "".
    static std::string Ligne(const Resultat& r, const std::string& debut) {
        std::string trouvee;
        for (const std::string& l : Lignes(r.sortie))
            if (l.rfind(debut, 0) == 0) trouvee = l;
        return trouvee;
    }

    velmora::test::Espaces m_espaces;
    DossierTemporaire m_dossier;
    std::string m_fichier;
    std::thread m_demarrage;
};

TEST_F(Attente, EachMachineIsReportedAsItComesUpAndOneMissingGivesCodeThree) {
    LentDemarre(1500);
    const Resultat r = Lancer({"/w:salle!*", "/attendre:5"});
    EXPECT_EQ(r.code, 3) << r.sortie;
    EXPECT_NE(Ligne(r, "Attente des machines (5 s au plus) :"), "") << r.sortie;
    EXPECT_EQ(Ligne(r, " - serveur : "), " - serveur : prête après 0 s") << r.sortie;
    EXPECT_TRUE(
        std::regex_match(Ligne(r, " - lent : "), std::regex(" - lent : prête après [1-4] s")))
        << r.sortie;
    EXPECT_EQ(Ligne(r, " - absent : "), " - absent : toujours pas prête après 5 s") << r.sortie;
    // In the order they came up, then the one that did not.
    const std::string& s = r.sortie;
    EXPECT_LT(s.find(" - serveur : prête"), s.find(" - lent : prête"));
    EXPECT_LT(s.find(" - lent : prête"), s.find(" - absent : toujours"));
    EXPECT_NE(Ligne(r, "Traitement terminé, mais une ou plusieurs machines ne sont pas prêtes."),
              "");
}

TEST_F(Attente, AllUpGivesCodeZeroAndQuietModeWritesNothing) {
    LentDemarre(800);
    Resultat r = Lancer({"/w:salle!?e*", "/attendre:5"});  // serveur and lent
    EXPECT_EQ(r.code, 0) << r.sortie;
    EXPECT_NE(Ligne(r, " - lent : prête après "), "") << r.sortie;
    EXPECT_NE(Ligne(r, "Traitement terminé."), "");
    r = Lancer({"/d", "/w:salle!absent", "/attendre:1"});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.sortie, "");
}

TEST_F(Attente, WithAPortTheMachineMustAcceptAConnection) {
    // serveur pings at once, but its service listens only after a while.
    const int ecoute = velmora::test::Espaces::Socket(m_espaces.B(), SOCK_STREAM, 0);
    ASSERT_GE(ecoute, 0);
    const int oui = 1;
    ::setsockopt(ecoute, SOL_SOCKET, SO_REUSEADDR, &oui, sizeof oui);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(2222);
    ::inet_pton(AF_INET, "198.18.0.2", &a.sin_addr);
    ASSERT_EQ(::bind(ecoute, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    Plus(1500, [ecoute] { ::listen(ecoute, 4); });
    const Resultat r = Lancer({"/w:salle!serveur", "/attendre:6,2222"});
    ::close(ecoute);
    EXPECT_EQ(r.code, 0) << r.sortie;
    EXPECT_NE(Ligne(r, "Attente du port 2222 des machines (6 s au plus) :"), "") << r.sortie;
    EXPECT_TRUE(
        std::regex_match(Ligne(r, " - serveur : "), std::regex(" - serveur : prête après [1-4] s")))
        << r.sortie;
}

// Ctrl-C (SIGINT) two seconds into a wait of 15 s ends the program within a round of probes,
// as the signal ends it (exit status 130 from the shell's point of view).
TEST_F(Attente, SigintDuringTheWaitEndsItWithinARound) {
    const auto debut = std::chrono::steady_clock::now();
    const Resultat r = LancerBatch(
        {m_fichier, "/w:salle!absent", "/attendre:15"}, {},
        {"ip", "netns", "exec", m_espaces.A(), "timeout", "--preserve-status", "-s", "INT", "2"});
    const auto duree = std::chrono::steady_clock::now() - debut;
    EXPECT_EQ(r.code, 128 + SIGINT) << r.sortie;
    EXPECT_LT(duree, std::chrono::seconds(8)) << "the wait went on after the signal";
    EXPECT_EQ(Ligne(r, " - absent : toujours"), "") << r.sortie;
}

// A machine still down is probed every 250 ms, by ping and by TCP port alike: about eight
// times in a wait of 2 s (twice with rounds of a second).
TEST_F(Attente, MachinesStillDownAreProbedFourTimesASecond) {
    struct Cas {
        std::string option, groupe, compteur;
    };
    for (const Cas& c :
         {Cas{"/attendre:2", "Icmp", "OutEchos"}, Cas{"/attendre:2,2222", "Tcp", "ActiveOpens"}}) {
        const long long avant = velmora::test::CompteurSnmp(m_espaces.A(), c.groupe, c.compteur);
        const Resultat r = Lancer({"/w:salle!absent", c.option});
        EXPECT_EQ(r.code, 3) << r.sortie;
        const long long essais =
            velmora::test::CompteurSnmp(m_espaces.A(), c.groupe, c.compteur) - avant;
        EXPECT_GE(essais, 6) << c.option;
    }
}

}  // namespace
}  // namespace velmora::batch::test
