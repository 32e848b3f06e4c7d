// frmVelmora: folders (tabs), rows, sort, clipboard and keyboard of the machine list.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTabBar>
#include <QTreeWidget>
#include <filesystem>

#include "common/config/IniFile.h"
#include "common/config/Machine.h"
#include "common/config/MiseAJourMachines.h"
#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "common/text/Commun.h"
#include "gui/list/ListeMachines.h"
#include "gui/main/frmVelmora.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/Questions.h"

namespace velmora::gui {

using i18n::Tr;

namespace {
QString Q(const std::string& texte) { return QString::fromStdString(texte); }
std::string S(const QString& texte) { return texte.toStdString(); }
constexpr const char* kPlus = "+";
}  // namespace

std::vector<std::string> frmVelmora::Dossiers() const {
    std::vector<std::string> dossiers;
    for (int i = 0; i + 1 < m_onglets->count(); ++i) dossiers.push_back(S(m_onglets->tabText(i)));
    return dossiers;
}

void frmVelmora::LireDossiersAuDemarrage() {
    const std::string& fichier = Prog().fichierConfig;
    m_gardeOnglets = true;
    while (m_onglets->count() > 0) m_onglets->removeTab(0);
    if (std::filesystem::exists(fichier)) {
        std::string liste = LireIni(fichier, cle::Config, cle::ListeDossiers, "");
        if (liste.empty()) {
            std::vector<std::string> sections;
            for (const std::string& section : ListerSections(fichier))
                if (!section.empty() && Minuscules(section) != "config")
                    sections.push_back(section);
            liste = Joindre(sections, "|");
        }
        if (!liste.empty())
            for (const std::string& nom : ExtraireChamp(liste, "|")) {
                if (nom.empty() || EstNomDossierReserve(nom)) continue;  // the settings
                const int index = m_onglets->addTab(Q(nom));
                m_onglets->setTabData(index, Q(nom + "_"));
            }
    } else {
        Etat().configModifiee = true;
        Etat().dossiersModifies = true;
        Etat().optionsFenetreModifiees = true;
    }
    if (m_onglets->count() == 0) {
        m_dossierCourant = kDossierParDefaut;
        m_onglets->setTabData(m_onglets->addTab(Q(m_dossierCourant)), Q(m_dossierCourant + "_"));
    }
    m_onglets->setTabData(m_onglets->addTab(kPlus), QString(kPlus) + "_");

    int selection = 0;
    const std::string dernier = Etat().reglages.dernierDossierOuvert;
    if (!dernier.empty()) {
        m_mnuMemoriserDossier->setChecked(true);
        for (int i = 0; i + 1 < m_onglets->count(); ++i)
            if (m_onglets->tabData(i).toString() == Q(dernier + "_")) selection = i;
    }
    if (!Etat().reglages.tri.empty()) {
        m_mnuMemoriserTri->setChecked(true);
        m_tri = static_cast<int>(Val(Etat().reglages.tri));
        if (std::abs(m_tri) > NombreColonnes) m_tri = 0;
    }
    m_onglets->setCurrentIndex(selection);
    // A hidden tab bar does not tell its layout that its tabs changed, and the window's layout
    // may already have been measured with none (zero height): it asks again now.
    m_onglets->updateGeometry();
    m_gardeOnglets = false;
    m_listeModifiee = false;
    m_dossierCourant = S(m_onglets->tabText(selection));
    ChargerDossier(m_dossierCourant);
    ActualiserBoutons();
}

void frmVelmora::ChargerDossier(const std::string& dossier) {
    m_liste->setUpdatesEnabled(false);
    m_liste->clear();
    QList<QTreeWidgetItem*> lignes;
    for (const Machine& machine : velmora::ChargerDossier(Prog().fichierConfig, dossier)) {
        lignes.append(new ElementMachine(machine));
        DefinirLigneChargee(lignes.back(), LigneMachine(machine));
    }
    m_liste->addTopLevelItems(lignes);
    if (m_tri != 0) TrierListe();
    m_liste->setUpdatesEnabled(true);
    if (m_liste->topLevelItemCount() > 0) {
        m_liste->setCurrentItem(m_liste->topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
        m_liste->clearSelection();
    }
}

bool frmVelmora::SauverDossier(const std::string& dossier) {
    const std::string nom = dossier.empty() ? m_dossierCourant : dossier;
    std::vector<Machine> machines;
    machines.reserve(m_liste->topLevelItemCount());
    for (int i = 0; i < m_liste->topLevelItemCount(); ++i)
        machines.push_back(LireElement(m_liste->topLevelItem(i)));
    std::string erreur;
    if (dossier.empty() && !machines.empty()) {
        // The current folder: what this window did not change itself is taken from the file as
        // it is now, so that another program's changes made meanwhile are kept.
        std::vector<LigneSauvee> lignes;
        lignes.reserve(machines.size());
        for (int i = 0; i < m_liste->topLevelItemCount(); ++i)
            lignes.push_back(
                {machines[static_cast<size_t>(i)], LigneChargee(m_liste->topLevelItem(i))});
        std::vector<Machine> ecrites;
        if (!SauvegarderDossierFusion(Prog().fichierConfig, nom, lignes, &ecrites, &erreur)) {
            SignalerErreurEcriture(erreur);
            return false;
        }
        m_listeModifiee = false;
        if (ecrites != machines) {
            ChargerDossier(nom);  // the list shows what the file holds now
        } else {
            for (int i = 0; i < m_liste->topLevelItemCount(); ++i)
                DefinirLigneChargee(m_liste->topLevelItem(i),
                                    LigneMachine(machines[static_cast<size_t>(i)]));
        }
        return true;
    }
    const bool ok = machines.empty()
                        ? velmora::SupprimerDossier(Prog().fichierConfig, nom, &erreur)
                        : SauvegarderDossier(Prog().fichierConfig, nom, machines, &erreur);
    if (!ok) {
        SignalerErreurEcriture(erreur);
        return false;
    }
    m_listeModifiee = false;
    return true;
}

int frmVelmora::IndexDossier(const std::string& nom) const {
    for (int i = 0; i + 1 < m_onglets->count(); ++i)
        if (S(m_onglets->tabText(i)) == nom) return i;
    return 0;
}

void frmVelmora::SelectionnerOngletSansCharger(int index) {
    m_gardeOnglets = true;
    m_onglets->setCurrentIndex(index);
    m_gardeOnglets = false;
}

void frmVelmora::SelectionnerDossier(int index) { m_onglets->setCurrentIndex(index); }

void frmVelmora::tabOnglets_Click() {
    if (m_gardeOnglets) return;
    const int index = m_onglets->currentIndex();
    if (index < 0) return;
    const int indexCourant = IndexDossier(m_dossierCourant);
    if (m_listeModifiee && !SauverDossier()) {
        // The folder could not be written: stay on it so that its rows are not lost.
        SelectionnerOngletSansCharger(indexCourant);
        return;
    }
    if (m_onglets->tabText(index) != kPlus) {
        m_dossierCourant = S(m_onglets->tabText(index));
        ChargerDossier(m_dossierCourant);
        ActualiserBoutons();
        m_liste->setFocus();
        return;
    }
    NouveauDossier();
}

bool frmVelmora::DemanderNomDossier(const std::string& titre, std::string& nom, int ignorer) {
    while (true) {
        Question question;
        question.genre = Question::Genre::Saisie;
        question.texte = Tr("TXT_VEUILLEZ_SPECIFIER_DOSSIER");
        question.titre = titre;
        question.valeurInitiale = nom;
        const Reponse reponse = Demander(this, question);
        if (reponse.resultat == 2 || reponse.texte.empty()) return false;
        nom = reponse.texte;
        const std::string refus = VerifierNomDossier(nom, Dossiers(), ignorer);
        if (refus.empty()) return true;
        MsgBox(this, Tr(refus), 48, TitreApplication());
    }
}

void frmVelmora::NouveauDossier() {
    std::string nom = m_dernierNomDossier;
    const bool accepte = DemanderNomDossier(Tr("TXT_NOUVEAU_DOSSIER"), nom, -1);
    m_dernierNomDossier = nom;
    const int indexCourant = IndexDossier(m_dossierCourant);
    if (!accepte) {
        SelectionnerOngletSansCharger(indexCourant);
        return;
    }
    m_gardeOnglets = true;
    const int index = m_onglets->insertTab(m_onglets->count() - 1, Q(nom));
    m_onglets->setTabData(index, Q(nom + "_"));
    m_onglets->setCurrentIndex(index);
    m_gardeOnglets = false;
    m_dossierCourant = nom;
    Etat().dossiersModifies = true;
    m_liste->clear();
    ActualiserBoutons();
    m_liste->setFocus();
}

void frmVelmora::OngletsMenuContextuel(const QPoint& position) {
    const int index = m_onglets->tabAt(position);
    if (index < 0) return;
    if (index != m_onglets->currentIndex()) {
        m_onglets->setCurrentIndex(index);
        QCoreApplication::processEvents();
    }
    if (m_onglets->tabText(m_onglets->currentIndex()) == kPlus) return;
    QMenu menu(this);
    QAction* renommer = menu.addAction(Q(Tr("TXT_RENOMMER_DOSSIER") + "..."));
    QAction* supprimer = menu.addAction(Q(Tr("TXT_SUPPRIMER_DOSSIER") + "..."));
    supprimer->setEnabled(m_onglets->count() >= 3);
    QAction* choix = menu.exec(m_onglets->mapToGlobal(position));
    if (choix == renommer) RenommerDossier();
    if (choix == supprimer) SupprimerDossier();
}

void frmVelmora::RenommerDossier() {
    const int index = m_onglets->currentIndex();
    if (index < 0 || index + 1 >= m_onglets->count()) return;
    const std::string ancien = S(m_onglets->tabText(index));
    std::string nom = ancien;
    if (!DemanderNomDossier(Tr("TXT_RENOMMER_DOSSIER"), nom, index) || nom == ancien) return;
    std::string erreur;
    // Section names ignore case: a new spelling of the same name must not delete the rows just
    // written, so the old section goes first then.
    if (Egal(ancien, nom, Comparaison::Texte)) {
        if (!velmora::SupprimerDossier(Prog().fichierConfig, ancien, &erreur)) {
            SignalerErreurEcriture(erreur);
            return;
        }
        m_dossierCourant = nom;
        if (!SauverDossier(nom)) m_listeModifiee = true;
    } else {
        if (!SauverDossier(nom)) return;
        if (!velmora::SupprimerDossier(Prog().fichierConfig, ancien, &erreur))
            SignalerErreurEcriture(erreur);
    }
    m_onglets->setTabText(index, Q(nom));
    m_onglets->setTabData(index, Q(nom + "_"));
    m_dossierCourant = nom;
    Etat().dossiersModifies = true;
}

void frmVelmora::SupprimerDossier() {
    const int index = m_onglets->currentIndex();
    if (m_onglets->count() < 3 || index < 0 || index + 1 >= m_onglets->count()) return;
    const int reponse = MsgBox(this, Tr("MSG_CONFIRMATION_SUPPRESSION_DOSSIER", {m_dossierCourant}),
                               4 + 32 + 256, TitreApplication());
    if (reponse != 6) return;
    std::string erreur;
    if (!velmora::SupprimerDossier(Prog().fichierConfig, m_dossierCourant, &erreur)) {
        SignalerErreurEcriture(erreur);
        return;
    }
    m_listeModifiee = false;
    Etat().dossiersModifies = true;
    m_gardeOnglets = true;
    m_onglets->removeTab(index);
    m_gardeOnglets = false;
    int suivant = index;
    if (m_onglets->tabText(suivant) == kPlus) suivant = index - 1;
    if (m_onglets->currentIndex() == suivant)
        tabOnglets_Click();
    else
        m_onglets->setCurrentIndex(suivant);
}

void frmVelmora::TrierListe() {
    m_liste->setUpdatesEnabled(false);
    if (m_tri == 0) {
        m_liste->header()->setSortIndicatorShown(false);
    } else {
        const int colonne = std::abs(m_tri) - 1;
        for (int i = 0; i < m_liste->topLevelItemCount(); ++i)
            if (auto* element = dynamic_cast<ElementMachine*>(m_liste->topLevelItem(i)))
                element->PreparerTri(colonne);
        const Qt::SortOrder ordre = m_tri > 0 ? Qt::AscendingOrder : Qt::DescendingOrder;
        m_liste->sortItems(colonne, ordre);
        m_liste->header()->setSortIndicatorShown(true);
        m_liste->header()->setSortIndicator(colonne, ordre);
    }
    m_liste->setUpdatesEnabled(true);
}

QTreeWidgetItem* frmVelmora::AjouterLigne(const Machine& machine) {
    auto* element = new ElementMachine(machine);
    m_liste->addTopLevelItem(element);
    m_listeModifiee = true;
    return element;
}

void frmVelmora::btnSupprimer_Click() {
    if (m_liste->selectedItems().isEmpty()) return;
    if (MsgBox(this, Tr("MSG_CONFIRMATION_SUPPRESSION_SELECTION"), 4 + 32, TitreApplication()) != 6)
        return;
    for (int i = m_liste->topLevelItemCount() - 1; i >= 0; --i)
        if (m_liste->topLevelItem(i)->isSelected()) delete m_liste->takeTopLevelItem(i);
    if (QTreeWidgetItem* courant = m_liste->currentItem()) courant->setSelected(true);
    m_listeModifiee = true;
    ActualiserBoutons();
}

void frmVelmora::CopierSelection(bool couper) {
    std::vector<Machine> machines;
    for (int i = 0; i < m_liste->topLevelItemCount(); ++i)
        if (m_liste->topLevelItem(i)->isSelected())
            machines.push_back(LireElement(m_liste->topLevelItem(i)));
    if (machines.empty()) return;
    QClipboard* pressePapiers = QApplication::clipboard();
    pressePapiers->clear();
    pressePapiers->setText(Q(TexteCopie(machines)));
    if (!couper) return;
    for (int i = m_liste->topLevelItemCount() - 1; i >= 0; --i)
        if (m_liste->topLevelItem(i)->isSelected()) delete m_liste->takeTopLevelItem(i);
    m_listeModifiee = true;
    ActualiserBoutons();
}

void frmVelmora::CollerPresse() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto machines = AnalyserCollage(S(QApplication::clipboard()->text()));
    if (!machines) {
        QApplication::restoreOverrideCursor();
        MsgBox(this, Tr("MSG_ERREUR_COLLER"), 48, TitreApplication());
        return;
    }
    m_liste->clearSelection();
    QList<QTreeWidgetItem*> lignes;
    for (const Machine& machine : *machines) lignes.append(new ElementMachine(machine));
    m_liste->addTopLevelItems(lignes);
    for (QTreeWidgetItem* ligne : lignes) ligne->setSelected(true);
    if (!lignes.isEmpty()) m_liste->scrollToItem(lignes.back());
    m_listeModifiee = true;
    QApplication::restoreOverrideCursor();
    ActualiserBoutons();
}

bool frmVelmora::ListeVerrouillee(QObject* objet, QEvent* evenement) const {
    if (!m_testEnCours) return false;
    if (objet != m_liste && objet != m_liste->viewport() && objet != m_liste->header() &&
        objet != m_liste->header()->viewport())
        return false;
    switch (evenement->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return true;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            // Escape (stop the test) and the window's own keys pass.
            return static_cast<QKeyEvent*>(evenement)->key() != Qt::Key_Escape &&
                   !(static_cast<QKeyEvent*>(evenement)->modifiers() & Qt::ControlModifier &&
                     (static_cast<QKeyEvent*>(evenement)->key() == Qt::Key_Tab ||
                      static_cast<QKeyEvent*>(evenement)->key() == Qt::Key_Backtab));
        default:
            return false;
    }
}

bool frmVelmora::eventFilter(QObject* objet, QEvent* evenement) {
    if (ListeVerrouillee(objet, evenement)) return true;
    if (evenement->type() == QEvent::ContextMenu &&
        (objet == m_liste || objet == m_liste->viewport())) {
        // Right click or the context-menu key: Shift is read from the event itself, since the
        // platform sends it before the window has seen the key and its modifiers.
        const auto* menu = static_cast<QContextMenuEvent*>(evenement);
        if (m_liste->currentItem())
            AfficherMenuActions(nullptr, menu->modifiers() & Qt::ShiftModifier);
        return true;
    }
    if (evenement->type() != QEvent::KeyPress) return QMainWindow::eventFilter(objet, evenement);
    auto* controle = qobject_cast<QWidget*>(objet);
    if (!controle || controle->window() != this) return false;
    // A key goes up the parents when a control ignores it: handle it once, at the control that
    // has the focus (or at the first control when the window has none).
    QWidget* focus = QApplication::focusWidget();
    if (focus && objet != focus) return false;
    auto* touche = static_cast<QKeyEvent*>(evenement);
    if (ToucheFenetre(touche)) return true;
    if (controle == m_liste || controle == m_liste->viewport()) return ToucheListe(touche);
    return false;
}

bool frmVelmora::ToucheFenetre(QKeyEvent* touche) {
    const bool ctrl = touche->modifiers() & Qt::ControlModifier;
    const int dossiers = m_onglets->count() - 1;
    if (ctrl && (touche->key() == Qt::Key_Tab || touche->key() == Qt::Key_Backtab)) {
        if (dossiers < 1 || !m_onglets->isEnabled()) return true;
        const bool arriere =
            touche->key() == Qt::Key_Backtab || (touche->modifiers() & Qt::ShiftModifier);
        int index = m_onglets->currentIndex();
        index = arriere ? (index <= 0 ? dossiers - 1 : index - 1) : (index + 1) % dossiers;
        m_onglets->setCurrentIndex(index);
        return true;
    }
    if (touche->key() == Qt::Key_Escape) {
        m_arretTest = true;
        return true;
    }
    return false;
}

bool frmVelmora::ToucheListe(QKeyEvent* touche) {
    const auto mods = touche->modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    const bool shift = mods & Qt::ShiftModifier;
    switch (touche->key()) {
        case Qt::Key_Delete:
            if (shift) {
                CopierSelection(true);
            } else if (m_btnSupprimer->isEnabled()) {
                btnSupprimer_Click();
            }
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (m_btnModifier->isEnabled()) btnModifier_Click();
            return true;
        case Qt::Key_Menu:
            // The platform turns this key into a context-menu event (handled in eventFilter).
            return true;
        case Qt::Key_Insert:
            if (ctrl) CopierSelection(false);
            if (shift) CollerPresse();
            return ctrl || shift;
        default:
            break;
    }
    if (ctrl && !shift) {
        switch (touche->key()) {
            case Qt::Key_A:
                m_liste->selectAll();
                ActualiserBoutons();
                return true;
            case Qt::Key_C:
                CopierSelection(false);
                return true;
            case Qt::Key_X:
                CopierSelection(true);
                return true;
            case Qt::Key_V:
                CollerPresse();
                return true;
            default:
                return false;
        }
    }
    const QString texte = touche->text();
    if (!ctrl && !(mods & Qt::AltModifier) && texte.size() == 1 && texte[0].isPrint()) {
        RechercheIncrementale(texte);
        return true;
    }
    return false;
}

void frmVelmora::RechercheIncrementale(const QString& texte) {
    const int colonne = std::abs(m_tri) - 1;
    if (m_tri == 0 || colonne == ColEtat || m_liste->topLevelItemCount() == 0) return;
    if (m_derniereTouche.isValid() && m_derniereTouche.elapsed() < 333)
        m_recherche += texte;
    else
        m_recherche = texte;
    m_derniereTouche.start();
    std::vector<std::string> textes;
    textes.reserve(m_liste->topLevelItemCount());
    for (int i = 0; i < m_liste->topLevelItemCount(); ++i)
        textes.push_back(S(m_liste->topLevelItem(i)->text(colonne)));
    const int courant =
        m_liste->currentItem() ? m_liste->indexOfTopLevelItem(m_liste->currentItem()) : -1;
    const int trouve = ChercherLigne(textes, courant, S(m_recherche));
    if (trouve < 0) return;
    QTreeWidgetItem* element = m_liste->topLevelItem(trouve);
    m_liste->clearSelection();
    m_liste->setCurrentItem(element);
    element->setSelected(true);
    m_liste->scrollToItem(element);
    ActualiserBoutons();
}

}  // namespace velmora::gui
