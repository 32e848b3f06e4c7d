// MAC address update: one log line per machine rewritten in place, the exact-text comparison,
// host names looked up by the answering address, and the stop request.
#include <QtTest>
#include <map>

#include "common/i18n/Traduction.h"
#include "gui/run/MiseAJourMAC.h"
#include "tests/shared/FauxReseau.h"

using namespace velmora;
using namespace velmora::gui;

namespace {

struct Rangee {
    std::string nom, adresse, mac;
};

struct FausseListe : ListeMAC {
    std::vector<Rangee> rangees;
    int changements = 0;
    int Nombre() const override { return static_cast<int>(rangees.size()); }
    std::string Nom(int l) const override { return rangees[l].nom; }
    std::string Adresse(int l) const override { return rangees[l].adresse; }
    std::string MAC(int l) const override { return rangees[l].mac; }
    void DefinirMAC(int l, const std::string& mac) override {
        rangees[l].mac = mac;
        ++changements;
    }
};

struct FauxJournal : JournalMAC {
    std::vector<std::string> lignes;
    std::vector<std::string> historique;  // every text written, in order
    int arretApres = -1;                  // stop request after that many machines
    int machines = 0;
    int Ajouter(const std::string& ligne) override {
        lignes.push_back(ligne);
        historique.push_back(ligne);
        return static_cast<int>(lignes.size()) - 1;
    }
    void Remplacer(int position, const std::string& ligne) override {
        lignes.at(position) = ligne;
        historique.push_back(ligne);
    }
    bool ArretDemande() override { return ++machines == arretApres; }
};

// `reponses` maps an address to the address that answers its ping.
using FaussesSondes = velmora::fakes::FauxReseau;

// The last address given to the MAC look-up.
std::string DerniereRecherche(const FaussesSondes& sondes) {
    std::string adresse;
    for (const std::string& appel : sondes.Appels()) {
        if (appel.rfind("mac ", 0) == 0) adresse = appel.substr(4);
    }
    return adresse;
}

}  // namespace

class TestMajMAC : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, ""); }

    void eachMachineGetsOneLineRewrittenWithItsResult() {
        FausseListe liste;
        liste.rangees = {{"a", "010.0.0.1", "00:01:02:0a:49:f7"},
                         {"b", "10.0.0.2", "AA-AA-AA-AA-AA-AA"},
                         {"c", "10.0.0.3", "x"},
                         {"d", "serveur", ""},
                         {"e", "10.0.0.5", "y"}};
        FaussesSondes sondes;
        sondes.reponses = {{"10.0.0.1", "10.0.0.1"},
                           {"10.0.0.2", "10.0.0.2"},
                           {"10.0.0.3", "10.0.0.3"},
                           {"serveur", "192.0.2.7"}};
        sondes.macs = {{"10.0.0.1", "00-01-02-0A-49-F7"},
                       {"10.0.0.2", "AA-AA-AA-AA-AA-AA"},
                       {"192.0.2.7", "BB-BB-BB-BB-BB-BB"}};
        FauxJournal journal;
        QVERIFY(!MettreAJourMAC(liste, journal, sondes));

        using i18n::Tr;
        QCOMPARE(journal.lignes,
                 (std::vector<std::string>{
                     "a : " + Tr("TXT_MAC_NOUVELLE", {"00:01:02:0a:49:f7", "00-01-02-0A-49-F7"}),
                     "b : " + Tr("TXT_MAC_INCHANGEE"), "c : " + Tr("TXT_MAC_IMPOSSIBLE"),
                     "d : " + Tr("TXT_MAC_NOUVELLE", {"", "BB-BB-BB-BB-BB-BB"}),
                     "e : " + Tr("TXT_NE_REPOND_PAS")}));
        QCOMPARE(journal.historique.front(), "a : " + Tr("TXT_MAC_EN_COURS"));
        QCOMPARE(liste.rangees[0].mac, std::string("00-01-02-0A-49-F7"));
        QCOMPARE(liste.rangees[2].mac, std::string("x"));
        QCOMPARE(liste.rangees[4].mac, std::string("y"));
        QCOMPARE(liste.changements, 2);
        // The host name was looked up by the address that answered.
        QCOMPARE(DerniereRecherche(sondes), std::string("192.0.2.7"));
    }

    void stoppingAfterTheSecondMachineLeavesTheOthers() {
        FausseListe liste;
        for (int i = 1; i <= 4; ++i)
            liste.rangees.push_back({"m" + std::to_string(i), "10.0.0." + std::to_string(i), ""});
        FaussesSondes sondes;
        for (int i = 1; i <= 4; ++i) {
            const std::string a = "10.0.0." + std::to_string(i);
            sondes.reponses[a] = a;
            sondes.macs[a] = "00-00-00-00-00-0" + std::to_string(i);
        }
        FauxJournal journal;
        journal.arretApres = 2;
        QVERIFY(MettreAJourMAC(liste, journal, sondes));
        QCOMPARE(journal.lignes.size(), size_t(2));
        QCOMPARE(liste.rangees[2].mac, std::string());
        QCOMPARE(liste.rangees[3].mac, std::string());
        QCOMPARE(liste.changements, 2);
    }

    void probesRunThroughTheGivenExecutor() {
        FausseListe liste;
        liste.rangees = {{"a", "10.0.0.1", ""}};
        FaussesSondes sondes;
        FauxJournal journal;
        int appels = 0;
        MettreAJourMAC(liste, journal, sondes, [&](const std::function<void()>& f) {
            ++appels;
            f();
        });
        QCOMPARE(appels, 1);
    }
};

QTEST_MAIN(TestMajMAC)
#include "test_majmac.moc"
