#include "common/text/Commun.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace velmora {

const std::vector<std::string> kCaracteresInterdits = {"|", "!", "*", "?", "[", "]", "="};

namespace {

// Decodes one UTF-8 character at `i` (advancing it); an invalid byte is taken alone.
char32_t LireCaractere(std::string_view s, size_t& i) {
    auto c = static_cast<unsigned char>(s[i]);
    int n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (n <= 0 || i + n >= s.size()) {
        ++i;
        return c;
    }
    char32_t cp = c & (0x3F >> n);
    for (int k = 1; k <= n; ++k) {
        auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return c;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    i += n + 1;
    return cp;
}

std::u32string Decoder(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) out.push_back(LireCaractere(s, i));
    return out;
}

void EcrireCaractere(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Unicode code points of Windows-1252 bytes 0x80-0x9F (undefined bytes map to themselves).
constexpr char32_t kCp1252[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                  0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

std::optional<unsigned char> CodeWindows1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
    for (int k = 0; k < 32; ++k)
        if (kCp1252[k] == cp) return static_cast<unsigned char>(0x80 + k);
    return std::nullopt;
}

char32_t DepuisCode1252(unsigned char c) { return (c >= 0x80 && c < 0xA0) ? kCp1252[c - 0x80] : c; }

int ValeurHex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;  // a pair that is not hexadecimal decodes to nonsense, never to a failure
}

unsigned Permuter(unsigned c) { return ((c & 0x0F) << 4) | ((c >> 4) & 0x0F); }

std::string Hex2(unsigned v) {
    static const char* chiffres = "0123456789ABCDEF";
    return {chiffres[(v >> 4) & 0xF], chiffres[v & 0xF]};
}

bool TousChiffres(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Numeric value of a run of digits, capped so that a long run never overflows.
long long ValeurChiffres(std::string_view s) {
    long long v = 0;
    for (char c : s) {
        v = v * 10 + (c - '0');
        if (v > 1'000'000'000'000LL) return 1'000'000'000'000LL;
    }
    return v;
}

// One element of a wildcard pattern.
struct Element {
    enum Genre { Etoile, Un, Chiffre, Classe, Litteral } genre;
    explicit Element(Genre g, char32_t car = 0) : genre(g), c(car) {}
    char32_t c = 0;
    bool negation = false;
    std::vector<std::pair<char32_t, char32_t>> plages;
    bool Accepte(char32_t x) const {
        switch (genre) {
            case Un:
                return true;
            case Chiffre:
                return x >= U'0' && x <= U'9';
            case Litteral:
                return x == c;
            case Classe: {
                bool dedans = std::any_of(plages.begin(), plages.end(), [x](const auto& p) {
                    return x >= p.first && x <= p.second;
                });
                return dedans != negation;
            }
            default:
                return false;
        }
    }
};

std::vector<Element> AnalyserMotif(const std::u32string& m) {
    std::vector<Element> out;
    for (size_t i = 0; i < m.size(); ++i) {
        char32_t c = m[i];
        if (c == U'*') {
            if (out.empty() || out.back().genre != Element::Etoile)
                out.emplace_back(Element::Etoile);
        } else if (c == U'?') {
            out.emplace_back(Element::Un);
        } else if (c == U'#') {
            out.emplace_back(Element::Chiffre);
        } else if (c == U'[') {
            size_t fin = m.find(U']', i + 1);
            if (fin == std::u32string::npos) {  // an unclosed class is a literal "["
                out.emplace_back(Element::Litteral, c);
                continue;
            }
            Element e(Element::Classe);
            size_t j = i + 1;
            if (j < fin && m[j] == U'!') {
                e.negation = true;
                ++j;
            }
            for (; j < fin; ++j) {
                if (j + 2 < fin && m[j + 1] == U'-') {
                    e.plages.emplace_back(std::min(m[j], m[j + 2]), std::max(m[j], m[j + 2]));
                    j += 2;
                } else {
                    e.plages.emplace_back(m[j], m[j]);
                }
            }
            out.push_back(e);
            i = fin;
        } else {
            out.emplace_back(Element::Litteral, c);
        }
    }
    return out;
}

}  // namespace

std::string Majuscules(std::string_view texte) {
    std::string out(texte);
    for (size_t i = 0; i < out.size(); ++i) {
        auto c = static_cast<unsigned char>(out[i]);
        if (c >= 'a' && c <= 'z') {
            out[i] = static_cast<char>(c - 32);
        } else if (c == 0xC3 && i + 1 < out.size()) {
            auto d = static_cast<unsigned char>(out[i + 1]);
            if (d >= 0xA0 && d <= 0xBE && d != 0xB7) out[i + 1] = static_cast<char>(d - 0x20);
            ++i;
        } else if (c == 0xC5 && i + 1 < out.size()) {  // œ š ž
            auto d = static_cast<unsigned char>(out[i + 1]);
            if (d == 0x93 || d == 0xA1 || d == 0xBE) out[i + 1] = static_cast<char>(d - 1);
            ++i;
        }
    }
    return out;
}

std::string Minuscules(std::string_view texte) {
    std::string out(texte);
    for (size_t i = 0; i < out.size(); ++i) {
        auto c = static_cast<unsigned char>(out[i]);
        if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c + 32);
        } else if (c == 0xC3 && i + 1 < out.size()) {
            auto d = static_cast<unsigned char>(out[i + 1]);
            if (d >= 0x80 && d <= 0x9E && d != 0x97) out[i + 1] = static_cast<char>(d + 0x20);
            ++i;
        } else if (c == 0xC5 && i + 1 < out.size()) {
            auto d = static_cast<unsigned char>(out[i + 1]);
            if (d == 0x92 || d == 0xA0 || d == 0xBD) out[i + 1] = static_cast<char>(d + 1);
            ++i;
        }
    }
    return out;
}

bool Egal(std::string_view a, std::string_view b, Comparaison mode) {
    if (a.size() != b.size()) return false;
    return mode == Comparaison::Binaire ? a == b : Majuscules(a) == Majuscules(b);
}

size_t Chercher(std::string_view texte, std::string_view cherche, size_t debut, Comparaison mode) {
    if (debut == 0) debut = 1;
    if (debut > texte.size() + 1) return 0;
    size_t p;
    if (mode == Comparaison::Binaire) {
        p = texte.find(cherche, debut - 1);
    } else {
        // Upper-casing keeps byte lengths, so positions stay valid.
        p = Majuscules(texte).find(Majuscules(cherche), debut - 1);
    }
    return p == std::string_view::npos ? 0 : p + 1;
}

bool Correspond(std::string_view texte, std::string_view motif) {
    const std::u32string t = Decoder(texte);
    const std::vector<Element> m = AnalyserMotif(Decoder(motif));
    // Greedy match with one back-tracking point per star: linear in practice, never exponential.
    size_t i = 0, j = 0, etoile = std::string::npos, reprise = 0;
    while (i < t.size()) {
        if (j < m.size() && m[j].genre != Element::Etoile && m[j].Accepte(t[i])) {
            ++i;
            ++j;
        } else if (j < m.size() && m[j].genre == Element::Etoile) {
            etoile = j++;
            reprise = i;
        } else if (etoile != std::string::npos) {
            j = etoile + 1;
            i = ++reprise;
        } else {
            return false;
        }
    }
    while (j < m.size() && m[j].genre == Element::Etoile) ++j;
    return j == m.size();
}

bool EstAdresseIP(std::string_view texte) {
    auto parties = ExtraireChamp(texte, ".");
    if (parties.size() != 4) return false;
    return std::all_of(parties.begin(), parties.end(), [](const std::string& p) {
        return TousChiffres(p) && ValeurChiffres(p) <= 255;
    });
}

std::string NormaliserAdresseIP(const std::string& texte) {
    if (!EstAdresseIP(texte)) return texte;
    std::vector<std::string> parties;
    for (const auto& p : ExtraireChamp(texte, "."))
        parties.push_back(std::to_string(ValeurChiffres(p)));
    return Joindre(parties, ".");
}

bool EstAdressePrivee(std::string_view texte) {
    if (!EstAdresseIP(texte)) return false;
    if (Correspond(texte, "10.*")) return true;
    if (Correspond(texte, "172.*")) {
        // Directed broadcast under 255.240.0.0 equals 172.31.255.255: second part in 16-31.
        return (ValeurChiffres(ExtraireChamp(texte, ".", 1)) | 15) == 31;
    }
    return Correspond(texte, "192.168.*");
}

bool EstAdresseMAC(std::string_view texte) {
    const std::string m = Majuscules(texte);
    return Correspond(m,
                      "[0-9A-F][0-9A-F]:[0-9A-F][0-9A-F]:[0-9A-F][0-9A-F]:[0-9A-F][0-9A-F]:"
                      "[0-9A-F][0-9A-F]:[0-9A-F][0-9A-F]") ||
           Correspond(m,
                      "[0-9A-F][0-9A-F]-[0-9A-F][0-9A-F]-[0-9A-F][0-9A-F]-[0-9A-F][0-9A-F]-"
                      "[0-9A-F][0-9A-F]-[0-9A-F][0-9A-F]");
}

bool EstPort(std::string_view texte) {
    return TousChiffres(texte) && ValeurChiffres(texte) < 65536;
}

bool ContientUnDe(std::string_view texte, const std::vector<std::string>& liste, Comparaison mode) {
    return std::any_of(liste.begin(), liste.end(),
                       [&](const std::string& s) { return Chercher(texte, s, 1, mode) > 0; });
}

std::vector<std::string> ExtraireChamp(std::string_view texte, std::string_view delim,
                                       Comparaison mode) {
    std::vector<std::string> champs;
    if (delim.empty()) {
        champs.emplace_back(texte);
        return champs;
    }
    std::string majuscules;
    std::string_view recherche = texte;
    if (mode == Comparaison::Texte) {
        majuscules = Majuscules(texte);
        recherche = majuscules;
    }
    const std::string d = mode == Comparaison::Texte ? Majuscules(delim) : std::string(delim);
    size_t debut = 0;
    for (;;) {
        size_t p = recherche.find(d, debut);
        if (p == std::string_view::npos) {
            champs.emplace_back(texte.substr(debut));
            return champs;
        }
        champs.emplace_back(texte.substr(debut, p - debut));
        debut = p + d.size();
    }
}

std::string ExtraireChamp(std::string_view texte, std::string_view delim, int index,
                          Comparaison mode, bool reste) {
    if (index < 0) return std::string(texte);
    if (delim.empty()) return index == 0 ? std::string(texte) : std::string();
    size_t debut = 1;
    for (int i = 0;; ++i) {
        size_t p = Chercher(texte, delim, debut, mode);
        if (p == 0) return i == index ? std::string(texte.substr(debut - 1)) : std::string();
        if (i == index)
            return std::string(reste ? texte.substr(debut - 1)
                                     : texte.substr(debut - 1, p - debut));
        debut = p + delim.size();
    }
}

std::string Joindre(const std::vector<std::string>& valeurs, std::string_view separateur) {
    std::string out;
    for (const auto& v : valeurs) {
        if (!out.empty()) out += separateur;
        out += v;
    }
    return out;
}

std::string Remplacer(std::string_view texte, std::string_view cherche,
                      std::string_view remplacement, size_t debut, Comparaison mode) {
    std::string out(texte);
    if (cherche.empty()) return out;
    size_t p = Chercher(out, cherche, debut, mode);
    while (p > 0) {
        out.replace(p - 1, cherche.size(), remplacement);
        p = Chercher(out, cherche, p + remplacement.size(), mode);
    }
    return out;
}

size_t RechercherDepuisFin(std::string_view texte, std::string_view cherche, long debut,
                           Comparaison mode) {
    const long longueur = static_cast<long>(cherche.size());
    const long taille = static_cast<long>(texte.size());
    if (longueur == 0 || longueur > taille) return 0;
    long pos = debut == -1 ? taille : debut + 1 - longueur;
    pos = std::min(pos, taille - longueur + 1);
    for (; pos >= 1; --pos) {
        if (Egal(texte.substr(pos - 1, longueur), cherche, mode)) return static_cast<size_t>(pos);
    }
    return 0;
}

std::string MajusculeInitiale(std::string_view texte) {
    if (texte.empty()) return {};
    size_t i = 0;
    LireCaractere(texte, i);
    return Majuscules(texte.substr(0, i)) + std::string(texte.substr(i));
}

std::string Inverser(std::string_view texte) {
    std::u32string cps = Decoder(texte);
    std::reverse(cps.begin(), cps.end());
    std::string out;
    for (char32_t c : cps) EcrireCaractere(out, c);
    return out;
}

long long Maximum(const std::vector<long long>& valeurs) {
    if (valeurs.empty()) return 0;
    return *std::max_element(valeurs.begin(), valeurs.end());
}

std::optional<long long> LireNombre(std::string_view texte) {
    size_t i = 0, n = texte.size();
    while (i < n && (texte[i] == ' ' || texte[i] == '\t')) ++i;
    while (n > i && (texte[n - 1] == ' ' || texte[n - 1] == '\t')) --n;
    bool negatif = false;
    if (i < n && (texte[i] == '-' || texte[i] == '+')) negatif = texte[i++] == '-';
    std::string_view chiffres = texte.substr(i, n - i);
    if (!TousChiffres(chiffres)) return std::nullopt;
    long long v = ValeurChiffres(chiffres);
    return negatif ? -v : v;
}

long long Val(std::string_view texte) {
    size_t i = 0;
    while (i < texte.size() && (texte[i] == ' ' || texte[i] == '\t')) ++i;
    bool negatif = false;
    if (i < texte.size() && (texte[i] == '-' || texte[i] == '+')) negatif = texte[i++] == '-';
    size_t j = i;
    while (j < texte.size() && texte[j] >= '0' && texte[j] <= '9') ++j;
    long long v = ValeurChiffres(texte.substr(i, j - i));
    return negatif ? -v : v;
}

std::optional<std::string> VersWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        auto code = CodeWindows1252(LireCaractere(utf8, i));
        if (!code) return std::nullopt;
        out += static_cast<char>(*code);
    }
    return out;
}

std::string DepuisWindows1252(std::string_view octets) {
    std::string out;
    out.reserve(octets.size() + octets.size() / 8);
    for (char c : octets) EcrireCaractere(out, DepuisCode1252(static_cast<unsigned char>(c)));
    return out;
}

bool EstUtf8Valide(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        int n = c < 0x80                   ? 0
                : (c >= 0xC2 && c <= 0xDF) ? 1
                : (c >> 4) == 0xE          ? 2
                : (c >= 0xF0 && c <= 0xF4) ? 3
                                           : -1;
        if (n < 0 || (n > 0 && i + n >= s.size())) return false;
        for (int k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

std::string DecoderLignes(std::string_view octets, bool* sansUtf8) {
    if (sansUtf8) *sansUtf8 = true;
    std::string out;
    out.reserve(octets.size());
    size_t debut = 0;
    while (debut < octets.size()) {
        size_t fin = octets.find_first_of("\r\n", debut);
        if (fin == std::string_view::npos) fin = octets.size();
        const std::string_view ligne = octets.substr(debut, fin - debut);
        const bool ascii = std::all_of(ligne.begin(), ligne.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (ascii) {
            out += ligne;
        } else if (EstUtf8Valide(ligne)) {
            out += ligne;
            if (sansUtf8) *sansUtf8 = false;
        } else {
            out += DepuisWindows1252(ligne);
        }
        if (fin < octets.size()) out += octets[fin];
        debut = fin + 1;
    }
    return out;
}

std::optional<std::string> CoderMotDePasse(std::string_view motDePasse) {
    auto octets = VersWindows1252(Inverser(motDePasse));
    if (!octets) return std::nullopt;
    const int n = static_cast<int>(octets->size());
    std::string out;
    for (int k = 1; k <= n; ++k) {
        const int c = static_cast<unsigned char>((*octets)[k - 1]);
        out += Hex2(static_cast<unsigned>((128 - (n - k)) ^ c) & 0xFF);
    }
    return out;
}

std::string DecoderMotDePasse(std::string_view code) {
    const int n = static_cast<int>(code.size() / 2);
    std::string octets;
    for (int j = 1; j <= n; ++j) {
        const int paire = ValeurHex(code[2 * j - 2]) * 16 + ValeurHex(code[2 * j - 1]);
        octets += static_cast<char>(((128 - (n - j)) ^ paire) & 0xFF);
    }
    return Inverser(DepuisWindows1252(octets));
}

std::optional<std::string> CoderConfig(std::string_view texte) {
    auto octets = VersWindows1252(texte);
    if (!octets) return std::nullopt;
    const int n = static_cast<int>(octets->size());
    std::string out;
    for (int k = 1; k <= n; ++k) {
        const unsigned s = Permuter(static_cast<unsigned char>((*octets)[k - 1]));
        out += Hex2(static_cast<unsigned>((255 - (n - k)) ^ static_cast<int>(s)) & 0xFF);
    }
    return out;
}

std::string DecoderConfig(std::string_view code) {
    const int n = static_cast<int>(code.size() / 2);
    std::string octets;
    for (int j = 1; j <= n; ++j) {
        const int paire = ValeurHex(code[2 * j - 2]) * 16 + ValeurHex(code[2 * j - 1]);
        octets +=
            static_cast<char>(Permuter(static_cast<unsigned>(((255 - (n - j)) ^ paire) & 0xFF)));
    }
    return DepuisWindows1252(octets);
}

std::string SansControles(std::string_view texte) {
    std::string propre;
    propre.reserve(texte.size());
    for (size_t i = 0; i < texte.size(); ++i) {
        const auto c = static_cast<unsigned char>(texte[i]);
        if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F) continue;
        // U+0080-U+009F: C2 80 to C2 9F in UTF-8 (CSI, OSC... of 8-bit terminals).
        if (c == 0xC2 && i + 1 < texte.size() && static_cast<unsigned char>(texte[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(texte[i + 1]) <= 0x9F) {
            ++i;
            continue;
        }
        propre += static_cast<char>(c);
    }
    return propre;
}

}  // namespace velmora
