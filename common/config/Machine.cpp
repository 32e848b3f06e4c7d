#include "common/config/Machine.h"

#include <algorithm>
#include <set>

#include "common/config/Config.h"
#include "common/config/IniFile.h"
#include "common/text/Commun.h"

namespace velmora {

const char* const kDossierParDefaut = "Machines";

namespace {

std::string Champ(const std::vector<std::string>& champs, size_t i) {
    return i < champs.size() ? champs[i] : std::string();
}

// The number k of a key "Machine<k>", 0 when the key is not one.
size_t NumeroCleMachine(std::string_view cle) {
    const std::string prefixe = Majuscules(cle::Machine);
    if (cle.size() <= prefixe.size() || Majuscules(cle.substr(0, prefixe.size())) != prefixe)
        return 0;
    auto n = LireNombre(cle.substr(prefixe.size()));
    return n && *n > 0 ? static_cast<size_t>(*n) : 0;
}

}  // namespace

size_t NombreChampsLigne(std::string_view ligne) {
    return static_cast<size_t>(std::count(ligne.begin(), ligne.end(), '|')) + 1;
}

Machine LireLigneMachine(std::string_view ligne) {
    const auto f = ExtraireChamp(ligne, "|");
    Machine m;
    m.nom = Champ(f, 0);
    if (f.size() <= 4) {
        // Oldest layout: name, comment, address, MAC (shorter lines fill what they have).
        m.commentaire = Champ(f, 1);
        m.adresse = Champ(f, 2);
        m.adresseMAC = Champ(f, 3);
        return m;
    }
    m.adresse = f[1];
    m.masque = f[2];
    m.port = f[3];
    m.adresseMAC = f[4];
    if (f.size() <= 6) {  // 5 or 6 fields: the comment, when present, is last
        m.commentaire = Champ(f, 5);
    } else {  // 7 fields: login and password; 8 or more: the current layout
        m.login = f[5];
        m.motDePasse = f[6];
        // The comment is free text and the only field that may hold "|": it runs to the end of
        // the line, so that such a comment survives a save and a reload whole.
        if (f.size() >= 8) m.commentaire = ExtraireChamp(ligne, "|", 7, Comparaison::Binaire, true);
    }
    return m;
}

std::string LigneMachine(const Machine& m) {
    // Joined by hand: Joindre would drop the separators after an empty first field.
    return m.nom + "|" + m.adresse + "|" + m.masque + "|" + m.port + "|" + m.adresseMAC + "|" +
           m.login + "|" + m.motDePasse + "|" + m.commentaire;
}

std::string CleMachine(size_t k) { return std::string(cle::Machine) + std::to_string(k); }

std::vector<Machine> ChargerDossier(const std::string& fichier, std::string_view dossier) {
    const auto partage = PartagerDocumentIni(fichier);
    const IniDocument& doc = *partage;
    const auto cles = doc.Keys(dossier);
    // The count is trusted only up to the last machine key present, so that a damaged count
    // can neither make up thousands of empty machines nor hang the load.
    size_t dernier = 0;
    for (const auto& [k, v] : cles) dernier = std::max(dernier, NumeroCleMachine(k));
    const long long n =
        std::min<long long>(LireEntier(doc.Get(dossier, cle::NbMachines).value_or("0"), 0),
                            static_cast<long long>(dernier));
    std::vector<Machine> machines;
    if (n <= 0) return machines;
    machines.reserve(static_cast<size_t>(n));
    for (long long k = 1; k <= n; ++k)
        machines.push_back(LireLigneMachine(doc.Get(dossier, CleMachine(k)).value_or("")));
    return machines;
}

bool EstNomDossierReserve(std::string_view nom) {
    const size_t debut = nom.find_first_not_of(" \t");
    if (debut == std::string_view::npos) return false;
    const size_t fin = nom.find_last_not_of(" \t");
    return Egal(nom.substr(debut, fin - debut + 1), cle::Config, Comparaison::Texte);
}

namespace {
bool RefuserSectionReglages(std::string_view dossier, std::string* erreur) {
    if (!EstNomDossierReserve(dossier)) return false;
    if (erreur) *erreur = MessageSectionReglages(dossier);
    return true;
}
}  // namespace

bool SupprimerDossier(const std::string& fichier, std::string_view dossier, std::string* erreur) {
    if (RefuserSectionReglages(dossier, erreur)) return false;
    return SupprimerSection(fichier, dossier, erreur);
}

bool SauvegarderDossier(const std::string& fichier, std::string_view dossier,
                        const std::vector<Machine>& machines, std::string* erreur) {
    if (RefuserSectionReglages(dossier, erreur)) return false;
    return ModifierIni(
        fichier, [&](IniDocument& doc) { RemplacerDossier(doc, dossier, machines); }, erreur);
}

void RemplacerDossier(IniDocument& doc, std::string_view dossier,
                      const std::vector<Machine>& machines) {
    const size_t n = machines.size();
    if (n == 0) {
        doc.ClearSection(dossier);
        return;
    }
    for (size_t k = 1; k <= n; ++k) doc.Set(dossier, CleMachine(k), LigneMachine(machines[k - 1]));
    long long ancien = LireEntier(doc.Get(dossier, cle::NbMachines).value_or("0"), 0);
    doc.Remove(dossier, cle::NbMachines);
    doc.Set(dossier, cle::NbMachines, std::to_string(n));
    // Surplus lines: up to the old count, and any other stray numbered line.
    for (const auto& [k, v] : doc.Keys(dossier))
        ancien = std::max<long long>(ancien, static_cast<long long>(NumeroCleMachine(k)));
    for (long long k = static_cast<long long>(n) + 1; k <= ancien; ++k)
        doc.Remove(dossier, CleMachine(static_cast<size_t>(k)));
}

std::vector<std::string> ListerDossiers(const std::string& fichier) {
    const auto partage = PartagerDocumentIni(fichier);
    const IniDocument& doc = *partage;
    std::vector<std::string> noms;
    std::set<std::string> vus;
    auto ajouter = [&](const std::string& nom) {
        if (!nom.empty() && !EstNomDossierReserve(nom) && vus.insert(Majuscules(nom)).second)
            noms.push_back(nom);
    };
    const std::string liste = doc.Get(cle::Config, cle::ListeDossiers).value_or("");
    if (!liste.empty()) {
        for (const auto& nom : ExtraireChamp(liste, "|")) ajouter(nom);
    } else {
        for (const auto& nom : doc.Sections()) ajouter(nom);
    }
    if (noms.empty()) noms.emplace_back(kDossierParDefaut);
    return noms;
}

}  // namespace velmora
