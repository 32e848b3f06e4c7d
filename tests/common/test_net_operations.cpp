// The network operations interface: the pause polls the stop request in slices and ends at
// once when it is asked; the operations of the process are the real ones unless replaced; the
// real stop hook is the tool runner's.
#include <gtest/gtest.h>

#include <chrono>

#include "common/net/Operations.h"
#include "common/platform/Outil.h"
#include "tests/shared/FauxReseau.h"

namespace velmora::net {
namespace {

TEST(Operations, PauseEndsAtTheFirstStopRequest) {
    int appels = 0;
    // A minute-long pause asked to stop at the third poll returns false at that poll.
    EXPECT_FALSE(Patienter(60000, [&] { return ++appels == 3; }));
    EXPECT_EQ(appels, 3);

    // Without a stop request it runs to its end, polling in slices of about a tenth.
    appels = 0;
    EXPECT_TRUE(Patienter(100, [&] { return ++appels < 0; }));
    EXPECT_GE(appels, 2);
    EXPECT_LE(appels, 11);

    // A zero pause polls nothing; no hook at all is a plain wait.
    appels = 0;
    EXPECT_TRUE(Patienter(0, [&] { return ++appels > 0; }));
    EXPECT_EQ(appels, 0);
    EXPECT_TRUE(Patienter(1, nullptr));
}

TEST(Operations, ReplacedOperationsGetTheCallsAndOutliveTheirReplacement) {
    EXPECT_EQ(OperationsCourantes(), OperationsReelles());
    auto faux = std::make_shared<fakes::FauxReseau>();
    faux->repondent = {"127.0.0.9"};
    DefinirOperations(faux);
    std::string reponse;
    EXPECT_TRUE(OperationsCourantes()->Pinger("127.0.0.9", reponse));
    EXPECT_EQ(reponse, "127.0.0.9");
    // A caller that took the operations keeps them for its whole run, even when the process
    // goes back to the real ones meanwhile.
    const auto tenues = OperationsCourantes();
    faux.reset();
    DefinirOperations(nullptr);
    EXPECT_FALSE(tenues->Pinger("127.0.0.8", reponse));
    EXPECT_EQ(static_cast<fakes::FauxReseau&>(*tenues).Appels(),
              (std::vector<std::string>{"ping 127.0.0.9", "ping 127.0.0.8"}));
    EXPECT_EQ(OperationsCourantes(), OperationsReelles());
}

TEST(Operations, TheRealStopRequestStopsARunningTool) {
    // A stop requested through the operations ends a tool that would run for a minute, and
    // what it printed before is kept.
    OperationsReelles()->DefinirArret([] { return true; });
    std::vector<std::string> lignes;
    int statut = 0;
    const auto debut = std::chrono::steady_clock::now();
    EXPECT_TRUE(platform::ExecuterOutil("sh -c 'echo debut; exec sleep 60'", &lignes,
                                        platform::OptionsOutil{60000, {}, {}, {}}, &statut));
    EXPECT_LT(std::chrono::steady_clock::now() - debut, std::chrono::seconds(30));
    EXPECT_EQ(statut, -1);
    // Without a request the tool runs to its end.
    OperationsReelles()->DefinirArret({});
    EXPECT_TRUE(platform::ExecuterOutil("sh -c 'echo fin'", &lignes,
                                        platform::OptionsOutil{60000, {}, {}, {}}, &statut));
    EXPECT_EQ(statut, 0);
    ASSERT_FALSE(lignes.empty());
    EXPECT_EQ(lignes[0], "fin");
}

}  // namespace
}  // namespace velmora::net
