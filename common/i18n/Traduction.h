// The Translation table and the routines that fill it from the built-in French texts and a
// language file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::i18n {

// Key -> text, keys unique and compared without regard to case, texts kept in the order of
// addition.
class colTraductions {
public:
    // Adds a text; throws std::invalid_argument when the key is already present.
    void Add(std::string_view Code, std::string_view Valeur);
    // The text of a key, or "" when absent (never throws).
    std::string Item(std::string_view vntIndexKey) const;
    // The text at a 1-based position, or "".
    std::string Item(size_t position) const;
    size_t Count() const;
    // Removes a key; throws std::out_of_range when absent.
    void Remove(std::string_view vntIndexKey);
    // The texts in the order of addition.
    std::vector<std::string> NewEnum() const;
    void Clear();

private:
    struct Impl;
    std::vector<std::pair<std::string, std::string>> m_entrees;  // (upper-cased key, text)
    std::vector<std::string> m_cles;                             // keys as added
};

// The table of this process.
colTraductions& Traductions();
// Shortcut: Traductions().Item(cle).
std::string Tr(std::string_view cle);
// Tr(cle) with its "%v" placeholders filled in order.
std::string Tr(std::string_view cle, const std::vector<std::string>& valeurs);

// Which program's built-in list to load.
enum class ListeTextes { Fenetre, Console };

// The system language as a Windows primary language number (fr 12, en 9, ...), from LC_ALL,
// LC_MESSAGES or LANG; 0 when unknown.
int LangueSysteme();
// The text of `cle` in the language file (INI line, {reference}, <KEY>block</KEY>), or `defaut`;
// "§" becomes a line break.
std::string LireTraduction(const std::string& fichier, std::string_view cle,
                           std::string_view defaut);
void AjouterTraduction(const std::string& fichier, std::string_view cle, std::string_view defaut);
// Fills the table with every built-in key of the program, translated by `fichier` ("" = French).
void ChargerTraductions(ListeTextes liste, const std::string& fichier);
// Each "%v" (any case) replaced in turn by the next value; missing values give "".
std::string RemplacerVariables(std::string_view texte, const std::vector<std::string>& valeurs);

// The built-in French texts of a program, in order.
const std::vector<std::pair<const char*, const char*>>& TextesIntegres(ListeTextes liste);

}  // namespace velmora::i18n
