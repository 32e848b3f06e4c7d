// Address probes: name resolution, local address and mask, directed broadcast address.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <net/route.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "common/net/ErreurSysteme.h"
#include "common/net/Sondes.h"
#include "common/net/SondesInterne.h"
#include "common/text/Commun.h"

namespace velmora::net {

namespace {

std::string TexteIPv4(in_addr adresse) {
    char tampon[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &adresse, tampon, sizeof tampon);
    return tampon;
}

// The four parts of a dotted quad as numbers 0-255; false when it is not one. With
// `quatrePremieres`, further parts are ignored (a mask is read that way).
bool LireQuatreParties(const std::string& texte, int parties[4], bool quatrePremieres) {
    const auto champs = ExtraireChamp(texte, ".");
    if (champs.size() < 4 || (!quatrePremieres && champs.size() != 4)) return false;
    for (int i = 0; i < 4; ++i) {
        const std::string& c = champs[i];
        if (c.empty() || c.size() > 3) return false;
        int v = 0;
        for (char ch : c) {
            if (ch < '0' || ch > '9') return false;
            v = v * 10 + (ch - '0');
        }
        if (v > 255) return false;
        parties[i] = v;
    }
    return true;
}

struct LibererIfaddrs {
    void operator()(ifaddrs* liste) const { ::freeifaddrs(liste); }
};
using ListeInterfaces = std::unique_ptr<ifaddrs, LibererIfaddrs>;

ListeInterfaces Interfaces() {
    ifaddrs* liste = nullptr;
    if (::getifaddrs(&liste) != 0) return nullptr;
    return ListeInterfaces(liste);
}

}  // namespace

std::string TexteErreur(int code) {
    return std::string(std::strerror(code)) + " (err=" + std::to_string(code) + ")";
}

std::string LireTableNet(const std::string& nom) {
    for (const std::string prefixe : {"/proc/thread-self/net/", "/proc/net/"}) {
        std::ifstream fichier(prefixe + nom);
        if (!fichier) continue;
        std::ostringstream contenu;
        contenu << fichier.rdbuf();
        return contenu.str();
    }
    return {};
}

std::string CompacterEspaces(std::string_view texte) {
    std::vector<std::string> mots;
    for (const auto& mot : ExtraireChamp(texte, " "))
        if (!mot.empty()) mots.push_back(mot);
    return Joindre(mots, " ");
}

bool ResoudreNom(const std::string& nom, std::string& adresse) {
    if (nom.empty()) return false;
    addrinfo indications{};
    indications.ai_family = AF_INET;
    indications.ai_socktype = SOCK_DGRAM;
    for (int essai = 0; essai < 5; ++essai) {
        addrinfo* resultats = nullptr;
        const int code = ::getaddrinfo(nom.c_str(), nullptr, &indications, &resultats);
        if (code == 0) {
            std::string trouvee;
            for (addrinfo* r = resultats; r && trouvee.empty(); r = r->ai_next)
                if (r->ai_family == AF_INET)
                    trouvee = TexteIPv4(reinterpret_cast<sockaddr_in*>(r->ai_addr)->sin_addr);
            ::freeaddrinfo(resultats);
            if (trouvee.empty()) return false;
            adresse = trouvee;
            return true;
        }
        if (code != EAI_AGAIN) return false;
    }
    return false;
}

std::string InterfaceRouteParDefaut(std::string_view tableRoutes, std::uint32_t* passerelle) {
    std::istringstream lignes{std::string(tableRoutes)};
    std::string ligne;
    std::getline(lignes, ligne);  // column titles
    std::string meilleure;
    unsigned long meilleureMetrique = std::numeric_limits<unsigned long>::max();
    while (std::getline(lignes, ligne)) {
        std::istringstream champs(ligne);
        std::string iface, destination, gw, masque;
        unsigned long drapeaux = 0, refcnt = 0, usage = 0, metrique = 0;
        champs >> iface >> destination >> gw >> std::hex >> drapeaux >> std::dec >> refcnt >>
            usage >> metrique >> masque;
        if (!champs || destination != "00000000" || masque != "00000000") continue;
        if (!(drapeaux & RTF_UP)) continue;
        if (meilleure.empty() || metrique < meilleureMetrique) {
            meilleure = iface;
            meilleureMetrique = metrique;
            if (passerelle)
                *passerelle = static_cast<std::uint32_t>(std::strtoul(gw.c_str(), nullptr, 16));
        }
    }
    return meilleure;
}

std::string AdresseLocale() {
    std::uint32_t passerelle = 0;
    const std::string iface = InterfaceRouteParDefaut(LireTableNet("route"), &passerelle);
    if (iface.empty()) return {};
    auto liste = Interfaces();
    std::string premiere;
    for (ifaddrs* i = liste.get(); i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || iface != i->ifa_name) continue;
        const auto adresse = reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr;
        const auto masque =
            i->ifa_netmask ? reinterpret_cast<sockaddr_in*>(i->ifa_netmask)->sin_addr.s_addr : 0;
        // Of several addresses on the interface, prefer the one on the gateway's subnet.
        if (passerelle != 0 && (adresse.s_addr & masque) == (passerelle & masque))
            return TexteIPv4(adresse);
        if (premiere.empty()) premiere = TexteIPv4(adresse);
    }
    return premiere;
}

std::string MasqueDeAdresse(const std::string& adresse) {
    in_addr cherchee{};
    if (adresse.empty() ||
        ::inet_pton(AF_INET, NormaliserAdresseIP(adresse).c_str(), &cherchee) != 1)
        return {};
    auto liste = Interfaces();
    for (ifaddrs* i = liste.get(); i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !i->ifa_netmask) continue;
        if (reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr != cherchee.s_addr)
            continue;
        return TexteIPv4(reinterpret_cast<sockaddr_in*>(i->ifa_netmask)->sin_addr);
    }
    return {};
}

std::string AdresseDiffusion(const std::string& adresse, const std::string& masque,
                             long long repliMode, const std::string& repliAdresse) {
    std::string base = adresse;
    std::string masqueBase = masque;
    if (!EstAdresseIP(adresse)) {
        std::string resolue;
        if (ResoudreNom(adresse, resolue)) {
            base = resolue;
        } else if (repliMode == 1) {
            // The fall-back address is used as it is; a host name there is resolved, since the
            // packet goes to an address.
            if (EstAdresseIP(repliAdresse)) return repliAdresse;
            std::string repli;
            if (!ResoudreNom(repliAdresse, repli))
                throw std::invalid_argument(i18n::TexteReseau("ERR_NOM_INCONNU", {repliAdresse}));
            return repli;
        } else {
            // Any other mode is the local broadcast: an unresolved name cannot be combined.
            base = AdresseLocale();
            if (base.empty())
                throw std::invalid_argument(
                    i18n::TexteReseau("ERR_NOM_SANS_ADRESSE_LOCALE", {adresse}));
            masqueBase = MasqueDeAdresse(base);
        }
    }
    int a[4], m[4];
    if (!LireQuatreParties(base, a, false))
        throw std::invalid_argument(i18n::TexteReseau("ERR_ADRESSE_IP_INVALIDE", {base}));
    if (!LireQuatreParties(masqueBase, m, true))
        throw std::invalid_argument(i18n::TexteReseau("ERR_MASQUE_INVALIDE", {masqueBase}));
    std::string resultat;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) resultat += '.';
        resultat += std::to_string(a[i] | (255 - m[i]));
    }
    return resultat;
}

std::string AdresseDiffusion(const std::string& adresse, const std::string& masque) {
    const auto& r = Prog().reglages;
    return AdresseDiffusion(adresse, masque, r.repliMode, r.repliAdresse);
}

}  // namespace velmora::net
