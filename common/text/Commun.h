// String, address and password routines shared by both programs (no I/O).
// Texts are UTF-8 std::string; positions given to and returned by these routines are byte
// offsets, 1-based where the routine returns a position (0 = not found).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// How two texts are compared: byte for byte, or ignoring the case of ASCII and accented
// Latin letters.
enum class Comparaison { Binaire, Texte };

// Characters refused in machine names, machine addresses and folder names.
extern const std::vector<std::string> kCaracteresInterdits;  // | ! * ? [ ] =

// Upper-case of ASCII and of the accented Latin-1 letters written in UTF-8.
std::string Majuscules(std::string_view texte);
// Lower-case, the same way.
std::string Minuscules(std::string_view texte);
// True when a and b are equal under the compare mode.
bool Egal(std::string_view a, std::string_view b, Comparaison mode = Comparaison::Texte);
// 1-based byte position of the first occurrence of `cherche` at or after `debut`, 0 when none.
size_t Chercher(std::string_view texte, std::string_view cherche, size_t debut = 1,
                Comparaison mode = Comparaison::Binaire);

// Wildcard match: "*" any run, "?" one character, "#" one digit, "[...]" a class with ranges
// and "!" negation. Case-sensitive; one UTF-8 character counts as one.
bool Correspond(std::string_view texte, std::string_view motif);

bool EstAdresseIP(std::string_view texte);
std::string NormaliserAdresseIP(const std::string& texte);
bool EstAdressePrivee(std::string_view texte);
bool EstAdresseMAC(std::string_view texte);
bool EstPort(std::string_view texte);
bool ContientUnDe(std::string_view texte, const std::vector<std::string>& liste,
                  Comparaison mode = Comparaison::Binaire);

// All fields of `texte` split at `delim` (index -1 of the central splitter): "a|b|" gives
// three fields. An empty delimiter gives the whole text as one field.
std::vector<std::string> ExtraireChamp(std::string_view texte, std::string_view delim,
                                       Comparaison mode = Comparaison::Binaire);
// Field `index` (0-based); an absent field gives "". With `reste`, the field and everything
// after it.
std::string ExtraireChamp(std::string_view texte, std::string_view delim, int index,
                          Comparaison mode = Comparaison::Binaire, bool reste = false);

// Values joined by the separator; a separator goes before an element only when the text built
// so far is non-empty.
std::string Joindre(const std::vector<std::string>& valeurs, std::string_view separateur);
// Every occurrence from `debut` (1-based) replaced; the search goes on after each replacement.
std::string Remplacer(std::string_view texte, std::string_view cherche,
                      std::string_view remplacement, size_t debut = 1,
                      Comparaison mode = Comparaison::Binaire);
// 1-based position of the last occurrence, starting at `debut` (-1 = from the end); 0 if none.
size_t RechercherDepuisFin(std::string_view texte, std::string_view cherche, long debut = -1,
                           Comparaison mode = Comparaison::Binaire);
std::string MajusculeInitiale(std::string_view texte);
std::string Inverser(std::string_view texte);  // by characters, not bytes
long long Maximum(const std::vector<long long>& valeurs);
template <typename... T>
long long Maximum(long long premier, T... autres) {
    return Maximum(std::vector<long long>{premier, static_cast<long long>(autres)...});
}

// Numeric value of a text the way the configuration reads numbers: leading spaces, an optional
// sign and digits; anything else gives std::nullopt.
std::optional<long long> LireNombre(std::string_view texte);
// Like LireNombre, with 0 for a text that is not a number.
long long Val(std::string_view texte);

// Windows-1252 <-> UTF-8. VersWindows1252 fails (nullopt) for a character outside the code page.
std::optional<std::string> VersWindows1252(std::string_view utf8);
std::string DepuisWindows1252(std::string_view octets);
bool EstUtf8Valide(std::string_view octets);
// The bytes of a text file decoded line by line: a line that is valid UTF-8 stays as it is, any
// other line is read as Windows-1252, so one stray byte cannot turn a whole UTF-8 file into
// mojibake. Line ends (CR, LF) are kept as they are. `sansUtf8`, when given, is set to true when
// no line held a non-ASCII UTF-8 character (the file may have been written in Windows-1252).
std::string DecoderLignes(std::string_view octets, bool* sansUtf8 = nullptr);

// The text without its control characters (C0, DEL and the C1 range U+0080-U+009F), line
// feeds and tabs excepted: a text from outside printed on a terminal cannot send it escape
// sequences (retitle, clear, move the cursor). Bytes that are not UTF-8 are kept as they are.
std::string SansControles(std::string_view texte);

// Keyless reversible encoding of a machine password (hexadecimal pairs). Characters are taken
// by their Windows-1252 code; CoderMotDePasse gives nullopt for a password that holds a
// character outside it (the caller refuses it where it is typed).
std::optional<std::string> CoderMotDePasse(std::string_view motDePasse);
std::string DecoderMotDePasse(std::string_view code);
// The keyless reversible encoding of the two passwords of the settings (ProxyPassword,
// AuthentificationPassword): Windows-1252 codes; nullopt for a character outside it.
std::optional<std::string> CoderConfig(std::string_view texte);
std::string DecoderConfig(std::string_view code);

}  // namespace velmora
