// Room gui/widgets/: what every window shares: program-wide state (this file), control helpers,
// the popup menu, the hook through which modal questions go, and window translation.
//
// Program-wide state of the windowed program shared by the main window, the action run and the
// dialogs: the Action request, the cancel flag and the modified marks.
#pragma once

#include <cstdint>
#include <string>

#include "common/config/Config.h"

namespace velmora::gui {

// Action codes (also the ids of the actions popup menu; custom commands use 100 + position).
enum CodeAction : int32_t {
    ActionAucune = -1,
    ActionReveiller = 1,
    ActionReveillerViaInternet = 2,
    ActionRedemarrer = 3,
    ActionEteindre = 4,
    ActionVerrouiller = 5,
    ActionFermerSession = 6,
    ActionVeilleProlongee = 7,
    ActionRedemarrerWMI = 8,
    ActionPowerOffWMI = 9,
    ActionEteindreWMI = 10,
    ActionAnnuler = 11,
};

// The action to run on the selected machines.
struct RequeteAction {
    int32_t code = ActionAucune;
    int16_t delai = 60;  // seconds before a remote restart or shutdown
    std::string message;
    bool forcer = false;
};

struct EtatFenetre {
    RequeteAction action;
    // Set true by every modal dialog when it opens and false when its OK succeeds; the progress
    // window sets it to ask a run to stop.
    bool annulation = false;
    bool configModifiee = false;     // settings changed: "Config" written at close/save
    bool dossierModifie = false;     // machines of the current folder changed
    bool dossiersModifies = false;   // the folder list changed
    // Settings of the windowed program read at load (window, confirmations, commands...).
    ReglagesFenetre reglages;
    bool optionsFenetreModifiees = false;  // an option menu was toggled
    bool redemarrage = false;              // restart after close (language changed)
    bool fermeture = false;                // the main window is closing
};

// The one instance of the windowed program.
EtatFenetre& Etat();

}  // namespace velmora::gui
