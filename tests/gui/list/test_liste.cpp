// The machine list and its folders: pure routines (sort key, clipboard format, folder names,
// type-ahead) and the real main window driven offscreen on a temporary Configuration file.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>

#include "common/config/IniFile.h"
#include "common/config/Machine.h"
#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "gui/list/ListeMachines.h"
#include "gui/main/frmVelmora.h"
#include "gui/widgets/Etat.h"
#include "test_listeAide.h"

using namespace velmora;
using namespace velmora::gui;
using velmora::gui::test::EcrireFichier;
using velmora::gui::test::FauxReseau;
using velmora::gui::test::NouveauReseau;
using velmora::gui::test::Repondeur;

namespace {
Machine M(const std::string& nom, const std::string& adresse, const std::string& mac = "") {
    Machine m;
    m.nom = nom;
    m.adresse = adresse;
    m.adresseMAC = mac;
    return m;
}
std::vector<std::string> TextesColonne(QTreeWidget* liste, int colonne) {
    std::vector<std::string> textes;
    for (int i = 0; i < liste->topLevelItemCount(); ++i)
        textes.push_back(liste->topLevelItem(i)->text(colonne).toStdString());
    return textes;
}
}  // namespace

class TestListe : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, ""); }

    void presse_papiers_format() {
        Machine a = M("pc1", "10.0.0.1", "00:11:22:33:44:55");
        a.motDePasse = "4142";
        a.commentaire = "salle 2";
        Machine b = M("pc2", "pc2.local", "00-11-22-33-44-66");
        const std::string texte = TexteCopie({a, b});
        QCOMPARE(texte, std::string("pc1\t10.0.0.1\t\t\t00:11:22:33:44:55\t\tsalle 2\t4142\r\n"
                                    "pc2\tpc2.local\t\t\t00-11-22-33-44-66\t\t\t"));
        auto relu = AnalyserCollage(texte);
        QVERIFY(relu.has_value());
        QCOMPARE(*relu, (std::vector<Machine>{a, b}));
        // LF alone and a line end after the last line are accepted too.
        QCOMPARE(AnalyserCollage("pc1\t10.0.0.1\t\t\t00:11:22:33:44:55\t\t\t\n")->size(),
                 size_t(1));
        // Any faulty line refuses the whole text.
        QVERIFY(!AnalyserCollage(texte + "\r\npc3\t10.0.0.3\t\t\t\t\t").has_value());
        QVERIFY(!AnalyserCollage(texte + "\r\npc3\t\t\t\t\t\t\t").has_value());
        QVERIFY(!AnalyserCollage(texte + "\r\npc3\t10.0.0.3\t\t\t00:11\t\t\t").has_value());
        QVERIFY(!AnalyserCollage("").has_value());
    }

    void nomsDeDossiers() {
        const std::vector<std::string> dossiers = {"Machines", "Serveurs"};
        QCOMPARE(VerifierNomDossier("serveurs", dossiers),
                 std::string("MSG_ERREUR_DOSSIER_EXISTANT"));
        QCOMPARE(VerifierNomDossier("serveurs", dossiers, 1), std::string());
        QCOMPARE(VerifierNomDossier("a|b", dossiers),
                 std::string("MSG_ERREUR_CARACTERES_INTERDITS"));
        QCOMPARE(VerifierNomDossier("x=y", dossiers),
                 std::string("MSG_ERREUR_CARACTERES_INTERDITS"));
        QCOMPARE(VerifierNomDossier("+", dossiers), std::string("MSG_ERREUR_NOM_DOSSIER_INTERDIT"));
        // The settings section, in any letter case, is refused the same way.
        QCOMPARE(VerifierNomDossier("cONFIG", dossiers),
                 std::string("MSG_ERREUR_NOM_DOSSIER_INTERDIT"));
        QCOMPARE(VerifierNomDossier("Bureau", dossiers), std::string());
    }

    void cleTriEtRecherche() {
        QCOMPARE(CleTri("192.168.0.5"), std::string("192.168.000.005"));
        QCOMPARE(CleTri("pc-5"), std::string("pc-5"));
        QVERIFY(CleTri("10.0.0.9") < CleTri("10.0.0.10"));
        const std::vector<std::string> noms = {"PC1", "imprimante", "pc2", "Pcx"};
        QCOMPARE(ChercherLigne(noms, 0, "pc"), 2);
        QCOMPARE(ChercherLigne(noms, 3, "pc"), 0);  // wraps to the top
        QCOMPARE(ChercherLigne(noms, -1, "IMP"), 1);
        QCOMPARE(ChercherLigne(noms, 1, "zz"), -1);
    }

    void init() {
        Etat() = EtatFenetre{};
        m_dossier = std::make_unique<QTemporaryDir>();
        m_fichier = m_dossier->filePath("Velmora.ini").toStdString();
        EcrireFichier(m_fichier,
                      "[Config]\nLangue=Français\nAstucesAfficherAuDémarrage=0\n"
                      "ListeDossiers=Machines|Serveurs\n"
                      "[Machines]\nNbMachines=3\n"
                      "Machine1=pc10|10.0.0.10|||00:11:22:33:44:01|||\n"
                      "Machine2=Pc2|10.0.0.9|||00:11:22:33:44:02|||\n"
                      "Machine3=imprimante|10.0.0.200|||00:11:22:33:44:03|||\n"
                      "[Serveurs]\nNbMachines=1\nMachine1=srv|10.1.0.1|||00:11:22:33:44:55|||\n");
        net::DefinirOperations(NouveauReseau());
        m_fenetre = std::make_unique<frmVelmora>();
        QVERIFY(m_fenetre->Form_Load(m_fichier));
        m_fenetre->show();
    }
    void cleanup() {
        m_fenetre.reset();
        net::DefinirOperations(nullptr);
    }

    void dossiersCreationRefusEtSuppression() {
        QTabBar* onglets = m_fenetre->tabOnglets();
        QCOMPARE(onglets->count(), 3);
        QCOMPARE(onglets->tabText(2), QString("+"));
        Repondeur repondeur;
        repondeur.reponses = {Reponse{1, "a|b"},   Reponse{1, ""},         Reponse{1, "+"},
                              Reponse{1, ""},      Reponse{1, "serveurs"}, Reponse{1, ""},
                              Reponse{1, "Bureau"}};
        onglets->setCurrentIndex(2);
        // The refused text comes back in the input box after each message.
        QCOMPARE(repondeur.questions.size(), size_t(7));
        QCOMPARE(repondeur.questions[1].texte, i18n::Tr("MSG_ERREUR_CARACTERES_INTERDITS"));
        QCOMPARE(repondeur.questions[2].valeurInitiale, std::string("a|b"));
        QCOMPARE(repondeur.questions[3].texte, i18n::Tr("MSG_ERREUR_NOM_DOSSIER_INTERDIT"));
        QCOMPARE(repondeur.questions[5].texte, i18n::Tr("MSG_ERREUR_DOSSIER_EXISTANT"));
        QCOMPARE(onglets->count(), 4);
        QCOMPARE(onglets->tabText(2), QString("Bureau"));
        QCOMPARE(onglets->currentIndex(), 2);
        QCOMPARE(m_fenetre->lvwMachines()->topLevelItemCount(), 0);

        // Cancel: the current folder stays selected and nothing is reloaded.
        repondeur.reponses = {Reponse{2, ""}};
        onglets->setCurrentIndex(3);
        QCOMPARE(onglets->currentIndex(), 2);

        // Deleting the last folder before "+" selects the one before it.
        repondeur.reponses = {Reponse{6, ""}};
        m_fenetre->SupprimerDossier();
        QCOMPARE(onglets->count(), 3);
        QCOMPARE(m_fenetre->DossierCourant(), std::string("Serveurs"));
        QCOMPARE(m_fenetre->lvwMachines()->topLevelItemCount(), 1);
        m_fenetre->close();
        QCOMPARE(LireIni(m_fichier, cle::Config, cle::ListeDossiers, ""),
                 std::string("Machines|Serveurs"));
    }

    // Renaming a folder to its own name in another case keeps its machines.
    void renommerAutreCasse() {
        Repondeur repondeur;
        repondeur.reponses = {Reponse{1, "MACHINES"}};
        m_fenetre->RenommerDossier();
        QCOMPARE(m_fenetre->tabOnglets()->tabText(0), QString("MACHINES"));
        QCOMPARE(ChargerDossier(m_fichier, "MACHINES").size(), size_t(3));
        QVERIFY(ListerSections(m_fichier) ==
                (std::vector<std::string>{"Config", "Serveurs", "MACHINES"}));
    }

    void presse_papiersEntreDossiers() {
        Repondeur repondeur;
        QTreeWidget* liste = m_fenetre->lvwMachines();
        liste->topLevelItem(0)->setSelected(true);
        liste->topLevelItem(2)->setSelected(true);
        liste->setFocus();
        QTest::keyClick(liste, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(liste->topLevelItemCount(), 1);
        QCOMPARE(QApplication::clipboard()->text().count("\r\n"), 1);
        m_fenetre->tabOnglets()->setCurrentIndex(1);  // saves Machines, opens Serveurs
        QCOMPARE(ChargerDossier(m_fichier, "Machines").size(), size_t(1));
        liste->setFocus();
        QTest::keyClick(liste, Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(liste->topLevelItemCount(), 3);
        QCOMPARE(liste->selectedItems().size(), 2);
        QCOMPARE(CleIcone(liste->topLevelItem(2)), std::string(kGris));
        QCOMPARE(liste->topLevelItem(2)->text(ColNom), QString("imprimante"));

        QVERIFY(repondeur.questions.empty());
        // A text that is not all machines is refused as a whole.
        QApplication::clipboard()->setText("pc\t10.0.0.1\t\t\t\t\t");
        m_fenetre->CollerPresse();
        QCOMPARE(liste->topLevelItemCount(), 3);
        QCOMPARE(repondeur.questions.at(0).texte, i18n::Tr("MSG_ERREUR_COLLER"));
        m_fenetre->close();
        QCOMPARE(ChargerDossier(m_fichier, "Serveurs").size(), size_t(3));
    }

    void triEtRechercheIncrementale() {
        QTreeWidget* liste = m_fenetre->lvwMachines();
        QHeaderView* entete = liste->header();
        entete->sectionClicked(ColAdresse);
        QCOMPARE(TextesColonne(liste, ColAdresse),
                 (std::vector<std::string>{"10.0.0.9", "10.0.0.10", "10.0.0.200"}));
        entete->sectionClicked(ColAdresse);
        QCOMPARE(m_fenetre->EtatTri(), -(ColAdresse + 1));
        QCOMPARE(TextesColonne(liste, ColAdresse).front(), std::string("10.0.0.200"));

        DefinirIcone(liste->topLevelItem(1), kVert);
        entete->sectionClicked(ColEtat);
        QCOMPARE(CleIcone(liste->topLevelItem(2)), std::string(kVert));

        entete->sectionClicked(ColNom);
        QCOMPARE(TextesColonne(liste, ColNom),
                 (std::vector<std::string>{"imprimante", "pc10", "Pc2"}));
        liste->setCurrentItem(liste->topLevelItem(0));
        liste->setFocus();
        QTest::keyClicks(liste, "pc1");
        QCOMPARE(liste->currentItem()->text(ColNom), QString("pc10"));
        QCOMPARE(liste->selectedItems().size(), 1);
        QTest::qWait(400);  // a pause starts a new search
        QTest::keyClicks(liste, "i");
        QCOMPARE(liste->currentItem()->text(ColNom), QString("imprimante"));
    }

    // A Configuration file that cannot be written: the user is told and the rows stay.
    void sauvegardeImpossible() {
        QTreeWidget* liste = m_fenetre->lvwMachines();
        liste->topLevelItem(0)->setSelected(true);
        m_fenetre->CopierSelection(true);
        std::filesystem::create_directory(m_fichier + ".lock");  // the lock cannot be taken
        Repondeur repondeur;
        m_fenetre->tabOnglets()->setCurrentIndex(1);
        QCOMPARE(repondeur.questions.size(), size_t(1));
        QCOMPARE(repondeur.questions[0].style & 16, 16);
        QCOMPARE(m_fenetre->DossierCourant(), std::string("Machines"));
        QCOMPARE(m_fenetre->tabOnglets()->currentIndex(), 0);
        QCOMPARE(liste->topLevelItemCount(), 2);
        std::filesystem::remove(m_fichier + ".lock");
        m_fenetre->close();
        QCOMPARE(ChargerDossier(m_fichier, "Machines").size(), size_t(2));
    }

    // The ping test greys then pings only the selected rows, many at once.
    void testDeLaSelection() {
        auto reseau = NouveauReseau();
        reseau->silencieux = {"10.0.0.10"};
        net::DefinirOperations(reseau);
        frmVelmora fenetre;
        QVERIFY(fenetre.Form_Load(m_fichier));
        QTreeWidget* liste = fenetre.lvwMachines();
        liste->topLevelItem(0)->setSelected(true);
        liste->topLevelItem(1)->setSelected(true);
        DefinirIcone(liste->topLevelItem(2), kVert);
        fenetre.btnTesterSelection_Click();
        QCOMPARE(CleIcone(liste->topLevelItem(0)), std::string(kRouge));
        QCOMPARE(CleIcone(liste->topLevelItem(1)), std::string(kVert));
        QCOMPARE(reseau->Appels().size(), size_t(2));
        auto* bouton = fenetre.findChild<QPushButton*>(QString::fromUtf8("btnTesterSélection"));
        QCOMPARE(bouton->text(), QString::fromUtf8("T&ester la sélection"));
        QVERIFY(liste->isEnabled());
    }

    // "Tester tout" hands every row to one sweep and colours each row by its own verdict, in
    // whatever order the verdicts come.
    void testToutEnUnBalayage() {
        struct Balayeur : FauxReseau {
            std::vector<std::vector<std::string>> balayages;
            void Balayer(const std::vector<std::string>& adresses,
                         const std::function<void(std::size_t, bool)>& surReponse,
                         const std::atomic<bool>&) override {
                balayages.push_back(adresses);
                for (std::size_t i = adresses.size(); i-- > 0;)
                    surReponse(i, adresses[i] != "10.0.0.9");
            }
        };
        auto reseau = std::make_shared<Balayeur>();
        net::DefinirOperations(reseau);
        frmVelmora fenetre;
        QVERIFY(fenetre.Form_Load(m_fichier));
        fenetre.btnTester_Click();
        QCOMPARE(reseau->balayages.size(), size_t(1));
        QCOMPARE(reseau->balayages[0],
                 (std::vector<std::string>{"10.0.0.10", "10.0.0.9", "10.0.0.200"}));
        QTreeWidget* liste = fenetre.lvwMachines();
        QCOMPARE(CleIcone(liste->topLevelItem(0)), std::string(kVert));
        QCOMPARE(CleIcone(liste->topLevelItem(1)), std::string(kRouge));
        QCOMPARE(CleIcone(liste->topLevelItem(2)), std::string(kVert));
        QVERIFY(reseau->Appels().empty());  // no ping one by one
    }

    // With their options ticked, the folder and the sort come back at the next start.
    void dossierEtTriMemorises() {
        m_fenetre->findChild<QAction*>("mnuOptionsMémoriserDossier")->trigger();
        m_fenetre->findChild<QAction*>("mnuOptionsMémoriserTri")->trigger();
        emit m_fenetre->lvwMachines()->header()->sectionClicked(ColAdresse);
        m_fenetre->tabOnglets()->setCurrentIndex(1);
        m_fenetre->close();
        m_fenetre.reset();
        QCOMPARE(LireIni(m_fichier, cle::Config, cle::DernierDossierOuvert, ""),
                 std::string("Serveurs"));
        frmVelmora fenetre;
        QVERIFY(fenetre.Form_Load(m_fichier));
        QCOMPARE(fenetre.DossierCourant(), std::string("Serveurs"));
        QCOMPARE(fenetre.EtatTri(), ColAdresse + 1);
        QVERIFY(fenetre.findChild<QAction*>("mnuOptionsMémoriserTri")->isChecked());
        // Unticked: the keys are removed at close and the first folder opens.
        fenetre.findChild<QAction*>("mnuOptionsMémoriserDossier")->trigger();
        fenetre.close();
        QCOMPARE(LireIni(m_fichier, cle::Config, cle::DernierDossierOuvert, "absent"),
                 std::string("absent"));
    }

    // Ctrl+Tab and Ctrl+Shift+Tab go round the folders, never onto "+".
    void ongletsAuClavier() {
        QTabBar* onglets = m_fenetre->tabOnglets();
        QTreeWidget* liste = m_fenetre->lvwMachines();
        liste->setFocus();
        QTest::keyClick(liste, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(onglets->currentIndex(), 1);
        QTest::keyClick(liste, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(onglets->currentIndex(), 0);
        QTest::keyClick(liste, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(onglets->currentIndex(), 1);
        QCOMPARE(m_fenetre->DossierCourant(), std::string("Serveurs"));
    }

    // Escape stops the test at once, even while pings are still waiting for their answer.
    void testArreteParEchap() {
        auto reseau = NouveauReseau();
        reseau->silencieux = {"10.0.0.10", "10.0.0.9", "10.0.0.200"};
        reseau->attentePingMs = 3000;
        net::DefinirOperations(reseau);
        frmVelmora fenetre;
        QVERIFY(fenetre.Form_Load(m_fichier));
        fenetre.show();
        QTimer::singleShot(100, [&fenetre] {
            QWidget* focus = QApplication::focusWidget();
            // No folder switch while rows are being tested.
            QTest::keyClick(focus ? focus : &fenetre, Qt::Key_Tab, Qt::ControlModifier);
            QVERIFY(!fenetre.tabOnglets()->isEnabled());
            QTest::keyClick(focus ? focus : &fenetre, Qt::Key_Escape);
        });
        QElapsedTimer horloge;
        horloge.start();
        fenetre.btnTester_Click();
        QVERIFY(horloge.elapsed() < 2500);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(CleIcone(fenetre.lvwMachines()->topLevelItem(i)), std::string(kGris));
        QCOMPARE(fenetre.findChild<QPushButton*>("btnTester")->text(), QString("&Tester tout"));
        QVERIFY(fenetre.findChild<QPushButton*>("btnQuitter")->isEnabled());
        QCOMPARE(fenetre.tabOnglets()->currentIndex(), 0);
        QVERIFY(fenetre.tabOnglets()->isEnabled());
    }

    // During the test the list stays enabled, so that rows show green or red as their answers
    // come, but it takes no edit: no cut, no paste, no context menu, no sort.
    void testColoreSansEdition() {
        auto reseau = NouveauReseau();
        reseau->silencieux = {"10.0.0.200"};
        reseau->attentePingMs = 800;
        net::DefinirOperations(reseau);
        frmVelmora fenetre;
        QVERIFY(fenetre.Form_Load(m_fichier));
        fenetre.show();
        QTreeWidget* liste = fenetre.lvwMachines();
        liste->topLevelItem(0)->setSelected(true);
        bool vu = false, menuOuvert = false;
        QTimer::singleShot(300, [&] {
            vu = true;
            QVERIFY(liste->isEnabled());
            QCOMPARE(CleIcone(liste->topLevelItem(0)), std::string(kVert));
            QCOMPARE(CleIcone(liste->topLevelItem(2)), std::string(kGris));
            liste->setFocus();
            QTest::keyClick(liste, Qt::Key_Delete, Qt::ShiftModifier);
            QTest::keyClick(liste, Qt::Key_V, Qt::ControlModifier);
            QTimer::singleShot(100, [&] {
                if (QWidget* menu = QApplication::activePopupWidget()) {
                    menuOuvert = true;
                    menu->close();
                }
            });
            QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5),
                                   liste->viewport()->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(liste->viewport(), &menu);
            const int tri = fenetre.EtatTri();
            QTest::mouseClick(liste->header()->viewport(), Qt::LeftButton, {},
                              QPoint(liste->header()->sectionPosition(ColNom) + 5, 5));
            QCOMPARE(fenetre.EtatTri(), tri);
            QVERIFY(!fenetre.menuBar()->isEnabled());
            QVERIFY(!fenetre.tabOnglets()->isEnabled());
        });
        fenetre.btnTester_Click();
        QVERIFY(vu);
        QVERIFY(!menuOuvert);
        QCOMPARE(liste->topLevelItemCount(), 3);
        QCOMPARE(CleIcone(liste->topLevelItem(2)), std::string(kRouge));
        // Afterwards the list takes edits again.
        liste->setFocus();
        QTest::keyClick(liste, Qt::Key_Delete, Qt::ShiftModifier);
        QCOMPARE(liste->topLevelItemCount(), 2);
    }

    // Shift held with the context-menu key enables the cancel item, as with a right click:
    // the modifiers come with the context-menu event, before the window has seen the key.
    void menuContextuelAvecMaj_data() {
        QTest::addColumn<int>("raison");
        QTest::newRow("clavier") << int(QContextMenuEvent::Keyboard);
        QTest::newRow("souris") << int(QContextMenuEvent::Mouse);
    }
    void menuContextuelAvecMaj() {
        QFETCH(int, raison);
        QTreeWidget* liste = m_fenetre->lvwMachines();
        liste->setCurrentItem(liste->topLevelItem(0));
        int annulationActive = -1;
        QTimer::singleShot(100, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            for (QAction* action : menu->actions())
                if (action->text() == QString::fromStdString(i18n::Tr("TXT_ANNULER_ACTION")))
                    annulationActive = action->isEnabled();
            menu->close();
        });
        QWidget* cible = raison == QContextMenuEvent::Keyboard ? static_cast<QWidget*>(liste)
                                                               : liste->viewport();
        QContextMenuEvent evenement(static_cast<QContextMenuEvent::Reason>(raison), QPoint(5, 5),
                                    cible->mapToGlobal(QPoint(5, 5)), Qt::ShiftModifier);
        QApplication::sendEvent(cible, &evenement);
        QCOMPARE(annulationActive, 1);
    }

  private:
    std::unique_ptr<QTemporaryDir> m_dossier;
    std::string m_fichier;
    std::unique_ptr<frmVelmora> m_fenetre;
};

QTEST_MAIN(TestListe)
#include "test_liste.moc"
