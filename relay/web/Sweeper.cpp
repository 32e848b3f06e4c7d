// The status sweep's thread and the real prober.
#include "relay/web/Sweeper.h"

#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

#include "common/net/Balayage.h"

namespace velmora::relay::web {

namespace {

class SweepProber : public Prober {
  public:
    explicit SweepProber(long long timeoutMs) : m_timeoutMs(timeoutMs > 0 ? timeoutMs : 300) {}
    std::vector<bool> Probe(const std::vector<std::string>& addresses) override {
        std::vector<bool> answers(addresses.size(), false);
        net::OptionsBalayage options;
        options.tempoMs = m_timeoutMs;
        options.resolveurs = 4;  // few threads: the hardened unit allows 12 tasks
        net::Balayer(
            addresses,
            [&](const net::ReponseBalayage& r) {
                if (r.index < answers.size()) answers[r.index] = r.repondu;
            },
            nullptr, options);
        return answers;
    }

  private:
    long long m_timeoutMs;
};

}  // namespace

std::unique_ptr<Prober> SystemProber(long long timeoutMs) {
    return std::make_unique<SweepProber>(timeoutMs);
}

Sweeper::Sweeper(Prober& prober)
    : m_prober(prober), m_eventFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    // The thread inherits a mask that blocks every signal: SIGTERM and SIGHUP stay for the
    // server's signal descriptor, whose thread blocks them too.
    sigset_t all, saved;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &saved);
    m_thread = std::thread([this] { Run(); });
    ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

Sweeper::~Sweeper() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    if (m_eventFd >= 0) ::close(m_eventFd);
}

void Sweeper::SetTargets(std::vector<std::string> targets, std::chrono::seconds interval) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (targets == m_targets && interval == m_interval) return;
    // New addresses are swept at once, so a page that opens sees its dots without waiting.
    for (const std::string& t : targets)
        if (!std::binary_search(m_targets.begin(), m_targets.end(), t)) m_hurry = true;
    m_targets = std::move(targets);
    m_interval = interval;
    m_wake.notify_all();
}

void Sweeper::Hurry() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hurry = true;
    m_wake.notify_all();
}

std::vector<SweepResult> Sweeper::Take() {
    std::uint64_t count;
    if (m_eventFd >= 0) {
        const ssize_t n = ::read(m_eventFd, &count, sizeof count);
        (void)n;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<SweepResult> results;
    results.swap(m_results);
    return results;
}

void Sweeper::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    auto next = Clock::now();
    while (!m_stop) {
        if (m_interval.count() == 0 || m_targets.empty()) {
            m_wake.wait(lock,
                        [&] { return m_stop || (m_interval.count() > 0 && !m_targets.empty()); });
            next = Clock::now();
            continue;
        }
        if (!m_hurry && Clock::now() < next) {
            m_wake.wait_until(lock, next);
            continue;
        }
        m_hurry = false;
        const std::vector<std::string> targets = m_targets;
        lock.unlock();
        SweepResult result{Clock::now(), targets, m_prober.Probe(targets)};
        lock.lock();
        next = result.started + m_interval;
        m_results.push_back(std::move(result));
        if (m_results.size() > 16) m_results.erase(m_results.begin());
        const std::uint64_t one = 1;
        const ssize_t n = ::write(m_eventFd, &one, sizeof one);
        (void)n;
    }
}

}  // namespace velmora::relay::web
