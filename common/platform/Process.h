// Running another program: no shell, its standard output and standard error on one pipe,
// bounded output, a time limit on every run. Callers go through the ProcessRunner interface so
// that tests can put a hand-written fake in place of the real processes.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora::platform {

// What to run and how.
struct ProcessRequest {
    // Path of the program to start (not searched along PATH: see CheminOutil).
    std::string programme;
    // argv[1..]; argv[0] is `programme`.
    std::vector<std::string> arguments;
    // Bytes written to the child's standard input, which is then closed. Without it the child
    // reads /dev/null. Used to hand a secret to a tool without putting it on its command line.
    std::optional<std::string> entree;
    // Variables added to (or replacing those of) the inherited environment.
    std::vector<std::pair<std::string, std::string>> environnement;
    // Descriptors of this process to pass to the child: (our descriptor, its number in the
    // child). The child number must not be 0, 1 or 2.
    std::vector<std::pair<int, int>> descripteurs;
    // The child and everything it started are killed after this long.
    int delaiMaxMs = 10000;
    // Output bytes kept; anything beyond is read and dropped so the child never blocks.
    std::size_t tailleMax = 4096;
    // Polled about every 20 ms while waiting (so a window can process its events); returning
    // true kills the child and ends the run.
    std::function<bool()> arreter;
};

// How a run ended.
struct ProcessResult {
    bool demarre = false;          // false: the program could not be started (see `erreur`)
    int erreur = 0;                // errno of the failed start
    int statut = -1;               // exit status when the program ended by itself, else -1
    int signal = 0;                // the signal that ended it, 0 when it exited
    bool expire = false;           // killed because the time limit was reached
    bool arrete = false;           // killed because `arreter` asked for it
    std::string sortie;            // the first `tailleMax` bytes of standard output and error
    std::size_t tailleTotale = 0;  // all bytes it wrote, kept or not
};

class ProcessRunner {
  public:
    virtual ~ProcessRunner() = default;
    // Starts the program, feeds its input, reads its output while waiting, and returns when it
    // has ended or has been killed. Never throws for a program that fails to start.
    virtual ProcessResult Run(const ProcessRequest& requete) = 0;
};

// SIGINT and SIGTERM no longer end the process at once: they set a flag that ends any tool
// being run (its whole group is killed, the run reports `arrete`), so that the program can stop
// at a safe point. Idempotent.
void InstallerArretParSignaux();
// The signal that asked the program to stop (SIGINT or SIGTERM), or 0.
int SignalArretRecu();
// Clears the flag (for tests).
void OublierSignalArret();
// Ends the process as the received signal would have (default action), or returns when none.
void TerminerSiSignalRecu();

// The runner that starts real processes (posix_spawn, a process group per child).
ProcessRunner& SystemProcessRunner();
// The runner used by ExecuterOutil and the probes: the real one unless a test put its own.
ProcessRunner& CurrentProcessRunner();
// Replaces the current runner (nullptr restores the real one). For tests; not thread-safe.
void SetProcessRunner(ProcessRunner* runner);

}  // namespace velmora::platform
