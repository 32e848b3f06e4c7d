// velmora-relay behind a real nginx, started here on loopback with its own configuration, pid
// file and logs, as the README sets it up: the key travels in an Authorization header, so no
// log file of the proxy holds it, not even while the relay is stopped; many clients at once
// through the proxy are all answered.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "Aides.h"

namespace velmora::relay::test {
namespace {

const std::string kCle = "k3y-Of-The-Relay_0123";
const std::string kBasic = "d2FrZTprM3ktT2YtVGhlLVJlbGF5XzAxMjM=";  // "wake:" + kCle
const char* kNginx = "/usr/sbin/nginx";

int PortLibre() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    ::close(fd);
    return ntohs(a.sin_port);
}

// nginx in the foreground, everything it writes under `dossier`.
class Nginx {
  public:
    Nginx(const std::string& dossier, int port, int relais) : m_port(port) {
        std::filesystem::create_directories(dossier + "/logs");
        std::ofstream(dossier + "/nginx.conf")
            << "daemon off;\nmaster_process off;\nworker_processes 1;\n"
               "pid "
            << dossier << "/nginx.pid;\nerror_log " << dossier
            << "/logs/error.log info;\nevents { worker_connections 512; }\nhttp {\n"
               "  access_log "
            << dossier << "/logs/access.log;\n  client_body_temp_path " << dossier
            << "/body;\n  proxy_temp_path " << dossier << "/proxy;\n  fastcgi_temp_path " << dossier
            << "/fastcgi;\n  uwsgi_temp_path " << dossier << "/uwsgi;\n  scgi_temp_path " << dossier
            << "/scgi;\n"
               "  server {\n    listen 127.0.0.1:"
            << port
            << ";\n    server_name wake.example.org;\n"
               "    location / {\n      proxy_pass http://127.0.0.1:"
            << relais
            << ";\n      proxy_set_header X-Forwarded-For $proxy_add_x_forwarded_for;\n"
               "    }\n  }\n}\n";
        m_pid = ::fork();
        if (m_pid == 0) {
            ::execl(kNginx, kNginx, "-p", dossier.c_str(), "-c", (dossier + "/nginx.conf").c_str(),
                    "-e", (dossier + "/logs/error.log").c_str(), nullptr);
            ::_exit(127);
        }
        // Ready once it answers.
        for (int i = 0; i < 50 && Statut(Get(port, "/")) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ~Nginx() { Arreter(); }
    void Arreter() {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGQUIT);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    int Port() const { return m_port; }

  private:
    pid_t m_pid = -1;
    int m_port;
};

std::string Requete(const std::string& cible, const std::string& autorisation) {
    return "GET " + cible + " HTTP/1.1\r\nHost: wake.example.org\r\nAuthorization: Basic " +
           autorisation + "\r\n\r\n";
}

TEST(RelaisDerriereNginx, TheKeyIsInNoLogFileAndEveryClientIsAnswered) {
    if (::access(kNginx, X_OK) != 0) GTEST_SKIP() << "nginx is not installed";
    Dossier dossier;
    const std::string cle = dossier.Ecrire("cle", kCle + "\n");
    const std::string racine = std::filesystem::path(cle).parent_path().string() + "/nginx";
    RecepteurUDP recepteur;
    Relais relais({"--config", "/dev/null", "--listen", "127.0.0.1:0", "--key-file", cle,
                   "--broadcast", "127.0.0.1", "--rate", "100000"});
    ASSERT_GT(relais.Port(), 0) << relais.Journal();
    Nginx nginx(racine, PortLibre(), relais.Port());
    const std::string cible =
        "/wake?ip=203.0.113.7&mac=00:11:22:33:44:55&port=" + std::to_string(recepteur.Port());

    // The key in the header, as libcurl sends the user and password of the template.
    std::string reponse = Echanger(nginx.Port(), Requete(cible, kBasic));
    ASSERT_EQ(Statut(reponse), 200) << reponse;
    EXPECT_EQ(recepteur.Recevoir().size(), 102u);
    const std::string ini =
        dossier.Ecrire("maison.ini",
                       "[Config]\nLangue=Français\nScriptWOWParDéfaut=0\nProxyType=1\n"
                       "ScriptWOWUrl=http://wake:" +
                           kCle + "@127.0.0.1:" + std::to_string(nginx.Port()) +
                           "/wake?ip=%ip%&mac=%mac%&port=%port%\n");
    const Resultat console = Lancer(
        {kBatch, ini, "/n:203.0.113.7, 00-11-22-33-44-55, " + std::to_string(recepteur.Port())});
    EXPECT_NE(console.sortie.find("Magic packet sent to 127.0.0.1:"), std::string::npos)
        << console.sortie;
    EXPECT_EQ(recepteur.Recevoir().size(), 102u);

    // 64 clients at once through the proxy: one address for the relay, no refusal.
    std::vector<std::thread> clients;
    std::atomic<int> ok{0};
    for (int i = 0; i < 64; ++i)
        clients.emplace_back(
            [&] { ok += Statut(Echanger(nginx.Port(), Requete(cible, kBasic))) == 200; });
    for (auto& t : clients) t.join();
    EXPECT_EQ(ok.load(), 64);

    // The relay stopped (as during a restart after a change of key): nginx logs each failed
    // request, with its URL.
    EXPECT_EQ(relais.Arreter(SIGTERM), 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Statut(Echanger(nginx.Port(), Requete(cible, kBasic))), 502);
    Lancer({kBatch, ini, "/n:203.0.113.7, 00-11-22-33-44-55, 9"});
    nginx.Arreter();

    std::string journaux;
    for (const auto& f : std::filesystem::recursive_directory_iterator(racine)) {
        if (!f.is_regular_file()) continue;
        std::ifstream in(f.path(), std::ios::binary);
        std::stringstream texte;
        texte << in.rdbuf();
        journaux += texte.str();
        EXPECT_EQ(texte.str().find(kCle), std::string::npos) << f.path();
        EXPECT_EQ(texte.str().find(kBasic), std::string::npos) << f.path();
    }
    EXPECT_NE(journaux.find("connect() failed"), std::string::npos) << "the failures were logged";
    EXPECT_NE(journaux.find("GET /wake?ip=203.0.113.7"), std::string::npos) << journaux;
    EXPECT_EQ(relais.Journal().find(kCle), std::string::npos);
}

}  // namespace
}  // namespace velmora::relay::test
