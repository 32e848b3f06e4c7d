// The state of the text-file import: the kept lines, the separator, which column holds which
// field, the check of the selected rows and their import.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "gui/import/ImportCible.h"

namespace velmora::gui {

// Field numbers of a column (0 = none).
enum ChampImport : int {
    ChampAucun = 0,
    ChampNom = 1,
    ChampAdresse = 2,
    ChampMAC = 3,
    ChampMasque = 4,
    ChampPort = 5,
    ChampCommentaire = 6,
};
inline constexpr int kNbChampsImport = 6;

class ImportTexte {
  public:
    // Keeps every non-empty line, trimmed; a first kept line reading "[REFERENCE=d]" (one digit)
    // is dropped. Clears the assignments.
    void Charger(const std::vector<std::string>& lignes);
    // The separator: one character (UTF-8), or "" for none (every line is one column). Splits
    // the lines again and clears the assignments.
    void DefinirSeparateur(const std::string& separateur);

    size_t NbLignes() const { return m_cellules.size(); }
    size_t NbColonnes() const { return m_nbColonnes; }  // data columns, at least 1
    // Cell of line `ligne` (0-based) and data column `colonne` (1-based); "" when missing.
    const std::string& Cellule(size_t ligne, int colonne) const;

    // A click on the header of data column `colonne` (1-based): the column takes the next free
    // field after its current one (after 6 comes none). Returns the field now assigned.
    int CliquerColonne(int colonne);
    int ChampDeColonne(int colonne) const;  // 0 when none
    int ColonneDuChamp(int champ) const;    // 0 when none
    // Name, address and MAC are all assigned.
    bool ChampsObligatoires() const;

    // Checks the given lines (0-based); returns "" when they can be imported, else the whole
    // message listing each kind of fault once.
    std::string Verifier(const std::vector<size_t>& lignes) const;
    // Imports the given lines; `remplacer` is asked at the first name already in the list.
    void Importer(const std::vector<size_t>& lignes, CibleImport& cible,
                  const std::function<bool()>& remplacer) const;

    // Translated name of a field (column headers and fault texts).
    static std::string NomChamp(int champ);

  private:
    void Decouper();
    std::vector<std::string> m_lignes;
    std::vector<std::vector<std::string>> m_cellules;
    std::string m_separateur = "\t";
    size_t m_nbColonnes = 1;
    std::vector<int> m_champDeColonne;  // index = data column (1-based; [0] unused)
};

}  // namespace velmora::gui
