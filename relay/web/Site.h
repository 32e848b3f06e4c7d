// The relay's web page: log-in, the machines of the user's folders with their status, and the
// wake buttons. Plain request-in, answer-out, so the HTTP server stays a thin layer and the
// tests drive it in-process; the status stream (Server-Sent Events) is read through StreamRead.
//
// Everything here runs on the server's one thread, except the status sweep, which runs on its
// own thread (Sweeper) and hands its results over through a queue and a descriptor that becomes
// readable (EventFd).
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "relay/Relay.h"
#include "relay/web/Texts.h"
#include "relay/web/Users.h"

namespace velmora::relay::web {

using Clock = std::chrono::steady_clock;

struct WebRequest {
    std::string method;
    std::string target;  // path and query
    std::string client;  // client address
    bool https = false;  // the trusted proxy in front says the browser came over https
    std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
    std::string body;
    Clock::time_point now = Clock::now();
    // The first header of that name (lower case), or "".
    std::string Header(std::string_view name) const;
};

struct WebResponse {
    unsigned status = 200;
    std::vector<std::pair<std::string, std::string>> headers;  // Content-Type among them
    std::string body;
    std::uint64_t stream = 0;  // not 0: the body is the event stream of that number
    std::string reason;        // short, for the log
};

// Pings addresses: true for each that answered. Replaced in tests.
class Prober {
  public:
    virtual ~Prober() = default;
    virtual std::vector<bool> Probe(const std::vector<std::string>& addresses) = 0;
};
// The real sweep: one echo request each through the shared sweep engine.
std::unique_ptr<Prober> SystemProber(long long timeoutMs);

// One sweep's answers, address by address.
struct SweepResult {
    Clock::time_point started;
    std::vector<std::string> addresses;
    std::vector<bool> answers;
};
class Sweeper;

struct SiteOptions {
    std::string machinesFile;
    std::string usersFile;
    std::string englishFile;
    unsigned statusInterval = 5;           // seconds; 0: no status
    std::chrono::seconds wakeWait{180};    // how long a woken machine is waited for
    std::chrono::hours sessionLength{12};  // a session ends this long after the log-in
    bool sweepThread = true;               // false: the tests call SweepNow themselves
};

// Failed log-ins allowed per client address and per user name within kFailureWindow.
inline constexpr unsigned kFailuresPerAddress = 10, kFailuresPerUser = 5;
inline constexpr std::chrono::minutes kFailureWindow{15};
inline constexpr size_t kMaxSessions = 4096, kMaxStreams = 256;
inline constexpr const char* kSessionCookie = "velmora_session";
inline constexpr const char* kLoginCookie = "velmora_login";

class Site {
  public:
    Site(SiteOptions options, Relay& relay, Network& network,
         std::unique_ptr<Prober> prober = nullptr);
    ~Site();
    Site(const Site&) = delete;
    Site& operator=(const Site&) = delete;

    // True when the page serves this request target: its own paths, and "/" without a query
    // (a query on "/" is a wake request of the relay).
    static bool Serves(std::string_view target);
    WebResponse Handle(const WebRequest& request);

    // The event stream `id`: the text waiting to be sent (emptied), "" when none. `ended` turns
    // true when the stream is over (its session ended, the page is shutting down).
    std::string StreamRead(std::uint64_t id, bool& ended);
    // The browser left: the stream is forgotten.
    void StreamClosed(std::uint64_t id);
    // Streams with text waiting, or over.
    std::vector<std::uint64_t> StreamsReady() const;
    // Ends every stream (the server stops).
    void EndStreams();

    // Takes the sweep results, ends waits that ran out, sends what changed to the streams and
    // gives the sweeper its next list. Called by the server after every turn of its loop.
    void Tick(Clock::time_point now = Clock::now());
    // Readable when sweep results wait; -1 without a sweep thread.
    int EventFd() const;
    // Without the sweep thread: one sweep now, on this thread.
    void SweepNow();

  private:
    struct Session {
        std::string user;
        std::string csrf;
        Clock::time_point expires;
    };
    struct Stream {
        std::string session;
        std::string folder;
        Language language = Language::French;
        std::string pending;
        std::map<std::string, int> sentStatus;  // row id -> last status sent
        std::size_t list = 0;                   // the folder's machines when the page was made
        bool ended = false;
        Clock::time_point lastWrite;
    };
    struct Failures {
        unsigned count = 0;
        Clock::time_point start;
    };
    struct Wake {
        std::string folder;
        std::string row;
        std::string address;
        Clock::time_point start;
        std::string textKey;  // the state shown
        long long seconds = 0;
        bool done = false;
    };
    WebResponse LoginPage(const WebRequest& request, Language language, unsigned status,
                          const std::string& message);
    WebResponse Login(const WebRequest& request, Language language);
    WebResponse Logout(const WebRequest& request);
    WebResponse Page(const Session& session, Language language);
    WebResponse WakeRequest(const WebRequest& request, const Session& session, Language language);
    WebResponse Events(const WebRequest& request, const std::string& token, Language language);
    Session* FindSession(const WebRequest& request, std::string* token = nullptr);
    bool FailureBudgetLeft(const std::string& client, const std::string& user,
                           Clock::time_point now, long long& minutes);
    void CountFailure(const std::string& client, const std::string& user, Clock::time_point now);
    std::string WakeOne(const std::string& folder, size_t index, Language language,
                        Clock::time_point now, bool& ok);
    void Broadcast(const std::string& folder);
    std::string WakeText(const Wake& wake, Language language) const;

    SiteOptions m_options;
    Relay& m_relay;
    Network& m_network;
    Texts m_texts;
    UserFile m_users;
    std::unordered_map<std::string, Session> m_sessions;
    std::unordered_map<std::string, Failures> m_failures;  // "a:" address, "u:" user
    std::map<std::uint64_t, Stream> m_streams;
    std::uint64_t m_nextStream = 1;
    std::map<std::string, int> m_status;  // address -> 1 answers, 0 does not
    std::map<std::string, Wake> m_wakes;  // row id -> the last wake of the row
    std::unique_ptr<Prober> m_prober;
    std::unique_ptr<Sweeper> m_sweeper;
    std::vector<SweepResult> m_results;  // without the sweep thread
    Clock::time_point m_lastSweep{};
};

// Helpers shared with the tests.
std::string EscapeHtml(std::string_view text);
// The fields of an application/x-www-form-urlencoded body (or a query), decoded; a field given
// twice keeps its first value; malformed escapes leave the field out.
std::map<std::string, std::string> ParseForm(std::string_view body);
// The value of a cookie in a Cookie header, or "".
std::string CookieValue(std::string_view header, std::string_view name);

}  // namespace velmora::relay::web
