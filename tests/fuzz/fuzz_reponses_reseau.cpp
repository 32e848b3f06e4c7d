// Bytes received from the network and texts read from system tables never crash the parsers,
// and what they return keeps its documented shape.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "common/net/ErreursWindows.h"
#include "common/net/PaquetMagique.h"
#include "common/net/ReveilInternet.h"
#include "common/net/Sondes.h"
#include "common/net/SondesInterne.h"
#include "common/text/Commun.h"

namespace {

// "" or six upper-case pairs joined by "-".
void VerifierMac(const std::string& mac) {
    if (mac.empty()) return;
    if (mac.size() != 17 || !velmora::EstAdresseMAC(mac) || velmora::Majuscules(mac) != mac)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velmora::net;
    const std::string texte(reinterpret_cast<const char*>(data), size);
    const std::uint16_t id = size >= 2 ? static_cast<std::uint16_t>((data[0] << 8) | data[1]) : 0;
    VerifierMac(MacDepuisNodeStatus(texte, id));
    VerifierMac(MacDepuisTableVoisins(texte, "192.168.1.1"));
    std::uint32_t passerelle = 0;
    (void)InterfaceRouteParDefaut(texte, &passerelle);
    (void)StatutReponse(texte);
    (void)CompacterEspaces(texte);
    ResultatOutil echec;
    echec.lance = true;
    echec.statut = 1;
    echec.sortie = texte;
    if (TexteEchecOutil(echec).find(" (err=") == std::string::npos) std::abort();

    PaquetMagique paquet;
    std::string erreur;
    if (ConstruirePaquetMagique(texte, paquet, erreur)) {
        for (int i = 0; i < 6; ++i)
            if (paquet[i] != 0xFF) std::abort();
    } else if (erreur.empty()) {
        std::abort();
    }
    // Only dotted quads: a name would be handed to the resolver.
    const size_t barre = texte.find('/');
    const std::string adresse = texte.substr(0, barre);
    const std::string masque = barre == std::string::npos ? "" : texte.substr(barre + 1);
    if (velmora::EstAdresseIP(adresse)) {
        try {
            if (!velmora::EstAdresseIP(AdresseDiffusion(adresse, masque, 1, "x"))) std::abort();
        } catch (const std::invalid_argument&) {
        }
    }
    return 0;
}
