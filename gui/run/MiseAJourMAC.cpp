#include "gui/run/MiseAJourMAC.h"

#include "common/config/Commun.h"
#include "common/i18n/Traduction.h"
#include "common/net/Balayage.h"
#include "common/net/Sondes.h"

namespace velmora::gui {

using i18n::Tr;

namespace {
class SondesReseau : public SondesMAC {
  public:
    bool Pinger(const std::string& adresse, std::string& adresseReponse) override {
        return net::Pinger(adresse, adresseReponse);
    }
    std::vector<std::string> PingerTout(const std::vector<std::string>& adresses) override {
        std::vector<std::string> reponses(adresses.size());
        net::Balayer(adresses, [&](const net::ReponseBalayage& r) {
            if (r.repondu) reponses[r.index] = r.adresse;
        });
        return reponses;
    }
    std::string ChercherAdresseMAC(const std::string& adresse) override {
        return net::ChercherAdresseMAC(adresse);
    }
};
}  // namespace

namespace {
std::function<std::unique_ptr<SondesMAC>()>& Fabrique() {
    static std::function<std::unique_ptr<SondesMAC>()> fabrique;
    return fabrique;
}
}  // namespace

std::unique_ptr<SondesMAC> CreerSondesMAC() {
    if (Fabrique()) return Fabrique()();
    return std::make_unique<SondesReseau>();
}

void DefinirSondesMAC(std::function<std::unique_ptr<SondesMAC>()> fabrique) {
    Fabrique() = std::move(fabrique);
}

std::vector<std::string> SondesMAC::PingerTout(const std::vector<std::string>& adresses) {
    std::vector<std::string> reponses(adresses.size());
    for (std::size_t i = 0; i < adresses.size(); ++i)
        if (std::string reponse; Pinger(adresses[i], reponse))
            reponses[i] = reponse.empty() ? adresses[i] : reponse;
    return reponses;
}

bool MettreAJourMAC(ListeMAC& liste, JournalMAC& journal, SondesMAC& sondes,
                    const Executeur& executeur) {
    auto executer = [&](const std::function<void()>& travail) {
        if (executeur)
            executeur(travail);
        else
            travail();
    };
    std::vector<std::string> adresses;
    for (int ligne = 0; ligne < liste.Nombre(); ++ligne)
        adresses.push_back(NormaliserAdresseIP(liste.Adresse(ligne)));
    // One sweep pings every machine in about one TempoPing; the first line shows meanwhile.
    std::vector<std::string> reponses;
    int premiere = -1;
    if (!adresses.empty()) {
        premiere = journal.Ajouter(liste.Nom(0) + " : " + Tr("TXT_MAC_EN_COURS"));
        executer([&] { reponses = sondes.PingerTout(adresses); });
    }
    reponses.resize(adresses.size());

    for (int ligne = 0; ligne < liste.Nombre(); ++ligne) {
        const std::string prefixe = liste.Nom(ligne) + " : ";
        const int position =
            ligne == 0 ? premiere : journal.Ajouter(prefixe + Tr("TXT_MAC_EN_COURS"));
        const std::string& adresse = adresses[ligne];
        const std::string& adresseReponse = reponses[ligne];

        const bool repond = !adresseReponse.empty();
        std::string mac;
        // A machine given by name is looked up by the address that answered.
        if (repond)
            executer([&] {
                mac = sondes.ChercherAdresseMAC(EstAdresseIP(adresse) ? adresse : adresseReponse);
            });

        std::string resultat;
        if (!repond) {
            resultat = Tr("TXT_NE_REPOND_PAS");
        } else if (mac.empty()) {
            resultat = Tr("TXT_MAC_IMPOSSIBLE");
        } else if (mac != liste.MAC(ligne)) {
            resultat = Tr("TXT_MAC_NOUVELLE", {liste.MAC(ligne), mac});
            liste.DefinirMAC(ligne, mac);
        } else {
            resultat = Tr("TXT_MAC_INCHANGEE");
        }
        journal.Remplacer(position, prefixe + resultat);
        if (journal.ArretDemande()) return true;
    }
    return false;
}

}  // namespace velmora::gui
