// The real Systeme of a Linux process.
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/platform/Systeme.h"

namespace velmora::platform {
namespace {

std::string SansSlashFinal(std::string chemin) {
    while (chemin.size() > 1 && chemin.back() == '/') chemin.pop_back();
    return chemin;
}

std::string LireExecutable() {
    std::vector<char> tampon(4096);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", tampon.data(), tampon.size());
        if (n < 0) return "";
        if (static_cast<size_t>(n) < tampon.size()) return std::string(tampon.data(), n);
        tampon.resize(tampon.size() * 2);
    }
}

class SystemePosix : public Systeme {
  public:
    std::string DossierProgramme() const override {
        // The executable does not move while it runs: read the link once.
        static const std::string dossier = [] {
            std::string exe = LireExecutable();
            auto pos = exe.rfind('/');
            if (pos == std::string::npos) return std::string();
            return pos == 0 ? std::string("/") : exe.substr(0, pos);
        }();
        return dossier;
    }

    std::string DossierPersonnel() const override {
        std::string home = Variable("HOME");
        if (!home.empty()) return SansSlashFinal(home);
        struct passwd entree;
        struct passwd* resultat = nullptr;
        std::vector<char> tampon(16384);
        if (::getpwuid_r(::getuid(), &entree, tampon.data(), tampon.size(), &resultat) == 0 &&
            resultat && resultat->pw_dir) {
            return SansSlashFinal(resultat->pw_dir);
        }
        return "";
    }

    std::string Variable(std::string_view nom) const override {
        const char* v = std::getenv(std::string(nom).c_str());
        return v ? v : "";
    }

    std::string DossierCourant() const override {
        std::vector<char> tampon(4096);
        while (::getcwd(tampon.data(), tampon.size()) == nullptr) {
            if (errno != ERANGE) return "";
            tampon.resize(tampon.size() * 2);
        }
        return SansSlashFinal(tampon.data());
    }
};

Systeme* g_systeme = nullptr;

}  // namespace

Systeme& SystemeReel() {
    static SystemePosix systeme;
    return systeme;
}

Systeme& SystemeCourant() { return g_systeme ? *g_systeme : SystemeReel(); }

void RemplacerSysteme(Systeme* systeme) { g_systeme = systeme; }

}  // namespace velmora::platform
