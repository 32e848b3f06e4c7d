#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

#include "common/platform/Fichiers.h"

namespace velmora::platform {
namespace {

bool EstDossier(const std::string& chemin) {
    struct stat info;
    return ::stat(chemin.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool EcrireTout(int fd, const char* donnees, size_t taille) {
    while (taille > 0) {
        ssize_t n = ::write(fd, donnees, taille);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        donnees += n;
        taille -= static_cast<size_t>(n);
    }
    return true;
}

// Copies the content of one open file to another.
bool CopierContenu(int depuis, int vers) {
    char tampon[65536];
    for (;;) {
        ssize_t n = ::read(depuis, tampon, sizeof tampon);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (!EcrireTout(vers, tampon, static_cast<size_t>(n))) return false;
    }
}

}  // namespace

bool CreerDossiers(const std::string& dossier) {
    if (dossier.empty()) {
        errno = ENOENT;
        return false;
    }
    // Each prefix ending before a "/", then the whole path.
    for (size_t pos = dossier.find('/', 1);; pos = dossier.find('/', pos + 1)) {
        std::string partie = dossier.substr(0, pos);
        if (!EstDossier(partie) && ::mkdir(partie.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (pos == std::string::npos || pos + 1 >= dossier.size()) break;
    }
    if (!EstDossier(dossier)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

bool CopierFichier(const std::string& source, const std::string& destination) {
    int depuis = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (depuis < 0) return false;
    struct stat info;
    if (::fstat(depuis, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(depuis);
        errno = EINVAL;
        return false;
    }
    std::string temporaire = destination + ".tmpXXXXXX";
    int vers = ::mkostemp(temporaire.data(), O_CLOEXEC);  // mode 0600
    if (vers < 0) {
        int erreur = errno;
        ::close(depuis);
        errno = erreur;
        return false;
    }
    bool ok = CopierContenu(depuis, vers) && ::fsync(vers) == 0;
    int erreur = errno;
    ::close(depuis);
    if (::close(vers) != 0 && ok) {
        ok = false;
        erreur = errno;
    }
    if (ok && ::rename(temporaire.c_str(), destination.c_str()) != 0) {
        ok = false;
        erreur = errno;
    }
    if (!ok) {
        ::unlink(temporaire.c_str());
        errno = erreur;
    }
    return ok;
}

std::vector<std::string> ListerFichiers(const std::string& dossier, const std::string& extension) {
    std::vector<std::string> noms;
    DIR* d = ::opendir(dossier.c_str());
    if (!d) return noms;
    while (dirent* e = ::readdir(d)) {
        std::string nom = e->d_name;
        // The extension matches without regard to case: "English.LNG" is a language file too.
        if (nom.size() <= extension.size() ||
            !std::equal(extension.begin(), extension.end(), nom.end() - extension.size(),
                        [](char a, char b) {
                            return std::tolower(static_cast<unsigned char>(a)) ==
                                   std::tolower(static_cast<unsigned char>(b));
                        })) {
            continue;
        }
        std::string chemin = dossier + (dossier.ends_with('/') ? "" : "/") + nom;
        struct stat info;
        if (::stat(chemin.c_str(), &info) == 0 && S_ISREG(info.st_mode)) noms.push_back(nom);
    }
    ::closedir(d);
    std::sort(noms.begin(), noms.end());
    return noms;
}

bool RemplacerFichier(const std::string& chemin, const std::string& contenu) {
    std::string temporaire = chemin + ".tmpXXXXXX";
    int fd = ::mkostemp(temporaire.data(), O_CLOEXEC);  // mode 0600
    if (fd < 0) return false;
    size_t ecrit = 0;
    while (ecrit < contenu.size()) {
        const ssize_t n = ::write(fd, contenu.data() + ecrit, contenu.size() - ecrit);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        ecrit += static_cast<size_t>(n);
    }
    const bool ok = ecrit == contenu.size() && ::close(fd) == 0 &&
                    ::rename(temporaire.c_str(), chemin.c_str()) == 0;
    if (!ok) {
        const int erreur = errno;
        if (ecrit != contenu.size()) ::close(fd);
        ::unlink(temporaire.c_str());
        errno = erreur;
    }
    return ok;
}

}  // namespace velmora::platform
