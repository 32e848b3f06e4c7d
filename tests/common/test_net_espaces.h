// Test support: network namespaces made and removed by a test, threads and sockets inside them.
#pragma once

#include <fcntl.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

namespace velmora::test {

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
        const bool ok =
            Commande("ip netns add " + m_a) && Commande("ip netns add " + m_b) &&
            Dans(m_a, "ip link set lo up") && Dans(m_b, "ip link set lo up") &&
            Dans(m_a,
                 "ip link add va address 02:00:00:00:0a:01 type veth peer name vb address "
                 "02:00:00:00:0b:02 netns " +
                     m_b) &&
            Dans(m_a, "ip addr add 198.18.0.1/24 brd + dev va") && Dans(m_a, "ip link set va up") &&
            Dans(m_b, "ip addr add 198.18.0.2/24 brd + dev vb") && Dans(m_b, "ip link set vb up") &&
            Dans(m_a, "ip route add default via 198.18.0.2 metric 200") &&
            Dans(m_b, "sysctl -w net.ipv4.ip_forward=1") &&
            Dans(m_b, "ip route add unreachable 198.18.9.0/24");
        if (!ok) m_raison = "ip netns / veth set-up failed";
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
