// frmVelmora: the actions popup menu, the action run on the selected rows, pending rows, the
// information text of the menu bar and the state of the buttons.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>

#include "common/config/Programme.h"
#include "common/platform/Outil.h"
#include "gui/dialogs/frmConfigAction.h"
#include "gui/list/ListeMachines.h"
#include "gui/main/frmVelmora.h"
#include "gui/run/frmTraitementEnCours.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/clsPopupMenu.h"

namespace velmora::gui {

namespace {
QString Q(const std::string& texte) { return QString::fromStdString(texte); }

void Remplir(clsPopupMenu& menu, const std::vector<EntreeMenu>& entrees,
             std::vector<std::unique_ptr<clsPopupMenu>>& sousMenus) {
    for (const EntreeMenu& entree : entrees) {
        if (!entree.sousMenu.empty()) {
            sousMenus.push_back(std::make_unique<clsPopupMenu>());
            Remplir(*sousMenus.back(), entree.sousMenu, sousMenus);
            menu.AddItem(0, *sousMenus.back(), Q(entree.libelle));
        } else {
            menu.AddItem(entree.id, Q(entree.libelle), entree.grise ? clsPopupMenu::Grise : 0);
        }
    }
}
}  // namespace

void frmVelmora::AfficherMenuActions(QPushButton* source, bool forcerAnnulation) {
    const SourceMenu origine = source == nullptr              ? SourceMenu::Liste
                               : source == m_btnReveillerPlus ? SourceMenu::BoutonReveiller
                                                              : SourceMenu::BoutonAgir;
    std::vector<std::string> commandes;
    for (const CommandePersonnalisee& commande : Etat().reglages.commandes)
        commandes.push_back(commande.libelle);
    const std::vector<EntreeMenu> entrees = ConstruireMenuActions(
        origine, m_annulationPossible, forcerAnnulation, Etat().reglages.zapperConfigAction,
        Prog().reglages.delaiAvantRedemarrage, commandes, platform::EstWindowsNT());
    int choix = 0;
    {
        clsPopupMenu menu;
        std::vector<std::unique_ptr<clsPopupMenu>> sousMenus;
        Remplir(menu, entrees, sousMenus);
        choix =
            source ? menu.TrackPopup(this, -1, -1, source, false) : menu.TrackPopup(this, -1, -1);
    }
    if (source) source->setDown(false);
    ExecuterChoixMenu(choix);
}

void frmVelmora::ExecuterChoixMenu(int id) {
    if (id <= 0) return;
    if (id > 100) {
        ExecuterCommandePersonnalisee(id - 100);
        return;
    }
    RequeteAction& requete = Etat().action;
    requete.code = id;
    if (id == ActionRedemarrer || id == ActionEteindre) {
        if (Etat().reglages.zapperConfigAction) {
            const ReglagesDemarrage& defauts = Prog().reglages;
            requete.delai = static_cast<int16_t>(
                std::clamp<long long>(defauts.delaiAvantRedemarrage, 0, 32767));
            requete.message = defauts.messageParDefaut;
            requete.forcer = defauts.forcerParDefaut;
        } else if (!OuvrirConfigAction(id)) {
            return;
        }
    }
    ExecuterAction();
}

void frmVelmora::btnReveiller_Click() {
    Etat().action.code = ActionReveiller;
    ExecuterAction();
}

void frmVelmora::btnAgir_Click() {
    Etat().action.code = ActionAucune;
    if (OuvrirConfigAction(ActionAucune)) ExecuterAction();
}

void frmVelmora::ExecuterAction() {
    ExecutionAction execution(*this, *m_operations);
    m_dernierBilan = execution.Executer();
}

int frmVelmora::ConfirmerAction() {
    ExecutionAction execution(*this, *m_operations);
    return execution.ConfirmerAction();
}

void frmVelmora::AfficherInfo(const std::string& texte) {
    m_mnuInfo->setText(Q(texte));
    m_mnuInfo->setVisible(true);
}

void frmVelmora::timEffacerInfo_Timer() {
    m_timEffacerInfo->stop();
    m_mnuInfo->setVisible(false);
}

void frmVelmora::timExtinction_Timer() {
    bool fini = true;
    const QDateTime maintenant = QDateTime::currentDateTime();
    for (int i = 0; i < m_liste->topLevelItemCount(); ++i) {
        QTreeWidgetItem* ligne = m_liste->topLevelItem(i);
        const QDateTime echeance = Echeance(ligne);
        if (!echeance.isValid()) continue;
        if (echeance > maintenant) {
            velmora::gui::DefinirIcone(ligne, CleIcone(ligne) == kVert ? kRouge : kVert);
            fini = false;
        } else {
            DefinirEcheance(ligne, QDateTime());
            velmora::gui::DefinirIcone(ligne, kGris);
        }
    }
    if (fini) m_timExtinction->stop();
}

void frmVelmora::ActualiserBoutons() {
    const int n = m_liste->topLevelItemCount();
    m_lblMachines->setText(QString::number(n));
    if (m_testEnCours) return;
    const QList<QTreeWidgetItem*> selection = m_liste->selectedItems();
    const int s = static_cast<int>(selection.size());
    m_btnModifier->setEnabled(s == 1);
    for (QPushButton* bouton : {m_btnSupprimer, m_btnTesterSelection, m_btnReveiller,
                                m_btnReveillerPlus, m_btnAgir, m_btnAgirPlus})
        bouton->setEnabled(s >= 1);
    m_btnTester->setEnabled(n >= 1);
    m_annulationPossible = std::all_of(selection.begin(), selection.end(),
                                       [](auto* ligne) { return Echeance(ligne).isValid(); });
}

QTreeWidgetItem* frmVelmora::Element(int ligne) const { return m_liste->topLevelItem(ligne); }

int frmVelmora::NombreLignes() const { return m_liste->topLevelItemCount(); }

bool frmVelmora::EstSelectionnee(int ligne) const {
    QTreeWidgetItem* element = Element(ligne);
    return element && element->isSelected();
}

int frmVelmora::NombreSelectionnees() const {
    return static_cast<int>(m_liste->selectedItems().size());
}

Machine frmVelmora::LireMachine(int ligne) const { return LireElement(Element(ligne)); }

void frmVelmora::DefinirIcone(int ligne, const std::string& cle) {
    if (QTreeWidgetItem* element = Element(ligne)) velmora::gui::DefinirIcone(element, cle);
}

void frmVelmora::DebutAttente(int ligne, int delai) {
    if (QTreeWidgetItem* element = Element(ligne))
        DefinirEcheance(element, QDateTime::currentDateTime().addSecs(delai));
    m_timExtinction->start();
}

void frmVelmora::FinAttente(int ligne) {
    m_liste->setFocus();
    if (QTreeWidgetItem* element = Element(ligne)) {
        velmora::gui::DefinirIcone(element, kVert);
        DefinirEcheance(element, QDateTime());
    }
}

void frmVelmora::Sablier(bool actif) {
    if (actif) {
        if (QApplication::overrideCursor())
            QApplication::changeOverrideCursor(Qt::WaitCursor);
        else
            QApplication::setOverrideCursor(Qt::WaitCursor);
        return;
    }
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

void frmVelmora::DebutTraitement() {
    m_actionEnCours = true;
    Sablier(true);
    centralWidget()->setEnabled(false);
    menuBar()->setEnabled(false);
}

void frmVelmora::DemarrerEffacementInfo() { m_timEffacerInfo->start(); }

void frmVelmora::FinTraitement(bool effacerInfo, bool actualiser) {
    m_actionEnCours = false;
    if (effacerInfo) m_timEffacerInfo->start();
    if (actualiser) ActualiserBoutons();
    centralWidget()->setEnabled(true);
    menuBar()->setEnabled(true);
    activateWindow();
    m_liste->setFocus();
}

std::unique_ptr<JournalAction> frmVelmora::CreerJournal() {
    return std::make_unique<frmTraitementEnCours>(this);
}

bool frmVelmora::OuvrirConfigAction(int code) {
    Etat().action.code = code;
    frmConfigAction dialogue(this);
    return dialogue.Editer() && !Etat().annulation;
}

}  // namespace velmora::gui
