#include "gui/import/ImportTrellide.h"

#include <optional>

#include "common/net/Valeurs.h"
#include "common/text/Commun.h"

namespace velmora::gui {

BilanImport ImporterTrellide(const std::vector<std::string>& lignes, CibleImport& cible,
                             const QuestionsImport& questions) {
    BilanImport bilan;
    std::optional<bool> ignorerSansMAC;
    std::optional<bool> remplacer;
    size_t compteur = 0;
    for (const std::string& brute : lignes) {
        if (questions.patienter && ++compteur % 500 == 0) questions.patienter();
        const std::string ligne = Rogner(brute);
        if (ligne.empty()) continue;
        const std::vector<std::string> champs = ExtraireChamp(ligne, "\t");
        // An address that a program would read as an option, or that holds blanks, is not taken.
        if (champs.size() < 6 || !net::AdresseSansOptionNiBlanc(champs[0])) {
            ++bilan.ignorees;
            continue;
        }
        if (champs[5].empty()) {
            if (!ignorerSansMAC)
                ignorerSansMAC = questions.ignorerSansMAC ? questions.ignorerSansMAC() : true;
            if (*ignorerSansMAC) {
                ++bilan.ignorees;
                continue;
            }
        }
        size_t champCommentaire = 3;
        if (champs.size() >= 11 && !champs[10].empty())
            champCommentaire = 10;
        else if (champs.size() >= 11 && !champs[8].empty())
            champCommentaire = 8;
        const MachineImportee m{champs[1],    champs[0],    champs[5],
                                std::nullopt, std::nullopt, champs[champCommentaire]};
        const int trouvee = cible.Trouver(champs[3].empty() ? champs[1] : champs[3]);
        if (trouvee >= 0 && !remplacer)
            remplacer = questions.remplacerExistants ? questions.remplacerExistants() : false;
        if (trouvee >= 0 && *remplacer) {
            cible.Remplacer(trouvee, m);
            ++bilan.remplacees;
        } else {
            cible.Ajouter(m);
            ++bilan.ajoutees;
        }
    }
    cible.Terminer();
    return bilan;
}

}  // namespace velmora::gui
