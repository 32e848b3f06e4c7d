#include "gui/run/MiseAJourMAC.h"

#include "common/i18n/Traduction.h"
#include "common/text/Commun.h"

namespace velmora::gui {

using i18n::Tr;

bool MettreAJourMAC(ListeMAC& liste, JournalMAC& journal, net::OperationsReseau& sondes,
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
