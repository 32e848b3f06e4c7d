#include "gui/run/MiseAJourMAC.h"

#include "common/i18n/Traduction.h"
#include "common/text/Commun.h"

namespace velmora::gui {

using i18n::Tr;

bool MettreAJourMAC(ListeMAC& liste, JournalMAC& journal, net::OperationsReseau& sondes,
                    const Executeur& executeur) {
    for (int ligne = 0; ligne < liste.Nombre(); ++ligne) {
        const std::string prefixe = liste.Nom(ligne) + " : ";
        const int position = journal.Ajouter(prefixe + Tr("TXT_MAC_EN_COURS"));
        const std::string adresse = NormaliserAdresseIP(liste.Adresse(ligne));

        bool repond = false;
        std::string mac;
        auto sonder = [&] {
            std::string adresseReponse;
            repond = sondes.Pinger(adresse, adresseReponse);
            if (!repond) return;
            // A machine given by name is looked up by the address that answered.
            const bool nom = !EstAdresseIP(adresse) && !adresseReponse.empty();
            mac = sondes.ChercherAdresseMAC(nom ? adresseReponse : adresse);
        };
        if (executeur)
            executeur(sonder);
        else
            sonder();

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
