// velmora-relay on loopback, pinned to one core, one request per connection (Connection: close):
// the time from sending a wake request to the magic packet's arrival (median and 99th
// percentile), and the requests answered per second. Keep-alive against nginx:
// relais_nginx.bench.sh.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// The relay in lan mode sending to 127.0.0.1, its journal thrown away.
class Relais {
  public:
    Relais() {
        int tube[2];
        if (::pipe2(tube, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, tube[1], 2);
        std::vector<std::string> mots = {
            VELMORA_RELAY_PROGRAM, "--config",  "/dev/null", "--listen", "127.0.0.1:0",
            "--broadcast",         "127.0.0.1", "--rate",    "10000000"};
        std::vector<char*> argv;
        for (auto& m : mots) argv.push_back(m.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(tube[1]);
        m_journal = tube[0];
        if (m_pid < 0) return;
        cpu_set_t un;
        CPU_ZERO(&un);
        CPU_SET(0, &un);
        ::sched_setaffinity(m_pid, sizeof un, &un);
        std::string premiere;
        char c;
        while (::read(m_journal, &c, 1) == 1 && c != '\n') premiere += c;
        const size_t p = premiere.find("(port ");
        if (p != std::string::npos) m_port = std::atoi(premiere.c_str() + p + 6);
        // The journal is drained by a child so the relay never blocks on a full pipe.
        if (::fork() == 0) {
            char tampon[65536];
            while (::read(m_journal, tampon, sizeof tampon) > 0) {
            }
            ::_exit(0);
        }
    }
    ~Relais() {
        if (m_pid > 0) ::kill(m_pid, SIGTERM), ::waitpid(m_pid, nullptr, 0);
        ::close(m_journal);
        ::wait(nullptr);
    }
    int Port() const { return m_port; }

  private:
    pid_t m_pid = -1;
    int m_port = 0;
    int m_journal = -1;
};

int Recepteur(int& port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    port = ntohs(a.sin_port);
    return fd;
}

// One request on a new connection; true when the answer is "200 OK".
bool Demander(int port, const std::string& requete) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::send(fd, requete.data(), requete.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(requete.size())) {
        char tampon[512];
        std::string reponse;
        ssize_t n;
        while ((n = ::recv(fd, tampon, sizeof tampon, 0)) > 0) reponse.append(tampon, n);
        ok = reponse.rfind("HTTP/1.1 200 OK\r\n", 0) == 0;
    }
    ::close(fd);
    return ok;
}

std::string Requete(int portUdp) {
    return "GET /?mac=00:11:22:33:44:55&port=" + std::to_string(portUdp) +
           " HTTP/1.1\r\nHost: relay\r\nConnection: close\r\n\r\n";
}

void BM_RelaisRequeteJusquAuPaquet(benchmark::State& state) {
    Relais relais;
    int portUdp = 0;
    const int udp = Recepteur(portUdp);
    if (relais.Port() == 0) {
        state.SkipWithError("velmora-relay did not start");
        return;
    }
    const std::string requete = Requete(portUdp);
    std::vector<double> durees;
    char paquet[256];
    for (auto _ : state) {
        const auto debut = Clock::now();
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<uint16_t>(relais.Port()));
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::send(fd, requete.data(), requete.size(), MSG_NOSIGNAL);
        pollfd p{udp, POLLIN, 0};
        if (::poll(&p, 1, 1000) != 1 || ::recv(udp, paquet, sizeof paquet, 0) != 102) {
            state.SkipWithError("no packet");
            ::close(fd);
            break;
        }
        durees.push_back(std::chrono::duration<double, std::micro>(Clock::now() - debut).count());
        char tampon[512];
        while (::recv(fd, tampon, sizeof tampon, 0) > 0) {
        }
        ::close(fd);
    }
    ::close(udp);
    if (durees.empty()) return;
    std::sort(durees.begin(), durees.end());
    state.counters["median_us"] = durees[durees.size() / 2];
    state.counters["p99_us"] = durees[durees.size() * 99 / 100];
}
BENCHMARK(BM_RelaisRequeteJusquAuPaquet)->Unit(benchmark::kMicrosecond)->Iterations(2000);

// One relay and one receiver shared by the threads, stopped at exit.
struct Banc {
    Relais relais;
    int portUdp = 0;
    int udp = Recepteur(portUdp);  // never read: datagrams past its buffer are dropped
    std::string requete = Requete(portUdp);
    ~Banc() { ::close(udp); }
};

Banc& BancPartage() {
    static Banc banc;
    return banc;
}

// Several clients at once against the relay on one core: requests answered per second.
void BM_RelaisDebit(benchmark::State& state) {
    Banc& banc = BancPartage();
    for (auto _ : state) {
        if (banc.relais.Port() == 0 || !Demander(banc.relais.Port(), banc.requete)) {
            state.SkipWithError("request failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RelaisDebit)->Threads(4)->UseRealTime()->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
