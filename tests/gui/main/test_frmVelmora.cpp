// The main window as a user meets it: start-up refusals, window state kept between sessions,
// a run through the real progress window, pending rows, English captions.
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include "common/config/IniFile.h"
#include "common/config/Machine.h"
#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "gui/dialogs/frmMachine.h"
#include "gui/list/ListeMachines.h"
#include "gui/main/frmVelmora.h"
#include "gui/run/frmTraitementEnCours.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/TraductionsQt.h"
#include "gui/widgets/TraduireFeuille.h"
#include "test_listeAide.h"

using namespace velmora;
using namespace velmora::gui;
using velmora::gui::test::EcrireFichier;
using velmora::gui::test::FauxReseau;
using velmora::gui::test::NouveauReseau;
using velmora::gui::test::Repondeur;

class TestFrmVelmora : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        Etat() = EtatFenetre{};
        m_dossier = std::make_unique<QTemporaryDir>();
        m_fichier = m_dossier->filePath("Velmora.ini").toStdString();
        EcrireFichier(m_fichier,
                      "[Config]\nLangue=Français\nAstucesAfficherAuDémarrage=0\n"
                      "Confirmation=0\n"
                      "[Machines]\nNbMachines=3\nMachine1=a|10.0.0.1||||||\n"
                      "Machine2=b|10.0.0.2||||||\nMachine3=c|10.0.0.3||||||\n");
        m_reseau = NouveauReseau();
        net::DefinirOperations(m_reseau);
    }
    void cleanup() { net::DefinirOperations(nullptr); }

    void optionsDeLigneDeCommandeRefusees() {
        Repondeur repondeur;
        frmVelmora fenetre;
        QVERIFY(!fenetre.Form_Load(m_fichier + " /w:pc1"));
        QCOMPARE(repondeur.questions.size(), size_t(1));
        QCOMPARE(repondeur.questions[0].texte, i18n::Tr("MSG_ERREUR_UTILISER_BATCH"));
        QCOMPARE(repondeur.questions[0].style, 48);
    }

    // A file that cannot be decoded whole (NUL bytes here) is shown as well as can be, said to
    // be read-only once, and never written: not by a save, not by the settings on close.
    void fichierIndecodableOuvertEnLectureSeule() {
        const std::string contenu = std::string(
                                        "[Config]\nLangue=Français\nAstucesAfficherAuDémarrage=0\n"
                                        "[Machines]\nNbMachines=1\nMachine1=a|10.0.0.1||||||\nx=") +
                                    '\0' + "\n";
        EcrireFichier(m_fichier, contenu);
        {
            Repondeur repondeur;
            frmVelmora fenetre;
            QVERIFY(fenetre.Form_Load(m_fichier));
            QCOMPARE(repondeur.questions.size(), size_t(1));
            QVERIFY(repondeur.questions[0].texte.find("octets nuls") != std::string::npos);
            QVERIFY(repondeur.questions[0].texte.find(i18n::Tr("MSG_CONFIG_LECTURE_SEULE")) !=
                    std::string::npos);
            QCOMPARE(fenetre.findChild<QTreeWidget*>()->topLevelItemCount(), 1);
            fenetre.findChild<QAction*>(QString::fromUtf8("mnuOptionsMémoriserTaille"))->trigger();
            fenetre.findChild<QAction*>("mnuFichierSauvegarder")->trigger();
            fenetre.show();
            QTest::qWait(20);
            fenetre.close();
            QCOMPARE(repondeur.questions.size(), size_t(1));  // no write error either
        }
        QCOMPARE(velmora::gui::test::LireFichier(m_fichier), contenu);
    }

    // Maximised then closed with the size option: state 2 and the normal size are written, and
    // the next start opens maximised with that size behind it.
    void etatFenetreMemorise() {
        {
            frmVelmora fenetre;
            QVERIFY(fenetre.Form_Load(m_fichier));
            fenetre.findChild<QAction*>(QString::fromUtf8("mnuOptionsMémoriserTaille"))->trigger();
            fenetre.findChild<QAction*>(QString::fromUtf8("mnuOptionsMémoriserPosition"))
                ->trigger();
            fenetre.findChild<QAction*>("mnuOptionsMémoriserConfigColonnes")->trigger();
            fenetre.show();
            fenetre.resize(700, 500);
            QTest::qWait(20);
            fenetre.showMaximized();
            QTest::qWait(50);
            fenetre.close();
        }
        QCOMPARE(LireIni(m_fichier, cle::Config, cle::FenetreEtat, ""), std::string("2"));
        QCOMPARE(LireIni(m_fichier, cle::Config, cle::FenetreLargeur, ""),
                 std::to_string(700 * 15));
        QCOMPARE(LireIni(m_fichier, cle::Config, cle::FenetreMemoriserTaille, ""),
                 std::string("-1"));
        QCOMPARE(ExtraireChampCount(LireIni(m_fichier, cle::Config, cle::FenetreColonnes, "")), 8);
        {
            frmVelmora fenetre;
            QVERIFY(fenetre.Form_Load(m_fichier));
            fenetre.show();
            QVERIFY(fenetre.isMaximized());
            fenetre.showMinimized();
            QTest::qWait(50);
            fenetre.close();
        }
        QCOMPARE(LireIni(m_fichier, cle::Config, cle::FenetreEtat, ""), std::string("0"));
        QCOMPARE(LireIni(m_fichier, cle::Config, cle::FenetreLargeur, ""),
                 std::to_string(700 * 15));
    }

    // A restart of three rows through the real progress window, the second silent.
    void executionAvecFenetreDeTraitement() {
        m_reseau->silencieux = {"10.0.0.2"};
        frmVelmora fenetre;
        QVERIFY(fenetre.Form_Load(m_fichier));
        fenetre.show();
        Etat().reglages.nePasStopper = true;
        fenetre.lvwMachines()->selectAll();
        QStringList journal;
        QString titre;
        // The window is shown modally at the end: read it and close it with its button.
        QTimer fermeture;
        QObject::connect(&fermeture, &QTimer::timeout, [&] {
            auto* progression =
                qobject_cast<frmTraitementEnCours*>(QApplication::activeModalWidget());
            if (!progression) return;
            for (int i = 0; i < progression->lstTraitements()->count(); ++i)
                journal << progression->lstTraitements()->item(i)->text();
            titre = progression->windowTitle();
            QCOMPARE(progression->btnStop()->text(),
                     QString::fromStdString(i18n::Tr("TXT_FERMER")));
            progression->btnStop()->click();
        });
        fermeture.start(20);
        Etat().action = RequeteAction{ActionRedemarrer, 1, "", false};
        fenetre.ExecuterAction();
        fermeture.stop();
        QCOMPARE(titre, QString::fromStdString(i18n::Tr("TXT_TRAITEMENT_TERMINE_AVEC_ERREUR")));
        QVERIFY(journal.contains("   -> " + QString::fromStdString(i18n::Tr("TXT_NE_REPOND_PAS"))));
        QVERIFY(fenetre.centralWidget()->isEnabled());

        // Rows 1 and 3 are pending: they blink, the cancel item is available for them, and they
        // turn grey once the deadline has passed.
        QTreeWidget* liste = fenetre.lvwMachines();
        QVERIFY(Echeance(liste->topLevelItem(0)).isValid());
        QVERIFY(!Echeance(liste->topLevelItem(1)).isValid());
        QVERIFY(fenetre.timExtinction()->isActive());
        const std::string avant = CleIcone(liste->topLevelItem(0));
        fenetre.timExtinction_Timer();
        QVERIFY(CleIcone(liste->topLevelItem(0)) != avant);
        liste->clearSelection();
        liste->topLevelItem(0)->setSelected(true);
        liste->topLevelItem(2)->setSelected(true);
        QVERIFY(fenetre.AnnulationPossible());
        liste->topLevelItem(1)->setSelected(true);
        QVERIFY(!fenetre.AnnulationPossible());
        QTest::qWait(1100);
        fenetre.timExtinction_Timer();
        QCOMPARE(CleIcone(liste->topLevelItem(0)), std::string(kGris));
        QVERIFY(!fenetre.timExtinction()->isActive());
    }

    void arretPendantLaPause() {
        EcrireIni(m_fichier, cle::Config, cle::DelaiEntreDeuxReveilsWOL, "30");  // seconds
        m_reseau->pausesReelles = true;
        frmVelmora fenetre;
        QVERIFY(fenetre.Form_Load(m_fichier));
        fenetre.show();
        fenetre.lvwMachines()->selectAll();
        QTimer arret;
        bool stoppe = false;
        bool effacementPendantLaLecture = false;
        QObject::connect(&arret, &QTimer::timeout, [&] {
            auto* progression = fenetre.findChild<frmTraitementEnCours*>();
            if (!progression || !progression->isVisible()) return;
            if (!stoppe && progression->lstTraitements()->count() >= 3) {
                progression->btnStop()->click();
                stoppe = true;
            } else if (QApplication::activeModalWidget() == progression) {
                // The 3 s clearing runs while the user reads the log.
                effacementPendantLaLecture = fenetre.timEffacerInfo()->isActive();
                progression->btnStop()->click();
            }
        });
        arret.start(20);
        QElapsedTimer horloge;
        horloge.start();
        fenetre.btnReveiller_Click();
        QVERIFY(horloge.elapsed() < 10000);
        QCOMPARE(QString::fromStdString(fenetre.DernierBilan().titre),
                 QString::fromStdString(i18n::Tr("TXT_TRAITEMENT_ARRETE")));
        QCOMPARE(m_reseau->Appels().size(), size_t(1));
        QVERIFY(effacementPendantLaLecture);
        QVERIFY(fenetre.timEffacerInfo()->isActive());
        fenetre.timEffacerInfo_Timer();
        QVERIFY(!fenetre.mnuInfo()->isVisible());
    }

    // Modify keeps a pending deadline and greys the row; add appends a row saved at close.
    void modifierEtAjouterParLeDialogue() {
        Repondeur repondeur;
        frmVelmora fenetre;
        QVERIFY(fenetre.Form_Load(m_fichier));
        fenetre.show();
        QTreeWidget* liste = fenetre.lvwMachines();
        QTreeWidgetItem* ligne = liste->topLevelItem(0);
        DefinirEcheance(ligne, QDateTime::currentDateTime().addSecs(60));
        DefinirIcone(ligne, kVert);
        ligne->setSelected(true);
        QString nom = "nouveau";
        QTimer reponse;
        QObject::connect(&reponse, &QTimer::timeout, [&] {
            auto* dialogue = qobject_cast<frmMachine*>(QApplication::activeModalWidget());
            if (!dialogue) return;
            dialogue->Zone(ChampMachine::Nom)->setText(nom);
            if (dialogue->Zone(ChampMachine::AdresseIP)->text().isEmpty())
                dialogue->Zone(ChampMachine::AdresseIP)->setText("10.0.0.9");
            dialogue->Zone(ChampMachine::AdresseMAC)->setText("00:11:22:33:44:55");
            dialogue->Valider();
        });
        reponse.start(20);
        fenetre.btnModifier_Click();
        QCOMPARE(ligne->text(ColNom), QString("nouveau"));
        QVERIFY(Echeance(ligne).isValid());
        QCOMPARE(CleIcone(ligne), std::string(kGris));
        nom = "ajout";
        fenetre.btnAjouter_Click();
        reponse.stop();
        QCOMPARE(liste->topLevelItemCount(), 4);
        fenetre.close();
        const std::vector<Machine> machines = ChargerDossier(m_fichier, "Machines");
        QCOMPARE(machines.size(), size_t(4));
        QCOMPARE(machines[0].nom, std::string("nouveau"));
        QCOMPARE(machines[3].nom, std::string("ajout"));
        QVERIFY(repondeur.questions.empty());
    }

    void legendesEnAnglais() {
        frmVelmora fenetre;
        QVERIFY(fenetre.Form_Load(m_fichier));
        TraduireFeuille(&fenetre, VELMORA_SOURCE_DIR "/lang/English.lng");
        QCOMPARE(fenetre.findChild<QPushButton*>("btnAjouter")->text(), QString("&Add..."));
        QCOMPARE(fenetre.findChild<QPushButton*>(QString::fromUtf8("btnTesterSélection"))->text(),
                 QString("T&est the selection"));
        QCOMPARE(fenetre.findChild<QAction*>("mnuFichierSauvegarder")->text(),
                 QString("&Save the configuration"));
        QCOMPARE(fenetre.findChild<QAction*>(QString::fromUtf8("mnuOptionsPréférences"))->text(),
                 QString("Se&ttings..."));
        frmTraitementEnCours progression(&fenetre);
        TraduireFeuille(&progression, VELMORA_SOURCE_DIR "/lang/English.lng");
        QCOMPARE(progression.windowTitle(), QString("Processing"));
    }

    // Quitting from the tray menu while the window is hidden there ends the program after the
    // closing steps (settings written), instead of leaving a process without window or icon.
    void quitterDepuisLaSystray() {
        QCoreApplication::processEvents();  // nothing left queued by the other tests
        frmVelmora fenetre;
        QVERIFY(fenetre.Form_Load(m_fichier));
        fenetre.show();
        fenetre.findChild<QAction*>(QString::fromUtf8("mnuOptionsMémoriserTri"))->trigger();
        fenetre.hide();  // what minimising to the tray does
        QTimer::singleShot(0, &fenetre, [&fenetre] {
            fenetre.findChild<QAction*>("mnuSystrayQuitter")->trigger();
        });
        // The event loop ends only if quitting ends the program; otherwise the guard does.
        QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(LireIni(m_fichier, cle::Config, cle::Tri, "x"), std::string("0"));
    }

    // Qt's own buttons follow the interface language: French for the built-in texts, English
    // for a language file whose CodeLangue is 9.
    void boutonsDeQtDansLaLangue() {
        frmVelmora fenetre;
        QVERIFY(fenetre.Form_Load(m_fichier));
        QMessageBox boite(QMessageBox::Question, "t", "q",
                          QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(boite.button(QMessageBox::Cancel)->text(), QString("Annuler"));
        QCOMPARE(boite.button(QMessageBox::No)->text().remove('&'), QString("Non"));
        QCOMPARE(LangueInterface(VELMORA_SOURCE_DIR "/lang/English.lng"), 9);
        QVERIFY(!InstallerTraductionsQt(9));
        QMessageBox anglaise(QMessageBox::Question, "t", "q", QMessageBox::Cancel);
        QCOMPARE(anglaise.button(QMessageBox::Cancel)->text(), QString("Cancel"));
        QVERIFY(InstallerTraductionsQt(LangueInterface("")));
    }

    // First start (no size remembered): the default width shows every column of a row, the
    // MAC column and the comment included.
    void largeurParDefautMontreToutesLesColonnes() {
        frmVelmora fenetre;
        QVERIFY(fenetre.Form_Load(m_fichier));
        fenetre.show();
        QVERIFY(QTest::qWaitForWindowExposed(&fenetre));
        QTreeWidget* liste = fenetre.lvwMachines();
        QHeaderView* entete = liste->header();
        const int derniere = NombreColonnes - 1;
        for (int c = 0; c < derniere; ++c)
            QVERIFY2(entete->sectionViewportPosition(c) + entete->sectionSize(c) <=
                         liste->viewport()->width(),
                     qPrintable(QString("column %1 is cut").arg(c)));
        QVERIFY(entete->sectionSize(derniere) >= kLargeursColonnes[derniere] / 15);
        QVERIFY(fenetre.width() >= 11400 / 15);
    }

  private:
    static int ExtraireChampCount(const std::string& texte) {
        return static_cast<int>(QString::fromStdString(texte).split(';').size());
    }
    std::unique_ptr<QTemporaryDir> m_dossier;
    std::string m_fichier;
    std::shared_ptr<FauxReseau> m_reseau;
};

QTEST_MAIN(TestFrmVelmora)
#include "test_frmVelmora.moc"
