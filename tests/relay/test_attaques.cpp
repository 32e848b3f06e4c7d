// velmora-relay as a process on loopback under attack and behind a proxy: floods of idle
// connections, a local proxy carrying many clients, forged X-Forwarded-For lines, a name server
// that never answers, a second relay on the same port; and keep-alive, the dual-stack [::]
// address and the key in an Authorization header as clients use them.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "Aides.h"

using namespace std::string_literals;
using Clock = std::chrono::steady_clock;

namespace velmora::relay::test {
namespace {

const std::string kCle = "k3y-Of-The-Relay_0123";
const std::string kMac = "00-11-22-33-44-55";

std::vector<std::string> Options(const Dossier& dossier, std::vector<std::string> autres) {
    std::vector<std::string> o = {"--config",    "/dev/null",  "--listen",
                                  "127.0.0.1:0", "--key-file", dossier.Ecrire("cle", kCle + "\n")};
    o.insert(o.end(), autres.begin(), autres.end());
    return o;
}

// A TCP connection from `source` to 127.0.0.1:`port`, or -1.
int Connecter(int port, const std::string& source = "127.0.0.1") {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::inet_pton(AF_INET, source.c_str(), &a.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// One answer read from `fd` (complete by its Content-Length), or what came within `delaiMs`.
std::string Lire(int fd, int delaiMs = 2000) {
    std::string reponse;
    const auto fin = Clock::now() + std::chrono::milliseconds(delaiMs);
    char tampon[4096];
    while (!Complete(reponse)) {
        const auto reste =
            std::chrono::duration_cast<std::chrono::milliseconds>(fin - Clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        if (reste <= 0 || ::poll(&p, 1, static_cast<int>(reste)) != 1) break;
        const ssize_t n = ::recv(fd, tampon, sizeof tampon, 0);
        if (n <= 0) break;
        reponse.append(tampon, static_cast<size_t>(n));
    }
    return reponse;
}

void Envoyer(int fd, const std::string& texte) {
    ::send(fd, texte.data(), texte.size(), MSG_NOSIGNAL);
}

bool AssezDeDescripteurs(rlim_t voulus) {
    rlimit fichiers{};
    ::getrlimit(RLIMIT_NOFILE, &fichiers);
    fichiers.rlim_cur = std::min<rlim_t>(fichiers.rlim_max, voulus);
    ::setrlimit(RLIMIT_NOFILE, &fichiers);
    return fichiers.rlim_cur >= voulus;
}

TEST(RelaisAttaque, IdleFloodsNeverKeepALegitimateClientWaiting) {
    if (!AssezDeDescripteurs(2048)) GTEST_SKIP() << "needs 2048 file descriptors";
    Dossier dossier;
    RecepteurUDP recepteur;
    // 512 descriptors: the flood below is twice what the relay can hold.
    Relais relais(Options(dossier, {"--broadcast", "127.0.0.1", "--rate", "100000"}),
                  {"/usr/bin/prlimit", "--nofile=512:512", "--"});
    ASSERT_GT(relais.Port(), 0) << relais.Journal();
    const std::string cible =
        "/?mac=" + kMac + "&port=" + std::to_string(recepteur.Port()) + "&key=" + kCle;

    // 1,100 connections from 35 addresses, each with the start of a request and no more.
    std::vector<int> flot;
    for (int source = 0; source < 35; ++source)
        for (int i = 0; i < 32 && flot.size() < 1100; ++i) {
            const int fd = Connecter(relais.Port(), "127.0.1." + std::to_string(source + 1));
            if (fd < 0) continue;
            Envoyer(fd, "GET /?mac=");
            flot.push_back(fd);
        }
    EXPECT_EQ(flot.size(), 1100u);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::vector<double> durees;
    int reponduesOk = 0;
    for (int i = 0; i < 100; ++i) {
        const auto debut = Clock::now();
        reponduesOk += Statut(Get(relais.Port(), cible)) == 200;
        durees.push_back(std::chrono::duration<double, std::milli>(Clock::now() - debut).count());
    }
    std::sort(durees.begin(), durees.end());
    EXPECT_EQ(reponduesOk, 100);
    EXPECT_LT(durees[98], 100.0) << "p99 in ms; median " << durees[49];

    // The flood's connections never sent a whole request: closed after 2 s at most.
    std::this_thread::sleep_for(std::chrono::milliseconds(2300));
    int fermees = 0;
    for (int fd : flot) {
        char c;
        fermees += ::recv(fd, &c, 1, MSG_DONTWAIT) <= 0 && errno != EAGAIN;
        ::close(fd);
    }
    EXPECT_EQ(fermees, 1100);
    EXPECT_EQ(Statut(Get(relais.Port(), cible)), 200);
}

TEST(RelaisAttaque, TheLocalProxyIsNotHeldToThePerAddressCap) {
    Dossier dossier;
    RecepteurUDP recepteur;
    Relais relais(Options(dossier, {"--broadcast", "127.0.0.1", "--rate", "100000"}));
    ASSERT_GT(relais.Port(), 0) << relais.Journal();
    const std::string cible =
        "/?mac=" + kMac + "&port=" + std::to_string(recepteur.Port()) + "&key=" + kCle;
    // 64 clients at once through one proxy on this machine: 64 connections from one address.
    std::vector<int> fds;
    for (int i = 0; i < 64; ++i) fds.push_back(Connecter(relais.Port()));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // all accepted, all open
    for (size_t i = 0; i < fds.size(); ++i)
        Envoyer(fds[i], "GET " + cible + " HTTP/1.1\r\nHost: r\r\nX-Forwarded-For: 198.51.100." +
                            std::to_string(i + 1) + "\r\n\r\n");
    int ok = 0;
    for (int fd : fds) {
        ok += Statut(Lire(fd)) == 200;
        ::close(fd);
    }
    EXPECT_EQ(ok, 64);
}

TEST(RelaisAttaque, XForwardedForOnSeveralLinesCountsItsLastEntry) {
    Dossier dossier;
    RecepteurUDP recepteur;
    Relais relais(Options(dossier, {"--broadcast", "127.0.0.1", "--rate", "1"}));
    ASSERT_GT(relais.Port(), 0) << relais.Journal();
    const std::string cible =
        "/?mac=" + kMac + "&port=" + std::to_string(recepteur.Port()) + "&key=" + kCle;
    // A line the client wrote itself before the proxy's: one list, whose last entry counts.
    std::vector<int> statuts;
    for (int i = 0; i < 4; ++i)
        statuts.push_back(Statut(Echanger(
            relais.Port(), "GET " + cible + " HTTP/1.1\r\nHost: r\r\nX-Forwarded-For: 10.9.9." +
                               std::to_string(i) + "\r\nX-Forwarded-For: 198.51.100.7\r\n\r\n")));
    EXPECT_EQ(statuts, (std::vector<int>{200, 429, 429, 429}));
    relais.Arreter(SIGTERM);
    const std::string journal = relais.Journal();
    EXPECT_NE(journal.find("client=198.51.100.7 mac="), std::string::npos) << journal;
    EXPECT_EQ(journal.find("client=10.9.9."), std::string::npos) << journal;
}

TEST(RelaisAttaque, ANameServerThatNeverAnswersHoldsNoOtherClient) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for a mount namespace and port 53";
    // A name server on a loopback address of its own that never answers...
    const std::string serveur = "127.0.0." + std::to_string(100 + ::getpid() % 100);
    const int muet = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(53);
    ::inet_pton(AF_INET, serveur.c_str(), &a.sin_addr);
    if (::bind(muet, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(muet);
        GTEST_SKIP() << "cannot listen on " << serveur << ":53";
    }
    // ...is the only one the relay knows, through a resolv.conf of its own mount namespace.
    Dossier dossier;
    const std::string resolv =
        dossier.Ecrire("resolv.conf", "nameserver " + serveur + "\noptions timeout:5 attempts:1\n");
    RecepteurUDP recepteur;
    Relais relais(Options(dossier, {"--mode", "internet", "--allow-dest", "127.0.0.1/32"}),
                  {"/usr/bin/unshare", "--mount", "--propagation", "private", "/bin/sh", "-c",
                   "mount --bind \"$0\" /etc/resolv.conf && exec \"$@\"", resolv});
    ASSERT_GT(relais.Port(), 0) << relais.Journal();
    const std::string suite =
        "&mac=" + kMac + "&port=" + std::to_string(recepteur.Port()) + "&key=" + kCle;
    std::string lente;
    Clock::duration dureeLente{};
    std::thread nom([&] {
        const auto debut = Clock::now();
        lente = Echanger(relais.Port(),
                         "GET /?ip=silencieux.example" + suite + " HTTP/1.1\r\nHost: r\r\n\r\n",
                         "127.0.0.1", 8000);
        dureeLente = Clock::now() - debut;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto debut = Clock::now();
    EXPECT_EQ(Statut(Get(relais.Port(), "/?ip=127.0.0.1" + suite)), 200);
    EXPECT_LT(Clock::now() - debut, std::chrono::milliseconds(500)) << "not held by the look-up";
    nom.join();
    EXPECT_EQ(Statut(lente), 400);
    EXPECT_EQ(Corps(lente), "400 Bad Request: address (ip) not resolved within 2 s\n");
    EXPECT_GT(dureeLente, std::chrono::milliseconds(1800));
    EXPECT_LT(dureeLente, std::chrono::milliseconds(3500));
    ::close(muet);
}

TEST(RelaisProcessus, ASecondRelayOnTheSamePortRefusesToStart) {
    Dossier dossier;
    Relais premier(Options(dossier, {"--broadcast", "127.0.0.1"}));
    ASSERT_GT(premier.Port(), 0) << premier.Journal();
    std::vector<std::string> options = Options(dossier, {"--broadcast", "127.0.0.1"});
    options[3] = "127.0.0.1:" + std::to_string(premier.Port());
    Relais second(options);
    EXPECT_EQ(second.Port(), 0);
    EXPECT_EQ(second.Arreter(SIGTERM), 1);
    EXPECT_NE(second.Journal().find("cannot listen on 127.0.0.1:" + std::to_string(premier.Port()) +
                                    ": Address already in use"),
              std::string::npos)
        << second.Journal();
}

TEST(RelaisProcessus, KeepAliveOnTheDualStackAddress) {
    std::ifstream ipv6("/proc/net/if_inet6");
    if (!ipv6) GTEST_SKIP() << "no IPv6";
    Dossier dossier;
    RecepteurUDP recepteur;
    std::vector<std::string> options = Options(dossier, {"--broadcast", "127.0.0.1"});
    options[3] = "[::]:0";
    Relais relais(options);
    ASSERT_GT(relais.Port(), 0) << relais.Journal();
    const std::string cible =
        "/?mac=" + kMac + "&port=" + std::to_string(recepteur.Port()) + "&key=" + kCle;
    // An IPv4 client of [::], three requests on one connection, the last two sent together.
    const int fd = Connecter(relais.Port());
    ASSERT_GE(fd, 0) << "[::] takes IPv4 clients too";
    const std::string requete = "GET " + cible + " HTTP/1.1\r\nHost: r\r\n\r\n";
    Envoyer(fd, requete);
    const std::string premiere = Lire(fd);
    EXPECT_EQ(Statut(premiere), 200) << premiere;
    EXPECT_EQ(premiere.find("Connection: close"), std::string::npos) << premiere;
    Envoyer(fd, requete + requete);
    std::string deux;
    char tampon[4096];
    pollfd p{fd, POLLIN, 0};
    auto compte = [&] {
        size_t n = 0;
        for (size_t at = deux.find("HTTP/1.1 200 OK"); at != std::string::npos;
             at = deux.find("HTTP/1.1 200 OK", at + 1))
            ++n;
        return n;
    };
    while (compte() < 2 || !deux.ends_with("44:55\n")) {
        if (::poll(&p, 1, 2000) != 1) break;
        const ssize_t n = ::recv(fd, tampon, sizeof tampon, 0);
        if (n <= 0) break;
        deux.append(tampon, static_cast<size_t>(n));
    }
    EXPECT_EQ(compte(), 2u) << deux;
    ::close(fd);
    for (int i = 0; i < 3; ++i) EXPECT_NE(recepteur.Recevoir(), "") << "one packet per request";
    relais.Arreter(SIGTERM);
    EXPECT_NE(relais.Journal().find("client=127.0.0.1 mac="), std::string::npos)
        << relais.Journal();
}

}  // namespace
}  // namespace velmora::relay::test
