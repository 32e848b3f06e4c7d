// Wake via Internet: the template request over HTTP with libcurl.
#include "common/net/ReveilInternet.h"

#include <curl/curl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>

#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "common/net/Valeurs.h"
#include "common/platform/Outil.h"
#include "common/text/Commun.h"

namespace velmora::net {

namespace {

constexpr long kDelaiTentativeMs = 10000;  // per attempt
// At most this much of an answer's body is read; the transfer stops there. Only its first line
// is ever shown.
constexpr size_t kCorpsMax = 64 * 1024;  // bytes
constexpr long kTypeDefaut = 0, kTypeDirect = 1, kTypeProxy = 2;

// No wake service is run for this program, so there is no built-in template to fall back on.
constexpr const char* kModeleIntegre = "";

struct LibererCurl {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

void InitialiserCurl() {
    static std::once_flag une;
    std::call_once(une, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The body read so far, and whether the transfer was stopped at kCorpsMax.
struct Corps {
    std::string texte;
    bool tronque = false;
};

size_t AjouterCorps(char* donnees, size_t taille, size_t n, void* cible) {
    auto* corps = static_cast<Corps*>(cible);
    const size_t recu = taille * n;
    const size_t place = kCorpsMax - corps->texte.size();
    if (recu > place) {
        // Anything other than the size given stops the transfer.
        corps->texte.append(donnees, place);
        corps->tronque = true;
        return 0;
    }
    corps->texte.append(donnees, recu);
    return recu;
}

// Keeps the headers of the last response only: a new status line starts them again.
size_t AjouterEntete(char* donnees, size_t taille, size_t n, void* cible) {
    auto* entetes = static_cast<std::string*>(cible);
    const std::string_view ligne(donnees, taille * n);
    if (ligne.rfind("HTTP/", 0) == 0) entetes->clear();
    entetes->append(ligne);
    return taille * n;
}

// Polls the tool runner's stop hook (the window's events and stop button) during a transfer;
// a true answer abandons the attempt.
int Progression(void* attente, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto& arreter = *static_cast<std::function<bool()>*>(attente);
    return arreter && arreter() ? 1 : 0;
}

struct Tentative {
    long type;
    std::string adresse;
};

// One GET; true on "200 OK". `corps` and `entetes` get what the server sent (at most
// kCorpsMax of body). Only http and https are spoken, redirects included.
bool Demander(const Tentative& t, const ReglagesDemarrage& reglages, Corps& corps,
              std::string& entetes, bool& reponseRecue) {
    std::unique_ptr<CURL, LibererCurl> curl(curl_easy_init());
    if (!curl) return false;
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, t.adresse.c_str());
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, kDelaiTentativeMs);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, AjouterCorps);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &corps);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, AjouterEntete);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &entetes);
    std::function<bool()> arreter = platform::AttenteOutilsCourante();
    if (arreter) {
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, Progression);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, &arreter);
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    }
    if (t.type == kTypeDirect) {
        curl_easy_setopt(c, CURLOPT_PROXY, "");  // environment proxies ignored
    } else if (t.type == kTypeProxy) {
        curl_easy_setopt(c, CURLOPT_PROXY, reglages.proxyAdresse.c_str());
        curl_easy_setopt(c, CURLOPT_NOPROXY, "");  // no_proxy does not bypass a named proxy
        const auto port = LireNombre(reglages.proxyPort);
        if (port && *port > 0 && *port < 65536)
            curl_easy_setopt(c, CURLOPT_PROXYPORT, static_cast<long>(*port));
    }
    if (t.type != kTypeDirect && !reglages.proxyLogin.empty()) {
        curl_easy_setopt(c, CURLOPT_PROXYUSERNAME, reglages.proxyLogin.c_str());
        curl_easy_setopt(c, CURLOPT_PROXYPASSWORD, reglages.proxyPassword.c_str());
        curl_easy_setopt(c, CURLOPT_PROXYAUTH, CURLAUTH_BASIC);
    }
    const CURLcode code = curl_easy_perform(c);
    reponseRecue = !entetes.empty();
    // A body cut at the bound still came with its status.
    const bool fini = code == CURLE_OK || (code == CURLE_WRITE_ERROR && corps.tronque);
    return fini && StatutReponse(entetes) == "200 OK";
}

// The value of header `nom` (lower case, ":" included) in `entetes`, or "".
std::string Entete(std::string_view entetes, std::string_view nom) {
    for (const std::string& ligne : ExtraireChamp(std::string(entetes), "\n")) {
        if (ligne.size() < nom.size() || Minuscules(ligne.substr(0, nom.size())) != nom) continue;
        const size_t debut = ligne.find_first_not_of(" \t", nom.size());
        const size_t fin = ligne.find_last_not_of(" \t\r");
        return debut == std::string::npos || fin < debut ? std::string()
                                                         : ligne.substr(debut, fin - debut + 1);
    }
    return "";
}

// The body is shown when it is plain text (no declared type, or text/plain) whose first line
// holds something; otherwise (an HTML error page, binary data, nothing) the status line is.
std::string TexteAMontrer(const std::string& corps, const std::string& entetes) {
    const std::string type = Minuscules(Entete(entetes, "content-type:"));
    // The first non-empty line, checked as it was sent (a body cut at the bound may end in
    // the middle of a character).
    const size_t debut = corps.find_first_not_of("\r\n");
    const std::string_view premiere =
        debut == std::string::npos
            ? std::string_view()
            : std::string_view(corps).substr(debut, corps.find_first_of("\r\n", debut) - debut);
    const bool texte = (type.empty() || type.rfind("text/plain", 0) == 0) &&
                       premiere.find('\0') == std::string_view::npos && EstUtf8Valide(premiere);
    const std::string resume = ResumeReponse(premiere);
    if (texte && !resume.empty() && resume[0] != '<') return corps;
    return StatutReponse(entetes);
}

// The scheme of `url` in lower case ("" when it names none: libcurl then speaks http).
std::string Schema(const std::string& url) {
    const size_t p = url.find("://");
    if (p == std::string::npos) return "";
    return Minuscules(url.substr(0, p));
}

// The text of `cle` in the Translation table, or its French built-in text when the table
// does not hold it (a caller that loaded no table).
std::string Message(const char* cle) {
    std::string texte = i18n::Tr(cle);
    if (!texte.empty()) return texte;
    for (const auto& [c, francais] : i18n::TextesIntegres(i18n::ListeTextes::Fenetre))
        if (std::string_view(c) == cle) return francais;
    return cle;
}

}  // namespace

std::string ResumeReponse(std::string_view corps) {
    constexpr size_t kLongueurMax = 300;  // bytes
    size_t debut = 0;
    while (debut < corps.size() && (corps[debut] == '\r' || corps[debut] == '\n')) ++debut;
    std::string resume;
    for (size_t i = debut; i < corps.size() && corps[i] != '\r' && corps[i] != '\n'; ++i) {
        const unsigned char c = static_cast<unsigned char>(corps[i]);
        // Control characters (a terminal's escape sequences among them) are not shown.
        if (c < 0x20 || c == 0x7f) continue;
        resume += static_cast<char>(c);
    }
    if (resume.size() > kLongueurMax) {
        size_t fin = kLongueurMax;
        // Never cut a UTF-8 sequence in two.
        while (fin > 0 && (static_cast<unsigned char>(resume[fin]) & 0xC0) == 0x80) --fin;
        resume.resize(fin);
        resume += "...";
    }
    return resume;
}

std::string StatutReponse(std::string_view entetes) {
    size_t fin = 0;
    while (fin < entetes.size() && static_cast<unsigned char>(entetes[fin]) >= 32) ++fin;
    const std::string_view ligne = entetes.substr(0, fin);
    const size_t espace = ligne.find(' ');
    return espace == std::string_view::npos ? std::string() : std::string(ligne.substr(espace + 1));
}

bool ReveillerParInternet(const std::string& adresse, long long port, const std::string& mac,
                          std::string& reponse, const ReglagesDemarrage& reglages) {
    const std::string modele = reglages.scriptWOWParDefaut ? kModeleIntegre : reglages.scriptWOWUrl;
    if (modele.empty()) {
        reponse = Message(reglages.scriptWOWParDefaut ? "MSG_ERREUR_REVEIL_SANS_SCRIPT"
                                                      : "MSG_ERREUR_SCRIPT_WOW_URL_VIDE");
        return false;
    }
    // Nothing is URL-encoded, so only values that cannot change the request's shape go in: an
    // address, a MAC and a port number. Anything else is refused before any request.
    auto utilise = [&](const char* marque) {
        return Chercher(modele, marque, 1, Comparaison::Texte) != 0;
    };
    if (utilise("%ip%") && !EstAdresseIP(adresse) && !EstNomHote(adresse)) {
        reponse = i18n::TexteReseau("ERR_REVEIL_ADRESSE", {adresse});
        return false;
    }
    if (utilise("%mac%") && !EstAdresseMAC(mac)) {
        reponse = i18n::TexteReseau("ERR_REVEIL_MAC", {mac});
        return false;
    }
    if (utilise("%port%") && (port < 0 || port > 65535)) {
        reponse = i18n::TexteReseau("ERR_REVEIL_PORT", {std::to_string(port)});
        return false;
    }
    InitialiserCurl();
    {
        std::unique_ptr<CURL, LibererCurl> essai(curl_easy_init());
        if (!essai) {
            reponse = i18n::TexteReseau("ERR_PAQUET_MANQUANT", {"libcurl", "libcurl4"});
            return false;
        }
    }
    const std::string schema = Schema(modele);
    if (!schema.empty() && schema != "http" && schema != "https") {
        reponse = i18n::TexteReseau("ERR_REVEIL_PROTOCOLE", {schema});
        return false;
    }
    const std::string cible = EstAdresseIP(adresse) ? NormaliserAdresseIP(adresse) : adresse;
    std::string url = Remplacer(modele, "%ip%", cible, 1, Comparaison::Texte);
    url = Remplacer(url, "%mac%", mac, 1, Comparaison::Texte);
    url = Remplacer(url, "%port%", std::to_string(port), 1, Comparaison::Texte);

    const int essais = reglages.proxyAccesDirect && reglages.proxyType != kTypeDirect ? 2 : 1;
    for (int essai = 0; essai < essais; ++essai) {
        const long type = essai == 0 ? static_cast<long>(reglages.proxyType) : kTypeDirect;
        Corps corps;
        std::string entetes;
        bool recue = false;
        const bool ok = Demander({type, url}, reglages, corps, entetes, recue);
        if (recue) reponse = TexteAMontrer(corps.texte, entetes);
        if (ok) return true;
    }
    return false;
}

bool ReveillerParInternet(const std::string& adresse, long long port, const std::string& mac,
                          std::string& reponse) {
    return ReveillerParInternet(adresse, port, mac, reponse, Prog().reglages);
}

}  // namespace velmora::net
