// Window translation from a language file: keys by object name, control arrays, frames, tab
// strips, menus, text boxes, pictures left alone; and the English captions of the dialogs with
// the shipped English file.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/Questions.h"
#include "gui/widgets/TraduireFeuille.h"
#include "gui/dialogs/frmConfigAction.h"
#include "gui/dialogs/frmMachine.h"

using namespace velmora;
using namespace velmora::gui;

class TestTraduire : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() {
        Prog().fichierLangue.clear();
        i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, "");
    }

    void traduitChaqueGenreDeControle() {
        QTemporaryDir dossier;
        const QString chemin = dossier.filePath("Essai.lng");
        QFile fichier(chemin);
        QVERIFY(fichier.open(QIODevice::WriteOnly));
        fichier.write(
            "[Traduction]\n"
            "frmEssai=Test window\n"
            "lblA=Label§two lines\n"
            "chkB(1)=Second box\n"
            "chkB=wrong key\n"
            "fraC=Frame\n"
            "txtE=Typed\n"
            "tabDossiers(1)=First\n"
            "tabDossiers(2)={lblA}\n"
            "mnuMenu=&Menu\n"
            "mnuF=&Item\n"
            "btnH=\n"
            "<btnH>Block text</btnH>\n");
        fichier.close();

        QWidget fenetre;
        fenetre.setObjectName("frmEssai");
        fenetre.setWindowTitle("Fenêtre");
        auto* a = new QLabel("Etiquette", &fenetre);
        a->setObjectName("lblA");
        auto* b = new QCheckBox("Case", &fenetre);
        b->setObjectName("chkB(1)");
        auto* c = new QGroupBox(" Cadre ", &fenetre);
        c->setObjectName("fraC");
        auto* d = new QGroupBox(" Sans clé ", &fenetre);
        d->setObjectName("fraD");
        auto* e = new QLineEdit("saisie", &fenetre);
        e->setObjectName("txtE");
        auto* onglets = new QTabBar(&fenetre);
        onglets->setObjectName("tabDossiers");
        onglets->addTab("Un");
        onglets->addTab("Deux");
        onglets->addTab("Trois");
        auto* menu = new QMenu("&Menu fr", &fenetre);
        menu->setObjectName("mnuMenu");
        auto* f = menu->addAction("&Elément");
        f->setObjectName("mnuF");
        auto* image = new QLabel(&fenetre);
        image->setObjectName("picG");
        QPixmap pixmap(8, 8);
        pixmap.fill(Qt::red);
        image->setPixmap(pixmap);
        auto* h = new QPushButton("Bouton", &fenetre);
        h->setObjectName("btnH");

        TraduireFeuille(&fenetre, chemin.toStdString());
        QCOMPARE(fenetre.windowTitle(), QString("Test window"));
        QCOMPARE(a->text(), QString("Label\ntwo lines"));
        QCOMPARE(b->text(), QString("Second box"));
        QCOMPARE(c->title(), QString(" Frame "));
        QCOMPARE(d->title(), QString(" Sans clé "));  // no key: no spaces added
        QCOMPARE(e->text(), QString("Typed"));
        QCOMPARE(onglets->tabText(0), QString("First"));
        QCOMPARE(onglets->tabText(1), QString("Label\ntwo lines"));
        QCOMPARE(onglets->tabText(2), QString("Trois"));
        QCOMPARE(menu->title(), QString("&Menu"));
        QCOMPARE(f->text(), QString("&Item"));
        QVERIFY(!image->pixmap().isNull());
        QCOMPARE(h->text(), QString("Block text"));

        // A second pass changes nothing (frames do not grow).
        TraduireFeuille(&fenetre, chemin.toStdString());
        QCOMPARE(c->title(), QString(" Frame "));

        // French (no file) and a missing file leave the window as it is.
        QWidget autre;
        autre.setObjectName("frmEssai");
        autre.setWindowTitle("Fenêtre");
        TraduireFeuille(&autre, "");
        TraduireFeuille(&autre, dossier.filePath("Absent.lng").toStdString());
        QCOMPARE(autre.windowTitle(), QString("Fenêtre"));
    }

    void dialoguesEnAnglais() {
        const std::string anglais = VELMORA_SOURCE_DIR "/lang/English.lng";
        Prog().fichierLangue = anglais;
        i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, anglais);
        std::vector<std::string> messages;
        DefinirRepondeur([&](const Question& q) {
            messages.push_back(q.texte);
            return Reponse{};
        });

        frmMachine machine;
        QCOMPARE(machine.windowTitle(), QString("Machine settings"));
        QCOMPARE(machine.findChild<QGroupBox*>("fraInformationsObligatoires")->title(),
                 QString(" Required information "));
        QCOMPARE(machine.findChild<QLabel*>("lblAdresseIP")->text(),
                 QString("IP address (or name)"));
        QCOMPARE(machine.findChild<QPushButton*>("btnAnnuler")->text(), QString("&Cancel"));
        QVERIFY(
            machine.findChild<QPushButton*>("btnChercherAdresseIP")->toolTip().startsWith("Click"));
        machine.Valider();
        QCOMPARE(messages.back(), i18n::Tr("MSG_ERREUR_MACHINE"));
        QVERIFY(messages.back().find("MACHINE") != std::string::npos);
        QVERIFY(messages.back().find("renseigné") == std::string::npos);
        Machine m;
        m.nom = "a";
        m.adresse = "127.0.0.1";
        m.adresseMAC = "00-11-22-33-44-55";
        m.login = "x";
        machine.DefinirMachine(m);
        machine.Zone(ChampMachine::MotDePasse)->setText("Ω");
        machine.Valider();
        QVERIFY(messages.back().rfind("The password", 0) == 0);

        Etat().action.code = ActionAucune;
        frmConfigAction action;
        QCOMPARE(action.windowTitle(), QString("Remote action"));
        QCOMPARE(action.findChild<QComboBox*>("cboAction")->itemText(0), QString("Restart"));
        QCOMPARE(action.findChild<QCheckBox*>("chkForcer")->text(),
                 QString("Force &applications to close"));
        DefinirRepondeur(nullptr);
    }
};

QTEST_MAIN(TestTraduire)
#include "test_traduire.moc"
