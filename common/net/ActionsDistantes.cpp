// Remote power actions through Samba's `net rpc` and the velmora-wmi helper. Credentials go to
// the tools through inherited pipes or standard input, never on their command lines or on disk.
#include "common/net/ActionsDistantes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "common/net/ErreurSysteme.h"
#include "common/net/ErreursWindows.h"
#include "common/net/Outil.h"
#include "common/net/Sondes.h"
#include "common/text/Commun.h"

namespace velmora::net {

namespace {

// Credentials travel one per line (auth file, standard input): a line break cannot pass.
bool Transmissibles(const Identifiants& id, std::string& messageErreur) {
    if (id.motDePasse.find_first_of("\r\n") == std::string::npos &&
        id.login.find_first_of("\r\n") == std::string::npos)
        return true;
    messageErreur = i18n::TexteReseau("ERR_SAUT_DE_LIGNE") + " (err=87)";
    return false;
}

constexpr int kDelaiNetMs = 60000;  // a remote call that takes longer is abandoned
constexpr int kDelaiWmiMs = 90000;
constexpr const char* kInterpreteur = "/usr/bin/python3";  // the one that imports Impacket

// "DOMAIN\user" -> ("DOMAIN", "user").
std::pair<std::string, std::string> SeparerDomaine(const std::string& login) {
    const size_t p = login.find('\\');
    if (p == std::string::npos) return {"", login};
    return {login.substr(0, p), login.substr(p + 1)};
}

// A pipe holding `contenu` whose read end a tool inherits: the credentials never touch a disk
// and vanish with the processes, however they end. The content is small enough to sit whole in
// the pipe's buffer, so it is written and the write end closed before the tool starts.
class TubeSecret {
  public:
    TubeSecret(const std::string& contenu, std::string& erreur) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            erreur = TexteErreur(errno);
            return;
        }
        m_lecture = fds[0];
        size_t ecrits = 0;
        while (ecrits < contenu.size()) {
            const ssize_t n = ::write(fds[1], contenu.data() + ecrits, contenu.size() - ecrits);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            ecrits += static_cast<size_t>(n);
        }
        const int erreurEcriture = errno;
        ::close(fds[1]);
        if (ecrits != contenu.size()) {
            erreur = TexteErreur(erreurEcriture);
            ::close(m_lecture);
            m_lecture = -1;
        }
    }
    ~TubeSecret() {
        if (m_lecture >= 0) ::close(m_lecture);
    }
    TubeSecret(const TubeSecret&) = delete;
    TubeSecret& operator=(const TubeSecret&) = delete;
    int Lecture() const { return m_lecture; }

  private:
    int m_lecture = -1;
};

// Samba's readers: an auth file (-A) drops the blanks around a value; PASSWD_FD keeps every
// byte up to a line break or the end, at most 127 bytes, and refuses an empty password.
constexpr size_t kTailleMaxPasswdFd = 127;
constexpr int kFdAuthentification = 3;
constexpr int kFdMotDePasse = 4;

bool BordsBlancs(const std::string& texte) {
    auto blanc = [](char c) { return c == ' ' || c == '\t'; };
    return !texte.empty() && (blanc(texte.front()) || blanc(texte.back()));
}

// The user's own credentials: a Kerberos ticket when one is there, else an anonymous attempt
// (which the remote side refuses with its own error).
bool TicketKerberos() {
    if (const char* cache = std::getenv("KRB5CCNAME"); cache && *cache) return true;
    struct stat infos {};
    return ::stat(("/tmp/krb5cc_" + std::to_string(::getuid())).c_str(), &infos) == 0;
}

// The dotted quad of `machine` (an address, normalised, or a name resolved by the system
// resolver); a name that does not resolve gives "network path not found" (53).
bool AdresseDeLaMachine(const std::string& machine, std::string& adresse,
                        std::string& messageErreur) {
    if (EstAdresseIP(machine)) {
        adresse = NormaliserAdresseIP(machine);
        return true;
    }
    if (!machine.empty() && ResoudreNom(machine, adresse)) return true;
    messageErreur = TexteErreurWindows(53);
    return false;
}

// Runs `net rpc <commande>` against `machine` with the chosen credentials.
bool ExecuterNet(const std::string& machine, std::vector<std::string> arguments,
                 const std::string& login, const std::string& motDePasse,
                 std::string& messageErreur) {
    const std::string net = TrouverOutil("net");
    if (net.empty()) {
        messageErreur =
            i18n::TexteReseau("ERR_PAQUET_MANQUANT", {"net", "samba-common-bin"}) + " (err=2)";
        return false;
    }
    const Identifiants id = ChoisirIdentifiants(login, motDePasse);
    if (!Transmissibles(id, messageErreur)) return false;
    // Debug level 1 makes net name the status of a refusal it otherwise reports silently.
    std::vector<std::string> argv = {net, "rpc"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    argv.push_back("-d1");
    // The machine is reached at the address the ping saw: "010.077.000.001" is 10.77.0.1, never
    // read as octal, and a name is resolved as the ping resolves it (net would otherwise use
    // its own resolution order), then given with its address.
    std::string cible;
    if (!AdresseDeLaMachine(machine, cible, messageErreur)) return false;
    if (!EstAdresseIP(machine)) {
        argv.push_back("-S");
        argv.push_back(machine);
    }
    argv.push_back("-I");
    argv.push_back(cible);
    HeritageOutil heritage;
    std::unique_ptr<TubeSecret> fichier, tubeMotDePasse;
    if (id.propres) {
        argv.push_back(TicketKerberos() ? "--use-kerberos=required" : "-N");
    } else {
        // The login in an auth file read from an inherited pipe; the password there too when the
        // file reader keeps it whole, else through PASSWD_FD, which keeps blanks.
        const auto [domaine, utilisateur] = SeparerDomaine(id.login);
        std::string contenu = "username = " + utilisateur + "\n";
        if (!domaine.empty()) contenu += "domain = " + domaine + "\n";
        const bool parFd = BordsBlancs(id.motDePasse);
        if (parFd && id.motDePasse.size() > kTailleMaxPasswdFd) {
            messageErreur = i18n::TexteReseau("ERR_MOT_DE_PASSE_TROP_LONG") + " (err=87)";
            return false;
        }
        if (!parFd) contenu += "password = " + id.motDePasse + "\n";
        std::string erreur;
        fichier = std::make_unique<TubeSecret>(contenu, erreur);
        if (fichier->Lecture() < 0) {
            messageErreur = erreur;
            return false;
        }
        heritage.descripteurs.push_back({fichier->Lecture(), kFdAuthentification});
        argv.push_back("-A");
        argv.push_back("/dev/fd/" + std::to_string(kFdAuthentification));
        if (parFd) {
            tubeMotDePasse = std::make_unique<TubeSecret>(id.motDePasse, erreur);
            if (tubeMotDePasse->Lecture() < 0) {
                messageErreur = erreur;
                return false;
            }
            heritage.descripteurs.push_back({tubeMotDePasse->Lecture(), kFdMotDePasse});
            heritage.environnement.push_back({"PASSWD_FD", std::to_string(kFdMotDePasse)});
        }
    }
    const ResultatOutil resultat = LancerOutil(argv, {}, kDelaiNetMs, heritage);
    if (resultat.lance && !resultat.expire && resultat.statut == 0) return true;
    messageErreur = TexteEchecOutil(resultat);
    return false;
}

}  // namespace

Identifiants ChoisirIdentifiants(const std::string& login, const std::string& motDePasse) {
    if (!login.empty()) return {login, motDePasse, false};
    const auto& r = Prog().reglages;
    if (r.authentificationMode == 1)
        return {r.authentificationLogin, r.authentificationPassword, false};
    return {"", "", true};
}

bool ArreterADistance(const std::string& machine, long long delai, const std::string& message,
                      bool forcer, bool redemarrer, const std::string& login,
                      const std::string& motDePasse, std::string& messageErreur) {
    // The remote side reads the delay as an unsigned 32-bit count: a negative one would wrap
    // into a shutdown decades away, or be refused with a misleading text.
    if (delai < 0 || delai > 0xFFFFFFFFLL) {
        messageErreur =
            i18n::TexteReseau("ERR_DELAI_INVALIDE", {std::to_string(delai)}) + " (err=87)";
        return false;
    }
    const Identifiants id = ChoisirIdentifiants(login, motDePasse);
    if (id.propres)
        ActiverPrivilegeArret(machine);
    else
        ConnecterIPC(machine, id.login, id.motDePasse);
    // net puts its own default of 20 s in place of a zero delay: "now" goes as 1 second.
    std::vector<std::string> arguments = {
        "shutdown", "--timeout=" + std::to_string(delai == 0 ? 1 : delai), "--comment=" + message};
    if (redemarrer) arguments.push_back("--reboot");
    if (forcer) arguments.push_back("--force");
    const bool ok = ExecuterNet(machine, arguments, login, motDePasse, messageErreur);
    if (!id.propres) DeconnecterIPC(machine);
    return ok;
}

bool AnnulerArret(const std::string& machine, const std::string& login,
                  const std::string& motDePasse, std::string& messageErreur) {
    const Identifiants id = ChoisirIdentifiants(login, motDePasse);
    if (id.propres)
        ActiverPrivilegeArret(machine);
    else
        ConnecterIPC(machine, id.login, id.motDePasse);
    const bool ok = ExecuterNet(machine, {"abortshutdown"}, login, motDePasse, messageErreur);
    if (!id.propres) DeconnecterIPC(machine);
    return ok;
}

bool ActionWMI(const std::string& machine, long long action, const std::string& login,
               const std::string& motDePasse, std::string& messageErreur) {
    const std::string assistant = TrouverAssistant("velmora-wmi");
    if (assistant.empty()) {
        messageErreur = i18n::TexteReseau("ERR_ASSISTANT_WMI_MANQUANT") + " (err=2)";
        return false;
    }
    const std::string interpreteur = TrouverOutil(kInterpreteur);
    if (interpreteur.empty()) {
        messageErreur =
            i18n::TexteReseau("ERR_PAQUET_MANQUANT", {kInterpreteur, "python3-impacket"}) +
            " (err=2)";
        return false;
    }
    const Identifiants id = ChoisirIdentifiants(login, motDePasse);
    if (!Transmissibles(id, messageErreur)) return false;
    const std::string entree = id.login + "\n" + id.motDePasse + "\n";
    // A name stays a name (Kerberos needs it) once it is known to resolve.
    std::string adresse;
    if (!AdresseDeLaMachine(machine, adresse, messageErreur)) return false;
    const std::string cible = EstAdresseIP(machine) ? adresse : machine;
    if (id.propres && !TicketKerberos()) {
        messageErreur = i18n::TexteReseau("ERR_WMI_LOGIN_NECESSAIRE") + " (err=1312)";
        return false;
    }
    const ResultatOutil resultat =
        LancerOutil({interpreteur, assistant, cible, std::to_string(action)}, entree, kDelaiWmiMs);
    if (resultat.lance && !resultat.expire && resultat.statut == 0) return true;
    messageErreur = TexteEchecOutil(resultat);
    return false;
}

void ConnecterIPC(const std::string&, const std::string&, const std::string&) {}

void DeconnecterIPC(const std::string&) {}

bool ActiverPrivilegeArret(const std::string&) { return true; }

}  // namespace velmora::net
