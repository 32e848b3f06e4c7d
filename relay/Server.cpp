// libmicrohttpd glue: one daemon polled with its epoll descriptor and a signalfd in one thread,
// so every callback, the relay's state and the connection deadlines need no locking.
#include "relay/Server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unordered_map>

#include "relay/web/Http.h"

namespace velmora::relay {

namespace {

using Clock = std::chrono::steady_clock;

void Log(const std::string& line) {
    const std::string text = line + '\n';
    std::fwrite(text.data(), 1, text.size(), stderr);
}

std::string AddressText(const sockaddr* a) {
    char text[INET6_ADDRSTRLEN] = "-";
    if (!a) return text;
    if (a->sa_family == AF_INET)
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(a)->sin_addr, text, sizeof text);
    else if (a->sa_family == AF_INET6)
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr, text,
                    sizeof text);
    return text;
}

bool IsLoopback(const sockaddr* a) {
    if (a && a->sa_family == AF_INET)
        return (ntohl(reinterpret_cast<const sockaddr_in*>(a)->sin_addr.s_addr) >> 24) == 127;
    return a && a->sa_family == AF_INET6 &&
           IN6_IS_ADDR_LOOPBACK(&reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr);
}

// Behind a reverse proxy on the same machine, the client is the last address the proxy added
// to X-Forwarded-For; from anywhere else the header is the client's own word and is ignored.
std::string ClientAddress(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    const sockaddr* peer = info ? info->client_addr : nullptr;
    std::string client = AddressText(peer);
    if (!IsLoopback(peer)) return client;
    const char* forwarded =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "X-Forwarded-For");
    if (!forwarded) return client;
    std::string last(forwarded);
    const size_t comma = last.rfind(',');
    if (comma != std::string::npos) last = last.substr(comma + 1);
    while (!last.empty() && last.front() == ' ') last.erase(0, 1);
    while (!last.empty() && last.back() == ' ') last.pop_back();
    unsigned char buffer[sizeof(in6_addr)];
    if (::inet_pton(AF_INET, last.c_str(), buffer) == 1 ||
        ::inet_pton(AF_INET6, last.c_str(), buffer) == 1)
        return last;
    return client;
}

struct RequestState {
    std::string target;
    bool answered = false;
    web::HttpState page;  // a request of the web page
};

struct Connection {
    int fd;
    sockaddr_storage peer;
    socklen_t peerLength;
    Clock::time_point start;
    bool cut = false;
};

// True while `c.fd` is still the socket of that connection (same peer address and port), so a
// descriptor number already reused by a newer connection is never shut down.
bool SameSocket(const Connection& c) {
    sockaddr_storage now{};
    socklen_t length = sizeof now;
    return ::getpeername(c.fd, reinterpret_cast<sockaddr*>(&now), &length) == 0 &&
           length == c.peerLength && std::memcmp(&now, &c.peer, length) == 0;
}

struct Context {
    Relay* relay;
    std::unordered_map<MHD_Connection*, Connection> connections;
    web::Site* site = nullptr;  // the web page, when it is on
};

// Keeps the raw target, query included: the relay reads the query itself.
void* KeepTarget(void*, const char* uri, MHD_Connection*) {
    auto* state = new RequestState;
    state->target = uri ? uri : "";
    return state;
}

void RequestDone(void*, MHD_Connection*, void** state, MHD_RequestTerminationCode) {
    delete static_cast<RequestState*>(*state);
    *state = nullptr;
}

void ConnectionEvent(void* cls, MHD_Connection* connection, void**,
                     MHD_ConnectionNotificationCode code) {
    auto* context = static_cast<Context*>(cls);
    if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
        context->connections.erase(connection);
        return;
    }
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (!info) return;
    Connection c{info->connect_fd, {}, sizeof(sockaddr_storage), Clock::now()};
    if (::getpeername(c.fd, reinterpret_cast<sockaddr*>(&c.peer), &c.peerLength) != 0) return;
    context->connections[connection] = c;
}

MHD_Result SendAnswer(MHD_Connection* connection, const relay::Answer& answer) {
    MHD_Response* response = MHD_create_response_from_buffer(
        answer.body.size(), const_cast<char*>(answer.body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response) return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain; charset=utf-8");
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    if (answer.status == 405) MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, "GET");
    const MHD_Result result = MHD_queue_response(connection, answer.status, response);
    MHD_destroy_response(response);
    return result;
}

MHD_Result Handle(void* cls, MHD_Connection* connection, const char*, const char* method,
                  const char*, const char* uploadData, size_t* uploadSize, void** stateSlot) {
    auto* context = static_cast<Context*>(cls);
    auto* state = static_cast<RequestState*>(*stateSlot);
    if (!state) return MHD_NO;
    if (context->site && web::Site::Serves(state->target))
        return web::Answer(*context->site, connection, state->target, method, uploadData,
                           uploadSize, state->page, ClientAddress(connection));
    if (state->answered) {
        *uploadSize = 0;  // a body is never read
        return MHD_YES;
    }
    state->answered = true;
    Request request;
    request.method = method ? method : "";
    request.target = state->target;
    request.client = ClientAddress(connection);
    const relay::Answer answer = context->relay->Handle(request);
    Log(LogLine(std::time(nullptr), request.client, answer));
    return SendAnswer(connection, answer);
}

// Slow clients that trickle bytes escape the idle time-out: past the deadline their socket is
// shut down, which the daemon sees as the end of the connection and closes.
void CutLateConnections(Context& context) {
    const auto limit = Clock::now() - std::chrono::seconds(kConnectionDeadline);
    for (auto& [connection, c] : context.connections) {
        if (c.cut || c.start > limit || web::IsStream(connection)) continue;
        if (SameSocket(c)) ::shutdown(c.fd, SHUT_RDWR);
        c.cut = true;
    }
}

MHD_Daemon* StartDaemon(const Settings& settings, Context& context) {
    unsigned flags = MHD_USE_EPOLL;
    if (context.site) flags |= MHD_ALLOW_SUSPEND_RESUME;  // the page's event streams
    if (settings.listen.ss_family == AF_INET6) flags |= MHD_USE_IPv6;
    return MHD_start_daemon(
        flags, 0, nullptr, nullptr, &Handle, &context, MHD_OPTION_SOCK_ADDR, &settings.listen,
        MHD_OPTION_CONNECTION_LIMIT, kMaxConnections, MHD_OPTION_PER_IP_CONNECTION_LIMIT,
        kMaxConnectionsPerAddress, MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemory,
        MHD_OPTION_CONNECTION_TIMEOUT, kIdleTimeout, MHD_OPTION_URI_LOG_CALLBACK, &KeepTarget,
        nullptr, MHD_OPTION_NOTIFY_COMPLETED, &RequestDone, nullptr, MHD_OPTION_NOTIFY_CONNECTION,
        &ConnectionEvent, &context, MHD_OPTION_LISTENING_ADDRESS_REUSE, 1u, MHD_OPTION_END);
}

}  // namespace

int Serve(Relay& relay, const std::function<bool(Settings&, std::string&)>& reload,
          web::Site* site) {
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&signals, s);
    ::sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int signalFd = ::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
    ::signal(SIGPIPE, SIG_IGN);

    Context context{&relay, {}, site};
    const Settings& settings = relay.CurrentSettings();
    MHD_Daemon* daemon = StartDaemon(settings, context);
    if (!daemon || signalFd < 0) {
        Log("velmora-relay: cannot listen on " + settings.listenText + ": " + std::strerror(errno));
        if (signalFd >= 0) ::close(signalFd);
        return 1;
    }
    const MHD_DaemonInfo* port = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_BIND_PORT);
    const MHD_DaemonInfo* epoll = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_EPOLL_FD);
    Log("velmora-relay: listening on " + settings.listenText + " (port " +
        std::to_string(port ? port->port : 0) + "), " +
        (settings.mode == Mode::Lan ? "lan" : "internet") + " mode" +
        (settings.key.empty() ? ", no key (loopback only)" : ""));

    bool running = true;
    while (running) {
        MHD_UNSIGNED_LONG_LONG wait = 0;
        int timeout = 500;  // ms: also the pace of the deadline checks
        if (MHD_get_timeout(daemon, &wait) == MHD_YES && wait < 500)
            timeout = static_cast<int>(wait);
        pollfd fds[3] = {{epoll->epoll_fd, POLLIN, 0},
                         {signalFd, POLLIN, 0},
                         {site ? site->EventFd() : -1, POLLIN, 0}};
        ::poll(fds, 3, timeout);
        signalfd_siginfo info;
        while (::read(signalFd, &info, sizeof info) == sizeof info) {
            if (info.ssi_signo != SIGHUP) {
                running = false;
                continue;
            }
            Settings fresh;
            std::string error;
            const Settings& current = relay.CurrentSettings();
            bool ok = reload(fresh, error);
            if (ok && fresh.key.empty() && !current.loopbackOnly) {
                error = "a key is required: the relay listens on " + current.listenText;
                ok = false;
            }
            if (!ok) {
                Log("velmora-relay: reload refused, settings unchanged: " + error);
            } else {
                if (fresh.listenText != current.listenText)
                    Log("velmora-relay: a new --listen takes effect at the next start");
                fresh.listen = current.listen;
                fresh.listenText = current.listenText;
                fresh.loopbackOnly = current.loopbackOnly;
                relay.Reload(fresh);
                Log("velmora-relay: settings reloaded");
            }
        }
        MHD_run(daemon);
        if (site) {
            web::Pump(*site);
            MHD_run(daemon);
        }
        CutLateConnections(context);
    }
    if (site) {
        web::Stop(*site);
        MHD_run(daemon);
    }
    MHD_stop_daemon(daemon);
    ::close(signalFd);
    Log("velmora-relay: stopped");
    return 0;
}

}  // namespace velmora::relay
