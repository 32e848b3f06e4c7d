// Imports of machine lists: the scanner export, the text import (model and dialog), the reading
// of the files and the main window's list as the target.
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <deque>
#include <fstream>

#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "gui/import/ImportFenetre.h"
#include "gui/import/ImportTexte.h"
#include "gui/import/ImportTrellide.h"
#include "gui/import/frmImportFichierText.h"
#include "gui/list/ListeMachines.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/Questions.h"

using namespace velmora;
using namespace velmora::gui;

namespace {

// A list of machines kept in a vector; the second entry of `journal` tells what happened.
struct FausseCible : CibleImport {
    std::vector<MachineImportee> machines;
    int termine = 0;
    int Trouver(const std::string& nom) const override {
        for (size_t i = 0; i < machines.size(); ++i)
            if (machines[i].nom == nom) return static_cast<int>(i);
        return -1;
    }
    void Ajouter(const MachineImportee& m) override { machines.push_back(m); }
    void Remplacer(int i, const MachineImportee& m) override { machines[i] = m; }
    void Terminer() override { ++termine; }
};

MachineImportee Existante(const std::string& nom) {
    MachineImportee m;
    m.nom = nom;
    m.adresse = "old";
    return m;
}

}  // namespace

class TestImport : public QObject {
    Q_OBJECT
    std::vector<std::string> m_messages;
    std::deque<int> m_reponses;

  private slots:
    void initTestCase() {
        i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, "");
        DefinirRepondeur([this](const Question& q) {
            m_messages.push_back(q.texte);
            int r = 1;
            if (!m_reponses.empty()) {
                r = m_reponses.front();
                m_reponses.pop_front();
            }
            return Reponse{r, ""};
        });
    }
    void init() {
        m_messages.clear();
        m_reponses.clear();
        Etat() = EtatFenetre{};
    }

    void scannerLinesByFieldCount() {
        FausseCible cible;
        QuestionsImport q;
        const auto bilan =
            ImporterTrellide({"10.0.0.1\tpc1\tx\tcom1\tx\t00-11-22-33-44-55",
                              "10.0.0.2\tpc2\tx\tc\tx", "   ", "\tpc3\tx\t\tx\t00-11-22-33-44-66",
                              "10.0.0.4\tpc4\tx\tc3\tx\tAA-BB-CC-DD-EE-FF\tx\tx\tc8\tx\t",
                              "10.0.0.5\tpc5\tx\tc3\tx\tAA-BB-CC-DD-EE-00\tx\tx\tc8\tx\tc10",
                              // Addresses a program would take for an option, or with blanks.
                              "-oProxyCommand=x\tpc6\tx\tc\tx\tAA-BB-CC-DD-EE-01",
                              "10.0.0.7 x\tpc7\tx\tc\tx\tAA-BB-CC-DD-EE-02"},
                             cible, q);
        QCOMPARE(bilan.ajoutees, 4);
        QCOMPARE(bilan.ignorees, 3);  // the short line and the two addresses
        QCOMPARE(cible.machines[0].nom, std::string("pc1"));
        QCOMPARE(cible.machines[0].adresse, std::string("10.0.0.1"));
        QCOMPARE(cible.machines[0].mac, std::string("00-11-22-33-44-55"));
        QCOMPARE(*cible.machines[0].commentaire, std::string("com1"));
        // An empty first field keeps the others in place.
        QCOMPARE(cible.machines[1].nom, std::string("pc3"));
        QCOMPARE(cible.machines[1].adresse, std::string());
        QCOMPARE(*cible.machines[2].commentaire, std::string("c8"));
        QCOMPARE(*cible.machines[3].commentaire, std::string("c10"));
        QCOMPARE(cible.termine, 1);
        QVERIFY(m_messages.empty());
    }

    void scannerQuestionsAreAskedOnceEach() {
        FausseCible cible;
        cible.machines = {Existante("pc1"), Existante("c2")};
        int sansMAC = 0, remplacer = 0;
        QuestionsImport q;
        q.ignorerSansMAC = [&] { return ++sansMAC, false; };
        q.remplacerExistants = [&] { return ++remplacer, true; };
        ImporterTrellide({"1.1.1.1\tpcA\tx\t\tx\t", "1.1.1.2\tpcB\tx\t\tx\t",
                          "1.1.1.3\tpc1\tx\t\tx\t00-00-00-00-00-01",
                          "1.1.1.4\tother\tx\tc2\tx\t00-00-00-00-00-02"},
                         cible, q);
        QCOMPARE(sansMAC, 1);
        QCOMPARE(remplacer, 1);
        QCOMPARE(cible.machines.size(), size_t(4));  // pcA, pcB added; pc1 and c2 replaced
        QCOMPARE(cible.machines[0].adresse, std::string("1.1.1.3"));
        // The comment (field 3) names the machine looked for; the row takes field 1 as name.
        QCOMPARE(cible.machines[1].nom, std::string("other"));

        FausseCible vide;
        q.ignorerSansMAC = [&] { return ++sansMAC, true; };
        const auto bilan =
            ImporterTrellide({"1.1.1.1\tpcA\tx\t\tx\t", "1.1.1.2\tpcB\tx\t\tx\t"}, vide, q);
        QCOMPARE(sansMAC, 2);
        QVERIFY(vide.machines.empty());
        QCOMPARE(bilan.ignorees, 2);
    }

    void textModelReferenceLineSeparatorsAndColumns() {
        ImportTexte t;
        t.Charger({"[REFERENCE=1]", "", "  a;b;c  ", "d;e"});
        QCOMPARE(t.NbLignes(), size_t(2));
        QCOMPARE(t.NbColonnes(), size_t(1));  // tab separator by default
        t.DefinirSeparateur(";");
        QCOMPARE(t.NbColonnes(), size_t(3));
        QCOMPARE(t.Cellule(0, 1), std::string("a"));
        QCOMPARE(t.Cellule(1, 3), std::string());
        t.DefinirSeparateur("");
        QCOMPARE(t.NbColonnes(), size_t(1));
        QCOMPARE(t.Cellule(0, 1), std::string("a;b;c"));

        t.Charger({"[REFERENCE=12]", "x"});
        QCOMPARE(t.NbLignes(), size_t(2));

        t.Charger({"a,b,c"});
        t.DefinirSeparateur(",");
        std::vector<int> vus;
        for (int i = 0; i < 7; ++i) vus.push_back(t.CliquerColonne(2));
        QCOMPARE(vus, (std::vector<int>{1, 2, 3, 4, 5, 6, 0}));
        QCOMPARE(t.CliquerColonne(1), 1);
        QCOMPARE(t.CliquerColonne(2), 2);  // field 1 is taken by column 1
        QCOMPARE(t.ColonneDuChamp(ChampNom), 1);
        t.DefinirSeparateur(";");  // a new split clears the assignments
        QCOMPARE(t.ColonneDuChamp(ChampNom), 0);
    }

    void textChecksAreGroupedAndOrdered() {
        ImportTexte t;
        t.Charger({"pc=1;1.2.3.4;00:11:22:33:44:55;255.0.0.0;9", "pc*2;;00:11:22:33:44:5;bad;99999",
                   "pc3;h|x;00-11-22-33-44-55;1.2.3;9"});
        t.DefinirSeparateur(";");
        for (int c = 1; c <= 5; ++c)
            while (t.ChampDeColonne(c) != c) t.CliquerColonne(c);
        QVERIFY(t.ChampsObligatoires());
        QCOMPARE(t.Verifier({0}), std::string());  // "=" is accepted here
        {
            ImportTexte option;
            option.Charger({"pc1;-oProxyCommand=x;00:11:22:33:44:55", "pc2;a b;00:11:22:33:44:55",
                            "pc3;PC#3$;00:11:22:33:44:55"});
            option.DefinirSeparateur(";");
            for (int c = 1; c <= 3; ++c)
                while (option.ChampDeColonne(c) != c) option.CliquerColonne(c);
            QVERIFY(option.Verifier({0}).find(ImportTexte::NomChamp(ChampAdresse)) !=
                    std::string::npos);
            QVERIFY(option.Verifier({1}).find(ImportTexte::NomChamp(ChampAdresse)) !=
                    std::string::npos);
            QCOMPARE(option.Verifier({2}), std::string());
        }
        const std::string message = t.Verifier({0, 1, 2});
        auto ligne = [](const char* cle, int champ) {
            return "\t - " + i18n::Tr(cle, {ImportTexte::NomChamp(champ)}) + "\n";
        };
        const std::string attendu = i18n::Tr("MSG_ERREUR_IMPORT") + "\n\n" +
                                    ligne("MSG_ERREUR_IMPORT_CARACTERE_INTERDIT", ChampNom) +
                                    ligne("MSG_ERREUR_IMPORT_CARACTERE_INTERDIT", ChampAdresse) +
                                    ligne("MSG_ERREUR_IMPORT_FORMAT_INCORRECT", ChampMAC) +
                                    ligne("MSG_ERREUR_IMPORT_FORMAT_INCORRECT", ChampMasque) +
                                    ligne("MSG_ERREUR_IMPORT_FORMAT_INCORRECT", ChampPort) + "\n" +
                                    i18n::Tr("MSG_ERREUR_IMPORT_ANNULEE");
        QCOMPARE(message, attendu);

        FausseCible cible;
        cible.machines = {Existante("pc=1")};
        int questions = 0;
        t.Importer({0}, cible, [&] { return ++questions, true; });
        QCOMPARE(questions, 1);
        QCOMPARE(cible.machines.size(), size_t(1));
        QCOMPARE(*cible.machines[0].masque, std::string("255.0.0.0"));
        QVERIFY(!cible.machines[0].commentaire);  // not assigned: left alone
    }

    void textDialogHeadersSeparatorAndOk() {
        FausseCible cible;
        frmImportFichierText dialogue({"n1;1.1.1.1;00:11:22:33:44:55", "n2;1.1.1.2;zz"}, cible);
        QTreeWidget* apercu = dialogue.lvwImport();
        QCOMPARE(apercu->columnCount(), 2);  // "Ligne" + one column (tab separator)
        dialogue.ChoisirSeparateur(5);
        auto* autre = dialogue.findChild<QLineEdit*>(QString::fromUtf8("txtSéparateur"));
        QVERIFY(autre->isEnabled());
        QCOMPARE(apercu->columnCount(), 2);  // empty "other": one column
        autre->setText(";");
        QCOMPARE(apercu->columnCount(), 4);
        QCOMPARE(apercu->selectedItems().size(), 2);

        apercu->header()->sectionClicked(0);
        QCOMPARE(m_messages.back(), i18n::Tr("MSG_ERREUR_IMPORT_COLONNE_INDISPO"));
        dialogue.findChild<QPushButton*>("btnOK")->click();
        QCOMPARE(m_messages.back(), i18n::Tr("MSG_ERREUR_IMPORT_SELECTION_COLONNES"));
        for (int c = 1; c <= 3; ++c)
            while (dialogue.Modele().ChampDeColonne(c) != c) apercu->header()->sectionClicked(c);
        QCOMPARE(apercu->headerItem()->text(3), QString::fromStdString(i18n::Tr("COL_ADRESSEMAC")));
        dialogue.findChild<QPushButton*>("btnOK")->click();  // row 2 has a bad MAC
        QVERIFY(m_messages.back().find(i18n::Tr("MSG_ERREUR_IMPORT_ANNULEE")) != std::string::npos);
        QVERIFY(cible.machines.empty());
        QVERIFY(Etat().annulation);

        apercu->topLevelItem(1)->setSelected(false);
        dialogue.findChild<QPushButton*>("btnOK")->click();
        QVERIFY(!Etat().annulation);
        QCOMPARE(cible.machines.size(), size_t(1));
        QCOMPARE(cible.machines[0].nom, std::string("n1"));
    }

    void noSelectedRowImportsNothingAndCloses() {
        FausseCible cible;
        frmImportFichierText dialogue({"n1,1.1.1.1,00:11:22:33:44:55"}, cible);
        dialogue.ChoisirSeparateur(2);
        for (int c = 1; c <= 3; ++c)
            while (dialogue.Modele().ChampDeColonne(c) != c) dialogue.lvwImport_ColumnClick(c);
        dialogue.btnDeselectionnerTout_Click();
        dialogue.btnOK_Click();
        QVERIFY(!Etat().annulation);
        QVERIFY(cible.machines.empty());
        QVERIFY(m_messages.empty());
    }

    void filesThatCannotBeReadAreReported() {
        QTemporaryDir dossier;
        std::string erreur;
        QVERIFY(!LireLignesFichier(dossier.path().toStdString(), erreur));  // a folder
        QVERIFY(!erreur.empty());
        QVERIFY(!LireLignesFichier(dossier.filePath("absent.txt").toStdString(), erreur));
        const std::string chemin = dossier.filePath("w.txt").toStdString();
        std::ofstream(chemin, std::ios::binary) << "caf\xe9\r\nb";
        const auto lignes = LireLignesFichier(chemin, erreur);
        QVERIFY(lignes);
        QCOMPARE(*lignes, (std::vector<std::string>{"caf\xc3\xa9", "b"}));
    }

    void mainListTargetReplacesInPlaceAndAppendsOnce() {
        QTreeWidget liste;
        liste.setColumnCount(NombreColonnes);
        Machine ancienne;
        ancienne.nom = "pc1";
        ancienne.motDePasse = "0A0B";
        ancienne.login = "root";
        auto* element = new ElementMachine(ancienne);
        DefinirEcheance(element, QDateTime::currentDateTime().addSecs(60));
        DefinirIcone(element, kVert);
        liste.addTopLevelItem(element);

        CibleArbreMachines cible(&liste);
        QuestionsImport q;
        q.remplacerExistants = [] { return true; };
        ImporterTrellide(
            {"10.0.0.9\tpc1\tx\t\tx\tAA-AA-AA-AA-AA-AA", "10.0.0.2\tpc2\tx\t\tx\tBB-BB-BB-BB-BB-BB",
             "10.0.0.3\tpc2\tx\t\tx\tCC-CC-CC-CC-CC-CC"},
            cible, q);
        QCOMPARE(liste.topLevelItemCount(), 2);  // the second pc2 replaced the first
        const Machine m = LireElement(liste.topLevelItem(0));
        QCOMPARE(m.adresse, std::string("10.0.0.9"));
        QCOMPARE(m.login, std::string("root"));
        QCOMPARE(m.motDePasse, std::string());
        QVERIFY(!Echeance(liste.topLevelItem(0)).isValid());
        QCOMPARE(LireElement(liste.topLevelItem(1)).adresseMAC, std::string("CC-CC-CC-CC-CC-CC"));
        QCOMPARE(CleIcone(liste.topLevelItem(1)), std::string(kGris));
    }

    // A picture of the dialog for a visual check (VELMORA_CAPTURES: output folder;
    // VELMORA_CAPTURES_LANGUE: optional language file).
    void captures() {
        const QString dossier = qEnvironmentVariable("VELMORA_CAPTURES");
        if (dossier.isEmpty()) QSKIP("VELMORA_CAPTURES not set");
        const std::string langue = qEnvironmentVariable("VELMORA_CAPTURES_LANGUE").toStdString();
        Prog().fichierLangue = langue;
        i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, langue);
        FausseCible cible;
        frmImportFichierText dialogue(
            {"[REFERENCE=1]", "pc1;192.168.0.10;00-11-22-33-44-55;poste 1",
             "pc2;192.168.0.11;00-11-22-33-44-56;poste 2",
             "pc3;192.168.0.12;00-11-22-33-44-57;imprimante"},
            cible);
        dialogue.ChoisirSeparateur(1);
        for (int c = 1; c <= 3; ++c)
            while (dialogue.Modele().ChampDeColonne(c) != c) dialogue.lvwImport_ColumnClick(c);
        dialogue.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialogue));
        QTest::qWait(50);
        QVERIFY(dialogue.grab().save(
            QString("%1/import_%2.png").arg(dossier, langue.empty() ? "fr" : "en")));
        i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, "");
        Prog().fichierLangue.clear();
    }
};

QTEST_MAIN(TestImport)
#include "test_import.moc"
