#include "common/platform/Chemins.h"

#include <sys/stat.h>

#include "common/platform/Systeme.h"

namespace velmora {
namespace {

bool CommencePar(const std::string& texte, const std::string& debut) {
    return texte.compare(0, debut.size(), debut) == 0;
}

}  // namespace

bool FichierExiste(const std::string& chemin, int attributs) {
    if (chemin.empty()) return false;
    struct stat info;
    if (::stat(chemin.c_str(), &info) != 0) return false;
    bool dossier = S_ISDIR(info.st_mode);
    return (attributs & kAttributDossier) ? dossier : !dossier;
}

std::string AjouterAntislash(const std::string& chemin) {
    if (!chemin.empty() && chemin.back() == '/') return chemin;
    return chemin + "/";
}

std::string CheminAbsolu(const std::string& nom) {
    if (nom.empty() || nom.front() == '/') return nom;
    const auto& systeme = platform::SystemeCourant();
    if (nom == "~") return systeme.DossierPersonnel();
    if (CommencePar(nom, "~/")) return AjouterAntislash(systeme.DossierPersonnel()) + nom.substr(2);
    if (nom == "." || nom == "..") return AjouterAntislash(systeme.DossierCourant()) + nom;
    if (CommencePar(nom, "./")) return AjouterAntislash(systeme.DossierCourant()) + nom.substr(2);
    if (CommencePar(nom, "../")) return AjouterAntislash(systeme.DossierCourant()) + nom;
    // A relative path that holds a folder is taken from the current folder, as every Linux
    // program does; only a bare name is looked for beside the program.
    if (nom.find('/') != std::string::npos) return AjouterAntislash(systeme.DossierCourant()) + nom;
    return AjouterAntislash(DossierProgramme()) + nom;
}

std::string CheminRelatif(const std::string& chemin) {
    std::string prefixe = AjouterAntislash(DossierProgramme());
    if (CommencePar(chemin, prefixe)) return chemin.substr(prefixe.size());
    return chemin;
}

std::string DossierSpecial(int dossier) {
    const auto& systeme = platform::SystemeCourant();
    if (dossier == kDossierDonneesApplication) {
        // The XDG rules ignore a relative value.
        std::string xdg = systeme.Variable("XDG_CONFIG_HOME");
        while (xdg.size() > 1 && xdg.back() == '/') xdg.pop_back();
        if (!xdg.empty() && xdg.front() == '/') return xdg;
        std::string home = systeme.DossierPersonnel();
        if (home.empty()) return "";
        return AjouterAntislash(home) + ".config";
    }
    if (dossier == kDossierProgrammes) return "/usr/";
    return "";
}

std::string DossierProgramme() { return platform::SystemeCourant().DossierProgramme(); }

bool EstDossierInstalle(const std::string& dossier) {
    std::string d = AjouterAntislash(dossier);
    return CommencePar(d, "/usr/") || CommencePar(d, "/opt/");
}

bool ProgrammeInstalle() { return EstDossierInstalle(DossierProgramme()); }

}  // namespace velmora
