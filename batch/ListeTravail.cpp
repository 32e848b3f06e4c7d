#include "batch/ListeTravail.h"

#include <algorithm>
#include <unordered_map>

#include "common/config/Config.h"
#include "common/config/Machine.h"
#include "common/text/Commun.h"

namespace velmora::batch {

std::vector<std::string> DossiersMachines(const IniDocument& document) {
    std::vector<std::string> dossiers;
    for (const std::string& section : document.Sections()) {
        if (!section.empty() && Minuscules(section) != "config") dossiers.push_back(section);
    }
    return dossiers;
}

bool DossierExiste(const IniDocument& document, std::string_view dossier) {
    if (EstNomDossierReserve(dossier)) return false;  // the settings are no folder
    std::optional<std::string> nombre = document.Get(dossier, cle::NbMachines);
    return nombre && !nombre->empty();
}

std::vector<LigneNumerotee> LignesDossier(const IniDocument& document, std::string_view dossier) {
    long long nombre = Val(document.Get(dossier, cle::NbMachines).value_or("0"));
    // Index the machine keys once: a folder of n machines is read in O(n).
    const std::string prefixe = Minuscules(cle::Machine);
    std::unordered_map<size_t, std::string> lignes;
    for (const auto& [cleLue, valeur] : document.Keys(dossier)) {
        std::string c = Minuscules(cleLue);
        if (c.size() <= prefixe.size() || c.compare(0, prefixe.size(), prefixe) != 0) continue;
        std::string_view chiffres = std::string_view(c).substr(prefixe.size());
        if (chiffres.find_first_not_of("0123456789") != std::string_view::npos) continue;
        if (chiffres.size() > 1 && chiffres[0] == '0') continue;  // "Machine01" is another key
        if (chiffres.size() > 18) continue;
        size_t numero = std::stoull(std::string(chiffres));
        if (numero >= 1 && static_cast<long long>(numero) <= nombre && !valeur.empty()) {
            lignes.emplace(numero, valeur);  // the first of duplicate keys wins, as Get does
        }
    }
    std::vector<LigneNumerotee> resultat;
    resultat.reserve(lignes.size());
    for (auto& [numero, texte] : lignes) resultat.push_back({numero, std::move(texte)});
    std::sort(resultat.begin(), resultat.end(),
              [](const LigneNumerotee& a, const LigneNumerotee& b) { return a.numero < b.numero; });
    return resultat;
}

namespace {

void AjouterDossier(const IniDocument& document, const std::string& dossier,
                    const std::string& motif, ListeTravail& liste) {
    for (const LigneNumerotee& ligne : LignesDossier(document, dossier)) {
        Machine m = LireLigneMachine(ligne.texte);
        if (!Correspond(Minuscules(m.nom), motif)) continue;
        liste.push_back({m.nom, NormaliserAdresseIP(m.adresse), m.masque, m.port, m.adresseMAC,
                         m.login, m.motDePasse, dossier});
    }
}

}  // namespace

int ChercherMachines(const IniDocument& document, std::string_view designation,
                     ListeTravail& liste) {
    size_t point = designation.find('!');
    if (point != std::string_view::npos) {
        std::string dossier(designation.substr(0, point));
        if (!DossierExiste(document, dossier)) return -1;
        AjouterDossier(document, dossier, Minuscules(designation.substr(point + 1)), liste);
    } else {
        const std::string motif = Minuscules(designation);
        for (const std::string& dossier : DossiersMachines(document)) {
            AjouterDossier(document, dossier, motif, liste);
        }
    }
    return static_cast<int>(liste.size());
}

}  // namespace velmora::batch
