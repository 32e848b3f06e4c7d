// The machine and action dialogs: their checks in order, the focus on the refused field, the
// MAC address reformatting, the number boxes, the look-ups through a fake of the probes, and
// the Action request filled by the action dialog.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>
#include <mutex>
#include <vector>

#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "common/text/Commun.h"
#include "gui/dialogs/frmAPropos.h"
#include "gui/dialogs/frmAstuceDuJour.h"
#include "gui/dialogs/frmConfigAction.h"
#include "gui/dialogs/frmMachine.h"
#include "gui/dialogs/frmMsgbox.h"
#include "gui/widgets/Controles.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/Questions.h"
#include "tests/shared/FauxReseau.h"

using namespace velmora;
using namespace velmora::gui;

namespace {

// Answers every question with OK and keeps its text.
struct Questions {
    std::vector<std::string> textes;
    Questions() {
        DefinirRepondeur([this](const Question& q) {
            textes.push_back(q.texte);
            return Reponse{};
        });
    }
    ~Questions() { DefinirRepondeur(nullptr); }
};

using velmora::fakes::FauxReseau;

// The addresses given to the probe `appel` ("ping", "mac") of the fake network, in order.
std::vector<std::string> Sondees(const FauxReseau& reseau, const std::string& appel) {
    std::vector<std::string> adresses;
    for (const std::string& texte : reseau.Appels()) {
        if (texte.rfind(appel + " ", 0) == 0) adresses.push_back(texte.substr(appel.size() + 1));
    }
    return adresses;
}

Machine MachineValide() {
    Machine m;
    m.nom = "poste1";
    m.adresse = "127.0.0.1";
    m.adresseMAC = "00-1A-2B-3C-4D-5E";
    return m;
}

}  // namespace

class TestDialogues : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        Prog().fichierLangue.clear();
        i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, "");
    }

    void verificationMachineDansLOrdre() {
        using C = ChampMachine;
        struct Cas {
            const char* nom;
            std::function<void(Machine&)> modifier;
            std::optional<RefusMachine> attendu;
        };
        const std::vector<Cas> cas = {
            {"valide", [](Machine&) {}, std::nullopt},
            {"nom vide passe avant adresse vide",
             [](Machine& m) {
                 m.nom.clear();
                 m.adresse.clear();
             },
             RefusMachine{"MSG_ERREUR_MACHINE", C::Nom}},
            {"egal dans le nom", [](Machine& m) { m.nom = "a=b"; },
             RefusMachine{"MSG_ERREUR_CARACTERES_INTERDITS", C::Nom}},
            {"adresse vide",
             [](Machine& m) {
                 m.adresse.clear();
                 m.masque = "x";
             },
             RefusMachine{"MSG_ERREUR_OMISSION_ADRESSEIP", C::AdresseIP}},
            {"adresse interdite", [](Machine& m) { m.adresse = "pc[1]"; },
             RefusMachine{"MSG_ERREUR_CARACTERES_INTERDITS", C::AdresseIP}},
            {"adresse prise pour une option", [](Machine& m) { m.adresse = "-oProxyCommand"; },
             RefusMachine{"MSG_ERREUR_ADRESSE_INVALIDE", C::AdresseIP}},
            {"adresse avec espace", [](Machine& m) { m.adresse = "pc 1"; },
             RefusMachine{"MSG_ERREUR_ADRESSE_INVALIDE", C::AdresseIP}},
            {"adresse avec tabulation", [](Machine& m) { m.adresse = "pc\t1"; },
             RefusMachine{"MSG_ERREUR_ADRESSE_INVALIDE", C::AdresseIP}},
            {"nom NetBIOS ponctue", [](Machine& m) { m.adresse = "PC#1$(a)-b"; }, std::nullopt},
            {"masque avant port",
             [](Machine& m) {
                 m.masque = "255.255.256.0";
                 m.port = "x";
             },
             RefusMachine{"MSG_ERREUR_MASQUE", C::Masque}},
            {"port", [](Machine& m) { m.port = "65536"; },
             RefusMachine{"MSG_ERREUR_PORT", C::Port}},
            {"mac onze chiffres", [](Machine& m) { m.adresseMAC = "001A2B3C4D5"; },
             RefusMachine{"MSG_ERREUR_ADRESSEMAC", C::AdresseMAC}},
            {"mac vide", [](Machine& m) { m.adresseMAC.clear(); },
             RefusMachine{"MSG_ERREUR_ADRESSEMAC", C::AdresseMAC}},
            {"mac minuscules", [](Machine& m) { m.adresseMAC = "00:1a:2b:3c:4d:5e"; },
             std::nullopt},
            {"mot de passe sans login", [](Machine& m) { m.motDePasse = "x"; },
             RefusMachine{"MSG_ERREUR_LOGIN", C::Login}},
            {"login sans mot de passe", [](Machine& m) { m.login = "admin"; }, std::nullopt},
            {"barre dans le login",
             [](Machine& m) {
                 m.login = "a|b";
                 m.motDePasse = "x";
             },
             RefusMachine{"MSG_ERREUR_CARACTERES_INTERDITS", C::Login}},
            {"mot de passe hors Windows-1252",
             [](Machine& m) {
                 m.login = "a";
                 m.motDePasse = "Ω";
             },
             RefusMachine{kMsgMotDePasseCaracteres, C::MotDePasse}},
            {"commentaire libre", [](Machine& m) { m.commentaire = "|!*?[]="; }, std::nullopt},
        };
        for (const Cas& c : cas) {
            Machine m = MachineValide();
            c.modifier(m);
            QVERIFY2(VerificationMachine::Verifier(m) == c.attendu, c.nom);
        }
    }

    void reformatageEtZonesNumeriques() {
        QCOMPARE(VerificationMachine::ReformaterMAC("001A2B3C4D5E"), "00-1A-2B-3C-4D-5E");
        QCOMPARE(VerificationMachine::ReformaterMAC("001a2b3c4d5e"), "00-1a-2b-3c-4d-5e");
        QCOMPARE(VerificationMachine::ReformaterMAC("001A2B3C4D5"), "001A2B3C4D5");
        QCOMPARE(VerificationMachine::ReformaterMAC("001A2B3C4D5EF"), "001A2B3C4D5EF");
        QCOMPARE(VerificationMachine::ReformaterMAC("001A2B3C4D5G"), "001A2B3C4D5G");
        QCOMPARE(VerificationMachine::TexteNumerique(""), "");
        QCOMPARE(VerificationMachine::TexteNumerique("a"), "0");
        QCOMPARE(VerificationMachine::TexteNumerique("80a"), "80");
        QCOMPARE(VerificationMachine::TexteNumerique("007"), "7");
        QCOMPARE(VerificationMachine::TexteNumerique("-5"), "-5");
        QCOMPARE(VerificationMachine::TexteNumerique("1.5"), "1.5");
        QCOMPARE(VerificationMachine::TexteNumerique("1.0"), "1");
    }

    void dialogueMachineRefuseEtDonneLeFocus() {
        Questions questions;
        frmMachine dlg(nullptr, std::make_shared<FauxReseau>());
        dlg.show();
        dlg.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        QVERIFY(Etat().annulation);
        Machine m = MachineValide();
        m.port = "70000";
        dlg.DefinirMachine(m);
        QVERIFY(!dlg.Valider());
        QCOMPARE(questions.textes.back(), i18n::Tr("MSG_ERREUR_PORT"));
        QCOMPARE(dlg.focusWidget(), dlg.Zone(ChampMachine::Port));
        QVERIFY(dlg.isVisible());
        QVERIFY(Etat().annulation);

        // Typing in the port box keeps the leading number only.
        QLineEdit* port = dlg.Zone(ChampMachine::Port);
        port->clear();
        QTest::keyClicks(port, "8a");
        QCOMPARE(port->text(), QString("8"));

        // Twelve digits typed are reformatted on leaving the box, case kept, then accepted.
        QLineEdit* mac = dlg.Zone(ChampMachine::AdresseMAC);
        mac->setFocus();
        mac->clear();
        QTest::keyClicks(mac, "001a2b3c4d5e");
        QTest::keyClick(mac, Qt::Key_Tab);
        QCOMPARE(mac->text(), QString("00-1a-2b-3c-4d-5e"));
        dlg.Zone(ChampMachine::Login)->setText("admin");
        dlg.Zone(ChampMachine::MotDePasse)->setText("secret");
        QVERIFY(dlg.Valider());
        QVERIFY(!Etat().annulation);
        QVERIFY(!dlg.isVisible());
        const Machine lue = dlg.LireMachine();
        QCOMPARE(lue.port, std::string("8"));
        QCOMPARE(DecoderMotDePasse(lue.motDePasse), std::string("secret"));
    }

    void rechercheMACUtiliseLAdresseQuiARepondu() {
        Questions questions;
        auto reseau = std::make_shared<FauxReseau>();
        frmMachine dlg(nullptr, reseau);
        dlg.Zone(ChampMachine::AdresseIP)->setText("poste-du-bureau");
        reseau->reponses = {{"poste-du-bureau", "127.0.0.5"}, {"127.000.000.009", "127.0.0.5"}};
        reseau->macParDefaut = "aa:bb:cc:dd:ee:ff";
        dlg.ChercherAdresseMAC();
        QCOMPARE(Sondees(*reseau, "mac"), std::vector<std::string>{"127.0.0.5"});
        // Written as found, not reformatted; the address box keeps the name.
        QCOMPARE(dlg.Zone(ChampMachine::AdresseMAC)->text(), QString("aa:bb:cc:dd:ee:ff"));
        QCOMPARE(dlg.Zone(ChampMachine::AdresseIP)->text(), QString("poste-du-bureau"));
        QVERIFY(dlg.isEnabled());

        // A dotted address is probed as typed (normalised), an empty MAC answer is told.
        dlg.Zone(ChampMachine::AdresseIP)->setText("127.000.000.009");
        reseau->macParDefaut.clear();
        dlg.ChercherAdresseMAC();
        QCOMPARE(Sondees(*reseau, "mac").back(), std::string("127.0.0.9"));
        QCOMPARE(questions.textes.back(), MajusculeInitiale(i18n::Tr("TXT_MAC_IMPOSSIBLE")));
        QCOMPARE(dlg.Zone(ChampMachine::AdresseMAC)->text(), QString("aa:bb:cc:dd:ee:ff"));

        // No answer: capitalised message, nothing changed.
        reseau->reponses.clear();
        dlg.Zone(ChampMachine::Nom)->setText("poste1");
        dlg.ChercherAdresseIP();
        QCOMPARE(questions.textes.back(), MajusculeInitiale(i18n::Tr("TXT_NE_REPOND_PAS")));
        QCOMPARE(dlg.Zone(ChampMachine::AdresseIP)->text(), QString("127.000.000.009"));
        reseau->reponses = {{"poste1", "127.0.0.7"}};
        dlg.ChercherAdresseIP();
        QCOMPARE(dlg.Zone(ChampMachine::AdresseIP)->text(), QString("127.0.0.7"));

        // An empty name is refused before any probe.
        const size_t pings = Sondees(*reseau, "ping").size();
        dlg.Zone(ChampMachine::Nom)->clear();
        dlg.ChercherAdresseIP();
        QCOMPARE(Sondees(*reseau, "ping").size(), pings);
        QCOMPARE(questions.textes.back(), i18n::Tr("MSG_ERREUR_MACHINE"));
    }

    void verificationAction() {
        using R = RefusAction;
        QCOMPARE(VerificationAction::Verifier(-1, true, "60"),
                 (std::optional<R>{R{"MSG_ERREUR_OMISSION_ACTION", R::Champ::Action}}));
        const std::optional<R> delai = R{"MSG_ERREUR_DELAI", R::Champ::Delai};
        QCOMPARE(VerificationAction::Verifier(0, true, "0"), std::optional<R>{});
        QCOMPARE(VerificationAction::Verifier(1, true, "32767"), std::optional<R>{});
        QCOMPARE(VerificationAction::Verifier(1, true, "32768"), delai);
        QCOMPARE(VerificationAction::Verifier(1, true, "99999"), delai);
        QCOMPARE(VerificationAction::Verifier(0, true, "-5"), delai);
        QCOMPARE(VerificationAction::Verifier(0, true, "1.5"), delai);
        QCOMPARE(VerificationAction::Verifier(0, true, ""), delai);
        QCOMPARE(VerificationAction::Verifier(5, false, "abc"), std::optional<R>{});
        QCOMPARE(VerificationAction::PositionDuCode(ActionEteindreWMI), 7);
        QCOMPARE(VerificationAction::PositionDuCode(ActionReveiller), -1);
    }

    void dialogueActionSansPreselection() {
        Questions questions;
        Prog().reglages.delaiAvantRedemarrage = 45;
        Prog().reglages.messageParDefaut = "Au revoir";
        Prog().reglages.forcerParDefaut = true;
        Etat().action.code = ActionAucune;
        frmConfigAction dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto* cbo = dlg.findChild<QComboBox*>("cboAction");
        auto* delai = dlg.findChild<QLineEdit*>("txtDélai");
        QVERIFY(cbo && delai);
        QCOMPARE(cbo->count(), 8);
        QCOMPARE(cbo->currentIndex(), -1);
        QVERIFY(!cbo->itemText(0).contains('&'));
        QCOMPARE(delai->text(), QString("45"));
        QVERIFY(Etat().annulation);

        QVERIFY(!dlg.Valider());
        QCOMPARE(questions.textes.back(), i18n::Tr("MSG_ERREUR_OMISSION_ACTION"));
        QCOMPARE(dlg.focusWidget(), cbo);

        cbo->setCurrentIndex(1);
        emit cbo->activated(1);
        delai->setText("40000");
        QVERIFY(!dlg.Valider());
        QCOMPARE(questions.textes.back(), i18n::Tr("MSG_ERREUR_DELAI"));
        QCOMPARE(dlg.focusWidget(), delai);
        delai->setText("");
        QCOMPARE(delai->text(), QString("0"));  // an emptied box shows 0
        delai->setText("12x");
        QCOMPARE(delai->text(), QString("12"));
        QVERIFY(dlg.Valider());
        QVERIFY(!Etat().annulation);
        QCOMPARE(Etat().action.code, int32_t(ActionEteindre));
        QCOMPARE(Etat().action.delai, int16_t(12));
        QCOMPARE(Etat().action.message, std::string("Au revoir"));
        QVERIFY(Etat().action.forcer);
    }

    void dialogueActionWMIEtSystemeNonNT() {
        Questions questions;
        Etat().action.code = ActionRedemarrer;
        frmConfigAction dlg;
        auto* cbo = dlg.findChild<QComboBox*>("cboAction");
        auto* delai = dlg.findChild<QLineEdit*>("txtDélai");
        auto* forcer = dlg.findChild<QCheckBox*>("chkForcer");
        QCOMPARE(cbo->currentIndex(), 0);
        QVERIFY(delai->isEnabled());

        // A WMI action turns the delay off: a refused delay no longer matters.
        delai->setText("-5");
        cbo->setCurrentIndex(5);
        emit cbo->activated(5);
        QVERIFY(!delai->isEnabled() && !forcer->isEnabled());
        QVERIFY(dlg.Valider());
        QCOMPARE(Etat().action.code, int32_t(ActionRedemarrerWMI));
        QVERIFY(questions.textes.empty());

        frmConfigAction autre;
        autre.DefinirEstNT(false);
        auto* liste = autre.findChild<QComboBox*>("cboAction");
        liste->setCurrentIndex(3);
        emit liste->activated(3);
        QCOMPARE(questions.textes.back(), i18n::Tr("MSG_FONTIONNALITE_RESERVEE_NT"));
        QCOMPARE(liste->currentIndex(), -1);
        QVERIFY(autre.findChild<QLineEdit*>("txtDélai")->isEnabled());
    }

    // With VELMORA_CAPTURES set to a folder, saves pictures of the dialogs there (for looking at
    // the layout); otherwise does nothing.
    void captures() {
        const QString dossier = qEnvironmentVariable("VELMORA_CAPTURES");
        if (dossier.isEmpty()) QSKIP("VELMORA_CAPTURES not set");
        Etat().action.code = ActionRedemarrer;
        frmConfigAction action;
        action.show();
        QVERIFY(QTest::qWaitForWindowExposed(&action));
        QVERIFY(action.grab().save(dossier + "/frmConfigAction.png"));
        frmMachine machine(nullptr, std::make_shared<FauxReseau>());
        Machine m = MachineValide();
        m.masque = "255.255.255.0";
        m.port = "9";
        m.login = "admin";
        m.motDePasse = *CoderMotDePasse("secret");
        m.commentaire = "Bureau du premier étage";
        machine.DefinirMachine(m);
        machine.show();
        QVERIFY(QTest::qWaitForWindowExposed(&machine));
        QVERIFY(machine.grab().save(dossier + "/frmMachine.png"));
        frmMsgbox boite;
        boite.Preparer(i18n::Tr("MSG_ERREUR_MASQUE"), 48 + 1, "Velmora", true);
        boite.show();
        QVERIFY(QTest::qWaitForWindowExposed(&boite));
        QVERIFY(boite.grab().save(dossier + "/frmMsgbox.png"));
        ReglagesFenetre reglages;
        frmAstuceDuJour astuce(nullptr, reglages);
        astuce.show();
        QVERIFY(QTest::qWaitForWindowExposed(&astuce));
        QVERIFY(astuce.grab().save(dossier + "/frmAstuceDuJour.png"));
        frmAPropos apropos;
        apropos.show();
        QVERIFY(QTest::qWaitForWindowExposed(&apropos));
        QVERIFY(apropos.grab().save(dossier + "/frmAPropos.png"));
        // The machine dialog in English.
        const std::string anglais = VELMORA_SOURCE_DIR "/lang/English.lng";
        Prog().fichierLangue = anglais;
        i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, anglais);
        frmMachine english(nullptr, std::make_shared<FauxReseau>());
        english.DefinirMachine(m);
        english.show();
        QVERIFY(QTest::qWaitForWindowExposed(&english));
        QVERIFY(english.grab().save(dossier + "/frmMachine-en.png"));
        Prog().fichierLangue.clear();
        i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, "");
    }

    void requeteParDefautBorneLeDelai() {
        Prog().reglages.delaiAvantRedemarrage = 100000;
        QCOMPARE(VerificationAction::RequeteParDefaut(ActionRedemarrer).delai, int16_t(32767));
        {
            frmConfigAction dlg;  // not cut to "10000" by the five-character box
            QCOMPARE(dlg.findChild<QLineEdit*>("txtDélai")->text(), QString("32767"));
        }
        Prog().reglages.delaiAvantRedemarrage = -3;
        QCOMPARE(VerificationAction::RequeteParDefaut(ActionRedemarrer).delai, int16_t(0));
        Prog().reglages.delaiAvantRedemarrage = 60;
    }
};

QTEST_MAIN(TestDialogues)
#include "test_dialogues.moc"
