// libmicrohttpd glue of the web page.
#include "relay/web/Http.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>

#include "common/text/Commun.h"

namespace velmora::relay::web {

namespace {

struct StreamContext {
    Site* site;
    std::uint64_t id;
    MHD_Connection* connection;
    bool suspended = false;
    std::string rest;  // text read from the site that did not fit the last buffer
};

std::map<std::uint64_t, StreamContext*>& Streams() {
    static std::map<std::uint64_t, StreamContext*> streams;
    return streams;
}

bool PeerIsLoopback(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    const sockaddr* a = info ? info->client_addr : nullptr;
    if (a && a->sa_family == AF_INET)
        return (ntohl(reinterpret_cast<const sockaddr_in*>(a)->sin_addr.s_addr) >> 24) == 127;
    return a && a->sa_family == AF_INET6 &&
           IN6_IS_ADDR_LOOPBACK(&reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr);
}

MHD_Result CollectHeader(void* cls, MHD_ValueKind, const char* key, const char* value) {
    auto* headers = static_cast<std::vector<std::pair<std::string, std::string>>*>(cls);
    if (key && headers->size() < 100) headers->emplace_back(Minuscules(key), value ? value : "");
    return MHD_YES;
}

ssize_t ReadStream(void* cls, uint64_t, char* buffer, size_t max) {
    auto* context = static_cast<StreamContext*>(cls);
    if (context->rest.empty()) {
        bool ended = false;
        context->rest = context->site->StreamRead(context->id, ended);
        if (context->rest.empty()) {
            if (ended) return MHD_CONTENT_READER_END_OF_STREAM;
            MHD_suspend_connection(context->connection);
            context->suspended = true;
            return 0;
        }
    }
    const size_t n = std::min(max, context->rest.size());
    std::memcpy(buffer, context->rest.data(), n);
    context->rest.erase(0, n);
    return static_cast<ssize_t>(n);
}

void FreeStream(void* cls) {
    auto* context = static_cast<StreamContext*>(cls);
    context->site->StreamClosed(context->id);
    Streams().erase(context->id);
    delete context;
}

void Log(const std::string& client, const char* method, const std::string& target,
         const WebResponse& r) {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    // The path only: a query may hold a folder name, never a secret, but it stays out anyway.
    const std::string path = target.substr(0, target.find('?'));
    std::fprintf(stderr, "%s client=%s page %s %s result=%u %s\n", stamp, client.c_str(), method,
                 path.c_str(), r.status, r.reason.c_str());
}

}  // namespace

MHD_Result Answer(Site& site, MHD_Connection* connection, const std::string& target,
                  const char* method, const char* uploadData, size_t* uploadSize, HttpState& state,
                  const std::string& client) {
    if (!state.started) {
        state.started = true;
        return MHD_YES;
    }
    if (*uploadSize > 0) {
        if (state.body.size() + *uploadSize > kMaxBody)
            state.tooLarge = true;
        else
            state.body.append(uploadData, *uploadSize);
        *uploadSize = 0;
        return MHD_YES;
    }
    WebRequest request;
    request.method = method ? method : "";
    request.target = target;
    request.client = client;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, &CollectHeader, &request.headers);
    request.https =
        PeerIsLoopback(connection) && Minuscules(request.Header("x-forwarded-proto")) == "https";
    request.body = std::move(state.body);
    WebResponse answer;
    if (state.tooLarge) {
        answer.status = 413;
        answer.body = "413 Content Too Large\n";
        answer.reason = "body too large";
        answer.headers.emplace_back("Content-Type", "text/plain; charset=utf-8");
    } else {
        answer = site.Handle(request);
    }
    Log(client, request.method.c_str(), target, answer);
    MHD_Response* response = nullptr;
    if (answer.stream) {
        auto* context = new StreamContext{&site, answer.stream, connection, false, {}};
        response = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 2048, &ReadStream, context,
                                                     &FreeStream);
        if (!response) {
            site.StreamClosed(answer.stream);
            delete context;
            return MHD_NO;
        }
        Streams()[answer.stream] = context;
        // A stream is quiet between two sweeps: no idle time-out (a heartbeat keeps it honest).
        MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT, 0u);
    } else {
        response = MHD_create_response_from_buffer(
            answer.body.size(), const_cast<char*>(answer.body.data()), MHD_RESPMEM_MUST_COPY);
        if (!response) return MHD_NO;
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    }
    for (const auto& [name, value] : answer.headers)
        MHD_add_response_header(response, name.c_str(), value.c_str());
    const MHD_Result result = MHD_queue_response(connection, answer.status, response);
    MHD_destroy_response(response);
    return result;
}

void Pump(Site& site) {
    site.Tick();
    for (std::uint64_t id : site.StreamsReady()) {
        const auto found = Streams().find(id);
        if (found == Streams().end() || !found->second->suspended) continue;
        found->second->suspended = false;
        MHD_resume_connection(found->second->connection);
    }
}

void Stop(Site& site) {
    site.EndStreams();
    for (auto& [id, context] : Streams()) {
        if (!context->suspended) continue;
        context->suspended = false;
        MHD_resume_connection(context->connection);
    }
}

}  // namespace velmora::relay::web
