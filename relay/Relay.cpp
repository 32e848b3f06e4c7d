// The checks of a wake request and the packet it leads to.
#include "relay/Relay.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "common/net/PaquetMagique.h"
#include "common/net/Sondes.h"

namespace velmora::relay {

namespace {

constexpr int kDefaultPort = 9;  // discard, the usual Wake-on-LAN port
constexpr std::chrono::seconds kBroadcastLookupInterval{10};

const char* Reason(unsigned status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 405:
            return "Method Not Allowed";
        case 429:
            return "Too Many Requests";
        case 503:
            return "Service Unavailable";
        default:
            return "Internal Server Error";
    }
}

}  // namespace

SystemNetwork::~SystemNetwork() {
    if (m_socket >= 0) ::close(m_socket);
}

// The packet (six 0xFF bytes, then the MAC address 16 times) in one datagram, from a socket
// made once: no system call but the send itself per request.
bool SystemNetwork::Send(std::uint32_t address, int port, const Mac& mac, std::string& error) {
    if (m_socket < 0) {
        m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        if (m_socket < 0 || ::setsockopt(m_socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
            error = std::strerror(errno);
            if (m_socket >= 0) ::close(m_socket);
            m_socket = -1;
            return false;
        }
    }
    std::uint8_t packet[6 + 16 * 6];
    std::memset(packet, 0xFF, 6);
    for (int i = 0; i < 16; ++i) std::memcpy(packet + 6 + 6 * i, mac.data(), 6);
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(static_cast<std::uint16_t>(port));
    destination.sin_addr.s_addr = htonl(address);
    const ssize_t sent =
        ::sendto(m_socket, packet, sizeof packet, 0,
                 reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    if (sent == static_cast<ssize_t>(sizeof packet)) return true;
    error = sent < 0 ? std::strerror(errno) : "the datagram was cut short";
    return false;
}

std::optional<std::uint32_t> SystemNetwork::DefaultBroadcast() {
    const std::string local = net::AdresseLocale();
    const std::string mask = local.empty() ? std::string() : net::MasqueDeAdresse(local);
    if (mask.empty()) return std::nullopt;
    try {
        std::uint32_t address = 0;
        if (ParseIPv4(net::AdresseDiffusion(local, mask, 0, ""), address)) return address;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

// One look-up, no retry: it runs on a thread of its own, which stays taken for as long as the
// name servers take to answer.
bool SystemNetwork::Resolve(const std::string& name, std::uint32_t& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* results = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &results) != 0) return false;
    const bool found = results && results->ai_family == AF_INET;
    if (found)
        address = ntohl(reinterpret_cast<const sockaddr_in*>(results->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(results);
    return found;
}

Relay::Relay(const Settings& settings, Network& network)
    : m_settings(settings), m_network(network), m_limiter(settings.rate) {}

void Relay::Reload(const Settings& settings) {
    m_settings = settings;
    m_limiter.SetRate(settings.rate);
    m_defaultBroadcast.reset();
    m_defaultBroadcastTime = {};
}

Answer Refusal(unsigned status, const std::string& reason, Answer answer) {
    answer.status = status;
    answer.reason = reason;
    answer.lookup.reset();
    answer.body = std::to_string(status) + ' ' + Reason(status) + ": " + reason + '\n';
    return answer;
}

// The packet's destination by mode; false with `answer` filled when there is none allowed.
bool Relay::Destination(const WakeQuery& query, std::uint32_t& address, Answer& answer) {
    if (m_settings.mode == Mode::Lan) {
        if (m_settings.broadcast) {
            address = *m_settings.broadcast;
            return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!m_defaultBroadcast || now - m_defaultBroadcastTime > kBroadcastLookupInterval) {
            m_defaultBroadcast = m_network.DefaultBroadcast();
            m_defaultBroadcastTime = now;
        }
        if (!m_defaultBroadcast) {
            answer = Refusal(500, "no broadcast address: set --broadcast", answer);
            return false;
        }
        address = *m_defaultBroadcast;
        return true;
    }
    if (!query.ip || query.ip->empty()) {
        answer = Refusal(400, "missing address (ip)", answer);
        return false;
    }
    if (!ParseIPv4(*query.ip, address)) {
        if (!IsHostName(*query.ip)) {
            answer = Refusal(400, "bad address (ip)", answer);
            return false;
        }
        answer.lookup = Answer::Lookup{*query.ip, {}, 0};
        return false;
    }
    return Allowed(address, answer);
}

bool Relay::Allowed(std::uint32_t address, Answer& answer) const {
    for (const Cidr& cidr : m_settings.allowDests)
        if (cidr.Contains(address)) return true;
    answer.destination = IPv4Text(address);
    answer = Refusal(403, "destination not allowed", answer);
    return false;
}

Answer Relay::Send(std::uint32_t address, int port, const Mac& mac, Answer answer) {
    answer.destination = IPv4Text(address) + ':' + std::to_string(port);
    std::string error;
    if (!m_network.Send(address, port, mac, error))
        return Refusal(500, "cannot send the packet: " + error, answer);
    answer.status = 200;
    answer.reason = "packet sent";
    answer.body = "Magic packet sent to " + answer.destination + " for " + answer.mac + '\n';
    return answer;
}

Answer Relay::Begin(const Request& request) {
    Answer answer;
    if (request.method != "GET") return Refusal(405, "only GET is accepted");
    // Requests without the right key spend the failure budgets (the client's and the one of
    // all clients); a request with the right key spends only its own client's budget, so
    // wrong keys from many addresses never lock out the owner of the key.
    WakeQuery query;
    std::string reason;
    if (!ParseQuery(request.target, query, reason)) {
        if (!m_limiter.AllowFailure(request.client, request.now))
            return Refusal(429, "rate limit reached");
        return Refusal(400, reason);
    }
    std::optional<std::string> key = query.key;
    std::string password;
    if (BasicPassword(request.authorization, password)) key = password;
    if (!m_settings.key.empty() && !ConstantTimeEquals(m_settings.key, key.value_or(""))) {
        if (!m_limiter.AllowFailure(request.client, request.now))
            return Refusal(429, "rate limit reached");
        return Refusal(403, key ? "wrong key" : "missing key");
    }
    if (!m_limiter.AllowSuccess(request.client, request.now))
        return Refusal(429, "rate limit reached");
    Mac mac;
    if (!query.mac || !ParseMac(*query.mac, mac)) return Refusal(400, "bad MAC address");
    answer.mac = MacText(mac);
    if (!m_settings.allowMacs.empty()) {
        bool allowed = false;
        for (const Mac& m : m_settings.allowMacs) allowed = allowed || m == mac;
        if (!allowed) return Refusal(403, "MAC address not allowed", answer);
    }
    int port = kDefaultPort;
    if (query.port && !query.port->empty() && !ParsePort(*query.port, port))
        return Refusal(400, "bad port", answer);
    std::uint32_t address = 0;
    if (!Destination(query, address, answer)) {
        if (answer.lookup) {
            answer.status = 0;
            answer.lookup->mac = mac;
            answer.lookup->port = port;
        }
        return answer;
    }
    return Send(address, port, mac, answer);
}

Answer Relay::Finish(const Answer& pending, std::optional<std::uint32_t> address) {
    Answer answer = pending;
    answer.lookup.reset();
    if (!pending.lookup) return answer;
    if (!address) return Refusal(400, "address (ip) does not resolve", answer);
    if (!Allowed(*address, answer)) return answer;
    return Send(*address, pending.lookup->port, pending.lookup->mac, answer);
}

Answer Relay::Handle(const Request& request) {
    const Answer answer = Begin(request);
    if (!answer.lookup) return answer;
    std::uint32_t address = 0;
    const bool found = m_network.Resolve(answer.lookup->name, address);
    return Finish(answer, found ? std::optional<std::uint32_t>(address) : std::nullopt);
}

std::string LogLine(std::time_t time, const std::string& client, const Answer& answer) {
    // The stamp changes once a second: made again only then.
    thread_local std::time_t last = -1;
    thread_local char stamp[32];
    if (time != last) {
        std::tm utc{};
        ::gmtime_r(&time, &utc);
        std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
        last = time;
    }
    return std::string(stamp) + " client=" + client + " mac=" + answer.mac +
           " dest=" + answer.destination + " result=" + std::to_string(answer.status) + ' ' +
           answer.reason;
}

}  // namespace velmora::relay
