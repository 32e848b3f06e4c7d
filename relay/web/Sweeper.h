// The status sweep's thread: sweeps the addresses it was last given every interval (at once when
// new addresses come), and hands the results over with a descriptor that turns readable.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "relay/web/Site.h"

namespace velmora::relay::web {

class Sweeper {
  public:
    explicit Sweeper(Prober& prober);
    ~Sweeper();
    // The next sweeps' addresses (sorted, unique) and their pace; an interval of 0 stops them.
    void SetTargets(std::vector<std::string> targets, std::chrono::seconds interval);
    // The next sweep starts now.
    void Hurry();
    // The results so far (emptied); clears the descriptor.
    std::vector<SweepResult> Take();
    int EventFd() const { return m_eventFd; }

  private:
    void Run();

    Prober& m_prober;
    int m_eventFd = -1;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<std::string> m_targets;
    std::chrono::seconds m_interval{0};
    bool m_hurry = false;
    bool m_stop = false;
    std::vector<SweepResult> m_results;
    std::thread m_thread;
};

}  // namespace velmora::relay::web
