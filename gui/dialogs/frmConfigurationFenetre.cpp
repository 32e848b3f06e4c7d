// The configuration dialog opened from the main window's options menu.
#include <QTabBar>

#include "gui/dialogs/frmConfiguration.h"
#include "gui/main/frmVelmora.h"
#include "gui/widgets/Etat.h"

namespace velmora::gui {

void frmVelmora::mnuOptionsPreferences_Click() {
    std::vector<std::string> ordre;
    {
        frmConfiguration dialogue(Dossiers(), this);
        dialogue.exec();
        if (Etat().annulation) return;
        ordre = dialogue.Dossiers();
    }
    Etat().configModifiee = true;
    AppliquerActualisationEtat();
    // The folder tabs follow the new order; "+" stays last.
    m_gardeOnglets = true;
    for (size_t i = 0; i < ordre.size() && static_cast<int>(i) + 1 < m_onglets->count(); ++i) {
        const int index = static_cast<int>(i);
        if (m_onglets->tabText(index).toStdString() != ordre[i]) Etat().dossiersModifies = true;
        m_onglets->setTabText(index, QString::fromStdString(ordre[i]));
        m_onglets->setTabData(index, QString::fromStdString(ordre[i] + "_"));
    }
    m_gardeOnglets = false;
    // Selecting the current folder's tab again saves and reloads it.
    SelectionnerOngletSansCharger(IndexDossier(m_dossierCourant));
    tabOnglets_Click();
    if (Etat().redemarrage) close();
}

}  // namespace velmora::gui
