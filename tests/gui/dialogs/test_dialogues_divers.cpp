// The message box with its "do not show again" box, the question hook, the tips window, the
// popup menu class and the control routines.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <cstdlib>

#include "common/config/Config.h"
#include "common/config/IniFile.h"
#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "gui/dialogs/frmAstuceDuJour.h"
#include "gui/dialogs/frmMsgbox.h"
#include "gui/widgets/Controles.h"
#include "gui/widgets/Questions.h"
#include "gui/widgets/clsPopupMenu.h"

using namespace velmora;
using namespace velmora::gui;

namespace {

// Runs `geste` on the message box once it is shown.
void QuandMessageAffiche(std::function<void(frmMsgbox*)> geste) {
    QTimer::singleShot(0, [geste] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* boite = qobject_cast<frmMsgbox*>(w); boite && boite->isVisible()) {
                geste(boite);
                return;
            }
        }
        QFAIL("no message box shown");
    });
}

}  // namespace

class TestDialoguesDivers : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        Prog().fichierLangue.clear();
        i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, "");
    }

    void msgBoxExRendLeBoutonNegatifQuandCoche() {
        QuandMessageAffiche([](frmMsgbox* b) {
            QVERIFY(b->findChild<QPushButton*>("btnAnnuler")->isVisible());
            b->findChild<QCheckBox*>("chkNePlusAfficher")->setChecked(true);
            b->findChild<QPushButton*>("btnAnnuler")->click();
        });
        QCOMPARE(MsgBoxEx(nullptr, "Adresse publique ?", 48 + 1, "Velmora", true), -2);

        QuandMessageAffiche([](frmMsgbox* b) {
            b->findChild<QCheckBox*>("chkNePlusAfficher")->setChecked(true);
            b->findChild<QPushButton*>("btnOK")->click();
        });
        QCOMPARE(MsgBoxEx(nullptr, "texte", 48 + 1, "Velmora", true), -1);

        QuandMessageAffiche([](frmMsgbox* b) { b->findChild<QPushButton*>("btnOK")->click(); });
        QCOMPARE(MsgBoxEx(nullptr, "texte", 48 + 1, "Velmora", true), 1);
    }

    void msgBoxExOKSeulEtFermeture() {
        QuandMessageAffiche([](frmMsgbox* b) {
            QVERIFY(!b->findChild<QPushButton*>("btnAnnuler")->isVisible());
            QVERIFY(!b->findChild<QCheckBox*>("chkNePlusAfficher")->isVisible());
            QCOMPARE(b->windowTitle(), QString("Titre"));
            b->close();
        });
        QCOMPARE(MsgBoxEx(nullptr, "texte", 64, "Titre", false), 1);

        // Escape without a Cancel button counts as OK.
        QuandMessageAffiche([](frmMsgbox* b) { QTest::keyClick(b, Qt::Key_Escape); });
        QCOMPARE(MsgBoxEx(nullptr, "texte", 64, "Titre", false), 1);
    }

    // OK/Cancel with Cancel as default (style 256): Cancel has the default and the focus, and
    // closing the box counts as Cancel, ticked or not.
    void msgBoxExAnnulerParDefautEtFermeture() {
        QuandMessageAffiche([](frmMsgbox* b) {
            auto* annuler = b->findChild<QPushButton*>("btnAnnuler");
            QVERIFY(annuler->isDefault());
            QVERIFY(!b->findChild<QPushButton*>("btnOK")->isDefault());
            QCOMPARE(b->focusWidget(), annuler);
            b->findChild<QCheckBox*>("chkNePlusAfficher")->setChecked(true);
            b->close();
        });
        QCOMPARE(MsgBoxEx(nullptr, "texte", 48 + 1 + 256, "Velmora", true), -2);
        QuandMessageAffiche([](frmMsgbox* b) { b->close(); });
        QCOMPARE(MsgBoxEx(nullptr, "texte", 48 + 1 + 256, "Velmora", true), 2);
        QuandMessageAffiche([](frmMsgbox* b) { QTest::keyClick(b, Qt::Key_Return); });
        QCOMPARE(MsgBoxEx(nullptr, "texte", 48 + 1 + 256, "Velmora", true), 2);
    }

    void messageLongCoupeALaLargeurPermise() {
        frmMsgbox boite;
        const std::string mot = "mot ";
        std::string texte;
        for (int i = 0; i < 400; ++i) texte += mot;
        boite.Preparer(texte, 48, "T", false);
        QVERIFY(boite.findChild<QLabel*>("lblMessage")->width() <=
                frmMsgbox::LargeurMaximale() + 8);
        QVERIFY(boite.sizeHint().width() < frmMsgbox::LargeurMaximale() + 200);
    }

    void repondeurRemplaceLesDialogues() {
        std::vector<Question> recues;
        DefinirRepondeur([&](const Question& q) {
            recues.push_back(q);
            return Reponse{q.genre == Question::Genre::MsgBoxEx ? -1 : 6, "saisi"};
        });
        QCOMPARE(MsgBox(nullptr, "a", 4 + 32, "t"), 6);
        QCOMPARE(MsgBoxEx(nullptr, "b", 48, "t", true), -1);
        DefinirRepondeur(nullptr);
        QCOMPARE(recues.size(), size_t(2));
        QVERIFY(recues[1].nePlusAfficher);
        QCOMPARE(recues[1].style, 48);
    }

    void astucesSeSuiventEtSontEnregistrees() {
        QCOMPARE(Astuces::Suivante(0), 1);
        QCOMPARE(Astuces::Suivante(27), 28);
        QCOMPARE(Astuces::Suivante(28), 1);
        QCOMPARE(Astuces::Suivante(-4), 1);
        QCOMPARE(Astuces::Suivante(500), 1);
        const std::string texte = Astuces::Texte(1);
        QVERIFY(texte.find("1") != std::string::npos && texte.find("28") != std::string::npos);
        QVERIFY(texte.find("%v") == std::string::npos);
        QVERIFY(texte.find(i18n::Tr("TXT_ASTUCE1").substr(0, 10)) != std::string::npos);

        QTemporaryDir dossier;
        Prog().fichierConfig = dossier.filePath("Velmora.ini").toStdString();
        ReglagesFenetre reglages;
        reglages.astucesDerniere = 28;
        reglages.astucesAfficher = true;
        {
            frmAstuceDuJour fenetre(nullptr, reglages);
            QCOMPARE(fenetre.NumeroAffiche(), 1);
            fenetre.findChild<QPushButton*>("btnAstuceSuivante")->click();
            QCOMPARE(fenetre.NumeroAffiche(), 2);
            fenetre.show();
            fenetre.close();  // the close box records the tip too
        }
        QCOMPARE(reglages.astucesDerniere, 2LL);
        QCOMPARE(LireIni(Prog().fichierConfig, cle::Config, cle::AstucesDerniere, ""), "2");
        QCOMPARE(LireIni(Prog().fichierConfig, cle::Config, cle::AstucesAfficher, "?"), "?");
        {
            frmAstuceDuJour fenetre(nullptr, reglages);
            QCOMPARE(fenetre.NumeroAffiche(), 3);
            fenetre.findChild<QCheckBox*>("chkAstucesAfficherAuDémarrage")->setChecked(false);
            fenetre.findChild<QPushButton*>("btnOK")->click();
        }
        QVERIFY(!reglages.astucesAfficher);
        QCOMPARE(LireIni(Prog().fichierConfig, cle::Config, cle::AstucesAfficher, "?"), "0");
        QCOMPARE(LireIni(Prog().fichierConfig, cle::Config, cle::AstucesDerniere, ""), "3");
    }

    void menuSurgissant() {
        QMainWindow proprietaire;
        proprietaire.show();
        clsPopupMenu menu;
        menu.AddItem(1, "Réveiller", clsPopupMenu::ParDefaut);
        menu.AddItem(2, "-", clsPopupMenu::Coche | clsPopupMenu::Desactive);
        menu.AddItem(3, "Eteindre", clsPopupMenu::Coche);
        menu.AddItem(4, "Annuler", clsPopupMenu::Grise);
        QCOMPARE(menu.Menu()->actions().size(), 4);
        QVERIFY(menu.Menu()->actions()[1]->isSeparator());
        QVERIFY(menu.Item(3)->isChecked());
        QVERIFY(!menu.Item(4)->isEnabled());
        QCOMPARE(menu.Menu()->defaultAction(), menu.Item(1));

        QTimer::singleShot(50, [&] {
            menu.Menu()->setActiveAction(menu.Item(3));
            QTest::keyClick(menu.Menu(), Qt::Key_Return);
        });
        QCOMPARE(menu.TrackPopup(&proprietaire, 10, 10), 3);
        QTimer::singleShot(50, [&] { QTest::keyClick(menu.Menu(), Qt::Key_Escape); });
        QCOMPARE(menu.TrackPopup(nullptr, 10, 10), 0);

        // Under an anchor: at its left edge, or right-aligned on its right edge.
        QPushButton ancre("v", &proprietaire);
        ancre.setGeometry(100, 50, 80, 20);
        const QPoint bas = ancre.mapToGlobal(QPoint(0, 20));
        QCOMPARE(menu.PositionAffichage(-1, -1, &ancre, false), bas);
        QCOMPARE(menu.PositionAffichage(-1, -1, &ancre, true),
                 QPoint(bas.x() + 80 - menu.Menu()->sizeHint().width(), bas.y()));
        QCOMPARE(menu.PositionAffichage(5, -1, nullptr, false).x(), 5);

        // Two separators in a row stay two (the gap before the custom commands).
        clsPopupMenu double_;
        double_.AddItem(1, "Annuler");
        double_.AddItem(0, "-");
        double_.AddItem(0, "-");
        double_.AddItem(101, "Bureau");
        double_.Menu()->popup(QPoint(10, 10));
        QTest::qWait(20);
        const QList<QAction*> entrees = double_.Menu()->actions();
        QVERIFY(!double_.Menu()->actionGeometry(entrees[1]).isEmpty());
        QVERIFY(!double_.Menu()->actionGeometry(entrees[2]).isEmpty());
        double_.Menu()->hide();
    }

    // The select-all on entry only applies to a box that still has the focus when it runs:
    // a box crossed on the way (or disabled at once) keeps no highlighted text.
    void selectionALEntreeSeulementAvecLeFocus() {
        QWidget fenetre;
        auto* a = new QLineEdit("9", &fenetre);
        auto* b = new QLineEdit("3128", &fenetre);
        auto* c = new QLineEdit("80", &fenetre);
        b->move(0, 30);
        c->move(0, 60);
        for (QLineEdit* zone : {a, b, c}) SelectionnerToutALEntree(zone);
        fenetre.show();
        fenetre.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&fenetre));
        a->setFocus();
        b->setFocus();
        b->setEnabled(false);
        c->setFocus();
        QCoreApplication::processEvents();
        QVERIFY(!a->hasSelectedText());
        QVERIFY(!b->hasSelectedText());
        QCOMPARE(c->selectedText(), QString("80"));
    }

    void routinesDeControles() {
        QCOMPARE(CleTriIPv4("192.168.0.5"), "192.168.000.005");
        QCOMPARE(CleTriIPv4("10.0.0.10"), "010.000.000.010");
        QCOMPARE(CleTriIPv4("1.2.3"), "");
        QCOMPARE(CleTriIPv4("pc.corp.example.com"), "");
        QCOMPARE(CleTriIPv4("1..2.3"), "");
        QVERIFY(CleTriIPv4("9.1.1.1") < CleTriIPv4("10.1.1.1"));
        QCOMPARE(RepeterTexte("ab", 3), "ababab");
        QCOMPARE(RepeterTexte("ab", -1), "");

        setenv("VELMORA_ESSAI", "valeur", 1);
        unsetenv("VELMORA_ABSENTE");
        QCOMPARE(DevelopperEnvironnement("%VELMORA_ESSAI%/x"), "valeur/x");
        QCOMPARE(DevelopperEnvironnement("${VELMORA_ESSAI}-$VELMORA_ESSAI"), "valeur-valeur");
        QCOMPARE(DevelopperEnvironnement("%VELMORA_ABSENTE% 100%"), "%VELMORA_ABSENTE% 100%");
        const std::string long_(3000, 'x');
        QCOMPARE(DevelopperEnvironnement(long_ + "%VELMORA_ESSAI%"), long_ + "valeur");

        QTreeWidget liste;
        liste.setSelectionMode(QAbstractItemView::ExtendedSelection);
        for (int i = 0; i < 5; ++i) new QTreeWidgetItem(&liste, QStringList{QString::number(i)});
        QCOMPARE(NombreLignesSelectionnees(&liste), 0);
        SelectionnerToutesLesLignes(&liste, true);
        QCOMPARE(NombreLignesSelectionnees(&liste), 5);
        SelectionnerToutesLesLignes(&liste, false);
        QCOMPARE(NombreLignesSelectionnees(&liste), 0);
        QCOMPARE(NombreLignesSelectionnees(nullptr), 0);

        QLineEdit zone;
        ActiverAvecCouleur(&zone, false);
        QVERIFY(!zone.isEnabled());
        QCOMPARE(zone.palette().color(QPalette::Disabled, QPalette::Base),
                 QApplication::palette().color(QPalette::Button));

        // The always-on-top option is read from the main window's menu item.
        QMainWindow principale;
        principale.setObjectName("frmVelmora");
        auto* option = new QAction(&principale);
        option->setObjectName("mnuOptionsToujoursAuDessus");
        option->setCheckable(true);
        option->setChecked(true);
        QVERIFY(OptionToujoursAuDessus());
        QWidget fenetre;
        AppliquerToujoursAuDessus(&fenetre);
        QVERIFY(fenetre.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        option->setChecked(false);
        AppliquerToujoursAuDessus(&fenetre);
        QVERIFY(!fenetre.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }
};

QTEST_MAIN(TestDialoguesDivers)
#include "test_dialogues_divers.moc"
