// Probes: parsers of the system tables and of NetBIOS answers, then ping, MAC lookup and local
// address against loopback and hosts in network namespaces made by the test.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/net/Decouverte.h"
#include "common/net/Outil.h"
#include "common/net/Sondes.h"
#include "common/net/SondesInterne.h"
#include "test_net_hotes.h"

namespace velmora::net {
namespace {

constexpr long long kTempoMs = 300;
// The wait of a ping that must end before it: by an answer or a router's refusal.
constexpr long long kAttenteLongueMs = 10000;

TEST(Sondes, DefaultRouteOfLowestMetricWinsAndDownRoutesAreIgnored) {
    const std::string table =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "eth0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
        "eth0\t0001A8C0\t00000000\t0001\t0\t0\t600\t00FFFFFF\t0\t0\t0\n"
        "wlan0\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
        "tun0\t00000000\t00000000\t0000\t0\t0\t5\t00000000\t0\t0\t0\n"
        "eth1\t00000000\t0200000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n";
    std::uint32_t passerelle = 0;
    EXPECT_EQ(InterfaceRouteParDefaut(table, &passerelle), "wlan0");
    EXPECT_EQ(passerelle, 0x0100000Au);
    EXPECT_EQ(InterfaceRouteParDefaut("Iface\tDestination\n", nullptr), "");
    EXPECT_EQ(InterfaceRouteParDefaut("", nullptr), "");
}

TEST(Sondes, NeighbourTableGivesCompleteEntriesOnly) {
    const std::string table =
        "IP address       HW type     Flags       HW address            Mask     Device\n"
        "192.168.1.1      0x1         0x2         a4:2b:b0:0c:1d:ef     *        eth0\n"
        "192.168.1.7      0x1         0x0         00:00:00:00:00:00     *        eth0\n"
        "192.168.1.10     0x1         0x2         00:1a:2b:3c:4d:5e     *        eth0\n";
    EXPECT_EQ(MacDepuisTableVoisins(table, "192.168.1.1"), "A4-2B-B0-0C-1D-EF");
    EXPECT_EQ(MacDepuisTableVoisins(table, "192.168.1.7"), "");
    EXPECT_EQ(MacDepuisTableVoisins(table, "192.168.1.100"), "");
    EXPECT_EQ(MacDepuisTableVoisins(table, "192.168.1.10"), "00-1A-2B-3C-4D-5E");
}

// A node-status answer for transaction `id` with `noms` names and the given unit id.
std::string ReponseNodeStatus(std::uint16_t id, int noms, const std::string& unite) {
    std::string r;
    r += static_cast<char>(id >> 8);
    r += static_cast<char>(id & 0xFF);
    r += std::string("\x84\x00\x00\x00\x00\x01\x00\x00\x00\x00", 10);
    r += RequeteNodeStatus(id).substr(12, 34);  // the same encoded name
    r += std::string("\x00\x21\x00\x01\x00\x00\x00\x00", 8);
    const size_t longueur = 1 + noms * 18 + 6 + 40;
    r += static_cast<char>(longueur >> 8);
    r += static_cast<char>(longueur & 0xFF);
    r += static_cast<char>(noms);
    for (int i = 0; i < noms; ++i) r += std::string("WORKSTATION    \x00\x04\x00", 18);
    r += unite;
    r += std::string(40, '\0');  // statistics
    return r;
}

TEST(Sondes, NodeStatusAnswerIsParsedAndCheckedSafely) {
    const std::string unite("\x00\x1A\x2B\x3C\x4D\x5E", 6);
    EXPECT_EQ(RequeteNodeStatus(7).size(), 50u);
    EXPECT_EQ(MacDepuisNodeStatus(ReponseNodeStatus(7, 3, unite), 7), "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(MacDepuisNodeStatus(ReponseNodeStatus(7, 3, unite), 8), "");
    EXPECT_EQ(MacDepuisNodeStatus(ReponseNodeStatus(7, 2, std::string(6, '\0')), 7), "");
    const std::string complete = ReponseNodeStatus(7, 200, unite);  // names run past the end
    for (size_t n = 0; n < complete.size(); n += 7)
        EXPECT_EQ(MacDepuisNodeStatus(complete.substr(0, n), 7), "");
    EXPECT_EQ(MacDepuisNodeStatus(ReponseNodeStatus(7, 1, unite).substr(0, 70), 7), "");
}

// A node-status responder of our own on a socket, answering every query with `unite`.
class RepondeurNetBIOS {
  public:
    RepondeurNetBIOS(int fd, const char* adresse, uint16_t port, std::string unite)
        : m_fd(fd), m_unite(std::move(unite)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        ::inet_pton(AF_INET, adresse, &a.sin_addr);
        m_pret = ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        socklen_t n = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &n);
        m_port = ntohs(a.sin_port);
        m_fil = std::thread([this] { Boucle(); });
    }
    ~RepondeurNetBIOS() {
        m_fin = true;
        m_fil.join();
        ::close(m_fd);
    }
    bool Pret() const { return m_pret; }
    uint16_t Port() const { return m_port; }
    int Requetes() const { return m_requetes; }

  private:
    void Boucle() {
        while (!m_fin) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            char tampon[1500];
            sockaddr_in source{};
            socklen_t n = sizeof source;
            const ssize_t r = ::recvfrom(m_fd, tampon, sizeof tampon, 0,
                                         reinterpret_cast<sockaddr*>(&source), &n);
            if (r < 50) continue;
            ++m_requetes;
            const auto id = static_cast<std::uint16_t>((static_cast<uint8_t>(tampon[0]) << 8) |
                                                       static_cast<uint8_t>(tampon[1]));
            const std::string reponse = ReponseNodeStatus(id, 2, m_unite);
            ::sendto(m_fd, reponse.data(), reponse.size(), 0, reinterpret_cast<sockaddr*>(&source),
                     n);
        }
    }
    int m_fd;
    std::string m_unite;
    bool m_pret = false;
    uint16_t m_port = 0;
    std::atomic<bool> m_fin{false};
    std::atomic<int> m_requetes{0};
    std::thread m_fil;
};

TEST(Sondes, NetBIOSQueryOnLoopbackGetsTheUnitIdOrNothing) {
    RepondeurNetBIOS repondeur(::socket(AF_INET, SOCK_DGRAM, 0), "127.0.0.1", 0,
                               std::string("\x00\x1A\x2B\x3C\x4D\x5E", 6));
    ASSERT_TRUE(repondeur.Pret());
    EXPECT_EQ(InterrogerNetBIOS("127.0.0.1", repondeur.Port(), 500, 2), "00-1A-2B-3C-4D-5E");
    std::string nom;
    EXPECT_EQ(InterrogerNetBIOS("127.0.0.1", repondeur.Port(), 500, 2, &nom), "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(nom, "WORKSTATION");
    RepondeurNetBIOS inconnu(::socket(AF_INET, SOCK_DGRAM, 0), "127.0.0.1", 0,
                             std::string(6, '\0'));
    EXPECT_EQ(InterrogerNetBIOS("127.0.0.1", inconnu.Port(), 500, 2), "");
    EXPECT_EQ(InterrogerNetBIOS("not an address", inconnu.Port(), 500, 2), "");
}

TEST(Sondes, ResolvesLocalNames) {
    std::string adresse;
    ASSERT_TRUE(ResoudreNom("localhost", adresse));
    EXPECT_EQ(adresse, "127.0.0.1");
    EXPECT_FALSE(ResoudreNom("", adresse));
}

TEST(Pinger, LoopbackAnswersWithItsOwnAddressAlsoByName) {
    ASSERT_TRUE(MethodePingDisponible());
    std::string reponse;
    ASSERT_TRUE(Pinger("127.0.0.1", reponse, kTempoMs));
    EXPECT_EQ(reponse, "127.0.0.1");
    reponse.clear();
    ASSERT_TRUE(Pinger("localhost", reponse, kTempoMs));
    EXPECT_EQ(reponse, "127.0.0.1");
}

class SondesEspaces : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!m_espaces.Pret()) VELMORA_PAIR_INDISPONIBLE(m_espaces.Raison());
    }
    // Runs `travail` from the client namespace.
    void DansA(const std::function<void()>& travail) {
        ASSERT_TRUE(test::Espaces::Executer(m_espaces.A(), travail));
    }
    test::Espaces m_espaces;
};

TEST_F(SondesEspaces, EveryPingMethodTellsAnswerSilenceAndRouterRefusal) {
    // Let the datagram method be used by root too, inside the client namespace only.
    ASSERT_TRUE(
        test::Espaces::Dans(m_espaces.A(), "sysctl -w net.ipv4.ping_group_range='0 2147483647'"));
    for (MethodePing methode :
         {MethodePing::DatagrammeICMP, MethodePing::SocketBrut, MethodePing::OutilPing}) {
        SCOPED_TRACE(static_cast<int>(methode));
        bool hote = false, boucle = false, silence = true, routeur = true;
        std::string reponse, autre = "unchanged";
        // An answer or a refusal ends a ping at once: a long wait costs nothing when the code
        // is right, and keeps a loaded machine (a ping tool slow to start) from failing it.
        DansA([&] {
            hote = Pinger("198.18.0.2", reponse, kAttenteLongueMs, methode);
            boucle = Pinger("127.0.0.1", autre, kAttenteLongueMs, methode);
            silence = Pinger("198.18.0.77", autre, kTempoMs, methode);
            // The ping tool waits its whole time after a refusal.
            routeur =
                Pinger("198.18.9.5", autre,
                       methode == MethodePing::OutilPing ? kTempoMs : kAttenteLongueMs, methode);
        });
        EXPECT_TRUE(hote);
        EXPECT_EQ(reponse, "198.18.0.2");
        EXPECT_TRUE(boucle);
        EXPECT_FALSE(silence);
        EXPECT_FALSE(routeur);
        EXPECT_EQ(autre, "127.0.0.1");
    }
}

// Many pings at once: a raw socket sees every ICMP error of the host, so another target's
// "unreachable" must never end a ping to a live host, nor a reply count for a dead one.
TEST_F(SondesEspaces, ConcurrentPingsKeepTheirOwnAnswers) {
    ASSERT_TRUE(
        test::Espaces::Dans(m_espaces.A(), "sysctl -w net.ipv4.ping_group_range='0 2147483647'"));
    // B answers every "unreachable" at once, without its usual rate limit.
    ASSERT_TRUE(test::Espaces::Dans(m_espaces.B(), "sysctl -w net.ipv4.icmp_ratelimit=0"));
    ASSERT_TRUE(test::Espaces::Dans(m_espaces.B(), "sysctl -w net.ipv4.icmp_msgs_per_sec=100000"));
    test::HotesLents lents(m_espaces.B(), 200);
    ASSERT_TRUE(lents.Pret()) << "no TUN device for the slow hosts";
    constexpr int kParMoitie = 32;
    for (MethodePing methode :
         {MethodePing::DatagrammeICMP, MethodePing::SocketBrut, MethodePing::OutilPing}) {
        SCOPED_TRACE(static_cast<int>(methode));
        std::vector<std::thread> fils;
        std::vector<int> vivants(kParMoitie, -1), morts(kParMoitie, -1);
        for (int i = 0; i < kParMoitie; ++i) {
            for (bool vivant : {true, false}) {
                fils.emplace_back([&, i, vivant] {
                    const std::string cible =
                        (vivant ? "198.18.5." : "198.18.9.") + std::to_string(i + 1);
                    test::Espaces::Executer(m_espaces.A(), [&] {
                        std::string reponse;
                        (vivant ? vivants : morts)[i] =
                            Pinger(cible, reponse, vivant ? kAttenteLongueMs : 2000, methode);
                    });
                });
            }
        }
        for (auto& f : fils) f.join();
        int vivantsVus = 0, mortsVus = 0;
        for (int i = 0; i < kParMoitie; ++i) {
            vivantsVus += vivants[i] == 1;
            mortsVus += morts[i] == 1;
        }
        EXPECT_EQ(vivantsVus, kParMoitie) << "live hosts seen alive";
        EXPECT_EQ(mortsVus, 0) << "unreachable hosts seen alive";
    }
}

TEST_F(SondesEspaces, MacOfTheHostComesFromTheNeighbourTable) {
    std::string mac, reponse;
    DansA([&] {
        Pinger("198.18.0.2", reponse, kTempoMs);
        mac = ChercherAdresseMAC("198.18.0.2");
    });
    EXPECT_EQ(mac, "02-00-00-00-0B-02");
}

TEST_F(SondesEspaces, TheOwnAddressGivesTheMacOfItsInterface) {
    std::string propre = "unset", boucle = "unset", autre = "unset";
    DansA([&] {
        propre = MacInterfaceLocale("198.18.0.1");
        boucle = MacInterfaceLocale("127.0.0.1");
        autre = MacInterfaceLocale("198.18.0.2");
    });
    EXPECT_EQ(propre, "02-00-00-00-0A-01");
    EXPECT_EQ(boucle, "");
    EXPECT_EQ(autre, "");
    std::unique_ptr<SondesDecouverte> sondes = CreerSondesDecouverte();
    std::string mac;
    DansA([&] { mac = sondes->MacVoisin("198.18.0.1"); });
    EXPECT_EQ(mac, "02-00-00-00-0A-01") << "discovery lists this machine with its own MAC";
}

TEST_F(SondesEspaces, MacComesFromNetBIOSWhenTheNeighbourIsUnknown) {
    RepondeurNetBIOS repondeur(test::Espaces::Socket(m_espaces.B(), SOCK_DGRAM, 0), "198.18.0.2",
                               137, std::string("\x00\x50\x56\x01\x02\x03", 6));
    ASSERT_TRUE(repondeur.Pret());
    std::string mac, absente = "unchanged";
    DansA([&] {
        mac = ChercherAdresseMAC("198.18.0.2");
        absente = ChercherAdresseMAC("198.18.0.77");
    });
    EXPECT_EQ(mac, "00-50-56-01-02-03");
    EXPECT_EQ(absente, "");
}

TEST_F(SondesEspaces, LocalAddressFollowsTheDefaultRouteOfLowestMetric) {
    std::string adresse, masque;
    DansA([&] {
        adresse = AdresseLocale();
        masque = MasqueDeAdresse(adresse);
    });
    EXPECT_EQ(adresse, "198.18.0.1");
    EXPECT_EQ(masque, "255.255.255.0");
    const std::string& a = m_espaces.A();
    ASSERT_TRUE(test::Espaces::Dans(a, "ip link add vc type veth peer name vd") &&
                test::Espaces::Dans(a, "ip addr add 198.19.5.1/16 dev vc") &&
                test::Espaces::Dans(a, "ip link set vd up") &&
                test::Espaces::Dans(a, "ip link set vc up") &&
                test::Espaces::Dans(a, "ip route add default dev vc metric 100"));
    DansA([&] {
        adresse = AdresseLocale();
        masque = MasqueDeAdresse(adresse);
    });
    EXPECT_EQ(adresse, "198.19.5.1");
    EXPECT_EQ(masque, "255.255.0.0");
    DansA([&] { masque = MasqueDeAdresse("198.18.0.99"); });
    EXPECT_EQ(masque, "");
}

// Drops CAP_NET_RAW from the calling thread only (capabilities are per thread).
bool RetirerSocketBrut() {
    __user_cap_header_struct entete{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct donnees[2] = {};
    if (::syscall(SYS_capget, &entete, donnees) != 0) return false;
    donnees[CAP_NET_RAW / 32].effective &= ~(1u << (CAP_NET_RAW % 32));
    return ::syscall(SYS_capset, &entete, donnees) == 0;
}

TEST_F(SondesEspaces, WithoutAnyPingMethodTheProbeSaysSoAndAnswersFalse) {
    ASSERT_TRUE(test::Espaces::Dans(m_espaces.A(), "sysctl -w net.ipv4.ping_group_range='1 0'"));
    MethodePing avec = MethodePing::Aucune, sans = MethodePing::DatagrammeICMP;
    bool repondu = true;
    std::string reponse;
    DansA([&] {
        avec = MethodePingChoisie();
        if (!RetirerSocketBrut()) return;
        DefinirCheminOutil("ping", "/nonexistent/ping");
        sans = MethodePingChoisie();
        repondu = Pinger("198.18.0.2", reponse, kTempoMs);
        DefinirCheminOutil("ping", "");
    });
    EXPECT_EQ(avec, MethodePing::SocketBrut);
    EXPECT_EQ(sans, MethodePing::Aucune);
    EXPECT_FALSE(repondu);
}

}  // namespace
}  // namespace velmora::net
