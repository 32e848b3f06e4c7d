// Bookkeeping of the relay's connections.
#include "relay/Connections.h"

namespace velmora::relay {

Connections::Connections(size_t limit, unsigned perAddress, Clock::duration requestTime)
    : m_limit(limit < 1 ? 1 : limit), m_perAddress(perAddress), m_requestTime(requestTime) {}

bool Connections::Admit(const std::string& address, bool trusted) const {
    if (trusted) return true;
    const auto it = m_perAddressCount.find(address);
    return it == m_perAddressCount.end() || it->second < m_perAddress;
}

int Connections::Close(Entry& entry) {
    entry.closing = true;
    ++m_closing;
    return entry.fd;
}

void Connections::Clean() {
    while (!m_idle.empty()) {
        const auto it = m_entries.find(m_idle.front().second);
        if (it != m_entries.end() && it->second.idle && !it->second.closing &&
            it->second.turn == m_idle.front().first)
            return;
        m_idle.pop_front();
    }
}

std::optional<int> Connections::Add(Id id, int fd, const std::string& address,
                                    Clock::time_point now) {
    Remove(id);
    std::optional<int> victim;
    if (Count() >= m_limit) {
        Clean();
        if (!m_idle.empty()) {
            Entry& oldest = m_entries.at(m_idle.front().second);
            m_idle.pop_front();
            victim = Close(oldest);
        }
    }
    Entry entry{fd, address};
    entry.turn = ++m_turns;
    entry.since = now;
    m_entries.emplace(id, std::move(entry));
    ++m_perAddressCount[address];
    m_idle.emplace_back(m_turns, id);
    return victim;
}

void Connections::Busy(Id id) {
    const auto it = m_entries.find(id);
    if (it != m_entries.end()) it->second.idle = false;
}

void Connections::Idle(Id id, Clock::time_point now) {
    const auto it = m_entries.find(id);
    if (it == m_entries.end() || it->second.closing) return;
    it->second.idle = true;
    it->second.since = now;
    it->second.turn = ++m_turns;
    m_idle.emplace_back(m_turns, id);
    // Keep-alive connections add an entry per request: drop the stale ones now and then so
    // the queue stays in proportion to the connections.
    if (m_idle.size() > 4 * m_entries.size() + 1024) {
        std::deque<std::pair<std::uint64_t, Id>> live;
        for (const auto& item : m_idle) {
            const auto e = m_entries.find(item.second);
            if (e != m_entries.end() && e->second.idle && !e->second.closing &&
                e->second.turn == item.first)
                live.push_back(item);
        }
        m_idle.swap(live);
    }
}

void Connections::Remove(Id id) {
    const auto it = m_entries.find(id);
    if (it == m_entries.end()) return;
    if (it->second.closing) --m_closing;
    const auto count = m_perAddressCount.find(it->second.address);
    if (count != m_perAddressCount.end() && --count->second == 0) m_perAddressCount.erase(count);
    m_entries.erase(it);
}

std::vector<int> Connections::Expired(Clock::time_point now) {
    std::vector<int> fds;
    for (Clean(); !m_idle.empty(); Clean()) {
        Entry& entry = m_entries.at(m_idle.front().second);
        if (now - entry.since < m_requestTime) break;
        m_idle.pop_front();
        fds.push_back(Close(entry));
    }
    return fds;
}

std::optional<Connections::Clock::time_point> Connections::NextDeadline() {
    Clean();
    if (m_idle.empty()) return std::nullopt;
    return m_entries.at(m_idle.front().second).since + m_requestTime;
}

}  // namespace velmora::relay
