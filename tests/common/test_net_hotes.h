// Test support: live hosts made inside a network namespace (a TUN device answering echo
// requests late) and the ICMP counters of a namespace.
#pragma once

#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "test_net_espaces.h"

namespace velmora::test {

// Live hosts that answer echo requests late: a TUN device of namespace `ns` takes
// 198.18.5.0/24, and a thread answers each echo request from the requested address after
// `retardMs`, so that errors about other targets arrive while a ping to a live host waits.
class HotesLents {
  public:
    HotesLents(const std::string& ns, int retardMs) : m_retard(retardMs) {
        Espaces::Executer(ns, [&] {
            m_fd = ::open("/dev/net/tun", O_RDWR | O_CLOEXEC | O_NONBLOCK);
            if (m_fd < 0) return;
            ifreq ifr{};
            ifr.ifr_flags = IFF_TUN | IFF_NO_PI;
            std::strcpy(ifr.ifr_name, "vlmlents");
            if (::ioctl(m_fd, TUNSETIFF, &ifr) != 0) {
                ::close(m_fd);
                m_fd = -1;
            }
        });
        if (m_fd < 0 || !Espaces::Dans(ns, "ip link set vlmlents up") ||
            !Espaces::Dans(ns, "ip route add 198.18.5.0/24 dev vlmlents"))
            return;
        m_pret = true;
        m_fil = std::thread([this] { Boucle(); });
    }
    ~HotesLents() {
        m_fin = true;
        if (m_fil.joinable()) m_fil.join();
        if (m_fd >= 0) ::close(m_fd);
    }
    bool Pret() const { return m_pret; }

  private:
    static void Somme(std::uint8_t* p, size_t n, size_t champ) {
        p[champ] = p[champ + 1] = 0;
        std::uint32_t s = 0;
        for (size_t i = 0; i + 1 < n; i += 2) s += (p[i] << 8) | p[i + 1];
        if (n & 1) s += p[n - 1] << 8;
        while (s >> 16) s = (s & 0xFFFF) + (s >> 16);
        p[champ] = static_cast<std::uint8_t>(~s >> 8);
        p[champ + 1] = static_cast<std::uint8_t>(~s & 0xFF);
    }
    void Boucle() {
        using Horloge = std::chrono::steady_clock;
        std::vector<std::pair<Horloge::time_point, std::vector<std::uint8_t>>> attente;
        while (!m_fin) {
            pollfd p{m_fd, POLLIN, 0};
            ::poll(&p, 1, 5);
            std::uint8_t paquet[2048];
            for (ssize_t n; (n = ::read(m_fd, paquet, sizeof paquet)) > 0;) {
                const size_t ihl = (paquet[0] & 0x0F) * 4u;
                if (n < static_cast<ssize_t>(ihl + 8) || paquet[9] != IPPROTO_ICMP ||
                    paquet[ihl] != 8)
                    continue;
                std::vector<std::uint8_t> reponse(paquet, paquet + n);
                std::swap_ranges(reponse.begin() + 12, reponse.begin() + 16, reponse.begin() + 16);
                reponse[8] = 64;
                Somme(reponse.data(), ihl, 10);
                reponse[ihl] = 0;  // echo reply
                Somme(reponse.data() + ihl, reponse.size() - ihl, 2);
                attente.emplace_back(Horloge::now() + std::chrono::milliseconds(m_retard),
                                     std::move(reponse));
            }
            const auto maintenant = Horloge::now();
            std::erase_if(attente, [&](const auto& r) {
                if (r.first > maintenant) return false;
                (void)!::write(m_fd, r.second.data(), r.second.size());
                return true;
            });
        }
    }
    int m_fd = -1;
    int m_retard;
    bool m_pret = false;
    std::atomic<bool> m_fin{false};
    std::thread m_fil;
};

// Counter `nom` of group `groupe` ("Icmp", "Tcp"...) of the SNMP table of namespace `ns`, or -1.
inline long long CompteurSnmp(const std::string& ns, const std::string& groupe,
                              const std::string& nom) {
    long long valeur = -1;
    Espaces::Executer(ns, [&] {
        std::ifstream snmp("/proc/thread-self/net/snmp");
        std::string noms, valeurs;
        while (std::getline(snmp, noms) && std::getline(snmp, valeurs)) {
            if (noms.rfind(groupe + ":", 0) != 0) continue;
            std::istringstream n(noms), v(valeurs);
            std::string cle, val;
            while (n >> cle && v >> val)
                if (cle == nom) valeur = std::stoll(val);
            return;
        }
    });
    return valeur;
}

// Counters of the ICMP table of namespace `ns` ("OutEchos", "InEchoReps", ...).
inline long long CompteurIcmp(const std::string& ns, const std::string& nom) {
    return CompteurSnmp(ns, "Icmp", nom);
}

}  // namespace velmora::test
