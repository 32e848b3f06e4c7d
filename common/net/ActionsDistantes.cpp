// Remote power actions through Samba's `net rpc` and the velmora-wmi helper. Credentials go to
// the tools through a private file or standard input, never on their command lines.
#include "common/net/ActionsDistantes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "common/config/Programme.h"
#include "common/net/ErreurSysteme.h"
#include "common/net/ErreursWindows.h"
#include "common/net/Outil.h"
#include "common/text/Commun.h"

namespace velmora::net {

namespace {

// Credentials travel one per line (auth file, standard input): a line break cannot pass.
bool Transmissibles(const Identifiants& id, std::string& messageErreur) {
    if (id.motDePasse.find_first_of("\r\n") == std::string::npos &&
        id.login.find_first_of("\r\n") == std::string::npos)
        return true;
    messageErreur = "The login or password holds a line break, which cannot be passed on (err=87)";
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

// A mode-0600 authentication file for `net -A`, removed when the object goes.
class FichierAuthentification {
  public:
    FichierAuthentification(const Identifiants& id, std::string& erreur) {
        const char* tmp = std::getenv("TMPDIR");
        std::string modele = std::string(tmp && *tmp ? tmp : "/tmp") + "/velmora-auth-XXXXXX";
        const int fd = ::mkstemp(modele.data());  // created with mode 0600
        if (fd < 0) {
            erreur = TexteErreur(errno);
            return;
        }
        m_chemin = modele;
        const auto [domaine, utilisateur] = SeparerDomaine(id.login);
        std::string contenu = "username = " + utilisateur + "\npassword = " + id.motDePasse + "\n";
        if (!domaine.empty()) contenu += "domain = " + domaine + "\n";
        const bool ecrit = ::fchmod(fd, 0600) == 0 && ::write(fd, contenu.data(), contenu.size()) ==
                                                          static_cast<ssize_t>(contenu.size());
        if (!ecrit) erreur = TexteErreur(errno);
        ::close(fd);
        if (!ecrit) Supprimer();
    }
    ~FichierAuthentification() { Supprimer(); }
    FichierAuthentification(const FichierAuthentification&) = delete;
    FichierAuthentification& operator=(const FichierAuthentification&) = delete;
    const std::string& Chemin() const { return m_chemin; }

  private:
    void Supprimer() {
        if (!m_chemin.empty()) ::unlink(m_chemin.c_str());
        m_chemin.clear();
    }
    std::string m_chemin;
};

// The user's own credentials: a Kerberos ticket when one is there, else an anonymous attempt
// (which the remote side refuses with its own error).
bool TicketKerberos() {
    if (const char* cache = std::getenv("KRB5CCNAME"); cache && *cache) return true;
    struct stat infos {};
    return ::stat(("/tmp/krb5cc_" + std::to_string(::getuid())).c_str(), &infos) == 0;
}

// Runs `net rpc <commande>` against `machine` with the chosen credentials.
bool ExecuterNet(const std::string& machine, std::vector<std::string> arguments,
                 const std::string& login, const std::string& motDePasse,
                 std::string& messageErreur) {
    const std::string net = TrouverOutil("net");
    if (net.empty()) {
        messageErreur =
            "Samba's net tool is missing: install the package samba-common-bin "
            "(err=2)";
        return false;
    }
    const Identifiants id = ChoisirIdentifiants(login, motDePasse);
    if (!Transmissibles(id, messageErreur)) return false;
    // Debug level 1 makes net name the status of a refusal it otherwise reports silently.
    std::vector<std::string> argv = {net, "rpc"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    argv.push_back("-d1");
    argv.push_back(EstAdresseIP(machine) ? "-I" : "-S");
    argv.push_back(machine);
    std::unique_ptr<FichierAuthentification> fichier;
    if (id.propres) {
        argv.push_back(TicketKerberos() ? "--use-kerberos=required" : "-N");
    } else {
        std::string erreur;
        fichier = std::make_unique<FichierAuthentification>(id, erreur);
        if (fichier->Chemin().empty()) {
            messageErreur = erreur;
            return false;
        }
        argv.push_back("-A");
        argv.push_back(fichier->Chemin());
    }
    const ResultatOutil resultat = LancerOutil(argv, {}, kDelaiNetMs);
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
        messageErreur = "Invalid delay " + std::to_string(delai) + " (err=87)";
        return false;
    }
    const Identifiants id = ChoisirIdentifiants(login, motDePasse);
    if (id.propres)
        ActiverPrivilegeArret(machine);
    else
        ConnecterIPC(machine, id.login, id.motDePasse);
    std::vector<std::string> arguments = {"shutdown", "--timeout=" + std::to_string(delai),
                                          "--comment=" + message};
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
    const std::string assistant = TrouverOutil("velmora-wmi");
    if (assistant.empty()) {
        messageErreur =
            "The WMI helper velmora-wmi is missing beside the program; reinstall "
            "Velmora (err=2)";
        return false;
    }
    const std::string interpreteur = TrouverOutil(kInterpreteur);
    if (interpreteur.empty()) {
        messageErreur = std::string(kInterpreteur) +
                        " is missing: install the package python3-impacket (err=2)";
        return false;
    }
    const Identifiants id = ChoisirIdentifiants(login, motDePasse);
    if (!Transmissibles(id, messageErreur)) return false;
    const std::string entree = id.login + "\n" + id.motDePasse + "\n";
    const ResultatOutil resultat = LancerOutil(
        {interpreteur, assistant, machine, std::to_string(action)}, entree, kDelaiWmiMs);
    if (resultat.lance && !resultat.expire && resultat.statut == 0) return true;
    messageErreur = TexteEchecOutil(resultat);
    return false;
}

void ConnecterIPC(const std::string&, const std::string&, const std::string&) {}

void DeconnecterIPC(const std::string&) {}

bool ActiverPrivilegeArret(const std::string&) { return true; }

}  // namespace velmora::net
