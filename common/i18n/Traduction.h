// The Translation table and the routines that fill it from the built-in French texts and a
// language file.
//
// Language file: an INI-style UTF-8 (or Windows-1252) file whose section "Traduction" holds one
// "KEY=text" line per key; "CodeLangue" names the Windows primary language it serves. A text
// "{OTHER_KEY}" takes the text of OTHER_KEY of the same section (one level). A key absent or
// empty there may be written anywhere in the file as a block "<KEY>text</KEY>" (tags found
// without regard to case, text kept with its line breaks). In every text "§" is a line break,
// except "'§'" which stays as written.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/config/IniFile.h"

namespace velmora::i18n {

// Key -> text, keys unique and compared without regard to case (ASCII and accented Latin
// letters), texts kept in the order of addition.
class colTraductions {
  public:
    // Adds a text; throws std::invalid_argument when the key is already present.
    void Add(std::string_view Code, std::string_view Valeur);
    // The text of a key, or "" when absent (never throws).
    std::string Item(std::string_view vntIndexKey) const;
    // The text at a 1-based position, or "" (never throws).
    std::string Item(size_t position) const;
    size_t Count() const;
    // Removes a key; throws std::out_of_range when absent.
    void Remove(std::string_view vntIndexKey);
    // The texts in the order of addition.
    std::vector<std::string> NewEnum() const;
    // The keys as they were added, in order.
    const std::vector<std::string>& Cles() const { return m_cles; }
    void Clear();

  private:
    std::vector<std::pair<std::string, std::string>> m_entrees;  // (upper-cased key, text)
    std::vector<std::string> m_cles;                             // keys as added
    std::unordered_map<std::string, size_t> m_index;             // upper-cased key -> position
};

// The table of this process (created empty on first use).
colTraductions& Traductions();
// Shortcut: Traductions().Item(cle).
std::string Tr(std::string_view cle);
// Tr(cle) with its "%v" placeholders filled in order.
std::string Tr(std::string_view cle, const std::vector<std::string>& valeurs);

// The text of a network operation's key (ERR_...) with its "%v" filled: the table's, or the
// built-in French one when the table has none (a routine called before the table is loaded).
std::string TexteReseau(std::string_view cle, const std::vector<std::string>& valeurs = {});

// Which program's built-in list to load.
enum class ListeTextes { Fenetre, Console };

// Windows primary language number of a locale name such as "fr_FR.UTF-8" (fr 12, en 9, de 7,
// es 10, it 16, nl 19, pt 22, ...). "C", "POSIX" and their variants give 9: the C locale is the
// untranslated one, whose messages are English. An unknown language gives 0.
int LangueDepuisLocale(std::string_view locale);
// The ISO 639 code of a Windows primary language number (12 "fr", 9 "en"), "" when unknown.
std::string CodeIsoLangue(int numero);
// The system language from the first non-empty of LC_ALL, LC_MESSAGES and LANG (none set means
// the C locale, so 9); 0 when the language is unknown.
int LangueSysteme();

// The "§" rule: every "§" becomes "\n" except one written between apostrophes ("'§'"), which
// stays as it is. Any other text (such as "{167}") is left untouched.
std::string ConvertirSautsDeLigne(std::string_view texte);

// A language file read and parsed once; look-ups then cost no file access.
class FichierLangue {
  public:
    // An empty path gives an empty file (every look-up returns its default).
    explicit FichierLangue(const std::string& fichier);
    // False when a named file could not be read (absent, unreadable, a folder, over 16 MB).
    bool Lu() const { return m_lu; }
    // The text of `cle` (INI line, {reference}, then <KEY>block</KEY>), or `defaut`; the "§"
    // rule applied to the result either way.
    std::string Lire(std::string_view cle, std::string_view defaut) const;
    // The text of `cle` before the "§" rule, or nothing when the file does not hold the key.
    std::optional<std::string> Chercher(std::string_view cle) const;

  private:
    std::optional<std::string> ChercherBloc(std::string_view cle) const;
    bool m_lu = false;
    IniDocument m_document;
    std::string m_texte;      // the whole file, UTF-8, LF line ends
    std::string m_majuscule;  // m_texte upper-cased byte for byte (same offsets)
};

// The text of `cle` in the language file `fichier` ("" = none), or `defaut`; "§" becomes a line
// break. Reads the file on every call: use FichierLangue for many look-ups.
std::string LireTraduction(const std::string& fichier, std::string_view cle,
                           std::string_view defaut);
// Adds LireTraduction(fichier, cle, defaut) to the table under `cle`.
void AjouterTraduction(const std::string& fichier, std::string_view cle, std::string_view defaut);
// Empties the table, then fills it with every built-in key of the program in order, translated
// by `fichier` ("" = the French built-in texts). The file is read once. Returns false when a
// named file could not be read: the table then holds the built-in texts, and the caller may
// tell the user.
bool ChargerTraductions(ListeTextes liste, const std::string& fichier);
// Each "%v" (any case) replaced in turn by the next value, the search starting again from the
// beginning after each replacement (so a value holding "%v" is filled by the next value);
// missing values give "", extra ones are ignored.
std::string RemplacerVariables(std::string_view texte, const std::vector<std::string>& valeurs);

// The key of the caption of an action code (TXT_REVEILLER ...), "" for an unknown code.
const char* CleLibelleAction(int code);

// The number of tips, TXT_ASTUCE1 to TXT_ASTUCE<kNombreAstuces>.
constexpr int kNombreAstuces = 28;

// The built-in French texts of a program, in order, "§" not yet converted: 150 keys for the
// windowed program (the tips among them), 61 for the console program, each followed by the
// network texts both share (TextesReseau).
const std::vector<std::pair<const char*, const char*>>& TextesIntegres(ListeTextes liste);

// The built-in French texts of the relay's web page, in order ("§" not yet converted).
const std::vector<std::pair<const char*, const char*>>& TextesPageWeb();

}  // namespace velmora::i18n
