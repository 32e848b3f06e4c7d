// The relay's open connections: the cap per client address, the time a connection has to send
// a complete request, and which connection gives way when the table is full.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace velmora::relay {

// A connection is idle from its opening, and again after each answer, until it has sent a
// complete request; then it is busy until the answer is sent. An idle connection has
// `requestTime` to send its next request, else it is closed (slow or silent clients, and
// keep-alive connections left open). When all `limit` places are taken, a new connection makes
// the oldest idle one close, so idle connections never lock out a client that sends its request
// at once. Closing is up to the caller: the connections named by Add and Expired are no longer
// counted from then on, and Remove forgets them once they are closed.
class Connections {
  public:
    using Clock = std::chrono::steady_clock;
    using Id = const void*;

    Connections(size_t limit, unsigned perAddress, Clock::duration requestTime);
    // False when `address` already has its `perAddress` connections open; a trusted peer (the
    // proxy on this machine, which carries many clients) is never held to that cap.
    bool Admit(const std::string& address, bool trusted) const;
    // A connection accepted at `now` on descriptor `fd`. Returns the descriptor of the
    // connection to close to make room, if the table is full.
    std::optional<int> Add(Id id, int fd, const std::string& address, Clock::time_point now);
    void Busy(Id id);
    void Idle(Id id, Clock::time_point now);
    void Remove(Id id);
    // The descriptors of the idle connections whose time ran out at `now`, to close.
    std::vector<int> Expired(Clock::time_point now);
    // When the next idle connection runs out of time, if any is idle.
    std::optional<Clock::time_point> NextDeadline();
    // Connections counted (open and not yet told to close).
    size_t Count() const { return m_entries.size() - m_closing; }
    size_t Limit() const { return m_limit; }

  private:
    struct Entry {
        int fd;
        std::string address;
        bool idle = true;
        bool closing = false;
        std::uint64_t turn = 0;  // which entry of the queue stands for this idle period
        Clock::time_point since{};
    };
    // Drops the queue's stale first entries; the first one left is the oldest idle connection.
    void Clean();
    int Close(Entry& entry);

    size_t m_limit;
    unsigned m_perAddress;
    Clock::duration m_requestTime;
    std::unordered_map<Id, Entry> m_entries;
    std::unordered_map<std::string, unsigned> m_perAddressCount;
    // Idle periods in the order they began (so the oldest first), stale ones dropped lazily.
    std::deque<std::pair<std::uint64_t, Id>> m_idle;
    std::uint64_t m_turns = 0;
    size_t m_closing = 0;
};

}  // namespace velmora::relay
