// Magic packet: payload construction and the one-datagram UDP send.
#include "common/net/PaquetMagique.h"
#include "common/i18n/Traduction.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "common/net/ErreurSysteme.h"
#include "common/net/Sondes.h"
#include "common/text/Commun.h"

namespace velmora::net {

namespace {

int ValeurHexa(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// One part of the MAC text: one or two hexadecimal digits (a value 0-255).
bool LireOctet(const std::string& partie, std::uint8_t& octet) {
    if (partie.empty() || partie.size() > 2) return false;
    int valeur = 0;
    for (char c : partie) {
        const int v = ValeurHexa(c);
        if (v < 0) return false;
        valeur = valeur * 16 + v;
    }
    octet = static_cast<std::uint8_t>(valeur);
    return true;
}

// Closes the socket on every path out of the send.
class SocketUdp {
  public:
    SocketUdp() : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP)) {}
    ~SocketUdp() {
        if (m_fd >= 0) ::close(m_fd);
    }
    SocketUdp(const SocketUdp&) = delete;
    SocketUdp& operator=(const SocketUdp&) = delete;
    int fd() const { return m_fd; }

  private:
    int m_fd;
};

}  // namespace

bool ConstruirePaquetMagique(std::string_view mac, PaquetMagique& paquet,
                             std::string& messageErreur) {
    const std::string texte(mac);
    if (texte.size() < 3) {
        messageErreur = i18n::TexteReseau("ERR_REVEIL_MAC_INVALIDE", {texte});
        return false;
    }
    // The separator is whatever the third character is, as the address is written.
    const auto parties = ExtraireChamp(texte, texte.substr(2, 1));
    std::uint8_t octets[6];
    bool valide = parties.size() == 6;
    for (size_t i = 0; valide && i < 6; ++i) valide = LireOctet(parties[i], octets[i]);
    if (!valide) {
        messageErreur = i18n::TexteReseau("ERR_REVEIL_MAC_INVALIDE", {texte});
        return false;
    }
    for (size_t i = 0; i < 6; ++i) paquet[i] = 0xFF;
    for (size_t r = 0; r < 16; ++r)
        for (size_t i = 0; i < 6; ++i) paquet[6 + r * 6 + i] = octets[i];
    return true;
}

bool EnvoyerPaquetMagique(const std::string& adresse, const std::string& masque, long long port,
                          const std::string& mac, std::string& adresseEnvoi,
                          std::string& messageErreur) {
    PaquetMagique paquet;
    if (!ConstruirePaquetMagique(mac, paquet, messageErreur)) return false;
    try {
        adresseEnvoi = AdresseDiffusion(adresse, masque);
    } catch (const std::exception& e) {
        messageErreur = e.what();
        return false;
    }
    if (port < 0 || port > 65535) {
        messageErreur = i18n::TexteReseau("ERR_PORT_INVALIDE", {std::to_string(port)});
        return false;
    }
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(static_cast<uint16_t>(port));
    if (::inet_pton(AF_INET, NormaliserAdresseIP(adresseEnvoi).c_str(), &destination.sin_addr) !=
        1) {
        messageErreur = i18n::TexteReseau("ERR_ADRESSE_IP_INVALIDE", {adresseEnvoi});
        return false;
    }
    SocketUdp socketUdp;
    if (socketUdp.fd() < 0) {
        messageErreur = TexteErreur(errno);
        return false;
    }
    const int oui = 1;
    if (::setsockopt(socketUdp.fd(), SOL_SOCKET, SO_BROADCAST, &oui, sizeof oui) != 0) {
        messageErreur = TexteErreur(errno);
        return false;
    }
    const ssize_t envoye =
        ::sendto(socketUdp.fd(), paquet.data(), paquet.size(), 0,
                 reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    if (envoye != static_cast<ssize_t>(paquet.size())) {
        messageErreur =
            envoye < 0 ? TexteErreur(errno) : i18n::TexteReseau("ERR_DATAGRAMME_TRONQUE");
        return false;
    }
    return true;
}

}  // namespace velmora::net
