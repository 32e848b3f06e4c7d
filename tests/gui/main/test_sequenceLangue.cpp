// A session as a user lives it: the language changed in the configuration dialog, the program
// started again in English, several dialogs opened and cancelled, the about window left open
// past its 3 s picture timer, then closed and the program left running a while. Run under the
// sanitizers (make test-asan), it catches memory faults on that road.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include "common/config/IniFile.h"
#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "gui/dialogs/frmAPropos.h"
#include "gui/main/frmVelmora.h"
#include "gui/widgets/Etat.h"
#include "test_listeAide.h"

using namespace velmora;
using namespace velmora::gui;

namespace {

// Answers each modal dialog as it appears: `geste` receives the dialog and says whether it
// handled it.
class Automate {
  public:
    explicit Automate(std::function<bool(QWidget*)> geste) : m_geste(std::move(geste)) {
        QObject::connect(&m_minuteur, &QTimer::timeout, [this] {
            if (QWidget* dialogue = QApplication::activeModalWidget()) {
                if (dialogue != m_dernier && m_geste(dialogue)) m_dernier = dialogue;
            } else {
                m_dernier = nullptr;
            }
        });
        m_minuteur.start(20);
    }

  private:
    std::function<bool(QWidget*)> m_geste;
    QPointer<QWidget> m_dernier;
    QTimer m_minuteur;
};

void Cliquer(QWidget* dialogue, const char* bouton) {
    if (auto* b = dialogue->findChild<QPushButton*>(bouton)) b->click();
}

}  // namespace

class TestSequenceLangue : public QObject {
    Q_OBJECT
  private slots:
    void changementDeLangueEtDialogues() {
        QTemporaryDir dossier;
        const std::string fichier = dossier.filePath("Velmora.ini").toStdString();
        test::EcrireFichier(fichier,
                            "[Config]\nLangue=Français\nAstucesAfficherAuDémarrage=0\n"
                            "[Machines]\nNbMachines=2\nMachine1=a|10.0.0.1||||||\n"
                            "Machine2=b|10.0.0.2||||||\n");
        // The language files are looked for beside the program.
        const QString langue = QCoreApplication::applicationDirPath() + "/English.lng";
        QFile::remove(langue);
        QVERIFY(QFile::copy(VELMORA_SOURCE_DIR "/lang/English.lng", langue));
        net::DefinirOperations(std::make_shared<test::FauxReseau>());
        test::Repondeur repondeur;  // MSG_CHANGEMENT_LANGUE and the like: OK
        QStringList redemarrage;
        frmVelmora::DefinirLanceurRedemarrage(
            [&](const QString&, const QStringList& arguments) { redemarrage = arguments; });
        bool relance = false;

        {
            Etat() = EtatFenetre{};
            frmVelmora premiere;
            QVERIFY(premiere.Form_Load(fichier));
            premiere.show();
            Automate automate([](QWidget* dialogue) {
                if (dialogue->objectName() != "frmConfiguration") return false;
                auto* choix = dialogue->findChild<QComboBox*>("cboLangue");
                choix->setCurrentIndex(choix->findText("English"));
                Cliquer(dialogue, "btnOK");
                return true;
            });
            premiere.mnuOptionsPreferences_Click();
            relance = Etat().redemarrage && !premiere.isVisible();
        }
        QVERIFY(relance);
        QCOMPARE(LireIni(fichier, cle::Config, cle::Langue, ""), std::string("English"));

        // The program as it starts again: English, the same file.
        Etat() = EtatFenetre{};
        frmVelmora seconde;
        QVERIFY(seconde.Form_Load(fichier));
        seconde.show();
        QCOMPARE(i18n::Tr("TXT_FERMER"), std::string("&Close"));
        int imageDon = -1;
        QStringList textesAPropos;
        Automate automate([&imageDon, &textesAPropos](QWidget* dialogue) {
            const QString nom = dialogue->objectName();
            if (nom == "frmAPropos") {
                // Left open past the picture timer, then closed.
                auto* aPropos = qobject_cast<frmAPropos*>(dialogue);
                for (const QLabel* etiquette : aPropos->findChildren<QLabel*>())
                    textesAPropos << etiquette->text();
                textesAPropos << aPropos->windowTitle() << frmAPropos::TexteDon(0)
                              << frmAPropos::TexteDon(1);
                QTimer::singleShot(3500, aPropos, [aPropos, &imageDon] {
                    imageDon = aPropos->ImageDonAffichee();
                    Cliquer(aPropos, "btnOK");
                });
                return true;
            }
            if (nom == "frmAstuceDuJour") {
                Cliquer(dialogue, "btnAstuceSuivante");
                Cliquer(dialogue, "btnOK");
                return true;
            }
            Cliquer(dialogue, "btnAnnuler");
            return true;
        });
        seconde.btnAjouter_Click();
        seconde.lvwMachines()->selectAll();
        seconde.btnAgir_Click();
        seconde.mnuOptionsPreferences_Click();
        seconde.mnuAideAstuce_Click();
        seconde.mnuAideAPropos_Click();
        QCOMPARE(imageDon, 1);
        // Every word of the About window in English, the donation picture's too.
        QVERIFY(textesAPropos.contains("The Velmora team"));
        QCOMPARE(textesAPropos.filter("Donate").size(), 2);
        for (const QString& texte : textesAPropos)
            QVERIFY2(!texte.contains(QRegularExpression("[éèàç]|Faire un don|quipe")),
                     qPrintable(texte));
        seconde.mnuAideAPropos_Click();
        QTest::qWait(1500);
        QVERIFY(seconde.isVisible());
        seconde.close();
        QCOMPARE(seconde.lvwMachines()->topLevelItemCount(), 2);

        frmVelmora::DefinirLanceurRedemarrage(nullptr);
        net::DefinirOperations(nullptr);
        QFile::remove(langue);
        Prog().fichierLangue.clear();
    }
};

QTEST_MAIN(TestSequenceLangue)
#include "test_sequenceLangue.moc"
