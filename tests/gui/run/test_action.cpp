// The action run driven without widgets: a fake list of rows, a fake progress window and fake
// network operations.
#include <sys/stat.h>
#include <QApplication>
#include <QCheckBox>
#include <QTimer>
#include <QtTest>

#include <fstream>

#include "common/config/IniFile.h"
#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "common/net/Outil.h"
#include "common/platform/Outil.h"
#include "common/text/Commun.h"
#include "gui/run/ActionRun.h"
#include "gui/widgets/Etat.h"
#include "test_listeAide.h"

using namespace velmora;
using namespace velmora::gui;
using velmora::gui::test::FauxReseau;
using velmora::gui::test::Repondeur;

namespace {

struct FauxJournal : JournalAction {
    std::vector<std::string>* lignes;
    std::string* titre;
    bool* ferme;
    bool* termine;
    void Afficher() override {}
    void Ajouter(const std::string& ligne) override { lignes->push_back(ligne); }
    void Terminer(const std::string& t, bool fermer) override {
        *titre = t;
        *termine = true;
        *ferme = fermer;
    }
};

struct FausseCible : CibleAction {
    std::vector<Machine> machines;
    std::vector<bool> selection;
    std::vector<std::string> icones;
    std::vector<int> attentes;  // -1 not pending, else the delay
    std::vector<std::string> lignes;
    std::string titre;
    bool ferme = false;
    bool journalCree = false;
    std::string info;
    bool effacerInfo = false;          // the 3 s clearing of the information text was started...
    bool effacerAvantJournal = false;  // ...before the progress window was shown modally
    bool journalTermine = false;
    bool actualise = false;

    void Ajouter(const std::string& nom, const std::string& adresse, bool choisie = true) {
        Machine m;
        m.nom = nom;
        m.adresse = adresse;
        machines.push_back(m);
        selection.push_back(choisie);
        icones.push_back("Gris");
        attentes.push_back(-1);
    }
    QWidget* Fenetre() override { return nullptr; }
    int NombreLignes() const override { return static_cast<int>(machines.size()); }
    bool EstSelectionnee(int i) const override { return selection[i]; }
    int NombreSelectionnees() const override {
        return static_cast<int>(std::count(selection.begin(), selection.end(), true));
    }
    Machine LireMachine(int i) const override { return machines[i]; }
    void DefinirIcone(int i, const std::string& cle) override { icones[i] = cle; }
    void DebutAttente(int i, int delai) override { attentes[i] = delai; }
    void FinAttente(int i) override {
        attentes[i] = -1;
        icones[i] = "Vert";
    }
    void AfficherInfo(const std::string& texte) override { info = texte; }
    void DebutTraitement() override {}
    void Sablier(bool) override {}
    void DemarrerEffacementInfo() override {
        effacerInfo = true;
        effacerAvantJournal = !journalTermine;
    }
    void FinTraitement(bool effacer, bool actualiser) override {
        effacerInfo = effacerInfo || effacer;
        actualise = actualiser;
    }
    std::unique_ptr<JournalAction> CreerJournal() override {
        journalCree = true;
        auto journal = std::make_unique<FauxJournal>();
        journal->lignes = &lignes;
        journal->titre = &titre;
        journal->ferme = &ferme;
        journal->termine = &journalTermine;
        return journal;
    }
};

}  // namespace

class TestAction : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, "");
        QVERIFY(m_dossier.isValid());
        Prog().fichierConfig = m_dossier.filePath("Velmora.ini").toStdString();
    }
    void init() {
        Etat() = EtatFenetre{};
        Etat().reglages.confirmation = false;
        Prog().reglages = ReglagesDemarrage{};
        Prog().reglages.delaiEntreDeuxReveilsWOL = 0;
        Prog().reglages.delaiEntreDeuxReveilsWOW = 0;
    }

    // Three rows restarted, the second silent: the run stops after it unless NePasStopper.
    void arretSuiteErreurContreNePasStopper_data() {
        QTest::addColumn<bool>("nePasStopper");
        QTest::newRow("stop") << false;
        QTest::newRow("continue") << true;
    }
    void arretSuiteErreurContreNePasStopper() {
        QFETCH(bool, nePasStopper);
        Etat().reglages.nePasStopper = nePasStopper;
        Etat().action = RequeteAction{ActionRedemarrer, 30, "", false};
        FausseCible cible;
        cible.Ajouter("pc1", "10.0.0.1");
        cible.Ajouter("pc2", "10.0.0.02");
        cible.Ajouter("pc3", "10.0.0.3");
        FauxReseau reseau;
        reseau.tousRepondent = true;
        reseau.silencieux = {"10.0.0.2"};
        const BilanAction bilan = ExecutionAction(cible, reseau).Executer();

        QVERIFY(bilan.journal);
        // The address is normalised before it is used and logged.
        QCOMPARE(cible.lignes.at(2), i18n::Tr("TXT_DEMANDE", {"10.0.0.2"}) + " : pc2");
        QCOMPARE(cible.lignes.at(3), "   -> " + i18n::Tr("TXT_NE_REPOND_PAS"));
        QCOMPARE(cible.attentes[0], 30);
        QCOMPARE(cible.attentes[1], -1);
        const std::vector<std::string> appels = reseau.Appels();
        const bool troisiemeTraite = std::find(appels.begin(), appels.end(),
                                               "redemarrer 10.0.0.3 30 [] - :") != appels.end();
        QCOMPARE(troisiemeTraite, nePasStopper);
        QCOMPARE(cible.titre, i18n::Tr(nePasStopper ? "TXT_TRAITEMENT_TERMINE_AVEC_ERREUR"
                                                    : "TXT_TRAITEMENT_ARRETE_SUITE_ERREUR"));
        QCOMPARE(cible.lignes.at(cible.lignes.size() - 2), cible.titre + ".");
        QVERIFY(!cible.ferme);
        QVERIFY(cible.actualise);  // a delayed restart created pending rows
    }

    // One machine without the progress window: the failure is a message box with the reason's
    // first letter in upper case, and the run ends.
    void uneMachineSansJournal() {
        Etat().action = RequeteAction{ActionEteindre, 0, "", false};
        FausseCible cible;
        cible.Ajouter("compta", "192.168.0.12");
        FauxReseau reseau;
        reseau.tousRepondent = true;
        reseau.silencieux = {"192.168.0.12"};
        Repondeur repondeur;
        const BilanAction bilan = ExecutionAction(cible, reseau).Executer();
        QVERIFY(!bilan.journal);
        QVERIFY(!cible.journalCree);
        QCOMPARE(repondeur.questions.size(), size_t(1));
        QCOMPARE(repondeur.questions[0].style & 16, 16);
        QCOMPARE(repondeur.questions[0].texte,
                 i18n::Tr("MSG_ERREUR_ACTION",
                          {"compta", MajusculeInitiale(i18n::Tr("TXT_NE_REPOND_PAS"))}));
        QVERIFY(!cible.actualise);  // delay 0: no pending row is left to refresh
    }

    // The pause line comes only between machines, and a stop during the pause ends the run at
    // once, never closing the window by itself.
    void pauseEntreMachinesEtArret() {
        Prog().reglages.delaiEntreDeuxReveilsWOL = 40;
        Etat().action.code = ActionReveiller;
        FausseCible cible;
        cible.Ajouter("a", "10.0.0.1");
        cible.Ajouter("b", "10.0.0.2");
        FauxReseau reseau;
        reseau.tousRepondent = true;
        ExecutionAction(cible, reseau).Executer();
        const std::string attente = i18n::Tr("TXT_ATTENTE", {"40"});
        QCOMPARE(std::count(cible.lignes.begin(), cible.lignes.end(), attente), 1);
        const auto position = std::find(cible.lignes.begin(), cible.lignes.end(), attente);
        QVERIFY(position != cible.lignes.begin());
        QCOMPARE(*(position + 1), i18n::Tr("TXT_DEMANDE", {"10.0.0.2"}) + " : b");
        QVERIFY(cible.effacerInfo);
        QVERIFY(cible.effacerAvantJournal);
        QCOMPARE(cible.info, i18n::Tr("TXT_PAQUET_ENVOYE", {"10.0.0.2", "9"}));

        Prog().reglages.delaiEntreDeuxReveilsWOL = 20000;
        reseau.pausesReelles = true;
        Etat().reglages.fenetreTraitementFermer = true;
        FausseCible arretee;
        arretee.Ajouter("a", "10.0.0.1");
        arretee.Ajouter("b", "10.0.0.2");
        QTimer::singleShot(50, [] { Etat().annulation = true; });
        QElapsedTimer horloge;
        horloge.start();
        const BilanAction bilan = ExecutionAction(arretee, reseau).Executer();
        QVERIFY(horloge.elapsed() < 5000);
        QVERIFY(bilan.arrete);
        QCOMPARE(arretee.titre, i18n::Tr("TXT_TRAITEMENT_ARRETE"));
        QVERIFY(!arretee.ferme);
    }

    // The stop button cuts a remote call in progress (here a WMI helper that would wait 30 s):
    // the run's tool wait hook sees the stop request, and the log gives the reason (1223).
    void arretCoupeUnAppelDistant() {
        QTemporaryDir dossier;
        const std::string assistant = dossier.filePath("lent").toStdString();
        {
            std::ofstream f(assistant);
            f << "sleep 30\n";
        }
        ::chmod(assistant.c_str(), 0700);
        net::DefinirCheminOutil("velmora-wmi", assistant);
        net::DefinirCheminOutil("/usr/bin/python3", "/bin/sh");
        Etat().action = RequeteAction{ActionRedemarrerWMI, 0, "", false};
        Prog().reglages.authentificationMode = 1;  // the configured account
        Prog().reglages.authentificationLogin = "u";
        Prog().reglages.authentificationPassword = "p";
        FausseCible cible;
        cible.Ajouter("pc1", "127.0.0.1");
        cible.Ajouter("pc2", "127.0.0.2");
        // Pings answer from the table; the WMI call and the stop hook are the real ones.
        struct WMIReelle : FauxReseau {
            bool ActionWMI(const std::string& a, long long c, const std::string& l,
                           const std::string& p, std::string& e) override {
                return net::OperationsReelles()->ActionWMI(a, c, l, p, e);
            }
            void DefinirArret(std::function<bool()> arreter) override {
                net::OperationsReelles()->DefinirArret(std::move(arreter));
            }
        } operations;
        operations.tousRepondent = true;
        QTimer::singleShot(300, [] { Etat().annulation = true; });
        QElapsedTimer horloge;
        horloge.start();
        const BilanAction bilan = ExecutionAction(cible, operations).Executer();
        const qint64 duree = horloge.elapsed();
        net::DefinirCheminOutil("velmora-wmi", "");
        net::DefinirCheminOutil("/usr/bin/python3", "");
        QVERIFY2(duree < 3000, std::to_string(duree).c_str());
        QVERIFY(bilan.arrete);
        const bool raison = std::any_of(cible.lignes.begin(), cible.lignes.end(), [](auto& l) {
            return l.find("(err=1223)") != std::string::npos;
        });
        QVERIFY(raison);
        QVERIFY(!platform::AttenteOutilsCourante());  // the hook ends with the run
    }

    void fermetureAutomatique() {
        Etat().reglages.fenetreTraitementFermer = true;
        Etat().action = RequeteAction{ActionVerrouiller, 0, "", false};
        FausseCible cible;
        cible.Ajouter("a", "10.0.0.1");
        cible.Ajouter("b", "10.0.0.2");
        cible.Ajouter("c", "10.0.0.3", false);
        FauxReseau reseau;
        reseau.tousRepondent = true;
        ExecutionAction(cible, reseau).Executer();
        QVERIFY(cible.ferme);
        QCOMPARE(cible.titre, i18n::Tr("TXT_TRAITEMENT_TERMINE"));
        const std::vector<std::string> appels = reseau.Appels();
        QCOMPARE(std::count(appels.begin(), appels.end(), "wmi 5 10.0.0.3 :"), 0);
    }

    void confirmation() {
        Etat().reglages.confirmation = true;
        Etat().reglages.confirmationSiPlusieurs = true;
        Etat().action.code = ActionEteindre;
        FauxReseau reseau;
        reseau.tousRepondent = true;
        FausseCible seule;
        seule.Ajouter("a", "10.0.0.1");
        Repondeur repondeur;
        QCOMPARE(ExecutionAction(seule, reseau).ConfirmerAction(), 1);
        QVERIFY(repondeur.questions.empty());

        FausseCible deux;
        deux.Ajouter("a", "10.0.0.1");
        deux.Ajouter("b", "10.0.0.2");
        repondeur.reponses.push_back(Reponse{2, ""});
        const BilanAction bilan = ExecutionAction(deux, reseau).Executer();
        QVERIFY(!bilan.execute);
        QVERIFY(reseau.Appels().empty());
        QCOMPARE(repondeur.questions.size(), size_t(1));
        QCOMPARE(repondeur.questions[0].texte,
                 i18n::Tr("MSG_AGIR", {i18n::Tr("TXT_D_ETEINDRE"), "2"}));
        QCOMPARE(repondeur.questions[0].style, 1 + 32 + 256);  // OK/Cancel, Cancel default

        // Wakes and the cancel are never confirmed.
        Etat().action.code = ActionAnnuler;
        QVERIFY(ExecutionAction(deux, reseau).Executer().execute);
        QCOMPARE(repondeur.questions.size(), size_t(1));
        QCOMPARE(deux.icones[0], std::string("Vert"));
    }

    // Wake via Internet of private addresses: the do-not-ask-again box is written at once even
    // when Cancel is pressed, and the next private address is sent without a question.
    void adressePriveeNePlusDemander() {
        Etat().action.code = ActionReveillerViaInternet;
        EcrireIni(Prog().fichierConfig, cle::Config, cle::WOWSansConfirmation, "0");
        FausseCible cible;
        cible.Ajouter("a", "192.168.1.10");
        cible.Ajouter("b", "192.168.1.11");
        FauxReseau reseau;
        reseau.tousRepondent = true;
        Repondeur repondeur;
        repondeur.reponses.push_back(Reponse{-2, ""});
        ExecutionAction(cible, reseau).Executer();
        QCOMPARE(repondeur.questions.size(), size_t(1));
        QVERIFY(repondeur.questions[0].nePlusAfficher);
        QCOMPARE(repondeur.questions[0].style, 48 + 1 + 256);  // OK/Cancel, Cancel default
        QCOMPARE(LireIni(Prog().fichierConfig, cle::Config, cle::WOWSansConfirmation, ""),
                 std::string("-1"));
        QCOMPARE(reseau.Appels(), std::vector<std::string>{"internet 192.168.1.11 9 "});
        QCOMPARE(cible.lignes.at(1),
                 "   -> " + i18n::Tr("TXT_DEMANDE_REVEIL_VIA_INTERNET_ABANDONNE"));
        QVERIFY(cible.lignes.at(1).size() > 6);  // a declined wake says so
        const std::string premiere =
            ExtraireChamp(i18n::Tr("MSG_ERREUR_REVEIL_VIA_INTERNET_IP_PRIVEE"), "\n", 0);
        QVERIFY(std::find(cible.lignes.begin(), cible.lignes.end(), premiere) !=
                cible.lignes.end());
    }

    // The real question box, ticked and closed: nothing is sent for that machine, the tick is
    // written, and the run goes on with the next one.
    void adressePriveeBoiteFermee() {
        Etat().action.code = ActionReveillerViaInternet;
        Prog().reglages.wowSansConfirmation = false;
        EcrireIni(Prog().fichierConfig, cle::Config, cle::WOWSansConfirmation, "0");
        FausseCible cible;
        cible.Ajouter("a", "192.168.1.10");
        cible.Ajouter("b", "192.168.1.11");
        FauxReseau reseau;
        QTimer fermeture;
        QObject::connect(&fermeture, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (w->objectName() != "frmMsgbox" || !w->isVisible()) continue;
                w->findChild<QCheckBox*>("chkNePlusAfficher")->setChecked(true);
                w->close();
            }
        });
        fermeture.start(10);
        ExecutionAction(cible, reseau).Executer();
        fermeture.stop();
        const std::vector<std::string> appels = reseau.Appels();
        QCOMPARE(appels.size(), size_t(1));
        QVERIFY(appels[0].rfind("internet 192.168.1.11 ", 0) == 0);
        QCOMPARE(LireIni(Prog().fichierConfig, cle::Config, cle::WOWSansConfirmation, ""),
                 std::string("-1"));
    }

    // A refused wake via Internet logs the service's answer after the fixed message.
    void reveilInternetRefuseMontreLaReponse() {
        Etat().action.code = ActionReveillerViaInternet;
        FausseCible cible;
        cible.Ajouter("a", "203.0.113.5");
        cible.Ajouter("b", "203.0.113.6");
        FauxReseau reseau;
        reseau.refus = {{"203.0.113.5", ""}};
        ExecutionAction(cible, reseau).Executer();
        const std::string attendu =
            "   -> " + i18n::Tr("MSG_ERREUR_REVEIL_VIA_INTERNET_COURT") + " : OK 203.0.113.5";
        QVERIFY(std::find(cible.lignes.begin(), cible.lignes.end(), attendu) != cible.lignes.end());
        QVERIFY(std::find(cible.lignes.begin(), cible.lignes.end(), "   -> OK 203.0.113.6") !=
                cible.lignes.end());
    }

    // The error box of a failed wake via Internet: the service's answer when one came, the
    // advice about Internet access, firewall and proxy only when none did.
    void reveilInternetBoiteSelonLaReponse() {
        Etat().action.code = ActionReveillerViaInternet;
        Etat().reglages.fenetreTraitementMultiselection = true;  // one row: no journal
        for (const std::string& service : {std::string("404 Not Found"), std::string()}) {
            FausseCible cible;
            cible.Ajouter("a", "203.0.113.5");
            FauxReseau reseau;
            reseau.reponsesReveil = {{"203.0.113.5", service}};
            Repondeur repondeur;
            ExecutionAction(cible, reseau).Executer();
            QCOMPARE(repondeur.questions.size(), size_t(1));
            const std::string attendu =
                service.empty()
                    ? i18n::Tr("MSG_ERREUR_REVEIL_VIA_INTERNET_LONG")
                    : i18n::Tr("MSG_ERREUR_REVEIL_VIA_INTERNET_REFUS") + "\n\n" + service;
            QCOMPARE(repondeur.questions[0].texte, attendu);
        }
    }

    void menuActions() {
        const std::vector<std::string> commandes = {"Outils\\Bureau", "Outils\\Explorer", "Ping",
                                                    "Autres\\X"};
        auto menu = ConstruireMenuActions(SourceMenu::Liste, false, false, true, 60, commandes);
        QCOMPARE(menu[0].id, int(ActionReveiller));
        QCOMPARE(menu[3].libelle,
                 i18n::Tr("TXT_REDEMARRER") + " (" + i18n::Tr("TXT_DELAI") + " : 60 s.)");
        const auto annuler =
            std::find_if(menu.begin(), menu.end(), [](const EntreeMenu& e) { return e.id == 11; });
        QVERIFY(annuler->grise);
        QCOMPARE(menu.size(), size_t(3 + 8 + 2 + 2 + 3));
        const EntreeMenu& outils = menu[menu.size() - 3];
        QCOMPARE(outils.libelle, std::string("Outils"));
        QCOMPARE(outils.sousMenu.size(), size_t(2));
        QCOMPARE(outils.sousMenu[1].id, 102);
        QCOMPARE(outils.sousMenu[1].libelle, std::string("Explorer"));
        QCOMPARE(menu[menu.size() - 2].id, 103);
        QCOMPARE(menu.back().sousMenu.at(0).id, 104);

        auto reveil =
            ConstruireMenuActions(SourceMenu::BoutonReveiller, false, false, false, 60, commandes);
        QCOMPARE(reveil.size(), size_t(1));
        QCOMPARE(reveil[0].id, int(ActionReveillerViaInternet));
        auto agir =
            ConstruireMenuActions(SourceMenu::BoutonAgir, false, true, false, 0, commandes, false);
        QCOMPARE(agir.size(), size_t(4));  // no WMI items outside NT, no custom commands
        QCOMPARE(agir[0].libelle, i18n::Tr("TXT_REDEMARRER") + "...");
        QVERIFY(!agir.back().grise);  // Shift forces the cancel item
    }

  private:
    QTemporaryDir m_dossier;
};

QTEST_MAIN(TestAction)
#include "test_action.moc"
