// Token buckets per client address and in total.
#include "relay/RateLimiter.h"

#include <algorithm>

namespace velmora::relay {

RateLimiter::RateLimiter(unsigned perMinute, size_t maxClients)
    : m_perMinute(std::max(1u, perMinute)),
      m_maxClients(maxClients),
      m_total{m_perMinute * kTotalFactor, Clock::now()} {}

void RateLimiter::SetRate(unsigned perMinute) {
    m_perMinute = std::max(1u, perMinute);
    m_total.tokens = std::min(m_total.tokens, m_perMinute * kTotalFactor);
    for (auto& [client, bucket] : m_clients) bucket.tokens = std::min(bucket.tokens, m_perMinute);
}

void RateLimiter::Refill(Bucket& bucket, double capacity, Clock::time_point now) {
    if (now > bucket.last) {
        const double seconds = std::chrono::duration<double>(now - bucket.last).count();
        bucket.tokens = std::min(capacity, bucket.tokens + seconds * capacity / 60.0);
        bucket.last = now;
    }
}

void RateLimiter::ForgetRefilled(Clock::time_point now) {
    for (auto it = m_clients.begin(); it != m_clients.end();) {
        Refill(it->second, m_perMinute, now);
        if (it->second.tokens >= m_perMinute)
            it = m_clients.erase(it);
        else
            ++it;
    }
}

bool RateLimiter::Allow(const std::string& client, Clock::time_point now) {
    Refill(m_total, m_perMinute * kTotalFactor, now);
    auto it = m_clients.find(client);
    if (it == m_clients.end()) {
        if (m_clients.size() >= m_maxClients) ForgetRefilled(now);
        if (m_clients.size() >= m_maxClients) return false;
        it = m_clients.emplace(client, Bucket{m_perMinute, now}).first;
    }
    Bucket& bucket = it->second;
    Refill(bucket, m_perMinute, now);
    if (bucket.tokens < 1.0 || m_total.tokens < 1.0) return false;
    bucket.tokens -= 1.0;
    m_total.tokens -= 1.0;
    return true;
}

}  // namespace velmora::relay
