// The configuration dialog opened from the main window's options menu.
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>

#include "gui/dialogs/frmConfiguration.h"
#include "gui/list/ListeMachines.h"
#include "gui/main/frmVelmora.h"
#include "gui/widgets/Etat.h"

namespace velmora::gui {

namespace {

// What the user sees on the rows beyond their cells: status colour, pending deadline, selection
// and current row. Kept across the reload of the folder, row by row, as long as the folder reads
// back the same machines in the same order.
struct VueLignes {
    struct Ligne {
        QString nom, adresse;
        std::string icone;
        QDateTime echeance;
        bool selectionnee = false;
    };
    std::vector<Ligne> lignes;
    int courante = -1;

    static VueLignes Lire(const QTreeWidget* liste) {
        VueLignes vue;
        for (int i = 0; i < liste->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* e = liste->topLevelItem(i);
            vue.lignes.push_back(
                {e->text(ColNom), e->text(ColAdresse), CleIcone(e), Echeance(e), e->isSelected()});
        }
        vue.courante = liste->indexOfTopLevelItem(liste->currentItem());
        return vue;
    }

    // True when a restored row waits for its deadline.
    bool Appliquer(QTreeWidget* liste) const {
        if (static_cast<int>(lignes.size()) != liste->topLevelItemCount()) return false;
        for (int i = 0; i < liste->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* e = liste->topLevelItem(i);
            if (e->text(ColNom) != lignes[i].nom || e->text(ColAdresse) != lignes[i].adresse)
                return false;
        }
        if (courante >= 0)
            liste->setCurrentItem(liste->topLevelItem(courante), 0, QItemSelectionModel::NoUpdate);
        bool attente = false;
        for (int i = 0; i < liste->topLevelItemCount(); ++i) {
            QTreeWidgetItem* e = liste->topLevelItem(i);
            DefinirIcone(e, lignes[i].icone);
            if (lignes[i].echeance.isValid()) {
                DefinirEcheance(e, lignes[i].echeance);
                attente = true;
            }
            e->setSelected(lignes[i].selectionnee);
        }
        return attente;
    }
};

}  // namespace

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
    const VueLignes vue = VueLignes::Lire(m_liste);
    SelectionnerOngletSansCharger(IndexDossier(m_dossierCourant));
    tabOnglets_Click();
    if (vue.Appliquer(m_liste)) m_timExtinction->start();
    ActualiserBoutons();
    if (Etat().redemarrage) close();
}

}  // namespace velmora::gui
