// Look-ups on detached threads that report through an eventfd.
#include "relay/Resolver.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <mutex>
#include <thread>

namespace velmora::relay {

struct Resolver::Shared {
    Lookup lookup;
    unsigned maxRunning;
    int event = -1;
    std::mutex mutex;
    unsigned running = 0;
    std::vector<Result> done;
    ~Shared() {
        if (event >= 0) ::close(event);
    }
};

Resolver::Resolver(Lookup lookup, unsigned maxRunning) : m_shared(std::make_shared<Shared>()) {
    m_shared->lookup = std::move(lookup);
    m_shared->maxRunning = maxRunning;
    m_shared->event = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

Resolver::~Resolver() = default;

int Resolver::Descriptor() const { return m_shared->event; }

bool Resolver::Start(std::uint64_t id, const std::string& name) {
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        if (m_shared->running >= m_shared->maxRunning) return false;
        ++m_shared->running;
    }
    try {
        // The thread owns a share of the state, so it may outlive the resolver.
        std::thread([shared = m_shared, id, name] {
            std::uint32_t address = 0;
            std::optional<std::uint32_t> result;
            if (shared->lookup(name, address)) result = address;
            std::lock_guard<std::mutex> lock(shared->mutex);
            --shared->running;
            shared->done.emplace_back(id, result);
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = ::write(shared->event, &one, sizeof one);
        }).detach();
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        --m_shared->running;
        return false;
    }
    return true;
}

std::vector<Resolver::Result> Resolver::Collect() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_shared->event, &count, sizeof count);
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    std::vector<Result> results;
    results.swap(m_shared->done);
    return results;
}

}  // namespace velmora::relay
