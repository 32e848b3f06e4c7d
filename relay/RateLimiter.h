// Request rate limits of the relay: requests with the right key per client address; requests
// without it (wrong or missing key, malformed query) per client address and for all clients
// together.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <unordered_map>

namespace velmora::relay {

// Token buckets: each client may make `perMinute` requests in a burst, then one every
// 60/perMinute seconds. Successes and failures have buckets of their own, so failures from
// other addresses never use up a client's budget; failures of all clients together are
// limited to ten times the rate, so keys are never guessed quickly from many addresses. Each
// table of clients is bounded: when it is full, clients whose bucket has refilled are
// forgotten, and when none can be, new clients are refused (memory never grows).
class RateLimiter {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t kMaxClients = 4096;
    static constexpr unsigned kTotalFactor = 10;

    explicit RateLimiter(unsigned perMinute, size_t maxClients = kMaxClients);
    // True when `client` may make one more request with the right key at `now` (it is then
    // counted).
    bool AllowSuccess(const std::string& client, Clock::time_point now);
    // True when `client` may have one more request refused at `now` (it is then counted).
    bool AllowFailure(const std::string& client, Clock::time_point now);
    // Changes the rate, keeping the clients known so far.
    void SetRate(unsigned perMinute);
    size_t ClientCount() const { return m_successes.size() + m_failures.size(); }

  private:
    struct Bucket {
        double tokens;
        Clock::time_point last;
    };
    using Table = std::unordered_map<std::string, Bucket>;
    // Refills `bucket` up to `capacity` at the pace of `capacity` tokens per minute.
    static void Refill(Bucket& bucket, double capacity, Clock::time_point now);
    void ForgetRefilled(Table& table, Clock::time_point now);
    // The client's bucket in `table`, or nullptr when the table is full.
    Bucket* Find(Table& table, const std::string& client, Clock::time_point now);

    double m_perMinute;
    size_t m_maxClients;
    Bucket m_totalFailures;
    Table m_successes, m_failures;
};

}  // namespace velmora::relay
