// The relay's decision for one request: checks in a fixed order, then the magic packet.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "relay/Query.h"
#include "relay/RateLimiter.h"
#include "relay/Settings.h"

namespace velmora::relay {

// What the relay needs from the network, so tests can stand in for it.
class Network {
  public:
    virtual ~Network() = default;
    // Sends the magic packet of `mac` in one UDP datagram to `address`:`port`.
    virtual bool Send(std::uint32_t address, int port, const Mac& mac, std::string& error) = 0;
    // The broadcast address of the default route's interface, if there is one.
    virtual std::optional<std::uint32_t> DefaultBroadcast() = 0;
    // Resolves a host name to an IPv4 address.
    virtual bool Resolve(const std::string& name, std::uint32_t& address) = 0;
};

// The real network: one UDP socket kept for every packet, the shared probe routines for the
// rest.
class SystemNetwork : public Network {
  public:
    SystemNetwork() = default;
    SystemNetwork(const SystemNetwork&) = delete;
    SystemNetwork& operator=(const SystemNetwork&) = delete;
    ~SystemNetwork() override;
    bool Send(std::uint32_t address, int port, const Mac& mac, std::string& error) override;
    std::optional<std::uint32_t> DefaultBroadcast() override;
    bool Resolve(const std::string& name, std::uint32_t& address) override;

  private:
    int m_socket = -1;
};

struct Request {
    std::string method;
    std::string target;  // path and query, as received
    std::string client;  // client address (text)
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
    std::string authorization{};  // the Authorization header, "" when there is none
};

struct Answer {
    unsigned status = 500;
    std::string body;               // one line, ending with "\n"
    std::string reason;             // short, for the log
    std::string mac = "-";          // checked MAC address, for the log
    std::string destination = "-";  // address:port the packet went (or would go) to
    // Set (with status 0) when the destination is a host name still to resolve: Finish then
    // gives the answer, so the look-up can run away from the thread that serves requests.
    struct Lookup {
        std::string name;
        Mac mac{};
        int port = 0;
    };
    std::optional<Lookup> lookup;
};

class Relay {
  public:
    Relay(const Settings& settings, Network& network);
    // Replaces the settings (reload); the rate counters are kept.
    void Reload(const Settings& settings);
    const Settings& CurrentSettings() const { return m_settings; }
    Network& NetworkInUse() { return m_network; }

    // In this order: 405 for a method other than GET; 400 for a malformed query and 403 for
    // a missing or wrong key, or 429 instead when the failures of the client or of all
    // clients are past their limit; 429 when the client's own requests with the right key are
    // past the rate; 400 for a bad MAC address, port or address; 403 for a MAC address outside
    // the allow-list or a destination outside --allow-dest; 500 when no destination is known
    // or the send fails; else 200 once the packet is sent. The key is the password of an
    // "Authorization: Basic" header, else the query's key=.
    // A host name as destination gives an answer with `lookup` set and status 0: resolve it,
    // then call Finish.
    Answer Begin(const Request& request);
    // The answer to a request whose host name resolved to `address` (nullopt: it did not).
    Answer Finish(const Answer& pending, std::optional<std::uint32_t> address);
    // Begin, then the look-up through the network on this thread when one is needed.
    Answer Handle(const Request& request);

  private:
    bool Destination(const WakeQuery& query, std::uint32_t& address, Answer& answer);
    bool Allowed(std::uint32_t address, Answer& answer) const;
    Answer Send(std::uint32_t address, int port, const Mac& mac, Answer answer);

    Settings m_settings;
    Network& m_network;
    RateLimiter m_limiter;
    // The default broadcast address is looked up again after this long, so a changed
    // address is followed without a look-up per request.
    std::optional<std::uint32_t> m_defaultBroadcast;
    std::chrono::steady_clock::time_point m_defaultBroadcastTime{};
};

// A refusal: `status`, its reason phrase and `reason` on one line ("403 Forbidden: wrong
// key"); the rest of `answer` (MAC address, destination) is kept for the journal.
Answer Refusal(unsigned status, const std::string& reason, Answer answer = {});

// The journal line of one request: UTC time, client, MAC, destination, status and reason.
std::string LogLine(std::time_t time, const std::string& client, const Answer& answer);

}  // namespace velmora::relay
