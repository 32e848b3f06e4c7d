// Host-name look-ups away from the thread that serves requests: each runs on a thread of its
// own, and its result is collected when an event descriptor becomes readable.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora::relay {

class Resolver {
  public:
    // Resolves a name to an IPv4 address; may block for as long as the system's resolver does.
    using Lookup = std::function<bool(const std::string& name, std::uint32_t& address)>;
    using Result = std::pair<std::uint64_t, std::optional<std::uint32_t>>;

    Resolver(Lookup lookup, unsigned maxRunning);
    // Threads still blocked in a look-up are left to finish on their own; their result is
    // dropped.
    ~Resolver();
    Resolver(const Resolver&) = delete;
    Resolver& operator=(const Resolver&) = delete;

    // Readable when results wait to be collected.
    int Descriptor() const;
    // Starts the look-up of `name`, known by `id`. False when `maxRunning` look-ups are still
    // running (a resolver that never answers must not pile up threads).
    bool Start(std::uint64_t id, const std::string& name);
    // The look-ups finished since the last call.
    std::vector<Result> Collect();

  private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

}  // namespace velmora::relay
