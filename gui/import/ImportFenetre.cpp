#include "gui/import/ImportFenetre.h"

#include <QApplication>
#include <QTreeWidget>

#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "gui/import/ImportTrellide.h"
#include "gui/import/frmImportFichierText.h"
#include "gui/list/ListeMachines.h"
#include "gui/main/frmVelmora.h"
#include "gui/widgets/Controles.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/Questions.h"

namespace velmora::gui {

using i18n::Tr;

CibleArbreMachines::CibleArbreMachines(QTreeWidget* liste)
    : m_liste(liste), m_existants(liste->topLevelItemCount()) {
    for (int i = m_existants - 1; i >= 0; --i)
        m_index.insert(liste->topLevelItem(i)->text(ColNom), i);  // the first one wins
}

CibleArbreMachines::~CibleArbreMachines() { qDeleteAll(m_nouveaux); }

QTreeWidgetItem* CibleArbreMachines::Element(int position) const {
    if (position < m_existants) return m_liste->topLevelItem(position);
    return m_nouveaux.value(position - m_existants);
}

int CibleArbreMachines::Trouver(const std::string& nom) const {
    return m_index.value(VersQString(nom), -1);
}

void CibleArbreMachines::Ajouter(const MachineImportee& m) {
    Machine machine;
    machine.nom = m.nom;
    machine.adresse = m.adresse;
    machine.adresseMAC = m.mac;
    machine.masque = m.masque.value_or("");
    machine.port = m.port.value_or("");
    machine.commentaire = m.commentaire.value_or("");
    m_nouveaux.append(new ElementMachine(machine));
    const QString nom = VersQString(m.nom);
    if (!m_index.contains(nom)) m_index.insert(nom, m_existants + int(m_nouveaux.size()) - 1);
    m_modifiee = true;
}

void CibleArbreMachines::Remplacer(int position, const MachineImportee& m) {
    QTreeWidgetItem* element = Element(position);
    if (!element) return;
    Machine machine = LireElement(element);
    machine.nom = m.nom;
    machine.adresse = m.adresse;
    machine.adresseMAC = m.mac;
    if (m.masque) machine.masque = *m.masque;
    if (m.port) machine.port = *m.port;
    if (m.commentaire) machine.commentaire = *m.commentaire;
    machine.motDePasse.clear();  // the row tag starts afresh
    EcrireElement(element, machine);
    DefinirEcheance(element, QDateTime());
    m_modifiee = true;
}

void CibleArbreMachines::Terminer() {
    if (m_nouveaux.isEmpty()) return;
    m_liste->setUpdatesEnabled(false);
    m_liste->addTopLevelItems(m_nouveaux);
    m_liste->setUpdatesEnabled(true);
    m_existants += int(m_nouveaux.size());
    m_nouveaux.clear();
}

std::string FichierImportInitial() {
    const std::string& fichier = Etat().reglages.fichierImport;
    return fichier.empty() ? Prog().dossierConfig + "trellide.txt" : fichier;
}

std::string ChoisirFichierImport(QWidget* parent) {
    Question question;
    question.genre = Question::Genre::FichierOuvrir;
    question.titre = Tr("TXT_IMPORTER") + "...";
    question.valeurInitiale = FichierImportInitial();
    question.filtre =
        Tr("TXT_FICHIERS_TXT") + " (*.txt)|*.txt|" + Tr("TXT_TOUS_FICHIERS") + " (*.*)|*.*";
    return Demander(parent, question).texte;
}

namespace {
// Reads the file; on failure tells the user and gives nothing.
std::optional<std::vector<std::string>> LireFichierImport(QWidget* parent,
                                                          const std::string& chemin) {
    std::string erreur;
    auto lignes = LireLignesFichier(chemin, erreur);
    if (!lignes)
        MsgBox(parent, Tr("TXT_IMPORTER") + " : " + chemin + "\n\n" + erreur, 48, kNomApplication);
    return lignes;
}
}  // namespace

void frmVelmora::mnuFichierImportTrellide_Click() {
    const std::string chemin = ChoisirFichierImport(this);
    if (chemin.empty()) return;
    const auto lignes = LireFichierImport(this, chemin);
    if (!lignes) return;
    CibleArbreMachines cible(m_liste);
    QuestionsImport questions;
    questions.ignorerSansMAC = [this] {
        return MsgBox(this, Tr("MSG_IMPORTATION_SANS_MAC"), 4 + 32, kNomApplication) == 6;
    };
    questions.remplacerExistants = [this] {
        return MsgBox(this, Tr("MSG_IMPORTATION_REMPLACER_SI_EXISTANT"), 4 + 32, kNomApplication) ==
               6;
    };
    questions.patienter = [] { QCoreApplication::processEvents(); };
    // The window is locked while the rows go in, as during an action: a tab click or a menu
    // would otherwise change the folder under the import.
    DebutTraitement();
    ImporterTrellide(*lignes, cible, questions);
    Sablier(false);
    FinTraitement(false, false);
    m_listeModifiee = true;
    if (m_tri != 0) TrierListe();
    ActualiserBoutons();
}

void frmVelmora::mnuFichierImporter_Click() {
    const std::string chemin = ChoisirFichierImport(this);
    if (chemin.empty()) return;
    Etat().reglages.fichierImport = chemin;
    const auto lignes = LireFichierImport(this, chemin);
    if (!lignes) return;
    DebutTraitement();
    Sablier(false);  // the dialog waits for the user
    CibleArbreMachines cible(m_liste);
    frmImportFichierText dialogue(*lignes, cible, this);
    dialogue.exec();
    FinTraitement(false, false);
    if (Etat().annulation) return;
    m_listeModifiee = true;
    if (m_tri != 0) TrierListe();
    ActualiserBoutons();
}

}  // namespace velmora::gui
