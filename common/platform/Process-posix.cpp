// The real ProcessRunner: fork and exec without a shell, one pipe for standard output and error,
// a poll loop that reads while the child runs, feeds its input, and enforces the time limit.
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "common/platform/Process.h"

extern char** environ;

namespace velmora::platform {
namespace {

volatile sig_atomic_t g_signalArret = 0;

extern "C" void NoterSignalArret(int signal) { g_signalArret = signal; }

// The stop callback, or a stop signal received by the program.
bool ArretDemande(const ProcessRequest& requete) {
    return g_signalArret != 0 || (requete.arreter && requete.arreter());
}

using Horloge = std::chrono::steady_clock;

// A descriptor closed when it goes out of scope.
class Descripteur {
  public:
    Descripteur() = default;
    explicit Descripteur(int fd) : m_fd(fd) {}
    Descripteur(const Descripteur&) = delete;
    Descripteur& operator=(const Descripteur&) = delete;
    ~Descripteur() { Fermer(); }
    int get() const { return m_fd; }
    bool ouvert() const { return m_fd >= 0; }
    void Reprendre(int fd) {
        Fermer();
        m_fd = fd;
    }
    void Fermer() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

  private:
    int m_fd = -1;
};

// A descriptor that becomes readable when the child ends (Linux 5.3+), or -1.
int OuvrirPidfd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

// The inherited environment with the request's variables added or replaced.
std::vector<std::string> Environnement(const ProcessRequest& requete) {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        std::string_view ligne(*e);
        bool remplacee = std::any_of(
            requete.environnement.begin(), requete.environnement.end(), [&](const auto& v) {
                return ligne.size() > v.first.size() &&
                       ligne.substr(0, v.first.size()) == v.first && ligne[v.first.size()] == '=';
            });
        if (!remplacee) env.emplace_back(ligne);
    }
    for (const auto& [nom, valeur] : requete.environnement) env.push_back(nom + "=" + valeur);
    return env;
}

std::vector<char*> Pointeurs(std::vector<std::string>& textes) {
    std::vector<char*> p;
    p.reserve(textes.size() + 1);
    for (auto& t : textes) p.push_back(t.data());
    p.push_back(nullptr);
    return p;
}

// Writes to a pipe whose reader may be gone without letting SIGPIPE end this process.
ssize_t EcrireSansSigpipe(int fd, const char* donnees, size_t taille) {
    sigset_t pipe, ancien, attente;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &ancien);
    sigpending(&attente);
    bool dejaEnAttente = sigismember(&attente, SIGPIPE) == 1;
    ssize_t n = ::write(fd, donnees, taille);
    int erreur = errno;
    if (n < 0 && erreur == EPIPE && !dejaEnAttente) {
        timespec zero{};
        sigtimedwait(&pipe, nullptr, &zero);
    }
    pthread_sigmask(SIG_SETMASK, &ancien, nullptr);
    errno = erreur;
    return n;
}

void NoterFin(int wstatus, ProcessResult& resultat) {
    if (WIFEXITED(wstatus)) {
        resultat.statut = WEXITSTATUS(wstatus);
    } else if (WIFSIGNALED(wstatus)) {
        resultat.signal = WTERMSIG(wstatus);
    }
}

// One child being run: its pipes and the state of the wait loop.
// In the child between fork and exec (async-signal-safe calls only): its own process group
// (a time-out kills the tool and whatever it started), killed when the thread that started it
// ends (so a killed program leaves no tool behind: a remote restart never goes on alone), the
// default signal dispositions and an empty mask, then its standard streams and inherited
// descriptors in place.
void PreparerEnfant(const ProcessRequest& requete, pid_t parent, int entree, int sortie) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have died before the line above: the child would then never be told.
    if (::getppid() != parent) ::_exit(127);
    struct sigaction defaut {};
    defaut.sa_handler = SIG_DFL;
    for (int s : {SIGPIPE, SIGINT, SIGQUIT, SIGHUP, SIGTERM, SIGCHLD, SIGUSR1, SIGUSR2})
        ::sigaction(s, &defaut, nullptr);
    sigset_t vide;
    sigemptyset(&vide);
    ::sigprocmask(SIG_SETMASK, &vide, nullptr);
    if (entree >= 0) {
        ::dup2(entree, 0);
    } else {
        const int nul = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (nul >= 0 && nul != 0) ::dup2(nul, 0);
    }
    ::dup2(sortie, 1);
    ::dup2(sortie, 2);
    for (const auto& [notre, sien] : requete.descripteurs) {
        if (notre == sien)
            ::fcntl(sien, F_SETFD, 0);  // keep it across exec
        else
            ::dup2(notre, sien);
    }
}

class Execution {
  public:
    Execution(const ProcessRequest& requete, ProcessResult& resultat)
        : m_requete(requete), m_resultat(resultat) {}

    bool Demarrer();
    void Attendre();

  private:
    void Lire();
    void Ecrire();
    bool ReapNonBloquant();
    void Tuer();

    const ProcessRequest& m_requete;
    ProcessResult& m_resultat;
    pid_t m_pid = -1;
    Descripteur m_sortie;  // our end of the output pipe
    Descripteur m_entree;  // our end of the input pipe
    Descripteur m_pidfd;
    size_t m_ecrits = 0;
    bool m_termine = false;
};

bool Execution::Demarrer() {
    int sortie[2], entree[2] = {-1, -1};
    if (::pipe2(sortie, O_CLOEXEC) != 0) {
        m_resultat.erreur = errno;
        return false;
    }
    m_sortie.Reprendre(sortie[0]);
    Descripteur ecritureSortie(sortie[1]);
    Descripteur lectureEntree;
    if (m_requete.entree) {
        if (::pipe2(entree, O_CLOEXEC) != 0) {
            m_resultat.erreur = errno;
            return false;
        }
        lectureEntree.Reprendre(entree[0]);
        m_entree.Reprendre(entree[1]);
    }

    std::vector<std::string> argv{m_requete.programme};
    argv.insert(argv.end(), m_requete.arguments.begin(), m_requete.arguments.end());
    std::vector<std::string> env = Environnement(m_requete);
    auto pArgv = Pointeurs(argv);
    auto pEnv = Pointeurs(env);
    // The child tells why exec failed through this pipe (closed by a successful exec), kept
    // above the numbers the child's descriptors are moved to.
    int tubeErreur[2];
    if (::pipe2(tubeErreur, O_CLOEXEC) != 0) {
        m_resultat.erreur = errno;
        return false;
    }
    Descripteur erreurLecture(tubeErreur[0]);
    Descripteur erreurEcriture(::fcntl(tubeErreur[1], F_DUPFD_CLOEXEC, 100));
    ::close(tubeErreur[1]);
    if (!erreurEcriture.ouvert()) {
        m_resultat.erreur = errno;
        return false;
    }
    const pid_t parent = ::getpid();
    m_pid = ::fork();
    if (m_pid < 0) {
        m_resultat.erreur = errno;
        return false;
    }
    if (m_pid == 0) {
        // The child: only async-signal-safe calls until exec.
        PreparerEnfant(m_requete, parent, lectureEntree.get(), ecritureSortie.get());
        ::execve(pArgv[0], pArgv.data(), pEnv.data());
        const int erreur = errno;
        (void)!::write(erreurEcriture.get(), &erreur, sizeof erreur);
        ::_exit(127);
    }
    erreurEcriture.Fermer();
    int erreurEnfant = 0;
    ssize_t lu;
    do {
        lu = ::read(erreurLecture.get(), &erreurEnfant, sizeof erreurEnfant);
    } while (lu < 0 && errno == EINTR);
    if (lu == static_cast<ssize_t>(sizeof erreurEnfant)) {
        int wstatus = 0;
        while (::waitpid(m_pid, &wstatus, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
        m_resultat.erreur = erreurEnfant;
        return false;
    }
    m_resultat.demarre = true;
    ::fcntl(m_sortie.get(), F_SETFL, O_NONBLOCK);
    if (m_entree.ouvert()) {
        ::fcntl(m_entree.get(), F_SETFL, O_NONBLOCK);
        if (m_requete.entree->empty()) m_entree.Fermer();
    }
    m_pidfd.Reprendre(OuvrirPidfd(m_pid));
    return true;
}

void Execution::Lire() {
    char tampon[65536];
    for (;;) {
        ssize_t n = ::read(m_sortie.get(), tampon, sizeof tampon);
        if (n > 0) {
            size_t place = m_requete.tailleMax > m_resultat.sortie.size()
                               ? m_requete.tailleMax - m_resultat.sortie.size()
                               : 0;
            m_resultat.sortie.append(tampon, std::min(place, static_cast<size_t>(n)));
            m_resultat.tailleTotale += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) m_sortie.Fermer();
        return;
    }
}

void Execution::Ecrire() {
    const std::string& donnees = *m_requete.entree;
    while (m_ecrits < donnees.size()) {
        ssize_t n =
            EcrireSansSigpipe(m_entree.get(), donnees.data() + m_ecrits, donnees.size() - m_ecrits);
        if (n > 0) {
            m_ecrits += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        } else {
            break;  // the child closed its input: the rest is dropped
        }
    }
    m_entree.Fermer();
}

bool Execution::ReapNonBloquant() {
    if (m_termine) return true;
    int wstatus = 0;
    pid_t r = ::waitpid(m_pid, &wstatus, WNOHANG);
    if (r == m_pid) {
        NoterFin(wstatus, m_resultat);
        m_termine = true;
    } else if (r < 0 && errno != EINTR) {
        m_termine = true;  // reaped elsewhere (SIGCHLD ignored): nothing more to learn
    }
    return m_termine;
}

void Execution::Tuer() {
    ::kill(-m_pid, SIGKILL);
    int wstatus = 0;
    pid_t r;
    do {
        r = ::waitpid(m_pid, &wstatus, 0);
    } while (r < 0 && errno == EINTR);
    if (r == m_pid) NoterFin(wstatus, m_resultat);
    m_resultat.statut = -1;
    m_termine = true;
}

// Milliseconds until `limite`, cut to the polling step of the stop callback, and to a short
// step when the child's end cannot be watched through a pidfd.
int Delai(Horloge::time_point limite, bool rappel, bool pidfd) {
    auto reste =
        std::chrono::duration_cast<std::chrono::milliseconds>(limite - Horloge::now()).count();
    long long ms = std::max<long long>(0, reste);
    if (rappel) ms = std::min<long long>(ms, 20);
    if (!pidfd) ms = std::min<long long>(ms, 10);
    return static_cast<int>(ms);
}

void Execution::Attendre() {
    const auto limite =
        Horloge::now() + std::chrono::milliseconds(std::max(0, m_requete.delaiMaxMs));
    while (!ReapNonBloquant()) {
        pollfd fds[3];
        nfds_t n = 0;
        int iSortie = -1, iEntree = -1;
        if (m_sortie.ouvert()) {
            iSortie = static_cast<int>(n);
            fds[n++] = {m_sortie.get(), POLLIN, 0};
        }
        if (m_entree.ouvert()) {
            iEntree = static_cast<int>(n);
            fds[n++] = {m_entree.get(), POLLOUT, 0};
        }
        if (m_pidfd.ouvert()) fds[n++] = {m_pidfd.get(), POLLIN, 0};
        // Short steps always: a stop signal must be seen promptly.
        int attente = Delai(limite, true, m_pidfd.ouvert());
        int pret = ::poll(fds, n, attente);
        if (pret < 0 && errno != EINTR) {
            Tuer();  // cannot watch it any more: never leave it running unbounded
            return;
        }
        if (pret > 0) {
            if (iSortie >= 0 && fds[iSortie].revents) Lire();
            if (iEntree >= 0 && fds[iEntree].revents) Ecrire();
        }
        if (ReapNonBloquant()) break;
        if (ArretDemande(m_requete)) {
            m_resultat.arrete = true;
            Tuer();
            return;
        }
        if (Horloge::now() >= limite) {
            m_resultat.expire = true;
            Tuer();
            return;
        }
    }
    // Ended: take what is still in the pipe. A child it left behind may hold the pipe open, so
    // stop as soon as nothing more comes for a moment; one that keeps writing is ended with the
    // whole group at the time limit, which covers the output too. The group outlives the reaped
    // tool while its children live, so its id cannot have been reused.
    auto dernierMot = Horloge::now();
    while (m_sortie.ouvert()) {
        if (Horloge::now() >= limite) {
            m_resultat.expire = true;
            m_resultat.statut = -1;
            ::kill(-m_pid, SIGKILL);
            break;
        }
        if (ArretDemande(m_requete)) {
            m_resultat.arrete = true;
            m_resultat.statut = -1;
            ::kill(-m_pid, SIGKILL);
            break;
        }
        pollfd fd{m_sortie.get(), POLLIN, 0};
        if (::poll(&fd, 1, std::min(20, Delai(limite, false, true))) > 0) {
            Lire();
            dernierMot = Horloge::now();
        } else if (Horloge::now() - dernierMot >= std::chrono::milliseconds(50)) {
            break;
        }
    }
}

class PosixProcessRunner : public ProcessRunner {
  public:
    ProcessResult Run(const ProcessRequest& requete) override {
        ProcessResult resultat;
        Execution execution(requete, resultat);
        if (execution.Demarrer()) execution.Attendre();
        return resultat;
    }
};

ProcessRunner* g_runner = nullptr;

}  // namespace

void InstallerArretParSignaux() {
    struct sigaction action {};
    action.sa_handler = NoterSignalArret;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a wait in poll() wakes up at once
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

int SignalArretRecu() { return g_signalArret; }

void OublierSignalArret() { g_signalArret = 0; }

void TerminerSiSignalRecu() {
    const int signal = g_signalArret;
    if (signal == 0) return;
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

ProcessRunner& SystemProcessRunner() {
    static PosixProcessRunner runner;
    return runner;
}

ProcessRunner& CurrentProcessRunner() { return g_runner ? *g_runner : SystemProcessRunner(); }

void SetProcessRunner(ProcessRunner* runner) { g_runner = runner; }

}  // namespace velmora::platform
