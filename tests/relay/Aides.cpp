// Helpers of the relay's tests.
#include "Aides.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace velmora::relay::test {

namespace {

std::vector<char*> Argv(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

// Starts `arguments` with the chosen descriptor (1 or 2) sent to a pipe; returns the read end.
pid_t Demarrer(const std::vector<std::string>& arguments, int sortie, int& lecture) {
    int tube[2];
    if (::pipe2(tube, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, tube[1], sortie);
    pid_t pid = -1;
    auto argv = Argv(arguments);
    if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(tube[1]);
    lecture = tube[0];
    return pid;
}

}  // namespace

bool Complete(const std::string& reponse) {
    const size_t fin = reponse.find("\r\n\r\n");
    if (fin == std::string::npos) return false;
    std::string entetes = reponse.substr(0, fin);
    for (char& c : entetes) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const size_t longueur = entetes.find("\r\ncontent-length:");
    if (longueur == std::string::npos) return false;
    return reponse.size() - fin - 4 >=
           static_cast<size_t>(std::atol(entetes.c_str() + longueur + 17));
}

Dossier::Dossier() {
    char modele[] = "/tmp/velmora-relay-test-XXXXXX";
    m_chemin = ::mkdtemp(modele);
}

Dossier::~Dossier() {
    std::error_code e;
    std::filesystem::remove_all(m_chemin, e);
}

std::string Dossier::Ecrire(const std::string& nom, const std::string& contenu) const {
    const std::string chemin = m_chemin + "/" + nom;
    std::ofstream(chemin, std::ios::binary) << contenu;
    return chemin;
}

Relais::Relais(const std::vector<std::string>& arguments, const std::vector<std::string>& devant) {
    std::vector<std::string> ligne = devant;
    ligne.push_back(kRelais);
    ligne.insert(ligne.end(), arguments.begin(), arguments.end());
    m_pid = Demarrer(ligne, 2, m_sortie);
    if (m_pid < 0) return;
    // The line that says where it listens (after the web page's, when it is on), or why it
    // does not start.
    std::string premiere;
    char c;
    pollfd p{m_sortie, POLLIN, 0};
    while (premiere.find("(port ") == std::string::npos) {
        premiere.clear();
        bool fin = false;
        while (!(fin = !(::poll(&p, 1, 3000) == 1 && ::read(m_sortie, &c, 1) == 1)) && c != '\n')
            premiere += c;
        m_journal += premiere + "\n";
        if (fin || premiere.find("velmora-relay: web") == std::string::npos) break;
    }
    const size_t port = premiere.find("(port ");
    if (port != std::string::npos) m_port = std::atoi(premiere.c_str() + port + 6);
    m_lecteur = std::thread([this] {
        char tampon[4096];
        ssize_t n;
        while ((n = ::read(m_sortie, tampon, sizeof tampon)) > 0) {
            std::lock_guard<std::mutex> verrou(m_verrou);
            m_journal.append(tampon, static_cast<size_t>(n));
        }
    });
}

Relais::~Relais() { Arreter(SIGKILL); }

int Relais::Arreter(int signal) {
    int code = -1;
    if (m_pid > 0) {
        ::kill(m_pid, signal);
        int etat = 0;
        if (::waitpid(m_pid, &etat, 0) == m_pid && WIFEXITED(etat)) code = WEXITSTATUS(etat);
        m_pid = -1;
    }
    if (m_lecteur.joinable()) m_lecteur.join();
    if (m_sortie >= 0) ::close(m_sortie), m_sortie = -1;
    return code;
}

std::string Relais::Journal() {
    std::lock_guard<std::mutex> verrou(m_verrou);
    return m_journal;
}

long Relais::Memoire() const {
    std::ifstream statut("/proc/" + std::to_string(m_pid) + "/status");
    std::string ligne;
    while (std::getline(statut, ligne))
        if (ligne.rfind("VmRSS:", 0) == 0) return std::atol(ligne.c_str() + 6);
    return -1;
}

std::string Echanger(int port, const std::string& requete, const char* source, int delaiMs) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::inet_pton(AF_INET, source, &a.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    a.sin_port = htons(static_cast<uint16_t>(port));
    std::string reponse;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        ::send(fd, requete.data(), requete.size(), MSG_NOSIGNAL);
        const auto fin = std::chrono::steady_clock::now() + std::chrono::milliseconds(delaiMs);
        char tampon[4096];
        while (true) {
            const auto reste = std::chrono::duration_cast<std::chrono::milliseconds>(
                fin - std::chrono::steady_clock::now());
            pollfd p{fd, POLLIN, 0};
            if (reste.count() <= 0 || ::poll(&p, 1, static_cast<int>(reste.count())) != 1) break;
            const ssize_t n = ::recv(fd, tampon, sizeof tampon, 0);
            if (n <= 0) break;
            reponse.append(tampon, static_cast<size_t>(n));
            if (Complete(reponse)) break;  // the server may keep the connection open
        }
    }
    ::close(fd);
    return reponse;
}

std::string Get(int port, const std::string& cible, const char* source) {
    return Echanger(port, "GET " + cible + " HTTP/1.1\r\nHost: relay\r\n\r\n", source);
}

int Statut(const std::string& reponse) {
    if (reponse.rfind("HTTP/1.", 0) != 0 || reponse.size() < 12) return 0;
    return std::atoi(reponse.c_str() + 9);
}

std::string Corps(const std::string& reponse) {
    const size_t fin = reponse.find("\r\n\r\n");
    return fin == std::string::npos ? "" : reponse.substr(fin + 4);
}

RecepteurUDP::RecepteurUDP() {
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &n);
    m_port = ntohs(a.sin_port);
}

RecepteurUDP::~RecepteurUDP() { ::close(m_fd); }

std::string RecepteurUDP::Recevoir(int delaiMs) {
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, delaiMs) != 1) return "";
    char tampon[2048];
    const ssize_t n = ::recv(m_fd, tampon, sizeof tampon, 0);
    return n > 0 ? std::string(tampon, static_cast<size_t>(n)) : "";
}

std::string PaquetAttendu(const std::string& octetsMAC) {
    std::string paquet(6, '\xFF');
    for (int i = 0; i < 16; ++i) paquet += octetsMAC;
    return paquet;
}

Resultat Lancer(const std::vector<std::string>& arguments) {
    Resultat r;
    int lecture = -1;
    const pid_t pid = Demarrer(arguments, 1, lecture);
    if (pid < 0) return r;
    char tampon[4096];
    ssize_t n;
    while ((n = ::read(lecture, tampon, sizeof tampon)) > 0)
        r.sortie.append(tampon, static_cast<size_t>(n));
    ::close(lecture);
    int etat = 0;
    if (::waitpid(pid, &etat, 0) == pid && WIFEXITED(etat)) r.code = WEXITSTATUS(etat);
    return r;
}

}  // namespace velmora::relay::test
