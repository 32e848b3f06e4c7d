// The relay's decision for one request, with a stand-in network: the order of the checks, the
// destination in each mode, the rate limits and the journal line.
#include <gtest/gtest.h>

#include "relay/RateLimiter.h"
#include "relay/Relay.h"

namespace velmora::relay {
namespace {

class FauxReseau : public Network {
  public:
    std::vector<std::string> envois;                      // "address:port mac"
    std::string erreur;                                   // non-empty: every send fails with it
    std::optional<std::uint32_t> diffusion = 0xC0A801FF;  // 192.168.1.255
    int recherchesDiffusion = 0;

    bool Send(std::uint32_t adresse, int port, const Mac& mac, std::string& e) override {
        if (!erreur.empty()) return e = erreur, false;
        envois.push_back(IPv4Text(adresse) + ':' + std::to_string(port) + ' ' + MacText(mac));
        return true;
    }
    std::optional<std::uint32_t> DefaultBroadcast() override {
        ++recherchesDiffusion;
        return diffusion;
    }
    bool Resolve(const std::string& nom, std::uint32_t& adresse) override {
        if (nom != "maison.example") return false;
        adresse = 0xCB007109;  // 203.0.113.9
        return true;
    }
};

Settings Reglages(Mode mode = Mode::Lan) {
    Settings s;
    s.key = "0123456789abcdef";
    s.mode = mode;
    s.rate = 1000;
    if (mode == Mode::Internet) {
        Cidr c;
        ParseCidr("203.0.113.0/24", c);
        s.allowDests.push_back(c);
    }
    return s;
}

Request Get(const std::string& cible, const std::string& client = "198.51.100.1") {
    return Request{"GET", cible, client};
}

const std::string kOk = "mac=00-11-22-33-44-55&key=0123456789abcdef";

TEST(Relais, LanModeSendsToTheBroadcastAddressOnTheRequestedPort) {
    FauxReseau reseau;
    Relay relais(Reglages(), reseau);
    Answer a = relais.Handle(Get("/w?ip=10.9.9.9&port=7&" + kOk));
    EXPECT_EQ(a.status, 200u);
    EXPECT_EQ(a.body, "Magic packet sent to 192.168.1.255:7 for 00:11:22:33:44:55\n");
    EXPECT_EQ(relais.Handle(Get("/?" + kOk + "&port=")).status, 200u);
    EXPECT_EQ(reseau.envois, (std::vector<std::string>{"192.168.1.255:7 00:11:22:33:44:55",
                                                       "192.168.1.255:9 00:11:22:33:44:55"}));
    EXPECT_EQ(reseau.recherchesDiffusion, 1) << "looked up once, not per request";

    Settings s = Reglages();
    s.broadcast = 0x7F000001;
    relais.Reload(s);
    EXPECT_EQ(relais.Handle(Get("/?" + kOk)).destination, "127.0.0.1:9");
    reseau.diffusion.reset();
    s.broadcast.reset();
    relais.Reload(s);
    a = relais.Handle(Get("/?" + kOk));
    EXPECT_EQ(a.status, 500u);
    EXPECT_EQ(a.body, "500 Internal Server Error: no broadcast address: set --broadcast\n");
}

TEST(Relais, InternetModeSendsToTheRequestedAddressInsideTheAllowedBlocks) {
    FauxReseau reseau;
    Relay relais(Reglages(Mode::Internet), reseau);
    EXPECT_EQ(relais.Handle(Get("/?ip=203.0.113.5&port=4343&" + kOk)).status, 200u);
    EXPECT_EQ(relais.Handle(Get("/?ip=maison.example&" + kOk)).status, 200u);
    EXPECT_EQ(reseau.envois, (std::vector<std::string>{"203.0.113.5:4343 00:11:22:33:44:55",
                                                       "203.0.113.9:9 00:11:22:33:44:55"}));
    struct Cas {
        std::string ip;
        unsigned statut;
        std::string raison;
    };
    for (const Cas& c : std::vector<Cas>{{"203.0.114.5", 403, "destination not allowed"},
                                         {"255.255.255.255", 403, "destination not allowed"},
                                         {"", 400, "missing address (ip)"},
                                         {"ailleurs.example", 400, "address (ip) does not resolve"},
                                         {"a%2Fb", 400, "bad address (ip)"}}) {
        const Answer a = relais.Handle(Get("/?ip=" + c.ip + "&" + kOk));
        EXPECT_EQ(a.status, c.statut) << c.ip;
        EXPECT_EQ(a.reason, c.raison) << c.ip;
    }
    EXPECT_EQ(reseau.envois.size(), 2u);
}

TEST(Relais, ChecksComeInOrderAndNothingIsSentOnARefusal) {
    FauxReseau reseau;
    Settings s = Reglages();
    Mac permise;
    ParseMac("00:11:22:33:44:55", permise);
    s.allowMacs.push_back(permise);
    Relay relais(s, reseau);
    struct Cas {
        Request requete;
        unsigned statut;
        std::string raison;
    };
    const std::vector<Cas> cas = {
        {{"HEAD", "/?" + kOk, "c"}, 405, "only GET is accepted"},
        {{"POST", "/?" + kOk, "c"}, 405, "only GET is accepted"},
        {Get("/?mac=zz&key=%"), 400, "Bad percent escape in the query"},
        {Get("/?mac=zz"), 403, "missing key"},
        {Get("/?mac=zz&key=0123456789abcdeF"), 403, "wrong key"},
        {Get("/?mac=zz&key=0123456789abcdef"), 400, "bad MAC address"},
        {Get("/?key=0123456789abcdef"), 400, "bad MAC address"},
        {Get("/?mac=00:11:22:33:44:56&port=x&key=0123456789abcdef"), 403,
         "MAC address not allowed"},
        {Get("/?port=70000&" + kOk), 400, "bad port"},
    };
    for (const auto& c : cas) {
        const Answer a = relais.Handle(c.requete);
        EXPECT_EQ(a.status, c.statut) << c.requete.target;
        EXPECT_EQ(a.reason, c.raison) << c.requete.target;
        EXPECT_EQ(a.body.back(), '\n');
    }
    EXPECT_TRUE(reseau.envois.empty());
    reseau.erreur = "Network is unreachable";
    const Answer a = relais.Handle(Get("/?" + kOk));
    EXPECT_EQ(a.status, 500u);
    EXPECT_EQ(a.body,
              "500 Internal Server Error: cannot send the packet: Network is unreachable\n");
    EXPECT_EQ(LogLine(0, "198.51.100.1", a),
              "1970-01-01T00:00:00Z client=198.51.100.1 mac=00:11:22:33:44:55 "
              "dest=192.168.1.255:9 result=500 cannot send the packet: Network is unreachable");
}

TEST(Relais, WithoutAKeyOnLoopbackAnyKeyIsIgnored) {
    FauxReseau reseau;
    Settings s = Reglages();
    s.key.clear();
    Relay relais(s, reseau);
    EXPECT_EQ(relais.Handle(Get("/?mac=00:11:22:33:44:55")).status, 200u);
    EXPECT_EQ(relais.Handle(Get("/?mac=00:11:22:33:44:55&key=whatever")).status, 200u);
}

TEST(Relais, FailuresAreLimitedApartFromRequestsWithTheRightKey) {
    FauxReseau reseau;
    Settings s = Reglages();
    s.rate = 3;
    Relay relais(s, reseau);
    const auto t0 = std::chrono::steady_clock::now();
    auto requete = [&](const std::string& client, const std::string& cible, int secondes) {
        Request r = Get(cible, client);
        r.now = t0 + std::chrono::seconds(secondes);
        return relais.Handle(r).status;
    };
    // Wrong keys count against the client, so keys cannot be tried quickly...
    EXPECT_EQ(requete("a", "/?key=x", 0), 403u);
    EXPECT_EQ(requete("a", "/?key=y", 0), 403u);
    EXPECT_EQ(requete("a", "/?mac=1&key=%", 0), 400u);
    EXPECT_EQ(requete("a", "/?key=z", 0), 429u);
    // ...but never against the same address's requests with the right key.
    EXPECT_EQ(requete("a", "/?" + kOk, 0), 200u);
    EXPECT_EQ(requete("a", "/?" + kOk, 0), 200u);
    EXPECT_EQ(requete("a", "/?" + kOk, 0), 200u);
    EXPECT_EQ(requete("a", "/?" + kOk, 0), 429u);
    EXPECT_EQ(requete("a", "/?" + kOk, 20), 200u) << "one request back every 20 s";
    EXPECT_EQ(requete("a", "/?" + kOk, 20), 429u);

    // Wrong keys from many addresses: ten times the rate in all, then every failure is 429...
    unsigned refusees = 0;
    for (int i = 0; i < 40; ++i) refusees += requete("x" + std::to_string(i), "/?key=x", 20) == 403;
    EXPECT_EQ(refusees, 30u) << "ten times the rate";
    EXPECT_EQ(requete("y", "/?key=x", 20), 429u);
    EXPECT_EQ(requete("y", "/?mac=1&key=%", 20), 429u);
    // ...while a client with the right key is answered as usual.
    EXPECT_EQ(requete("b", "/?" + kOk, 20), 200u);
    EXPECT_EQ(requete("c", "/?" + kOk, 20), 200u);
}

TEST(Relais, TheKeyInAnAuthorizationHeaderOrInTheQuery) {
    FauxReseau reseau;
    Relay relais(Reglages(), reseau);
    auto avec = [&](const std::string& cible, const std::string& entete) {
        Request r = Get(cible);
        r.authorization = entete;
        return relais.Handle(r);
    };
    const std::string mac = "/?mac=00:11:22:33:44:55";
    // "wake:0123456789abcdef" and "wake:0123456789abcdeF" in base64, as libcurl sends them.
    EXPECT_EQ(avec(mac, "Basic d2FrZTowMTIzNDU2Nzg5YWJjZGVm").status, 200u);
    EXPECT_EQ(avec(mac, "basic   d2FrZTowMTIzNDU2Nzg5YWJjZGVm ").status, 200u);
    Answer a = avec(mac, "Basic d2FrZTowMTIzNDU2Nzg5YWJjZGVG");
    EXPECT_EQ(a.status, 403u);
    EXPECT_EQ(a.reason, "wrong key");
    // The header's key wins over the query's: a wrong header is not saved by key=.
    EXPECT_EQ(avec(mac + "&key=0123456789abcdef", "Basic d2FrZTowMTIzNDU2Nzg5YWJjZGVG").status,
              403u);
    // Older templates with key= keep working; another scheme leaves the query's key.
    EXPECT_EQ(avec("/?" + kOk, "").status, 200u);
    EXPECT_EQ(avec("/?" + kOk, "Bearer abc").status, 200u);
    EXPECT_EQ(avec(mac, "Bearer abc").reason, "missing key");
    EXPECT_EQ(reseau.envois.size(), 4u);
}

TEST(Relais, AHostNameIsLookedUpAwayFromTheRequest) {
    FauxReseau reseau;
    Relay relais(Reglages(Mode::Internet), reseau);
    const Answer attente = relais.Begin(Get("/?ip=maison.example&port=7&" + kOk));
    ASSERT_TRUE(attente.lookup);
    EXPECT_EQ(attente.lookup->name, "maison.example");
    EXPECT_EQ(attente.status, 0u);
    EXPECT_TRUE(reseau.envois.empty()) << "nothing sent before the name is known";
    EXPECT_EQ(relais.Finish(attente, 0xCB007109).status, 200u);
    EXPECT_EQ(reseau.envois, std::vector<std::string>{"203.0.113.9:7 00:11:22:33:44:55"});
    Answer a = relais.Finish(attente, 0x0A000001);  // 10.0.0.1: outside --allow-dest
    EXPECT_EQ(a.status, 403u);
    EXPECT_EQ(a.destination, "10.0.0.1");
    a = relais.Finish(attente, std::nullopt);
    EXPECT_EQ(a.status, 400u);
    EXPECT_EQ(a.body, "400 Bad Request: address (ip) does not resolve\n");
    EXPECT_FALSE(a.lookup);
    EXPECT_EQ(reseau.envois.size(), 1u);
}

TEST(Limiteur, TotalLimitAndBoundedClientTable) {
    RateLimiter limiteur(2, 8);
    const auto t0 = std::chrono::steady_clock::now();
    int acceptees = 0;
    for (int i = 0; i < 8; ++i) acceptees += limiteur.AllowFailure("c" + std::to_string(i), t0);
    EXPECT_EQ(acceptees, 8);
    // The table is full of clients that still have to wait: a new one is refused.
    EXPECT_TRUE(limiteur.AllowFailure("c0", t0));
    EXPECT_FALSE(limiteur.AllowFailure("nouveau", t0));
    EXPECT_EQ(limiteur.ClientCount(), 8u);
    // A minute later every bucket is full again: they are forgotten to make room.
    EXPECT_TRUE(limiteur.AllowFailure("nouveau", t0 + std::chrono::seconds(61)));
    EXPECT_EQ(limiteur.ClientCount(), 1u);
    // The total: ten times the rate per minute across all clients.
    RateLimiter total(1, 1000);
    acceptees = 0;
    for (int i = 0; i < 50; ++i) acceptees += total.AllowFailure("x" + std::to_string(i), t0);
    EXPECT_EQ(acceptees, 10);
}

}  // namespace
}  // namespace velmora::relay
