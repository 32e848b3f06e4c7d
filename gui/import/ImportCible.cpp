#include "gui/import/ImportCible.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "common/text/Commun.h"

namespace velmora::gui {

std::optional<std::vector<std::string>> LireLignesFichier(const std::string& chemin,
                                                          std::string& erreur) {
    const int fd = ::open(chemin.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        erreur = std::strerror(errno);
        return std::nullopt;
    }
    std::string octets;
    char tampon[65536];
    for (;;) {
        const ssize_t n = ::read(fd, tampon, sizeof tampon);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            erreur = std::strerror(errno);  // a folder, an I/O error...
            ::close(fd);
            return std::nullopt;
        }
        octets.append(tampon, static_cast<size_t>(n));
    }
    ::close(fd);
    if (octets.rfind("\xEF\xBB\xBF", 0) == 0) octets.erase(0, 3);
    octets = DecoderLignes(octets);  // each line UTF-8, or else Windows-1252

    std::vector<std::string> lignes;
    size_t debut = 0;
    while (debut < octets.size()) {
        size_t fin = octets.find('\n', debut);
        if (fin == std::string::npos) fin = octets.size();
        std::string ligne = octets.substr(debut, fin - debut);
        if (!ligne.empty() && ligne.back() == '\r') ligne.pop_back();
        lignes.push_back(std::move(ligne));
        debut = fin + 1;
    }
    return lignes;
}

void AjouterMachines(const std::vector<MachineImportee>& machines, CibleImport& cible,
                     const std::function<bool()>& remplacer) {
    int reponse = -1;  // not asked yet
    for (const MachineImportee& m : machines) {
        const int trouvee = cible.Trouver(m.nom);
        if (trouvee >= 0 && reponse < 0) reponse = remplacer && remplacer() ? 1 : 0;
        if (trouvee >= 0 && reponse == 1)
            cible.Remplacer(trouvee, m);
        else
            cible.Ajouter(m);
    }
    cible.Terminer();
}

std::string Rogner(const std::string& texte) {
    const size_t debut = texte.find_first_not_of(' ');
    if (debut == std::string::npos) return {};
    return texte.substr(debut, texte.find_last_not_of(' ') - debut + 1);
}

}  // namespace velmora::gui
