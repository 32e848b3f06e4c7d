// Custom commands: the command line built from a row, its split, the start without a shell (a
// stand-in program records the exact arguments it received), and the session list.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>

#include "common/i18n/Traduction.h"
#include "gui/run/CommandesPersonnalisees.h"
#include "gui/widgets/Etat.h"
#include "gui/widgets/Questions.h"

using namespace velmora;
using namespace velmora::gui;

namespace {

struct FauxLanceur : Lanceur {
    std::vector<std::pair<std::string, std::vector<std::string>>> appels;
    std::vector<int> codes;  // answer of each call in turn; 42 when exhausted
    int Ouvrir(const std::string& programme, const std::vector<std::string>& args) override {
        appels.emplace_back(programme, args);
        const size_t n = appels.size() - 1;
        return n < codes.size() ? codes[n] : 42;
    }
};

struct FaussesSessions : SessionsDistantes {
    std::vector<std::string> journal;
    void Connecter(const std::string& a, const std::string& l, const std::string& p) override {
        journal.push_back("+" + a + " " + l + " " + p);
    }
    void Deconnecter(const std::string& a) override { journal.push_back("-" + a); }
};

ValeursMachine Ligne(const std::string& nom, const std::string& adresse) {
    ValeursMachine v;
    v.nom = nom;
    v.adresse = adresse;
    return v;
}

const char* SansEnvironnement(const char*) { return nullptr; }

}  // namespace

class TestCommandes : public QObject {
    Q_OBJECT
    std::vector<std::string> m_messages;

  private slots:
    void initTestCase() {
        i18n::ChargerTraductions(i18n::ListeTextes::Fenetre, "");
        DefinirRepondeur([this](const Question& q) {
            m_messages.push_back(q.texte);
            return Reponse{1, ""};
        });
    }
    void init() {
        m_messages.clear();
        Etat() = EtatFenetre{};
    }

    void placeholdersAreFilledInOrderAndSplit() {
        ValeursMachine m = Ligne("pc1", "010.000.000.005");
        auto c = ConstruireCommande("mstsc -v %ip%", m, "Bureau", SansEnvironnement);
        QCOMPARE(c.etat, CommandeConstruite::Etat::Ok);
        QCOMPARE(c.programme, std::string("mstsc"));
        QCOMPARE(c.parametres, std::string("-v 10.0.0.5"));
        QCOMPARE(c.arguments, (std::vector<std::string>{"-v", "10.0.0.5"}));

        m.mac = "00-11-22-33-44-55";
        m.commentaire = "salle 2";
        m.login = "admin";
        m.motDePasse = "s3cret";
        c = ConstruireCommande("tool %HOST% %Mac% %comm% %login% %password% %dossier%", m, "Bureau",
                               SansEnvironnement);
        QCOMPARE(c.arguments, (std::vector<std::string>{"pc1", "00-11-22-33-44-55", "salle 2",
                                                        "admin", "s3cret", "Bureau"}));
        // A value is never searched again for placeholders or variables.
        m.nom = "%mac%%PATH%";
        c = ConstruireCommande("tool %host%", m, "", [](const char*) { return "X"; });
        QCOMPARE(c.arguments, (std::vector<std::string>{"%mac%%PATH%"}));
    }

    void environmentVariablesOfTheLineAreExpanded() {
        auto env = [](const char* nom) -> const char* {
            return std::string(nom) == "OUTILS" ? "/opt/outils" : nullptr;
        };
        auto c = ConstruireCommande("%OUTILS%/rdp %INCONNU% 50%", Ligne("a", "1.2.3.4"), "", env);
        QCOMPARE(c.programme, std::string("/opt/outils/rdp"));
        QCOMPARE(c.arguments, (std::vector<std::string>{"%INCONNU%", "50%"}));
    }

    void quotedProgramAndItsErrors() {
        auto c = ConstruireCommande("  \"/opt/mon outil/run\"   -x \"a b\" %host%  ",
                                    Ligne("pc", "h"), "", SansEnvironnement);
        QCOMPARE(c.programme, std::string("/opt/mon outil/run"));
        QCOMPARE(c.arguments, (std::vector<std::string>{"-x", "a b", "pc"}));

        c = ConstruireCommande("\"/opt/mon outil/run -x", Ligne("pc", "h"), "", SansEnvironnement);
        QCOMPARE(c.etat, CommandeConstruite::Etat::GuillemetFermantAbsent);
        // Only empty placeholders: nothing to run, even surrounded by spaces.
        c = ConstruireCommande(" %comm% %login% ", Ligne("pc", "h"), "", SansEnvironnement);
        QCOMPARE(c.etat, CommandeConstruite::Etat::ProgrammeVide);
        // An empty unquoted value disappears, as it would in a shell; a quoted one stays.
        c = ConstruireCommande("%comm% prog %login% \"%login%\" x", Ligne("pc", "h"), "",
                               SansEnvironnement);
        QCOMPARE(c.programme, std::string("prog"));
        QCOMPARE(c.arguments, (std::vector<std::string>{"", "x"}));
    }

    void aSyntaxErrorStopsTheWholeRunWithOneMessage() {
        FauxLanceur lanceur;
        ContexteCommande ctx;
        ctx.lanceur = &lanceur;
        CommandePersonnalisee cmd{"Bad", -1, "\"prog %ip%"};
        const int n = ExecuterCommande(
            cmd, {Ligne("a", "1.1.1.1"), Ligne("b", "1.1.1.2"), Ligne("c", "1.1.1.3")}, ctx);
        QCOMPARE(n, 0);
        QVERIFY(lanceur.appels.empty());
        QCOMPARE(m_messages, (std::vector<std::string>{i18n::Tr("MSG_ERREUR_COMMANDE_SYNTAXE")}));

        m_messages.clear();
        cmd.ligne = "%comm%";
        ExecuterCommande(cmd, {Ligne("a", "1.1.1.1"), Ligne("b", "1.1.1.2")}, ctx);
        QCOMPARE(m_messages, (std::vector<std::string>{i18n::Tr("MSG_ERREUR_COMMANDE_VIDE")}));
    }

    void aStartFailureIsReportedPerRowAndTheRunGoesOn() {
        FauxLanceur lanceur;
        lanceur.codes = {2, 42};
        ContexteCommande ctx;
        ctx.lanceur = &lanceur;
        const int n = ExecuterCommande({"Ping", -1, "ping %ip%"},
                                       {Ligne("a", "1.1.1.1"), Ligne("b", "1.1.1.2")}, ctx);
        QCOMPARE(n, 1);
        QCOMPARE(lanceur.appels.size(), size_t(2));
        QCOMPARE(lanceur.appels[1].second, (std::vector<std::string>{"1.1.1.2"}));
        QCOMPARE(m_messages.size(), size_t(1));
        QVERIFY(m_messages[0].find('2') != std::string::npos);
    }

    void aValueThatWouldBeReadAsAnOptionStartsNothingForItsMachine() {
        FauxLanceur lanceur;
        ContexteCommande ctx;
        ctx.lanceur = &lanceur;
        const ValeursMachine piege = Ligne("piege", "-oProxyCommand=touch /tmp/x");
        const int n =
            ExecuterCommande({"SSH", -1, "ssh %ip%"}, {piege, Ligne("b", "1.1.1.2")}, ctx);
        QCOMPARE(n, 1);
        QCOMPARE(lanceur.appels.size(), size_t(1));
        QCOMPARE(lanceur.appels[0].second, (std::vector<std::string>{"1.1.1.2"}));
        QCOMPARE(m_messages.size(), size_t(1));
        QVERIFY(m_messages[0].find("'piege'") != std::string::npos);
        QVERIFY(m_messages[0].find("-oProxyCommand") != std::string::npos);
        // Quotes do not make it less of an option; inside an argument it is only a value.
        QCOMPARE(ConstruireCommande("ssh \"%ip%\"", piege, "").etat,
                 CommandeConstruite::Etat::ValeurOption);
        QCOMPARE(ConstruireCommande("ssh --host=%ip% -l %login%", piege, "").etat,
                 CommandeConstruite::Etat::Ok);
    }

    // "/" and "+" start options too (xfreerdp "/drive:x,/", X programs "+opt"); a literal "--"
    // before the value is the safe form, and a "--" that comes from a value is not.
    void valuesStartingWithSlashOrPlusAreOptionsUnlessAfterALiteralDoubleDash() {
        ValeursMachine machine = Ligne("pc", "1.2.3.4");
        for (const char* nom : {"/drive:x,/", "+extension", "-X"}) {
            machine.nom = nom;
            QCOMPARE(ConstruireCommande("xfreerdp %host%", machine, "").etat,
                     CommandeConstruite::Etat::ValeurOption);
            QCOMPARE(ConstruireCommande("xfreerdp /v:%ip% /t:%host%", machine, "").etat,
                     CommandeConstruite::Etat::Ok);
            const CommandeConstruite sure = ConstruireCommande("ssh -l me -- %host%", machine, "");
            QCOMPARE(sure.etat, CommandeConstruite::Etat::Ok);
            QCOMPARE(sure.arguments, (std::vector<std::string>{"-l", "me", "--", nom}));
        }
        machine.nom = "--";
        machine.commentaire = "-oProxyCommand=x";
        QCOMPARE(ConstruireCommande("ssh %host% %comm%", machine, "").etat,
                 CommandeConstruite::Etat::ValeurOption);
        machine.nom = "x";
        QCOMPARE(ConstruireCommande("ssh \"--\" %comm%", machine, "").etat,
                 CommandeConstruite::Etat::Ok);
    }

    void sessionsUseTheRowLoginOrTheConfiguredOneAndKeepOneEntryPerMachine() {
        FauxLanceur lanceur;
        FaussesSessions sessions;
        GestionnaireSessions gestionnaire(sessions);
        ContexteCommande ctx;
        ctx.lanceur = &lanceur;
        ctx.sessions = &sessions;
        ctx.gestionnaire = &gestionnaire;
        ctx.authentificationMode = 1;
        ctx.authentificationLogin = "domaine\\op";
        ctx.authentificationPassword = "pw";
        ValeursMachine avecLogin = Ligne("a", "010.0.0.1");
        avecLogin.login = "local";
        avecLogin.motDePasse = "x";
        const CommandePersonnalisee cmd{"Explorer", 60, "xdg-open smb://%ip%/"};
        ExecuterCommande(cmd, {avecLogin, Ligne("b", "10.0.0.2")}, ctx);
        QCOMPARE(sessions.journal,
                 (std::vector<std::string>{"+10.0.0.1 local x", "+10.0.0.2 domaine\\op pw"}));
        ExecuterCommande(cmd, {avecLogin}, ctx);
        const auto& entrees = gestionnaire.Liste().Entrees();
        QCOMPARE(entrees.size(), size_t(2));
        QCOMPARE(entrees.back().adresse, std::string("10.0.0.1"));  // re-added last
        QVERIFY(gestionnaire.Minuterie().isActive());

        // Closing the window closes every session at once.
        sessions.journal.clear();
        gestionnaire.Traiter(true);
        QCOMPARE(sessions.journal, (std::vector<std::string>{"-10.0.0.1", "-10.0.0.2"}));
        QVERIFY(gestionnaire.Liste().Vide());
        QVERIFY(!gestionnaire.Minuterie().isActive());

        // Another authentication mode opens the session but does not track it.
        ctx.authentificationMode = 0;
        ExecuterCommande(cmd, {avecLogin}, ctx);
        QVERIFY(gestionnaire.Liste().Vide());
    }

    void sessionDeadlinesCountFromTheLastRun() {
        ListeSessions liste;
        const QDateTime t0(QDate(2026, 1, 31), QTime(23, 59, 30));
        liste.Ajouter("h", 60, t0);
        liste.Ajouter("h", 60, t0.addSecs(40));
        QCOMPARE(liste.Entrees().size(), size_t(1));
        QVERIFY(liste.Echues(t0.addSecs(61), false).empty());  // across the month boundary
        QCOMPARE(liste.Echues(t0.addSecs(100), false), (std::vector<std::string>{"h"}));
    }

    void aHostileMachineNameRunsNothingElse() {
        QTemporaryDir dossier;
        QVERIFY(dossier.isValid());
        const std::string base = dossier.path().toStdString();
        const std::string script = base + "/temoin.sh";
        {
            std::ofstream f(script);
            f << "#!/bin/sh\nout=\"$(dirname \"$0\")/args.txt\"\n: > \"$out.tmp\"\n"
                 "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$out.tmp\"; done\n"
                 "mv \"$out.tmp\" \"$out\"\n";
        }
        QFile::setPermissions(QString::fromStdString(script),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const std::string piege1 = base + "/piege1";
        const std::string piege2 = base + "/piege2";
        ValeursMachine m =
            Ligne("pc; touch " + piege1 + " $(touch " + piege2 + ") \"'`id`", "127.0.0.1");
        m.commentaire = "a\" b & touch " + piege1;

        LanceurSysteme lanceur;
        ContexteCommande ctx;
        ctx.lanceur = &lanceur;
        const int n =
            ExecuterCommande({"Temoin", -1, "\"" + script + "\" -n %host% -c %comm%"}, {m}, ctx);
        QCOMPARE(n, 1);
        const QString sortie = dossier.filePath("args.txt");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(sortie), 15000);
        QFile f(sortie);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const std::string recu = f.readAll().toStdString();
        QCOMPARE(recu, "-n\n" + m.nom + "\n-c\n" + m.commentaire + "\n");
        QVERIFY(!QFile::exists(QString::fromStdString(piege1)));
        QVERIFY(!QFile::exists(QString::fromStdString(piege2)));
    }

    void unknownProgramsAreNotFound() {
        LanceurSysteme lanceur;
        QCOMPARE(lanceur.Ouvrir("velmora-programme-absent-xyz", {}), 2);
        QVERIFY(lanceur.Ouvrir("/nonexistent/prog", {}) <= 31);
        QVERIFY(!LanceurSysteme::TrouverExecutable("sh").empty());
    }
};

QTEST_MAIN(TestCommandes)
#include "test_commandes.moc"
