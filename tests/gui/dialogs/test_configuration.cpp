// The configuration dialog and the custom command dialog: checks in order with the page shown,
// field filters, enable rules, Ctrl+Tab, the language list, the command and folder lists.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <fstream>

#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "gui/dialogs/ListesConfig.h"
#include "gui/dialogs/ListesConfigVerification.h"
#include "gui/dialogs/frmConfigCommande.h"
#include "gui/dialogs/frmConfiguration.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/Questions.h"

using namespace velmora;
using namespace velmora::gui;

namespace {
QLineEdit* Zone(QWidget* w, const char* nom) {
    return w->findChild<QLineEdit*>(QString::fromUtf8(nom));
}
QPushButton* Bouton(QWidget* w, const char* nom) {
    return w->findChild<QPushButton*>(QString::fromUtf8(nom));
}
std::vector<std::string> Textes(const QTreeWidget* liste) {
    std::vector<std::string> textes;
    for (int i = 0; i < liste->topLevelItemCount(); ++i)
        textes.push_back(liste->topLevelItem(i)->text(0).toStdString());
    return textes;
}
void Selectionner(QTreeWidget* liste, std::initializer_list<int> lignes) {
    liste->clearSelection();
    for (int l : lignes) liste->topLevelItem(l)->setSelected(true);
}
}  // namespace

class TestConfiguration : public QObject {
    Q_OBJECT
    std::vector<std::string> m_messages;
    std::vector<std::string> m_titres;  // titles of the message boxes
    QTemporaryDir m_langues;            // an empty folder: no language file

  private slots:
    void initTestCase() {
        i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, "");
        DefinirRepondeur([this](const Question& q) {
            m_messages.push_back(q.texte);
            if (q.genre == Question::Genre::MsgBox) m_titres.push_back(q.titre);
            return Reponse{1, ""};
        });
    }
    // Every message box of the program carries the application title.
    void cleanup() {
        const std::vector<std::string> titres = std::move(m_titres);
        m_titres.clear();
        for (const std::string& titre : titres) QCOMPARE(titre, std::string("Velmora"));
    }
    void init() {
        m_messages.clear();
        Etat() = EtatFenetre{};
        Prog().reglages = ReglagesDemarrage{};
        Prog().langue = "Français";
        Prog().fichierLangue.clear();
        Etat().reglages.commandes = {
            {"A", -1, "a"}, {"B", 60, "b %ip%"}, {"C", -1, "c"}, {"D", -1, "d"}};
    }

    void checksComeInOrderWithTheirPage() {
        ChampsConfiguration c;
        c.portParDefautWOL = "70000";
        c.masqueParDefaut = "";
        c.repliMode = 1;
        c.portParDefautWOW = "x";
        c.proxyType = 2;
        c.authentificationMode = 1;
        std::vector<std::string> cles;
        for (int i = 0; i < 8; ++i) {
            const auto refus = VerifierConfiguration(c);
            if (!refus) break;
            cles.push_back(std::to_string(refus->onglet) + refus->cleMessage);
            if (refus->champ == "txtPortParDéfautWOL") c.portParDefautWOL = "9";
            if (refus->champ == "txtMasqueParDéfaut") c.masqueParDefaut = "255.255.255.0";
            if (refus->champ == "txtRepliAdresse") c.repliAdresse = "192.168.0.255";
            if (refus->champ == "txtPortParDéfautWOW") c.portParDefautWOW = "0";
            if (refus->champ == "txtProxyAdresse") c.proxyAdresse = "proxy";
            if (refus->champ == "txtProxyPort") c.proxyPort = "3128";
            if (refus->champ == "txtAuthentificationLogin") c.authentificationLogin = "op";
        }
        QCOMPARE(cles,
                 (std::vector<std::string>{"2MSG_ERREUR_PORT_DEFAUT", "2MSG_ERREUR_MASQUE_DEFAUT",
                                           "2MSG_ERREUR_ADRESSE_REPLI", "3MSG_ERREUR_PORT_DEFAUT",
                                           "3MSG_ERREUR_PROXY_ADRESSE", "3MSG_ERREUR_PROXY_PORT",
                                           "5MSG_ERREUR_AUTHENTIFICATION_ABSENCE_LOGIN"}));
        // Direct connection and session account: empty proxy fields and login are fine.
        ChampsConfiguration d;
        d.portParDefautWOL = d.portParDefautWOW = "0";
        d.masqueParDefaut = "255.0.0.0";
        d.proxyType = 1;
        d.proxyPort = "abc";
        QVERIFY(!VerifierConfiguration(d));
    }

    void numericFilters() {
        QCOMPARE(FiltrerNombre(""), std::string("0"));
        QCOMPARE(FiltrerNombre("12ab3"), std::string("12"));
        QCOMPARE(FiltrerNombre(" -7"), std::string("-7"));
        QCOMPARE(FiltrerNombre("007"), std::string("7"));
        QCOMPARE(FiltrerNombre("abc"), std::string("0"));
    }

    void dialogRefusalShowsTheFaultyPageAndKeepsSettings() {
        frmConfiguration dialogue({"Bureau", "Salle", "+"}, nullptr,
                                  {m_langues.path().toStdString()});
        dialogue.show();
        Zone(&dialogue, "txtTimeoutPing")->setText("50");
        emit Zone(&dialogue, "txtTimeoutPing")->editingFinished();
        QCOMPARE(Zone(&dialogue, "txtTimeoutPing")->text(), QString("100"));
        Zone(&dialogue, "txtPortParDéfautWOL")->setText("");
        QCOMPARE(Zone(&dialogue, "txtPortParDéfautWOL")->text(), QString("0"));
        Zone(&dialogue, "txtMasqueParDéfaut")->setText("");
        dialogue.SelectionnerOnglet(5);
        Bouton(&dialogue, "btnOK")->click();
        QCOMPARE(m_messages, (std::vector<std::string>{i18n::Tr("MSG_ERREUR_MASQUE_DEFAUT")}));
        QCOMPARE(dialogue.OngletCourant(), 2);
        QVERIFY(Etat().annulation);
        QCOMPARE(Prog().reglages.tempoPing, 300LL);  // nothing applied yet

        Zone(&dialogue, "txtMasqueParDéfaut")->setText("255.255.0.0");
        Bouton(&dialogue, "btnOK")->click();
        QVERIFY(!Etat().annulation);
        QVERIFY(Etat().configModifiee);
        QCOMPARE(Prog().reglages.tempoPing, 100LL);
        QCOMPARE(Prog().reglages.portParDefautWOL, 0LL);
        QCOMPARE(Prog().reglages.masqueParDefaut, std::string("255.255.0.0"));
        QCOMPARE(dialogue.Dossiers(), (std::vector<std::string>{"Bureau", "Salle"}));
    }

    // Every control shows its setting at opening and writes it back on OK.
    void everyControlReachesItsSetting() {
        ReglagesDemarrage& d = Prog().reglages;
        ReglagesFenetre& f = Etat().reglages;
        d.repliMode = 1;
        d.repliAdresse = "10.0.0.255";
        d.scriptWOWParDefaut = false;
        d.proxyType = 2;
        d.proxyAdresse = "proxy";
        d.proxyPort = "3128";
        d.authentificationMode = 1;
        d.authentificationLogin = "op";
        f.nePasStopper = true;
        frmConfiguration dialogue({"Bureau"}, nullptr, {m_langues.path().toStdString()});
        QVERIFY(dialogue.findChild<QRadioButton*>("optRepliMode(1)")->isChecked());
        QVERIFY(dialogue.findChild<QRadioButton*>("optScriptWOW(1)")->isChecked());
        QCOMPARE(dialogue.findChild<QComboBox*>("cboProxyType")->currentIndex(), 2);
        // The first access type follows the proxy of the environment, and says so.
        const QString systeme = dialogue.findChild<QComboBox*>("cboProxyType")->itemText(0);
        QVERIFY2(systeme.contains("http_proxy") && !systeme.contains("IE"), qPrintable(systeme));
        QCOMPARE(Zone(&dialogue, "txtAuthentificationLogin")->text(), QString("op"));
        QVERIFY(dialogue.findChild<QCheckBox*>("chkNePasStopper")->isChecked());

        const std::pair<const char*, std::string> zones[] = {
            {"txtTimeoutPing", "250"},
            {"txtActualiserEtat", "45"},
            {"txtPortParDéfautWOL", "7"},
            {"txtMasqueParDéfaut", "255.0.0.0"},
            {"txtDélaiEntreDeuxRéveilsWOL", "5"},
            {"txtRepliAdresse", "10.255.255.255"},
            {"txtPortParDéfautWOW", "8"},
            {"txtDélaiEntreDeuxRéveilsWOW", "6"},
            {"txtScriptWOWUrl", "http://h/w?%ip%"},
            {"txtProxyLogin", "pl"},
            {"txtProxyPassword", "pp"},
            {"txtDélaiAvantRedémarrageOuExtinction", "30"},
            {"txtMessage", "bye"},
            {"txtAuthentificationPassword", "ap"}};
        for (const auto& [nom, valeur] : zones)
            Zone(&dialogue, nom)->setText(QString::fromStdString(valeur));
        for (const char* nom :
             {"chkConfirmation", "chkConfirmationSiPlusieursMachinesUniquement",
              "chkZapperFenêtreAction", "chkNePasStopper",
              "chkFenêtreTraitementFermerAutomatiquement",
              "chkFenêtreTraitementSeulementMultisélection", "chkMettreEnRougeRéveil",
              "chkWOWTraiterIPPubliquesSansConfirmation", "chkProxySiErreurTesterAussiAccèsDirect",
              "chkForcer"}) {
            auto* c = dialogue.findChild<QCheckBox*>(QString::fromUtf8(nom));
            c->setChecked(!c->isChecked());
        }
        Bouton(&dialogue, "btnOK")->click();
        QVERIFY(!Etat().annulation);
        const ReglagesDemarrage defD;
        const ReglagesFenetre defF;
        QCOMPARE(d.tempoPing, 250LL);
        QCOMPARE(f.actualiserEtat, 45LL);
        QCOMPARE(d.portParDefautWOL, 7LL);
        QCOMPARE(d.masqueParDefaut, std::string("255.0.0.0"));
        QCOMPARE(d.delaiEntreDeuxReveilsWOL, 5LL);
        QCOMPARE(d.repliMode, 1LL);
        QCOMPARE(d.repliAdresse, std::string("10.255.255.255"));
        QCOMPARE(d.portParDefautWOW, 8LL);
        QCOMPARE(d.delaiEntreDeuxReveilsWOW, 6LL);
        QCOMPARE(d.scriptWOWParDefaut, false);
        QCOMPARE(d.scriptWOWUrl, std::string("http://h/w?%ip%"));
        QCOMPARE(d.proxyType, 2LL);
        QCOMPARE(d.proxyLogin, std::string("pl"));
        QCOMPARE(d.proxyPassword, std::string("pp"));
        QCOMPARE(d.delaiAvantRedemarrage, 30LL);
        QCOMPARE(d.messageParDefaut, std::string("bye"));
        QCOMPARE(d.authentificationMode, 1LL);
        QCOMPARE(d.authentificationPassword, std::string("ap"));
        QCOMPARE(d.wowSansConfirmation, !defD.wowSansConfirmation);
        QCOMPARE(d.proxyAccesDirect, !defD.proxyAccesDirect);
        QCOMPARE(d.forcerParDefaut, !defD.forcerParDefaut);
        QCOMPARE(f.confirmation, !defF.confirmation);
        QCOMPARE(f.confirmationSiPlusieurs, !defF.confirmationSiPlusieurs);
        QCOMPARE(f.zapperConfigAction, !defF.zapperConfigAction);
        QCOMPARE(f.nePasStopper, false);
        QCOMPARE(f.fenetreTraitementFermer, !defF.fenetreTraitementFermer);
        QCOMPARE(f.fenetreTraitementMultiselection, !defF.fenetreTraitementMultiselection);
        QCOMPARE(f.mettreEnRougeReveil, !defF.mettreEnRougeReveil);
    }

    void newSettingsPointWakeViaInternetAtTheUsersOwnRelay() {
        frmConfiguration dialogue({"Bureau"}, nullptr, {m_langues.path().toStdString()});
        QVERIFY(dialogue.findChild<QRadioButton*>("optScriptWOW(1)")->isChecked());
        QVERIFY(Zone(&dialogue, "txtScriptWOWUrl")->text().contains("ip=%ip%&mac=%mac%"));
        const QString info = dialogue.findChild<QLabel*>("lblScriptWOWInfo")->text();
        QVERIFY2(info.contains("velmora-relay") && info.contains("Aucun script n'est"),
                 qPrintable(info));
        QVERIFY(!dialogue.findChild<QRadioButton*>("optScriptWOW(0)")->text().contains("site"));
    }

    void cancelChangesNothing() {
        frmConfiguration dialogue({"Bureau"}, nullptr, {m_langues.path().toStdString()});
        Zone(&dialogue, "txtMessage")->setText("changé");
        Bouton(&dialogue, "btnAnnuler")->click();
        QVERIFY(Etat().annulation);
        QVERIFY(!Etat().configModifiee);
        QCOMPARE(Prog().reglages.messageParDefaut, std::string());
    }

    void enableRulesFollowTheirControls() {
        frmConfiguration dialogue({"Bureau"}, nullptr, {m_langues.path().toStdString()});
        auto* confirmation = dialogue.findChild<QCheckBox*>("chkConfirmation");
        auto* plusieurs =
            dialogue.findChild<QCheckBox*>("chkConfirmationSiPlusieursMachinesUniquement");
        confirmation->setChecked(false);
        QVERIFY(!plusieurs->isEnabled());
        confirmation->setChecked(true);
        QVERIFY(plusieurs->isEnabled());
        auto* proxy = dialogue.findChild<QComboBox*>("cboProxyType");
        proxy->setCurrentIndex(1);
        QVERIFY(!Zone(&dialogue, "txtProxyAdresse")->isEnabled());
        QVERIFY(!Zone(&dialogue, "txtProxyLogin")->isEnabled());
        proxy->setCurrentIndex(0);
        QVERIFY(!Zone(&dialogue, "txtProxyPort")->isEnabled());
        QVERIFY(Zone(&dialogue, "txtProxyPassword")->isEnabled());
        proxy->setCurrentIndex(2);
        QVERIFY(Zone(&dialogue, "txtProxyAdresse")->isEnabled());
        dialogue.findChild<QRadioButton*>("optRepliMode(1)")->setChecked(true);
        QVERIFY(Zone(&dialogue, "txtRepliAdresse")->isEnabled());
        dialogue.findChild<QRadioButton*>("optRepliMode(0)")->setChecked(true);
        QVERIFY(!Zone(&dialogue, "txtRepliAdresse")->isEnabled());
        auto* mode = dialogue.findChild<QComboBox*>("cboAuthentificationMode");
        QVERIFY(!Zone(&dialogue, "txtAuthentificationLogin")->isEnabled());
        mode->setCurrentIndex(1);
        QVERIFY(Zone(&dialogue, "txtAuthentificationPassword")->isEnabled());
    }

    void ctrlTabWrapsAndLanguagesComeFromFiles() {
        {
            frmConfiguration dialogue({"Bureau"}, nullptr, {m_langues.path().toStdString()});
            auto* langue = dialogue.findChild<QComboBox*>("cboLangue");
            QCOMPARE(langue->count(), 1);
            QVERIFY(!langue->isEnabled());
            dialogue.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialogue));
            dialogue.SelectionnerOnglet(7);
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget()
                                                        : static_cast<QWidget*>(&dialogue),
                            Qt::Key_Tab, Qt::ControlModifier);
            QCOMPARE(dialogue.OngletCourant(), 1);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                            Qt::ControlModifier | Qt::ShiftModifier);
            QCOMPARE(dialogue.OngletCourant(), 7);
        }
        QTemporaryDir avecFichier;
        const std::string anglais = avecFichier.filePath("English.lng").toStdString();
        std::ofstream(anglais) << "[Traduction]\n";
        Prog().langue = "English";
        Prog().fichierLangue = anglais;
        frmConfiguration dialogue({"Bureau"}, nullptr, {avecFichier.path().toStdString()});
        auto* langue = dialogue.findChild<QComboBox*>("cboLangue");
        QCOMPARE(langue->count(), 2);
        QVERIFY(langue->isEnabled());
        QCOMPARE(langue->currentText(), QString("English"));
        langue->setCurrentIndex(0);
        Bouton(&dialogue, "btnOK")->click();
        QCOMPARE(m_messages.back(), i18n::Tr("MSG_CHANGEMENT_LANGUE"));
        QCOMPARE(Prog().langue, std::string("Français"));
        QVERIFY(Etat().redemarrage);
    }

    void listButtonsAndMoves() {
        QTreeWidget liste;
        liste.setSelectionMode(QAbstractItemView::ExtendedSelection);
        for (const char* t : {"1", "2", "3", "4", "5"}) new QTreeWidgetItem(&liste, {t});
        Selectionner(&liste, {0});
        EtatBoutonsListe e = CalculerBoutons(&liste);
        QVERIFY(!e.monter && e.descendre && e.modifier && e.supprimer);
        Selectionner(&liste, {4});
        QVERIFY(!CalculerBoutons(&liste).descendre);
        Selectionner(&liste, {1, 3});
        e = CalculerBoutons(&liste);
        QVERIFY(!e.modifier && e.supprimer && e.monter && e.descendre);
        MonterSelection(&liste);
        QCOMPARE(Textes(&liste), (std::vector<std::string>{"2", "1", "4", "3", "5"}));
        QVERIFY(liste.topLevelItem(0)->isSelected() && liste.topLevelItem(2)->isSelected());
        QCOMPARE(liste.selectedItems().size(), 2);
        DescendreSelection(&liste);
        QCOMPARE(Textes(&liste), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
        Selectionner(&liste, {4});
        SupprimerSelection(&liste);
        QCOMPARE(Textes(&liste), (std::vector<std::string>{"1", "2", "3", "4"}));
        QVERIFY(liste.topLevelItem(3)->isSelected());
        Selectionner(&liste, {0, 2});
        SupprimerSelection(&liste);
        QCOMPARE(Textes(&liste), (std::vector<std::string>{"2", "4"}));
        QVERIFY(liste.topLevelItem(0)->isSelected());
        Selectionner(&liste, {});
        e = CalculerBoutons(&liste);
        QVERIFY(!e.modifier && !e.supprimer && !e.monter && !e.descendre);
    }

    void dragMovesTheSelectionOnePlacePerMove() {
        frmConfiguration dialogue({"Un", "Deux", "Trois", "+"}, nullptr,
                                  {m_langues.path().toStdString()});
        dialogue.resize(700, 500);
        dialogue.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialogue));
        dialogue.SelectionnerOnglet(7);
        QTreeWidget* dossiers = dialogue.lvwDossiers();
        QCOMPARE(Textes(dossiers), (std::vector<std::string>{"Un", "Deux", "Trois"}));
        dialogue.tmrRetardateur()->setInterval(0);
        QWidget* vue = dossiers->viewport();
        const QPoint p0 = dossiers->visualItemRect(dossiers->topLevelItem(0)).center();
        const QPoint p2 = dossiers->visualItemRect(dossiers->topLevelItem(2)).center();
        QTest::mousePress(vue, Qt::LeftButton, Qt::NoModifier, p0);
        QTRY_VERIFY(vue->cursor().shape() == Qt::SizeVerCursor);
        QMouseEvent deplacement(QEvent::MouseMove, p2, vue->mapToGlobal(p2), Qt::NoButton,
                                Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(vue, &deplacement);
        QCOMPARE(Textes(dossiers), (std::vector<std::string>{"Deux", "Un", "Trois"}));
        QApplication::sendEvent(vue, &deplacement);
        QCOMPARE(Textes(dossiers), (std::vector<std::string>{"Deux", "Trois", "Un"}));
        QTest::mouseRelease(vue, Qt::LeftButton, Qt::NoModifier, p2);
        QVERIFY(vue->cursor().shape() != Qt::SizeVerCursor);
        // A right press clears the selection.
        QTest::mousePress(vue, Qt::RightButton, Qt::NoModifier, p0);
        QVERIFY(dossiers->selectedItems().isEmpty());
        QVERIFY(!Bouton(&dialogue, "btnDossiersMonter")->isEnabled());

        Bouton(&dialogue, "btnOK")->click();
        QCOMPARE(dialogue.Dossiers(), (std::vector<std::string>{"Deux", "Trois", "Un"}));
    }

    void commandListAppliesInListOrder() {
        frmConfiguration dialogue({"Bureau"}, nullptr, {m_langues.path().toStdString()});
        QTreeWidget* commandes = dialogue.lvwCommandes();
        QCOMPARE(commandes->topLevelItem(1)->text(1), QString("b %ip%"));
        QCOMPARE(TagCommande(commandes->topLevelItem(1)), std::string("60"));
        Selectionner(commandes, {3});
        Bouton(&dialogue, "btnCommandesMonter")->click();
        Selectionner(commandes, {0});
        QTest::keyRelease(commandes, Qt::Key_Delete);
        Bouton(&dialogue, "btnOK")->click();
        const auto& r = Etat().reglages.commandes;
        QCOMPARE(r.size(), size_t(3));
        QCOMPARE(r[0], (CommandePersonnalisee{"B", 60, "b %ip%"}));
        QCOMPARE(r[1].libelle, std::string("D"));
        QCOMPARE(r[2].libelle, std::string("C"));
    }

    void commandDialogSeparatorsAndChecks() {
        QCOMPARE(VerifierCommande("", "x")->cleMessage, std::string("MSG_ERREUR_COMMANDE_NOM"));
        QCOMPARE(VerifierCommande("a|b", "")->cleMessage, std::string("MSG_ERREUR_PIPE_INTERDIT"));
        QCOMPARE(VerifierCommande("Pré-requis", "")->cleMessage,
                 std::string("MSG_ERREUR_COMMANDE_EXEC"));
        QVERIFY(!VerifierCommande("Outils\\-", ""));
        QVERIFY(!VerifierCommande("Ping", "ping -c 1 %ip% | tee x"));

        frmConfigCommande dialogue;
        dialogue.DefinirCommande("Ping", "ping %ip%", false, "");
        dialogue.chkCommandeAuthentificationRequise()->click();
        QCOMPARE(dialogue.txtCommandeDureeSessionAuthentifiee()->text(), QString("1"));
        QVERIFY(dialogue.txtCommandeDureeSessionAuthentifiee()->isEnabled());
        dialogue.txtCommandeNom()->setText("-");
        QVERIFY(dialogue.txtCommandeExec()->text().isEmpty());
        QVERIFY(!dialogue.txtCommandeExec()->isEnabled());
        QVERIFY(!dialogue.chkCommandeAuthentificationRequise()->isChecked());
        QVERIFY(!dialogue.txtCommandeDureeSessionAuthentifiee()->isEnabled());
        dialogue.btnOK_Click();
        QVERIFY(!Etat().annulation);

        frmConfigCommande sansCompte;
        sansCompte.DefinirAuthentificationDisponible(false);
        sansCompte.txtCommandeNom()->setText("Explorer");
        QVERIFY(!sansCompte.chkCommandeAuthentificationRequise()->isEnabled());
        sansCompte.txtCommandeDureeSessionAuthentifiee()->setText("4x");
        QCOMPARE(sansCompte.txtCommandeDureeSessionAuthentifiee()->text(), QString("4x"));
        emit sansCompte.txtCommandeDureeSessionAuthentifiee()->textEdited("4x");
        QCOMPARE(sansCompte.Duree(), std::string("4"));
    }

    // Pictures of every page for a visual check: VELMORA_CAPTURES names the output folder,
    // VELMORA_CAPTURES_LANGUE an optional language file.
    void captures() {
        const QString dossier = qEnvironmentVariable("VELMORA_CAPTURES");
        if (dossier.isEmpty()) QSKIP("VELMORA_CAPTURES not set");
        const std::string langue = qEnvironmentVariable("VELMORA_CAPTURES_LANGUE").toStdString();
        Prog().fichierLangue = langue;
        Prog().langue = langue.empty() ? "Français" : "English";
        i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, langue);
        const QString suffixe = langue.empty() ? "fr" : "en";
        Etat().reglages.commandes = {{"Bureau à distance", -1, "xfreerdp /v:%ip%"},
                                     {"Explorer", 60, "xdg-open smb://%ip%/"}};
        std::vector<std::string> dossiersLangues;
        if (!langue.empty())
            dossiersLangues.push_back(
                QFileInfo(QString::fromStdString(langue)).absolutePath().toStdString());
        else
            dossiersLangues.push_back(m_langues.path().toStdString());
        frmConfiguration dialogue({"Machines", "Bureau", "+"}, nullptr, dossiersLangues);
        dialogue.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialogue));
        for (int n = 1; n <= 7; ++n) {
            dialogue.SelectionnerOnglet(n);
            QTest::qWait(50);
            QVERIFY(dialogue.grab().save(
                QString("%1/configuration_%2_%3.png").arg(dossier, suffixe).arg(n)));
        }
        frmConfigCommande commande;
        commande.DefinirCommande("Explorer", "xdg-open smb://%ip%/", true, "60");
        commande.show();
        QVERIFY(QTest::qWaitForWindowExposed(&commande));
        QVERIFY(commande.grab().save(QString("%1/commande_%2.png").arg(dossier, suffixe)));
        i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, "");
        Prog().fichierLangue.clear();
    }
};

QTEST_MAIN(TestConfiguration)
#include "test_configuration.moc"
