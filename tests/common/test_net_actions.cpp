// Remote power actions: the exact tool calls and credential handling with stand-in tools, the
// WMI helper's own argument and error handling, and a real smbd in a network namespace.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "common/net/ActionsDistantes.h"
#include "common/net/Outil.h"
#include "common/platform/Outil.h"
#include "test_net_espaces.h"
#include "test_net_pairs.h"

namespace velmora::net {
namespace {

namespace fs = std::filesystem;

// A name the resolver refuses without asking any server (a label longer than 63 characters).
const std::string kNomIrresoluble = std::string(70, 'q') + ".invalid";

std::string Lire(const fs::path& chemin) {
    std::ifstream f(chemin);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// A temporary folder, removed with everything in it.
class DossierTemporaire {
  public:
    DossierTemporaire() {
        char modele[] = "/tmp/velmora-net-XXXXXX";
        m_chemin = ::mkdtemp(modele);
    }
    ~DossierTemporaire() { fs::remove_all(m_chemin); }
    const fs::path& Chemin() const { return m_chemin; }

  private:
    fs::path m_chemin;
};

// Stand-ins for `net` and for the WMI helper's interpreter: they record their arguments, their
// standard input, and (for net) the authentication file's mode and content while it exists.
class ActionsSubstituts : public ::testing::Test {
  protected:
    void SetUp() override {
        const fs::path d = m_dossier.Chemin();
        std::ofstream(d / "net") << "#!/bin/sh\n"
                                    "d="
                                 << d.string()
                                 << "\n"
                                    "[ -e $d/slow ] && sleep 5\n"
                                    "printf '%s\\n' \"$@\" > $d/args\n"
                                    "cat > $d/stdin\n"
                                    "prev=\n"
                                    "for a in \"$@\"; do\n"
                                    "  if [ \"$prev\" = -A ]; then"
                                    " cat \"$a\" > $d/auth; echo \"$a\" > $d/authpath; fi\n"
                                    "  prev=$a\n"
                                    "done\n"
                                    "[ -n \"$PASSWD_FD\" ] && cat <&$PASSWD_FD > $d/passwdfd\n"
                                    "ls -A \"$TMPDIR\" > $d/tmpfiles\n"
                                    "[ -e $d/output ] && cat $d/output\n"
                                    "exit $(cat $d/status 2>/dev/null || echo 0)\n";
        fs::permissions(d / "net", fs::perms::owner_all);
        DefinirCheminOutil("net", (d / "net").string());
        fs::create_directory(d / "tmp");
        const char* tmp = std::getenv("TMPDIR");
        m_tmpdir = tmp ? tmp : "";
        ::setenv("TMPDIR", (d / "tmp").c_str(), 1);
        m_reglages = Prog().reglages;
        Prog().reglages.authentificationMode = 0;
    }
    void TearDown() override {
        if (m_tmpdir.empty())
            ::unsetenv("TMPDIR");
        else
            ::setenv("TMPDIR", m_tmpdir.c_str(), 1);
        DefinirCheminOutil("net", "");
        DefinirCheminOutil("velmora-wmi", "");
        DefinirCheminOutil("/usr/bin/python3", "");
        Prog().reglages = m_reglages;
    }
    std::vector<std::string> Arguments() {
        std::vector<std::string> args;
        std::istringstream s(Lire(m_dossier.Chemin() / "args"));
        for (std::string l; std::getline(s, l);) args.push_back(l);
        return args;
    }
    void Echouer(int statut, const std::string& sortie) {
        std::ofstream(m_dossier.Chemin() / "status") << statut;
        std::ofstream(m_dossier.Chemin() / "output") << sortie;
    }
    DossierTemporaire m_dossier;
    ReglagesDemarrage m_reglages;
    std::string m_tmpdir;
};

TEST_F(ActionsSubstituts, ShutdownPassesEveryValueAndTheMachineLoginOnlyThroughAPrivateFile) {
    std::string erreur;
    ASSERT_TRUE(
        ArreterADistance("198.18.0.2", 30, "Bye now", true, true, "CORP\\bob", "p@ss w0rd", erreur))
        << erreur;
    const auto args = Arguments();
    ASSERT_EQ(args.size(), 11u);
    EXPECT_EQ(std::vector<std::string>(args.begin(), args.begin() + 9),
              (std::vector<std::string>{"rpc", "shutdown", "--timeout=30", "--comment=Bye now",
                                        "--reboot", "--force", "-d1", "-I", "198.18.0.2"}));
    // The auth file is an inherited pipe: nothing rests in the temporary folder, even while
    // net runs, so a killed program leaves no password behind.
    EXPECT_EQ(args[9], "-A");
    EXPECT_EQ(args[10], "/dev/fd/3");
    for (const auto& a : args) EXPECT_EQ(a.find("p@ss"), std::string::npos) << a;
    EXPECT_EQ(Lire(m_dossier.Chemin() / "auth"),
              "username = bob\ndomain = CORP\npassword = p@ss w0rd\n");
    EXPECT_EQ(Lire(m_dossier.Chemin() / "tmpfiles"), "");
    EXPECT_FALSE(fs::exists(m_dossier.Chemin() / "passwdfd"));

    // A delay of 0 goes as 1 (net replaces 0 by 20 s); an address written with leading zeros
    // goes normalised, as the ping saw it, never read as octal.
    // A name goes with the address that the system resolver gives, as the ping resolves it; a
    // name that does not resolve is "network path not found", and net is not run.
    ASSERT_TRUE(ArreterADistance("localhost", 0, "", false, false, "bob", "", erreur));
    EXPECT_EQ(Arguments(),
              (std::vector<std::string>{"rpc", "shutdown", "--timeout=1", "--comment=", "-d1", "-S",
                                        "localhost", "-I", "127.0.0.1", "-A", "/dev/fd/3"}));
    EXPECT_EQ(Lire(m_dossier.Chemin() / "auth"), "username = bob\npassword = \n");
    ASSERT_TRUE(AnnulerArret("010.077.000.001", "bob", "x", erreur));
    EXPECT_EQ(Arguments()[4], "10.77.0.1");
    fs::remove(m_dossier.Chemin() / "args");
    EXPECT_FALSE(AnnulerArret(kNomIrresoluble, "bob", "x", erreur));
    EXPECT_EQ(erreur, "Le chemin réseau n'a pas été trouvé. (err=53)");
    EXPECT_FALSE(fs::exists(m_dossier.Chemin() / "args"));

    // A password with blanks at its edges (which the auth file reader would strip) goes whole
    // through PASSWD_FD.
    ASSERT_TRUE(ArreterADistance("127.0.0.1", 5, "", false, false, "bob", " \tpw ", erreur));
    EXPECT_EQ(Lire(m_dossier.Chemin() / "auth"), "username = bob\n");
    EXPECT_EQ(Lire(m_dossier.Chemin() / "passwdfd"), " \tpw ");
}

TEST_F(ActionsSubstituts, CredentialsFollowTheMachineThenTheConfiguredAccountThenTheUser) {
    Prog().reglages.authentificationMode = 1;
    Prog().reglages.authentificationLogin = "admin";
    Prog().reglages.authentificationPassword = "cfg";
    std::string erreur;
    ASSERT_TRUE(AnnulerArret("10.1.1.1", "", "", erreur));
    EXPECT_EQ(Lire(m_dossier.Chemin() / "auth"), "username = admin\npassword = cfg\n");
    ASSERT_TRUE(AnnulerArret("10.1.1.1", "own", "pw", erreur));
    EXPECT_EQ(Lire(m_dossier.Chemin() / "auth"), "username = own\npassword = pw\n");
    fs::remove(m_dossier.Chemin() / "auth");
    Prog().reglages.authentificationMode = 0;
    ::unsetenv("KRB5CCNAME");
    ASSERT_TRUE(AnnulerArret("10.1.1.1", "", "", erreur));
    EXPECT_FALSE(fs::exists(m_dossier.Chemin() / "auth"));
    const auto args = Arguments();
    EXPECT_EQ(args.front(), "rpc");
    EXPECT_EQ(args[1], "abortshutdown");
}

TEST_F(ActionsSubstituts, RefusalsGiveTheWindowsStyleTextAndAMissingToolNamesItsPackage) {
    std::string erreur;
    Echouer(255, "Shutdown of remote machine failed\n\nresult was: WERR_ACCESS_DENIED\n");
    EXPECT_FALSE(ArreterADistance("10.1.1.1", 5, "m", false, false, "u", "p", erreur));
    EXPECT_EQ(erreur, "Accès refusé. (err=5)");
    Echouer(255,
            "Could not connect to server 10.1.1.1\nConnection failed: NT_STATUS_LOGON_FAILURE\n");
    EXPECT_FALSE(AnnulerArret("10.1.1.1", "u", "p", erreur));
    EXPECT_EQ(erreur, "Nom d'utilisateur ou mot de passe incorrect. (err=1326)");
    // The reasons follow the interface language.
    ASSERT_TRUE(i18n::ChargerTraductions(i18n::ListeTextes::Console,
                                         VELMORA_SOURCE_DIR "/lang/English.lng"));
    EXPECT_FALSE(AnnulerArret("10.1.1.1", "u", "p", erreur));
    EXPECT_EQ(erreur, "The user name or password is incorrect. (err=1326)");
    i18n::Traductions().Clear();
    Echouer(3, "something odd happened\n");
    EXPECT_FALSE(AnnulerArret("10.1.1.1", "u", "p", erreur));
    EXPECT_EQ(erreur, "something odd happened (err=3)");
    EXPECT_FALSE(AnnulerArret("10.1.1.1", "u", "line\nbreak", erreur));
    EXPECT_NE(erreur.find("(err="), std::string::npos);
    fs::remove(m_dossier.Chemin() / "args");
    EXPECT_FALSE(ArreterADistance("10.1.1.1", -5, "m", false, false, "u", "p", erreur));
    EXPECT_EQ(erreur, "Délai invalide : -5 (err=87)");
    EXPECT_FALSE(fs::exists(m_dossier.Chemin() / "args")) << "nothing is sent";

    // The window's stop request ends a call in progress.
    std::ofstream(m_dossier.Chemin() / "slow");
    platform::DefinirAttenteOutils([] { return true; });
    EXPECT_FALSE(ArreterADistance("10.1.1.1", 5, "m", false, false, "u", "p", erreur));
    platform::DefinirAttenteOutils({});
    EXPECT_EQ(erreur, "L'opération a été annulée par l'utilisateur. (err=1223)");

    DefinirCheminOutil("net", (m_dossier.Chemin() / "absent").string());
    EXPECT_FALSE(ArreterADistance("10.1.1.1", 5, "m", false, false, "u", "p", erreur));
    EXPECT_NE(erreur.find("samba-common-bin"), std::string::npos);
}

TEST_F(ActionsSubstituts, WmiHelperGetsMachineAndCodeOnItsLineAndCredentialsOnItsInput) {
    const fs::path d = m_dossier.Chemin();
    std::ofstream(d / "helper")
        << "printf '%s\\n' \"$@\" > " << d.string() << "/args\n"
        << "cat > " << d.string() << "/stdin\n"
        << "[ \"$2\" = 9 ] && { echo 'Access denied (err=-2147024891)'; exit 1; }\n"
        << "exit 0\n";
    DefinirCheminOutil("velmora-wmi", "/bin/sh");  // any executable: the interpreter runs it
    DefinirCheminOutil("/usr/bin/python3", "/bin/sh");
    // The interpreter gets the helper's path first; put our script there through a wrapper.
    DefinirCheminOutil("velmora-wmi", (d / "helper").string());
    fs::permissions(d / "helper", fs::perms::owner_all);
    std::string erreur;
    ASSERT_TRUE(ActionWMI("localhost", 6, "CORP\\bob", "s3cret", erreur)) << erreur;
    EXPECT_EQ(Arguments(), (std::vector<std::string>{"localhost", "6"}));
    EXPECT_EQ(Lire(d / "stdin"), "CORP\\bob\ns3cret\n");
    ASSERT_TRUE(ActionWMI("010.077.000.001", 5, "bob", " s3cret\t", erreur)) << erreur;
    EXPECT_EQ(Arguments(), (std::vector<std::string>{"10.77.0.1", "5"}));
    EXPECT_EQ(Lire(d / "stdin"), "bob\n s3cret\t\n");
    // The helper's fixed English reasons are given in the interface language.
    EXPECT_FALSE(ActionWMI("localhost", 9, "u", "p", erreur));
    EXPECT_EQ(erreur, "Accès refusé. (err=-2147024891)");

    // Without a login nor a Kerberos ticket the helper is not run: the user is told why.
    fs::remove(d / "args");
    ::unsetenv("KRB5CCNAME");
    EXPECT_FALSE(ActionWMI("localhost", 8, "", "", erreur));
    EXPECT_NE(erreur.find("Un login est nécessaire"), std::string::npos) << erreur;
    EXPECT_FALSE(ActionWMI(kNomIrresoluble, 8, "u", "p", erreur));
    EXPECT_EQ(erreur, "Le chemin réseau n'a pas été trouvé. (err=53)");
    EXPECT_FALSE(fs::exists(d / "args"));

    DefinirCheminOutil("/usr/bin/python3", (d / "absent").string());
    EXPECT_FALSE(ActionWMI("localhost", 6, "u", "p", erreur));
    EXPECT_NE(erreur.find("python3-impacket"), std::string::npos);
}

// The real helper under the system interpreter, against a host with nothing listening.
TEST(HelperWMI, RefusedConnectionAndBadArgumentsGiveErrorLines) {
    const std::string helper = VELMORA_SOURCE_DIR "/tools/velmora-wmi";
    if (::access("/usr/bin/python3", X_OK) != 0)
        VELMORA_PAIR_INDISPONIBLE("no /usr/bin/python3 (package python3-impacket)");
    auto r = LancerOutil({"/usr/bin/python3", helper, "127.0.0.1", "six"}, "u\np\n", 20000);
    EXPECT_EQ(r.statut, 2);
    EXPECT_NE(r.sortie.find("(err=87)"), std::string::npos) << r.sortie;
    r = LancerOutil({"/usr/bin/python3", helper}, "", 20000);
    EXPECT_EQ(r.statut, 2);

    test::Espaces espaces;
    if (!espaces.Pret()) VELMORA_PAIR_INDISPONIBLE(espaces.Raison());
    DefinirCheminOutil("velmora-wmi", helper);
    bool ok = true;
    std::string erreur;
    ASSERT_TRUE(test::Espaces::Executer(
        espaces.A(), [&] { ok = ActionWMI("198.18.0.2", 8, "VLMTEST\\bob", "secret", erreur); }));
    DefinirCheminOutil("velmora-wmi", "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(erreur, "Le serveur RPC n'est pas disponible. (err=-2147023174)");
}

// A real smbd in the host namespace, whose shutdown scripts record what reached them.
class SambaReel : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!m_espaces.Pret()) VELMORA_PAIR_INDISPONIBLE(m_espaces.Raison());
        if (::access("/usr/sbin/smbd", X_OK) != 0 || TrouverOutil("net").empty() ||
            TrouverOutil("smbpasswd").empty())
            VELMORA_PAIR_INDISPONIBLE(
                "samba (smbd, net, smbpasswd) is not installed: packages samba, samba-common-bin");
        const fs::path d = m_dossier.Chemin();
        for (const char* s : {"private", "lock", "state", "cache", "pid", "ncalrpc"})
            fs::create_directory(d / s);
        std::string conf = Lire(VELMORA_SOURCE_DIR "/tests/peers/samba/smb.conf.in");
        conf = Remplacer(conf, "@DIR@", d.string());
        conf = Remplacer(conf, "@ADDRESS@", "198.18.0.2");
        conf =
            Remplacer(conf, "@SCRIPT@", VELMORA_SOURCE_DIR "/tests/peers/samba/shutdown-script.sh");
        m_conf = (d / "smb.conf").string();
        std::ofstream(m_conf) << conf;
        ASSERT_TRUE(
            test::Commande("printf 'pw1\\npw1\\n' | smbpasswd -c " + m_conf + " -s -a root"));
        ASSERT_TRUE(test::Commande("net -s " + m_conf +
                                   " sam rights grant root SeRemoteShutdownPrivilege"));
        // An account whose password starts with a blank and ends with a tab.
        ASSERT_TRUE(test::Commande("printf ' pw2\\t\\n pw2\\t\\n' | smbpasswd -c " + m_conf +
                                   " -s -a daemon"));
        ASSERT_TRUE(test::Commande("net -s " + m_conf +
                                   " sam rights grant daemon SeRemoteShutdownPrivilege"));
        // smbd runs in host B's namespace under an empty /run of its own, as on a machine where
        // no Samba service ever ran: every folder it needs must come from the test's smb.conf.
        m_smbd = std::make_unique<test::Processus>(std::vector<std::string>{
            "/usr/bin/unshare", "-m", "--propagation", "private", "/bin/sh", "-c",
            "exec 3</run/netns/" + m_espaces.B() +
                " && mount -t tmpfs tmpfs /run && exec nsenter --net=/proc/self/fd/3 "
                "/usr/sbin/smbd -F -l '" +
                d.string() + "' -s '" + m_conf + "'"});
        bool pret = false;
        for (int i = 0; i < 250 && !pret; ++i) {
            pret = test::Espaces::Dans(m_espaces.A(), "bash -c 'echo > /dev/tcp/198.18.0.2/445'");
            if (!pret) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_TRUE(pret) << "smbd did not start";
    }
    static std::string Remplacer(std::string t, const std::string& a, const std::string& b) {
        for (size_t p = t.find(a); p != std::string::npos; p = t.find(a, p + b.size()))
            t.replace(p, a.size(), b);
        return t;
    }
    void TearDown() override {
        m_smbd.reset();
        // smbd's RPC helpers run in their own session: end those started for this server.
        test::TerminerProcessusAvec(m_conf);
    }
    std::string Appels() { return Lire(m_dossier.Chemin() / "calls.log"); }
    // The delays of the shutdown requests that reached the server, as its debug log dumps them
    // ("timeout                  : 0x0000001e (30)"), in order.
    std::vector<long long> DelaisRecus() {
        std::vector<long long> delais;
        for (const auto& e : fs::directory_iterator(m_dossier.Chemin())) {
            if (e.path().filename().string().rfind("log.", 0) != 0) continue;
            std::istringstream s(Lire(e.path()));
            bool dansDemande = false;
            for (std::string l; std::getline(s, l);) {
                if ((l.find("InitiateSystemShutdown") != std::string::npos ||
                     l.find("initshutdown_Init") != std::string::npos) &&
                    l.find("in: struct") != std::string::npos)
                    dansDemande = true;
                const size_t p = l.find("timeout");
                const size_t q = l.find(": 0x");
                if (dansDemande && p != std::string::npos && q != std::string::npos) {
                    delais.push_back(std::stoll(l.substr(q + 2), nullptr, 16));
                    dansDemande = false;
                }
            }
        }
        return delais;
    }
    // Runs `travail` from the client namespace.
    void DansA(const std::function<void()>& travail) {
        ASSERT_TRUE(test::Espaces::Executer(m_espaces.A(), travail));
    }

    test::Espaces m_espaces;
    DossierTemporaire m_dossier;
    std::string m_conf;
    std::unique_ptr<test::Processus> m_smbd;
};

TEST_F(SambaReel, ShutdownAndCancelReachTheServerAndRefusalsAreReported) {
    bool arret = false, annule = false, refuse = true, sansAttente = true, simple = false,
         immediat = false, blancs = false, sansBlancs = true;
    std::string e1, e2, e3, e4, e5, e6, e7, e8;
    DansA([&] {
        arret = ArreterADistance("198.18.0.2", 30, "Maintenance 42", true, true, "root", "pw1", e1);
        annule = AnnulerArret("198.18.0.2", "root", "pw1", e2);
        sansAttente = AnnulerArret("198.18.0.2", "root", "pw1", e3);
        refuse = ArreterADistance("198.18.0.2", 30, "x", false, false, "root", "wrong", e4);
        simple = ArreterADistance("198.18.0.2", 10, "Bye", false, false, "root", "pw1", e5);
        immediat = ArreterADistance("198.18.0.2", 0, "Now", false, true, "root", "pw1", e6);
        blancs = AnnulerArret("198.18.0.2", "daemon", " pw2\t", e7);
        sansBlancs = AnnulerArret("198.18.0.2", "daemon", "pw2", e8);
    });
    EXPECT_TRUE(immediat) << e6;
    EXPECT_TRUE(blancs) << e7;
    EXPECT_EQ(e8, "Nom d'utilisateur ou mot de passe incorrect. (err=1326)");
    const std::vector<long long> delais = DelaisRecus();
    // net cannot send 0 (it puts its own default of 20 in its place): "now" goes as 1 second.
    EXPECT_EQ(delais, (std::vector<long long>{30, 10, 1})) << "each delay reaches the server";
    EXPECT_TRUE(arret) << e1;
    EXPECT_TRUE(annule) << e2;
    EXPECT_FALSE(sansAttente);
    EXPECT_EQ(e3, "Accès refusé. (err=5)");
    EXPECT_FALSE(refuse);
    EXPECT_EQ(e4, "Nom d'utilisateur ou mot de passe incorrect. (err=1326)");
    EXPECT_TRUE(simple) << e5;
    const std::string appels = Appels();
    EXPECT_NE(appels.find("shutdown Maintenance_42 -r -f\n"), std::string::npos) << appels;
    EXPECT_NE(appels.find("abort \n"), std::string::npos) << appels;
    EXPECT_NE(appels.find("shutdown Bye\n"), std::string::npos) << appels;
}

}  // namespace
}  // namespace velmora::net
