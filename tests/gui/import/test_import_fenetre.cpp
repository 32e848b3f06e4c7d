// The imports, the MAC address update and the settings dialog driven from the real main window
// on a temporary Configuration file; the probes are stand-ins (nothing is sent).
#include <QApplication>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <fstream>
#include <functional>

#include "common/config/IniFile.h"
#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "gui/dialogs/frmConfiguration.h"
#include "gui/import/frmImportFichierText.h"
#include "gui/list/ListeMachines.h"
#include "gui/main/frmVelmora.h"
#include "gui/run/MiseAJourMAC.h"
#include "gui/run/frmTraitementEnCours.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/Questions.h"
#include "tests/shared/FauxReseau.h"

using namespace velmora;
using namespace velmora::gui;

namespace {

// Runs `action` on the first visible top-level window of type T for which `pret` holds, as soon
// as the running modal loop lets timers run.
template <typename T>
void QuandOuvert(std::function<bool(T*)> pret, std::function<void(T*)> action) {
    auto* minuterie = new QTimer;
    minuterie->setInterval(5);
    QObject::connect(minuterie, &QTimer::timeout, [=] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* fenetre = qobject_cast<T*>(w);
            if (!fenetre || !fenetre->isVisible() || !pret(fenetre)) continue;
            minuterie->stop();
            minuterie->deleteLater();
            action(fenetre);
            return;
        }
    });
    minuterie->start();
}

// Every address but 10.0.0.200 answers; 10.0.0.10 has a new MAC address, any other keeps
// 00:11:22:33:44:02.
std::shared_ptr<velmora::fakes::FauxReseau> SondesFixes() {
    auto reseau = std::make_shared<velmora::fakes::FauxReseau>();
    reseau->tousRepondent = true;
    reseau->silencieux = {"10.0.0.200"};
    reseau->macs = {{"10.0.0.10", "AA-BB-CC-DD-EE-01"}};
    reseau->macParDefaut = "00:11:22:33:44:02";
    return reseau;
}

std::vector<std::string> Onglets(QTabBar* onglets) {
    std::vector<std::string> textes;
    for (int i = 0; i < onglets->count(); ++i) textes.push_back(onglets->tabText(i).toStdString());
    return textes;
}

}  // namespace

class TestImportFenetre : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dossier;
    std::string m_fichier;
    std::unique_ptr<frmVelmora> m_fenetre;
    std::vector<std::string> m_messages;
    std::vector<std::string> m_titres;  // titles of the message boxes
    std::string m_fichierChoisi;

  private slots:
    void initTestCase() {
        i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, "");
        net::DefinirOperations(SondesFixes());
    }
    void cleanupTestCase() { net::DefinirOperations(nullptr); }
    void init() {
        Etat() = EtatFenetre{};
        m_messages.clear();
        m_dossier = std::make_unique<QTemporaryDir>();
        m_fichier = m_dossier->filePath("Velmora.ini").toStdString();
        std::ofstream(m_fichier)
            << "[Config]\nLangue=Français\nAstucesAfficherAuDémarrage=0\n"
               "ListeDossiers=Machines|Serveurs|Bureau\n"
               "[Machines]\nNbMachines=3\n"
               "Machine1=pc10|10.0.0.10|||00:11:22:33:44:01|||\n"
               "Machine2=Pc2|010.0.0.9|||00:11:22:33:44:02|||\n"
               "Machine3=imprimante|10.0.0.200|||00:11:22:33:44:03|||\n"
               "[Serveurs]\nNbMachines=1\nMachine1=srv|10.1.0.1|||00:11:22:33:44:55|||\n";
        DefinirRepondeur([this](const Question& q) {
            m_messages.push_back(q.texte);
            if (q.genre == Question::Genre::MsgBox) m_titres.push_back(q.titre);
            if (q.genre == Question::Genre::FichierOuvrir) return Reponse{1, m_fichierChoisi};
            return Reponse{6, ""};
        });
        m_fenetre = std::make_unique<frmVelmora>();
        QVERIFY(m_fenetre->Form_Load(m_fichier));
        m_fenetre->show();
    }
    void cleanup() {
        m_fenetre.reset();
        DefinirRepondeur(nullptr);
        // Every message box of the program carries the application title.
        const std::vector<std::string> titres = std::move(m_titres);
        m_titres.clear();
        for (const std::string& titre : titres) QCOMPARE(titre, std::string("Velmora"));
    }

    void unreadableFileLeavesTheListAsItWas() {
        m_fichierChoisi = m_dossier->path().toStdString();  // a folder cannot be read
        m_fenetre->mnuFichierImporter_Click();
        QCOMPARE(m_messages.size(), size_t(2));  // the file choice, then the failure
        QCOMPARE(m_fenetre->lvwMachines()->topLevelItemCount(), 3);
        m_fenetre->mnuFichierImportTrellide_Click();
        QCOMPARE(m_fenetre->lvwMachines()->topLevelItemCount(), 3);
    }

    void scannerImportReachesTheFolderOnSave() {
        m_fichierChoisi = m_dossier->filePath("scan.txt").toStdString();
        std::ofstream(m_fichierChoisi) << "10.0.0.50\tnouveau\t1 ms\t\tWG\tAA-AA-AA-AA-AA-50\r\n"
                                          "10.0.0.11\tpc10\t1 ms\t\tWG\tAA-AA-AA-AA-AA-10\r\n";
        const std::string fichierImport = Etat().reglages.fichierImport;
        m_fenetre->mnuFichierImportTrellide_Click();
        QCOMPARE(m_fenetre->lvwMachines()->topLevelItemCount(), 4);
        QCOMPARE(m_messages.back(), i18n::Tr("MSG_IMPORTATION_REMPLACER_SI_EXISTANT"));
        // The scanner import does not change the remembered import file.
        QCOMPARE(Etat().reglages.fichierImport, fichierImport);
        QVERIFY(m_fenetre->SauvegarderConfiguration());
        const auto machines = velmora::ChargerDossier(m_fichier, "Machines");
        QCOMPARE(machines.size(), size_t(4));
        QCOMPARE(machines[0].adresse, std::string("10.0.0.11"));
        QCOMPARE(machines[3].nom, std::string("nouveau"));
    }

    void aTabClickDuringAnImportChangesNothing() {
        m_fichierChoisi = m_dossier->filePath("gros.txt").toStdString();
        {
            std::ofstream scan(m_fichierChoisi);
            for (int i = 1; i <= 1500; ++i)
                scan << "10.2." << i / 250 << "." << i % 250 << "\tposte" << i
                     << "\t1 ms\t\tWG\tAA-AA-AA-AA-AA-AA\n";
            scan << "10.0.0.99\tsrv\t1 ms\t\tWG\tAA-AA-AA-AA-AA-99\n";
        }
        // The user clicks the "Serveurs" tab and opens a menu while the import runs.
        QTabBar* onglets = m_fenetre->tabOnglets();
        int clics = 0;
        QTimer minuterie;
        minuterie.setInterval(0);
        QObject::connect(&minuterie, &QTimer::timeout, [&] {
            ++clics;
            QTest::mouseClick(onglets, Qt::LeftButton, {}, onglets->tabRect(1).center());
        });
        minuterie.start();
        m_fenetre->mnuFichierImportTrellide_Click();
        minuterie.stop();
        QVERIFY(clics > 0);
        QCOMPARE(m_fenetre->DossierCourant(), std::string("Machines"));
        QCOMPARE(m_fenetre->lvwMachines()->topLevelItemCount(), 3 + 1501);
        QVERIFY(m_fenetre->SauvegarderConfiguration());
        QCOMPARE(velmora::ChargerDossier(m_fichier, "Serveurs")[0].adresse,
                 std::string("10.1.0.1"));
        QCOMPARE(velmora::ChargerDossier(m_fichier, "Machines").size(), size_t(1504));
        // The window is usable again afterwards.
        QVERIFY(onglets->isEnabled());
        QVERIFY(m_fenetre->menuBar()->isEnabled());
    }

    void textImportRemembersTheFileAndAddsTheSelectedRows() {
        m_fichierChoisi = m_dossier->filePath("liste.csv").toStdString();
        std::ofstream(m_fichierChoisi) << "[REFERENCE=1]\nposte1;10.0.0.61;00-00-00-00-00-61\n"
                                          "poste2;10.0.0.62;00-00-00-00-00-62\n";
        QuandOuvert<frmImportFichierText>([](frmImportFichierText*) { return true; },
                                          [](frmImportFichierText* d) {
                                              d->ChoisirSeparateur(1);
                                              for (int c = 1; c <= 3; ++c)
                                                  while (d->Modele().ChampDeColonne(c) != c)
                                                      d->lvwImport_ColumnClick(c);
                                              d->lvwImport()->topLevelItem(0)->setSelected(false);
                                              d->btnOK_Click();
                                          });
        m_fenetre->mnuFichierImporter_Click();
        QCOMPARE(Etat().reglages.fichierImport, m_fichierChoisi);
        QCOMPARE(m_fenetre->lvwMachines()->topLevelItemCount(), 4);
        QCOMPARE(m_fenetre->lvwMachines()->topLevelItem(3)->text(ColNom), QString("poste2"));
    }

    void macUpdateRewritesRowsAndMarksTheFolder() {
        std::vector<std::string> journal;
        QString titre;
        QuandOuvert<frmTraitementEnCours>(
            [](frmTraitementEnCours* f) {
                return f->btnStop()->text() == QString::fromStdString(i18n::Tr("TXT_FERMER"));
            },
            [&](frmTraitementEnCours* f) {
                for (int i = 0; i < f->lstTraitements()->count(); ++i)
                    journal.push_back(f->lstTraitements()->item(i)->text().toStdString());
                titre = f->windowTitle();
                f->btnStop()->click();
            });
        m_fenetre->mnuOptionsMajMAC_Click();
        using i18n::Tr;
        QCOMPARE(journal,
                 (std::vector<std::string>{
                     "pc10 : " + Tr("TXT_MAC_NOUVELLE", {"00:11:22:33:44:01", "AA-BB-CC-DD-EE-01"}),
                     "Pc2 : " + Tr("TXT_MAC_INCHANGEE"), "imprimante : " + Tr("TXT_NE_REPOND_PAS"),
                     "", Tr("TXT_TRAITEMENT_TERMINE") + ".", ""}));
        QCOMPARE(titre, QString::fromStdString(Tr("TXT_TRAITEMENT_TERMINE")));
        QCOMPARE(m_fenetre->lvwMachines()->topLevelItem(0)->text(ColAdresseMAC),
                 QString("AA-BB-CC-DD-EE-01"));
        // Written only when the folder is saved.
        QCOMPARE(velmora::ChargerDossier(m_fichier, "Machines")[0].adresseMAC,
                 std::string("00:11:22:33:44:01"));
        m_fenetre->close();
        QCOMPARE(velmora::ChargerDossier(m_fichier, "Machines")[0].adresseMAC,
                 std::string("AA-BB-CC-DD-EE-01"));
    }

    void macUpdateKeepsWhatAnotherProgramChangedMeanwhile() {
        // While the window is open, another program edits Pc2 and deletes the printer.
        auto machines = velmora::ChargerDossier(m_fichier, "Machines");
        machines[1].commentaire = "modifié ailleurs";
        machines.pop_back();
        QVERIFY(velmora::SauvegarderDossier(m_fichier, "Machines", machines));
        QuandOuvert<frmTraitementEnCours>(
            [](frmTraitementEnCours* f) {
                return f->btnStop()->text() == QString::fromStdString(i18n::Tr("TXT_FERMER"));
            },
            [](frmTraitementEnCours* f) { f->btnStop()->click(); });
        m_fenetre->mnuOptionsMajMAC_Click();
        QVERIFY(m_fenetre->SauvegarderConfiguration());
        machines = velmora::ChargerDossier(m_fichier, "Machines");
        QCOMPARE(machines.size(), size_t(2));  // the printer stays deleted
        QCOMPARE(machines[0].adresseMAC, std::string("AA-BB-CC-DD-EE-01"));  // this window's work
        QCOMPARE(machines[1].commentaire, std::string("modifié ailleurs"));
        // The list shows the folder as it is now.
        QCOMPARE(m_fenetre->lvwMachines()->topLevelItemCount(), 2);
    }

    void folderOrderFromTheSettingsReachesTheTabs() {
        QuandOuvert<frmConfiguration>([](frmConfiguration*) { return true; },
                                      [](frmConfiguration* d) {
                                          QTreeWidget* dossiers = d->lvwDossiers();
                                          dossiers->clearSelection();
                                          dossiers->topLevelItem(0)->setSelected(true);
                                          d->btnDossiersDescendre_Click();
                                          d->btnDossiersDescendre_Click();
                                          d->btnOK_Click();
                                      });
        m_fenetre->mnuOptionsPreferences_Click();
        QCOMPARE(Onglets(m_fenetre->tabOnglets()),
                 (std::vector<std::string>{"Serveurs", "Bureau", "Machines", "+"}));
        QCOMPARE(m_fenetre->DossierCourant(), std::string("Machines"));
        QCOMPARE(m_fenetre->tabOnglets()->currentIndex(), 2);
        QCOMPARE(m_fenetre->lvwMachines()->topLevelItemCount(), 3);
        m_fenetre->close();
        QCOMPARE(LireIni(m_fichier, cle::Config, cle::ListeDossiers, ""),
                 std::string("Serveurs|Bureau|Machines"));
        QCOMPARE(velmora::ChargerDossier(m_fichier, "Serveurs").size(), size_t(1));
    }

    void okInTheSettingsKeepsTheSelectionAndTheStatusOfTheRows() {
        QTreeWidget* liste = m_fenetre->lvwMachines();
        QCOMPARE(liste->topLevelItemCount(), 3);
        m_fenetre->DefinirIcone(0, "Vert");
        m_fenetre->DefinirIcone(2, "Rouge");
        liste->clearSelection();
        liste->topLevelItem(1)->setSelected(true);
        liste->topLevelItem(2)->setSelected(true);
        liste->setCurrentItem(liste->topLevelItem(2), 0, QItemSelectionModel::NoUpdate);
        QuandOuvert<frmConfiguration>([](frmConfiguration*) { return true; },
                                      [](frmConfiguration* d) { d->btnOK_Click(); });
        m_fenetre->mnuOptionsPreferences_Click();
        QCOMPARE(liste->topLevelItemCount(), 3);
        QCOMPARE(CleIcone(liste->topLevelItem(0)), std::string("Vert"));
        QCOMPARE(CleIcone(liste->topLevelItem(1)), std::string("Gris"));
        QCOMPARE(CleIcone(liste->topLevelItem(2)), std::string("Rouge"));
        QVERIFY(!liste->topLevelItem(0)->isSelected());
        QVERIFY(liste->topLevelItem(1)->isSelected());
        QVERIFY(liste->topLevelItem(2)->isSelected());
        QCOMPARE(liste->currentItem(), liste->topLevelItem(2));
        QCOMPARE(m_fenetre->findChild<QPushButton*>("btnSupprimer")->isEnabled(), true);
    }
};

QTEST_MAIN(TestImportFenetre)
#include "test_import_fenetre.moc"
