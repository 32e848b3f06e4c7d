// The machine record, its line in the Configuration file and the folders that hold machines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class IniDocument;

// One machine as the user typed it: every field is text, nothing is converted when stored.
struct Machine {
    std::string nom;
    std::string adresse;     // dotted quad or host name
    std::string masque;      // empty: MasqueParDéfaut
    std::string port;        // empty: PortParDéfautWOL / PortParDéfautWOW
    std::string adresseMAC;  // as typed, ":" or "-"
    std::string login;
    std::string motDePasse;  // encoded (CoderMotDePasse), hexadecimal pairs
    std::string commentaire;

    bool operator==(const Machine&) const = default;
};

// Reads a machine line of any layout: 8 or more fields (current; the comment is the rest of the
// line, "|" included), 7, 6, 4; shorter lines and lines of exactly five fields take the fields
// present in the order of the nearest layout.
Machine LireLigneMachine(std::string_view ligne);
// The current 8-field layout, fields joined by "|".
std::string LigneMachine(const Machine& machine);
// Number of "|"-separated fields of a line (to tell older layouts).
size_t NombreChampsLigne(std::string_view ligne);

// Key of machine k (1-based): "Machine" + k.
std::string CleMachine(size_t k);

// All machines of a folder section, in order (NbMachines, then Machine1..N).
std::vector<Machine> ChargerDossier(const std::string& fichier, std::string_view dossier);
// Saves a folder in one rewrite: Machine1..N, NbMachines = N, surplus Machine keys removed; an
// empty list empties the section. False (with `erreur`) when the write failed, or when the
// folder is the settings section (EstNomDossierReserve): that section is never touched.
bool SauvegarderDossier(const std::string& fichier, std::string_view dossier,
                        const std::vector<Machine>& machines, std::string* erreur = nullptr);

// True for a name that no folder may take: "Config" in any letter case (the settings section).
bool EstNomDossierReserve(std::string_view nom);
// Deletes a folder's section. The settings section is never deleted this way (false, with
// `erreur`); false (with `erreur`) too when the write failed.
bool SupprimerDossier(const std::string& fichier, std::string_view dossier,
                      std::string* erreur = nullptr);

// The folder's section rewritten with these machines, as SauvegarderDossier does, in a document
// being modified.
void RemplacerDossier(IniDocument& doc, std::string_view dossier,
                      const std::vector<Machine>& machines);

// The folder names in tab order: ListeDossiers split at "|", else the sections of the file, but
// "config" (any case) in either case, else "Machines".
std::vector<std::string> ListerDossiers(const std::string& fichier);
extern const char* const kDossierParDefaut;  // "Machines"

}  // namespace velmora
