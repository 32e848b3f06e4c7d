#include "common/config/IniFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>

#include "common/text/Commun.h"

namespace velmora {

namespace {

std::string_view Rogner(std::string_view s) {
    size_t a = 0, b = s.size();
    auto blanc = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (a < b && blanc(s[a])) ++a;
    while (b > a && blanc(s[b - 1])) --b;
    return s.substr(a, b - a);
}

// Line breaks inside a value or a name would split the line and change the file's structure.
std::string SansSautDeLigne(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

std::string CleIndex(std::string_view s) { return Majuscules(Rogner(s)); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// IniDocument

IniDocument IniDocument::Parse(std::string_view octets) {
    if (octets.size() >= 3 && octets.substr(0, 3) == "\xEF\xBB\xBF") octets.remove_prefix(3);
    std::string converti;
    if (!EstUtf8Valide(octets)) {
        converti = DepuisWindows1252(octets);
        octets = converti;
    }
    IniDocument doc;
    std::vector<Ligne>* cible = &doc.m_preambule;
    size_t debut = 0;
    while (debut < octets.size()) {
        size_t fin = octets.find('\n', debut);
        if (fin == std::string_view::npos) fin = octets.size();
        std::string_view ligne = octets.substr(debut, fin - debut);
        debut = fin + 1;
        while (!ligne.empty() && ligne.back() == '\r') ligne.remove_suffix(1);
        std::string_view r = Rogner(ligne);
        if (!r.empty() && r.front() == '[') {
            size_t ferme = r.find(']');
            // A header without "]" names the section by the rest of its line.
            std::string_view nom = Rogner(
                r.substr(1, ferme == std::string_view::npos ? std::string_view::npos : ferme - 1));
            doc.m_sections.push_back({std::string(nom), std::string(ligne), {}, {}});
            cible = &doc.m_sections.back().lignes;
            continue;
        }
        Ligne l;
        l.texte = std::string(ligne);
        size_t egal = ligne.find('=');
        if (egal != std::string_view::npos && !r.empty() && r.front() != ';' &&
            !Rogner(ligne.substr(0, egal)).empty()) {
            l.cle = std::string(Rogner(ligne.substr(0, egal)));
            l.valeur = std::string(Rogner(ligne.substr(egal + 1)));
        }
        cible->push_back(std::move(l));
    }
    doc.Indexer();
    return doc;
}

void IniDocument::Indexer() {
    m_indexSections.clear();
    for (size_t s = 0; s < m_sections.size(); ++s) {
        Section& sec = m_sections[s];
        m_indexSections.emplace(CleIndex(sec.nom), s);  // the first of duplicate sections wins
        sec.index.clear();
        for (size_t i = 0; i < sec.lignes.size(); ++i) {
            const Ligne& l = sec.lignes[i];
            if (l.cle.empty() || l.supprimee) continue;
            auto [it, nouveau] = sec.index.emplace(CleIndex(l.cle), i);
            if (!nouveau) sec.doublons = true;
        }
    }
}

std::string IniDocument::Serialize() const {
    std::string out;
    auto ecrire = [&out](const std::vector<Ligne>& lignes) {
        for (const Ligne& l : lignes) {
            if (l.supprimee) continue;
            out += l.texte;
            out += '\n';
        }
    };
    ecrire(m_preambule);
    for (const Section& s : m_sections) {
        out += s.entete;
        out += '\n';
        ecrire(s.lignes);
    }
    return out;
}

IniDocument::Section* IniDocument::Trouver(std::string_view section) {
    auto it = m_indexSections.find(CleIndex(section));
    return it == m_indexSections.end() ? nullptr : &m_sections[it->second];
}

const IniDocument::Section* IniDocument::Trouver(std::string_view section) const {
    auto it = m_indexSections.find(CleIndex(section));
    return it == m_indexSections.end() ? nullptr : &m_sections[it->second];
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view cle) const {
    const Section* s = Trouver(section);
    if (!s) return std::nullopt;
    auto it = s->index.find(CleIndex(cle));
    if (it == s->index.end()) return std::nullopt;
    return s->lignes[it->second].valeur;
}

void IniDocument::Set(std::string_view section, std::string_view cle, std::string_view valeur) {
    Section* s = Trouver(section);
    if (!s) {
        std::string nom = SansSautDeLigne(Rogner(section));
        m_sections.push_back({nom, "[" + nom + "]", {}, {}});
        m_indexSections.emplace(CleIndex(nom), m_sections.size() - 1);
        s = &m_sections.back();
    }
    const std::string v = SansSautDeLigne(valeur);
    auto it = s->index.find(CleIndex(cle));
    if (it != s->index.end()) {
        Ligne& l = s->lignes[it->second];
        l.valeur = v;
        l.texte = l.cle + "=" + v;
        return;
    }
    Ligne l;
    l.cle = SansSautDeLigne(Rogner(cle));
    l.valeur = v;
    l.texte = l.cle + "=" + v;
    // A new key goes after the section's last key, before any trailing blank lines.
    size_t pos = s->lignes.size();
    while (pos > 0 && (s->lignes[pos - 1].supprimee || Rogner(s->lignes[pos - 1].texte).empty()))
        --pos;
    if (pos == s->lignes.size()) {
        s->lignes.push_back(std::move(l));
        s->index.emplace(CleIndex(cle), s->lignes.size() - 1);
    } else {
        s->lignes.insert(s->lignes.begin() + static_cast<long>(pos), std::move(l));
        Indexer();
    }
}

bool IniDocument::Remove(std::string_view section, std::string_view cle) {
    Section* s = Trouver(section);
    if (!s) return false;
    auto it = s->index.find(CleIndex(cle));
    if (it == s->index.end()) return false;
    s->lignes[it->second].supprimee = true;
    s->index.erase(it);
    if (s->doublons) Indexer();  // a later line with the same key becomes the visible one
    return true;
}

std::vector<std::string> IniDocument::Sections() const {
    std::vector<std::string> noms;
    for (size_t s = 0; s < m_sections.size(); ++s) {
        auto it = m_indexSections.find(CleIndex(m_sections[s].nom));
        if (it != m_indexSections.end() && it->second == s) noms.push_back(m_sections[s].nom);
    }
    return noms;
}

bool IniDocument::HasSection(std::string_view section) const { return Trouver(section); }

std::vector<std::pair<std::string, std::string>> IniDocument::Keys(std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> out;
    const Section* s = Trouver(section);
    if (!s) return out;
    for (size_t i = 0; i < s->lignes.size(); ++i) {
        const Ligne& l = s->lignes[i];
        if (l.cle.empty() || l.supprimee) continue;
        auto it = s->index.find(CleIndex(l.cle));
        if (it != s->index.end() && it->second == i) out.emplace_back(l.cle, l.valeur);
    }
    return out;
}

bool IniDocument::RemoveSection(std::string_view section) {
    const std::string cle = CleIndex(section);
    size_t avant = m_sections.size();
    std::erase_if(m_sections, [&](const Section& s) { return CleIndex(s.nom) == cle; });
    if (m_sections.size() == avant) return false;
    Indexer();
    return true;
}

void IniDocument::ClearSection(std::string_view section) {
    Section* s = Trouver(section);
    if (!s) {
        std::string nom = SansSautDeLigne(Rogner(section));
        m_sections.push_back({nom, "[" + nom + "]", {}, {}});
        Indexer();
        return;
    }
    s->lignes.clear();
    s->index.clear();
    s->doublons = false;
}

// ---------------------------------------------------------------------------------------------
// Files

namespace {

struct Empreinte {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t taille = -1;
    long long mtimeNs = -1;
    bool operator==(const Empreinte&) const = default;
};

bool LireEmpreinte(const std::string& chemin, Empreinte& e) {
    struct stat st {};
    if (::stat(chemin.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    e = {st.st_dev, st.st_ino, st.st_size,
         static_cast<long long>(st.st_mtim.tv_sec) * 1'000'000'000LL + st.st_mtim.tv_nsec};
    return true;
}

struct Cache {
    std::mutex verrou;
    std::map<std::string, std::pair<Empreinte, std::shared_ptr<const IniDocument>>> fichiers;
};

Cache& LeCache() {
    static Cache cache;
    return cache;
}

bool LireTout(const std::string& chemin, std::string& contenu) {
    int fd = ::open(chemin.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    contenu.clear();
    char tampon[65536];
    for (;;) {
        ssize_t n = ::read(fd, tampon, sizeof tampon);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        contenu.append(tampon, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

// The parsed file, from the cache while the file is unchanged on disk.
std::shared_ptr<const IniDocument> Document(const std::string& fichier) {
    Cache& cache = LeCache();
    Empreinte e;
    if (!LireEmpreinte(fichier, e)) {
        std::lock_guard lock(cache.verrou);
        cache.fichiers.erase(fichier);
        return std::make_shared<const IniDocument>();
    }
    {
        std::lock_guard lock(cache.verrou);
        auto it = cache.fichiers.find(fichier);
        if (it != cache.fichiers.end() && it->second.first == e) return it->second.second;
    }
    std::string contenu;
    if (!LireTout(fichier, contenu)) return std::make_shared<const IniDocument>();
    auto doc = std::make_shared<const IniDocument>(IniDocument::Parse(contenu));
    std::lock_guard lock(cache.verrou);
    cache.fichiers[fichier] = {e, doc};
    return doc;
}

std::string Erreur(const std::string& quoi, const std::string& chemin) {
    return quoi + " '" + chemin + "' : " + std::strerror(errno);
}

// The file that a write must replace: a link is followed, so the link itself stays.
std::string CheminReel(const std::string& fichier) {
    std::error_code ec;
    if (std::filesystem::is_symlink(fichier, ec)) {
        auto reel = std::filesystem::canonical(fichier, ec);
        if (!ec) return reel.string();
    }
    return fichier;
}

// Holds the exclusive lock of "<file>.lock" for its lifetime.
class Verrou {
  public:
    explicit Verrou(const std::string& fichier) {
        m_fd = ::open((fichier + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd >= 0) {
            while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~Verrou() {
        if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
    }
    bool Pris() const { return m_fd >= 0; }

  private:
    int m_fd = -1;
};

bool EcrireAtomique(const std::string& fichier, const std::string& contenu, mode_t mode,
                    std::string* erreur) {
    std::string modele = fichier + ".XXXXXX";
    int fd = ::mkstemp(modele.data());
    if (fd < 0) {
        if (erreur) *erreur = Erreur("Impossible de créer un fichier temporaire pour", fichier);
        return false;
    }
    ::fchmod(fd, mode);
    size_t ecrit = 0;
    while (ecrit < contenu.size()) {
        ssize_t n = ::write(fd, contenu.data() + ecrit, contenu.size() - ecrit);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (erreur) *erreur = Erreur("Impossible d'écrire", fichier);
            ::close(fd);
            ::unlink(modele.c_str());
            return false;
        }
        ecrit += static_cast<size_t>(n);
    }
    // No fsync: the rename is what keeps the file whole if the program dies, and syncing costs
    // tens of milliseconds per save on an ordinary disk.
    if (::close(fd) != 0) {
        if (erreur) *erreur = Erreur("Impossible d'écrire", fichier);
        ::unlink(modele.c_str());
        return false;
    }
    if (::rename(modele.c_str(), fichier.c_str()) != 0) {
        if (erreur) *erreur = Erreur("Impossible de remplacer", fichier);
        ::unlink(modele.c_str());
        return false;
    }
    return true;
}

}  // namespace

IniDocument LireDocumentIni(const std::string& fichier) { return *Document(fichier); }

std::shared_ptr<const IniDocument> PartagerDocumentIni(const std::string& fichier) {
    return Document(fichier);
}

std::string LireIni(const std::string& fichier, std::string_view section, std::string_view cle,
                    std::string_view defaut) {
    auto valeur = Document(fichier)->Get(section, cle);
    return valeur ? *valeur : std::string(defaut);
}

std::vector<std::string> ListerSections(const std::string& fichier) {
    auto noms = Document(fichier)->Sections();
    if (noms.empty()) noms.emplace_back();
    return noms;
}

bool ModifierIni(const std::string& fichier, const std::function<void(IniDocument&)>& modifier,
                 std::string* erreur) {
    const std::string cible = CheminReel(fichier);
    Verrou verrou(cible);
    if (!verrou.Pris()) {
        if (erreur) *erreur = Erreur("Impossible de verrouiller", cible);
        return false;
    }
    mode_t mode = 0600;
    struct stat st {};
    if (::stat(cible.c_str(), &st) == 0) {
        // Even root must not replace a file that its owner made read-only.
        if ((st.st_mode & 0222) == 0) {
            errno = EACCES;
            if (erreur) *erreur = Erreur("Fichier en lecture seule :", cible);
            return false;
        }
        mode = st.st_mode & 07777;
    }
    // Always start from the file as it is now: another program may have written it.
    std::string contenu;
    IniDocument doc;
    if (LireTout(cible, contenu)) doc = IniDocument::Parse(contenu);
    modifier(doc);
    if (!EcrireAtomique(cible, doc.Serialize(), mode, erreur)) return false;
    Empreinte e;
    if (LireEmpreinte(cible, e)) {
        Cache& cache = LeCache();
        std::lock_guard lock(cache.verrou);
        cache.fichiers[fichier] = {e, std::make_shared<const IniDocument>(std::move(doc))};
    }
    return true;
}

bool EcrireIni(const std::string& fichier, std::string_view section, std::string_view cle,
               std::optional<std::string_view> valeur, std::string* erreur) {
    return ModifierIni(
        fichier,
        [&](IniDocument& doc) {
            if (valeur)
                doc.Set(section, cle, *valeur);
            else
                doc.Remove(section, cle);
        },
        erreur);
}

bool SupprimerSection(const std::string& fichier, std::string_view section, std::string* erreur) {
    return ModifierIni(
        fichier, [&](IniDocument& doc) { doc.RemoveSection(section); }, erreur);
}

}  // namespace velmora
