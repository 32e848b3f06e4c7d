// The entries of the actions popup menu.
#include <optional>

#include "common/i18n/Traduction.h"
#include "gui/run/ActionRun.h"
#include "gui/widgets/Etat.h"

namespace velmora::gui {

namespace {
EntreeMenu Separateur() { return EntreeMenu{0, "-", false, {}}; }
// Item ids are 16-bit: custom commands stop at 100 + 32667.
constexpr size_t kCommandesMax = 32667;
}  // namespace

std::vector<EntreeMenu> ConstruireMenuActions(SourceMenu source, bool annulationPossible,
                                              bool forcerAnnulation, bool zapperConfigAction,
                                              long long delaiParDefaut,
                                              const std::vector<std::string>& commandes,
                                              bool windowsNT) {
    using i18n::Tr;
    std::vector<EntreeMenu> menu;
    const bool liste = source == SourceMenu::Liste;
    auto article = [&menu](int id, const std::string& libelle, bool grise = false) {
        menu.push_back(EntreeMenu{id, libelle, grise, {}});
    };
    if (liste) article(ActionReveiller, Tr(CleLibelleAction(ActionReveiller)));
    if (liste || source == SourceMenu::BoutonReveiller)
        article(ActionReveillerViaInternet, Tr(CleLibelleAction(ActionReveillerViaInternet)));
    if (liste) menu.push_back(Separateur());
    if (liste || source == SourceMenu::BoutonAgir) {
        std::string suffixe = "...";
        if (zapperConfigAction)
            suffixe = " (" + Tr("TXT_DELAI") + " : " +
                      (delaiParDefaut == 0 ? Tr("TXT_IMMEDIAT")
                                           : std::to_string(delaiParDefaut) + " s.") +
                      ")";
        article(ActionRedemarrer, Tr(CleLibelleAction(ActionRedemarrer)) + suffixe);
        article(ActionEteindre, Tr(CleLibelleAction(ActionEteindre)) + suffixe);
        if (windowsNT)
            for (int code = ActionVerrouiller; code <= ActionEteindreWMI; ++code)
                article(code, Tr(CleLibelleAction(code)));
        menu.push_back(Separateur());
        article(ActionAnnuler, Tr(CleLibelleAction(ActionAnnuler)),
                !(annulationPossible || forcerAnnulation));
    }
    if (!liste || commandes.empty()) return menu;

    menu.push_back(Separateur());
    menu.push_back(Separateur());
    std::optional<EntreeMenu> sousMenu;  // the submenu being filled
    auto fermerSousMenu = [&] {
        if (sousMenu) menu.push_back(*sousMenu);
        sousMenu.reset();
    };
    for (size_t i = 0; i < commandes.size() && i < kCommandesMax; ++i) {
        const int id = 100 + static_cast<int>(i) + 1;
        const std::string& nom = commandes[i];
        const size_t barre = nom.find('\\');
        if (barre == std::string::npos) {
            fermerSousMenu();
            article(id, nom);
            continue;
        }
        const std::string titre = nom.substr(0, barre);
        if (!sousMenu || titre != sousMenu->libelle) {
            fermerSousMenu();
            sousMenu = EntreeMenu{0, titre, false, {}};
        }
        sousMenu->sousMenu.push_back(EntreeMenu{id, nom.substr(barre + 1), false, {}});
    }
    fermerSousMenu();
    return menu;
}

}  // namespace velmora::gui
