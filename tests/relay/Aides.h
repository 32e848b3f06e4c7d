// Helpers of the relay's tests: the built velmora-relay run as a process, raw HTTP requests
// from a chosen loopback address, a UDP receiver, and running VelmoraBatch. Loopback only.
#pragma once

#include <sys/types.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velmora::relay::test {

inline constexpr const char* kRelais = VELMORA_BINARY_DIR "/relay/velmora-relay";
inline constexpr const char* kBatch = VELMORA_BINARY_DIR "/batch/VelmoraBatch";

// A fresh folder under /tmp, removed with its content at the end of the test.
class Dossier {
  public:
    Dossier();
    ~Dossier();
    // Writes `contenu` to `nom` in the folder and returns the full path.
    std::string Ecrire(const std::string& nom, const std::string& contenu) const;

  private:
    std::string m_chemin;
};

// velmora-relay started with `arguments`; its standard error is collected. Port() is the port
// it listens on (it is started with port 0 and reports the one it got), 0 when it did not start.
class Relais {
  public:
    // `devant`: a command that runs the relay (such as prlimit or unshare), given before it.
    explicit Relais(const std::vector<std::string>& arguments,
                    const std::vector<std::string>& devant = {});
    ~Relais();
    int Port() const { return m_port; }
    pid_t Pid() const { return m_pid; }
    std::string Journal();
    // Sends `signal` and waits for the end; the exit code, or -1.
    int Arreter(int signal);
    // Resident memory in kB.
    long Memoire() const;

  private:
    pid_t m_pid = -1;
    int m_port = 0;
    int m_sortie = -1;
    std::mutex m_verrou;
    std::string m_journal;
    std::thread m_lecteur;
};

// True when `reponse` holds a whole answer (headers, and the body of their Content-Length).
bool Complete(const std::string& reponse);
// One HTTP exchange on a new connection from `source` to 127.0.0.1:`port`: `requete` is sent
// as is, and the answer read until it is complete or the server closes (at most `delaiMs`).
std::string Echanger(int port, const std::string& requete, const char* source = "127.0.0.1",
                     int delaiMs = 2000);
// A GET of `cible` (path and query); returns the whole answer.
std::string Get(int port, const std::string& cible, const char* source = "127.0.0.1");
// The status code of an HTTP answer, or 0.
int Statut(const std::string& reponse);
// The body of an HTTP answer.
std::string Corps(const std::string& reponse);

// A UDP socket on 127.0.0.1 and a free port.
class RecepteurUDP {
  public:
    RecepteurUDP();
    ~RecepteurUDP();
    int Port() const { return m_port; }
    // The next datagram, or "" when none comes within `delaiMs`.
    std::string Recevoir(int delaiMs = 1000);

  private:
    int m_fd = -1;
    int m_port = 0;
};

std::string PaquetAttendu(const std::string& octetsMAC);

struct Resultat {
    int code = -1;
    std::string sortie;
};
// Runs a program with its standard output captured.
Resultat Lancer(const std::vector<std::string>& arguments);

}  // namespace velmora::relay::test
