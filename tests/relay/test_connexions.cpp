// The relay's table of connections: the cap per address, the time to send a request, and the
// oldest idle connection giving way when the table is full.
#include <gtest/gtest.h>

#include "relay/Connections.h"

namespace velmora::relay {
namespace {

using namespace std::chrono_literals;

const void* Id(int n) { return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(n)); }

TEST(Connexions, TheOldestIdleConnectionGivesWayAndBusyOnesNever) {
    Connections table(3, 32, 2s);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(table.Add(Id(1), 11, "a", t0));
    EXPECT_FALSE(table.Add(Id(2), 12, "b", t0 + 1ms));
    EXPECT_FALSE(table.Add(Id(3), 13, "c", t0 + 2ms));
    // 1 is being answered, 2 answered a request and waits for the next one: 3 is now the
    // connection idle the longest.
    table.Busy(Id(1));
    table.Busy(Id(2));
    table.Idle(Id(2), t0 + 3ms);
    EXPECT_EQ(table.Add(Id(4), 14, "d", t0 + 4ms), 13);
    EXPECT_EQ(table.Count(), 3u);
    table.Remove(Id(3));  // the daemon closed it
    EXPECT_EQ(table.Add(Id(5), 15, "e", t0 + 5ms), 12);
    // Only busy ones and the newest left: 4 goes, then nothing more can.
    EXPECT_EQ(table.Add(Id(6), 16, "f", t0 + 6ms), 14);
    table.Busy(Id(5));
    table.Busy(Id(6));
    EXPECT_FALSE(table.Add(Id(7), 17, "g", t0 + 7ms)) << "a busy connection is never dropped";
}

TEST(Connexions, AnIdleConnectionHasTwoSecondsForItsRequest) {
    Connections table(100, 32, 2s);
    const auto t0 = std::chrono::steady_clock::now();
    table.Add(Id(1), 11, "a", t0);
    table.Add(Id(2), 12, "a", t0 + 500ms);
    table.Add(Id(3), 13, "a", t0 + 1s);
    EXPECT_EQ(table.NextDeadline(), t0 + 2s);
    table.Busy(Id(1));  // its request came in time
    EXPECT_EQ(table.NextDeadline(), t0 + 2500ms);
    EXPECT_TRUE(table.Expired(t0 + 2400ms).empty());
    EXPECT_EQ(table.Expired(t0 + 2600ms), std::vector<int>{12});
    // Answered at 2.8 s, kept alive: two more seconds from then.
    table.Idle(Id(1), t0 + 2800ms);
    EXPECT_EQ(table.Expired(t0 + 3100ms), std::vector<int>{13});
    EXPECT_TRUE(table.Expired(t0 + 4700ms).empty());
    EXPECT_EQ(table.Expired(t0 + 4800ms), std::vector<int>{11});
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_FALSE(table.NextDeadline());
    // Many requests on one kept-alive connection leave the queue small.
    table.Add(Id(9), 19, "b", t0);
    for (int i = 0; i < 100000; ++i) {
        table.Busy(Id(9));
        table.Idle(Id(9), t0 + std::chrono::microseconds(i));
    }
    EXPECT_EQ(table.Expired(t0 + 3s), std::vector<int>{19});
}

TEST(Connexions, ThePerAddressCapSparesTheTrustedProxy) {
    Connections table(100, 2, 2s);
    const auto t0 = std::chrono::steady_clock::now();
    table.Add(Id(1), 11, "198.51.100.1", t0);
    table.Add(Id(2), 12, "198.51.100.1", t0);
    EXPECT_FALSE(table.Admit("198.51.100.1", false));
    EXPECT_TRUE(table.Admit("198.51.100.2", false));
    table.Remove(Id(1));
    EXPECT_TRUE(table.Admit("198.51.100.1", false));
    for (int i = 0; i < 10; ++i) table.Add(Id(10 + i), 20 + i, "127.0.0.1", t0);
    EXPECT_TRUE(table.Admit("127.0.0.1", true));
    EXPECT_FALSE(table.Admit("127.0.0.1", false));
}

}  // namespace
}  // namespace velmora::relay
