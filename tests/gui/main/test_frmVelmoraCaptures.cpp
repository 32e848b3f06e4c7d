// Pictures of the main window, its actions menu and the progress window after a run, for a
// person to look at. Written to $VELMORA_CAPTURES when it is set; skipped otherwise.
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "gui/dialogs/frmMachine.h"
#include "gui/list/ListeMachines.h"
#include "gui/main/frmVelmora.h"
#include "gui/run/frmTraitementEnCours.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/TraduireFeuille.h"
#include "gui/widgets/clsPopupMenu.h"
#include "test_listeAide.h"

using namespace velmora;
using namespace velmora::gui;

class TestCaptures : public QObject {
    Q_OBJECT
  private slots:
    void captures() {
        const QString sortie = qEnvironmentVariable("VELMORA_CAPTURES");
        if (sortie.isEmpty()) QSKIP("VELMORA_CAPTURES is not set");
        QDir().mkpath(sortie);
        const std::string langue = qEnvironmentVariable("VELMORA_CAPTURES_LANGUE").toStdString();
        QTemporaryDir dossier;
        const std::string fichier = dossier.filePath("Velmora.ini").toStdString();
        // Another language is read from the program folder at start-up, as the program does.
        std::string langueConfig = "Français";
        if (!langue.empty()) {
            const QString copie = QCoreApplication::applicationDirPath() + "/Capture.lng";
            QFile::remove(copie);
            QVERIFY(QFile::copy(QString::fromStdString(langue), copie));
            langueConfig = "Capture";
        }
        test::EcrireFichier(
            fichier,
            "[Config]\nLangue=" + langueConfig +
                "\nAstucesAfficherAuDémarrage=0\nConfirmation=0\n"
                "NbCommandes=3\nCommande1=Outils\\Bureau à distance|-1|xfreerdp /v:%ip%\n"
                "Commande2=Outils\\Explorateur|60|xdg-open smb://%ip%/\nCommande3=Ping|-1|ping "
                "%ip%\n"
                "ListeDossiers=Bureau|Serveurs|Atelier\n"
                "[Bureau]\nNbMachines=6\n"
                "Machine1=compta|192.168.0.12|255.255.255.0||00:1A:2B:3C:4D:5E|admin||"
                "Comptabilité\n"
                "Machine2=direction|192.168.0.15|||00-1A-2B-3C-4D-60|||Bureau 2\n"
                "Machine3=accueil|192.168.0.20|||00:1A:2B:3C:4D:61|||\n"
                "Machine4=labo-pc1|labo-pc1.local||7|00:1A:2B:3C:4D:62|||Salle de test\n"
                "Machine5=imprimante|192.168.0.250|||00:1A:2B:3C:4D:63|||\n"
                "Machine6=serveur-web|203.0.113.8||9|00:1A:2B:3C:4D:64|root||Hébergé\n"
                "[Serveurs]\nNbMachines=1\nMachine1=srv|10.1.0.1|||00:11:22:33:44:55|||\n");
        auto reseau = gui::test::NouveauReseau();
        reseau->silencieux = {"192.168.0.20"};
        net::DefinirOperations(reseau);
        frmVelmora fenetre;
        QVERIFY(fenetre.Form_Load(fichier));
        fenetre.show();
        QTreeWidget* liste = fenetre.lvwMachines();
        DefinirIcone(liste->topLevelItem(0), kVert);
        DefinirIcone(liste->topLevelItem(2), kRouge);
        liste->topLevelItem(0)->setSelected(true);
        liste->topLevelItem(1)->setSelected(true);
        fenetre.AfficherInfo(i18n::Tr("TXT_PAQUET_ENVOYE", {"192.168.0.255", "9"}));
        QTest::qWait(100);
        QVERIFY(fenetre.grab().save(sortie + "/frmVelmora.png"));

        // The actions menu as the list shows it.
        std::vector<std::string> commandes;
        for (const auto& commande : Etat().reglages.commandes)
            commandes.push_back(commande.libelle);
        clsPopupMenu menu;
        std::vector<std::unique_ptr<clsPopupMenu>> sousMenus;
        for (const EntreeMenu& entree :
             ConstruireMenuActions(SourceMenu::Liste, false, false, false, 60, commandes)) {
            if (!entree.sousMenu.empty()) {
                sousMenus.push_back(std::make_unique<clsPopupMenu>());
                for (const EntreeMenu& s : entree.sousMenu)
                    sousMenus.back()->AddItem(s.id, QString::fromStdString(s.libelle));
                menu.AddItem(0, *sousMenus.back(), QString::fromStdString(entree.libelle));
            } else {
                menu.AddItem(entree.id, QString::fromStdString(entree.libelle),
                             entree.grise ? clsPopupMenu::Grise : 0);
            }
        }
        menu.Menu()->popup(fenetre.mapToGlobal(QPoint(200, 150)));
        QTest::qWait(100);
        QVERIFY(menu.Menu()->grab().save(sortie + "/menuActions.png"));
        menu.Menu()->hide();

        // The progress window after a restart of three machines, one silent.
        liste->topLevelItem(2)->setSelected(true);
        Etat().reglages.nePasStopper = true;
        Etat().action = RequeteAction{ActionRedemarrer, 60, "", false};
        QTimer lecture;
        QObject::connect(&lecture, &QTimer::timeout, [&] {
            auto* progression =
                qobject_cast<frmTraitementEnCours*>(QApplication::activeModalWidget());
            if (!progression) return;
            progression->grab().save(sortie + "/frmTraitementEnCours.png");
            progression->btnStop()->click();
        });
        lecture.start(100);
        fenetre.ExecuterAction();
        lecture.stop();
        QVERIFY(fenetre.grab().save(sortie + "/frmVelmoraApresRedemarrage.png"));

        frmMachine dialogue(&fenetre);
        dialogue.DefinirMachine(LireElement(liste->topLevelItem(0)));
        dialogue.show();
        QTest::qWait(100);
        QVERIFY(dialogue.grab().save(sortie + "/frmMachine.png"));
        fenetre.close();
        net::DefinirOperations(nullptr);
    }
};

QTEST_MAIN(TestCaptures)
#include "test_frmVelmoraCaptures.moc"
