#include "gui/widgets/Etat.h"

namespace velmora::gui {

EtatFenetre& Etat() {
    static EtatFenetre etat;
    return etat;
}

}  // namespace velmora::gui
