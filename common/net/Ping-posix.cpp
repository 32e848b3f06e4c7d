// Pinger: one ICMP echo request through an ICMP datagram socket, a raw socket, or the ping
// tool, in that order of preference. Only an echo reply from the target itself counts.
#include <arpa/inet.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>

#include "common/config/Programme.h"
#include "common/net/ErreursIcmp.h"
#include "common/net/Outil.h"
#include "common/net/Sondes.h"
#include "common/text/Commun.h"

namespace velmora::net {

namespace {

using Horloge = std::chrono::steady_clock;

std::atomic<std::uint16_t> g_sequence{0};

class Descripteur {
  public:
    explicit Descripteur(int fd = -1) : m_fd(fd) {}
    ~Descripteur() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Descripteur(const Descripteur&) = delete;
    Descripteur& operator=(const Descripteur&) = delete;
    int fd() const { return m_fd; }

  private:
    int m_fd;
};

std::uint16_t SommeControle(const std::uint8_t* donnees, size_t taille) {
    std::uint32_t somme = 0;
    for (size_t i = 0; i + 1 < taille; i += 2) somme += (donnees[i] << 8) | donnees[i + 1];
    if (taille & 1) somme += donnees[taille - 1] << 8;
    while (somme >> 16) somme = (somme & 0xFFFF) + (somme >> 16);
    return static_cast<std::uint16_t>(~somme);
}

// An echo request: 8-byte header and 16 bytes of data.
void ConstruireEcho(std::uint8_t paquet[24], std::uint16_t id, std::uint16_t sequence) {
    std::memset(paquet, 0, 24);
    paquet[0] = ICMP_ECHO;
    paquet[4] = id >> 8;
    paquet[5] = id & 0xFF;
    paquet[6] = sequence >> 8;
    paquet[7] = sequence & 0xFF;
    std::memcpy(paquet + 8, "velmora-ping\0\0\0\0", 16);
    const std::uint16_t somme = SommeControle(paquet, 24);
    paquet[2] = somme >> 8;
    paquet[3] = somme & 0xFF;
}

std::uint16_t Lire16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

int MillisecondesRestantes(Horloge::time_point fin) {
    const auto reste =
        std::chrono::duration_cast<std::chrono::milliseconds>(fin - Horloge::now()).count();
    return reste > 0 ? static_cast<int>(reste) : 0;
}

int OuvrirSocketIcmp(MethodePing methode) {
    const int type = methode == MethodePing::DatagrammeICMP ? SOCK_DGRAM : SOCK_RAW;
    return ::socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP);
}

// Reads the error queue (which also clears the socket's pending error). True when one of its
// final reports quotes our own echo request: its sequence, and its id when `verifierId` (a
// datagram socket's id is chosen by the kernel, and only its own errors reach it). A raw
// socket receives the error reports of every ping of the host: those of others are dropped.
bool ErreurPourNous(int fd, std::uint16_t id, std::uint16_t sequence, bool verifierId) {
    bool nous = false;
    LireFileErreursIcmp(fd, [&](const ErreurIcmp& e) {
        if (e.sequence == sequence && (!verifierId || e.id == id)) nous = true;
    });
    return nous;
}

// Sends one echo request, then reads what comes back until `juger` decides or the time runs
// out. `juger` gets each datagram with its source and answers true or false, or std::nullopt
// for a datagram that is not about our request. IP_RECVERR turns an error report into POLLERR;
// only a report about this very request ends the ping.
template <typename Juge>
bool EnvoyerEtAttendre(int fd, const sockaddr_in& cible, std::uint16_t id, std::uint16_t sequence,
                       bool verifierId, Horloge::time_point fin, Juge juger) {
    const int oui = 1;
    ::setsockopt(fd, SOL_IP, IP_RECVERR, &oui, sizeof oui);
    std::uint8_t paquet[24];
    ConstruireEcho(paquet, id, sequence);
    // A send failed by an error pending for another ping is tried again; a report about our
    // own request read meanwhile ends the ping.
    bool nous = false;
    const bool envoye =
        EnvoyerIcmp(fd, paquet, sizeof paquet, cible, fin, [&](const ErreurIcmp& e) {
            if (e.sequence == sequence && (!verifierId || e.id == id)) nous = true;
        });
    if (!envoye || nous) return false;
    while (true) {
        pollfd attente{fd, POLLIN, 0};
        const int n = ::poll(&attente, 1, MillisecondesRestantes(fin));
        if (n == 0) return false;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (attente.revents & POLLERR) {
            if (ErreurPourNous(fd, id, sequence, verifierId)) return false;  // unreachable
            if (!(attente.revents & POLLIN)) continue;
        }
        std::uint8_t recu[1500];
        sockaddr_in source{};
        socklen_t taille = sizeof source;
        const ssize_t r = ::recvfrom(fd, recu, sizeof recu, MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&source), &taille);
        if (r < 0) {
            if (errno == EAGAIN || errno == EINTR) continue;
            // A pending error (another ping's report) is returned once by the read: look at
            // the reports before deciding.
            if (ErreurPourNous(fd, id, sequence, verifierId)) return false;
            continue;
        }
        if (const std::optional<bool> verdict = juger(recu, static_cast<size_t>(r), source))
            return *verdict;
    }
}

// Datagram socket: the kernel picks the id and only hands us our own replies; error reports
// (a router's "unreachable") arrive on the error queue thanks to IP_RECVERR.
bool PingDatagramme(int fd, const sockaddr_in& cible, Horloge::time_point fin) {
    const std::uint16_t sequence = ++g_sequence;
    return EnvoyerEtAttendre(
        fd, cible, 0, sequence, false, fin,
        [&](const std::uint8_t* recu, size_t longueur,
            const sockaddr_in& source) -> std::optional<bool> {
            if (longueur < 8 || recu[0] != ICMP_ECHOREPLY || Lire16(recu + 6) != sequence)
                return std::nullopt;
            return source.sin_addr.s_addr == cible.sin_addr.s_addr;
        });
}

// Raw socket: we see every ICMP message of the host, so match our id and sequence, in the
// reply or in the copy of our request that an error report carries.
bool PingBrut(int fd, const sockaddr_in& cible, Horloge::time_point fin) {
    icmp_filter filtre{};
    filtre.data =
        ~((1U << ICMP_ECHOREPLY) | (1U << ICMP_DEST_UNREACH) | (1U << ICMP_TIME_EXCEEDED));
    ::setsockopt(fd, SOL_RAW, ICMP_FILTER, &filtre, sizeof filtre);
    const std::uint16_t id = static_cast<std::uint16_t>(::getpid() ^ 0x5EED);
    const std::uint16_t sequence = ++g_sequence;
    return EnvoyerEtAttendre(fd, cible, id, sequence, true, fin,
                             [&](const std::uint8_t* recu, size_t longueur,
                                 const sockaddr_in& source) -> std::optional<bool> {
                                 if (longueur < 20) return std::nullopt;
                                 const size_t entete = (recu[0] & 0x0F) * 4u;
                                 if (longueur < entete + 8) return std::nullopt;
                                 const std::uint8_t* icmp = recu + entete;
                                 if (icmp[0] == ICMP_ECHOREPLY) {
                                     if (Lire16(icmp + 4) != id || Lire16(icmp + 6) != sequence)
                                         return std::nullopt;
                                     return source.sin_addr.s_addr == cible.sin_addr.s_addr;
                                 }
                                 // A final error report quotes our request's IP header and the
                                 // first 8 bytes of its ICMP.
                                 if (!ErreurIcmpFinale(icmp[0])) return std::nullopt;
                                 const std::uint8_t* cite = icmp + 8;
                                 if (longueur < entete + 8 + 20) return std::nullopt;
                                 const size_t enteteCite = (cite[0] & 0x0F) * 4u;
                                 if (longueur < entete + 8 + enteteCite + 8) return std::nullopt;
                                 const std::uint8_t* icmpCite = cite + enteteCite;
                                 if (icmpCite[0] == ICMP_ECHO && Lire16(icmpCite + 4) == id &&
                                     Lire16(icmpCite + 6) == sequence)
                                     return false;
                                 return std::nullopt;
                             });
}

// The ping tool: "64 bytes from 10.0.0.2: icmp_seq=1 ..." counts only when the address is
// the target's. Under a translated wording the exit status decides: 0 means an echo reply
// arrived, and to one unicast request only the target sends one.
bool PingOutil(const std::string& cible, long long tempoMs) {
    const std::string ping = TrouverOutil("ping");
    if (ping.empty()) return false;
    char attente[32];
    std::snprintf(attente, sizeof attente, "%.3f", std::max(tempoMs, 1LL) / 1000.0);
    const auto resultat = LancerOutil({ping, "-4", "-n", "-c", "1", "-W", attente, cible}, {},
                                      static_cast<int>(tempoMs) + 2000);
    if (!resultat.lance || resultat.expire) return false;
    for (const auto& brute : ExtraireChamp(resultat.sortie, "\n")) {
        const std::string ligne = CompacterEspaces(brute);
        const size_t p = ligne.find(" bytes from ");
        if (p == std::string::npos) continue;
        std::string source = ligne.substr(p + 12);
        source = source.substr(0, source.find_first_of(": "));
        return source == cible;
    }
    return resultat.statut == 0;
}

}  // namespace

MethodePing MethodePingChoisie() {
    for (MethodePing m : {MethodePing::DatagrammeICMP, MethodePing::SocketBrut}) {
        Descripteur essai(OuvrirSocketIcmp(m));
        if (essai.fd() >= 0) return m;
    }
    return TrouverOutil("ping").empty() ? MethodePing::Aucune : MethodePing::OutilPing;
}

bool MethodePingDisponible() { return MethodePingChoisie() != MethodePing::Aucune; }

bool Pinger(const std::string& adresse, std::string& adresseReponse) {
    return Pinger(adresse, adresseReponse, Prog().reglages.tempoPing);
}

bool Pinger(const std::string& adresse, std::string& adresseReponse, long long tempoMs,
            MethodePing methode) {
    std::string cible = NormaliserAdresseIP(adresse);
    if (!EstAdresseIP(cible) && !ResoudreNom(adresse, cible)) return false;
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    if (::inet_pton(AF_INET, cible.c_str(), &destination.sin_addr) != 1) return false;
    tempoMs = std::clamp(tempoMs, 1LL, 3600LL * 1000);
    const auto fin = Horloge::now() + std::chrono::milliseconds(tempoMs);

    bool repondu = false;
    bool tente = false;
    for (MethodePing m : {MethodePing::DatagrammeICMP, MethodePing::SocketBrut}) {
        if (methode != MethodePing::Automatique && methode != m) continue;
        Descripteur socketIcmp(OuvrirSocketIcmp(m));
        if (socketIcmp.fd() < 0) continue;
        tente = true;
        repondu = m == MethodePing::DatagrammeICMP
                      ? PingDatagramme(socketIcmp.fd(), destination, fin)
                      : PingBrut(socketIcmp.fd(), destination, fin);
        break;
    }
    if (!tente && (methode == MethodePing::Automatique || methode == MethodePing::OutilPing))
        repondu = PingOutil(cible, tempoMs);
    if (repondu) adresseReponse = cible;
    return repondu;
}

}  // namespace velmora::net
