// Network sweep: reply parsing against hostile bytes, then whole sweeps from a client namespace
// against live, silent and refused hosts made by the test, by both socket kinds.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/config/Config.h"
#include "common/net/Balayage.h"
#include "common/net/BalayageInterne.h"
#include "test_net_hotes.h"

namespace velmora::net {
namespace {

// An IPv4 header (20 bytes, protocol ICMP) from `source` to `destination`.
std::vector<std::uint8_t> EnteteIP(const char* source, const char* destination) {
    std::vector<std::uint8_t> p(20, 0);
    p[0] = 0x45;
    p[9] = IPPROTO_ICMP;
    ::inet_pton(AF_INET, source, p.data() + 12);
    ::inet_pton(AF_INET, destination, p.data() + 16);
    return p;
}

std::vector<std::uint8_t> Icmp(std::uint8_t type, std::uint16_t id, std::uint16_t sequence) {
    return {type,
            0,
            0,
            0,
            std::uint8_t(id >> 8),
            std::uint8_t(id),
            std::uint8_t(sequence >> 8),
            std::uint8_t(sequence)};
}

template <typename... T>
std::vector<std::uint8_t> Joindre(const T&... morceaux) {
    std::vector<std::uint8_t> tout;
    (tout.insert(tout.end(), morceaux.begin(), morceaux.end()), ...);
    return tout;
}

TEST(BalayageAnalyse, RawRepliesAndQuotedErrorsAreMatchedByIdAndSequence) {
    const auto reponse = Joindre(EnteteIP("10.0.0.5", "10.0.0.1"), Icmp(0, 0x1234, 77));
    ReponseIcmp r = AnalyserReponseBrute(reponse.data(), reponse.size(), 0x1234);
    EXPECT_EQ(r.sequence, 77);
    EXPECT_FALSE(r.erreur);
    EXPECT_EQ(AnalyserReponseBrute(reponse.data(), reponse.size(), 0x1235).sequence, -1);

    // A router's "unreachable" quoting our request to 10.0.0.9.
    const auto erreur = Joindre(EnteteIP("10.0.0.254", "10.0.0.1"), Icmp(3, 0, 0),
                                EnteteIP("10.0.0.1", "10.0.0.9"), Icmp(8, 0x1234, 300));
    r = AnalyserReponseBrute(erreur.data(), erreur.size(), 0x1234);
    EXPECT_EQ(r.sequence, 300);
    EXPECT_TRUE(r.erreur);
    char texte[INET_ADDRSTRLEN];
    in_addr cible{r.cible};
    EXPECT_STREQ(::inet_ntop(AF_INET, &cible, texte, sizeof texte), "10.0.0.9");
    // Someone else's request, or an echo request (our own seen on loopback), is not ours.
    EXPECT_EQ(AnalyserReponseBrute(erreur.data(), erreur.size(), 0x4321).sequence, -1);
    const auto requete = Joindre(EnteteIP("10.0.0.1", "10.0.0.5"), Icmp(8, 0x1234, 77));
    EXPECT_EQ(AnalyserReponseBrute(requete.data(), requete.size(), 0x1234).sequence, -1);

    const auto datagramme = Icmp(0, 0, 9);
    EXPECT_EQ(AnalyserReponseDatagramme(datagramme.data(), 8).sequence, 9);
    EXPECT_EQ(AnalyserReponseDatagramme(datagramme.data(), 7).sequence, -1);
}

TEST(BalayageAnalyse, TruncatedAndRandomBytesAreNeverTakenForAnAnswer) {
    const auto erreur = Joindre(EnteteIP("10.0.0.254", "10.0.0.1"), Icmp(3, 0, 0),
                                EnteteIP("10.0.0.1", "10.0.0.9"), Icmp(8, 0x1234, 300));
    for (std::size_t n = 0; n < erreur.size(); ++n)
        EXPECT_EQ(AnalyserReponseBrute(erreur.data(), n, 0x1234).sequence, -1) << n;
    auto faux = erreur;
    faux[20 + 8] = 0x4F;  // a quoted header claiming 60 bytes
    EXPECT_EQ(AnalyserReponseBrute(faux.data(), faux.size(), 0x1234).sequence, -1);
    // Random datagrams shaped like answers (plausible headers, our identifier, every ICMP type
    // that matters, any length): each is taken for an answer exactly when it is one, with the
    // sequence it carries, and never read past its length.
    auto attendu = [](const std::vector<std::uint8_t>& d, std::size_t n) {
        auto lire16 = [&](std::size_t i) { return d[i] << 8 | d[i + 1]; };
        if (n < 20 || d[0] >> 4 != 4) return -1;
        const std::size_t h = (d[0] & 15) * 4u;
        if (h < 20 || n < h + 8) return -1;
        if (d[h] == 0) return lire16(h + 4) == 0x1234 ? lire16(h + 6) : -1;
        if (d[h] != 3 && d[h] != 11) return -1;  // other ICMP errors end nothing
        const std::size_t c = h + 8;
        if (n < c + 20 || d[c] >> 4 != 4) return -1;
        const std::size_t hc = (d[c] & 15) * 4u;
        if (hc < 20 || n < c + hc + 8 || d[c + 9] != 1) return -1;
        const std::size_t q = c + hc;
        return d[q] == 8 && lire16(q + 4) == 0x1234 ? lire16(q + 6) : -1;
    };
    std::mt19937 alea(7);
    int reponses = 0, erreurs = 0;
    for (int essai = 0; essai < 20000; ++essai) {
        std::vector<std::uint8_t> octets(alea() % 90);
        for (auto& o : octets) o = static_cast<std::uint8_t>(alea());
        auto placer = [&](std::size_t i, std::uint8_t v) {
            if (i < octets.size() && alea() % 8 != 0) octets[i] = v;
        };
        const std::uint8_t types[] = {0, 3, 8, 11, 12, 5};
        placer(0, static_cast<std::uint8_t>(0x45 + (alea() % 4 == 0 ? alea() % 3 : 0)));
        const std::size_t h = octets.empty() ? 20 : (octets[0] & 15) * 4u;
        placer(h, types[alea() % 6]);
        placer(h + 4, 0x12);
        placer(h + 5, 0x34);
        placer(h + 8, 0x45);
        placer(h + 8 + 9, 1);
        placer(h + 28, 8);
        placer(h + 32, 0x12);
        placer(h + 33, 0x34);
        const std::size_t n = octets.size();
        // A copy of exactly n bytes: AddressSanitizer reports any read past it.
        const std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[n ? n : 1]);
        std::copy(octets.begin(), octets.end(), exact.get());
        const ReponseIcmp r = AnalyserReponseBrute(exact.get(), n, 0x1234);
        ASSERT_EQ(r.sequence, attendu(octets, n)) << essai;
        if (r.sequence >= 0) ++(r.erreur ? erreurs : reponses);
    }
    // The shapes above do reach both kinds of answer.
    EXPECT_GT(reponses, 100);
    EXPECT_GT(erreurs, 100);
}

// The client namespace A sweeps; B answers for 198.18.0.2 and, as a router, for the addresses
// of 198.18.16.0/24 that the test puts on its loopback, drops the rest of 198.18.16.0/20 and
// refuses 198.18.10.0/24.
class Balayage : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!m_espaces.Pret()) GTEST_SKIP() << m_espaces.Raison();
        ASSERT_TRUE(A("sysctl -w net.ipv4.ping_group_range='0 2147483647'"));
        ASSERT_TRUE(B("ip route add blackhole 198.18.16.0/20"));
        // B refuses 198.18.10.0/24 with "host unreachable", every time (a router limits its
        // refusals to a few per second by default).
        ASSERT_TRUE(B("sysctl -w net.ipv4.icmp_ratemask=0"));
        ASSERT_TRUE(B("ip link add muet type veth peer name muet2") && B("ip link set muet up") &&
                    B("ip route add 198.18.10.0/24 dev muet"));
        ASSERT_TRUE(B("nft add table ip filtre"));
        ASSERT_TRUE(
            B("nft add chain ip filtre transit '{ type filter hook forward priority 0; }'"));
        ASSERT_TRUE(
            B("nft add rule ip filtre transit ip daddr 198.18.10.0/24 reject with icmp type "
              "host-unreachable"));
        for (int i = 1; i <= 8; ++i) ASSERT_TRUE(Vivant("198.18.16." + std::to_string(i)));
    }
    bool A(const std::string& ligne) { return test::Espaces::Dans(m_espaces.A(), ligne); }
    bool B(const std::string& ligne) { return test::Espaces::Dans(m_espaces.B(), ligne); }
    bool Vivant(const std::string& adresse) { return B("ip addr add " + adresse + "/32 dev lo"); }

    struct Resultat {
        bool fini = false;
        std::map<std::size_t, ReponseBalayage> reponses;
        int doublons = 0;
    };
    // Sweeps `cibles` from A; `apres` is called after each verdict (to stop the sweep).
    // `cpu` >= 0 keeps the sweeping thread on that CPU.
    Resultat Balayer(const std::vector<std::string>& cibles, const OptionsBalayage& options,
                     std::atomic<bool>* arret = nullptr,
                     const std::function<void(const Resultat&)>& apres = nullptr, int cpu = -1) {
        Resultat r;
        EXPECT_TRUE(test::Espaces::Executer(m_espaces.A(), [&] {
            if (cpu >= 0) {
                cpu_set_t ensemble;
                CPU_ZERO(&ensemble);
                CPU_SET(cpu, &ensemble);
                ::sched_setaffinity(0, sizeof ensemble, &ensemble);
            }
            r.fini = net::Balayer(
                cibles,
                [&](const ReponseBalayage& reponse) {
                    if (!r.reponses.emplace(reponse.index, reponse).second) ++r.doublons;
                    if (apres) apres(r);
                },
                arret, options);
        }));
        return r;
    }
    test::Espaces m_espaces;
};

std::string Adresse(const char* prefixe, int i) { return prefixe + std::to_string(i); }

TEST_F(Balayage, SixtyFourRowsLiveSilentRefusedAndNamesByBothSocketKinds) {
    // 0: the host, 1: loopback by name, 2: a name that cannot resolve, 3-10: live behind the
    // router, 11-20: refused by the router, 21-40: silent on the link, 41-63: dropped.
    std::vector<std::string> cibles = {"198.18.0.2", "localhost", std::string(64, 'x') + ".test"};
    for (int i = 1; i <= 8; ++i) cibles.push_back(Adresse("198.18.16.", i));
    for (int i = 1; i <= 10; ++i) cibles.push_back(Adresse("198.18.10.", i));
    for (int i = 100; i < 120; ++i) cibles.push_back(Adresse("198.18.0.", i));
    for (int i = 1; i <= 23; ++i) cibles.push_back(Adresse("198.18.17.", i));
    ASSERT_EQ(cibles.size(), 64u);

    for (MethodePing methode : {MethodePing::DatagrammeICMP, MethodePing::SocketBrut}) {
        SCOPED_TRACE(static_cast<int>(methode));
        OptionsBalayage options;
        options.tempoMs = 2000;  // long, so that a refusal is seen to end its row early
        options.methode = methode;
        options.rafale = 16;
        const Resultat r = Balayer(cibles, options);
        EXPECT_TRUE(r.fini);
        EXPECT_EQ(r.doublons, 0);
        ASSERT_EQ(r.reponses.size(), cibles.size());
        for (std::size_t i = 0; i < cibles.size(); ++i) {
            const ReponseBalayage& rep = r.reponses.at(i);
            EXPECT_EQ(rep.repondu, i <= 1 || (i >= 3 && i <= 10)) << cibles[i];
            if (i >= 11 && i <= 20) {
                EXPECT_LT(rep.delaiMs, 1000) << cibles[i];
            }
            if (i >= 41) {  // silence on the link may end early: the kernel reports failed ARP
                EXPECT_GE(rep.delaiMs, 2000) << cibles[i];
            }
        }
        EXPECT_EQ(r.reponses.at(0).adresse, "198.18.0.2");
        EXPECT_EQ(r.reponses.at(1).adresse, "127.0.0.1");
        EXPECT_EQ(r.reponses.at(2).adresse, "");
    }
}

TEST_F(Balayage, AThousandRowsAcrossTheRouterGetTheirOwnVerdicts) {
    std::vector<std::string> cibles;
    std::map<std::size_t, bool> attendu;
    for (int i = 0; cibles.size() < 1000; ++i) {
        const std::string adresse =
            Adresse("198.18.", 16 + i / 250) + "." + std::to_string(i % 250 + 1);
        cibles.push_back(adresse);
    }
    // Ten more live hosts scattered over the dropped range, and one row twice.
    for (int i : {100, 260, 399, 512, 640, 777, 850, 901, 950, 999}) {
        ASSERT_TRUE(Vivant(cibles[i]));
        attendu[i] = true;
    }
    for (int i = 0; i < 8; ++i) attendu[i] = true;  // 198.18.16.1-8
    cibles[998] = cibles[0];
    attendu[998] = true;

    for (MethodePing methode : {MethodePing::DatagrammeICMP, MethodePing::SocketBrut}) {
        SCOPED_TRACE(static_cast<int>(methode));
        OptionsBalayage options;
        options.tempoMs = 500;
        options.methode = methode;
        const Resultat r = Balayer(cibles, options);
        EXPECT_TRUE(r.fini);
        EXPECT_EQ(r.doublons, 0);
        ASSERT_EQ(r.reponses.size(), cibles.size());
        int vivants = 0;
        for (std::size_t i = 0; i < cibles.size(); ++i) {
            EXPECT_EQ(r.reponses.at(i).repondu, attendu.count(i) > 0) << cibles[i];
            EXPECT_EQ(r.reponses.at(i).adresse, cibles[i]);
            vivants += r.reponses.at(i).repondu;
        }
        EXPECT_EQ(vivants, 19);
    }
}

TEST_F(Balayage, AThousandSilentNeighboursDoNotHideTheLiveHostsAfterThem) {
    // One subnet on the link: each silent address holds a neighbour entry while it is resolved.
    ASSERT_TRUE(A("ip addr add 198.18.4.1/22 dev va"));
    std::vector<std::string> cibles;
    for (int i = 0; i < 1000; ++i)
        cibles.push_back(Adresse("198.18.", 4 + (i + 2) / 256) + "." +
                         std::to_string((i + 2) % 256));
    for (int i : {997, 998, 999}) ASSERT_TRUE(B("ip addr add " + cibles[i] + "/22 dev vb"));
    OptionsBalayage options;
    options.tempoMs = 500;
    const Resultat r = Balayer(cibles, options);
    EXPECT_TRUE(r.fini);
    ASSERT_EQ(r.reponses.size(), cibles.size());
    int vivants = 0;
    for (std::size_t i = 0; i < cibles.size(); ++i) {
        vivants += r.reponses.at(i).repondu;
        // Each silent row had its request sent and waited for it: a send refused for lack of
        // room, or failing with an error left by another row's report, is no verdict.
        if (!r.reponses.at(i).repondu) {
            EXPECT_GE(r.reponses.at(i).delaiMs, 500) << cibles[i];
        }
    }
    EXPECT_EQ(vivants, 3);
    for (int i : {997, 998, 999}) EXPECT_TRUE(r.reponses.at(i).repondu) << cibles[i];
}

// Most rows refused with "host unreachable" while requests still go out, the answers handled
// on the other CPU as a network card spreads them: a send that fails with the error of another
// row's report is tried again, so no live row is called silent without its request leaving.
TEST_F(Balayage, ErrorsOfOtherRowsNeverFailTheSendOfALiveRow) {
    // B holds all of 198.18.64.0/18 and refuses every address but one in eight.
    ASSERT_TRUE(B("ip route add local 198.18.64.0/18 dev lo"));
    ASSERT_TRUE(B("nft add chain ip filtre entree '{ type filter hook input priority 0; }'"));
    ASSERT_TRUE(
        B("nft add rule ip filtre entree ip daddr 198.18.64.0/18 ip daddr and 0.0.0.7 != "
          "0.0.0.5 reject with icmp type host-unreachable"));
    if (std::thread::hardware_concurrency() >= 2) {
        ASSERT_TRUE(A("sh -c 'echo 2 > /sys/class/net/va/queues/rx-0/rps_cpus'"));
    }
    std::vector<std::string> cibles;
    for (int i = 0; i < 8000; ++i)
        cibles.push_back(Adresse("198.18.", 64 + i / 250) + "." + std::to_string(i % 250));
    OptionsBalayage options;
    options.tempoMs = 1000;
    options.methode = MethodePing::DatagrammeICMP;
    for (int tour = 0; tour < 3; ++tour) {
        const Resultat r = Balayer(cibles, options, nullptr, nullptr, /*cpu=*/0);
        ASSERT_EQ(r.reponses.size(), cibles.size());
        int vivants = 0, repondus = 0;
        for (std::size_t i = 0; i < cibles.size(); ++i) {
            const ReponseBalayage& rep = r.reponses.at(i);
            if ((i % 250) % 8 != 5) {
                EXPECT_FALSE(rep.repondu) << cibles[i];
                continue;
            }
            ++vivants;
            repondus += rep.repondu;
            // A reply may be lost on the way (a full backlog queue); a request that never left
            // is the fault.
            if (!rep.repondu) {
                EXPECT_GE(rep.delaiMs, options.tempoMs)
                    << cibles[i] << " called silent without its request leaving, sweep " << tour;
            }
        }
        EXPECT_GE(repondus, vivants * 9 / 10) << "sweep " << tour;
    }
}

TEST(BalayageAnalyse, OnLinkDestinationsAreThoseOfARouteWithoutGateway) {
    const std::string table =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "eth0\t00000000\t0100A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
        "eth0\t0000A8C0\t00000000\t0001\t0\t0\t100\t0000FFFF\t0\t0\t0\n"
        "eth0\t0005A8C0\t0200A8C0\t0003\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
        "eth0\t0006A8C0\t00000000\t0201\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
        "lo\t0000007F\t00000000\t0001\t0\t0\t0\t000000FF\t0\t0\t0\n"
        "eth1\t000010AC\t00000000\t0000\t0\t0\t0\t0000F0FF\t0\t0\t0\n";
    auto surLien = [&](const char* texte) {
        in_addr a{};
        ::inet_pton(AF_INET, texte, &a);
        return DestinationSurLien(table, a.s_addr);
    };
    EXPECT_TRUE(surLien("192.168.1.20"));   // the /16 of eth0
    EXPECT_FALSE(surLien("192.168.5.20"));  // a more specific route through a gateway
    EXPECT_FALSE(surLien("192.168.6.20"));  // a reject route
    EXPECT_FALSE(surLien("8.8.8.8"));       // the default route
    EXPECT_FALSE(surLien("127.0.0.1"));
    EXPECT_FALSE(surLien("172.16.0.1"));  // a route that is down
    EXPECT_FALSE(DestinationSurLien("", 0x0100A8C0));
}

TEST(BalayageAnalyse, ThePaceOfOnLinkRequestsIsASetting) {
    const std::string fichier =
        ::testing::TempDir() + "cadence-" + std::to_string(::getpid()) + ".ini";
    for (const auto& [ligne, attendu] :
         std::vector<std::pair<std::string, long long>>{{"", 2000},
                                                        {"CadenceBalayageLien=500\n", 500},
                                                        {"CadenceBalayageLien=0\n", 0},
                                                        {"CadenceBalayageLien=-7\n", 0},
                                                        {"CadenceBalayageLien=abc\n", 2000}}) {
        std::ofstream(fichier) << "[Config]\n" << ligne;
        EXPECT_EQ(ReglagesDemarrage::Lire(fichier, false).cadenceBalayageLien, attendu) << ligne;
    }
    std::remove(fichier.c_str());
}

// Requests to the machine's own link leave at most at the paced rate (each is an ARP broadcast);
// requests behind the router are not held back by them.
TEST_F(Balayage, OnLinkRequestsArePacedAndRoutedOnesAreNot) {
    ASSERT_TRUE(A("ip addr add 198.18.4.1/22 dev va"));
    std::vector<std::string> cibles;
    for (int i = 0; i < 600; ++i)
        cibles.push_back(Adresse("198.18.", 4 + (i + 2) / 256) + "." +
                         std::to_string((i + 2) % 256));
    for (int i = 1; i <= 8; ++i) cibles.push_back(Adresse("198.18.16.", i));  // behind the router
    OptionsBalayage options;
    options.tempoMs = 100;
    options.cadenceSurLien = 2000;
    std::map<std::size_t, std::chrono::steady_clock::time_point> quand;
    const auto debut = std::chrono::steady_clock::now();
    const Resultat r = Balayer(cibles, options, nullptr, [&](const Resultat& courant) {
        for (const auto& [i, reponse] : courant.reponses)
            quand.emplace(i, std::chrono::steady_clock::now());
    });
    ASSERT_EQ(r.reponses.size(), cibles.size());
    // 600 requests at 2,000 a second take at least 0.3 s to leave (less 10 ms of tokens).
    const auto dernier = quand.at(599);
    EXPECT_GE(dernier - debut, std::chrono::milliseconds(280));
    for (int i = 600; i < 608; ++i) {
        EXPECT_TRUE(r.reponses.at(i).repondu) << cibles[i];
        EXPECT_LT(quand.at(i), dernier) << "a routed row waited for the on-link ones";
    }
}

TEST_F(Balayage, AStopHalfwaySendsNothingMoreAndKeepsTheVerdictsGiven) {
    std::vector<std::string> cibles;
    for (int i = 0; i < 1000; ++i)
        cibles.push_back(Adresse("198.18.", 20 + i / 250) + "." + std::to_string(i % 250 + 1));
    OptionsBalayage options;
    options.tempoMs = 100;
    options.enVolMax = 100;  // ten waves of silence: the stop falls in the middle
    std::atomic<bool> arret{false};
    const long long avant = test::CompteurIcmp(m_espaces.A(), "OutEchos");
    const Resultat r = Balayer(cibles, options, &arret, [&](const Resultat& courant) {
        if (courant.reponses.size() == 450) arret = true;
    });
    EXPECT_FALSE(r.fini);
    EXPECT_EQ(r.doublons, 0);
    EXPECT_GE(r.reponses.size(), 450u);
    EXPECT_LT(r.reponses.size(), 600u);
    const long long arrete = test::CompteurIcmp(m_espaces.A(), "OutEchos");
    EXPECT_LE(arrete - avant, 600);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(test::CompteurIcmp(m_espaces.A(), "OutEchos"), arrete);
}

TEST_F(Balayage, WithoutAnySocketThePingToolDoesTheSweep) {
    ASSERT_TRUE(A("sysctl -w net.ipv4.ping_group_range='1 0'"));
    OptionsBalayage options;
    options.tempoMs = 300;
    options.methode = MethodePing::OutilPing;
    const Resultat r =
        Balayer({"198.18.0.2", "198.18.17.1", "198.18.10.1", "198.18.16.3"}, options);
    EXPECT_TRUE(r.fini);
    ASSERT_EQ(r.reponses.size(), 4u);
    EXPECT_TRUE(r.reponses.at(0).repondu);
    EXPECT_FALSE(r.reponses.at(1).repondu);
    EXPECT_FALSE(r.reponses.at(2).repondu);
    EXPECT_TRUE(r.reponses.at(3).repondu);
}

TEST(BalayageVide, AnEmptyListOrEmptyRowsEndAtOnce) {
    int appels = 0;
    EXPECT_TRUE(Balayer({}, [&](const ReponseBalayage&) { ++appels; }));
    EXPECT_EQ(appels, 0);
    EXPECT_TRUE(Balayer({"", "  "}, [&](const ReponseBalayage& r) { appels += !r.repondu; }));
    EXPECT_EQ(appels, 2);
}

}  // namespace
}  // namespace velmora::net
