// Test support: real peers on loopback (a small HTTP server, spawned daemons) with clean stops.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace velmora::test {

// A TCP port of 127.0.0.1 that was free a moment ago.
inline uint16_t PortLibre() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    ::close(fd);
    return ntohs(a.sin_port);
}

// True once something accepts connections on 127.0.0.1:port, polling for at most `maxMs`.
inline bool AttendrePort(uint16_t port, int maxMs = 5000) {
    for (int attendu = 0; attendu < maxMs; attendu += 20) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        if (ok) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// A program started for the test and ended (SIGTERM, then SIGKILL) on destruction.
class Processus {
  public:
    explicit Processus(const std::vector<std::string>& argv) {
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        if (::posix_spawn(&m_pid, argv[0].c_str(), nullptr, nullptr, args.data(), environ) != 0)
            m_pid = -1;
    }
    ~Processus() {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    Processus(const Processus&) = delete;
    Processus& operator=(const Processus&) = delete;
    bool Lance() const { return m_pid > 0; }

  private:
    pid_t m_pid = -1;
};

// Ends (SIGTERM, then SIGKILL) every process whose command line mentions `marque`, such as the
// private configuration file of a server started by the test.
inline void TerminerProcessusAvec(const std::string& marque) {
    if (marque.empty()) return;
    auto trouver = [&] {
        std::vector<pid_t> pids;
        for (const auto& e : std::filesystem::directory_iterator("/proc")) {
            const std::string nom = e.path().filename();
            if (nom.find_first_not_of("0123456789") != std::string::npos) continue;
            std::ifstream f(e.path() / "cmdline");
            std::string ligne((std::istreambuf_iterator<char>(f)),
                              std::istreambuf_iterator<char>());
            if (ligne.find(marque) != std::string::npos) pids.push_back(std::stoi(nom));
        }
        return pids;
    };
    for (pid_t p : trouver()) ::kill(p, SIGTERM);
    for (int i = 0; i < 50 && !trouver().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (pid_t p : trouver()) ::kill(p, SIGKILL);
}

// A one-thread HTTP server on 127.0.0.1: records each request head and answers with the raw
// bytes of `reponse` (an empty answer keeps the connection open without a word).
class ServeurHttp {
  public:
    ServeurHttp() : ServeurHttp(Reponse("200 OK", "done")) {}
    explicit ServeurHttp(std::string reponse) : m_reponse(std::move(reponse)) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int oui = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &oui, sizeof oui);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t n = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &n);
        m_port = ntohs(a.sin_port);
        ::listen(m_fd, 16);
        m_fil = std::thread([this] { Boucle(); });
    }
    ~ServeurHttp() {
        m_fin = true;
        m_fil.join();
        for (int c : m_ouvertes) ::close(c);
        ::close(m_fd);
    }
    static std::string Reponse(const std::string& statut, const std::string& corps,
                               const std::string& version = "HTTP/1.1",
                               const std::string& entetes = "") {
        return version + " " + statut + "\r\nContent-Length: " + std::to_string(corps.size()) +
               "\r\nConnection: close\r\n" + entetes + "\r\n" + corps;
    }
    uint16_t Port() const { return m_port; }
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    std::vector<std::string> Requetes() {
        std::lock_guard<std::mutex> v(m_verrou);
        return m_requetes;
    }
    // The request lines only ("GET /x HTTP/1.1").
    std::vector<std::string> Lignes() {
        std::vector<std::string> lignes;
        for (const auto& r : Requetes()) lignes.push_back(r.substr(0, r.find("\r\n")));
        return lignes;
    }

  private:
    void Boucle() {
        while (!m_fin) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            const int c = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) continue;
            std::string tete;
            char tampon[4096];
            while (tete.find("\r\n\r\n") == std::string::npos && !m_fin) {
                pollfd q{c, POLLIN, 0};
                if (::poll(&q, 1, 20) <= 0) continue;
                const ssize_t r = ::recv(c, tampon, sizeof tampon, 0);
                if (r <= 0) break;
                tete.append(tampon, static_cast<size_t>(r));
            }
            {
                std::lock_guard<std::mutex> v(m_verrou);
                m_requetes.push_back(tete);
            }
            if (m_reponse.empty()) {
                m_ouvertes.push_back(c);  // silent: never answers
                continue;
            }
            ::send(c, m_reponse.data(), m_reponse.size(), MSG_NOSIGNAL);
            ::shutdown(c, SHUT_WR);
            ::close(c);
        }
    }
    std::string m_reponse;
    int m_fd = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_fin{false};
    std::mutex m_verrou;
    std::vector<std::string> m_requetes;
    std::vector<int> m_ouvertes;
    std::thread m_fil;
};

}  // namespace velmora::test
