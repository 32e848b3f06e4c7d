// Request rate limits of the relay: one per client address and one for all clients together.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <unordered_map>

namespace velmora::relay {

// Token buckets: each client may make `perMinute` requests in a burst, then one every
// 60/perMinute seconds; all clients together ten times as many. The table of clients is
// bounded: when it is full, clients whose bucket has refilled are forgotten, and when none
// can be, new clients are refused as if the total limit were reached (memory never grows).
class RateLimiter {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t kMaxClients = 4096;
    static constexpr unsigned kTotalFactor = 10;

    explicit RateLimiter(unsigned perMinute, size_t maxClients = kMaxClients);
    // True when `client` may make one more request at `now` (the request is then counted).
    bool Allow(const std::string& client, Clock::time_point now);
    // Changes the rate, keeping the clients known so far.
    void SetRate(unsigned perMinute);
    size_t ClientCount() const { return m_clients.size(); }

  private:
    struct Bucket {
        double tokens;
        Clock::time_point last;
    };
    // Refills `bucket` up to `capacity` at the pace of `capacity` tokens per minute.
    static void Refill(Bucket& bucket, double capacity, Clock::time_point now);
    void ForgetRefilled(Clock::time_point now);

    double m_perMinute;
    size_t m_maxClients;
    Bucket m_total;
    std::unordered_map<std::string, Bucket> m_clients;
};

}  // namespace velmora::relay
