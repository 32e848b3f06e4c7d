// Test support: network namespaces made and removed by a test, threads and sockets inside them.
#pragma once

#include <fcntl.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace velmora::test {

// True when the tests run under continuous integration (CI set, and not "false" or "0"): a real
// peer that cannot be set up is then a failure, never a silent skip.
inline bool SousIntegrationContinue() {
    const char* ci = std::getenv("CI");
    if (!ci || !*ci) return false;
    const std::string valeur = ci;
    return valeur != "false" && valeur != "0";
}

// Runs a shell command quietly; true when it succeeded.
inline bool Commande(const std::string& ligne) {
    return std::system((ligne + " >/dev/null 2>&1").c_str()) == 0;
}

// Two namespaces joined by a veth pair: the client "A" (198.18.0.1/24, MAC 02:00:00:00:0a:01)
// and the host "B" (198.18.0.2/24, MAC 02:00:00:00:0b:02). B routes for A and answers
// "network unreachable" for 198.18.9.0/24, the default route of A. Removed on destruction.
class Espaces {
  public:
    Espaces() {
        const std::string suffixe = std::to_string(::getpid());
        m_a = "vlmA" + suffixe;
        m_b = "vlmB" + suffixe;
        if (::geteuid() != 0) {
            m_raison = "needs root for network namespaces";
            return;
        }
        Commande("ip netns del " + m_a);
        Commande("ip netns del " + m_b);
        // Each step in turn; the first that fails is named in the reason.
        const std::vector<std::pair<std::string, std::string>> etapes = {
            {"", "ip netns add " + m_a},
            {"", "ip netns add " + m_b},
            {m_a, "ip link set lo up"},
            {m_b, "ip link set lo up"},
            {m_a,
             "ip link add va address 02:00:00:00:0a:01 type veth peer name vb address "
             "02:00:00:00:0b:02 netns " +
                 m_b},
            {m_a, "ip addr add 198.18.0.1/24 brd + dev va"},
            {m_a, "ip link set va up"},
            {m_b, "ip addr add 198.18.0.2/24 brd + dev vb"},
            {m_b, "ip link set vb up"},
            {m_a, "ip route add default via 198.18.0.2 metric 200"},
            {m_b, "sysctl -w net.ipv4.ip_forward=1"},
            {m_b, "ip route add unreachable 198.18.9.0/24"},
        };
        for (const auto& [ns, ligne] : etapes) {
            if (ns.empty() ? Commande(ligne) : Dans(ns, ligne)) continue;
            m_raison = "network namespace set-up failed at \"" + ligne + "\"" +
                       (ns.empty() ? "" : " (in " + ns + ")") +
                       ": needs root, iproute2 and a kernel that allows namespaces and veth pairs";
            break;
        }
        if (m_raison.empty() && !(LienPret(m_a, "va") && LienPret(m_b, "vb")))
            m_raison = "the veth pair between the namespaces did not come up";
    }
    ~Espaces() {
        Commande("ip netns del " + m_a);
        Commande("ip netns del " + m_b);
    }
    Espaces(const Espaces&) = delete;
    Espaces& operator=(const Espaces&) = delete;

    bool Pret() const { return m_raison.empty(); }
    const std::string& Raison() const { return m_raison; }
    const std::string& A() const { return m_a; }
    const std::string& B() const { return m_b; }

    // Waits until interface `lien` of namespace `ns` can send: the kernel turns a link on
    // (operational state up, queueing discipline in place) some time after "ip link set up",
    // later on a loaded machine, and drops what is sent before. False after 20 s.
    static bool LienPret(const std::string& ns, const std::string& lien) {
        for (int essai = 0; essai < 2000; ++essai) {
            const std::string etat = Sortie("ip netns exec " + ns + " ip -o link show " + lien);
            if (etat.find("state UP") != std::string::npos &&
                etat.find("qdisc noop") == std::string::npos)
                return true;
            ::usleep(10000);
        }
        return false;
    }

    // The standard output of a shell command.
    static std::string Sortie(const std::string& ligne) {
        std::string texte;
        if (FILE* f = ::popen((ligne + " 2>/dev/null").c_str(), "r")) {
            char tampon[512];
            for (size_t n; (n = std::fread(tampon, 1, sizeof tampon, f)) > 0;)
                texte.append(tampon, n);
            ::pclose(f);
        }
        return texte;
    }

    // Runs a command inside namespace `ns`.
    static bool Dans(const std::string& ns, const std::string& ligne) {
        return Commande("ip netns exec " + ns + " " + ligne);
    }

    // Runs `travail` on a thread that has entered namespace `ns`; false when it could not.
    static bool Executer(const std::string& ns, const std::function<void()>& travail) {
        bool entre = false;
        std::thread fil([&] {
            const int fd = ::open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) return;
            entre = ::setns(fd, CLONE_NEWNET) == 0;
            ::close(fd);
            if (entre) travail();
        });
        fil.join();
        return entre;
    }

    // A socket that belongs to namespace `ns`, or -1.
    static int Socket(const std::string& ns, int type, int protocole) {
        int fd = -1;
        Executer(ns, [&] { fd = ::socket(AF_INET, type | SOCK_CLOEXEC, protocole); });
        return fd;
    }

  private:
    std::string m_a, m_b, m_raison;
};

}  // namespace velmora::test

// Ends the current test when a real peer is unavailable: a failure under CI, else a skip whose
// message names what is missing.
#define VELMORA_PAIR_INDISPONIBLE(raison)                                        \
    do {                                                                         \
        const std::string velmoraRaison = (raison);                              \
        if (::velmora::test::SousIntegrationContinue())                          \
            GTEST_FAIL() << "real peer unavailable under CI: " << velmoraRaison; \
        GTEST_SKIP() << velmoraRaison;                                           \
    } while (0)
