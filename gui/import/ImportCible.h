// The machine list that an import fills, and the reading of an import file.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QTreeWidget;

namespace velmora::gui {

// One imported machine. Mask, port and comment are set only when the file gives them.
struct MachineImportee {
    std::string nom;
    std::string adresse;
    std::string mac;
    std::optional<std::string> masque;
    std::optional<std::string> port;
    std::optional<std::string> commentaire;
};

// The list an import writes to (the main window's machine list, or a fake in tests).
class CibleImport {
  public:
    virtual ~CibleImport() = default;
    // Position of the first machine whose name equals `nom` exactly, or -1.
    virtual int Trouver(const std::string& nom) const = 0;
    // Appends a machine (grey icon, no stored password, not pending).
    virtual void Ajouter(const MachineImportee& machine) = 0;
    // Overwrites the given fields of machine `position` and clears its password and deadline.
    virtual void Remplacer(int position, const MachineImportee& machine) = 0;
    // Called once after the last change (the list display is refreshed, the folder marked).
    virtual void Terminer() {}
};

// Adds `machines` to `cible` in order; at the first whose name is already there, `remplacer` is
// asked once ("replace the existing ones?", true = replace), and its answer holds for every
// later one: replaced in place, else added beside. Calls cible.Terminer() at the end.
void AjouterMachines(const std::vector<MachineImportee>& machines, CibleImport& cible,
                     const std::function<bool()>& remplacer);

// Reads the lines of a text file (each line UTF-8, or Windows-1252 when its bytes are not UTF-8;
// LF or CR LF). Returns std::nullopt when the file cannot be opened or read, with the reason in
// `erreur`.
std::optional<std::vector<std::string>> LireLignesFichier(const std::string& chemin,
                                                          std::string& erreur);

// Spaces removed at both ends (tabs are kept: they separate fields, an empty first field
// included).
std::string Rogner(const std::string& texte);

}  // namespace velmora::gui
