// Magic packet: payload, destination rule and the real datagram received on loopback and in a
// network namespace.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "common/config/Programme.h"
#include "common/net/PaquetMagique.h"
#include "common/net/Sondes.h"
#include "test_net_espaces.h"

namespace velmora::net {
namespace {

// A name that never reaches any resolver: its label is longer than DNS allows.
const std::string kNomIrresoluble = std::string(70, 'q') + ".invalid";

// A UDP receiver bound to `adresse` on a free port (or on `port`), closed on destruction.
class Recepteur {
  public:
    explicit Recepteur(int fd, const char* adresse = "127.0.0.1", uint16_t port = 0) : m_fd(fd) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        ::inet_pton(AF_INET, adresse, &a.sin_addr);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t n = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &n);
        m_port = ntohs(a.sin_port);
    }
    Recepteur() : Recepteur(::socket(AF_INET, SOCK_DGRAM, 0)) {}
    ~Recepteur() { ::close(m_fd); }
    uint16_t Port() const { return m_port; }
    // Every datagram that arrives within `attenteMs`.
    std::vector<std::string> Recevoir(int attenteMs = 200) {
        std::vector<std::string> recus;
        pollfd p{m_fd, POLLIN, 0};
        while (::poll(&p, 1, attenteMs) > 0) {
            char tampon[2048];
            const ssize_t r = ::recv(m_fd, tampon, sizeof tampon, 0);
            if (r < 0) break;
            recus.emplace_back(tampon, static_cast<size_t>(r));
            attenteMs = 20;
        }
        return recus;
    }

  private:
    int m_fd;
    uint16_t m_port = 0;
};

std::string PaquetAttendu() {
    std::string p(6, '\xFF');
    for (int i = 0; i < 16; ++i) p += std::string("\x00\x11\x22\xAA\xBB\xCC", 6);
    return p;
}

TEST(PaquetMagique, LoopbackReceiverGetsExactly102BytesForEitherSeparatorAndCase) {
    Recepteur recepteur;
    for (const char* mac : {"00-11-22-AA-bb-CC", "00:11:22:aa:bb:cc", "00:11:22:AA:BB:CC"}) {
        std::string envoi, erreur;
        ASSERT_TRUE(EnvoyerPaquetMagique("127.0.0.1", "255.255.255.255", recepteur.Port(), mac,
                                         envoi, erreur))
            << mac << ": " << erreur;
        EXPECT_EQ(envoi, "127.0.0.1");
        const auto recus = recepteur.Recevoir();
        ASSERT_EQ(recus.size(), 1u) << mac;
        EXPECT_EQ(recus[0].size(), 102u);
        EXPECT_EQ(recus[0], PaquetAttendu()) << mac;
    }
}

TEST(PaquetMagique, UnreadableMacFailsAndSendsNothing) {
    Recepteur recepteur;
    for (const char* mac : {"", "00", "00-11-22-AA-BB", "00-11-22-AA-BB-CC-DD", "00-11-22-AA-BB-GG",
                            "00-11:22-AA-BB-CC", "00-11-22-AA-BB-", "0011-22-AA-BB-CC-DD"}) {
        std::string envoi = "unchanged", erreur;
        EXPECT_FALSE(EnvoyerPaquetMagique("127.0.0.1", "255.255.255.255", recepteur.Port(), mac,
                                          envoi, erreur))
            << mac;
        EXPECT_FALSE(erreur.empty()) << mac;
        EXPECT_EQ(envoi, "unchanged") << mac;
    }
    EXPECT_TRUE(recepteur.Recevoir(100).empty());
}

TEST(PaquetMagique, BadMaskOrPortFailsWithATextAndSendsNothing) {
    Recepteur recepteur;
    for (const char* masque : {"", "255.255.255", "255.255.x.0", "255.255.256.0", "-1.0.0.0"}) {
        std::string envoi, erreur;
        EXPECT_FALSE(EnvoyerPaquetMagique("127.0.0.1", masque, recepteur.Port(),
                                          "00-11-22-33-44-55", envoi, erreur))
            << masque;
        EXPECT_FALSE(erreur.empty());
    }
    std::string envoi, erreur;
    EXPECT_FALSE(EnvoyerPaquetMagique("127.0.0.1", "255.255.255.255", 70000, "00-11-22-33-44-55",
                                      envoi, erreur));
    EXPECT_EQ(envoi, "127.0.0.1");  // computed before the socket step
    EXPECT_TRUE(recepteur.Recevoir(100).empty());
}

TEST(AdresseDiffusion, AHostNameAsFallBackAddressIsResolved) {
    EXPECT_EQ(AdresseDiffusion(kNomIrresoluble, "255.255.255.0", 1, "192.0.2.7"), "192.0.2.7");
    EXPECT_EQ(AdresseDiffusion(kNomIrresoluble, "255.255.255.0", 1, "localhost"), "127.0.0.1");
    const std::string autre = std::string(64, 'r') + ".invalid";
    try {
        AdresseDiffusion(kNomIrresoluble, "255.255.255.0", 1, autre);
        ADD_FAILURE() << "an unresolved fall-back name is refused";
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find("'" + autre + "'"), std::string::npos) << e.what();
    }
}

TEST(AdresseDiffusion, CombinesEachPartWithTheInvertedMask) {
    EXPECT_EQ(AdresseDiffusion("192.168.1.25", "255.255.255.0", 0, ""), "192.168.1.255");
    EXPECT_EQ(AdresseDiffusion("10.1.2.3", "255.0.0.0", 0, ""), "10.255.255.255");
    EXPECT_EQ(AdresseDiffusion("192.168.0.12", "255.255.255.255", 0, ""), "192.168.0.12");
    EXPECT_EQ(AdresseDiffusion("172.16.4.9", "0.0.0.0", 0, ""), "255.255.255.255");
    EXPECT_EQ(AdresseDiffusion("192.168.1.20", "255.255.0.0", 0, ""), "192.168.255.255");
    // Not contiguous: each part on its own. Further mask parts are ignored.
    EXPECT_EQ(AdresseDiffusion("10.20.30.40", "255.0.255.0", 0, ""), "10.255.30.255");
    EXPECT_EQ(AdresseDiffusion("10.20.30.40", "255.255.255.0.9", 0, ""), "10.20.30.255");
    EXPECT_EQ(AdresseDiffusion("localhost", "255.0.0.0", 0, ""), "127.255.255.255");
    EXPECT_THROW(AdresseDiffusion("10.0.0.1", "255.255.255", 0, ""), std::invalid_argument);
    EXPECT_THROW(AdresseDiffusion("10.0.0.1", "255.255.2550.0", 0, ""), std::invalid_argument);
}

// Unresolvable names are only tried inside a namespace with no way out, so that no query can
// leave the machine.
TEST(AdresseDiffusion, UnresolvedNameFallsBackByMode) {
    test::Espaces espaces;
    if (!espaces.Pret()) VELMORA_PAIR_INDISPONIBLE(espaces.Raison());
    std::vector<std::string> resultats;
    ASSERT_TRUE(test::Espaces::Executer(espaces.A(), [&] {
        for (long long mode : {1LL, 0LL, 7LL})
            resultats.push_back(
                AdresseDiffusion(kNomIrresoluble, "255.0.0.0", mode, "192.168.0.255"));
    }));
    EXPECT_EQ(resultats,
              (std::vector<std::string>{"192.168.0.255", "198.18.0.255", "198.18.0.255"}));
}

TEST(PaquetMagique, DirectedBroadcastReachesAReceiverInAnotherNamespace) {
    test::Espaces espaces;
    if (!espaces.Pret()) VELMORA_PAIR_INDISPONIBLE(espaces.Raison());
    const int fd = test::Espaces::Socket(espaces.B(), SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    Recepteur recepteur(fd, "0.0.0.0", 40009);
    bool ok = false;
    std::string envoi, erreur;
    Prog().reglages.repliMode = 0;
    ASSERT_TRUE(test::Espaces::Executer(espaces.A(), [&] {
        ok = EnvoyerPaquetMagique("198.18.0.2", "255.255.255.0", 40009, "02:00:00:00:0B:02", envoi,
                                  erreur);
    }));
    ASSERT_TRUE(ok) << erreur;
    EXPECT_EQ(envoi, "198.18.0.255");
    const auto recus = recepteur.Recevoir();
    ASSERT_EQ(recus.size(), 1u);
    EXPECT_EQ(recus[0].size(), 102u);
    EXPECT_EQ(recus[0].substr(6, 6), std::string("\x02\x00\x00\x00\x0B\x02", 6));
    // The limited broadcast (mask 0.0.0.0) is allowed too and leaves by the default route.
    ASSERT_TRUE(test::Espaces::Executer(espaces.A(), [&] {
        ok = EnvoyerPaquetMagique("198.18.0.2", "0.0.0.0", 40009, "02:00:00:00:0B:02", envoi,
                                  erreur);
    }));
    ASSERT_TRUE(ok) << erreur;
    EXPECT_EQ(envoi, "255.255.255.255");
    EXPECT_EQ(recepteur.Recevoir().size(), 1u);
}

}  // namespace
}  // namespace velmora::net
