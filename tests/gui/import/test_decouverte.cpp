// The network discovery window driven on the real main window and a temporary Configuration
// file, with stand-in probes: nothing is sent, and every address the window hands to the
// probes is checked to be a loopback one.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "common/config/Config.h"
#include "common/config/IniFile.h"
#include "common/config/Machine.h"
#include "common/i18n/Traduction.h"
#include "common/net/Decouverte.h"
#include "gui/import/frmDecouverte.h"
#include "gui/list/ListeMachines.h"
#include "gui/main/frmVelmora.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/Questions.h"
#include "gui/widgets/TraduireFeuille.h"

using namespace velmora;
using namespace velmora::gui;

namespace {

// What the stand-in probes know and saw; shared by every probe object the window makes.
struct Reseau {
    std::set<std::string> vivants{"127.0.0.2", "127.0.0.3", "127.0.0.5"};
    std::map<std::string, std::string> noms{{"127.0.0.2", "routeur.maison"}};
    std::map<std::string, std::string> macs{{"127.0.0.2", "08-00-27-00-00-02"}};
    std::map<std::string, std::string> netbios{{"127.0.0.3", "PC3"}, {"127.0.0.5", "PC5"}};
    std::atomic<bool> retenir{false};  // the sweep waits for a stop after its first answer
    std::atomic<bool> arretVu{false};
    std::atomic<bool> retenirNoms{false};  // the look-ups wait until it is cleared
    std::mutex verrou;
    std::vector<std::string> adresses;  // every address given to a probe

    std::string Lire(const std::map<std::string, std::string>& table, const std::string& a) {
        std::lock_guard<std::mutex> garde(verrou);
        adresses.push_back(a);
        const auto t = table.find(a);
        return t == table.end() ? std::string() : t->second;
    }
};

class SondesFactices : public net::SondesDecouverte {
  public:
    explicit SondesFactices(std::shared_ptr<Reseau> reseau) : m_reseau(std::move(reseau)) {}
    void Balayer(const std::vector<std::string>& adresses,
                 const std::function<void(std::size_t, bool)>& surReponse,
                 const std::atomic<bool>& arret) override {
        for (size_t i = 0; i < adresses.size() && !arret; ++i) {
            {
                std::lock_guard<std::mutex> garde(m_reseau->verrou);
                m_reseau->adresses.push_back(adresses[i]);
            }
            const bool vivant = m_reseau->vivants.count(adresses[i]) > 0;
            surReponse(i, vivant);
            while (vivant && m_reseau->retenir && !arret)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        m_reseau->arretVu = arret.load();
    }
    std::string NomInverse(const std::string& a) override {
        while (m_reseau->retenirNoms) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return m_reseau->Lire(m_reseau->noms, a);
    }
    std::string MacVoisin(const std::string& a) override {
        return m_reseau->Lire(m_reseau->macs, a);
    }
    void NetBIOS(const std::string& a, std::string& nom, std::string& mac) override {
        nom = m_reseau->Lire(m_reseau->netbios, a);
        mac = nom.empty() ? "" : "00-1A-2B-00-00-0" + a.substr(a.size() - 1);
    }
    std::string Fabricant(const std::string& mac) override {
        return mac.rfind("08-00-27", 0) == 0 ? "PCS Systemtechnik GmbH" : "";
    }

  private:
    std::shared_ptr<Reseau> m_reseau;
};

template <typename T>
T* Enfant(QWidget* fenetre, const char* nom) {
    T* enfant = fenetre->findChild<T*>(QString::fromUtf8(nom));
    if (!enfant) qFatal("missing control %s", nom);
    return enfant;
}

QTreeWidgetItem* LigneDe(QTreeWidget* liste, const QString& adresse) {
    for (int i = 0; i < liste->topLevelItemCount(); ++i)
        if (liste->topLevelItem(i)->text(frmDecouverte::ColAdresse) == adresse)
            return liste->topLevelItem(i);
    return nullptr;
}

// The accelerator letter of a menu text, lower-cased ('\0' when none).
QChar Accelerateur(const QString& texte) {
    const int et = texte.indexOf('&');
    return et >= 0 && et + 1 < texte.size() ? texte[et + 1].toLower() : QChar();
}

}  // namespace

class TestDecouverte : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dossier;
    std::string m_fichier;
    std::unique_ptr<frmVelmora> m_fenetre;
    std::shared_ptr<Reseau> m_reseau;
    std::vector<std::string> m_messages;
    std::vector<std::string> m_titres;

    void VerifierBouclageSeulement() {
        std::lock_guard<std::mutex> garde(m_reseau->verrou);
        QVERIFY(!m_reseau->adresses.empty());
        for (const auto& a : m_reseau->adresses) QVERIFY2(a.rfind("127.", 0) == 0, a.c_str());
    }

  private slots:
    void initTestCase() { i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, ""); }
    void init() {
        Etat() = EtatFenetre{};
        m_messages.clear();
        m_reseau = std::make_shared<Reseau>();
        auto reseau = m_reseau;
        DefinirSondesDecouverte([reseau] { return std::make_unique<SondesFactices>(reseau); });
        m_dossier = std::make_unique<QTemporaryDir>();
        m_fichier = m_dossier->filePath("Velmora.ini").toStdString();
        std::ofstream(m_fichier) << "[Config]\nLangue=Français\nAstucesAfficherAuDémarrage=0\n"
                                    "[Machines]\nNbMachines=2\n"
                                    "Machine1=PC3|127.0.0.3|||00:11:22:33:44:03|||\n"
                                    "Machine2=autre|10.9.9.9|||00:11:22:33:44:09|||\n";
        DefinirRepondeur([this](const Question& q) {
            m_messages.push_back(q.texte);
            m_titres.push_back(q.titre);
            return Reponse{6, ""};
        });
        m_fenetre = std::make_unique<frmVelmora>();
        QVERIFY(m_fenetre->Form_Load(m_fichier));
    }
    void cleanup() {
        m_fenetre.reset();
        DefinirRepondeur(nullptr);
        DefinirSondesDecouverte(nullptr);
    }

    void subnetsTooLargeOrMalformedAreRefusedWithTheirOwnMessage() {
        frmDecouverte fenetre(m_fenetre->lvwMachines(), m_fenetre.get());
        auto* plage = Enfant<QLineEdit>(&fenetre, "txtPlage");
        plage->setText("10.0.0.0/8");
        Enfant<QPushButton>(&fenetre, "cmdDemarrer")->click();
        QVERIFY(!fenetre.EnCours());
        plage->setText("127.0.0.0/29; rm -rf /");
        QVERIFY(!fenetre.Demarrer());
        QCOMPARE(m_messages, (std::vector<std::string>{i18n::Tr("MSG_DECOUVERTE_PLAGE_TROP_GRANDE"),
                                                       i18n::Tr("MSG_DECOUVERTE_PLAGE_INVALIDE")}));
        // Titled with the program's name, as every message box.
        QCOMPARE(m_titres, (std::vector<std::string>{"Velmora", "Velmora"}));
        QVERIFY(m_reseau->adresses.empty());
    }

    void theBarAndTheStatusLineFollowEachPhase() {
        frmDecouverte fenetre(m_fenetre->lvwMachines(), m_fenetre.get());
        fenetre.show();
        auto* progression = Enfant<QProgressBar>(&fenetre, "pgbProgression");
        auto* etat = Enfant<QLabel>(&fenetre, "lblEtatDecouverte");
        m_reseau->retenirNoms = true;
        Enfant<QLineEdit>(&fenetre, "txtPlage")->setText("127.0.0.0/29");
        QVERIFY(fenetre.Demarrer());
        // The sweep is done, the three look-ups wait: the bar counts them from zero.
        QTRY_COMPARE(etat->text().toStdString(),
                     i18n::Tr("TXT_DECOUVERTE_DESCRIPTION", {"0", "3"}));
        QCOMPARE(progression->maximum(), 3);
        QCOMPARE(progression->value(), 0);
        m_reseau->retenirNoms = false;
        QTRY_VERIFY(!fenetre.EnCours());
        QCOMPARE(progression->value(), 3);
        QCOMPARE(etat->text().toStdString(), i18n::Tr("TXT_DECOUVERTE_TERMINEE", {"3"}));
    }

    void answeringHostsAreListedDescribedAndMarkedWhenInTheFolder() {
        frmDecouverte fenetre(m_fenetre->lvwMachines(), m_fenetre.get());
        fenetre.show();
        Enfant<QLineEdit>(&fenetre, "txtPlage")->setText(" 127.0.0.9/29 ");
        Enfant<QPushButton>(&fenetre, "cmdDemarrer")->click();
        QTRY_VERIFY(!fenetre.EnCours());
        QCOMPARE(Enfant<QLineEdit>(&fenetre, "txtPlage")->text(), QString("127.0.0.8/29"));
        auto* hotes = Enfant<QTreeWidget>(&fenetre, "lvwHotes");
        QCOMPARE(hotes->topLevelItemCount(), 0);  // 127.0.0.8/29 holds .9 to .14: none lives
        Enfant<QLineEdit>(&fenetre, "txtPlage")->setText("127.0.0.0/29");
        QVERIFY(fenetre.Demarrer());
        QTRY_VERIFY(!fenetre.EnCours());
        QCOMPARE(hotes->topLevelItemCount(), 3);
        QCOMPARE(hotes->topLevelItem(2)->text(frmDecouverte::ColAdresse), QString("127.0.0.5"));
        QTreeWidgetItem* routeur = LigneDe(hotes, "127.0.0.2");
        QVERIFY(routeur);
        QCOMPARE(routeur->text(frmDecouverte::ColNom), QString("routeur.maison"));
        QCOMPARE(routeur->text(frmDecouverte::ColMAC), QString("08-00-27-00-00-02"));
        QCOMPARE(routeur->text(frmDecouverte::ColFabricant), QString("PCS Systemtechnik GmbH"));
        QCOMPARE(routeur->text(frmDecouverte::ColDossier), QString());
        QCOMPARE(LigneDe(hotes, "127.0.0.5")->text(frmDecouverte::ColNom), QString("PC5"));
        QCOMPARE(LigneDe(hotes, "127.0.0.3")->text(frmDecouverte::ColDossier),
                 QString::fromStdString(i18n::Tr("TXT_DECOUVERTE_DEJA_PRESENTE")));
        auto* progression = Enfant<QProgressBar>(&fenetre, "pgbProgression");
        QCOMPARE(progression->value(), progression->maximum());
        QCOMPARE(Enfant<QLabel>(&fenetre, "lblEtatDecouverte")->text().toStdString(),
                 i18n::Tr("TXT_DECOUVERTE_TERMINEE", {"3"}));
        QVERIFY(!Enfant<QPushButton>(&fenetre, "cmdAjouterAuDossier")->isEnabled());
        VerifierBouclageSeulement();
    }

    void tickedHostsJoinTheFolderWithTheImportsQuestionOnce() {
        frmDecouverte fenetre(m_fenetre->lvwMachines(), m_fenetre.get());
        Enfant<QLineEdit>(&fenetre, "txtPlage")->setText("127.0.0.0/29");
        QVERIFY(fenetre.Demarrer());
        QTRY_VERIFY(!fenetre.EnCours());
        auto* hotes = Enfant<QTreeWidget>(&fenetre, "lvwHotes");
        for (const char* a : {"127.0.0.2", "127.0.0.3", "127.0.0.5"})
            LigneDe(hotes, a)->setCheckState(0, Qt::Checked);
        auto* ajouter = Enfant<QPushButton>(&fenetre, "cmdAjouterAuDossier");
        QVERIFY(ajouter->isEnabled());
        ajouter->click();
        QVERIFY(fenetre.DossierModifie());
        // PC3 was there: asked once, answered "yes", so replaced in place.
        QCOMPARE(m_messages,
                 (std::vector<std::string>{i18n::Tr("MSG_IMPORTATION_REMPLACER_SI_EXISTANT")}));
        QTreeWidget* machines = m_fenetre->lvwMachines();
        QCOMPARE(machines->topLevelItemCount(), 4);
        QCOMPARE(LireElement(machines->topLevelItem(0)).adresseMAC,
                 std::string("00-1A-2B-00-00-03"));
        const Machine routeur = LireElement(machines->topLevelItem(2));
        QCOMPARE(routeur.nom, std::string("routeur.maison"));
        QCOMPARE(routeur.adresse, std::string("127.0.0.2"));
        QCOMPARE(routeur.adresseMAC, std::string("08-00-27-00-00-02"));
        QCOMPARE(LireElement(machines->topLevelItem(3)).nom, std::string("PC5"));
        // Now all three are marked, and none stays ticked.
        for (int i = 0; i < hotes->topLevelItemCount(); ++i) {
            QCOMPARE(hotes->topLevelItem(i)->checkState(0), Qt::Unchecked);
            QVERIFY(!hotes->topLevelItem(i)->text(frmDecouverte::ColDossier).isEmpty());
        }
        QVERIFY(!ajouter->isEnabled());
    }

    void stopKeepsWhatCameAndClosingStopsTheSweep() {
        m_reseau->retenir = true;
        {
            frmDecouverte fenetre(m_fenetre->lvwMachines(), m_fenetre.get());
            fenetre.show();
            Enfant<QLineEdit>(&fenetre, "txtPlage")->setText("127.0.0.0/24");
            QVERIFY(fenetre.Demarrer());
            auto* hotes = Enfant<QTreeWidget>(&fenetre, "lvwHotes");
            // The window keeps running while the sweep waits.
            QTRY_COMPARE(hotes->topLevelItemCount(), 1);
            QVERIFY(fenetre.EnCours());
            QVERIFY(Enfant<QPushButton>(&fenetre, "cmdArreter")->isEnabled());
            QVERIFY(!Enfant<QPushButton>(&fenetre, "cmdDemarrer")->isEnabled());
            Enfant<QPushButton>(&fenetre, "cmdArreter")->click();
            QVERIFY(!fenetre.EnCours());
            QTRY_VERIFY(m_reseau->arretVu);
            QCOMPARE(hotes->topLevelItemCount(), 1);
            QCOMPARE(Enfant<QLabel>(&fenetre, "lblEtatDecouverte")->text().toStdString(),
                     i18n::Tr("TXT_DECOUVERTE_ARRETEE", {"1"}));

            m_reseau->arretVu = false;
            QVERIFY(fenetre.Demarrer());
            QTRY_COMPARE(hotes->topLevelItemCount(), 1);
            fenetre.close();
            QVERIFY(!fenetre.EnCours());
        }
        QTRY_VERIFY(m_reseau->arretVu);
        VerifierBouclageSeulement();
    }

    void menuOpensTheWindowAndAFolderChangeIsSaved() {
        QMenu* fichier = m_fenetre->findChild<QMenu*>("mnuFichier");
        QVERIFY(fichier);
        QAction* decouvrir = m_fenetre->findChild<QAction*>("mnuFichierDecouvrir");
        QVERIFY(decouvrir);
        QCOMPARE(decouvrir->text(), QString::fromUtf8("&Découvrir le réseau..."));
        // Its accelerator is its own in French and in English.
        for (int langue = 0; langue < 2; ++langue) {
            if (langue == 1)
                TraduireFeuille(m_fenetre.get(), VELMORA_SOURCE_DIR "/lang/English.lng");
            for (QAction* autre : fichier->actions()) {
                if (autre == decouvrir || autre->isSeparator()) continue;
                QVERIFY2(Accelerateur(autre->text()) != Accelerateur(decouvrir->text()),
                         qPrintable(autre->text()));
            }
        }
        QCOMPARE(decouvrir->text(), QString("&Discover the network..."));

        auto* minuterie = new QTimer(this);
        minuterie->setInterval(10);
        int etape = 0;
        connect(minuterie, &QTimer::timeout, this, [&] {
            auto* fenetre = qobject_cast<frmDecouverte*>(QApplication::activeModalWidget());
            if (!fenetre) return;
            if (etape == 0) {
                fenetre->findChild<QLineEdit*>("txtPlage")->setText("127.0.0.4/30");
                fenetre->Demarrer();
                etape = 1;
            } else if (etape == 1 && !fenetre->EnCours()) {
                auto* hotes = fenetre->findChild<QTreeWidget*>("lvwHotes");
                for (int i = 0; i < hotes->topLevelItemCount(); ++i)
                    hotes->topLevelItem(i)->setCheckState(0, Qt::Checked);
                fenetre->AjouterAuDossier();
                etape = 2;
                minuterie->stop();
                fenetre->close();
            }
        });
        minuterie->start();
        decouvrir->trigger();
        QCOMPARE(etape, 2);
        QCOMPARE(m_fenetre->lvwMachines()->topLevelItemCount(), 3);
        QVERIFY(m_fenetre->SauvegarderConfiguration());
        const auto machines = velmora::ChargerDossier(m_fichier, "Machines");
        QCOMPARE(machines.size(), size_t(3));
        QCOMPARE(machines[2].nom, std::string("PC5"));
    }
};

QTEST_MAIN(TestDecouverte)
#include "test_decouverte.moc"
