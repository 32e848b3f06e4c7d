#include "Aides.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace velmora::batch::test {

DossierTemporaire::DossierTemporaire() {
    std::string modele = "/tmp/velmora-batch-XXXXXX";
    if (!::mkdtemp(modele.data())) throw std::runtime_error("mkdtemp");
    m_chemin = modele;
}

DossierTemporaire::~DossierTemporaire() {
    std::error_code ec;
    std::filesystem::permissions(m_chemin, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_chemin, ec);
}

std::string DossierTemporaire::Ecrire(const std::string& nom, const std::string& contenu) const {
    std::string chemin = m_chemin + "/" + nom;
    std::ofstream(chemin, std::ios::binary) << contenu;
    return chemin;
}

std::string LireFichier(const std::string& chemin) {
    std::ifstream f(chemin, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

std::vector<std::string> Lignes(const std::string& texte) {
    std::vector<std::string> lignes;
    size_t debut = 0;
    for (size_t fin; (fin = texte.find('\n', debut)) != std::string::npos; debut = fin + 1) {
        lignes.push_back(texte.substr(debut, fin - debut));
    }
    lignes.push_back(texte.substr(debut));
    return lignes;
}

std::string ConfigTest(const std::string& lignesConfig, const std::string& dossiers) {
    return "[Config]\nLangue=Français\n" + lignesConfig + dossiers;
}

Resultat LancerBatch(const std::vector<std::string>& arguments,
                     const std::vector<std::pair<std::string, std::string>>& environnement,
                     const std::vector<std::string>& avant, const std::string& programme) {
    std::vector<std::string> mots = avant;
    mots.push_back(programme);
    mots.insert(mots.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& m : mots) argv.push_back(m.data());
    argv.push_back(nullptr);

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string v = *e;
        bool remplace = false;
        for (auto& [nom, valeur] : environnement) remplace |= v.rfind(nom + "=", 0) == 0;
        if (!remplace) env.push_back(v);
    }
    for (auto& [nom, valeur] : environnement) env.push_back(nom + "=" + valeur);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    int tube[2];
    if (::pipe2(tube, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, tube[1], STDOUT_FILENO);
    pid_t pid;
    int err = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(tube[1]);
    Resultat r;
    if (err != 0) {
        ::close(tube[0]);
        return r;
    }
    char tampon[4096];
    for (ssize_t n; (n = ::read(tube[0], tampon, sizeof tampon)) > 0;) r.sortie.append(tampon, n);
    ::close(tube[0]);
    int statut = 0;
    ::waitpid(pid, &statut, 0);
    r.code = WIFEXITED(statut) ? WEXITSTATUS(statut) : -1;
    return r;
}

}  // namespace velmora::batch::test
