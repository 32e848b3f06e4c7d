// libmicrohttpd glue: one daemon polled with its epoll descriptor, a signalfd and the resolver's
// event descriptor in one thread, so every callback, the relay's state and the connection table
// need no locking. Connections are kept alive between requests.
#include "relay/Server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <strings.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unordered_map>

#include "relay/Connections.h"
#include "relay/Resolver.h"
#include "relay/web/Http.h"

namespace velmora::relay {

namespace {

using Clock = std::chrono::steady_clock;

// The journal: lines gathered and written in one go, at the latest kLogDelay after the first
// one, so a busy relay does not make a write per request.
class Journal {
  public:
    void Add(const std::string& line, Clock::time_point now) {
        if (m_text.empty()) m_first = now;
        m_text += line;
        m_text += '\n';
        if (m_text.size() >= 16 * 1024) Flush();
    }
    void Flush() {
        size_t done = 0;
        while (done < m_text.size()) {
            const ssize_t n = ::write(STDERR_FILENO, m_text.data() + done, m_text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        m_text.clear();
    }
    // Flushes when the first line waiting is old enough; the milliseconds until it will be.
    int Tick(Clock::time_point now) {
        if (m_text.empty()) return -1;
        if (now - m_first >= kLogDelay) {
            Flush();
            return -1;
        }
        return static_cast<int>(
            std::chrono::ceil<std::chrono::milliseconds>(m_first + kLogDelay - now).count());
    }

  private:
    std::string m_text;
    Clock::time_point m_first;
};

Journal journal;

void Log(const std::string& line) {
    journal.Add(line, Clock::now());
    journal.Flush();
}

std::string AddressText(const sockaddr* a) {
    char text[INET6_ADDRSTRLEN] = "-";
    if (!a) return text;
    if (a->sa_family == AF_INET) {
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(a)->sin_addr, text, sizeof text);
    } else if (a->sa_family == AF_INET6) {
        const in6_addr& a6 = reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr;
        // An IPv4 client of a dual-stack socket is named as IPv4.
        if (IN6_IS_ADDR_V4MAPPED(&a6))
            ::inet_ntop(AF_INET, &a6.s6_addr[12], text, sizeof text);
        else
            ::inet_ntop(AF_INET6, &a6, text, sizeof text);
    }
    return text;
}

bool IsLoopback(const sockaddr* a) {
    if (a && a->sa_family == AF_INET)
        return (ntohl(reinterpret_cast<const sockaddr_in*>(a)->sin_addr.s_addr) >> 24) == 127;
    if (!a || a->sa_family != AF_INET6) return false;
    const in6_addr& a6 = reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr;
    return IN6_IS_ADDR_LOOPBACK(&a6) || (IN6_IS_ADDR_V4MAPPED(&a6) && a6.s6_addr[12] == 127);
}

MHD_Result GatherForwardedFor(void* cls, MHD_ValueKind, const char* key, const char* value) {
    if (key && value && ::strcasecmp(key, "X-Forwarded-For") == 0) {
        auto* combined = static_cast<std::string*>(cls);
        if (!combined->empty()) *combined += ',';
        *combined += value;
    }
    return MHD_YES;
}

// Behind a reverse proxy on the same machine, the client is the last address the proxy added
// to X-Forwarded-For. Several header lines count as one list joined by commas, in their order,
// so a line the client wrote itself before the proxy's never hides the proxy's entry. From
// anywhere else the header is the client's own word and is ignored.
std::string ClientAddress(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    const sockaddr* peer = info ? info->client_addr : nullptr;
    std::string client = AddressText(peer);
    if (!IsLoopback(peer)) return client;
    std::string forwarded;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, &GatherForwardedFor, &forwarded);
    if (forwarded.empty()) return client;
    std::string last = forwarded.substr(forwarded.rfind(',') + 1);  // npos + 1 is 0
    while (!last.empty() && (last.front() == ' ' || last.front() == '\t')) last.erase(0, 1);
    while (!last.empty() && (last.back() == ' ' || last.back() == '\t')) last.pop_back();
    unsigned char buffer[sizeof(in6_addr)];
    if (::inet_pton(AF_INET, last.c_str(), buffer) == 1 ||
        ::inet_pton(AF_INET6, last.c_str(), buffer) == 1)
        return last;
    return client;
}

struct RequestState {
    std::string target;
    bool started = false;
    bool answered = false;
    std::optional<Answer> ready;  // an answer that waited for a look-up
    std::string client;
    web::HttpState page;  // a request of the web page
};

struct PendingLookup {
    MHD_Connection* connection;
    RequestState* state;
    Answer answer;
    Clock::time_point deadline;
};

struct Context {
    Relay* relay;
    Connections connections;
    Resolver resolver;
    std::unordered_map<std::uint64_t, PendingLookup> lookups;
    std::uint64_t lookupCount = 0;
    web::Site* site = nullptr;  // the web page, when it is on
};

// Keeps the raw target, query included: the relay reads the query itself.
void* KeepTarget(void*, const char* uri, MHD_Connection*) {
    auto* state = new RequestState;
    state->target = uri ? uri : "";
    return state;
}

void RequestDone(void* cls, MHD_Connection* connection, void** state, MHD_RequestTerminationCode) {
    delete static_cast<RequestState*>(*state);
    *state = nullptr;
    static_cast<Context*>(cls)->connections.Idle(connection, Clock::now());
}

MHD_Result Admit(void* cls, const sockaddr* address, socklen_t) {
    auto* context = static_cast<Context*>(cls);
    return context->connections.Admit(AddressText(address), IsLoopback(address)) ? MHD_YES : MHD_NO;
}

void ConnectionEvent(void* cls, MHD_Connection* connection, void**,
                     MHD_ConnectionNotificationCode code) {
    auto* context = static_cast<Context*>(cls);
    if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
        context->connections.Remove(connection);
        return;
    }
    const MHD_ConnectionInfo* fd =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    const MHD_ConnectionInfo* peer =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (!fd || !peer) return;
    const std::optional<int> victim = context->connections.Add(
        connection, fd->connect_fd, AddressText(peer->client_addr), Clock::now());
    // The daemon sees the end of the stream and closes that connection.
    if (victim) ::shutdown(*victim, SHUT_RDWR);
}

MHD_Result SendAnswer(MHD_Connection* connection, const std::string& client, const Answer& answer) {
    journal.Add(LogLine(std::time(nullptr), client, answer), Clock::now());
    MHD_Response* response = MHD_create_response_from_buffer(
        answer.body.size(), const_cast<char*>(answer.body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response) return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain; charset=utf-8");
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    if (answer.status == 405) MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, "GET");
    const MHD_Result result = MHD_queue_response(connection, answer.status, response);
    MHD_destroy_response(response);
    return result;
}

// The one place where a request becomes an answer. An answer that needs a host name looked up
// comes back with `lookup` set; the connection then waits, suspended, for the resolver.
Answer Respond(Context& context, MHD_Connection* connection, const char* method,
               RequestState& state) {
    Request request;
    request.method = method ? method : "";
    request.target = state.target;
    request.client = state.client;
    const char* authorization =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_AUTHORIZATION);
    if (authorization) request.authorization = authorization;
    return context.relay->Begin(request);
}

MHD_Result Handle(void* cls, MHD_Connection* connection, const char*, const char* method,
                  const char*, const char* uploadData, size_t* uploadSize, void** stateSlot) {
    auto* context = static_cast<Context*>(cls);
    auto* state = static_cast<RequestState*>(*stateSlot);
    if (!state) return MHD_NO;
    // The web page reads its requests' bodies; its event streams stay busy while open.
    if (context->site && web::Site::Serves(state->target)) {
        if (!state->page.started) {
            context->connections.Busy(connection);
            state->client = ClientAddress(connection);
        }
        return web::Answer(*context->site, connection, state->target, method, uploadData,
                           uploadSize, state->page, state->client);
    }
    if (state->ready) {
        const Answer answer = std::move(*state->ready);
        state->ready.reset();
        return SendAnswer(connection, state->client, answer);
    }
    if (!state->started) {
        state->started = true;
        context->connections.Busy(connection);
        state->client = ClientAddress(connection);
        // A GET without a body is answered at the next call, once the daemon has the whole
        // request: an answer queued before that closes the connection after it. A request
        // with a body is refused at once, and its connection closed, rather than read.
        const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND,
                                                         MHD_HTTP_HEADER_CONTENT_LENGTH);
        const bool body = (length && std::strcmp(length, "0") != 0) ||
                          MHD_lookup_connection_value(connection, MHD_HEADER_KIND,
                                                      MHD_HTTP_HEADER_TRANSFER_ENCODING);
        if (method && std::strcmp(method, "GET") == 0 && !body) return MHD_YES;
    } else if (*uploadSize != 0 || state->answered) {
        *uploadSize = 0;  // a body is never read
        return MHD_YES;
    }
    state->answered = true;
    Answer answer = Respond(*context, connection, method, *state);
    if (!answer.lookup) return SendAnswer(connection, state->client, answer);
    const std::uint64_t id = ++context->lookupCount;
    if (!context->resolver.Start(id, answer.lookup->name)) {
        answer = Refusal(503, "too many host names being resolved, try again later", answer);
        answer.lookup.reset();
        return SendAnswer(connection, state->client, answer);
    }
    context->lookups[id] = {connection, state, std::move(answer), Clock::now() + kLookupTime};
    MHD_suspend_connection(connection);
    return MHD_YES;
}

void Resume(PendingLookup& pending, Answer answer) {
    pending.state->ready = std::move(answer);
    MHD_resume_connection(pending.connection);
}

// Answers the requests whose look-up finished or ran out of time.
void FinishLookups(Context& context, Clock::time_point now) {
    for (const auto& [id, address] : context.resolver.Collect()) {
        const auto it = context.lookups.find(id);
        if (it == context.lookups.end()) continue;  // already answered: too late
        Resume(it->second, context.relay->Finish(it->second.answer, address));
        context.lookups.erase(it);
    }
    for (auto it = context.lookups.begin(); it != context.lookups.end();) {
        if (now < it->second.deadline) {
            ++it;
            continue;
        }
        Answer answer = Refusal(
            400, "address (ip) not resolved within " + std::to_string(kLookupTime.count()) + " s",
            it->second.answer);
        answer.lookup.reset();
        Resume(it->second, answer);
        it = context.lookups.erase(it);
    }
}

// The listening socket, made here rather than by the daemon: never shared with another
// process (no SO_REUSEPORT, so a second relay on the same port fails instead of splitting the
// requests), and on the IPv6 any-address also open to IPv4 clients.
int Listen(const Settings& settings, std::string& error) {
    const int family = settings.listen.ss_family;
    const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    const int on = 1, off = 0;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);  // restart past TIME_WAIT
    if (family == AF_INET6) ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    const socklen_t length = family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&settings.listen), length) != 0 ||
        ::listen(fd, SOMAXCONN) != 0) {
        error = std::strerror(errno);
        if (errno == EADDRINUSE)
            error += " (another program, perhaps another velmora-relay, listens there)";
        ::close(fd);
        return -1;
    }
    return fd;
}

int BoundPort(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
    return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
}

MHD_Daemon* StartDaemon(const Settings& settings, int listenFd, Context& context) {
    unsigned flags = MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME;
    if (settings.listen.ss_family == AF_INET6) flags |= MHD_USE_IPv6;
    // The daemon's own limit leaves room for connections told to close and not yet closed.
    const unsigned limit = static_cast<unsigned>(context.connections.Limit()) + 32;
    return MHD_start_daemon(
        flags, 0, &Admit, &context, &Handle, &context, MHD_OPTION_LISTEN_SOCKET, listenFd,
        MHD_OPTION_CONNECTION_LIMIT, limit, MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemory,
        MHD_OPTION_CONNECTION_TIMEOUT, kIdleTimeout, MHD_OPTION_URI_LOG_CALLBACK, &KeepTarget,
        nullptr, MHD_OPTION_NOTIFY_COMPLETED, &RequestDone, &context, MHD_OPTION_NOTIFY_CONNECTION,
        &ConnectionEvent, &context, MHD_OPTION_END);
}

void Reload(Relay& relay, const std::function<bool(Settings&, std::string&)>& reload) {
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
        return;
    }
    if (fresh.listenText != current.listenText)
        Log("velmora-relay: a new --listen takes effect at the next start");
    fresh.listen = current.listen;
    fresh.listenText = current.listenText;
    fresh.loopbackOnly = current.loopbackOnly;
    relay.Reload(fresh);
    Log("velmora-relay: settings reloaded");
}

int Milliseconds(Clock::duration d) {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(d).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, 500));
}

}  // namespace

unsigned ConnectionLimit() {
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY) return 1024;
    const rlim_t usable = files.rlim_cur > 2 * kReservedDescriptors
                              ? files.rlim_cur - kReservedDescriptors
                              : files.rlim_cur / 2;
    return static_cast<unsigned>(std::min<rlim_t>(usable, 1u << 20));
}

int Serve(Relay& relay, const std::function<bool(Settings&, std::string&)>& reload,
          web::Site* site) {
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&signals, s);
    ::sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int signalFd = ::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
    ::signal(SIGPIPE, SIG_IGN);

    Network& network = relay.NetworkInUse();
    Context context{
        &relay,
        Connections(ConnectionLimit(), kMaxConnectionsPerAddress, kRequestTime),
        Resolver([&network](const std::string& name,
                            std::uint32_t& address) { return network.Resolve(name, address); },
                 kMaxLookups),
        {},
        0,
        site};
    const Settings& settings = relay.CurrentSettings();
    std::string error;
    const int listenFd = Listen(settings, error);
    MHD_Daemon* daemon = listenFd < 0 ? nullptr : StartDaemon(settings, listenFd, context);
    if (!daemon || signalFd < 0) {
        if (error.empty()) error = std::strerror(errno);
        Log("velmora-relay: cannot listen on " + settings.listenText + ": " + error);
        if (listenFd >= 0) ::close(listenFd);
        if (signalFd >= 0) ::close(signalFd);
        return 1;
    }
    const MHD_DaemonInfo* epoll = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_EPOLL_FD);
    Log("velmora-relay: listening on " + settings.listenText + " (port " +
        std::to_string(BoundPort(listenFd)) + "), " +
        (settings.mode == Mode::Lan ? "lan" : "internet") + " mode" +
        (settings.key.empty() ? ", no key (loopback only)" : "") + ", up to " +
        std::to_string(context.connections.Limit()) + " connections");

    bool running = true;
    while (running) {
        const auto now = Clock::now();
        int timeout = 500;  // ms
        MHD_UNSIGNED_LONG_LONG wait = 0;
        if (MHD_get_timeout(daemon, &wait) == MHD_YES && wait < 500)
            timeout = static_cast<int>(wait);
        if (const auto deadline = context.connections.NextDeadline())
            timeout = std::min(timeout, Milliseconds(*deadline - now));
        for (const auto& [id, pending] : context.lookups)
            timeout = std::min(timeout, Milliseconds(pending.deadline - now));
        const int flush = journal.Tick(now);
        if (flush >= 0) timeout = std::min(timeout, flush);
        pollfd fds[4] = {{epoll->epoll_fd, POLLIN, 0},
                         {signalFd, POLLIN, 0},
                         {context.resolver.Descriptor(), POLLIN, 0},
                         {site ? site->EventFd() : -1, POLLIN, 0}};
        ::poll(fds, 4, timeout);
        signalfd_siginfo info;
        while ((fds[1].revents & POLLIN) && ::read(signalFd, &info, sizeof info) == sizeof info) {
            if (info.ssi_signo != SIGHUP)
                running = false;
            else
                Reload(relay, reload);
        }
        if ((fds[2].revents & POLLIN) || !context.lookups.empty())
            FinishLookups(context, Clock::now());
        MHD_run(daemon);
        if (site) {  // the page's sweep results and timers; its streams with text to send
            web::Pump(*site);
            MHD_run(daemon);
        }
        // Idle connections past their time: the daemon sees the end of the stream and closes.
        for (int fd : context.connections.Expired(Clock::now())) ::shutdown(fd, SHUT_RDWR);
        journal.Tick(Clock::now());
    }
    for (auto& [id, pending] : context.lookups) {
        Answer answer = Refusal(503, "the relay is stopping", pending.answer);
        answer.lookup.reset();
        Resume(pending, answer);
    }
    context.lookups.clear();
    if (site) web::Stop(*site);
    MHD_run(daemon);
    MHD_stop_daemon(daemon);  // closes the listening socket too
    ::close(signalFd);
    Log("velmora-relay: stopped");
    return 0;
}

}  // namespace velmora::relay
