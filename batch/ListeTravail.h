// The machines of one batch run (ListeTravail) and how they are found in the Configuration
// file: by folder and name pattern (ChercherMachines).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/config/IniFile.h"

namespace velmora::batch {

// One machine of the run. A direct designation fills only the address, and the MAC, port and
// mask it was given.
struct EntreeTravail {
    std::string nom;
    std::string adresse;  // a machine line's address passes through NormaliserAdresseIP
    std::string masque;
    std::string port;
    std::string adresseMAC;
    std::string login;
    std::string motDePasse;  // encoded, as stored
    std::string dossier;     // the folder where the line was found
};
using ListeTravail = std::vector<EntreeTravail>;

// A machine line of a folder with its 1-based number (the key is "Machine" + numero).
struct LigneNumerotee {
    size_t numero;
    std::string texte;
};

// The folders that hold machines: every section in file order but "config" (any case).
std::vector<std::string> DossiersMachines(const IniDocument& document);
// True when the folder's NbMachines reads non-empty (the folder exists).
bool DossierExiste(const IniDocument& document, std::string_view dossier);
// The machine lines Machine1..Machine<NbMachines> of a folder. Absent or empty lines name no
// machine and are left out; a huge NbMachines costs no more than the keys present.
std::vector<LigneNumerotee> LignesDossier(const IniDocument& document, std::string_view dossier);

// Appends to `liste` the machines that `designation` names: "dossier!motif" searches that
// folder only (the folder part is never a pattern), "motif" searches every folder in file
// order. Names match the pattern without regard to case ("*", "?", "#", "[...]").
// Returns -1 when the folder named does not exist, otherwise the size of `liste`.
int ChercherMachines(const IniDocument& document, std::string_view designation,
                     ListeTravail& liste);

}  // namespace velmora::batch
