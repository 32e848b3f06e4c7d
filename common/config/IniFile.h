// Private-profile files: sections of "key=value" lines, read and written by our own module.
//
// Sections and keys keep their order, lines that are neither (comments, blank or stray lines)
// survive a rewrite, section and key look-ups ignore case (ASCII and accented Latin letters),
// and a missing file reads as empty. Each line is decoded on its own: valid UTF-8, else
// Windows-1252. A file read entirely as Windows-1252 with CR LF line ends (the Windows
// version's) is written back so while every character fits; other files are written as UTF-8.
//
// Every write resolves the file's real path once (a symbolic link is followed only when it
// belongs to the user or to the owner of its folder) and keeps that folder open: the lock
// ("<file>.lock", waited for a few seconds at most), the re-read, the temporary file
// (".<file>.tmp-XXXXXX", close-on-exec), the rename and the flushes are all made relative to the
// folder, without following links, and the file re-read under the lock must still be the one
// the name holds at the rename. A crash or a power loss never leaves a half-written file, two
// programs writing at once never lose each other's changes, and another user of a shared folder
// cannot steer the write elsewhere. A file that cannot be read, that has several hard links or
// whose encoding is not supported (UTF-16/32 byte-order mark, NUL bytes) is never replaced; the
// new file keeps the old one's owner, group and mode. A new file is created with mode 0600 (it
// holds encoded passwords). Reads are served from a parsed copy that is reloaded when the file
// changes on disk.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace velmora {

// One parsed INI file, kept in memory.
class IniDocument {
  public:
    // Parses bytes (each line UTF-8 or Windows-1252, after any number of UTF-8 BOMs; CR LF, LF or
    // CR alone end a line). A value in one pair of double quotes is read without them. Never fails.
    static IniDocument Parse(std::string_view octets);
    // The text of the whole file: Windows-1252 with CR LF when it was read so and every
    // character fits (a file shared with the Windows version), otherwise UTF-8 with LF.
    std::string Serialize() const;

    std::optional<std::string> Get(std::string_view section, std::string_view cle) const;
    // Sets a key, adding the section (at the end) and the key (at the end of its section) when
    // absent. A value with blanks at its edges, or one enclosed in double quotes, is written
    // within one more pair of double quotes, so that it reads back identical (here and in the
    // Windows version, which drops one such pair as Parse does).
    void Set(std::string_view section, std::string_view cle, std::string_view valeur);
    // Removes a key; false when it was absent.
    bool Remove(std::string_view section, std::string_view cle);
    // Section names in file order (the first spelling of a section given twice).
    std::vector<std::string> Sections() const;
    bool HasSection(std::string_view section) const;
    // Keys and values of a section, in order.
    std::vector<std::pair<std::string, std::string>> Keys(std::string_view section) const;
    // Removes the section with its header; false when absent.
    bool RemoveSection(std::string_view section);
    // Empties the section but keeps its header (adds the header when absent).
    void ClearSection(std::string_view section);

  private:
    struct Ligne {
        std::string texte;  // the line as written in the file
        std::string cle;    // empty for lines that are not keys
        std::string valeur;
        bool supprimee = false;  // removed lines stay until the next rewrite, so indexes hold
    };
    struct Section {
        std::string nom;
        std::string entete;  // header line as read ("[nom]")
        std::vector<Ligne> lignes;
        std::unordered_map<std::string, size_t> index;  // upper-cased key -> first line
        bool doublons = false;                          // a key is written twice
    };
    Section* Trouver(std::string_view section);
    const Section* Trouver(std::string_view section) const;
    void Indexer();
    std::vector<Ligne> m_preambule;  // lines before the first section
    std::vector<Section> m_sections;
    std::unordered_map<std::string, size_t> m_indexSections;  // upper-cased name -> section
    bool m_windows1252 = false;  // read as Windows-1252 with CR LF: written back the same way
};

// The value of a key, or `defaut` when the key, the section or the file is absent.
std::string LireIni(const std::string& fichier, std::string_view section, std::string_view cle,
                    std::string_view defaut);
// Writes a key; std::nullopt deletes it. False (with a reason in `erreur`) when the file could
// not be written: read-only file or folder, full disk, missing folder.
bool EcrireIni(const std::string& fichier, std::string_view section, std::string_view cle,
               std::optional<std::string_view> valeur, std::string* erreur = nullptr);
// Section names in file order; a file without sections (or missing) gives one empty name.
std::vector<std::string> ListerSections(const std::string& fichier);
// Deletes a whole section. False (with `erreur`) when the write failed.
bool SupprimerSection(const std::string& fichier, std::string_view section,
                      std::string* erreur = nullptr);
// Applies any number of changes in one locked read-modify-write. False (with `erreur`) when the
// file could not be read or written; the file is then unchanged. A change that leaves the text
// as it was writes nothing.
bool ModifierIni(const std::string& fichier, const std::function<void(IniDocument&)>& modifier,
                 std::string* erreur = nullptr);
// How long a write waits for another program's lock before it fails (5 s by default).
void DefinirDelaiVerrouIni(int millisecondes);
// The name of the encoding of bytes that this module cannot decode (a UTF-16 or UTF-32
// byte-order mark, or NUL bytes); nullopt for text it reads. Such a file is read as well as can
// be and never written.
std::optional<std::string> EncodageNonPrisEnCharge(std::string_view octets);
// The same for a file on disk (nullopt when it is missing or cannot be read).
std::optional<std::string> EncodageFichierNonPrisEnCharge(const std::string& fichier);
// Why an existing file cannot be used, translated: it cannot be read, or its encoding is not
// supported. nullopt for a readable file and for a missing one.
std::optional<std::string> ProblemeLectureIni(const std::string& fichier);
// The translated message that a file's encoding is not supported.
std::string MessageEncodageNonPrisEnCharge(const std::string& fichier, const std::string& encodage);
// The translated message that the settings section cannot be a folder.
std::string MessageSectionReglages(std::string_view section);
// The writer's messages: keys and built-in French texts (the translation table holds them too),
// and the function that translates a key once the table is loaded ("" for an unknown key).
const std::vector<std::pair<const char*, const char*>>& TextesFichierIni();
void DefinirTraductionIni(std::string (*traduire)(std::string_view cle));
// For tests: a function called at two steps of every write, under the lock.
enum class EtapeEcritureIni { Verrouille, AvantRemplacement };
void DefinirCrochetEcritureIni(std::function<void(EtapeEcritureIni)> crochet);
// The parsed file as it is now on disk (empty document when missing).
IniDocument LireDocumentIni(const std::string& fichier);
// The same, shared with the read cache without a copy (for large files read often).
std::shared_ptr<const IniDocument> PartagerDocumentIni(const std::string& fichier);

}  // namespace velmora
