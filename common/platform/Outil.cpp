#include "common/platform/Outil.h"

#include <unistd.h>

#include <cstring>

#include "common/platform/Chemins.h"
#include "common/platform/LigneCommande.h"
#include "common/platform/Process.h"
#include "common/platform/Systeme.h"
#include "common/text/Commun.h"

#ifndef VELMORA_VERSION_MAJOR
#define VELMORA_VERSION_MAJOR 0
#define VELMORA_VERSION_MINOR 0
#define VELMORA_VERSION_PATCH 0
#endif

namespace velmora::platform {
namespace {

std::function<bool()>& AttenteOutils() {
    static std::function<bool()> attente;
    return attente;
}

// Output cut at a fixed size may end inside a UTF-8 character: drop that partial character.
std::string SansCaractereCoupe(const std::string& texte) {
    for (size_t k = 1; k <= 3 && k <= texte.size(); ++k) {
        unsigned char c = static_cast<unsigned char>(texte[texte.size() - k]);
        if ((c & 0xC0) == 0x80) continue;  // continuation byte: look further back
        if (c < 0xC0) break;               // ASCII: nothing cut
        std::string debut = texte.substr(0, texte.size() - k);
        return EstUtf8Valide(debut) ? debut : texte;
    }
    return texte;
}

bool EstExecutable(const std::string& chemin) {
    return FichierExiste(chemin, 0) && ::access(chemin.c_str(), X_OK) == 0;
}

}  // namespace

std::vector<std::string> LignesSortieOutil(std::string sortie, bool coupee) {
    std::erase(sortie, '\0');
    if (!EstUtf8Valide(sortie)) {
        std::string coupe = coupee ? SansCaractereCoupe(sortie) : sortie;
        sortie = EstUtf8Valide(coupe) ? coupe : DepuisWindows1252(sortie);
    }
    std::erase(sortie, '\t');
    std::erase(sortie, '\r');
    if (sortie.empty()) return {};
    return ExtraireChamp(Remplacer(sortie, "\n\n", "\n"), "\n");
}

bool ExecuterOutil(const std::string& ligneCommande, std::vector<std::string>* lignes,
                   const OptionsOutil& options, int* statut) {
    if (lignes) lignes->clear();
    if (statut) *statut = -1;
    auto mots = SeparerArguments(ligneCommande);
    if (!mots) return false;
    ProcessRequest requete;
    const std::string& nom = mots->front();
    requete.programme = nom.find('/') != std::string::npos ? nom : CheminOutil(nom);
    if (requete.programme.empty()) return false;
    requete.arguments.assign(mots->begin() + 1, mots->end());
    requete.delaiMaxMs = options.delaiMaxMs;
    requete.tailleMax = kTailleSortieOutil;
    requete.arreter = options.arreter ? options.arreter : AttenteOutils();
    requete.entree = options.entree;
    requete.environnement = options.environnement;

    ProcessResult resultat = CurrentProcessRunner().Run(requete);
    if (!resultat.demarre) return false;
    if (statut) *statut = resultat.statut;
    if (lignes) {
        bool coupee = resultat.tailleTotale > resultat.sortie.size();
        *lignes = LignesSortieOutil(std::move(resultat.sortie), coupee);
    }
    return true;
}

void DefinirAttenteOutils(std::function<bool()> attente) { AttenteOutils() = std::move(attente); }

std::function<bool()> AttenteOutilsCourante() { return AttenteOutils(); }

std::string CheminOutil(const std::string& nom) {
    if (nom.empty() || nom.find('/') != std::string::npos) return "";
    const Systeme& systeme = SystemeCourant();
    std::string dossier = systeme.DossierProgramme();
    if (!dossier.empty() && EstExecutable(AjouterAntislash(dossier) + nom)) {
        return AjouterAntislash(dossier) + nom;
    }
    // Only absolute folders of PATH: an empty or relative entry would make the result depend on
    // the current folder.
    for (const std::string& entree : ExtraireChamp(systeme.Variable("PATH"), ":")) {
        if (entree.empty() || entree.front() != '/') continue;
        std::string chemin = AjouterAntislash(entree) + nom;
        if (EstExecutable(chemin)) return chemin;
    }
    return "";
}

std::string TexteErreurSysteme(int code) {
    char tampon[256];
    const char* texte = ::strerror_r(code, tampon, sizeof tampon);
    std::string resultat = texte ? texte : "";
    std::erase(resultat, '\r');
    std::erase(resultat, '\n');
    return resultat;
}

bool EstWindowsNT() { return true; }

std::string FormaterVersion(int majeur, int mineur, int revision) {
    if (revision < 100) {
        std::string texte = "v" + std::to_string(majeur) + "." + std::to_string(mineur);
        if (revision >= 1) texte += "." + std::to_string(revision);
        return texte;
    }
    // Four digits d1 d2 d3 d4; a larger number keeps its extra digits in d1.
    int d1 = revision / 1000, d2 = revision / 100 % 10, d3 = revision / 10 % 10, d4 = revision % 10;
    std::string texte = "v" + std::to_string(d1) + "." + std::to_string(d2);
    if (d3 != 0) texte += "." + std::to_string(d3);
    return texte + " beta " + std::to_string(d4);
}

std::string TexteVersion() {
    return FormaterVersion(VELMORA_VERSION_MAJOR, VELMORA_VERSION_MINOR, VELMORA_VERSION_PATCH);
}

}  // namespace velmora::platform
