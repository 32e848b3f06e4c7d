// velmora-relay run as a process on loopback: VelmoraBatch waking through it in both modes,
// its refusals, reload and stop by signal, and hostile clients (oversized requests, slow
// clients, a thousand connections at once).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "Aides.h"

using namespace std::string_literals;

namespace velmora::relay::test {
namespace {

const std::string kCle = "k3y-Of-The-Relay_0123";
const std::string kMac = "00-11-22-33-44-55";
const std::string kOctetsMac = "\x00\x11\x22\x33\x44\x55"s;

// The relay with a key file, on a free loopback port, plus `autres` options.
std::vector<std::string> Options(const Dossier& dossier, std::vector<std::string> autres) {
    std::vector<std::string> o = {"--config",    "/dev/null",  "--listen",
                                  "127.0.0.1:0", "--key-file", dossier.Ecrire("cle", kCle + "\n")};
    o.insert(o.end(), autres.begin(), autres.end());
    return o;
}

// VelmoraBatch waking `adresse` (MAC kMac, `port`) through the relay, the key in the template.
std::vector<std::string> Console(const Relais& relais, const Dossier& dossier,
                                 const std::string& adresse, int port,
                                 const std::string& cle = kCle) {
    const std::string fichier =
        dossier.Ecrire("maison.ini",
                       "[Config]\nLangue=Français\nScriptWOWParDéfaut=0\nProxyType=1\n"
                       "ScriptWOWUrl=http://127.0.0.1:" +
                           std::to_string(relais.Port()) +
                           "/wake?ip=%ip%&mac=%mac%&port=%port%&key=" + cle + "\n");
    const Resultat r =
        Lancer({kBatch, fichier, "/n:" + adresse + ", " + kMac + ", " + std::to_string(port)});
    std::vector<std::string> lignes;
    std::string ligne;
    for (char c : r.sortie) {
        if (c == '\n') {
            if (!ligne.empty() && ligne.back() == '\r') ligne.pop_back();
            lignes.push_back(ligne), ligne.clear();
        } else {
            ligne += c;
        }
    }
    return lignes;
}

TEST(RelaisBoutEnBout, LanModeSendsTheConsolesRequestToTheBroadcastAddress) {
    Dossier dossier;
    RecepteurUDP recepteur;
    Relais relais(Options(dossier, {"--broadcast", "127.0.0.1"}));
    ASSERT_GT(relais.Port(), 0) << relais.Journal();
    // In lan mode the address of the request is not where the packet goes.
    auto lignes = Console(relais, dossier, "203.0.113.7", recepteur.Port());
    ASSERT_GE(lignes.size(), 3u);
    EXPECT_EQ(lignes[2], "   -> Magic packet sent to 127.0.0.1:" +
                             std::to_string(recepteur.Port()) + " for 00:11:22:33:44:55");
    EXPECT_EQ(recepteur.Recevoir(), PaquetAttendu(kOctetsMac));
    EXPECT_EQ(recepteur.Recevoir(200), "") << "exactly one datagram";

    // A wrong key: no packet, and the console shows the relay's answer.
    lignes = Console(relais, dossier, "203.0.113.7", recepteur.Port(), "not-the-key-at-all");
    ASSERT_GE(lignes.size(), 3u);
    EXPECT_EQ(lignes[2],
              "   -> Impossible d'accéder au service de réveil par Internet : "
              "403 Forbidden: wrong key");
    EXPECT_EQ(recepteur.Recevoir(300), "");
    EXPECT_EQ(relais.Arreter(SIGTERM), 0);
    const std::string journal = relais.Journal();
    EXPECT_NE(journal.find("client=127.0.0.1 mac=00:11:22:33:44:55 dest=127.0.0.1:" +
                           std::to_string(recepteur.Port()) + " result=200 packet sent"),
              std::string::npos)
        << journal;
    EXPECT_NE(journal.find("result=403 wrong key"), std::string::npos);
    EXPECT_EQ(journal.find(kCle), std::string::npos) << "the key is never logged";
    EXPECT_EQ(journal.find("not-the-key-at-all"), std::string::npos);
}

TEST(RelaisBoutEnBout, InternetModeSendsToTheAllowedAddressOnly) {
    Dossier dossier;
    RecepteurUDP recepteur;
    Relais relais(Options(dossier, {"--mode", "internet", "--allow-dest", "127.0.0.1/32",
                                    "--allow-mac", "00:11:22:33:44:55"}));
    ASSERT_GT(relais.Port(), 0) << relais.Journal();
    auto lignes = Console(relais, dossier, "127.0.0.1", recepteur.Port());
    ASSERT_GE(lignes.size(), 3u);
    EXPECT_EQ(lignes[2], "   -> Magic packet sent to 127.0.0.1:" +
                             std::to_string(recepteur.Port()) + " for 00:11:22:33:44:55");
    EXPECT_EQ(recepteur.Recevoir(), PaquetAttendu(kOctetsMac));

    // Outside --allow-dest: refused, nothing sent.
    lignes = Console(relais, dossier, "127.0.0.2", recepteur.Port());
    ASSERT_GE(lignes.size(), 3u);
    EXPECT_EQ(lignes[2],
              "   -> Impossible d'accéder au service de réveil par Internet : "
              "403 Forbidden: destination not allowed");
    // A MAC address outside --allow-mac.
    const std::string reponse =
        Get(relais.Port(), "/?ip=127.0.0.1&mac=00:11:22:33:44:56&port=" +
                               std::to_string(recepteur.Port()) + "&key=" + kCle);
    EXPECT_EQ(Statut(reponse), 403);
    EXPECT_EQ(Corps(reponse), "403 Forbidden: MAC address not allowed\n");
    EXPECT_EQ(recepteur.Recevoir(300), "");
}

TEST(RelaisProcessus, RefusesToStartUnsafelyAndReloadsOnSighup) {
    Dossier dossier;
    // No key while listening beyond loopback; internet mode without --allow-dest.
    EXPECT_EQ(Lancer({kRelais, "--config", "/dev/null", "--listen", "0.0.0.0:0"}).code, 2);
    EXPECT_EQ(
        Lancer({kRelais, "--config", "/dev/null", "--listen", "127.0.0.1:0", "--mode", "internet"})
            .code,
        2);
    EXPECT_EQ(Lancer({kRelais, "--help"}).sortie.find("Usage: velmora-relay --listen"), 0u);
    const Resultat version = Lancer({kRelais, "--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(version.sortie.starts_with("velmora-relay v")) << version.sortie;
    EXPECT_TRUE(version.sortie.ends_with("\nLicense GPL-3.0-or-later\n")) << version.sortie;

    RecepteurUDP recepteur;
    const std::string config = dossier.Ecrire(
        "relay.conf", "listen = 127.0.0.1:0\nbroadcast = 127.0.0.1\nallow-mac = " + kMac + "\n");
    Relais relais({"--config", config});
    ASSERT_GT(relais.Port(), 0) << relais.Journal();
    const std::string cible = "/?mac=" + kMac + "&port=" + std::to_string(recepteur.Port());
    EXPECT_EQ(Statut(Get(relais.Port(), cible)), 200);
    // A proxy on this machine names the client in X-Forwarded-For (the last entry counts).
    EXPECT_EQ(
        Statut(Echanger(relais.Port(), "GET " + cible +
                                           " HTTP/1.1\r\nHost: r\r\n"
                                           "X-Forwarded-For: 10.1.1.1, 198.51.100.7\r\n\r\n")),
        200);

    // A broken file leaves the settings as they were.
    dossier.Ecrire("relay.conf", "listen = 127.0.0.1:0\nallow-mac = zz\n");
    ::kill(relais.Pid(), SIGHUP);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Statut(Get(relais.Port(), cible)), 200);
    // A good one is taken: this MAC address is no longer allowed.
    dossier.Ecrire("relay.conf",
                   "listen = 127.0.0.1:0\nbroadcast = 127.0.0.1\n"
                   "allow-mac = 02:00:00:00:00:01\n");
    ::kill(relais.Pid(), SIGHUP);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Statut(Get(relais.Port(), cible)), 403);
    EXPECT_EQ(relais.Arreter(SIGINT), 0);
    const std::string journal = relais.Journal();
    EXPECT_NE(journal.find("reload refused"), std::string::npos) << journal;
    EXPECT_NE(journal.find("settings reloaded"), std::string::npos);
    EXPECT_NE(journal.find("client=198.51.100.7 mac="), std::string::npos);
}

// Many connections opened at once from `sources` (loopback addresses), left idle.
std::vector<int> Ouvrir(int port, const std::vector<std::string>& sources, int parSource) {
    std::vector<int> fds;
    for (const auto& source : sources) {
        for (int i = 0; i < parSource; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            ::inet_pton(AF_INET, source.c_str(), &a.sin_addr);
            ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
            ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
            a.sin_port = htons(static_cast<uint16_t>(port));
            ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
            ::send(fd, "GET /?mac=", 10, MSG_NOSIGNAL);
            fds.push_back(fd);
        }
    }
    return fds;
}

void Fermer(std::vector<int>& fds) {
    for (int fd : fds) ::close(fd);
    fds.clear();
}

TEST(RelaisHostile, AThousandConnectionsLeaveOthersAnsweredAndMemoryBounded) {
    rlimit fichiers{};
    ::getrlimit(RLIMIT_NOFILE, &fichiers);
    fichiers.rlim_cur = std::min<rlim_t>(fichiers.rlim_max, 4096);
    ::setrlimit(RLIMIT_NOFILE, &fichiers);
    if (fichiers.rlim_cur < 1100) GTEST_SKIP() << "needs 1100 file descriptors";

    Dossier dossier;
    RecepteurUDP recepteur;
    Relais relais(Options(dossier, {"--broadcast", "127.0.0.1", "--rate", "100000"}));
    ASSERT_GT(relais.Port(), 0) << relais.Journal();
    const std::string cible =
        "/?mac=" + kMac + "&port=" + std::to_string(recepteur.Port()) + "&key=" + kCle;
    ASSERT_EQ(Statut(Get(relais.Port(), cible)), 200);
    [[maybe_unused]] const long avant = relais.Memoire();  // unused under AddressSanitizer

    std::vector<std::string> sources;
    for (int i = 2; i < 42; ++i) sources.push_back("127.0.0." + std::to_string(i));
    std::vector<long> memoire;
    for (int vague = 0; vague < 5; ++vague) {
        // 40 addresses x 25; the second time, 1,000 from one address (past its own limit).
        std::vector<int> fds = vague == 1 ? Ouvrir(relais.Port(), {"127.0.0.99"}, 1000)
                                          : Ouvrir(relais.Port(), sources, 25);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const auto debut = std::chrono::steady_clock::now();
        EXPECT_EQ(Statut(Get(relais.Port(), cible)), 200) << "wave " << vague;
        EXPECT_LT(std::chrono::steady_clock::now() - debut, std::chrono::milliseconds(1000));
        memoire.push_back(relais.Memoire());
        Fermer(fds);
    }
#ifndef __SANITIZE_ADDRESS__  // AddressSanitizer's quarantine keeps freed memory on purpose
    EXPECT_LT(*std::max_element(memoire.begin(), memoire.end()) - avant, 32 * 1024) << "kB";
    // Once the allocator has its pools, more waves of the same size cost nothing more.
    EXPECT_LT(memoire[4] - memoire[2], 2 * 1024) << "kB";
#endif
    EXPECT_EQ(Statut(Get(relais.Port(), cible)), 200);
}

TEST(RelaisHostile, OversizedAndSlowRequestsAreCutOff) {
    Dossier dossier;
    RecepteurUDP recepteur;
    Relais relais(Options(dossier, {"--broadcast", "127.0.0.1", "--rate", "100000"}));
    ASSERT_GT(relais.Port(), 0) << relais.Journal();
    const std::string cible =
        "/?mac=" + kMac + "&port=" + std::to_string(recepteur.Port()) + "&key=" + kCle;

    // A request line or headers past the limit: refused, nothing sent.
    const std::string longue = Get(relais.Port(), cible + "&x=" + std::string(20000, 'a'));
    EXPECT_GE(Statut(longue), 400) << longue.substr(0, 100);
    const std::string entetes = Echanger(relais.Port(), "GET " + cible +
                                                            " HTTP/1.1\r\nHost: r\r\n"
                                                            "X-Big: " +
                                                            std::string(20000, 'b') + "\r\n\r\n");
    EXPECT_NE(Statut(entetes), 200);
    EXPECT_EQ(recepteur.Recevoir(200), "");
    // Other methods are refused.
    EXPECT_EQ(Statut(Echanger(relais.Port(), "HEAD " + cible + " HTTP/1.1\r\nHost: r\r\n\r\n")),
              405);
    EXPECT_EQ(Statut(Echanger(relais.Port(), "POST " + cible +
                                                 " HTTP/1.1\r\nHost: r\r\nContent-Length: 3\r\n"
                                                 "\r\nabc")),
              405);

    // A silent client and one that trickles a byte now and then: both dropped when they have
    // not sent a whole request within 2 s, while others are answered.
    const auto debut = std::chrono::steady_clock::now();
    std::thread muet([&] { Echanger(relais.Port(), "GET /?ma", "127.0.0.5", 8000); });
    std::chrono::steady_clock::duration dureeLent{};
    std::thread lent([&] {
        std::vector<int> fd = Ouvrir(relais.Port(), {"127.0.0.6"}, 1);
        char c;
        for (int i = 0; i < 40; ++i) {
            if (::send(fd[0], "a", 1, MSG_NOSIGNAL) != 1 || ::recv(fd[0], &c, 1, MSG_DONTWAIT) == 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        dureeLent = std::chrono::steady_clock::now() - debut;
        Fermer(fd);
    });
    EXPECT_EQ(Statut(Get(relais.Port(), cible)), 200);
    muet.join();
    const auto dureeMuet = std::chrono::steady_clock::now() - debut;
    lent.join();
    EXPECT_LT(dureeMuet, std::chrono::seconds(3));
    EXPECT_LT(dureeLent, std::chrono::seconds(3));
    EXPECT_GT(dureeLent, std::chrono::milliseconds(1500));
}

}  // namespace
}  // namespace velmora::relay::test
