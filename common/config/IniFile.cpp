#include "common/config/IniFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <random>
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
    // Byte-order marks at the start, however many, are not part of the first line.
    const bool bom = octets.starts_with("\xEF\xBB\xBF");
    while (octets.starts_with("\xEF\xBB\xBF")) octets.remove_prefix(3);
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

constexpr const char* kMarqueTemporaire = ".tmp-";

const std::vector<std::pair<const char*, const char*>> kTextesFichierIni = {
    {"ERR_INI_LECTURE", "Impossible de lire le fichier '%v' : %v"},
    {"ERR_INI_ECRITURE", "Impossible d'écrire le fichier '%v' : %v"},
    {"ERR_INI_DOSSIER", "Impossible d'écrire dans le dossier '%v' : %v"},
    {"ERR_INI_VERROUILLE",
     "Le fichier '%v' est verrouillé par un autre programme : réessayez dans un instant."},
    {"ERR_INI_VERROU_ETRANGER",
     "Le fichier de verrou '%v' appartient à l'utilisateur %v (ni à vous ni au propriétaire du "
     "fichier) : il est refusé. Supprimez-le s'il ne sert plus."},
    {"ERR_INI_VERROU_INVALIDE",
     "Le fichier de verrou '%v' n'est pas un fichier ordinaire : il est refusé."},
    {"ERR_INI_PAS_UN_FICHIER", "'%v' n'est pas un fichier ordinaire : il n'est pas modifié."},
    {"ERR_INI_LECTURE_SEULE", "Le fichier '%v' est en lecture seule : il n'est pas modifié."},
    {"ERR_INI_LIENS",
     "Le fichier '%v' a plusieurs liens physiques : il n'est pas remplacé (un lien symbolique "
     "convient)."},
    {"ERR_INI_PROPRIETAIRE", "Impossible de conserver le propriétaire du fichier '%v' : %v"},
    {"ERR_INI_ENCODAGE",
     "L'encodage du fichier '%v' (%v) n'est pas pris en charge : le fichier n'est pas "
     "modifié. Enregistrez-le en UTF-8."},
    {"ERR_INI_REMPLACE",
     "Le fichier '%v' a été remplacé par un autre programme pendant l'écriture : il n'est pas "
     "modifié, réessayez."},
    {"ERR_INI_LIEN_ETRANGER",
     "Le fichier '%v' est un lien symbolique qui n'appartient ni à vous ni au propriétaire de "
     "son dossier : il n'est pas suivi."},
    {"ERR_INI_SECTION_REGLAGES",
     "La section '%v' contient les réglages : elle ne peut servir de dossier."},
    {"ERR_INI_RAISON_ACCES", "permission refusée"},
    {"ERR_INI_RAISON_PLEIN", "disque plein ou quota dépassé"},
    {"ERR_INI_RAISON_LECTURE_SEULE", "système de fichiers en lecture seule"},
    {"ERR_INI_RAISON_ABSENT", "dossier introuvable"},
    {"ERR_INI_OCTETS_NUL", "octets nuls, fichier binaire"},
    {"MSG_CONFIG_LECTURE_SEULE",
     "Velmora s'ouvre en lecture seule : aucune modification ne sera enregistrée dans ce "
     "fichier."},
};

std::atomic<std::string (*)(std::string_view)> g_traduire{nullptr};

// The translated text of a writer's message with its "%v" filled in order.
std::string Texte(std::string_view cle, const std::vector<std::string>& valeurs = {}) {
    std::string texte;
    if (auto traduire = g_traduire.load()) texte = traduire(cle);
    if (texte.empty())
        for (const auto& [c, t] : kTextesFichierIni)
            if (cle == c) texte = t;
    std::string resultat;
    size_t suivante = 0, debut = 0;
    for (size_t pos; (pos = texte.find("%v", debut)) != std::string::npos; debut = pos + 2) {
        resultat.append(texte, debut, pos - debut);
        resultat += suivante < valeurs.size() ? valeurs[suivante++] : std::string("%v");
    }
    resultat.append(texte, debut);
    return resultat;
}

// Why a system call failed, in the user's words for the usual cases.
std::string Raison(int e) {
    switch (e) {
        case EACCES:
        case EPERM:
            return Texte("ERR_INI_RAISON_ACCES");
        case ENOSPC:
        case EDQUOT:
            return Texte("ERR_INI_RAISON_PLEIN");
        case EROFS:
            return Texte("ERR_INI_RAISON_LECTURE_SEULE");
        case ENOENT:
        case ENOTDIR:
            return Texte("ERR_INI_RAISON_ABSENT");
        default:
            return std::strerror(e);
    }
}

void Signaler(std::string* erreur, std::string_view cle, const std::vector<std::string>& valeurs) {
    if (erreur) *erreur = Texte(cle, valeurs);
}

std::function<void(EtapeEcritureIni)>& Crochet() {
    static std::function<void(EtapeEcritureIni)> crochet;
    return crochet;
}

void Etape(EtapeEcritureIni etape) {
    if (Crochet()) Crochet()(etape);
}

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

// A file descriptor closed at the end of its scope.
struct Descripteur {
    int fd = -1;
    explicit Descripteur(int f) : fd(f) {}
    ~Descripteur() {
        if (fd >= 0) ::close(fd);
    }
    Descripteur(const Descripteur&) = delete;
    Descripteur& operator=(const Descripteur&) = delete;
};

// The whole content of an open file; false when a read fails (never a partial content).
bool LireFd(int fd, std::string& contenu) {
    contenu.clear();
    char tampon[65536];
    for (;;) {
        ssize_t n = ::read(fd, tampon, sizeof tampon);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        contenu.append(tampon, static_cast<size_t>(n));
    }
}

bool LireTout(const std::string& chemin, std::string& contenu) {
    Descripteur fd(::open(chemin.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.fd < 0) return false;
    struct stat st {};
    if (::fstat(fd.fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return LireFd(fd.fd, contenu);
}

// The parsed file, from the cache while the file is unchanged on disk. A file whose encoding
// is not supported is read as well as can be (it is never written).
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

std::string NomUtilisateur(uid_t uid) {
    struct passwd entree {};
    struct passwd* resultat = nullptr;
    std::vector<char> tampon(4096);
    if (::getpwuid_r(uid, &entree, tampon.data(), tampon.size(), &resultat) == 0 && resultat)
        return std::string(resultat->pw_name) + " (" + std::to_string(uid) + ")";
    return std::to_string(uid);
}

// Where a write goes: the real folder of the file, and the file's name in it.
struct Cible {
    std::string dossier;
    std::string nom;
    std::string Chemin() const { return dossier == "/" ? "/" + nom : dossier + "/" + nom; }
};

// Resolves the file's real path once. A symbolic link is followed (the link itself stays) only
// when it belongs to this user or to the owner of its folder: a link that another user planted
// in a shared folder cannot send a write (of root, say) to a file of his choosing.
bool Resoudre(const std::string& fichier, Cible& cible, std::string* erreur) {
    const std::filesystem::path chemin(fichier);
    std::string parent = chemin.has_parent_path() ? chemin.parent_path().string() : ".";
    std::string nom = chemin.filename().string();
    struct stat lien {};
    if (::lstat(fichier.c_str(), &lien) == 0 && S_ISLNK(lien.st_mode)) {
        struct stat dossier {};
        if (lien.st_uid != ::geteuid() &&
            (::stat(parent.c_str(), &dossier) != 0 || dossier.st_uid != lien.st_uid)) {
            Signaler(erreur, "ERR_INI_LIEN_ETRANGER", {fichier});
            return false;
        }
        char* reel = ::realpath(fichier.c_str(), nullptr);
        if (!reel) {
            Signaler(erreur, "ERR_INI_LECTURE", {fichier, Raison(errno)});
            return false;
        }
        const std::filesystem::path r(reel);
        ::free(reel);
        parent = r.parent_path().string();
        nom = r.filename().string();
    }
    if (nom.empty() || nom == "." || nom == "..") {
        errno = EISDIR;
        Signaler(erreur, "ERR_INI_PAS_UN_FICHIER", {fichier});
        return false;
    }
    char* dossierReel = ::realpath(parent.c_str(), nullptr);
    if (!dossierReel) {
        Signaler(erreur, "ERR_INI_DOSSIER", {parent, Raison(errno)});
        return false;
    }
    cible = {dossierReel, nom};
    ::free(dossierReel);
    return true;
}

int& DelaiVerrouMs() {
    static int delai = 5000;
    return delai;
}

// Holds the exclusive lock of "<file>.lock" for its lifetime. The lock file is opened in the
// file's folder without following a symbolic link and must be a regular file owned by this
// user, by the owner of the Configuration file or by root: a link or a file planted in a shared
// folder can neither make a root run create files elsewhere nor be used to block the writes
// unnoticed (the message names its owner). The lock is waited for a few seconds at most, so a
// stuck program gives an error instead of a hang.
class Verrou {
  public:
    Verrou(int dossier, const Cible& cible, const struct stat* proprietaire, std::string* erreur) {
        const std::string nom = cible.nom + ".lock";
        const std::string chemin = cible.Chemin() + ".lock";
        m_fd = ::openat(dossier, nom.c_str(),
                        O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
        int e = errno;
        if (m_fd < 0 && e == EACCES)  // a lock file of another user that we may still read
            m_fd = ::openat(dossier, nom.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (m_fd < 0) {
            if (errno != ENOENT) e = errno;
            struct stat st {};
            if (e == ELOOP || (::fstatat(dossier, nom.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                               !S_ISREG(st.st_mode)))
                Signaler(erreur, "ERR_INI_VERROU_INVALIDE", {chemin});
            else
                Signaler(erreur, "ERR_INI_DOSSIER", {cible.dossier, Raison(e)});
            return;
        }
        struct stat st {};
        const uid_t moi = ::geteuid();
        if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            Signaler(erreur, "ERR_INI_VERROU_INVALIDE", {chemin});
            Fermer();
            return;
        }
        if (st.st_uid != moi && st.st_uid != 0 &&
            !(proprietaire && st.st_uid == proprietaire->st_uid)) {
            Signaler(erreur, "ERR_INI_VERROU_ETRANGER", {chemin, NomUtilisateur(st.st_uid)});
            Fermer();
            return;
        }
        // A lock file made by root for a user's file stays usable by that user.
        if (proprietaire && st.st_uid == moi && moi != proprietaire->st_uid && st.st_size == 0)
            (void)!::fchown(m_fd, proprietaire->st_uid, proprietaire->st_gid);
        const auto limite =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(DelaiVerrouMs());
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            const int e = errno;
            if (e != EWOULDBLOCK && e != EINTR) {
                Signaler(erreur, "ERR_INI_ECRITURE", {cible.Chemin(), Raison(e)});
                Fermer();
                return;
            }
            if (std::chrono::steady_clock::now() >= limite) {
                Signaler(erreur, "ERR_INI_VERROUILLE", {cible.Chemin()});
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

bool Alphanumerique(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// True for the name of a temporary file of ours: ".<name>.tmp-" and six letters or digits. The
// leading dot and the marker keep any name a user gives a copy of the file out of reach.
bool EstTemporaire(std::string_view nom, std::string_view base) {
    const std::string debut = "." + std::string(base) + kMarqueTemporaire;
    if (nom.size() != debut.size() + 6 || !nom.starts_with(debut)) return false;
    return std::all_of(nom.begin() + static_cast<long>(debut.size()), nom.end(), Alphanumerique);
}

// Removes the temporary files that a killed writer left beside the file (they are full copies
// of it, encoded passwords included): regular files of exactly our shape, owned by this user or
// by the file's owner. Called under the lock, so no writer is using one.
void SupprimerTemporaires(int dossier, const std::string& base, const struct stat* proprietaire) {
    const int copie = ::dup(dossier);
    if (copie < 0) return;
    DIR* d = ::fdopendir(copie);
    if (!d) {
        ::close(copie);
        return;
    }
    std::vector<std::string> aSupprimer;
    while (dirent* e = ::readdir(d)) {
        if (!EstTemporaire(e->d_name, base)) continue;
        struct stat st {};
        if (::fstatat(dossier, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (st.st_uid != ::geteuid() && !(proprietaire && st.st_uid == proprietaire->st_uid))
            continue;
        aSupprimer.emplace_back(e->d_name);
    }
    ::closedir(d);
    for (const std::string& nom : aSupprimer) ::unlinkat(dossier, nom.c_str(), 0);
}

// A new temporary file of ours in the folder, created close-on-exec so that a program started
// meanwhile by another thread never inherits it. -1 with errno set on failure.
int CreerTemporaire(int dossier, const std::string& base, std::string& nom) {
    static const char kLettres[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device alea;
    for (int essai = 0; essai < 100; ++essai) {
        nom = "." + base + kMarqueTemporaire;
        for (int i = 0; i < 6; ++i) nom += kLettres[alea() % (sizeof kLettres - 1)];
        const int fd = ::openat(dossier, nom.c_str(),
                                O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Writes the new content into a temporary file of the same folder, gives it the old file's
// owner, group and mode, flushes it to disk and renames it over the file, all relative to the
// folder's descriptor; the folder is then flushed too. After a kill or a power loss the file is
// the old one or the new one, never a part of either. `ancien` is the file as read under the
// lock: when the name no longer holds it, nothing is replaced.
bool EcrireAtomique(int dossier, const Cible& cible, const std::string& contenu, mode_t mode,
                    const struct stat* ancien, std::string* erreur) {
    std::string temporaire;
    const int fd = CreerTemporaire(dossier, cible.nom, temporaire);
    if (fd < 0) {
        Signaler(erreur, "ERR_INI_DOSSIER", {cible.dossier, Raison(errno)});
        return false;
    }
    auto echec = [&](std::string_view cle, int e) {
        ::close(fd);
        ::unlinkat(dossier, temporaire.c_str(), 0);
        if (cle == "ERR_INI_REMPLACE")
            Signaler(erreur, cle, {cible.Chemin()});
        else
            Signaler(erreur, cle, {cible.Chemin(), Raison(e)});
        return false;
    };
    if (ancien && (ancien->st_uid != ::geteuid() || ancien->st_gid != ::getegid()) &&
        ::fchown(fd, ancien->st_uid, ancien->st_gid) != 0) {
        // Root can always give the file back to its owner. Another user writing a file of a
        // shared group cannot: the file becomes his, as any rewrite would, but keeps its group.
        if (::geteuid() == 0) return echec("ERR_INI_PROPRIETAIRE", errno);
        (void)!::fchown(fd, static_cast<uid_t>(-1), ancien->st_gid);
    }
    if (::fchmod(fd, mode) != 0) return echec("ERR_INI_ECRITURE", errno);
    size_t ecrit = 0;
    while (ecrit < contenu.size()) {
        ssize_t n = ::write(fd, contenu.data() + ecrit, contenu.size() - ecrit);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return echec("ERR_INI_ECRITURE", n < 0 ? errno : ENOSPC);
        ecrit += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) return echec("ERR_INI_ECRITURE", errno);
    Etape(EtapeEcritureIni::AvantRemplacement);
    // The name must still hold the file read under the lock (or still be free).
    struct stat maintenant {};
    const bool present =
        ::fstatat(dossier, cible.nom.c_str(), &maintenant, AT_SYMLINK_NOFOLLOW) == 0;
    if (ancien ? (!present || maintenant.st_dev != ancien->st_dev ||
                  maintenant.st_ino != ancien->st_ino)
               : present)
        return echec("ERR_INI_REMPLACE", 0);
    if (::close(fd) != 0) {
        const int e = errno;
        ::unlinkat(dossier, temporaire.c_str(), 0);
        Signaler(erreur, "ERR_INI_ECRITURE", {cible.Chemin(), Raison(e)});
        return false;
    }
    if (::renameat(dossier, temporaire.c_str(), dossier, cible.nom.c_str()) != 0) {
        const int e = errno;
        ::unlinkat(dossier, temporaire.c_str(), 0);
        Signaler(erreur, "ERR_INI_ECRITURE", {cible.Chemin(), Raison(e)});
        return false;
    }
    ::fsync(dossier);
    return true;
}

}  // namespace

const std::vector<std::pair<const char*, const char*>>& TextesFichierIni() {
    return kTextesFichierIni;
}

void DefinirTraductionIni(std::string (*traduire)(std::string_view cle)) { g_traduire = traduire; }

void DefinirCrochetEcritureIni(std::function<void(EtapeEcritureIni)> crochet) {
    Crochet() = std::move(crochet);
}

std::optional<std::string> EncodageNonPrisEnCharge(std::string_view octets) {
    if (octets.starts_with(std::string_view("\x00\x00\xFE\xFF", 4))) return "UTF-32 BE";
    if (octets.starts_with(std::string_view("\xFF\xFE\x00\x00", 4))) return "UTF-32 LE";
    if (octets.starts_with("\xFE\xFF")) return "UTF-16 BE";
    if (octets.starts_with("\xFF\xFE")) return "UTF-16 LE";
    if (octets.find('\0') != std::string_view::npos) return Texte("ERR_INI_OCTETS_NUL");
    return std::nullopt;
}

std::optional<std::string> EncodageFichierNonPrisEnCharge(const std::string& fichier) {
    std::string contenu;
    if (!LireTout(fichier, contenu)) return std::nullopt;
    return EncodageNonPrisEnCharge(contenu);
}

std::optional<std::string> ProblemeLectureIni(const std::string& fichier) {
    Descripteur fd(::open(fichier.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.fd < 0) {
        if (errno == ENOENT) return std::nullopt;
        return Texte("ERR_INI_LECTURE", {fichier, Raison(errno)});
    }
    struct stat st {};
    if (::fstat(fd.fd, &st) != 0) return Texte("ERR_INI_LECTURE", {fichier, Raison(errno)});
    if (!S_ISREG(st.st_mode)) return Texte("ERR_INI_PAS_UN_FICHIER", {fichier});
    std::string contenu;
    if (!LireFd(fd.fd, contenu)) return Texte("ERR_INI_LECTURE", {fichier, Raison(errno)});
    if (auto encodage = EncodageNonPrisEnCharge(contenu))
        return Texte("ERR_INI_ENCODAGE", {fichier, *encodage});
    return std::nullopt;
}

std::string MessageEncodageNonPrisEnCharge(const std::string& fichier,
                                           const std::string& encodage) {
    return Texte("ERR_INI_ENCODAGE", {fichier, encodage});
}

std::string MessageSectionReglages(std::string_view section) {
    return Texte("ERR_INI_SECTION_REGLAGES", {std::string(section)});
}

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
    Cible cible;
    if (!Resoudre(fichier, cible, erreur)) return false;
    const std::string chemin = cible.Chemin();
    // Every later step is relative to the folder opened here, so that renaming or replacing a
    // folder of the path meanwhile changes nothing.
    Descripteur dossier(::open(cible.dossier.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dossier.fd < 0) {
        Signaler(erreur, "ERR_INI_DOSSIER", {cible.dossier, Raison(errno)});
        return false;
    }
    struct stat st {};
    bool existe = ::fstatat(dossier.fd, cible.nom.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (!existe && errno != ENOENT) {
        Signaler(erreur, "ERR_INI_LECTURE", {chemin, Raison(errno)});
        return false;
    }
    if (existe && S_ISLNK(st.st_mode)) {  // became a link since it was resolved
        Signaler(erreur, "ERR_INI_REMPLACE", {chemin});
        return false;
    }
    Verrou verrou(dossier.fd, cible, existe ? &st : nullptr, erreur);
    if (!verrou.Pris()) return false;
    Etape(EtapeEcritureIni::Verrouille);
    // The file as it is now, under the lock: another program may have written it meanwhile. It
    // is opened without following a link, and what is read is what the name holds.
    Descripteur fd(::openat(dossier.fd, cible.nom.c_str(),
                            O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    existe = fd.fd >= 0;
    if (!existe && errno == ELOOP) {
        Signaler(erreur, "ERR_INI_REMPLACE", {chemin});
        return false;
    }
    if (!existe) {
        const int e = errno;
        // A file that cannot be read is never replaced: its content would be lost.
        if (e != ENOENT ||
            ::fstatat(dossier.fd, cible.nom.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            Signaler(erreur, "ERR_INI_LECTURE", {chemin, Raison(e == ENOENT ? EACCES : e)});
            return false;
        }
    }
    std::string contenu;
    mode_t mode = 0600;
    IniDocument doc;
    if (existe) {
        if (::fstat(fd.fd, &st) != 0) {
            Signaler(erreur, "ERR_INI_LECTURE", {chemin, Raison(errno)});
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            Signaler(erreur, "ERR_INI_PAS_UN_FICHIER", {chemin});
            return false;
        }
        // Even root must not replace a file that its owner made read-only.
        if ((st.st_mode & 0222) == 0) {
            Signaler(erreur, "ERR_INI_LECTURE_SEULE", {chemin});
            return false;
        }
        // A second name of the same file would keep the old content after the rename.
        if (st.st_nlink > 1) {
            Signaler(erreur, "ERR_INI_LIENS", {chemin});
            return false;
        }
        if (!LireFd(fd.fd, contenu)) {
            Signaler(erreur, "ERR_INI_LECTURE", {chemin, Raison(errno)});
            return false;
        }
        // A file that this module cannot decode would be rewritten as something else.
        if (auto encodage = EncodageNonPrisEnCharge(contenu)) {
            Signaler(erreur, "ERR_INI_ENCODAGE", {chemin, *encodage});
            return false;
        }
        doc = IniDocument::Parse(contenu);
        mode = st.st_mode & 07777;
    }
    SupprimerTemporaires(dossier.fd, cible.nom, existe ? &st : nullptr);
    modifier(doc);
    std::string nouveau = doc.Serialize();
    if (!existe || nouveau != contenu) {
        if (!EcrireAtomique(dossier.fd, cible, nouveau, mode, existe ? &st : nullptr, erreur))
            return false;
    }
    Empreinte e;
    if (LireEmpreinte(fichier, e)) {
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
