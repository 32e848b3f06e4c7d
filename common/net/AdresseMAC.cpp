// ChercherAdresseMAC: the neighbour table first, then a NetBIOS node-status query.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>

#include "common/net/Sondes.h"
#include "common/net/SondesInterne.h"
#include "common/text/Commun.h"

namespace velmora::net {

namespace {

constexpr unsigned kEntreeComplete = 0x2;  // ATF_COM of the neighbour table
constexpr std::uint16_t kTypeNodeStatus = 0x21;
constexpr int kDelaiNetBIOSMs = 500;  // per attempt, as nbtstat's default
constexpr int kEssaisNetBIOS = 2;

std::string TexteMac(const std::uint8_t octets[6]) {
    char texte[18];
    std::snprintf(texte, sizeof texte, "%02X-%02X-%02X-%02X-%02X-%02X", octets[0], octets[1],
                  octets[2], octets[3], octets[4], octets[5]);
    return texte;
}

std::uint16_t Lire16(const std::string_view& d, size_t p) {
    return static_cast<std::uint16_t>((static_cast<std::uint8_t>(d[p]) << 8) |
                                      static_cast<std::uint8_t>(d[p + 1]));
}

// Skips an encoded name (labels or a compression pointer); npos when it runs off the end.
size_t SauterNom(std::string_view d, size_t p) {
    while (p < d.size()) {
        const auto longueur = static_cast<std::uint8_t>(d[p]);
        if (longueur == 0) return p + 1;
        if ((longueur & 0xC0) == 0xC0) return p + 2 <= d.size() ? p + 2 : std::string_view::npos;
        p += 1 + longueur;
    }
    return std::string_view::npos;
}

}  // namespace

std::string MacDepuisTableVoisins(std::string_view tableVoisins, const std::string& adresse) {
    std::istringstream lignes{std::string(tableVoisins)};
    std::string ligne;
    std::getline(lignes, ligne);  // column titles
    while (std::getline(lignes, ligne)) {
        std::istringstream champs(ligne);
        std::string ip, type, drapeaux, mac;
        champs >> ip >> type >> drapeaux >> mac;
        if (!champs || ip != adresse) continue;
        if (!(std::strtoul(drapeaux.c_str(), nullptr, 16) & kEntreeComplete)) continue;
        if (!EstAdresseMAC(mac) || mac == "00:00:00:00:00:00") continue;
        return Majuscules(Remplacer(mac, ":", "-"));
    }
    return {};
}

std::string RequeteNodeStatus(std::uint16_t id) {
    std::string requete;
    requete += static_cast<char>(id >> 8);
    requete += static_cast<char>(id & 0xFF);
    requete += std::string("\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00", 10);
    // The name "*" padded with zero bytes to 16, in first-level encoding (32 letters).
    requete += '\x20';
    requete += "CK";
    requete += std::string(30, 'A');
    requete += '\0';
    requete += std::string("\x00\x21\x00\x01", 4);
    return requete;
}

namespace {

// Position of the name count of a node-status answer with transaction id `id` (its names and
// unit id follow), or npos when the answer is malformed or of another transaction.
size_t DebutNodeStatus(std::string_view d, std::uint16_t id) {
    constexpr size_t kAucun = std::string_view::npos;
    if (d.size() < 12 || Lire16(d, 0) != id) return kAucun;
    if (!(static_cast<std::uint8_t>(d[2]) & 0x80)) return kAucun;  // not a response
    if (Lire16(d, 6) < 1) return kAucun;                           // no answer record
    size_t p = SauterNom(d, 12);
    if (p == kAucun || p + 10 > d.size()) return kAucun;
    if (Lire16(d, p) != kTypeNodeStatus) return kAucun;
    const size_t longueurDonnees = Lire16(d, p + 8);
    p += 10;
    if (p + longueurDonnees > d.size() || longueurDonnees < 1) return kAucun;
    return p;
}

}  // namespace

std::string MacDepuisNodeStatus(std::string_view d, std::uint16_t id) {
    size_t p = DebutNodeStatus(d, id);
    if (p == std::string_view::npos) return {};
    const size_t noms = static_cast<std::uint8_t>(d[p]);
    p += 1 + noms * 18;
    if (p + 6 > d.size()) return {};
    std::uint8_t octets[6];
    bool zero = true;
    for (int i = 0; i < 6; ++i) {
        octets[i] = static_cast<std::uint8_t>(d[p + i]);
        zero = zero && octets[i] == 0;
    }
    return zero ? std::string() : TexteMac(octets);
}

std::string NomDepuisNodeStatus(std::string_view d, std::uint16_t id) {
    size_t p = DebutNodeStatus(d, id);
    if (p == std::string_view::npos) return {};
    const size_t noms = static_cast<std::uint8_t>(d[p]);
    ++p;
    for (size_t i = 0; i < noms && p + 18 <= d.size(); ++i, p += 18) {
        const bool groupe = static_cast<std::uint8_t>(d[p + 16]) & 0x80;
        if (groupe || d[p + 15] != '\0') continue;  // the workstation name: suffix 00, unique
        std::string nom(d.substr(p, 15));
        nom.erase(nom.find_last_not_of(' ') + 1);
        // Printable ASCII only: the name is shown and may become a machine name.
        const bool lisible = !nom.empty() && std::all_of(nom.begin(), nom.end(), [](char c) {
            return c > ' ' && c < 0x7F;
        });
        if (lisible) return nom;
    }
    return {};
}

std::string InterrogerNetBIOS(const std::string& adresse, std::uint16_t port, int delaiMs,
                              int essais, std::string* nom) {
    sockaddr_in cible{};
    cible.sin_family = AF_INET;
    cible.sin_port = htons(port);
    if (::inet_pton(AF_INET, NormaliserAdresseIP(adresse).c_str(), &cible.sin_addr) != 1) return {};
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) return {};
    std::string mac;
    // Connected, so that a closed port ends the wait at once (ECONNREFUSED).
    if (::connect(fd, reinterpret_cast<sockaddr*>(&cible), sizeof cible) == 0) {
        std::random_device aleatoire;
        const auto id = static_cast<std::uint16_t>(aleatoire());
        const std::string requete = RequeteNodeStatus(id);
        bool termine = false;
        for (int essai = 0; essai < essais && !termine; ++essai) {
            if (::send(fd, requete.data(), requete.size(), 0) < 0) break;
            const auto fin = std::chrono::steady_clock::now() + std::chrono::milliseconds(delaiMs);
            while (!termine) {
                const auto reste = std::chrono::duration_cast<std::chrono::milliseconds>(
                                       fin - std::chrono::steady_clock::now())
                                       .count();
                if (reste <= 0) break;
                pollfd attente{fd, POLLIN, 0};
                if (::poll(&attente, 1, static_cast<int>(reste)) <= 0) continue;
                char tampon[1500];
                const ssize_t r = ::recv(fd, tampon, sizeof tampon, MSG_DONTWAIT);
                if (r < 0) {
                    termine = errno != EAGAIN && errno != EINTR;
                    continue;
                }
                const std::string_view reponse(tampon, static_cast<size_t>(r));
                if (reponse.size() >= 2 && Lire16(reponse, 0) == id) {
                    mac = MacDepuisNodeStatus(reponse, id);
                    if (nom) *nom = NomDepuisNodeStatus(reponse, id);
                    termine = true;
                }
            }
        }
    }
    ::close(fd);
    return mac;
}

std::string MacInterfaceLocale(const std::string& adresse) {
    in_addr cherchee{};
    if (::inet_pton(AF_INET, NormaliserAdresseIP(adresse).c_str(), &cherchee) != 1) return {};
    ifaddrs* liste = nullptr;
    if (::getifaddrs(&liste) != 0) return {};
    std::string interface, mac;
    for (const ifaddrs* i = liste; i && interface.empty(); i = i->ifa_next)
        if (i->ifa_addr && i->ifa_addr->sa_family == AF_INET &&
            reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr == cherchee.s_addr)
            interface = i->ifa_name;
    for (const ifaddrs* i = liste; i && !interface.empty() && mac.empty(); i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_PACKET || interface != i->ifa_name)
            continue;
        const auto* lien = reinterpret_cast<const sockaddr_ll*>(i->ifa_addr);
        if (lien->sll_hatype != ARPHRD_ETHER || lien->sll_halen != 6) continue;
        for (int k = 0; k < 6; ++k) {
            char paire[4];
            std::snprintf(paire, sizeof paire, k ? "-%02X" : "%02X", lien->sll_addr[k]);
            mac += paire;
        }
    }
    ::freeifaddrs(liste);
    return mac == "00-00-00-00-00-00" ? std::string() : mac;
}

std::string ChercherAdresseMAC(const std::string& adresse) {
    const std::string ip = NormaliserAdresseIP(adresse);
    std::string mac = MacDepuisTableVoisins(LireTableNet("arp"), ip);
    if (mac.empty() && EstAdresseIP(ip))
        mac = InterrogerNetBIOS(ip, 137, kDelaiNetBIOSMs, kEssaisNetBIOS);
    return mac;
}

}  // namespace velmora::net
