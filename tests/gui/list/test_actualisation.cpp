// Live status: the background sweep of the current folder colours each row, leaves selection
// and window alone, skips a busy window, drops the answers of rows gone meanwhile, and follows
// its setting.
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <atomic>

#include "gui/list/ActualisationEtat.h"
#include "gui/list/ListeMachines.h"
#include "gui/main/frmVelmora.h"
#include "gui/widgets/Etat.h"
#include "test_listeAide.h"

using namespace velmora;
using namespace velmora::gui;
using velmora::gui::test::EcrireFichier;
using velmora::gui::test::FauxReseau;

namespace {
// Answers from the set of silent addresses, once `libre` is true; counts its sweeps.
struct Balayeur : FauxReseau {
    std::atomic<bool> libre{true};
    std::atomic<int> balayages{0};
    void Balayer(const std::vector<std::string>& adresses,
                 const std::function<void(std::size_t, bool)>& surReponse,
                 const std::atomic<bool>& arret) override {
        ++balayages;
        while (!libre && !arret) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        for (std::size_t i = 0; i < adresses.size(); ++i)
            surReponse(i, !silencieux.count(adresses[i]));
    }
};
}  // namespace

class TestActualisation : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        Etat() = EtatFenetre{};
        m_dossier = std::make_unique<QTemporaryDir>();
        m_fichier = m_dossier->filePath("Velmora.ini").toStdString();
        EcrireFichier(m_fichier,
                      "[Config]\nLangue=Français\nAstucesAfficherAuDémarrage=0\n"
                      "ActualiserEtatMachines=7\n"
                      "[Machines]\nNbMachines=3\n"
                      "Machine1=pc10|10.0.0.10|||00:11:22:33:44:01|||\n"
                      "Machine2=Pc2|10.0.0.9|||00:11:22:33:44:02|||\n"
                      "Machine3=imprimante|10.0.0.200|||00:11:22:33:44:03|||\n");
        m_reseau = std::make_shared<Balayeur>();
        m_reseau->silencieux = {"10.0.0.9"};
        net::DefinirOperations(m_reseau);
        m_fenetre = std::make_unique<frmVelmora>();
        QVERIFY(m_fenetre->Form_Load(m_fichier));
        m_fenetre->show();
    }
    void cleanup() {
        m_reseau->libre = true;
        m_fenetre.reset();
        net::DefinirOperations(nullptr);
    }

    void rowsAreColouredWithoutTouchingSelectionOrWindow() {
        QTreeWidget* liste = m_fenetre->lvwMachines();
        liste->topLevelItem(1)->setSelected(true);
        ActualisationEtat* a = m_fenetre->Actualisation();
        QVERIFY(a->Actualiser());
        QVERIFY(liste->isEnabled());
        QTRY_VERIFY(!a->EnCours());
        QCOMPARE(CleIcone(liste->topLevelItem(0)), std::string(kVert));
        QCOMPARE(CleIcone(liste->topLevelItem(1)), std::string(kRouge));
        QCOMPARE(CleIcone(liste->topLevelItem(2)), std::string(kVert));
        QCOMPARE(liste->selectedItems().size(), 1);
        QVERIFY(liste->topLevelItem(1)->isSelected());
        QVERIFY(m_reseau->Appels().empty());  // one sweep, no ping one by one
    }

    void aBusyWindowIsLeftAloneAndAnswersOfGoneRowsAreDropped() {
        ActualisationEtat* a = m_fenetre->Actualisation();
        m_fenetre->setEnabled(false);  // as during a run
        QVERIFY(!a->Actualiser());
        m_fenetre->setEnabled(true);

        QTreeWidget* liste = m_fenetre->lvwMachines();
        m_reseau->libre = false;
        QVERIFY(a->Actualiser());
        QVERIFY(!a->Actualiser());  // one sweep at a time
        delete liste->takeTopLevelItem(0);
        QTreeWidgetItem* imprimante = liste->topLevelItem(1);
        Machine m = LireElement(imprimante);
        m.adresse = "10.0.0.9";  // edited during the sweep: its old answer is not its own
        EcrireElement(imprimante, m);
        DefinirIcone(imprimante, kGris);
        m_reseau->libre = true;
        QTRY_VERIFY(!a->EnCours());
        QCOMPARE(liste->topLevelItemCount(), 2);
        QCOMPARE(CleIcone(liste->topLevelItem(0)), std::string(kRouge));
        QCOMPARE(CleIcone(imprimante), std::string(kGris));
    }

    void theTimerFollowsTheSetting() {
        QTimer* minuterie = m_fenetre->Actualisation()->Minuterie();
        QVERIFY(minuterie->isActive());
        QCOMPARE(minuterie->interval(), 7000);
        Etat().reglages.actualiserEtat = 0;
        m_fenetre->AppliquerActualisationEtat();
        QVERIFY(!minuterie->isActive());
        Etat().reglages.actualiserEtat = 1;
        m_fenetre->AppliquerActualisationEtat();
        QTRY_VERIFY_WITH_TIMEOUT(m_reseau->balayages > 0, 3000);
    }

  private:
    std::unique_ptr<QTemporaryDir> m_dossier;
    std::string m_fichier;
    std::shared_ptr<Balayeur> m_reseau;
    std::unique_ptr<frmVelmora> m_fenetre;
};

QTEST_MAIN(TestActualisation)
#include "test_actualisation.moc"
