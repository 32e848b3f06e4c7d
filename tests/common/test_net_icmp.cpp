// ICMP error reports that are not a verdict: a router's redirect arrives before the host's
// reply, and the single ping and the sweep must still see the reply, by both socket kinds.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/net/Balayage.h"
#include "common/net/Sondes.h"
#include "test_net_hotes.h"

namespace velmora::net {
namespace {

// A shares its link with B (the router of its default route) and C (198.18.0.3), all three on
// a bridge inside B. C answers for 198.18.5.0/24 after 5 ms; B routes that block through C,
// so each request from A goes back out the link it came in on and B sends A a redirect first.
// A ignores redirects for its routing, so every request takes that path again.
class Redirection : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!m_espaces.Pret()) VELMORA_PAIR_INDISPONIBLE(m_espaces.Raison());
        m_c = "vlmC" + std::to_string(::getpid());
        test::Commande("ip netns del " + m_c);
        const std::vector<std::pair<std::string, std::string>> etapes = {
            {"", "ip netns add " + m_c},
            {m_c, "ip link set lo up"},
            {m_espaces.A(), "sysctl -w net.ipv4.ping_group_range='0 2147483647'"},
            {m_espaces.A(), "sysctl -w net.ipv4.conf.all.accept_redirects=0"},
            {m_espaces.A(), "sysctl -w net.ipv4.conf.va.accept_redirects=0"},
            {m_espaces.B(), "ip link add vlmpont type bridge"},
            {m_espaces.B(), "ip link set vlmpont up"},
            {m_espaces.B(), "ip addr del 198.18.0.2/24 dev vb"},
            {m_espaces.B(), "ip link set vb master vlmpont"},
            {m_espaces.B(), "ip addr add 198.18.0.2/24 brd + dev vlmpont"},
            {m_espaces.B(), "ip link add vc type veth peer name vcc netns " + m_c},
            {m_espaces.B(), "ip link set vc master vlmpont"},
            {m_espaces.B(), "ip link set vc up"},
            {m_espaces.B(), "sysctl -w net.ipv4.conf.all.send_redirects=1"},
            {m_espaces.B(), "sysctl -w net.ipv4.conf.vlmpont.send_redirects=1"},
            {m_c, "ip addr add 198.18.0.3/24 dev vcc"},
            {m_c, "ip link set vcc up"},
            {m_c, "sysctl -w net.ipv4.ip_forward=1"},
            {m_espaces.B(), "ip route add 198.18.5.0/24 via 198.18.0.3"},
        };
        for (const auto& [ns, ligne] : etapes)
            ASSERT_TRUE(ns.empty() ? test::Commande(ligne) : test::Espaces::Dans(ns, ligne))
                << ligne;
        ASSERT_TRUE(test::Espaces::LienPret(m_c, "vcc") &&
                    test::Espaces::LienPret(m_espaces.B(), "vc"));
        m_lents = std::make_unique<test::HotesLents>(m_c, 5);
        ASSERT_TRUE(m_lents->Pret()) << "no TUN device for the answering hosts";
    }
    void TearDown() override {
        m_lents.reset();
        if (!m_c.empty()) test::Commande("ip netns del " + m_c);
    }

    // Runs `essai` from A on a fresh address of 198.18.5.0/24 until a redirect came during
    // it (the router spaces its redirects to one host further each time); the result of that
    // run, or false when no redirect ever came.
    bool AvecRedirection(const std::function<bool(const std::string&)>& essai) {
        for (int tour = 0; tour < 40; ++tour) {
            const std::string adresse = "198.18.5." + std::to_string(++m_suivante);
            const long long avant = test::CompteurIcmp(m_espaces.A(), "InRedirects");
            bool resultat = false;
            EXPECT_TRUE(test::Espaces::Executer(m_espaces.A(), [&] { resultat = essai(adresse); }));
            if (test::CompteurIcmp(m_espaces.A(), "InRedirects") > avant) return resultat;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ADD_FAILURE() << "the router sent no redirect";
        return false;
    }

    test::Espaces m_espaces;
    std::string m_c;
    std::unique_ptr<test::HotesLents> m_lents;
    int m_suivante = 0;
};

TEST_F(Redirection, ARedirectBeforeTheReplyIsNoVerdictForThePingNorTheSweep) {
    for (MethodePing methode : {MethodePing::DatagrammeICMP, MethodePing::SocketBrut}) {
        SCOPED_TRACE(static_cast<int>(methode));
        EXPECT_TRUE(AvecRedirection([&](const std::string& adresse) {
            std::string reponse;
            return Pinger(adresse, reponse, 1000, methode) && reponse == adresse;
        })) << "single ping";
        EXPECT_TRUE(AvecRedirection([&](const std::string& adresse) {
            OptionsBalayage options;
            options.tempoMs = 1000;
            options.methode = methode;
            bool repondu = false;
            Balayer(
                {adresse}, [&](const ReponseBalayage& r) { repondu = r.repondu; }, nullptr,
                options);
            return repondu;
        })) << "sweep";
    }
}

}  // namespace
}  // namespace velmora::net
