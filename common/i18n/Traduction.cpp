// Language files: reading, look-up rules, the "§" rule, the loading of the table and the "%v"
// substitution.
#include "common/i18n/Traduction.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/i18n/Textes.h"
#include "common/text/Commun.h"

namespace velmora::i18n {

namespace {

constexpr std::string_view kSection = "Traduction";
constexpr std::string_view kParagraphe = "\xC2\xA7";        // "§" in UTF-8
constexpr std::string_view kParagrapheCite = "'\xC2\xA7'";  // "'§'"
constexpr off_t kTailleMaximale = 16 * 1024 * 1024;  // bytes; a language file is a few dozen KB

// The bytes of a regular file, or nothing. Opened without blocking so that a FIFO or a device
// named as a language file cannot hang the start-up.
std::optional<std::string> LireOctets(const std::string& chemin) {
    const int fd = ::open(chemin.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat etat {};
    if (::fstat(fd, &etat) != 0 || !S_ISREG(etat.st_mode) || etat.st_size > kTailleMaximale) {
        ::close(fd);
        return std::nullopt;
    }
    std::string octets(static_cast<size_t>(etat.st_size), '\0');
    size_t lus = 0;
    while (lus < octets.size()) {
        const ssize_t n = ::read(fd, octets.data() + lus, octets.size() - lus);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;  // the file shrank while being read
        lus += static_cast<size_t>(n);
    }
    ::close(fd);
    octets.resize(lus);
    return octets;
}

// UTF-8 text of a file's bytes: BOM dropped, each line UTF-8 or else Windows-1252, CR LF and CR
// alone -> LF.
std::string DecoderTexte(std::string octets) {
    if (octets.starts_with("\xEF\xBB\xBF")) octets.erase(0, 3);
    const std::string texte = DecoderLignes(octets);
    std::string resultat;
    resultat.reserve(texte.size());
    for (size_t i = 0; i < texte.size(); ++i) {
        if (texte[i] == '\r') {
            if (i + 1 < texte.size() && texte[i + 1] == '\n') continue;
            resultat.push_back('\n');
            continue;
        }
        resultat.push_back(texte[i]);
    }
    return resultat;
}

// Upper case that keeps every byte offset: ASCII letters and the accented Latin-1 letters
// (U+00E0-U+00FE except U+00F7), whose capitals have the same UTF-8 length. Used to find tags
// without regard to case and then cut the original text at the same offsets.
std::string MajusculesMemeLongueur(std::string_view texte) {
    std::string resultat(texte);
    for (size_t i = 0; i < resultat.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(resultat[i]);
        if (c >= 'a' && c <= 'z') {
            resultat[i] = static_cast<char>(c - 'a' + 'A');
        } else if (c == 0xC3 && i + 1 < resultat.size()) {
            unsigned char suivant = static_cast<unsigned char>(resultat[i + 1]);
            if (suivant >= 0xA0 && suivant <= 0xBE && suivant != 0xB7) {
                resultat[i + 1] = static_cast<char>(suivant - 0x20);
            }
            ++i;
        }
    }
    return resultat;
}

}  // namespace

const std::vector<std::pair<const char*, const char*>>& TextesIntegres(ListeTextes liste) {
    static const std::vector<std::pair<const char*, const char*>> fenetre = [] {
        std::vector<std::pair<const char*, const char*>> textes = TextesFenetre();
        textes.insert(textes.end(), TextesReseau().begin(), TextesReseau().end());
        textes.insert(textes.end(), TextesFichierIni().begin(), TextesFichierIni().end());
        return textes;
    }();
    if (liste == ListeTextes::Fenetre) return fenetre;
    static const std::vector<std::pair<const char*, const char*>> console = [] {
        const auto& propresFenetre = TextesFenetre();
        std::vector<std::pair<const char*, const char*>> textes(
            propresFenetre.begin(),
            propresFenetre.begin() + static_cast<std::ptrdiff_t>(kTextesCommuns));
        const auto& propres = TextesConsolePropres();
        textes.insert(textes.end(), propres.begin(), propres.end());
        textes.insert(textes.end(), TextesReseau().begin(), TextesReseau().end());
        textes.insert(textes.end(), TextesFichierIni().begin(), TextesFichierIni().end());
        return textes;
    }();
    return console;
}

std::string ConvertirSautsDeLigne(std::string_view texte) {
    std::string resultat;
    resultat.reserve(texte.size());
    size_t i = 0;
    while (i < texte.size()) {
        if (texte.substr(i, kParagrapheCite.size()) == kParagrapheCite) {
            resultat.append(kParagrapheCite);
            i += kParagrapheCite.size();
        } else if (texte.substr(i, kParagraphe.size()) == kParagraphe) {
            resultat.push_back('\n');
            i += kParagraphe.size();
        } else {
            resultat.push_back(texte[i++]);
        }
    }
    return resultat;
}

FichierLangue::FichierLangue(const std::string& fichier) {
    if (fichier.empty()) return;
    auto octets = LireOctets(fichier);
    if (!octets) return;
    m_lu = true;
    m_texte = DecoderTexte(std::move(*octets));
    m_majuscule = MajusculesMemeLongueur(m_texte);
    m_document = IniDocument::Parse(m_texte);
}

std::optional<std::string> FichierLangue::ChercherBloc(std::string_view cle) const {
    if (m_majuscule.find('<') == std::string::npos) return std::nullopt;
    const std::string nom = MajusculesMemeLongueur(cle);
    const std::string ouvrant = "<" + nom + ">";
    const size_t debut = m_majuscule.find(ouvrant);
    if (debut == std::string::npos) return std::nullopt;
    const size_t texte = debut + ouvrant.size();
    const size_t fin = m_majuscule.find("</" + nom + ">", texte);
    if (fin == std::string::npos) return std::nullopt;
    return m_texte.substr(texte, fin - texte);
}

std::optional<std::string> FichierLangue::Chercher(std::string_view cle) const {
    if (!m_lu || cle.empty()) return std::nullopt;
    std::string texte = m_document.Get(kSection, cle).value_or("");
    // A reference "{KEY}" is followed once: the text it leads to is taken as it stands.
    if (texte.size() >= 2 && texte.front() == '{' && texte.back() == '}') {
        texte = m_document.Get(kSection, std::string_view(texte).substr(1, texte.size() - 2))
                    .value_or("");
    }
    if (!texte.empty()) return texte;
    return ChercherBloc(cle);
}

std::string FichierLangue::Lire(std::string_view cle, std::string_view defaut) const {
    auto texte = Chercher(cle);
    return ConvertirSautsDeLigne(texte ? std::string_view(*texte) : defaut);
}

std::string LireTraduction(const std::string& fichier, std::string_view cle,
                           std::string_view defaut) {
    return FichierLangue(fichier).Lire(cle, defaut);
}

void AjouterTraduction(const std::string& fichier, std::string_view cle, std::string_view defaut) {
    Traductions().Add(cle, LireTraduction(fichier, cle, defaut));
}

bool ChargerTraductions(ListeTextes liste, const std::string& fichier) {
    const FichierLangue langue(fichier);
    colTraductions& table = Traductions();
    table.Clear();
    for (const auto& [cle, defaut] : TextesIntegres(liste))
        table.Add(cle, langue.Lire(cle, defaut));
    // The Configuration file's writer, below this module, asks its texts here.
    DefinirTraductionIni([](std::string_view cle) { return Traductions().Item(cle); });
    return fichier.empty() || langue.Lu();
}

std::string RemplacerVariables(std::string_view texte, const std::vector<std::string>& valeurs) {
    // Equivalent to "replace the first %v, then search again from the beginning", in one pass:
    // the text already written holds no "%v", so the next one is either inside what is left or
    // made of a "%" just written and a "v" coming next. What is left is a stack of pieces: the
    // rest of the text under the values inserted since.
    std::string resultat;
    std::vector<std::string_view> pile{texte};
    size_t suivante = 0;  // index of the next value
    while (!pile.empty()) {
        std::string_view& morceau = pile.back();
        if (morceau.empty()) {
            pile.pop_back();
            continue;
        }
        const char c = morceau.front();
        morceau.remove_prefix(1);
        if ((c == 'v' || c == 'V') && !resultat.empty() && resultat.back() == '%') {
            resultat.pop_back();
            const size_t n = suivante++;
            if (n < valeurs.size()) pile.push_back(valeurs[n]);
        } else {
            resultat.push_back(c);
        }
    }
    return resultat;
}

}  // namespace velmora::i18n
