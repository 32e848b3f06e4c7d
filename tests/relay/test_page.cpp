// The relay's web page driven in-process: users file and passwords, log-in, sessions, the form
// token, the failure budget, folders per user, hostile machine names, wakes and the status
// stream; then the page of the running relay waking a machine for a UDP receiver on loopback.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <regex>

#include "Aides.h"
#include "relay/web/Site.h"
#include "relay/web/WebAssets.h"

using namespace std::string_literals;

namespace velmora::relay::web {
namespace {

using test::Dossier;

class FauxReseau : public Network {
  public:
    std::vector<std::string> envois;  // "address:port mac"
    bool Send(std::uint32_t a, int port, const Mac& mac, std::string&) override {
        envois.push_back(IPv4Text(a) + ':' + std::to_string(port) + ' ' + MacText(mac));
        return true;
    }
    std::optional<std::uint32_t> DefaultBroadcast() override { return std::nullopt; }
    bool Resolve(const std::string&, std::uint32_t&) override { return false; }
};

class FauxSondeur : public Prober {
  public:
    std::map<std::string, bool> repond;
    std::vector<std::vector<std::string>> appels;
    std::vector<bool> Probe(const std::vector<std::string>& adresses) override {
        appels.push_back(adresses);
        std::vector<bool> r;
        for (const auto& a : adresses) r.push_back(repond[a]);
        return r;
    }
};

const std::string kIni =
    "[Config]\n"
    "MasqueParDéfaut=255.255.0.0\n"
    "ListeDossiers=Bureau|Atelier|Secret\n"
    "[Bureau]\n"
    "NbMachines=3\n"
    "Machine1=pc1|127.0.0.1|255.255.255.255|4000|00:11:22:33:44:55|||le poste de Léa\n"
    "Machine2=<script>alert(1)</script>|10.1.2.3||||||\"><img src=x onerror=alert(2)>\n"
    "Machine3=imprimante|10.1.2.4||||||sans MAC\n"
    "[Atelier]\n"
    "NbMachines=1\n"
    "Machine1=tour|10.2.0.9|||00-AA-BB-CC-DD-EE|||\n"
    "[Secret]\n"
    "NbMachines=1\n"
    "Machine1=coffre|10.3.0.1|||00-00-00-00-00-01|||\n";

// A users file made with AddUser: alice sees Bureau and Atelier, bob everything.
struct Page : ::testing::Test {
    Dossier dossier;
    std::string ini = dossier.Ecrire("Velmora.ini", kIni);
    std::string utilisateurs = dossier.Ecrire("users", "");
    FauxReseau reseau;
    Settings reglages;
    Relay relais{reglages, reseau};
    FauxSondeur* sondeur = nullptr;
    std::unique_ptr<Site> site;

    void SetUp() override {
        std::string e;
        ASSERT_TRUE(AddUser(utilisateurs, "alice", {"Bureau", "atelier"}, "motdepasse-alice", e))
            << e;
        ASSERT_TRUE(AddUser(utilisateurs, "bob", {}, "motdepasse-bob", e)) << e;
        Ouvrir();
    }
    void Ouvrir(unsigned intervalle = 5) {
        SiteOptions o;
        o.machinesFile = ini;
        o.usersFile = utilisateurs;
        o.englishFile = VELMORA_SOURCE_DIR "/lang/English.lng";
        o.statusInterval = intervalle;
        o.wakeWait = std::chrono::seconds(60);
        o.sweepThread = false;
        auto s = std::make_unique<FauxSondeur>();
        sondeur = s.get();
        site = std::make_unique<Site>(o, relais, reseau, std::move(s));
    }

    WebRequest Requete(const std::string& methode, const std::string& cible,
                       const std::string& cookie = "", const std::string& corps = "",
                       const std::string& client = "198.51.100.7") {
        WebRequest r;
        r.method = methode;
        r.target = cible;
        r.client = client;
        r.body = corps;
        if (!cookie.empty()) r.headers.emplace_back("cookie", cookie);
        return r;
    }
    static std::string Entete(const WebResponse& r, const std::string& nom) {
        for (const auto& [n, v] : r.headers)
            if (n == nom) return v;
        return "";
    }
    static std::vector<std::string> Cookies(const WebResponse& r) {
        std::vector<std::string> c;
        for (const auto& [n, v] : r.headers)
            if (n == "Set-Cookie") c.push_back(v);
        return c;
    }
    // The log-in form's value and its cookie.
    std::pair<std::string, std::string> Formulaire(const std::string& langue = "") {
        WebRequest r = Requete("GET", "/login");
        if (!langue.empty()) r.headers.emplace_back("accept-language", langue);
        const WebResponse page = site->Handle(r);
        std::smatch m;
        const std::regex valeur("name=\"t\" value=\"([0-9a-f]+)\"");
        EXPECT_TRUE(std::regex_search(page.body, m, valeur));
        return {m[1], std::string(kLoginCookie) + "=" + m[1].str()};
    }
    WebResponse Connexion(const std::string& nom, const std::string& mdp,
                          const std::string& client = "198.51.100.7") {
        const auto [t, cookie] = Formulaire();
        return site->Handle(
            Requete("POST", "/login", cookie, "u=" + nom + "&p=" + mdp + "&t=" + t, client));
    }
    // "velmora_session=..." of a successful log-in, and the page's form token.
    std::pair<std::string, std::string> Session(const std::string& nom, const std::string& mdp) {
        const WebResponse r = Connexion(nom, mdp);
        EXPECT_EQ(r.status, 303u) << r.body;
        std::string cookie;
        for (const std::string& c : Cookies(r))
            if (c.rfind(kSessionCookie, 0) == 0) cookie = c.substr(0, c.find(';'));
        const WebResponse page = site->Handle(Requete("GET", "/", cookie));
        std::smatch m;
        std::regex_search(page.body, m, std::regex("data-csrf=\"([0-9a-f]+)\""));
        return {cookie, m[1]};
    }
};

TEST(Utilisateurs, FileLinesAreCheckedAndAddUserRefusesWhatCannotBeKept) {
    std::vector<std::string> problemes;
    const auto u = ParseUsers(
        "# comment\n\nalice:$argon2id$v=19$x:Bureau|Atelier\r\nbob:$argon2id$y:*\n"
        "alice:$argon2id$z:*\nmallory:plaintext:*\n<b>:$argon2id$w:*\nno-colons\n",
        &problemes);
    ASSERT_EQ(u.size(), 2u);
    EXPECT_EQ(u[0].folders, (std::vector<std::string>{"Bureau", "Atelier"}));
    EXPECT_TRUE(u[0].MaySee("bureau"));
    EXPECT_FALSE(u[0].MaySee("Secret"));
    EXPECT_TRUE(u[1].allFolders);
    EXPECT_EQ(problemes.size(), 4u);

    Dossier d;
    const std::string f = d.Ecrire("users", "");
    ::chmod(f.c_str(), 0644);
    std::string e;
    EXPECT_FALSE(AddUser(f, "alice", {}, "court", e));
    EXPECT_FALSE(AddUser(f, "al ice", {}, "assez-long", e));
    EXPECT_FALSE(AddUser(f, "alice", {"a|b"}, "assez-long", e));
    ASSERT_TRUE(AddUser(f, "alice", {"Bureau"}, "assez-long", e)) << e;
    EXPECT_FALSE(AddUser(f, "alice", {}, "autre-chose", e));
    EXPECT_NE(e.find("already exists"), std::string::npos);
    struct stat st {};
    ASSERT_EQ(::stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    UserFile fichier(f);
    ASSERT_TRUE(fichier.Refresh(e)) << e;
    ASSERT_NE(fichier.Find("alice"), nullptr);
    EXPECT_TRUE(CheckPassword(fichier.Find("alice")->hash, "assez-long"));
    EXPECT_FALSE(CheckPassword(fichier.Find("alice")->hash, "assez-lonG"));
    EXPECT_FALSE(CheckPassword("", "assez-long"));
    EXPECT_FALSE(CheckPassword("$argon2id$garbage", "assez-long"));
    // A user added later is seen without a restart.
    ASSERT_TRUE(AddUser(f, "carol", {}, "mot-de-passe", e));
    ASSERT_TRUE(fichier.Refresh(e)) << e;
    EXPECT_NE(fichier.Find("carol"), nullptr);
}

TEST(Utilisateurs, AddUserFromTheCommandLineReadsThePasswordTwice) {
    Dossier d;
    const std::string f = d.Ecrire("users", "");
    const std::string relais = test::kRelais;
    const auto lancer = [&](const std::string& entree, const std::string& options) {
        const std::string commande = "printf '" + entree + "' | " + relais + " --users " + f +
                                     " --add-user " + options + " 2>/dev/null";
        const int etat = std::system(commande.c_str());
        return WIFEXITED(etat) ? WEXITSTATUS(etat) : -1;
    };
    EXPECT_EQ(lancer("un-mot-de-passe\\nun-autre-mot\\n", "dave"), 2);
    EXPECT_EQ(lancer("un-mot-de-passe\\n", "dave"), 2);
    EXPECT_EQ(lancer("un-mot-de-passe\\nun-mot-de-passe\\n", "dave --folders 'Bureau, Atelier'"),
              0);
    UserFile fichier(f);
    std::string e;
    ASSERT_TRUE(fichier.Refresh(e)) << e;
    ASSERT_EQ(fichier.Users().size(), 1u);
    EXPECT_EQ(fichier.Users()[0].folders, (std::vector<std::string>{"Bureau", "Atelier"}));
    EXPECT_TRUE(CheckPassword(fichier.Users()[0].hash, "un-mot-de-passe"));
}

TEST_F(Page, LogInGivesAFreshHardenedSessionAndLogOutEndsIt) {
    // No session: the page sends to the log-in page; a request of the script gets 401.
    WebResponse r = site->Handle(Requete("GET", "/"));
    EXPECT_EQ(r.status, 303u);
    EXPECT_EQ(Entete(r, "Location"), "/login");
    EXPECT_EQ(site->Handle(Requete("POST", "/wake", "", "folder=Bureau")).status, 401u);
    // A log-in without the form's cookie (posted from another site) is refused.
    const auto [t, cookie] = Formulaire();
    r = site->Handle(Requete("POST", "/login", "", "u=alice&p=motdepasse-alice&t=" + t));
    EXPECT_EQ(r.status, 403u);
    r = site->Handle(Requete("POST", "/login", cookie, "u=alice&p=mauvais&t=" + t));
    EXPECT_EQ(r.status, 401u);
    EXPECT_NE(r.body.find("Utilisateur ou mot de passe incorrect."), std::string::npos);
    // A value planted in the browser before the log-in never becomes the session.
    const std::string plante = std::string(kSessionCookie) + "=" + std::string(64, 'a');
    r = site->Handle(
        Requete("POST", "/login", cookie + "; " + plante, "u=alice&p=motdepasse-alice&t=" + t));
    ASSERT_EQ(r.status, 303u);
    const auto cookies = Cookies(r);
    ASSERT_FALSE(cookies.empty());
    const std::string session = cookies[0];
    EXPECT_EQ(session.rfind(kSessionCookie + "="s, 0), 0u);
    EXPECT_EQ(session.find(std::string(64, 'a')), std::string::npos);
    EXPECT_NE(session.find("; HttpOnly"), std::string::npos);
    EXPECT_NE(session.find("; SameSite=Strict"), std::string::npos);
    EXPECT_NE(session.find("Max-Age=43200"), std::string::npos);
    EXPECT_EQ(session.find("Secure"), std::string::npos);
    EXPECT_EQ(site->Handle(Requete("GET", "/", plante)).status, 303u);
    // Behind the trusted proxy saying https the cookie is Secure.
    {
        const auto [t2, cookie2] = Formulaire();
        WebRequest https = Requete("POST", "/login", cookie2, "u=bob&p=motdepasse-bob&t=" + t2);
        https.https = true;
        EXPECT_NE(Cookies(site->Handle(https))[0].find("; Secure"), std::string::npos);
    }
    const std::string valeur = session.substr(0, session.find(';'));
    r = site->Handle(Requete("GET", "/", valeur));
    ASSERT_EQ(r.status, 200u);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.body, m, std::regex("data-csrf=\"([0-9a-f]{64})\"")));
    // Log-out needs the token too, then the session is gone.
    EXPECT_EQ(site->Handle(Requete("POST", "/logout", valeur, "")).status, 403u);
    EXPECT_EQ(site->Handle(Requete("POST", "/logout", valeur, "csrf=" + m[1].str())).status, 303u);
    r = site->Handle(Requete("GET", "/", valeur));
    EXPECT_EQ(r.status, 303u);
    EXPECT_EQ(Entete(r, "Location"), "/login?expired=1");
    // A log-in from a browser that holds a session ends that session.
    const auto [ancienne, jeton] = Session("alice", "motdepasse-alice");
    const auto [t3, cookie3] = Formulaire();
    ASSERT_EQ(site->Handle(Requete("POST", "/login", cookie3 + "; " + ancienne,
                                   "u=alice&p=motdepasse-alice&t=" + t3))
                  .status,
              303u);
    EXPECT_EQ(site->Handle(Requete("GET", "/", ancienne)).status, 303u);
}

TEST_F(Page, SessionsEndAfterTwelveHours) {
    const auto [cookie, csrf] = Session("bob", "motdepasse-bob");
    WebRequest r = Requete("GET", "/", cookie);
    r.now += std::chrono::hours(11) + std::chrono::minutes(59);
    EXPECT_EQ(site->Handle(r).status, 200u);
    r.now += std::chrono::minutes(2);
    const WebResponse fin = site->Handle(r);
    EXPECT_EQ(fin.status, 303u);
    EXPECT_EQ(Entete(fin, "Location"), "/login?expired=1");
    WebRequest expire = Requete("GET", "/login?expired=1");
    EXPECT_NE(site->Handle(expire).body.find("Votre session a pris fin"), std::string::npos);
}

TEST_F(Page, EveryChangeNeedsTheSessionsOwnToken) {
    const auto [alice, jetonAlice] = Session("alice", "motdepasse-alice");
    const auto [bob, jetonBob] = Session("bob", "motdepasse-bob");
    ASSERT_FALSE(jetonAlice.empty());
    const std::string corps = "folder=Bureau&machine=1&name=pc1";
    EXPECT_EQ(site->Handle(Requete("POST", "/wake", alice, corps)).status, 403u);
    EXPECT_EQ(site->Handle(Requete("POST", "/wake", alice, corps + "&csrf=" + jetonBob)).status,
              403u);
    EXPECT_EQ(site->Handle(Requete("GET", "/wake?" + corps + "&csrf=" + jetonAlice, alice)).status,
              405u);
    EXPECT_TRUE(reseau.envois.empty());
    WebRequest r = Requete("POST", "/wake", alice, corps);
    r.headers.emplace_back("x-csrf-token", jetonAlice);
    EXPECT_EQ(site->Handle(r).status, 200u);
    EXPECT_EQ(reseau.envois.size(), 1u);
}

TEST_F(Page, FailedLogInsAreLimitedPerUserAndPerAddress) {
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Connexion("alice", "faux").status, 401u);
    // The budget of alice is spent: even the right password waits, from any address.
    WebResponse r = Connexion("alice", "motdepasse-alice", "203.0.113.50");
    EXPECT_EQ(r.status, 429u);
    EXPECT_NE(r.body.find("réessayez dans 15 min"), std::string::npos);
    EXPECT_EQ(Connexion("bob", "motdepasse-bob", "203.0.113.50").status, 303u);
    // One address trying many names is stopped too, unknown names included.
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(Connexion("nom" + std::to_string(i), "faux", "192.0.2.9").status, 401u);
    EXPECT_EQ(Connexion("bob", "motdepasse-bob", "192.0.2.9").status, 429u);
}

TEST_F(Page, AUserSeesAndWakesOnlyTheirFolders) {
    const auto [alice, jeton] = Session("alice", "motdepasse-alice");
    const WebResponse page = site->Handle(Requete("GET", "/", alice));
    EXPECT_NE(page.body.find(">Bureau<"), std::string::npos);
    EXPECT_NE(page.body.find(">Atelier<"), std::string::npos);
    EXPECT_EQ(page.body.find("Secret"), std::string::npos);
    EXPECT_EQ(page.body.find("coffre"), std::string::npos);
    const auto reveiller = [&](const std::string& corps) {
        WebRequest r = Requete("POST", "/wake", alice, corps);
        r.headers.emplace_back("x-csrf-token", jeton);
        return site->Handle(r);
    };
    EXPECT_EQ(reveiller("folder=Secret").status, 404u);
    EXPECT_EQ(reveiller("folder=Secret&machine=1&name=coffre").status, 404u);
    EXPECT_EQ(reveiller("folder=Nulle%20part").status, 404u);
    EXPECT_EQ(site->Handle(Requete("GET", "/events?folder=Secret", alice)).status, 404u);
    EXPECT_TRUE(reseau.envois.empty());
    // A machine named differently from the page's (the list changed) is not woken.
    EXPECT_EQ(reveiller("folder=Bureau&machine=1&name=pc2").status, 409u);
    EXPECT_EQ(reveiller("folder=Bureau&machine=9&name=pc1").status, 409u);
    EXPECT_TRUE(reseau.envois.empty());
}

TEST_F(Page, NamesAndCommentsFromTheFileAreShownAsText) {
    const std::string piege =
        "[Config]\nListeDossiers=<i>x</i>\n[<i>x</i>]\nNbMachines=1\n"
        "Machine1=a\" onmouseover=\"alert(3)|10.0.0.1||||||</span><script>alert(4)</script>\n";
    const auto [bob, jeton] = Session("bob", "motdepasse-bob");
    std::string page = site->Handle(Requete("GET", "/", bob)).body;
    EXPECT_EQ(page.find("<script>alert"), std::string::npos);
    EXPECT_EQ(page.find("<img"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(page.find("&quot;&gt;&lt;img src=x onerror=alert(2)&gt;"), std::string::npos);
    dossier.Ecrire("Velmora.ini", piege);
    page = site->Handle(Requete("GET", "/", bob)).body;
    EXPECT_EQ(page.find("<i>"), std::string::npos);
    EXPECT_EQ(page.find("\" onmouseover"), std::string::npos);
    EXPECT_EQ(page.find("<script>alert"), std::string::npos);
    // Page, script and every refusal carry the same protective headers.
    for (const WebResponse& r :
         {site->Handle(Requete("GET", "/", bob)), site->Handle(Requete("GET", "/app.js")),
          site->Handle(Requete("GET", "/login")), site->Handle(Requete("POST", "/wake", bob))}) {
        EXPECT_EQ(Entete(r, "Content-Security-Policy")
                      .rfind("default-src 'self'; frame-ancestors "
                             "'none'",
                             0),
                  0u);
        EXPECT_EQ(Entete(r, "X-Content-Type-Options"), "nosniff");
        EXPECT_EQ(Entete(r, "Referrer-Policy"), "no-referrer");
    }
    EXPECT_EQ(Entete(site->Handle(Requete("GET", "/app.js")), "Content-Type"),
              "text/javascript; charset=utf-8");
}

TEST_F(Page, WakeUsesTheRowsAddressMaskAndPortWithinTheRelaysAllowLists) {
    const auto [bob, jeton] = Session("bob", "motdepasse-bob");
    const auto reveiller = [&](const std::string& corps) {
        WebRequest r = Requete("POST", "/wake", bob, corps);
        r.headers.emplace_back("x-csrf-token", jeton);
        return site->Handle(r);
    };
    WebResponse r = reveiller("folder=bureau");  // the whole folder, name in any case
    ASSERT_EQ(r.status, 200u);
    EXPECT_NE(r.body.find("\"m-0-1\":{\"ok\":true,\"text\":\"réveil envoyé\"}"), std::string::npos)
        << r.body;
    EXPECT_NE(r.body.find("\"m-0-3\":{\"ok\":false,\"text\":\"échec du réveil : adresse MAC"),
              std::string::npos)
        << r.body;
    // pc1: its own mask and port; the rows without MAC address are not sent.
    EXPECT_EQ(reseau.envois, (std::vector<std::string>{"127.0.0.1:4000 00:11:22:33:44:55"}));
    // tour: the default mask of the file, the default port.
    r = reveiller("folder=Atelier&machine=1&name=tour");
    EXPECT_EQ(reseau.envois.back(), "10.2.255.255:9 00:aa:bb:cc:dd:ee");
    Settings s = relais.CurrentSettings();
    Mac autorisee;
    ParseMac("00:11:22:33:44:55", autorisee);
    s.allowMacs = {autorisee};
    relais.Reload(s);
    r = reveiller("folder=Atelier&machine=1&name=tour");
    EXPECT_NE(r.body.find("adresse MAC non autorisée"), std::string::npos) << r.body;
    Cidr bloc;
    ParseCidr("192.168.0.0/16", bloc);
    s.allowDests = {bloc};
    relais.Reload(s);
    r = reveiller("folder=Bureau&machine=1&name=pc1");
    EXPECT_NE(r.body.find("destination non autorisée"), std::string::npos) << r.body;
    EXPECT_EQ(reseau.envois.size(), 2u);
}

TEST_F(Page, StatusAndWakeAndWaitArePushedToThePagesOfTheFolder) {
    const auto [bob, jeton] = Session("bob", "motdepasse-bob");
    WebRequest ouvrir = Requete("GET", "/events?folder=Atelier", bob);
    ouvrir.headers.emplace_back("accept-language", "en-GB,en;q=0.9");
    const WebResponse flux = site->Handle(ouvrir);
    ASSERT_EQ(flux.status, 200u);
    ASSERT_NE(flux.stream, 0u);
    EXPECT_EQ(Entete(flux, "Content-Type"), "text/event-stream; charset=utf-8");
    bool fin = false;
    EXPECT_EQ(site->StreamRead(flux.stream, fin), "retry: 5000\n\n");
    // Only the folder a page looks at is swept.
    site->SweepNow();
    ASSERT_EQ(sondeur->appels.size(), 1u);
    EXPECT_EQ(sondeur->appels[0], (std::vector<std::string>{"10.2.0.9"}));
    site->Tick();
    EXPECT_EQ(site->StreamRead(flux.stream, fin), "data: {\"s\":{\"m-1-1\":0},\"w\":{}}\n\n");
    // Woken, then seen answering: "up after N s", in the page's language.
    WebRequest r = Requete("POST", "/wake", bob, "folder=Atelier&machine=1&name=tour");
    r.headers.emplace_back("x-csrf-token", jeton);
    const auto debut = r.now;
    ASSERT_EQ(site->Handle(r).status, 200u);
    EXPECT_EQ(site->StreamRead(flux.stream, fin),
              "data: {\"s\":{},\"w\":{\"m-1-1\":\"wake sent\"}}\n\n");
    sondeur->repond["10.2.0.9"] = true;
    site->SweepNow();
    site->Tick(debut + std::chrono::milliseconds(2500));
    EXPECT_EQ(site->StreamRead(flux.stream, fin),
              "data: {\"s\":{\"m-1-1\":1},\"w\":{\"m-1-1\":\"up after 3 s\"}}\n\n");
    // A machine that never answers: "still not up after S s" once the wait is over.
    sondeur->repond["10.2.0.9"] = false;
    r.now = std::chrono::steady_clock::now();
    ASSERT_EQ(site->Handle(r).status, 200u);
    site->StreamRead(flux.stream, fin);
    site->Tick(r.now + std::chrono::seconds(61));
    EXPECT_NE(site->StreamRead(flux.stream, fin).find("\"m-1-1\":\"still not up after 60 s\""),
              std::string::npos);
    // The page reloaded later shows the last text too, in French for a French browser.
    EXPECT_NE(site->Handle(Requete("GET", "/", bob)).body.find("toujours pas prête après 60 s"),
              std::string::npos);
    // Log-out ends the stream with a word to go back to the log-in page.
    ASSERT_EQ(site->Handle(Requete("POST", "/logout", bob, "csrf=" + jeton)).status, 303u);
    site->Tick();
    EXPECT_EQ(site->StreamRead(flux.stream, fin), "event: login\ndata: {}\n\n");
    site->StreamRead(flux.stream, fin);
    EXPECT_TRUE(fin);
}

TEST_F(Page, APageWhoseListChangedOnDiskIsToldToReload) {
    const auto [bob, jeton] = Session("bob", "motdepasse-bob");
    const WebResponse flux = site->Handle(Requete("GET", "/events?folder=Atelier", bob));
    bool fin = false;
    site->SweepNow();
    site->Tick();
    EXPECT_NE(site->StreamRead(flux.stream, fin).find("\"m-1-1\":0"), std::string::npos);
    std::string ini2 = kIni;
    ini2.replace(ini2.find("Machine1=tour|10.2.0.9"), 22, "Machine1=fraiseuse|10.2.0.10");
    dossier.Ecrire("Velmora.ini", ini2);
    site->SweepNow();
    site->Tick();
    EXPECT_EQ(site->StreamRead(flux.stream, fin), "event: reload\ndata: {}\n\n");
    site->StreamRead(flux.stream, fin);
    EXPECT_TRUE(fin);
}

TEST_F(Page, TheBrowsersLanguageChoosesTheTexts) {
    EXPECT_EQ(ChooseLanguage(""), Language::French);
    EXPECT_EQ(ChooseLanguage("en-US,en;q=0.9"), Language::English);
    EXPECT_EQ(ChooseLanguage("de-DE,de;q=0.9,en;q=0.8"), Language::English);
    EXPECT_EQ(ChooseLanguage("en;q=0.5, fr-CH"), Language::French);
    EXPECT_EQ(ChooseLanguage("de, it;q=0.3"), Language::French);
    WebRequest r = Requete("GET", "/login");
    r.headers.emplace_back("accept-language", "en-GB");
    const std::string anglais = site->Handle(r).body;
    EXPECT_NE(anglais.find("<html lang=\"en\">"), std::string::npos);
    EXPECT_NE(anglais.find(">Password<"), std::string::npos);
    EXPECT_NE(site->Handle(Requete("GET", "/login")).body.find(">Mot de passe<"),
              std::string::npos);
}

// The running relay: log-in, wake and status over real HTTP connections on loopback.
TEST(PageBoutEnBout, ThePageOfTheRunningRelayWakesForAReceiverOnLoopback) {
    Dossier d;
    test::RecepteurUDP udp;
    const std::string ini =
        d.Ecrire("Velmora.ini", "[Bureau]\nNbMachines=1\nMachine1=pc1|127.0.0.1|255.255.255.255|" +
                                    std::to_string(udp.Port()) + "|00-11-22-33-44-55|||\n");
    const std::string users = d.Ecrire("users", "");
    std::string e;
    ASSERT_TRUE(AddUser(users, "alice", {}, "motdepasse-alice", e)) << e;
    test::Relais relais({"--config", "/dev/null", "--listen", "127.0.0.1:0", "--machines", ini,
                         "--users", users, "--status-interval", "1"});
    ASSERT_GT(relais.Port(), 0) << relais.Journal();
    const auto cookie = [](const std::string& reponse, const std::string& nom) {
        std::smatch m;
        std::regex_search(reponse, m, std::regex("Set-Cookie: " + nom + "=([0-9a-f]+)"));
        return nom + "=" + m[1].str();
    };
    const auto post = [&](const std::string& cible, const std::string& entetes,
                          const std::string& corps) {
        return test::Echanger(relais.Port(),
                              "POST " + cible + " HTTP/1.1\r\nHost: x\r\n" + entetes +
                                  "Content-Type: application/x-www-form-urlencoded\r\n"
                                  "Content-Length: " +
                                  std::to_string(corps.size()) + "\r\n\r\n" + corps);
    };
    const std::string formulaire = test::Get(relais.Port(), "/login");
    ASSERT_EQ(test::Statut(formulaire), 200) << formulaire;
    const std::string nonce = cookie(formulaire, kLoginCookie);
    std::string r = post("/login", "Cookie: " + nonce + "\r\n",
                         "u=alice&p=motdepasse-alice&t=" + nonce.substr(nonce.find('=') + 1));
    ASSERT_EQ(test::Statut(r), 303) << r;
    const std::string session = cookie(r, kSessionCookie);
    const std::string page = test::Echanger(
        relais.Port(), "GET / HTTP/1.1\r\nHost: x\r\nCookie: " + session + "\r\n\r\n");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(page, m, std::regex("data-csrf=\"([0-9a-f]+)\""))) << page;
    EXPECT_NE(page.find("Content-Security-Policy: default-src 'self'"), std::string::npos);
    // Without the token: refused, nothing sent.
    r = post("/wake", "Cookie: " + session + "\r\n", "folder=Bureau&machine=1&name=pc1");
    EXPECT_EQ(test::Statut(r), 403);
    EXPECT_EQ(udp.Recevoir(300), "");
    r = post("/wake", "Cookie: " + session + "\r\nX-CSRF-Token: " + m[1].str() + "\r\n",
             "folder=Bureau&machine=1&name=pc1");
    EXPECT_EQ(test::Statut(r), 200) << r;
    const std::string paquet = udp.Recevoir(2000);
    EXPECT_EQ(paquet.size(), 102u);
    EXPECT_EQ(paquet, test::PaquetAttendu("\x00\x11\x22\x33\x44\x55"s));
    // The stream stays open past the connection deadline and says that 127.0.0.1 answers.
    const std::string flux = test::Echanger(relais.Port(),
                                            "GET /events?folder=Bureau HTTP/1.1\r\nHost: x\r\n"
                                            "Cookie: " +
                                                session + "\r\n\r\n",
                                            "127.0.0.1", 3000);
    EXPECT_NE(flux.find("text/event-stream"), std::string::npos) << flux;
    EXPECT_NE(flux.find("\"m-0-1\":1"), std::string::npos) << flux;
    // The wake request of the relay itself is still answered beside the page.
    EXPECT_EQ(test::Statut(test::Get(relais.Port(), "/?mac=zz")), 400);
    EXPECT_EQ(relais.Arreter(SIGTERM), 0) << relais.Journal();
}

// The status sweep as the hardened service runs it: an unprivileged user without new
// privileges (the ping program's capability is then ignored), in a network namespace of the
// test's own whose ICMP datagram range covers that user's group, then does not.
TEST(PageSondes, TheSweepWorksUnprivilegedWhenThePingRangeCoversTheGroup) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a namespace and become nobody";
    const std::string ns = "velmora-sweep-" + std::to_string(::getpid());
    ASSERT_EQ(std::system(("ip netns add " + ns).c_str()), 0);
    const auto essai = [&](const char* plage) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int fd = ::open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0 || ::setns(fd, CLONE_NEWNET) != 0) ::_exit(3);
            std::ofstream("/proc/sys/net/ipv4/ping_group_range") << plage;
            if (std::system("ip link set lo up") != 0) ::_exit(5);
            if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::setgroups(0, nullptr) != 0 ||
                ::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0)
                ::_exit(4);
            const auto r = SystemProber(300)->Probe({"127.0.0.1", "127.0.0.2"});
            ::_exit(r.size() == 2 && r[0] && r[1] ? 0 : 1);
        }
        int etat = 0;
        ::waitpid(pid, &etat, 0);
        return WIFEXITED(etat) ? WEXITSTATUS(etat) : -1;
    };
    EXPECT_EQ(essai("0 2147483647"), 0);
    EXPECT_EQ(essai("1 0"), 1) << "without the range, an unprivileged sweep hears nothing";
    EXPECT_EQ(std::system(("ip netns del " + ns).c_str()), 0);
}

TEST(PageHostile, FormsCookiesAndUsersFilesOfAnyShapeAreReadSafely) {
    const auto champs = ParseForm("a=%zz&b=1&b=2&=x&c&d=%3Cb%3E+%C3%A9&%");
    EXPECT_EQ(champs.count("a"), 0u);
    EXPECT_EQ(champs.at("b"), "1");
    EXPECT_EQ(champs.at(""), "x");
    EXPECT_EQ(champs.at("c"), "");
    EXPECT_EQ(champs.at("d"), "<b> é");
    EXPECT_TRUE(ParseForm(std::string(100000, '&')).empty());
    EXPECT_EQ(CookieValue("x=1; velmora_session=abc;y", kSessionCookie), "abc");
    EXPECT_EQ(CookieValue("velmora_session_x=1;  velmora_session=", kSessionCookie), "");
    EXPECT_EQ(CookieValue(";;;=;", kSessionCookie), "");
    EXPECT_EQ(EscapeHtml("<a href='x'>&\"</a>"), "&lt;a href=&#39;x&#39;&gt;&amp;&quot;&lt;/a&gt;");
    // A users file grown past its limit is refused; the users read before stay.
    Dossier d;
    const std::string f = d.Ecrire("users", "");
    std::string e;
    ASSERT_TRUE(AddUser(f, "alice", {}, "motdepasse-alice", e)) << e;
    UserFile fichier(f);
    ASSERT_TRUE(fichier.Refresh(e)) << e;
    d.Ecrire("users", std::string(2 * 1024 * 1024, 'x'));
    EXPECT_FALSE(fichier.Refresh(e));
    EXPECT_NE(fichier.Find("alice"), nullptr);
    // Binary garbage and endless lines give no user and no crash.
    std::string bruit;
    for (int i = 0; i < 5000; ++i) bruit += static_cast<char>((i * 7919) % 256);
    EXPECT_TRUE(ParseUsers(bruit).empty());
    EXPECT_TRUE(ParseUsers(std::string(200000, ':')).empty());
}

TEST(PageFichiers, TheEmbeddedFilesStayUnderSixtyKilobytes) {
    size_t total = 0;
    for (const Asset& a : Assets()) total += a.content.size();
    EXPECT_EQ(Assets().size(), 2u);
    EXPECT_LT(total, 60u * 1024);
    EXPECT_TRUE(Site::Serves("/"));
    EXPECT_TRUE(Site::Serves("/events?folder=x"));
    EXPECT_FALSE(Site::Serves("/?mac=00-11-22-33-44-55&key=x"));
    EXPECT_FALSE(Site::Serves("/wake/../etc"));
}

}  // namespace
}  // namespace velmora::relay::web
