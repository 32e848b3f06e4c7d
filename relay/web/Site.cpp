// The web page's requests: sessions, log-in, the page, wakes and the status stream.
#include "relay/web/Site.h"

#include <sodium.h>

#include <algorithm>
#include <cstdio>
#include <set>

#include "common/config/Config.h"
#include "common/config/Machine.h"
#include "common/net/Sondes.h"
#include "common/text/Commun.h"
#include "relay/web/Sweeper.h"
#include "relay/web/WebAssets.h"

namespace velmora::relay::web {

namespace {

constexpr std::chrono::seconds kHeartbeat{15};
constexpr size_t kMaxFailureEntries = 8192;
constexpr size_t kMaxWakes = 4096;
constexpr std::chrono::seconds kSweepWithoutStatus{5};  // pace of a wait when the status is off

std::string RandomToken() {
    unsigned char bytes[32];
    ::randombytes_buf(bytes, sizeof bytes);
    char hex[sizeof bytes * 2 + 1];
    ::sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
    return hex;
}

std::string PathOf(std::string_view target) {
    return std::string(target.substr(0, target.find('?')));
}

std::string QueryOf(std::string_view target) {
    const size_t q = target.find('?');
    return q == std::string_view::npos ? std::string() : std::string(target.substr(q + 1));
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == '<' || c == '>' || c == '&') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + '"';
}

std::string RowId(size_t folderIndex, size_t machineIndex) {
    return "m-" + std::to_string(folderIndex) + '-' + std::to_string(machineIndex);
}

// The folders of the file that `user` may see, with their positions in the whole list.
std::vector<std::pair<size_t, std::string>> VisibleFolders(const std::string& file,
                                                           const User& user) {
    std::vector<std::pair<size_t, std::string>> folders;
    const std::vector<std::string> all = ListerDossiers(file);
    for (size_t i = 0; i < all.size(); ++i)
        if (user.MaySee(all[i])) folders.emplace_back(i, all[i]);
    return folders;
}

// Headers of every answer of the page: nothing from elsewhere, no framing, no sniffing, no
// referrer, no caching.
void SecurityHeaders(WebResponse& r) {
    r.headers.emplace_back("Content-Security-Policy",
                           "default-src 'self'; frame-ancestors 'none'; base-uri 'none'; "
                           "form-action 'self'");
    r.headers.emplace_back("X-Content-Type-Options", "nosniff");
    r.headers.emplace_back("Referrer-Policy", "no-referrer");
    r.headers.emplace_back("X-Frame-Options", "DENY");
    r.headers.emplace_back("Cache-Control", "no-store");
}

WebResponse Document(unsigned status, std::string body, std::string reason, const char* type) {
    WebResponse r;
    r.status = status;
    r.body = std::move(body);
    r.reason = std::move(reason);
    r.headers.emplace_back("Content-Type", type);
    SecurityHeaders(r);
    return r;
}

WebResponse Html(unsigned status, std::string body, std::string reason) {
    return Document(status, std::move(body), std::move(reason), "text/html; charset=utf-8");
}

WebResponse Json(unsigned status, std::string body, std::string reason) {
    return Document(status, std::move(body), std::move(reason), "application/json; charset=utf-8");
}

WebResponse Redirect(const std::string& location, std::string reason) {
    WebResponse r;
    r.status = 303;
    r.reason = std::move(reason);
    r.headers.emplace_back("Location", location);
    r.headers.emplace_back("Content-Type", "text/plain; charset=utf-8");
    SecurityHeaders(r);
    return r;
}

WebResponse Plain(unsigned status, std::string body, std::string reason) {
    WebResponse r;
    r.status = status;
    r.body = std::move(body) + '\n';
    r.reason = std::move(reason);
    r.headers.emplace_back("Content-Type", "text/plain; charset=utf-8");
    SecurityHeaders(r);
    return r;
}

std::string Cookie(const std::string& name, const std::string& value, long long maxAge,
                   bool secure) {
    return name + '=' + value + "; Path=/; Max-Age=" + std::to_string(maxAge) +
           "; HttpOnly; SameSite=Strict" + (secure ? "; Secure" : "");
}

std::string Head(Language language, const std::string& title) {
    return "<!DOCTYPE html>\n<html lang=\"" + std::string(LanguageCode(language)) +
           "\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>" +
           EscapeHtml(title) +
           "</title><link rel=\"stylesheet\" href=\"/app.css\">"
           "<script src=\"/app.js\" defer></script></head>\n";
}

}  // namespace

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::map<std::string, std::string> ParseForm(std::string_view body) {
    std::map<std::string, std::string> fields;
    while (!body.empty()) {
        const size_t amp = body.find('&');
        const std::string_view pair = body.substr(0, amp);
        body = amp == std::string_view::npos ? std::string_view() : body.substr(amp + 1);
        if (pair.empty()) continue;
        const size_t equals = pair.find('=');
        std::string name, value;
        if (!PercentDecode(pair.substr(0, equals), name)) continue;
        if (equals != std::string_view::npos && !PercentDecode(pair.substr(equals + 1), value))
            continue;
        fields.emplace(std::move(name), std::move(value));
    }
    return fields;
}

std::string CookieValue(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        const size_t semicolon = header.find(';');
        std::string_view item = header.substr(0, semicolon);
        header =
            semicolon == std::string_view::npos ? std::string_view() : header.substr(semicolon + 1);
        while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
        const size_t equals = item.find('=');
        if (equals != std::string_view::npos && item.substr(0, equals) == name)
            return std::string(item.substr(equals + 1));
    }
    return {};
}

std::string WebRequest::Header(std::string_view name) const {
    for (const auto& [n, v] : headers)
        if (n == name) return v;
    return {};
}

Site::Site(SiteOptions options, Relay& relay, Network& network, std::unique_ptr<Prober> prober)
    : m_options(std::move(options)),
      m_relay(relay),
      m_network(network),
      m_texts(m_options.englishFile),
      m_users(m_options.usersFile),
      m_prober(std::move(prober)) {
    if (::sodium_init() < 0) std::fputs("velmora-relay: libsodium cannot start\n", stderr);
    if (!m_prober)
        m_prober = SystemProber(ReglagesDemarrage::Lire(m_options.machinesFile, false).tempoPing);
    if (m_options.sweepThread) m_sweeper = std::make_unique<Sweeper>(*m_prober);
    std::string error;
    if (!m_users.Refresh(error)) std::fprintf(stderr, "velmora-relay: %s\n", error.c_str());
}

Site::~Site() = default;

bool Site::Serves(std::string_view target) {
    const std::string path = PathOf(target);
    if (path == "/") return target.find('?') == std::string_view::npos;
    return path == "/login" || path == "/logout" || path == "/wake" || path == "/events" ||
           path == "/app.js" || path == "/app.css";
}

Site::Session* Site::FindSession(const WebRequest& request, std::string* token) {
    const std::string value = CookieValue(request.Header("cookie"), kSessionCookie);
    if (value.empty()) return nullptr;
    const auto found = m_sessions.find(value);
    if (found == m_sessions.end()) return nullptr;
    if (found->second.expires <= request.now) {
        m_sessions.erase(found);
        return nullptr;
    }
    std::string error;
    m_users.Refresh(error);
    const User* user = m_users.Find(found->second.user);
    if (!user) {  // removed from the users file: the session ends
        m_sessions.erase(found);
        return nullptr;
    }
    if (token) *token = value;
    return &found->second;
}

WebResponse Site::Handle(const WebRequest& request) {
    const std::string path = PathOf(request.target);
    const Language language = ChooseLanguage(request.Header("accept-language"));
    if (path == "/app.js" || path == "/app.css") {
        if (request.method != "GET" && request.method != "HEAD")
            return Plain(405, "405 Method Not Allowed", "method");
        for (const Asset& asset : Assets()) {
            if ("/" + std::string(asset.name) != path) continue;
            WebResponse r;
            r.body = std::string(asset.content);
            r.reason = "asset";
            r.headers.emplace_back("Content-Type", path == "/app.js"
                                                       ? "text/javascript; charset=utf-8"
                                                       : "text/css; charset=utf-8");
            SecurityHeaders(r);
            return r;
        }
        return Plain(404, "404 Not Found", "no such file");
    }
    if (path == "/login") {
        if (request.method == "POST") return Login(request, language);
        if (request.method != "GET") return Plain(405, "405 Method Not Allowed", "method");
        const bool expired = ParseForm(QueryOf(request.target)).count("expired") > 0;
        return LoginPage(request, language, 200,
                         expired ? m_texts.Get(language, "MSG_WEB_SESSION_EXPIREE") : "");
    }
    std::string token;
    Session* session = FindSession(request, &token);
    const bool hadCookie = !CookieValue(request.Header("cookie"), kSessionCookie).empty();
    if (!session) {
        if (path == "/" && request.method == "GET")
            return Redirect(hadCookie ? "/login?expired=1" : "/login", "no session");
        return Json(401, "{\"login\":true}", "no session");
    }
    if (path == "/") {
        if (request.method != "GET") return Plain(405, "405 Method Not Allowed", "method");
        return Page(*session, language);
    }
    if (path == "/events") {
        if (request.method != "GET") return Plain(405, "405 Method Not Allowed", "method");
        return Events(request, token, language);
    }
    // Every other path changes something: a POST with the session's token.
    if (request.method != "POST") return Plain(405, "405 Method Not Allowed", "method");
    std::string csrf = request.Header("x-csrf-token");
    if (csrf.empty()) {
        const auto form = ParseForm(request.body);
        const auto found = form.find("csrf");
        if (found != form.end()) csrf = found->second;
    }
    if (csrf.empty() || !ConstantTimeEquals(session->csrf, csrf))
        return Plain(403, "403 Forbidden: missing or wrong form token", "csrf");
    if (path == "/logout") return Logout(request);
    return WakeRequest(request, *session, language);
}

WebResponse Site::LoginPage(const WebRequest& request, Language language, unsigned status,
                            const std::string& message) {
    // The form carries a fresh random value that must come back with the same value in a
    // cookie: a page elsewhere cannot post a log-in in the user's name.
    const std::string nonce = RandomToken();
    const auto t = [&](const char* key) { return EscapeHtml(m_texts.Get(language, key)); };
    std::string body = Head(language, m_texts.Get(language, "TXT_WEB_TITRE")) +
                       "<body class=\"login\"><main><h1>" + t("TXT_WEB_TITRE") +
                       "</h1><form method=\"post\" action=\"/login\" id=\"login\"><h2>" +
                       t("TXT_WEB_CONNEXION") + "</h2>";
    if (!message.empty())
        body +=
            "<p class=\"message\" role=\"alert\" id=\"message\">" + EscapeHtml(message) + "</p>";
    body += "<label for=\"u\">" + t("TXT_WEB_UTILISATEUR") +
            "</label><input id=\"u\" name=\"u\" autocomplete=\"username\" required "
            "autocapitalize=\"none\" spellcheck=\"false\" maxlength=\"64\">"
            "<label for=\"p\">" +
            t("TXT_WEB_MOT_DE_PASSE") +
            "</label><input id=\"p\" name=\"p\" type=\"password\" "
            "autocomplete=\"current-password\" required maxlength=\"1024\">"
            "<input type=\"hidden\" name=\"t\" value=\"" +
            nonce + "\"><button type=\"submit\">" + t("TXT_WEB_SE_CONNECTER") +
            "</button></form></main></body></html>\n";
    WebResponse r = Html(status, std::move(body), status == 200 ? "login page" : "log-in refused");
    r.headers.emplace_back("Set-Cookie", Cookie(kLoginCookie, nonce, 3600, request.https));
    return r;
}

bool Site::FailureBudgetLeft(const std::string& client, const std::string& user,
                             Clock::time_point now, long long& minutes) {
    bool left = true;
    minutes = 1;
    const auto check = [&](const std::string& key, unsigned limit) {
        const auto found = m_failures.find(key);
        if (found == m_failures.end()) return;
        if (now - found->second.start >= kFailureWindow) {
            m_failures.erase(found);
            return;
        }
        if (found->second.count < limit) return;
        left = false;
        const auto rest =
            std::chrono::ceil<std::chrono::minutes>(kFailureWindow - (now - found->second.start));
        minutes = std::max<long long>(minutes, rest.count());
    };
    check("a:" + client, kFailuresPerAddress);
    check("u:" + user, kFailuresPerUser);
    return left;
}

void Site::CountFailure(const std::string& client, const std::string& user, Clock::time_point now) {
    if (m_failures.size() >= kMaxFailureEntries) {
        for (auto it = m_failures.begin(); it != m_failures.end();)
            it = now - it->second.start >= kFailureWindow ? m_failures.erase(it) : std::next(it);
    }
    for (const std::string& key : {"a:" + client, "u:" + user}) {
        // A full table still counts the known keys; a new key is then not remembered, and the
        // per-address budget of the next attempts is the one left to fall back on.
        auto found = m_failures.find(key);
        if (found == m_failures.end()) {
            if (m_failures.size() >= kMaxFailureEntries) continue;
            found = m_failures.emplace(key, Failures{0, now}).first;
        }
        ++found->second.count;
    }
}

WebResponse Site::Login(const WebRequest& request, Language language) {
    const auto form = ParseForm(request.body);
    const auto field = [&](const char* name) {
        const auto found = form.find(name);
        return found == form.end() ? std::string() : found->second;
    };
    const std::string nonce = CookieValue(request.Header("cookie"), kLoginCookie);
    const std::string sent = field("t");
    if (nonce.empty() || sent.empty() || !ConstantTimeEquals(nonce, sent))
        return LoginPage(request, language, 403,
                         m_texts.Get(language, "MSG_WEB_FORMULAIRE_EXPIRE"));
    const std::string name = field("u").substr(0, 64);
    const std::string password = field("p");
    long long minutes = 1;
    if (!FailureBudgetLeft(request.client, name, request.now, minutes))
        return LoginPage(request, language, 429,
                         m_texts.Get(language, "MSG_WEB_TROP_D_ESSAIS", {std::to_string(minutes)}));
    std::string error;
    if (!m_users.Refresh(error)) std::fprintf(stderr, "velmora-relay: %s\n", error.c_str());
    const User* user = IsUserName(name) ? m_users.Find(name) : nullptr;
    bool ok = false;
    if (password.size() <= kMaxPasswordLength) {
        if (user)
            ok = CheckPassword(user->hash, password);
        else
            CheckPasswordDummy(password);
    }
    if (!ok) {
        CountFailure(request.client, name, request.now);
        return LoginPage(request, language, 401,
                         m_texts.Get(language, "MSG_WEB_CONNEXION_REFUSEE"));
    }
    // A new session every time: a value the browser held before (planted or not) never
    // becomes a session, and a session it held ends.
    m_sessions.erase(CookieValue(request.Header("cookie"), kSessionCookie));
    if (m_sessions.size() >= kMaxSessions) {
        for (auto it = m_sessions.begin(); it != m_sessions.end();)
            it = it->second.expires <= request.now ? m_sessions.erase(it) : std::next(it);
        if (m_sessions.size() >= kMaxSessions) {
            auto oldest = std::min_element(
                m_sessions.begin(), m_sessions.end(),
                [](const auto& a, const auto& b) { return a.second.expires < b.second.expires; });
            m_sessions.erase(oldest);
        }
    }
    const std::string token = RandomToken();
    m_sessions[token] = Session{name, RandomToken(), request.now + m_options.sessionLength};
    WebResponse r = Redirect("/", "logged in as " + name);
    const long long seconds =
        std::chrono::duration_cast<std::chrono::seconds>(m_options.sessionLength).count();
    r.headers.emplace_back("Set-Cookie", Cookie(kSessionCookie, token, seconds, request.https));
    r.headers.emplace_back("Set-Cookie", Cookie(kLoginCookie, "", 0, request.https));
    return r;
}

WebResponse Site::Logout(const WebRequest& request) {
    // Its streams learn at the next tick that the session is over.
    std::string token;
    FindSession(request, &token);
    m_sessions.erase(token);
    WebResponse r = Redirect("/login", "logged out");
    r.headers.emplace_back("Set-Cookie", Cookie(kSessionCookie, "", 0, request.https));
    return r;
}

WebResponse Site::Page(const Session& session, Language language) {
    const User* user = m_users.Find(session.user);
    const auto t = [&](const char* key) { return EscapeHtml(m_texts.Get(language, key)); };
    const auto folders = VisibleFolders(m_options.machinesFile, *user);
    std::string body = Head(language, m_texts.Get(language, "TXT_WEB_TITRE"));
    body.reserve(4096 + 256 * folders.size());
    body += "<body data-csrf=\"" + session.csrf + "\" data-up=\"" + t("TXT_WEB_EN_LIGNE") +
            "\" data-down=\"" + t("TXT_WEB_HORS_LIGNE") + "\" data-unknown=\"" +
            t("TXT_WEB_ETAT_INCONNU") + "\" data-status=\"" +
            (m_options.statusInterval ? "1" : "0") + "\">\n<header><h1>" + t("TXT_WEB_TITRE") +
            "</h1><form method=\"post\" action=\"/logout\" class=\"logout\">"
            "<input type=\"hidden\" name=\"csrf\" value=\"" +
            session.csrf + "\"><span class=\"user\">" + EscapeHtml(session.user) +
            "</span> <button type=\"submit\">" + t("TXT_WEB_DECONNEXION") +
            "</button></form></header>\n<main>";
    if (folders.empty()) {
        body += "<p class=\"empty\">" + t("TXT_WEB_AUCUN_DOSSIER") + "</p></main></body></html>\n";
        return Html(200, std::move(body), "page");
    }
    body += "<div class=\"tools\"><div role=\"tablist\" id=\"tabs\">";
    for (size_t i = 0; i < folders.size(); ++i) {
        const std::string n = std::to_string(folders[i].first);
        body += "<button role=\"tab\" id=\"t-" + n + "\" aria-controls=\"f-" + n +
                "\" aria-selected=\"" + (i == 0 ? "true" : "false") + "\" tabindex=\"" +
                (i == 0 ? "0" : "-1") + "\">" + EscapeHtml(folders[i].second) + "</button>";
    }
    body += "</div><input type=\"search\" id=\"filter\" placeholder=\"" + t("TXT_WEB_FILTRER") +
            "\" aria-label=\"" + t("TXT_WEB_FILTRER") + "\"></div>\n";
    for (size_t i = 0; i < folders.size(); ++i) {
        const std::string n = std::to_string(folders[i].first);
        const std::string folder = EscapeHtml(folders[i].second);
        body += "<section role=\"tabpanel\" class=\"folder\" id=\"f-" + n +
                "\" aria-labelledby=\"t-" + n + "\" data-folder=\"" + folder + "\"" +
                (i == 0 ? "" : " hidden") + "><div class=\"bar\"><h2>" + folder +
                "</h2><button type=\"button\" class=\"wakeall\">" + t("TXT_WEB_REVEILLER_DOSSIER") +
                "</button></div><ul class=\"machines\">";
        const std::vector<Machine> machines =
            ChargerDossier(m_options.machinesFile, folders[i].second);
        if (machines.empty())
            body += "<li class=\"empty\">" + t("TXT_WEB_AUCUNE_MACHINE") + "</li>";
        for (size_t k = 0; k < machines.size(); ++k) {
            const Machine& m = machines[k];
            const std::string row = RowId(folders[i].first, k + 1);
            const auto status = m_status.find(m.adresse);
            const char* dot = status == m_status.end() ? "unknown" : status->second ? "up" : "down";
            const char* label = status == m_status.end() ? "TXT_WEB_ETAT_INCONNU"
                                : status->second         ? "TXT_WEB_EN_LIGNE"
                                                         : "TXT_WEB_HORS_LIGNE";
            const auto wake = m_wakes.find(row);
            body += "<li class=\"machine\" id=\"" + row + "\" data-index=\"" +
                    std::to_string(k + 1) + "\" data-name=\"" + EscapeHtml(m.nom) +
                    "\"><span class=\"dot " + dot + "\" role=\"img\" aria-label=\"" + t(label) +
                    "\" title=\"" + t(label) +
                    "\"></span><span class=\"info\"><span class=\"name\">" + EscapeHtml(m.nom) +
                    "</span><span class=\"addr\">" + EscapeHtml(m.adresse) +
                    "</span><span class=\"comment\">" + EscapeHtml(m.commentaire) +
                    "</span><span class=\"state\" aria-live=\"polite\">" +
                    (wake == m_wakes.end() ? "" : EscapeHtml(WakeText(wake->second, language))) +
                    "</span></span><button type=\"button\" class=\"wake\" aria-label=\"" +
                    t("TXT_WEB_REVEILLER") + ' ' + EscapeHtml(m.nom) + "\">" +
                    t("TXT_WEB_REVEILLER") + "</button></li>";
        }
        body += "</ul></section>\n";
    }
    body += "</main></body></html>\n";
    return Html(200, std::move(body), "page");
}

std::string Site::WakeText(const Wake& wake, Language language) const {
    if (wake.textKey == "TXT_WEB_REVEIL_ENVOYE") return m_texts.Get(language, wake.textKey);
    if (wake.textKey.rfind("TXT_MACHINE_", 0) == 0)
        return m_texts.Get(language, wake.textKey, {std::to_string(wake.seconds)});
    return m_texts.Get(language, "MSG_WEB_ECHEC_REVEIL", {wake.textKey});
}

std::string Site::WakeOne(const std::string& folder, size_t index, Language language,
                          Clock::time_point now, bool& ok) {
    ok = false;
    const std::vector<Machine> machines = ChargerDossier(m_options.machinesFile, folder);
    if (index < 1 || index > machines.size())
        return m_texts.Get(language, "MSG_WEB_MACHINE_INTROUVABLE");
    const Machine& m = machines[index - 1];
    const ReglagesDemarrage r = ReglagesDemarrage::Lire(m_options.machinesFile, false);
    const Settings& settings = m_relay.CurrentSettings();
    const auto fail = [&](const std::string& reason) {
        return m_texts.Get(language, "MSG_WEB_ECHEC_REVEIL", {reason});
    };
    Mac mac;
    if (!EstAdresseMAC(m.adresseMAC) || !ParseMac(m.adresseMAC, mac))
        return fail(m_texts.Get(language, "MSG_WEB_MAC_ABSENTE"));
    if (!settings.allowMacs.empty() &&
        std::find(settings.allowMacs.begin(), settings.allowMacs.end(), mac) ==
            settings.allowMacs.end())
        return fail(m_texts.Get(language, "MSG_WEB_MAC_REFUSEE"));
    int port = static_cast<int>(r.portParDefautWOL);
    if (!m.port.empty() && !ParsePort(m.port, port)) return fail("port " + m.port);
    if (port < 1 || port > 65535) return fail("port " + std::to_string(port));
    const std::string mask = m.masque.empty() ? r.masqueParDefaut : m.masque;
    std::string destination;
    try {
        destination = net::AdresseDiffusion(m.adresse, mask, r.repliMode, r.repliAdresse);
    } catch (const std::exception& e) {
        return fail(e.what());
    }
    std::uint32_t address = 0;
    if (!ParseIPv4(NormaliserAdresseIP(destination), address)) return fail(destination);
    if (!settings.allowDests.empty()) {
        bool allowed = false;
        for (const Cidr& cidr : settings.allowDests) allowed = allowed || cidr.Contains(address);
        if (!allowed) return fail(m_texts.Get(language, "MSG_WEB_DESTINATION_REFUSEE"));
    }
    std::string error;
    if (!m_network.Send(address, port, mac, error)) return fail(error);
    ok = true;
    std::fprintf(stderr, "velmora-relay: web wake of %s (%s) sent to %s:%d\n", m.nom.c_str(),
                 MacText(mac).c_str(), IPv4Text(address).c_str(), port);
    const std::vector<std::string> all = ListerDossiers(m_options.machinesFile);
    size_t folderIndex = 0;
    while (folderIndex < all.size() && !Egal(all[folderIndex], folder)) ++folderIndex;
    const std::string row = RowId(folderIndex, index);
    if (m_wakes.size() >= kMaxWakes) {
        for (auto it = m_wakes.begin(); it != m_wakes.end();)
            it = it->second.done ? m_wakes.erase(it) : std::next(it);
    }
    if (m_wakes.size() < kMaxWakes || m_wakes.count(row))
        m_wakes[row] = Wake{folder, row, m.adresse, now, "TXT_WEB_REVEIL_ENVOYE", 0, false};
    return m_texts.Get(language, "TXT_WEB_REVEIL_ENVOYE");
}

WebResponse Site::WakeRequest(const WebRequest& request, const Session& session,
                              Language language) {
    const auto form = ParseForm(request.body);
    const auto field = [&](const char* name) {
        const auto found = form.find(name);
        return found == form.end() ? std::string() : found->second;
    };
    const std::string folder = field("folder");
    const User* user = m_users.Find(session.user);
    std::string canonical;
    for (const auto& [i, name] : VisibleFolders(m_options.machinesFile, *user))
        if (Egal(name, folder)) canonical = name;
    // A folder the user may not see answers as one that does not exist.
    if (canonical.empty()) return Json(404, "{\"error\":\"folder\"}", "no such folder");
    const std::vector<Machine> machines = ChargerDossier(m_options.machinesFile, canonical);
    const std::vector<std::string> all = ListerDossiers(m_options.machinesFile);
    size_t folderIndex = 0;
    while (folderIndex < all.size() && !Egal(all[folderIndex], canonical)) ++folderIndex;
    std::vector<size_t> indexes;
    const std::string machine = field("machine");
    if (machine.empty()) {
        for (size_t k = 1; k <= machines.size(); ++k) indexes.push_back(k);
    } else {
        const long long k = LireEntier(machine, 0);
        // The name guards against a list that changed since the page was made.
        if (k < 1 || static_cast<size_t>(k) > machines.size() ||
            machines[static_cast<size_t>(k) - 1].nom != field("name"))
            return Json(409,
                        "{\"error\":" +
                            JsonString(m_texts.Get(language, "MSG_WEB_MACHINE_INTROUVABLE")) + "}",
                        "machine not found");
        indexes.push_back(static_cast<size_t>(k));
    }
    std::string rows;
    unsigned sent = 0;
    for (size_t k : indexes) {
        bool ok = false;
        const std::string text = WakeOne(canonical, k, language, request.now, ok);
        sent += ok ? 1 : 0;
        if (!rows.empty()) rows += ',';
        rows += JsonString(RowId(folderIndex, k)) + ":{\"ok\":" + (ok ? "true" : "false") +
                ",\"text\":" + JsonString(text) + "}";
    }
    Broadcast(canonical);
    return Json(200, "{\"rows\":{" + rows + "}}",
                std::to_string(sent) + " of " + std::to_string(indexes.size()) + " woken");
}

WebResponse Site::Events(const WebRequest& request, const std::string& token, Language language) {
    const auto query = ParseForm(QueryOf(request.target));
    const auto found = query.find("folder");
    const User* user = m_users.Find(m_sessions[token].user);
    std::string canonical;
    if (found != query.end())
        for (const auto& [i, name] : VisibleFolders(m_options.machinesFile, *user))
            if (Egal(name, found->second)) canonical = name;
    if (canonical.empty()) return Json(404, "{\"error\":\"folder\"}", "no such folder");
    size_t open = 0;
    for (const auto& [id, s] : m_streams) open += s.ended ? 0 : 1;
    if (open >= kMaxStreams) return Plain(503, "503 Service Unavailable", "too many streams");
    const std::uint64_t id = m_nextStream++;
    Stream& stream = m_streams[id];
    stream.session = token;
    stream.folder = canonical;
    stream.language = language;
    stream.lastWrite = request.now;
    stream.pending = "retry: 5000\n\n";
    Broadcast(canonical);
    if (m_sweeper) m_sweeper->Hurry();
    WebResponse r;
    r.status = 200;
    r.stream = id;
    r.reason = "event stream";
    r.headers.emplace_back("Content-Type", "text/event-stream; charset=utf-8");
    r.headers.emplace_back("X-Accel-Buffering", "no");  // nginx passes each event at once
    SecurityHeaders(r);
    return r;
}

// Adds to every stream of `folder` what changed for it: status dots and wake texts.
void Site::Broadcast(const std::string& folder) {
    std::vector<Machine> machines;
    bool loaded = false;
    size_t folderIndex = 0;
    for (auto& [id, stream] : m_streams) {
        if (stream.ended || !Egal(stream.folder, folder)) continue;
        if (!loaded) {
            machines = ChargerDossier(m_options.machinesFile, folder);
            const std::vector<std::string> all = ListerDossiers(m_options.machinesFile);
            while (folderIndex < all.size() && !Egal(all[folderIndex], folder)) ++folderIndex;
            loaded = true;
        }
        // The rows are numbered as the page has them: a changed list makes the page reload.
        std::string names;
        for (const Machine& m : machines) names += m.nom + '|' + m.adresse + '\n';
        const std::size_t list = std::hash<std::string>{}(names) | 1;
        if (stream.list == 0) stream.list = list;
        if (stream.list != list) {
            stream.pending += "event: reload\ndata: {}\n\n";
            stream.ended = true;
            continue;
        }
        std::string status, wakes;
        for (size_t k = 0; k < machines.size(); ++k) {
            const std::string row = RowId(folderIndex, k + 1);
            const auto found = m_status.find(machines[k].adresse);
            const int value = found == m_status.end() ? -1 : found->second;
            auto sent = stream.sentStatus.find(row);
            if (sent == stream.sentStatus.end() || sent->second != value) {
                stream.sentStatus[row] = value;
                if (value >= 0 || sent != stream.sentStatus.end()) {
                    if (!status.empty()) status += ',';
                    status += JsonString(row) + ':' + std::to_string(value);
                }
            }
        }
        for (const auto& [row, wake] : m_wakes) {
            if (!Egal(wake.folder, folder)) continue;
            const std::string key = "w:" + row;
            const int state =
                static_cast<int>(wake.seconds) * 4 + (wake.textKey == "TXT_WEB_REVEIL_ENVOYE" ? 1
                                                      : wake.textKey == "TXT_MACHINE_PRETE"   ? 2
                                                                                              : 3);
            auto sent = stream.sentStatus.find(key);
            if (sent != stream.sentStatus.end() && sent->second == state) continue;
            stream.sentStatus[key] = state;
            if (!wakes.empty()) wakes += ',';
            wakes += JsonString(row) + ':' + JsonString(WakeText(wake, stream.language));
        }
        if (status.empty() && wakes.empty()) continue;
        stream.pending += "data: {\"s\":{" + status + "},\"w\":{" + wakes + "}}\n\n";
    }
}

std::string Site::StreamRead(std::uint64_t id, bool& ended) {
    const auto found = m_streams.find(id);
    if (found == m_streams.end()) {
        ended = true;
        return {};
    }
    std::string text = std::move(found->second.pending);
    found->second.pending.clear();
    if (!text.empty()) found->second.lastWrite = Clock::now();
    ended = text.empty() && found->second.ended;
    return text;
}

void Site::StreamClosed(std::uint64_t id) { m_streams.erase(id); }

std::vector<std::uint64_t> Site::StreamsReady() const {
    std::vector<std::uint64_t> ready;
    for (const auto& [id, stream] : m_streams)
        if (!stream.pending.empty() || stream.ended) ready.push_back(id);
    return ready;
}

void Site::EndStreams() {
    for (auto& [id, stream] : m_streams) stream.ended = true;
}

int Site::EventFd() const { return m_sweeper ? m_sweeper->EventFd() : -1; }

void Site::SweepNow() {
    std::vector<std::string> targets;
    for (const auto& [id, stream] : m_streams)
        if (!stream.ended && m_options.statusInterval)
            for (const Machine& m : ChargerDossier(m_options.machinesFile, stream.folder))
                targets.push_back(m.adresse);
    for (const auto& [row, wake] : m_wakes)
        if (!wake.done) targets.push_back(wake.address);
    std::sort(targets.begin(), targets.end());
    targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
    targets.erase(std::remove(targets.begin(), targets.end(), std::string()), targets.end());
    const auto started = Clock::now();
    const std::vector<bool> answers = m_prober->Probe(targets);
    SweepResult result{started, targets, answers};
    m_results.push_back(std::move(result));
}

void Site::Tick(Clock::time_point now) {
    std::vector<SweepResult> results;
    if (m_sweeper)
        results = m_sweeper->Take();
    else
        results.swap(m_results);
    std::set<std::string> changed;
    for (const SweepResult& result : results) {
        for (size_t i = 0; i < result.addresses.size() && i < result.answers.size(); ++i) {
            const int value = result.answers[i] ? 1 : 0;
            m_status[result.addresses[i]] = value;
            if (!value) continue;
            for (auto& [row, wake] : m_wakes) {
                if (wake.done || wake.address != result.addresses[i] || result.started < wake.start)
                    continue;
                wake.done = true;
                wake.textKey = "TXT_MACHINE_PRETE";
                wake.seconds = std::max<long long>(
                    1, std::chrono::ceil<std::chrono::seconds>(now - wake.start).count());
            }
        }
    }
    for (auto& [row, wake] : m_wakes) {
        if (wake.done || now - wake.start < m_options.wakeWait) continue;
        wake.done = true;
        wake.textKey = "TXT_MACHINE_PAS_PRETE";
        wake.seconds = m_options.wakeWait.count();
        changed.insert(wake.folder);
    }
    // Streams whose session ended are told to go back to the log-in page, then closed.
    for (auto& [id, stream] : m_streams) {
        if (stream.ended) continue;
        const auto session = m_sessions.find(stream.session);
        if (session == m_sessions.end() || session->second.expires <= now) {
            stream.pending += "event: login\ndata: {}\n\n";
            stream.ended = true;
        } else if (now - stream.lastWrite >= kHeartbeat) {
            stream.pending += ": still here\n\n";
            stream.lastWrite = now;
        }
    }
    if (!results.empty() || !changed.empty()) {
        std::set<std::string> folders;
        for (const auto& [id, stream] : m_streams)
            if (!stream.ended) folders.insert(stream.folder);
        for (const std::string& folder : folders) Broadcast(folder);
    }
    if (!m_sweeper) return;
    // The sweeper's next list: the folders open in a page, and the machines being waited for.
    std::vector<std::string> targets;
    std::set<std::string> folders;
    if (m_options.statusInterval)
        for (const auto& [id, stream] : m_streams)
            if (!stream.ended) folders.insert(stream.folder);
    for (const std::string& folder : folders)
        for (const Machine& m : ChargerDossier(m_options.machinesFile, folder))
            targets.push_back(m.adresse);
    bool waiting = false;
    for (const auto& [row, wake] : m_wakes)
        if (!wake.done) {
            targets.push_back(wake.address);
            waiting = true;
        }
    std::sort(targets.begin(), targets.end());
    targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
    targets.erase(std::remove(targets.begin(), targets.end(), std::string()), targets.end());
    std::chrono::seconds interval{m_options.statusInterval};
    if (!m_options.statusInterval && waiting) interval = kSweepWithoutStatus;
    m_sweeper->SetTargets(std::move(targets), interval);
}

}  // namespace velmora::relay::web
