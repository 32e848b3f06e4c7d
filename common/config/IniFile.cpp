#include "common/config/IniFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

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

bool Blanc(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// A value enclosed in one pair of double quotes is read without them, as the Windows profile
// functions do (language files rely on it to keep spaces at the edges of a text).
std::string_view SansGuillemets(std::string_view v) {
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
    return v;
}

// The text written for a value, so that it reads back identical: a value with blanks at its
// edges, or one that is itself enclosed in double quotes, is written within double quotes.
std::string TexteValeur(const std::string& v) {
    const bool entoure = v.size() >= 2 && v.front() == '"' && v.back() == '"';
    if (!v.empty() && (Blanc(v.front()) || Blanc(v.back()) || entoure)) return '"' + v + '"';
    return v;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// IniDocument

IniDocument IniDocument::Parse(std::string_view octets) {
    const bool bom = octets.starts_with("\xEF\xBB\xBF");
    if (bom) octets.remove_prefix(3);
    bool sansUtf8 = true;
    const std::string texte = DecoderLignes(octets, &sansUtf8);
    IniDocument doc;
    std::vector<Ligne>* cible = &doc.m_preambule;
    // CR LF, LF and CR alone all end a line; the file keeps CR LF on its next rewrite only when
    // every line ended so.
    bool crlf = true;
    size_t finsDeLigne = 0;
    size_t debut = 0;
    while (debut < texte.size()) {
        size_t fin = texte.find_first_of("\r\n", debut);
        std::string_view ligne;
        if (fin == std::string::npos) {
            ligne = std::string_view(texte).substr(debut);
            debut = texte.size();
        } else {
            ligne = std::string_view(texte).substr(debut, fin - debut);
            ++finsDeLigne;
            if (texte[fin] == '\r' && fin + 1 < texte.size() && texte[fin + 1] == '\n') {
                debut = fin + 2;
            } else {
                crlf = false;
                debut = fin + 1;
            }
        }
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
            l.valeur = std::string(SansGuillemets(Rogner(ligne.substr(egal + 1))));
        }
        cible->push_back(std::move(l));
    }
    doc.m_windows1252 = !bom && sansUtf8 && crlf && finsDeLigne > 0;
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
    auto joindre = [this](std::string_view fin) {
        std::string out;
        auto ecrire = [&](const std::vector<Ligne>& lignes) {
            for (const Ligne& l : lignes) {
                if (l.supprimee) continue;
                out += l.texte;
                out += fin;
            }
        };
        ecrire(m_preambule);
        for (const Section& s : m_sections) {
            out += s.entete;
            out += fin;
            ecrire(s.lignes);
        }
        return out;
    };
    if (m_windows1252) {
        // A file of the Windows version stays readable by it while every character fits, and
        // while no line of it would read back as UTF-8 (such as "Ã©").
        const std::string texte = joindre("\r\n");
        if (auto octets = VersWindows1252(texte); octets && DecoderLignes(*octets) == texte)
            return std::move(*octets);
    }
    return joindre("\n");
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
        l.texte = l.cle + "=" + TexteValeur(v);
        return;
    }
    Ligne l;
    l.cle = SansSautDeLigne(Rogner(cle));
    l.valeur = v;
    l.texte = l.cle + "=" + TexteValeur(v);
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

// The whole file; false when it cannot be opened or a read fails (never a partial content).
bool LireTout(const std::string& chemin, std::string& contenu) {
    int fd = ::open(chemin.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    contenu.clear();
    char tampon[65536];
    for (;;) {
        ssize_t n = ::read(fd, tampon, sizeof tampon);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int e = errno;
            ::close(fd);
            errno = e;
            return false;
        }
        if (n == 0) break;
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

int& DelaiVerrouMs() {
    static int delai = 5000;
    return delai;
}

// Holds the exclusive lock of "<file>.lock" for its lifetime. The lock file is opened without
// following a symbolic link and must be a regular file owned by this user, by the owner of the
// Configuration file or by root: a link or a file planted in a shared folder can neither make a
// root run create files elsewhere nor block the writes. The lock is waited for a few seconds
// at most, so a stuck program gives an error instead of a hang.
class Verrou {
  public:
    Verrou(const std::string& fichier, const struct stat* proprietaire, std::string* erreur) {
        const std::string chemin = fichier + ".lock";
        m_fd = ::open(chemin.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
        if (m_fd < 0 && errno == EACCES)  // a lock file of another user that we may still read
            m_fd = ::open(chemin.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (m_fd < 0) {
            if (erreur) *erreur = Erreur("Impossible de verrouiller", fichier);
            return;
        }
        struct stat st {};
        const uid_t moi = ::geteuid();
        if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode) ||
            (st.st_uid != moi && st.st_uid != 0 &&
             !(proprietaire && st.st_uid == proprietaire->st_uid))) {
            if (erreur)
                *erreur =
                    "Fichier de verrou refusé (il n'appartient ni à l'utilisateur ni au "
                    "propriétaire du fichier) : '" +
                    chemin + "'";
            Fermer();
            return;
        }
        // A lock file made by root for a user's file stays usable by that user.
        if (proprietaire && st.st_uid == moi && moi != proprietaire->st_uid && st.st_size == 0)
            (void)!::fchown(m_fd, proprietaire->st_uid, proprietaire->st_gid);
        const auto limite =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(DelaiVerrouMs());
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) ||
                std::chrono::steady_clock::now() >= limite) {
                if (erreur) {
                    errno = errno == EWOULDBLOCK ? ETIMEDOUT : errno;
                    *erreur = Erreur("Fichier verrouillé par un autre programme", fichier);
                }
                Fermer();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~Verrou() { Fermer(); }  // closing releases the lock
    bool Pris() const { return m_fd >= 0; }

  private:
    void Fermer() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }
    int m_fd = -1;
};

// True for the name of a temporary file of ours: "<name>." and six letters or digits, as
// mkstemp makes them, not all lower-case letters (so that a "Velmora.ini.backup" of the user
// is never taken for one).
bool EstTemporaire(const std::string& nom, const std::string& base) {
    if (nom.size() != base.size() + 7 || nom.compare(0, base.size(), base) != 0 ||
        nom[base.size()] != '.')
        return false;
    const std::string_view suffixe = std::string_view(nom).substr(base.size() + 1);
    bool minuscules = true;
    for (char c : suffixe) {
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
        if (!(c >= 'a' && c <= 'z')) minuscules = false;
    }
    return !minuscules;
}

// Removes the temporary files that a killed writer left beside the file (they are full copies
// of it, encoded passwords included). Called under the lock, so no writer is using one.
void SupprimerTemporaires(const std::string& fichier, const struct stat* proprietaire) {
    const std::filesystem::path chemin(fichier);
    const std::string base = chemin.filename().string();
    std::error_code ec;
    for (const auto& entree : std::filesystem::directory_iterator(
             chemin.has_parent_path() ? chemin.parent_path() : ".", ec)) {
        const std::string nom = entree.path().filename().string();
        if (!EstTemporaire(nom, base)) continue;
        struct stat st {};
        if (::lstat(entree.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (st.st_uid != ::geteuid() && !(proprietaire && st.st_uid == proprietaire->st_uid))
            continue;
        ::unlink(entree.path().c_str());
    }
}

// Flushes a folder's entries to disk, so that a rename survives a power loss.
void SynchroniserDossier(const std::string& fichier) {
    const std::filesystem::path chemin(fichier);
    const std::string dossier = chemin.has_parent_path() ? chemin.parent_path().string() : ".";
    int fd = ::open(dossier.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Writes the new content into a temporary file of the same folder, gives it the old file's
// owner, group and mode, flushes it to disk and renames it over the file; the folder is then
// flushed too. After a kill or a power loss the file is the old one or the new one, never a
// part of either.
bool EcrireAtomique(const std::string& fichier, const std::string& contenu, mode_t mode,
                    const struct stat* ancien, std::string* erreur) {
    std::string modele = fichier + ".XXXXXX";
    int fd = ::mkstemp(modele.data());
    if (fd < 0) {
        if (erreur) *erreur = Erreur("Impossible de créer un fichier temporaire pour", fichier);
        return false;
    }
    auto echec = [&](const std::string& texte) {
        if (erreur) *erreur = texte;
        ::close(fd);
        ::unlink(modele.c_str());
        return false;
    };
    if (ancien && (ancien->st_uid != ::geteuid() || ancien->st_gid != ::getegid()) &&
        ::fchown(fd, ancien->st_uid, ancien->st_gid) != 0) {
        // Root can always give the file back to its owner. Another user writing a file of a
        // shared group cannot: the file becomes his, as any rewrite would, but keeps its group.
        if (::geteuid() == 0)
            return echec(Erreur("Impossible de conserver le propriétaire de", fichier));
        (void)!::fchown(fd, static_cast<uid_t>(-1), ancien->st_gid);
    }
    if (::fchmod(fd, mode) != 0) return echec(Erreur("Impossible d'écrire", fichier));
    size_t ecrit = 0;
    while (ecrit < contenu.size()) {
        ssize_t n = ::write(fd, contenu.data() + ecrit, contenu.size() - ecrit);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return echec(Erreur("Impossible d'écrire", fichier));
        ecrit += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) return echec(Erreur("Impossible d'écrire", fichier));
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
    SynchroniserDossier(fichier);
    return true;
}

}  // namespace

void DefinirDelaiVerrouIni(int millisecondes) { DelaiVerrouMs() = millisecondes; }

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
    struct stat st {};
    bool existe = ::stat(cible.c_str(), &st) == 0;
    if (!existe && errno != ENOENT) {
        if (erreur) *erreur = Erreur("Impossible de lire", cible);
        return false;
    }
    Verrou verrou(cible, existe ? &st : nullptr, erreur);
    if (!verrou.Pris()) return false;
    // The file as it is now, under the lock: another program may have written it meanwhile.
    existe = ::stat(cible.c_str(), &st) == 0;
    if (!existe && errno != ENOENT) {
        if (erreur) *erreur = Erreur("Impossible de lire", cible);
        return false;
    }
    SupprimerTemporaires(cible, existe ? &st : nullptr);
    mode_t mode = 0600;
    std::string contenu;
    IniDocument doc;
    if (existe) {
        errno = EINVAL;
        if (!S_ISREG(st.st_mode)) {
            if (erreur) *erreur = Erreur("Ce n'est pas un fichier :", cible);
            return false;
        }
        // Even root must not replace a file that its owner made read-only.
        if ((st.st_mode & 0222) == 0) {
            errno = EACCES;
            if (erreur) *erreur = Erreur("Fichier en lecture seule :", cible);
            return false;
        }
        // A second name of the same file would keep the old content after the rename.
        if (st.st_nlink > 1) {
            if (erreur)
                *erreur = "Le fichier '" + cible +
                          "' a plusieurs liens physiques : il n'est pas remplacé (un lien "
                          "symbolique convient)";
            return false;
        }
        // A file that cannot be read is never replaced: its content would be lost.
        if (!LireTout(cible, contenu)) {
            if (erreur) *erreur = Erreur("Impossible de lire", cible);
            return false;
        }
        doc = IniDocument::Parse(contenu);
        mode = st.st_mode & 07777;
    }
    modifier(doc);
    std::string nouveau = doc.Serialize();
    if (!existe || nouveau != contenu) {
        if (!EcrireAtomique(cible, nouveau, mode, existe ? &st : nullptr, erreur)) return false;
    }
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
