// Running the network tools through the platform's process runner, with a replaceable entry
// point and per-name path overrides for tests.
#include "common/net/Outil.h"

#include <unistd.h>

#include <map>
#include <mutex>

#include "common/platform/Chemins.h"
#include "common/platform/Outil.h"
#include "common/platform/Process.h"

#ifndef VELMORA_LIBEXEC_DIR
#define VELMORA_LIBEXEC_DIR "/usr/local/libexec/velmora"
#endif

namespace velmora::net {

namespace {

constexpr std::size_t kSortieMax = 64 * 1024;  // bytes kept of a tool's output

std::mutex g_verrou;
LanceurOutil g_lanceur;
std::map<std::string, std::string> g_chemins;

ResultatOutil LancerReellement(const std::vector<std::string>& argv, std::string_view entree,
                               int delaiMs, const HeritageOutil& heritage) {
    ResultatOutil resultat;
    if (argv.empty() || argv[0].empty()) {
        resultat.sortie = "No program to run";
        return resultat;
    }
    platform::ProcessRequest requete;
    requete.programme = argv[0];
    requete.arguments.assign(argv.begin() + 1, argv.end());
    if (!entree.empty()) requete.entree = std::string(entree);
    requete.delaiMaxMs = delaiMs;
    requete.descripteurs = heritage.descripteurs;
    requete.environnement = heritage.environnement;
    requete.tailleMax = kSortieMax;
    requete.arreter = platform::AttenteOutilsCourante();  // the window's events and stop button
    const platform::ProcessResult fin = platform::CurrentProcessRunner().Run(requete);
    resultat.lance = fin.demarre;
    resultat.expire = fin.expire;
    resultat.arrete = fin.arrete;
    resultat.statut = fin.statut;
    resultat.sortie = fin.demarre ? fin.sortie : platform::TexteErreurSysteme(fin.erreur);
    return resultat;
}

}  // namespace

ResultatOutil LancerOutil(const std::vector<std::string>& argv, std::string_view entree,
                          int delaiMs, const HeritageOutil& heritage) {
    LanceurOutil lanceur;
    {
        std::lock_guard<std::mutex> verrou(g_verrou);
        lanceur = g_lanceur;
    }
    if (lanceur) return lanceur(argv, entree, delaiMs, heritage);
    return LancerReellement(argv, entree, delaiMs, heritage);
}

void DefinirLanceurOutil(LanceurOutil lanceur) {
    std::lock_guard<std::mutex> verrou(g_verrou);
    g_lanceur = std::move(lanceur);
}

std::string TrouverOutil(const std::string& nom) {
    {
        std::lock_guard<std::mutex> verrou(g_verrou);
        const auto it = g_chemins.find(nom);
        if (it != g_chemins.end())
            return ::access(it->second.c_str(), X_OK) == 0 ? it->second : std::string();
    }
    if (nom.find('/') != std::string::npos) return ::access(nom.c_str(), X_OK) == 0 ? nom : "";
    return platform::CheminOutil(nom);
}

std::string TrouverAssistant(const std::string& nom) {
    {
        std::lock_guard<std::mutex> verrou(g_verrou);
        const auto it = g_chemins.find(nom);
        if (it != g_chemins.end())
            return ::access(it->second.c_str(), X_OK) == 0 ? it->second : std::string();
    }
    if (nom.empty() || nom.find('/') != std::string::npos) return "";
    const std::string programme = AjouterAntislash(DossierProgramme());
    for (const std::string& dossier :
         {programme, programme + "../libexec/velmora/", AjouterAntislash(VELMORA_LIBEXEC_DIR)}) {
        const std::string chemin = dossier + nom;
        if (FichierExiste(chemin) && ::access(chemin.c_str(), X_OK) == 0) return chemin;
    }
    return "";
}

void DefinirCheminOutil(const std::string& nom, const std::string& chemin) {
    std::lock_guard<std::mutex> verrou(g_verrou);
    if (chemin.empty())
        g_chemins.erase(nom);
    else
        g_chemins[nom] = chemin;
}

}  // namespace velmora::net
