// The network operations interface: the pause polls the stop request in slices and ends at
// once when it is asked; the operations of the process are the real ones unless replaced; the
// real stop hook is the tool runner's.
#include <gtest/gtest.h>

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

TEST(Operations, ProcessOperationsAreTheRealOnesUnlessReplaced) {
    EXPECT_EQ(OperationsCourantes(), OperationsReelles());
    auto faux = std::make_shared<fakes::FauxReseau>();
    DefinirOperations(faux);
    EXPECT_EQ(OperationsCourantes(), faux);
    DefinirOperations(nullptr);
    EXPECT_EQ(OperationsCourantes(), OperationsReelles());
}

TEST(Operations, RealStopHookIsTheToolRunnersOne) {
    OperationsReelles()->DefinirArret([] { return true; });
    ASSERT_TRUE(platform::AttenteOutilsCourante());
    EXPECT_TRUE(platform::AttenteOutilsCourante()());
    OperationsReelles()->DefinirArret({});
    EXPECT_FALSE(platform::AttenteOutilsCourante());
}

}  // namespace
}  // namespace velmora::net
