// frmVelmora: adding and modifying machines, and the ping test of all or selected rows.
#include <QApplication>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTreeWidget>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "common/i18n/Traduction.h"
#include "common/text/Commun.h"
#include "gui/dialogs/frmMachine.h"
#include "gui/list/ListeMachines.h"
#include "gui/main/frmVelmora.h"
#include "gui/widgets/Etat.h"

namespace velmora::gui {

namespace {
// What the sweep shares with the window. The sweep's thread holds it by shared pointer, so a
// test stopped early leaves the pings still in flight harmless.
struct PartageTest {
    std::shared_ptr<net::OperationsReseau> operations;
    std::vector<std::string> adresses;
    std::atomic<bool> arret{false};
    std::mutex verrou;
    std::condition_variable signal;
    std::deque<std::pair<size_t, bool>> resultats;
};
}  // namespace

void frmVelmora::btnAjouter_Click() {
    m_liste->clearSelection();
    frmMachine dialogue(this, m_operations);
    if (!dialogue.Editer()) return;
    QTreeWidgetItem* element = AjouterLigne(dialogue.LireMachine());
    m_liste->setCurrentItem(element, 0, QItemSelectionModel::NoUpdate);
    m_listeModifiee = true;
    ActualiserBoutons();
}

void frmVelmora::btnModifier_Click() {
    const QList<QTreeWidgetItem*> selection = m_liste->selectedItems();
    if (selection.size() != 1) return;
    QTreeWidgetItem* element = selection.front();
    frmMachine dialogue(this, m_operations);
    dialogue.DefinirMachine(LireElement(element));
    if (!dialogue.Editer()) return;
    EcrireElement(element, dialogue.LireMachine());  // the deadline is kept
    velmora::gui::DefinirIcone(element, kGris);
    m_listeModifiee = true;
    ActualiserBoutons();
}

void frmVelmora::btnTester_Click() { TesterMachines(m_btnTester); }
void frmVelmora::btnTesterSelection_Click() { TesterMachines(m_btnTesterSelection); }

void frmVelmora::TesterMachines(QPushButton* bouton) {
    if (!bouton->property("tag").toString().isEmpty()) {
        m_arretTest = true;
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QPushButton* autre = bouton == m_btnTester ? m_btnTesterSelection : m_btnTester;
    for (QWidget* controle : std::initializer_list<QWidget*>{
             m_btnAjouter, m_btnModifier, m_btnSupprimer, autre, m_btnReveiller, m_btnReveillerPlus,
             m_btnAgir, m_btnAgirPlus, m_btnQuitter})
        controle->setEnabled(false);
    // The rows under test must stay: no folder switch and no menu (import, settings) meanwhile.
    // The list itself stays enabled so that its icons keep their colours; ListeVerrouillee
    // keeps it from being edited.
    m_onglets->setEnabled(false);
    menuBar()->setEnabled(false);
    bouton->setProperty("tag", bouton->text());
    const std::string arreter = i18n::Tr("BTNSTOP");
    bouton->setText(arreter.empty() ? QString::fromUtf8("&Arrêter !")
                                    : QString::fromStdString(arreter));
    m_arretTest = false;
    m_testEnCours = true;

    std::vector<QTreeWidgetItem*> lignes;
    const bool tout = bouton == m_btnTester;
    for (int i = 0; i < m_liste->topLevelItemCount(); ++i)
        if (tout || m_liste->topLevelItem(i)->isSelected())
            lignes.push_back(m_liste->topLevelItem(i));
    ExecuterTest(lignes);

    m_testEnCours = false;
    m_onglets->setEnabled(true);
    menuBar()->setEnabled(true);
    m_btnAjouter->setEnabled(true);
    m_btnQuitter->setEnabled(true);
    autre->setEnabled(true);
    bouton->setText(bouton->property("tag").toString());
    bouton->setProperty("tag", QString());
    ActualiserBoutons();
    QApplication::restoreOverrideCursor();
}

void frmVelmora::ExecuterTest(const std::vector<QTreeWidgetItem*>& lignes) {
    // First pass: every row of the test turns grey.
    for (QTreeWidgetItem* ligne : lignes) {
        QCoreApplication::processEvents();
        if (m_arretTest) return;
        velmora::gui::DefinirIcone(ligne, kGris);
    }
    // Second pass: one sweep pings every row at once; each row gets its icon as its answer
    // comes.
    auto partage = std::make_shared<PartageTest>();
    partage->operations = m_operations;
    for (QTreeWidgetItem* ligne : lignes)
        partage->adresses.push_back(NormaliserAdresseIP(LireElement(ligne).adresse));
    std::thread([partage] {
        partage->operations->Balayer(
            partage->adresses,
            [&](size_t i, bool repond) {
                {
                    std::lock_guard<std::mutex> garde(partage->verrou);
                    partage->resultats.emplace_back(i, repond);
                }
                partage->signal.notify_one();
            },
            partage->arret);
    }).detach();

    size_t recus = 0;
    while (recus < lignes.size()) {
        QCoreApplication::processEvents();
        if (m_arretTest) break;
        std::deque<std::pair<size_t, bool>> arrives;
        {
            std::unique_lock<std::mutex> verrou(partage->verrou);
            partage->signal.wait_for(verrou, std::chrono::milliseconds(10),
                                     [&] { return !partage->resultats.empty(); });
            arrives.swap(partage->resultats);
        }
        for (const auto& [i, repond] : arrives) {
            velmora::gui::DefinirIcone(lignes[i], repond ? kVert : kRouge);
            m_liste->scrollToItem(lignes[i]);
        }
        recus += arrives.size();
    }
    partage->arret = true;
}

}  // namespace velmora::gui
