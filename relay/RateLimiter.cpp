// Token buckets per client address, for successes and failures apart, and for all failures.
#include "relay/RateLimiter.h"

#include <algorithm>

namespace velmora::relay {

RateLimiter::RateLimiter(unsigned perMinute, size_t maxClients)
    : m_perMinute(std::max(1u, perMinute)),
      m_maxClients(maxClients),
      m_totalFailures{m_perMinute * kTotalFactor, Clock::now()} {}

void RateLimiter::SetRate(unsigned perMinute) {
    m_perMinute = std::max(1u, perMinute);
    m_totalFailures.tokens = std::min(m_totalFailures.tokens, m_perMinute * kTotalFactor);
    for (Table* table : {&m_successes, &m_failures})
        for (auto& [client, bucket] : *table) bucket.tokens = std::min(bucket.tokens, m_perMinute);
}

void RateLimiter::Refill(Bucket& bucket, double capacity, Clock::time_point now) {
    if (now > bucket.last) {
        const double seconds = std::chrono::duration<double>(now - bucket.last).count();
        bucket.tokens = std::min(capacity, bucket.tokens + seconds * capacity / 60.0);
        bucket.last = now;
    }
}

void RateLimiter::ForgetRefilled(Table& table, Clock::time_point now) {
    for (auto it = table.begin(); it != table.end();) {
        Refill(it->second, m_perMinute, now);
        if (it->second.tokens >= m_perMinute)
            it = table.erase(it);
        else
            ++it;
    }
}

RateLimiter::Bucket* RateLimiter::Find(Table& table, const std::string& client,
                                       Clock::time_point now) {
    auto it = table.find(client);
    if (it == table.end()) {
        if (table.size() >= m_maxClients) ForgetRefilled(table, now);
        if (table.size() >= m_maxClients) return nullptr;
        it = table.emplace(client, Bucket{m_perMinute, now}).first;
    }
    Refill(it->second, m_perMinute, now);
    return &it->second;
}

bool RateLimiter::AllowSuccess(const std::string& client, Clock::time_point now) {
    Bucket* bucket = Find(m_successes, client, now);
    if (!bucket || bucket->tokens < 1.0) return false;
    bucket->tokens -= 1.0;
    return true;
}

bool RateLimiter::AllowFailure(const std::string& client, Clock::time_point now) {
    Refill(m_totalFailures, m_perMinute * kTotalFactor, now);
    Bucket* bucket = Find(m_failures, client, now);
    if (!bucket || bucket->tokens < 1.0 || m_totalFailures.tokens < 1.0) return false;
    bucket->tokens -= 1.0;
    m_totalFailures.tokens -= 1.0;
    return true;
}

}  // namespace velmora::relay
