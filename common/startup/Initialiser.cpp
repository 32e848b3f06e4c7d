// The start-up routine of both programs.
#include "common/startup/Initialiser.h"

#include <cerrno>
#include <exception>
#include <system_error>

#include "common/config/Config.h"
#include "common/config/IniFile.h"
#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "common/net/Sondes.h"
#include "common/platform/Chemins.h"
#include "common/platform/Fichiers.h"
#include "common/platform/LigneCommande.h"
#include "common/platform/Outil.h"
#include "common/text/Commun.h"

#ifndef VELMORA_DATA_DIR
#define VELMORA_DATA_DIR "/usr/local/share/velmora"
#endif

namespace velmora {
namespace {

constexpr const char* kNomFichier = "Velmora.ini";
constexpr const char* kFrancais =
    "Fran\xC3\xA7"
    "ais";
constexpr const char* kSectionTraduction = "Traduction";
constexpr const char* kCodeLangue = "CodeLangue";
constexpr const char* kSectionMachines = "Machines";
constexpr int kCodeFrancais = 12;

// A start-up failure with its error number and description.
struct ErreurDemarrage : std::runtime_error {
    ErreurDemarrage(int numero, const std::string& description)
        : std::runtime_error(description), numero(numero) {}
    int numero;
};

[[noreturn]] void ErreurSysteme(int code, const std::string& chemin) {
    throw ErreurDemarrage(code, platform::TexteErreurSysteme(code) + " (" + chemin + ")");
}

i18n::ListeTextes Liste(ModeDemarrage mode) {
    return mode == ModeDemarrage::GUI ? i18n::ListeTextes::Fenetre : i18n::ListeTextes::Console;
}

// A translated message; the built-in French text when the table has not been filled yet.
std::string Message(ModeDemarrage mode, const char* cle, const std::vector<std::string>& valeurs) {
    std::string texte = i18n::Traductions().Item(cle);
    if (texte.empty()) {
        for (const auto& [c, t] : i18n::TextesIntegres(Liste(mode))) {
            if (Egal(c, cle)) texte = Remplacer(t, "\xC2\xA7", "\n");
        }
    }
    return i18n::RemplacerVariables(texte, valeurs);
}

// Steps 2 and 3: where the Configuration file is. Sets fichierConfig and dossierConfig, and
// returns the older file beside the program that should move there ("" for none).
std::string Localiser(Programme& p, const std::string& nomFichier, bool installe) {
    const std::string dossierProgramme = AjouterAntislash(DossierProgramme());
    if (!nomFichier.empty()) {
        p.fichierConfig = CheminAbsolu(nomFichier);
        p.dossierConfig = p.fichierConfig.substr(0, p.fichierConfig.rfind('/') + 1);
        return "";
    }
    if (!installe) {
        p.dossierConfig = dossierProgramme;
        p.fichierConfig = p.dossierConfig + kNomFichier;
        return "";
    }
    std::string donnees = DossierSpecial(kDossierDonneesApplication);
    if (donnees.empty()) throw ErreurDemarrage(ENOENT, "$HOME");
    p.dossierConfig = AjouterAntislash(AjouterAntislash(donnees) + "Quirlane/Velmora");
    p.fichierConfig = p.dossierConfig + kNomFichier;
    std::string ancien = dossierProgramme + kNomFichier;
    return !FichierExiste(p.fichierConfig) && FichierExiste(ancien) ? ancien : "";
}

// Steps 5 and 6: the folder of an installed program's file, and the move of its older file.
// Done before the language is read so that the moved file's settings count.
void PreparerDossier(const Programme& p, const std::string& ancien) {
    if (!platform::CreerDossiers(p.dossierConfig)) ErreurSysteme(errno, p.dossierConfig);
    if (ancien.empty()) return;
    if (!platform::CopierFichier(ancien, p.fichierConfig)) {
        // Another instance starting at the same moment may have moved it already.
        int erreur = errno;
        if (erreur == ENOENT && FichierExiste(p.fichierConfig)) return;
        ErreurSysteme(erreur, p.fichierConfig);
    }
    ::remove(ancien.c_str());  // a program folder is often read-only: the copy is what counts
}

// Step 4: the language name and its file.
void ChoisirLangue(Programme& p, const EnvironnementDemarrage& env,
                   const std::vector<std::string>& dossiers) {
    p.langue = LireIni(p.fichierConfig, cle::Config, cle::Langue, "");
    if (p.langue.empty()) {
        p.configNouvelle = true;
        int code = (env.langueSysteme ? env.langueSysteme() : i18n::LangueSysteme()) & 0xFF;
        p.langue = kFrancais;
        // An unknown system language (0) never matches a file that lacks its CodeLangue.
        for (size_t i = 0; code != kCodeFrancais && code != 0 && i < dossiers.size(); ++i) {
            for (const std::string& nom : platform::ListerFichiers(dossiers[i], ".lng")) {
                std::string valeur =
                    LireIni(dossiers[i] + nom, kSectionTraduction, kCodeLangue, "0");
                if (LireEntier(valeur, 0) == code) {
                    p.langue = nom.substr(0, nom.size() - 4);
                    break;
                }
            }
            if (p.langue != kFrancais) break;
        }
    }
    p.fichierLangue.clear();
    // A name holding "/" would reach outside the language folders: French is used instead.
    if (p.langue == kFrancais) return;
    if (p.langue.find('/') != std::string::npos) {
        p.langueIntrouvable = p.langue;
        return;
    }
    for (const std::string& dossier : dossiers) {
        if (FichierExiste(dossier + p.langue + ".lng")) {
            p.fichierLangue = dossier + p.langue + ".lng";
            return;
        }
    }
    // File names are matched without regard to case, as on Windows: "english" finds English.lng.
    for (const std::string& dossier : dossiers) {
        for (const std::string& nom : platform::ListerFichiers(dossier, ".lng")) {
            if (Egal(nom.substr(0, nom.size() - 4), p.langue, Comparaison::Texte)) {
                p.fichierLangue = dossier + nom;
                return;
            }
        }
    }
    p.langueIntrouvable = p.langue;
}

// Step 10: the machine count of older files moves from "Config" to the folder "Machines". The
// count is read again under the lock; when "Machines" already has its own count, the one left in
// "Config" is stale and only removed (moving it would cut the folder short). A failed write
// leaves the file as it was and does not stop the start.
void MigrerNbMachines(const Programme& p) {
    if (p.reglages.nbMachines < 0 || !FichierExiste(p.fichierConfig)) return;
    ModifierIni(p.fichierConfig, [](IniDocument& doc) {
        const auto ancien = doc.Get(cle::Config, cle::NbMachines);
        if (!ancien || LireEntier(*ancien, -1) < 0) return;
        doc.Remove(cle::Config, cle::NbMachines);
        if (doc.Get(kSectionMachines, cle::NbMachines)) return;
        doc.Set(kSectionMachines, cle::NbMachines, std::to_string(LireEntier(*ancien, 0)));
        std::string colonnes = doc.Get(cle::Config, cle::FenetreColonnes).value_or("");
        if (!colonnes.empty()) doc.Set(cle::Config, cle::FenetreColonnes, colonnes + "350;");
    });
}

int Demarrer(ModeDemarrage mode, std::string& message, const EnvironnementDemarrage& env) {
    Programme& p = Prog();
    const std::string ligne = p.ligneCommande;
    p = Programme{};
    p.ligneCommande = ligne;
    p.mode = mode;

    platform::LigneSeparee separee = platform::SeparerLigneCommande(ligne);
    p.options = separee.options;
    const bool installe = env.programmeInstalle.value_or(ProgrammeInstalle());
    std::string ancien = Localiser(p, separee.fichier, installe);
    if (separee.fichier.empty() && installe) PreparerDossier(p, ancien);

    std::vector<std::string> dossiers =
        env.dossiersLangues.empty() ? DossiersLangues(installe) : env.dossiersLangues;
    ChoisirLangue(p, env, dossiers);
    if (!i18n::ChargerTraductions(Liste(mode), p.fichierLangue) && !p.fichierLangue.empty())
        p.langueIntrouvable = p.langue;

    const bool existe = FichierExiste(p.fichierConfig);
    if (mode == ModeDemarrage::BATCH && !existe) return 1;

    bool ping =
        env.methodePingDisponible ? env.methodePingDisponible() : net::MethodePingDisponible();
    if (!ping) {
        message = Message(mode, "MSG_ERREUR_OUTILS_RESEAU_ABSENTS", {});
        return 2;
    }

    p.reglages = ReglagesDemarrage::Lire(p.fichierConfig, p.configNouvelle);
    if (existe) p.configInutilisable = ProblemeLectureIni(p.fichierConfig).value_or("");
    if (p.configInutilisable.empty()) MigrerNbMachines(p);
    // No ping calibration: the probes do not read the ping tool's wording.
    const bool sansOptions = p.options.empty();
    return (sansOptions && mode == ModeDemarrage::GUI) ||
                   (!sansOptions && mode == ModeDemarrage::BATCH)
               ? -1
               : 0;
}

}  // namespace

std::string MessageLangueIntrouvable() {
    // Shown only when the language file cannot be read, so no language file can translate it:
    // it is French, as every other text of that run.
    return i18n::RemplacerVariables(
        "Le fichier de langue \"%v\" est introuvable ou illisible : les textes sont affichés "
        "en français.",
        {Prog().langueIntrouvable + ".lng"});
}

std::vector<std::string> DossiersLangues(bool programmeInstalle) {
    std::vector<std::string> dossiers{AjouterAntislash(DossierProgramme())};
    if (programmeInstalle) {
        dossiers.push_back(dossiers.front() + "../share/velmora/");
        std::string construit = AjouterAntislash(VELMORA_DATA_DIR);
        if (construit != dossiers.back()) dossiers.push_back(construit);
    }
    return dossiers;
}

int Initialiser(ModeDemarrage mode, std::string& message) {
    return Initialiser(mode, message, EnvironnementDemarrage{});
}

int Initialiser(ModeDemarrage mode, std::string& message, const EnvironnementDemarrage& env) {
    message.clear();
    try {
        return Demarrer(mode, message, env);
    } catch (const ErreurDemarrage& e) {
        message = Message(mode, "MSG_ERREUR_INITIALISATION", {std::to_string(e.numero), e.what()});
    } catch (const std::system_error& e) {
        message = Message(mode, "MSG_ERREUR_INITIALISATION",
                          {std::to_string(e.code().value()), e.what()});
    } catch (const std::exception& e) {
        message = Message(mode, "MSG_ERREUR_INITIALISATION", {"0", e.what()});
    } catch (...) {
        message = Message(mode, "MSG_ERREUR_INITIALISATION", {"0", "?"});
    }
    return 2;
}

}  // namespace velmora
