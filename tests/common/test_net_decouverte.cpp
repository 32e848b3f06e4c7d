// Network discovery: the subnet parser against hostile texts, the address list, the OUI list and
// NetBIOS names, and a whole discovery through fake probes (nothing is sent).
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "common/net/Decouverte.h"
#include "common/net/SondesInterne.h"

namespace velmora::net {
namespace {

std::string Plage(std::string_view texte) {
    PlageIPv4 plage;
    switch (AnalyserPlage(texte, plage)) {
        case ErreurPlage::Aucune:
            return TextePlage(plage);
        case ErreurPlage::TropGrande:
            return "trop grande";
        case ErreurPlage::Invalide:
            return "invalide";
    }
    return "?";
}

TEST(Decouverte, SubnetsAreReadAsCidrMaskOrSingleAddress) {
    EXPECT_EQ(Plage("192.168.1.17/24"), "192.168.1.0/24");
    EXPECT_EQ(Plage("  10.1.2.3 / 16 "), "10.1.0.0/16");
    EXPECT_EQ(Plage("192.168.1.17/255.255.255.0"), "192.168.1.0/24");
    EXPECT_EQ(Plage("127.0.0.5"), "127.0.0.5/32");
    EXPECT_EQ(Plage("127.0.0.9/29"), "127.0.0.8/29");
    EXPECT_EQ(Plage("010.000.001.002/32"), "10.0.1.2/32");
    EXPECT_EQ(Plage("10.0.0.0/15"), "trop grande");
    EXPECT_EQ(Plage("10.0.0.0/0"), "trop grande");
    EXPECT_EQ(Plage("10.0.0.0/255.0.0.0"), "trop grande");
}

TEST(Decouverte, HostileSubnetTextsAreRefusedWithoutHarm) {
    for (const char* texte : {"",
                              " ",
                              "/",
                              "/24",
                              "10.0.0/24",
                              "10.0.0.0.0/24",
                              "10.0.0.256/24",
                              "10.0.0.-1/24",
                              "10.0.0.1/33",
                              "10.0.0.1/",
                              "10.0.0.1/-8",
                              "10.0.0.1/24/24",
                              "10.0.0.1/2 4",
                              "10.0.0.1/255.0.255.0",
                              "10.0.0.1/255.255.255.256",
                              "1000.0.0.1",
                              "10..0.1",
                              "10.0.0.1.",
                              ".10.0.0.1",
                              "0x0a.0.0.1",
                              "10.0.0.1/0x18",
                              "10.0.0.1/024",
                              "a.b.c.d/e",
                              "10.0.0.1\t/24x",
                              "١٠.0.0.1/24"}) {
        EXPECT_EQ(Plage(texte), "invalide") << texte;
    }
    EXPECT_EQ(Plage(std::string(100000, '1')), "invalide");
    EXPECT_EQ(Plage(std::string("10.0.0.1\0/24", 12)), "invalide");
    PlageIPv4 plage{42, 30};
    EXPECT_EQ(AnalyserPlage("10.0.0.1/33", plage), ErreurPlage::Invalide);
    EXPECT_EQ(plage.reseau, 42u);  // untouched on failure
}

TEST(Decouverte, AddressListLeavesOutSubnetAndBroadcastAddresses) {
    auto adresses = AdressesDePlage({0x7F000000, 29});
    EXPECT_EQ(adresses, (std::vector<std::string>{"127.0.0.1", "127.0.0.2", "127.0.0.3",
                                                  "127.0.0.4", "127.0.0.5", "127.0.0.6"}));
    EXPECT_EQ(AdressesDePlage({0x0A000000, 31}),
              (std::vector<std::string>{"10.0.0.0", "10.0.0.1"}));
    EXPECT_EQ(AdressesDePlage({0x0A000005, 32}), (std::vector<std::string>{"10.0.0.5"}));
    adresses = AdressesDePlage({0xC0A80000, 16});
    ASSERT_EQ(adresses.size(), 65534u);
    EXPECT_EQ(adresses.front(), "192.168.0.1");
    EXPECT_EQ(adresses[255], "192.168.1.0");
    EXPECT_EQ(adresses.back(), "192.168.255.254");
    EXPECT_EQ(AdressesDePlage({0xFFFFFF00, 24}).back(), "255.255.255.254");  // no wrap-around
}

TEST(Decouverte, InterfaceSubnetIsAtMostASlash16) {
    EXPECT_EQ(PlageDeInterface("192.168.1.17", "255.255.255.0"), "192.168.1.0/24");
    EXPECT_EQ(PlageDeInterface("10.20.30.40", "255.0.0.0"), "10.20.0.0/16");
    EXPECT_EQ(PlageDeInterface("10.20.30.40", "255.255.255.255"), "10.20.30.40/32");
    EXPECT_EQ(PlageDeInterface("", "255.255.255.0"), "");
    EXPECT_EQ(PlageDeInterface("10.0.0.1", ""), "");
}

TEST(Decouverte, OuiListGivesTheMakerOfAMac) {
    std::istringstream texte(
        "OUI/MA-L                                                    Organization\n"
        "company_id                                                  Organization\n"
        "                                                            Address\n"
        "\n"
        "00-1A-2B   (hex)\t\tAyecom Technology Co., Ltd.\r\n"
        "001A2B     (base 16)\t\tAyecom Technology Co., Ltd.\n"
        "\t\t\t\tNo. 25, R&D Road 2\n"
        "08-00-27   (hex)\t\tPCS Systemtechnik GmbH\n"
        "ZZ-00-27   (hex)\t\tBroken\n"
        "08-00   (hex)\t\tShort\n"
        "0A-0B-0C   (hex)\t\t\n");
    const TableOUI table = LireTableOUI(texte);
    EXPECT_EQ(table.size(), 2u);
    EXPECT_EQ(Fabricant(table, "00-1A-2B-3C-4D-5E"), "Ayecom Technology Co., Ltd.");
    EXPECT_EQ(Fabricant(table, "08:00:27:aa:bb:cc"), "PCS Systemtechnik GmbH");
    EXPECT_EQ(Fabricant(table, "0A-0B-0C-00-00-00"), "");
    EXPECT_EQ(Fabricant(table, "08-00-27"), "");
    EXPECT_EQ(Fabricant(table, "08-00-27-AA-BB-CC-DD"), "");
    EXPECT_EQ(Fabricant(table, ""), "");
}

TEST(Decouverte, DebianOuiListIsReadWhenInstalled) {
    if (!std::ifstream("/usr/share/ieee-data/oui.txt")) GTEST_SKIP() << "ieee-data not installed";
    EXPECT_GT(TableOUISysteme().size(), 10000u);
    EXPECT_EQ(Fabricant(TableOUISysteme(), "08-00-27-12-34-56"), "PCS Systemtechnik GmbH");
}

TEST(Decouverte, NetBIOSNameIsTheUniqueWorkstationName) {
    auto reponse = [](std::vector<std::string> noms) {
        std::string r("\x00\x07\x84\x00\x00\x00\x00\x01\x00\x00\x00\x00", 12);
        r += RequeteNodeStatus(7).substr(12, 34);
        r += std::string("\x00\x21\x00\x01\x00\x00\x00\x00", 8);
        const size_t longueur = 1 + noms.size() * 18 + 6;
        r += static_cast<char>(longueur >> 8);
        r += static_cast<char>(longueur & 0xFF);
        r += static_cast<char>(noms.size());
        for (const auto& n : noms) r += n;
        r += std::string("\x00\x1A\x2B\x3C\x4D\x5E", 6);
        return r;
    };
    const std::string groupe("WORKGROUP      \x00\x84\x00", 18);
    const std::string serveur("NAS-SALON      \x20\x04\x00", 18);
    const std::string poste("NAS-SALON      \x00\x04\x00", 18);
    EXPECT_EQ(NomDepuisNodeStatus(reponse({groupe, serveur, poste}), 7), "NAS-SALON");
    EXPECT_EQ(NomDepuisNodeStatus(reponse({groupe, serveur, poste}), 8), "");
    EXPECT_EQ(NomDepuisNodeStatus(reponse({groupe, serveur}), 7), "");
    EXPECT_EQ(NomDepuisNodeStatus(reponse({std::string("BAD\x01NAME      \x00\x04\x00", 18)}), 7),
              "");
    const std::string complete = reponse({groupe, poste});
    for (size_t n = 0; n + 24 < complete.size(); ++n)  // cut inside the names: never a crash
        NomDepuisNodeStatus(complete.substr(0, n), 7);
}

// Probes that answer from tables; every address of `vivants` answers the sweep.
class FaussesSondes : public SondesDecouverte {
  public:
    std::set<std::string> vivants;
    std::map<std::string, std::string> noms, macs, netbios;
    std::atomic<int> requetesNetBIOS{0};
    std::atomic<bool>* arreterApres = nullptr;  // set by the sweep after its first answer

    void Balayer(const std::vector<std::string>& adresses,
                 const std::function<void(std::size_t, bool)>& surReponse,
                 const std::atomic<bool>& arret) override {
        for (size_t i = 0; i < adresses.size() && !arret; ++i) {
            surReponse(i, vivants.count(adresses[i]) > 0);
            if (arreterApres && vivants.count(adresses[i])) *arreterApres = true;
        }
    }
    std::string NomInverse(const std::string& a) override { return Valeur(noms, a); }
    std::string MacVoisin(const std::string& a) override { return Valeur(macs, a); }
    void NetBIOS(const std::string& a, std::string& nom, std::string& mac) override {
        ++requetesNetBIOS;
        nom = Valeur(netbios, a);
        mac = nom.empty() ? "" : "00-1A-2B-00-00-01";
    }
    std::string Fabricant(const std::string& mac) override { return "Fab " + mac.substr(0, 8); }

  private:
    std::string Valeur(const std::map<std::string, std::string>& table, const std::string& a) {
        std::lock_guard<std::mutex> garde(m_verrou);
        const auto t = table.find(a);
        return t == table.end() ? std::string() : t->second;
    }
    std::mutex m_verrou;
};

TEST(Decouverte, HostsAreReportedThenDescribedFromDnsNeighboursAndNetBIOS) {
    FaussesSondes sondes;
    sondes.vivants = {"127.0.0.2", "127.0.0.4", "127.0.0.6"};
    sondes.noms = {{"127.0.0.2", "routeur.maison"}};
    sondes.macs = {{"127.0.0.2", "08-00-27-00-00-02"}, {"127.0.0.6", "08-00-27-00-00-06"}};
    sondes.netbios = {{"127.0.0.4", "PC-BUREAU"}, {"127.0.0.6", "NAS"}};
    std::vector<HoteDecouvert> hotes;
    std::vector<std::pair<size_t, size_t>> etapes;
    SuiviDecouverte suivi;
    suivi.surHote = [&](const HoteDecouvert& h) { hotes.push_back(h); };
    suivi.surProgression = [&](size_t f, size_t t) { etapes.emplace_back(f, t); };
    std::vector<std::pair<size_t, size_t>> descriptions;
    suivi.surDescription = [&](size_t f, size_t t) { descriptions.emplace_back(f, t); };
    std::atomic<bool> arret{false};
    Decouvrir(AdressesDePlage({0x7F000000, 29}), sondes, suivi, arret, 3);

    ASSERT_EQ(hotes.size(), 6u);
    std::map<std::string, HoteDecouvert> decrits;
    for (size_t i = 0; i < 3; ++i) EXPECT_FALSE(hotes[i].decrit);
    for (size_t i = 3; i < 6; ++i) decrits[hotes[i].adresse] = hotes[i];
    EXPECT_EQ(decrits["127.0.0.2"].nom, "routeur.maison");
    EXPECT_EQ(decrits["127.0.0.2"].mac, "08-00-27-00-00-02");
    EXPECT_EQ(decrits["127.0.0.2"].fabricant, "Fab 08-00-27");
    EXPECT_EQ(decrits["127.0.0.4"].nom, "PC-BUREAU");
    EXPECT_EQ(decrits["127.0.0.4"].mac, "00-1A-2B-00-00-01");
    EXPECT_EQ(decrits["127.0.0.6"].nom, "NAS");
    EXPECT_EQ(decrits["127.0.0.6"].mac, "08-00-27-00-00-06");  // the neighbour table wins
    EXPECT_EQ(sondes.requetesNetBIOS, 2);  // not for the host DNS and neighbours described
    // Each phase counts on its own: the sweep of the six addresses, then the look-ups of the
    // three hosts that answered, announced before the first one.
    ASSERT_EQ(etapes.size(), 6u);
    EXPECT_EQ(etapes.back(), std::make_pair(size_t(6), size_t(6)));
    using P = std::pair<size_t, size_t>;
    EXPECT_EQ(descriptions, (std::vector<P>{P(0, 3), P(1, 3), P(2, 3), P(3, 3)}));
}

TEST(Decouverte, AStopEndsTheSweepAndDescribesNothingMore) {
    FaussesSondes sondes;
    sondes.vivants = {"127.0.0.2", "127.0.0.4"};
    std::atomic<bool> arret{false};
    sondes.arreterApres = &arret;
    std::vector<HoteDecouvert> hotes;
    SuiviDecouverte suivi;
    suivi.surHote = [&](const HoteDecouvert& h) { hotes.push_back(h); };
    Decouvrir(AdressesDePlage({0x7F000000, 29}), sondes, suivi, arret);
    ASSERT_EQ(hotes.size(), 1u);
    EXPECT_EQ(hotes[0].adresse, "127.0.0.2");
    EXPECT_FALSE(hotes[0].decrit);
    EXPECT_EQ(sondes.requetesNetBIOS, 0);
}

TEST(Decouverte, ReverseNameOfLoopbackAndOfNothing) {
    EXPECT_FALSE(NomInverse("127.0.0.1").empty());  // /etc/hosts names it
    EXPECT_EQ(NomInverse("not an address"), "");
}

}  // namespace
}  // namespace velmora::net
