// The relay's parsers: the query of a request, MAC addresses, ports, addresses and blocks, and
// its settings from the command line and the configuration file, hostile input included.
#include <gtest/gtest.h>

#include "Aides.h"
#include "relay/Query.h"
#include "relay/Settings.h"

namespace velmora::relay {
namespace {

TEST(Requete, KeysIgnoringCaseDecodedAndOthersIgnored) {
    WakeQuery q;
    std::string raison;
    ASSERT_TRUE(ParseQuery("/wow.php?IP=pc.example&Mac=00%3A11%3a22:33:44:55&PORT=7&x=1&key=a+b", q,
                           raison));
    EXPECT_EQ(q.ip, "pc.example");
    EXPECT_EQ(q.mac, "00:11:22:33:44:55");
    EXPECT_EQ(q.port, "7");
    EXPECT_EQ(q.key, "a b");
    ASSERT_TRUE(ParseQuery("/no-query", q, raison));
    EXPECT_FALSE(q.mac || q.ip || q.port || q.key);
    ASSERT_TRUE(ParseQuery("/?&&mac&port=#key=fragment", q, raison));
    EXPECT_EQ(q.mac, "");
    EXPECT_EQ(q.port, "");
    EXPECT_FALSE(q.key);
}

TEST(Requete, MalformedQueriesAreRefusedWithAReason) {
    WakeQuery q;
    std::string raison;
    for (const char* cible : {"/?mac=%", "/?mac=%4", "/?mac=%zz", "/?%=1", "/?mac=1&MAC=2",
                              "/?key=a%0Ab", "/?ip=%00", "/?port=%7f"}) {
        EXPECT_FALSE(ParseQuery(cible, q, raison)) << cible;
        EXPECT_FALSE(raison.empty());
        EXPECT_EQ(raison.find('\n'), std::string::npos);
    }
}

TEST(Requete, ValuesOfMacPortAddressAndBlock) {
    Mac mac;
    ASSERT_TRUE(ParseMac("aa-BB-cc-DD-ee-FF", mac));
    EXPECT_EQ(MacText(mac), "aa:bb:cc:dd:ee:ff");
    for (const char* faux :
         {"", "aa:bb:cc:dd:ee", "aa:bb:cc:dd:ee:ff:00", "aa:bb-cc:dd:ee:ff", "gg:bb:cc:dd:ee:ff"})
        EXPECT_FALSE(ParseMac(faux, mac)) << faux;
    int port = 0;
    EXPECT_TRUE(ParsePort("65535", port));
    EXPECT_EQ(port, 65535);
    for (const char* faux : {"", "0", "65536", "-1", "9a", "000009", " 9"})
        EXPECT_FALSE(ParsePort(faux, port)) << faux;
    std::uint32_t adresse = 0;
    EXPECT_TRUE(ParseIPv4("192.168.1.255", adresse));
    EXPECT_EQ(IPv4Text(adresse), "192.168.1.255");
    for (const char* faux : {"", "1.2.3", "1.2.3.256", "01.2.3.4", "1.2.3.4 ", "0x1.2.3.4"})
        EXPECT_FALSE(ParseIPv4(faux, adresse)) << faux;
    Cidr bloc;
    ASSERT_TRUE(ParseCidr("203.0.113.77/24", bloc));
    EXPECT_TRUE(bloc.Contains(0xCB007101));
    EXPECT_FALSE(bloc.Contains(0xCB007201));
    ASSERT_TRUE(ParseCidr("0.0.0.0/0", bloc));
    EXPECT_TRUE(bloc.Contains(0xFFFFFFFF));
    ASSERT_TRUE(ParseCidr("10.0.0.1", bloc));
    EXPECT_FALSE(bloc.Contains(0x0A000002));
    for (const char* faux : {"10.0.0.0/33", "10.0.0.0/", "10.0.0.0/a", "/8", "10.0.0.0/008"})
        EXPECT_FALSE(ParseCidr(faux, bloc)) << faux;
    EXPECT_TRUE(IsHostName("maison.example.org"));
    for (const char* faux : {"", "a..b", ".a", "a b", "a/b", "a%b"})
        EXPECT_FALSE(IsHostName(faux)) << faux;
    EXPECT_TRUE(ConstantTimeEquals("secret", "secret"));
    EXPECT_FALSE(ConstantTimeEquals("secret", "secreT"));
    EXPECT_FALSE(ConstantTimeEquals("secret", "secret2"));
    EXPECT_FALSE(ConstantTimeEquals("secret", ""));
}

TEST(Requete, AMacAddressIsSixFullPairsWithOneKindOfSeparator) {
    Mac mac;
    for (const char* bon : {"00:11:22:33:44:05", "00-11-22-33-44-05", "001122334405"}) {
        ASSERT_TRUE(ParseMac(bon, mac)) << bon;
        EXPECT_EQ(MacText(mac), "00:11:22:33:44:05");
    }
    // A short pair would wake another machine; other separators, mixed ones, blanks, a sign
    // or a seventh pair are no MAC address either.
    for (const char* faux :
         {"00:11:22:33:44:5", "00-1-2-3-4-5", "0:11:22:33:44:55", "00x11x22x33x44x55",
          "00.11.22.33.44.55", "00:11-22:33:44:55", "00:11:22:33:44:55 ", " 00:11:22:33:44:55",
          "00:11:22:33:44:+5", "0011.2233.4455", "00112233445", "0011223344556", "00::11:22:33:44",
          "001122:334455", "00:11:22:33:44:55:66"})
        EXPECT_FALSE(ParseMac(faux, mac)) << faux;
}

TEST(Requete, ThePasswordOfABasicAuthorizationHeader) {
    std::string mdp;
    ASSERT_TRUE(BasicPassword("Basic d2FrZTpLRVk=", mdp));  // wake:KEY
    EXPECT_EQ(mdp, "KEY");
    ASSERT_TRUE(BasicPassword("BASIC OmE6Yg==", mdp));  // ":a:b": the first colon ends the user
    EXPECT_EQ(mdp, "a:b");
    ASSERT_TRUE(BasicPassword("Basic d2FrZTo=", mdp));  // "wake:"
    EXPECT_EQ(mdp, "");
    for (const char* faux :
         {"", "Basic", "Basic ", "Bearer d2FrZTpLRVk=", "Digest d2FrZTpLRVk=", "Basicd2FrZTpLRVk=",
          "Basic d2FrZQ==",        // no colon
          "Basic d2Fr=ZTpLRVk=",   // padding inside
          "Basic d2FrZTpLRVk===",  // too much padding
          "Basic d2FrZTpLR",       // a lone sextet left over
          "Basic d2Fr ZTpLRVk=",   // a blank inside
          "Basic d2FrZTpL%VZ=",    // not base64
          "Basic d2FrZTpLCg=="})   // "wake:K\n": a control character
        EXPECT_FALSE(BasicPassword(faux, mdp)) << faux;
}

TEST(Reglages, CommandLineAndFileWithTheCommandLineWinning) {
    Options o;
    std::string erreur;
    ASSERT_TRUE(ParseCommandLine(
        {"--listen", "127.0.0.1:8080", "--allow-mac=00:11:22:33:44:55", "--rate", "5"}, o, erreur));
    ASSERT_TRUE(
        ParseConfigText("# comment\n; other\n\n  listen = 0.0.0.0:80 \r\nmode=internet\n"
                        "allow-mac = 02:00:00:00:00:01\nallow-dest = 10.0.0.0/8\n"
                        "allow-dest = 192.0.2.1\n",
                        o, erreur))
        << erreur;
    EXPECT_EQ(o.listen, "127.0.0.1:8080");
    EXPECT_EQ(o.mode, "internet");
    EXPECT_EQ(o.allowMac, std::vector<std::string>{"00:11:22:33:44:55"});
    EXPECT_EQ(o.allowDest.size(), 2u);
    Settings s;
    ASSERT_TRUE(CheckSettings(o, s, erreur)) << erreur;
    EXPECT_TRUE(s.loopbackOnly);
    EXPECT_EQ(s.rate, 5u);
    EXPECT_EQ(s.mode, Mode::Internet);
    EXPECT_TRUE(s.key.empty());

    for (const auto& ligne : std::vector<std::vector<std::string>>{
             {"--listen"}, {"--unknown", "1"}, {"stray"}, {"--key"}}) {
        Options x;
        EXPECT_FALSE(ParseCommandLine(ligne, x, erreur)) << ligne[0];
    }
}

TEST(Reglages, HostileConfigurationTextIsRefusedWithItsLine) {
    std::string erreur;
    for (const std::string& texte :
         std::vector<std::string>{"listen 127.0.0.1:80\n", "nom = 1\n", "rate = 1\nrate = 2\n",
                                  "\n\nkey = x\n", std::string(1000, '=')}) {
        Options o;
        EXPECT_FALSE(ParseConfigText(texte, o, erreur)) << texte;
        EXPECT_EQ(erreur.rfind("line ", 0), 0u) << erreur;
        EXPECT_LT(erreur.size(), 120u);
    }
    Options o;
    EXPECT_FALSE(ParseConfigText(std::string("listen = 1\0x", 12) + "\nmode\n", o, erreur));
}

TEST(Reglages, UnsafeOrMalformedSettingsAreRefused) {
    test::Dossier dossier;
    const std::string bonne = dossier.Ecrire("bonne", "0123456789abcdef-._~\n");
    struct Cas {
        Options o;
        const char* attendu;
    };
    auto avec = [](std::string listen, std::string cle = "") {
        Options o;
        o.listen = listen;
        if (!cle.empty()) o.keyFile = cle;
        return o;
    };
    std::vector<Cas> cas;
    cas.push_back({Options{}, "--listen"});
    cas.push_back({avec("0.0.0.0:8080"), "--key-file is required"});
    cas.push_back({avec("[::]:8080"), "--key-file is required"});
    cas.push_back({avec("127.0.0.1"), "--listen must be"});
    cas.push_back({avec("127.0.0.1:65536"), "--listen must be"});
    cas.push_back({avec("localhost:80"), "--listen must be"});
    cas.push_back({avec("0.0.0.0:80", dossier.Ecrire("courte", "short")), "16 to 256"});
    cas.push_back({avec("0.0.0.0:80", dossier.Ecrire("url", "0123456789abcdef&x=1")), "only"});
    cas.push_back({avec("0.0.0.0:80", dossier.Ecrire("absente", "") + "-x"), "cannot read"});
    Options internet = avec("127.0.0.1:1");
    internet.mode = "internet";
    cas.push_back({internet, "--allow-dest"});
    Options mode = avec("127.0.0.1:1");
    mode.mode = "wan";
    cas.push_back({mode, "--mode"});
    Options taux = avec("127.0.0.1:1");
    for (const char* r : {"0", "", "-1", "99999999999", "1e3"}) {
        taux.rate = r;
        cas.push_back({taux, "--rate"});
    }
    Options listes = avec("127.0.0.1:1");
    listes.allowDest = {"10.0.0.0/40"};
    cas.push_back({listes, "--allow-dest"});
    listes.allowDest = {};
    listes.allowMac = {"00:11"};
    cas.push_back({listes, "--allow-mac"});
    Options diffusion = avec("127.0.0.1:1");
    diffusion.broadcast = "255.255.255";
    cas.push_back({diffusion, "--broadcast"});
    for (const auto& c : cas) {
        Settings s;
        std::string erreur;
        EXPECT_FALSE(CheckSettings(c.o, s, erreur)) << c.attendu;
        EXPECT_NE(erreur.find(c.attendu), std::string::npos) << erreur;
    }
    Settings s;
    std::string erreur;
    ASSERT_TRUE(CheckSettings(avec("[::]:8080", bonne), s, erreur)) << erreur;
    EXPECT_EQ(s.key, "0123456789abcdef-._~");
    EXPECT_FALSE(s.loopbackOnly);
    EXPECT_EQ(s.listen.ss_family, AF_INET6);
}

TEST(Reglages, LoadSettingsReadsTheDefaultFileOnlyWhenPresent) {
    test::Dossier dossier;
    Settings s;
    std::string erreur;
    EXPECT_TRUE(LoadSettings({"--listen", "127.0.0.1:1"}, "/nonexistent/relay.conf", s, erreur));
    EXPECT_FALSE(LoadSettings({"--config", "/nonexistent/relay.conf"}, "", s, erreur));
    const std::string fichier = dossier.Ecrire("r.conf", "listen = 127.0.0.2:9\nrate = x\n");
    EXPECT_FALSE(LoadSettings({}, fichier, s, erreur));
    EXPECT_NE(erreur.find("--rate"), std::string::npos) << erreur;
    EXPECT_TRUE(LoadSettings({"--rate", "7"}, fichier, s, erreur)) << erreur;
    EXPECT_EQ(s.listenText, "127.0.0.2:9");
}

}  // namespace
}  // namespace velmora::relay
