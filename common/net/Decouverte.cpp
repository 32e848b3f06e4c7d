#include "common/net/Decouverte.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <mutex>
#include <thread>

#include "common/net/Balayage.h"
#include "common/net/Sondes.h"
#include "common/net/SondesInterne.h"
#include "common/text/Commun.h"

namespace velmora::net {

namespace {

constexpr const char* kFichierOUI = "/usr/share/ieee-data/oui.txt";
constexpr int kDelaiNetBIOSMs = 500;
constexpr int kEssaisNetBIOS = 2;

std::string_view Rogner(std::string_view t) {
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front()))) t.remove_prefix(1);
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back()))) t.remove_suffix(1);
    return t;
}

// A decimal number of 1 to `chiffres` digits at most `max`; -1 otherwise.
int Nombre(std::string_view t, size_t chiffres, int max) {
    if (t.empty() || t.size() > chiffres) return -1;
    int n = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n <= max ? n : -1;
}

// A dotted quad (four numbers 0-255) in host order.
bool LireQuad(std::string_view t, std::uint32_t& valeur) {
    valeur = 0;
    for (int i = 0; i < 4; ++i) {
        const size_t point = i < 3 ? t.find('.') : t.size();
        if (point == std::string_view::npos) return false;
        const int octet = Nombre(t.substr(0, point), 3, 255);
        if (octet < 0) return false;
        valeur = (valeur << 8) | static_cast<std::uint32_t>(octet);
        t.remove_prefix(i < 3 ? point + 1 : point);
    }
    return t.empty();
}

// The prefix of a contiguous mask, or -1.
int PrefixeDeMasque(std::uint32_t masque) {
    int prefixe = 0;
    while (prefixe < 32 && (masque & (0x80000000u >> prefixe))) ++prefixe;
    const std::uint32_t attendu = prefixe == 0 ? 0 : ~std::uint32_t(0) << (32 - prefixe);
    return masque == attendu ? prefixe : -1;
}

std::uint32_t Masque(int prefixe) { return prefixe == 0 ? 0 : ~std::uint32_t(0) << (32 - prefixe); }

std::string Quad(std::uint32_t v) {
    return std::to_string(v >> 24) + "." + std::to_string((v >> 16) & 0xFF) + "." +
           std::to_string((v >> 8) & 0xFF) + "." + std::to_string(v & 0xFF);
}

// Six upper-case hex digits of the first three bytes of a MAC address, or "".
std::string CleOUI(const std::string& mac) {
    std::string cle;
    for (char c : mac) {
        if (std::isxdigit(static_cast<unsigned char>(c)))
            cle += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        else if (c != '-' && c != ':')
            return {};
    }
    return cle.size() == 12 ? cle.substr(0, 6) : std::string();
}

class SondesReelles : public SondesDecouverte {
  public:
    void Balayer(const std::vector<std::string>& adresses,
                 const std::function<void(std::size_t, bool)>& surReponse,
                 const std::atomic<bool>& arret) override {
        net::Balayer(
            adresses, [&](const ReponseBalayage& r) { surReponse(r.index, r.repondu); }, &arret);
    }
    std::string NomInverse(const std::string& adresse) override { return net::NomInverse(adresse); }
    std::string MacVoisin(const std::string& adresse) override {
        return MacDepuisTableVoisins(LireTableNet("arp"), adresse);
    }
    void NetBIOS(const std::string& adresse, std::string& nom, std::string& mac) override {
        mac = InterrogerNetBIOS(adresse, 137, kDelaiNetBIOSMs, kEssaisNetBIOS, &nom);
    }
    std::string Fabricant(const std::string& mac) override {
        return net::Fabricant(TableOUISysteme(), mac);
    }
};

HoteDecouvert Decrire(SondesDecouverte& sondes, const std::string& adresse) {
    HoteDecouvert hote{adresse, sondes.NomInverse(adresse), sondes.MacVoisin(adresse), {}, true};
    if (hote.nom.empty() || hote.mac.empty()) {
        std::string nom, mac;
        sondes.NetBIOS(adresse, nom, mac);
        if (hote.nom.empty()) hote.nom = nom;
        if (hote.mac.empty()) hote.mac = mac;
    }
    if (!hote.mac.empty()) hote.fabricant = sondes.Fabricant(hote.mac);
    return hote;
}

}  // namespace

ErreurPlage AnalyserPlage(std::string_view texte, PlageIPv4& plage) {
    if (texte.size() > 64) return ErreurPlage::Invalide;
    texte = Rogner(texte);
    const size_t barre = texte.find('/');
    std::uint32_t adresse = 0;
    if (!LireQuad(Rogner(texte.substr(0, barre)), adresse)) return ErreurPlage::Invalide;
    int prefixe = 32;
    if (barre != std::string_view::npos) {
        const std::string_view suite = Rogner(texte.substr(barre + 1));
        std::uint32_t masque = 0;
        if (suite.find('.') != std::string_view::npos)
            prefixe = LireQuad(suite, masque) ? PrefixeDeMasque(masque) : -1;
        else
            prefixe = Nombre(suite, 2, 32);
        if (prefixe < 0) return ErreurPlage::Invalide;
    }
    if (prefixe < kPrefixeMinimal) return ErreurPlage::TropGrande;
    plage = {adresse & Masque(prefixe), prefixe};
    return ErreurPlage::Aucune;
}

std::string TextePlage(const PlageIPv4& plage) {
    return Quad(plage.reseau) + "/" + std::to_string(plage.prefixe);
}

std::vector<std::string> AdressesDePlage(const PlageIPv4& plage) {
    const int prefixe = std::clamp(plage.prefixe, kPrefixeMinimal, 32);
    const std::uint64_t taille = std::uint64_t(1) << (32 - prefixe);
    const std::uint32_t debut = plage.reseau & Masque(prefixe);
    std::uint64_t premier = 0, dernier = taille - 1;
    if (prefixe <= 30) {
        premier = 1;  // the subnet's own address
        --dernier;    // its broadcast address
    }
    std::vector<std::string> adresses;
    adresses.reserve(static_cast<size_t>(dernier - premier + 1));
    for (std::uint64_t i = premier; i <= dernier; ++i)
        adresses.push_back(Quad(debut + static_cast<std::uint32_t>(i)));
    return adresses;
}

std::string PlageDeInterface(const std::string& adresse, const std::string& masque) {
    std::uint32_t a = 0, m = 0;
    if (!LireQuad(adresse, a) || !LireQuad(masque, m)) return {};
    int prefixe = 0;
    while (prefixe < 32 && (m & (0x80000000u >> prefixe))) ++prefixe;
    prefixe = std::max(prefixe, kPrefixeMinimal);
    return TextePlage({a & Masque(prefixe), prefixe});
}

std::string PlageLocale() {
    const std::string adresse = AdresseLocale();
    return adresse.empty() ? std::string() : PlageDeInterface(adresse, MasqueDeAdresse(adresse));
}

std::string NomInverse(const std::string& adresse) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    if (::inet_pton(AF_INET, adresse.c_str(), &a.sin_addr) != 1) return {};
    char nom[NI_MAXHOST];
    if (::getnameinfo(reinterpret_cast<sockaddr*>(&a), sizeof a, nom, sizeof nom, nullptr, 0,
                      NI_NAMEREQD) != 0)
        return {};
    return nom;
}

TableOUI LireTableOUI(std::istream& texte) {
    TableOUI table;
    std::string ligne;
    while (std::getline(texte, ligne)) {
        const size_t hex = ligne.find("(hex)");
        if (hex == std::string::npos) continue;
        const std::string cle =
            CleOUI(std::string(Rogner(std::string_view(ligne).substr(0, hex))) + "-00-00-00");
        const std::string_view fabricant = Rogner(std::string_view(ligne).substr(hex + 5));
        if (cle.empty() || fabricant.empty()) continue;
        table.emplace(cle, std::string(fabricant));
    }
    return table;
}

std::string Fabricant(const TableOUI& table, const std::string& mac) {
    const std::string cle = CleOUI(mac);
    if (cle.empty()) return {};
    const auto trouve = table.find(cle);
    return trouve == table.end() ? std::string() : trouve->second;
}

const TableOUI& TableOUISysteme() {
    static const TableOUI table = [] {
        std::ifstream fichier(kFichierOUI);
        return fichier ? LireTableOUI(fichier) : TableOUI();
    }();
    return table;
}

std::unique_ptr<SondesDecouverte> CreerSondesDecouverte() {
    return std::make_unique<SondesReelles>();
}

void Decouvrir(const std::vector<std::string>& adresses, SondesDecouverte& sondes,
               const SuiviDecouverte& suivi, const std::atomic<bool>& arret, int enParallele) {
    std::mutex verrou;  // one callback at a time
    std::vector<std::string> repondus;
    size_t fait = 0;
    sondes.Balayer(
        adresses,
        [&](std::size_t i, bool repond) {
            std::lock_guard<std::mutex> garde(verrou);
            ++fait;
            if (repond && i < adresses.size()) {
                repondus.push_back(adresses[i]);
                if (suivi.surHote) suivi.surHote({adresses[i], {}, {}, {}, false});
            }
            if (suivi.surProgression) suivi.surProgression(fait, adresses.size());
        },
        arret);
    if (arret) return;
    const size_t total = repondus.size();
    fait = 0;
    if (suivi.surDescription) suivi.surDescription(0, total);
    std::atomic<size_t> suivant{0};
    auto travailler = [&] {
        for (size_t i = suivant++; i < repondus.size() && !arret; i = suivant++) {
            const HoteDecouvert hote = Decrire(sondes, repondus[i]);
            std::lock_guard<std::mutex> garde(verrou);
            if (arret) return;
            if (suivi.surHote) suivi.surHote(hote);
            if (suivi.surDescription) suivi.surDescription(++fait, total);
        }
    };
    std::vector<std::thread> fils;
    const size_t nombre = std::min<size_t>(std::max(enParallele, 1), repondus.size());
    for (size_t i = 1; i < nombre; ++i) fils.emplace_back(travailler);
    travailler();
    for (auto& fil : fils) fil.join();
}

}  // namespace velmora::net
