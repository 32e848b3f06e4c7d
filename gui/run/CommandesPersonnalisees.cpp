#include "gui/run/CommandesPersonnalisees.h"

#include <unistd.h>
#include <QApplication>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <cstdlib>

#include "common/i18n/Traduction.h"
#include "common/text/Commun.h"
#include "gui/widgets/Questions.h"

namespace velmora::gui {

namespace {

// A placeholder stands in the line as "\x01" + its number + "\x02" until the line is split, so
// that no value can add quotes, spaces or variables to it.
constexpr char kDebutMarque = '\x01';
constexpr char kFinMarque = '\x02';
const char* const kVariables[] = {"%ip%",    "%mac%",      "%host%",   "%comm%",
                                  "%login%", "%password%", "%dossier%"};
constexpr size_t kNbVariables = std::size(kVariables);

std::string Marque(size_t k) {
    return std::string{kDebutMarque, static_cast<char>('0' + k), kFinMarque};
}

// Length of the marker that starts at `i`, or 0.
size_t MarqueEn(const std::string& t, size_t i) {
    return (i + 2 < t.size() && t[i] == kDebutMarque && t[i + 2] == kFinMarque) ? 3 : 0;
}

// Replaces the markers by their values.
std::string Remplir(const std::string& t, const std::vector<std::string>& valeurs) {
    std::string sortie;
    for (size_t i = 0; i < t.size();) {
        if (MarqueEn(t, i)) {
            sortie += valeurs[static_cast<size_t>(t[i + 1] - '0')];
            i += 3;
        } else {
            sortie += t[i++];
        }
    }
    return sortie;
}

// Trims spaces, and markers whose value is empty, at both ends (the value-filled line would be
// trimmed the same way).
std::string Rogner(std::string t, const std::vector<std::string>& valeurs) {
    auto vide = [&](size_t i) { return MarqueEn(t, i) && valeurs[t[i + 1] - '0'].empty(); };
    size_t debut = 0;
    while (debut < t.size()) {
        if (t[debut] == ' ')
            ++debut;
        else if (vide(debut))
            debut += 3;
        else
            break;
    }
    t.erase(0, debut);
    while (!t.empty()) {
        if (t.back() == ' ')
            t.pop_back();
        else if (t.size() >= 3 && MarqueEn(t, t.size() - 3) && vide(t.size() - 3))
            t.resize(t.size() - 3);
        else
            break;
    }
    return t;
}

// Splits parameters into words like a shell (blanks, '...', "...", backslash) without expanding
// anything; markers are filled inside their word.
std::vector<std::string> Mots(const std::string& t, const std::vector<std::string>& valeurs,
                              std::string* option = nullptr) {
    std::vector<std::string> mots;
    std::string mot;
    bool present = false;     // the word holds literal text or quotes, not only empty values
    bool avecValeur = false;  // the word holds a value
    bool finOptions = false;  // a literal "--" came before: what follows is never an option
    char guillemet = 0;
    auto finir = [&] {
        if (present || !mot.empty()) mots.push_back(mot);
        if (mot == "--" && !avecValeur) finOptions = true;
        mot.clear();
        present = avecValeur = false;
    };
    // A value that starts an argument with "-", "/" or "+" would be read by many programs as
    // one of their options (xfreerdp takes "/drive:x,/", X programs "+opt").
    auto commeOption = [](const std::string& v) {
        return !v.empty() && (v[0] == '-' || v[0] == '/' || v[0] == '+');
    };
    for (size_t i = 0; i < t.size(); ++i) {
        const char c = t[i];
        if (MarqueEn(t, i)) {
            const std::string& valeur = valeurs[static_cast<size_t>(t[i + 1] - '0')];
            if (option && !finOptions && mot.empty() && commeOption(valeur) && option->empty())
                *option = valeur;
            mot += valeur;
            avecValeur = true;
            i += 2;
        } else if (guillemet == '\'') {
            if (c == '\'')
                guillemet = 0;
            else
                mot += c;
        } else if (guillemet == '"') {
            if (c == '"') {
                guillemet = 0;
            } else if (c == '\\' && i + 1 < t.size() && (t[i + 1] == '"' || t[i + 1] == '\\')) {
                mot += t[++i];
            } else {
                mot += c;
            }
        } else if (c == ' ' || c == '\t') {
            finir();
        } else if (c == '\'' || c == '"') {
            guillemet = c;
            present = true;
        } else if (c == '\\' && i + 1 < t.size() && !MarqueEn(t, i + 1)) {
            mot += t[++i];
            present = true;
        } else {
            mot += c;
            present = true;
        }
    }
    finir();
    return mots;
}

}  // namespace

std::string DevelopperVariables(const std::string& texte,
                                const std::function<const char*(const char*)>& getenv) {
    std::string sortie;
    size_t i = 0;
    while (i < texte.size()) {
        const size_t fin = texte[i] == '%' ? texte.find('%', i + 1) : std::string::npos;
        if (fin == std::string::npos) {
            sortie += texte[i++];
            continue;
        }
        const std::string nom = texte.substr(i + 1, fin - i - 1);
        const bool valide = !nom.empty() && nom.find_first_of(" \x01\x02") == std::string::npos;
        const char* valeur = valide && getenv ? getenv(nom.c_str()) : nullptr;
        if (valeur) {
            sortie += valeur;
            i = fin + 1;
        } else {
            // Not a variable: keep the first "%" and look again from the second one.
            sortie += texte.substr(i, fin - i);
            i = fin;
        }
    }
    return sortie;
}

CommandeConstruite ConstruireCommande(const std::string& ligne, const ValeursMachine& machine,
                                      const std::string& dossier,
                                      const std::function<const char*(const char*)>& getenv) {
    const std::vector<std::string> valeurs = {NormaliserAdresseIP(machine.adresse),
                                              machine.mac,
                                              machine.nom,
                                              machine.commentaire,
                                              machine.login,
                                              machine.motDePasse,
                                              dossier};
    std::string t;
    for (char c : ligne)
        if (c != kDebutMarque && c != kFinMarque) t += c;
    for (size_t k = 0; k < kNbVariables; ++k)
        t = Remplacer(t, kVariables[k], Marque(k), 1, Comparaison::Texte);
    t = DevelopperVariables(
        t, getenv ? getenv : [](const char* n) { return std::getenv(n); });
    t = Rogner(t, valeurs);

    CommandeConstruite resultat;
    std::string programme, parametres;
    if (!t.empty() && t[0] == '"') {
        const size_t p = t.find('"', 1);
        if (p == std::string::npos) {
            resultat.etat = CommandeConstruite::Etat::GuillemetFermantAbsent;
            return resultat;
        }
        programme = t.substr(1, p - 1);
        parametres = Rogner(t.substr(p + 1), valeurs);
    } else {
        const size_t p = t.find(' ');
        programme = t.substr(0, p);
        if (p != std::string::npos) parametres = t.substr(p + 1);
    }
    resultat.programme = Remplir(programme, valeurs);
    resultat.programme.erase(0, resultat.programme.find_first_not_of(' '));
    resultat.programme.erase(resultat.programme.find_last_not_of(' ') + 1);
    if (resultat.programme.empty()) {
        resultat.etat = CommandeConstruite::Etat::ProgrammeVide;
        return resultat;
    }
    resultat.parametres = Remplir(parametres, valeurs);
    resultat.arguments = Mots(parametres, valeurs, &resultat.option);
    if (!resultat.option.empty()) resultat.etat = CommandeConstruite::Etat::ValeurOption;
    return resultat;
}

std::string LanceurSysteme::TrouverExecutable(const std::string& programme) {
    auto executable = [](const std::string& chemin) {
        const QFileInfo info(QString::fromStdString(chemin));
        return info.isFile() && ::access(chemin.c_str(), X_OK) == 0;
    };
    if (programme.find('/') != std::string::npos) {
        std::string chemin = programme;
        if (chemin.rfind("~/", 0) == 0 && std::getenv("HOME"))
            chemin = std::string(std::getenv("HOME")) + chemin.substr(1);
        return executable(chemin) ? chemin : std::string();
    }
    const char* path = std::getenv("PATH");
    for (const std::string& dossier : ExtraireChamp(path ? path : "/usr/bin:/bin", ":")) {
        if (dossier.empty()) continue;
        const std::string chemin = dossier + "/" + programme;
        if (executable(chemin)) return chemin;
    }
    return {};
}

int LanceurSysteme::Ouvrir(const std::string& programme,
                           const std::vector<std::string>& arguments) {
    QStringList args;
    for (const auto& a : arguments) args << QString::fromStdString(a);
    const std::string executable = TrouverExecutable(programme);
    if (!executable.empty())
        return QProcess::startDetached(QString::fromStdString(executable), args) ? 42 : 5;
    // Not a program: a URL or an existing document goes to the desktop's opener.
    static const QRegularExpression url("^[A-Za-z][A-Za-z0-9+.-]*:");
    const QString cible = QString::fromStdString(programme);
    if (!url.match(cible).hasMatch() && !QFileInfo::exists(cible)) return 2;
    const std::string ouvreur = TrouverExecutable("xdg-open");
    if (ouvreur.empty()) return 31;
    return QProcess::startDetached(QString::fromStdString(ouvreur), {cible}) ? 42 : 31;
}

void ListeSessions::Ajouter(const std::string& adresse, int secondes, const QDateTime& maintenant) {
    std::erase_if(m_entrees, [&](const Entree& e) { return e.adresse == adresse; });
    m_entrees.push_back({maintenant.addSecs(secondes), adresse});
}

std::vector<std::string> ListeSessions::Echues(const QDateTime& maintenant, bool fermeture) {
    std::vector<std::string> echues;
    for (size_t i = m_entrees.size(); i-- > 0;) {
        if (fermeture || maintenant >= m_entrees[i].echeance) {
            echues.push_back(m_entrees[i].adresse);
            m_entrees.erase(m_entrees.begin() + static_cast<long>(i));
        }
    }
    return echues;
}

GestionnaireSessions::GestionnaireSessions(SessionsDistantes& sessions, QTimer* minuterie,
                                           QObject* parent)
    : QObject(parent), m_sessions(sessions), m_timer(minuterie) {
    if (!m_timer) {
        m_timer = new QTimer(this);
        m_timer->setObjectName(QStringLiteral("timDéconnecterAprèsCommandePersonnalisée"));
        m_timer->setInterval(1000);
        connect(m_timer, &QTimer::timeout, this, [this] { Traiter(false); });
    }
}

void GestionnaireSessions::Programmer(const std::string& adresse, int secondes) {
    m_liste.Ajouter(adresse, secondes, QDateTime::currentDateTime());
    m_timer->start();
}

void GestionnaireSessions::Traiter(bool fermeture) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_timer->stop();
    for (const std::string& adresse : m_liste.Echues(QDateTime::currentDateTime(), fermeture)) {
        m_sessions.Deconnecter(adresse);
        QApplication::beep();
    }
    if (!m_liste.Vide()) m_timer->start();
    QApplication::restoreOverrideCursor();
}

int ExecuterCommande(const CommandePersonnalisee& commande,
                     const std::vector<ValeursMachine>& lignes, ContexteCommande& ctx) {
    using i18n::Tr;
    // The session time is a 16-bit number; anything below 0 means no session.
    const int duree = static_cast<int>(std::clamp<long long>(commande.duree, -1, 32767));
    int lances = 0;
    for (const ValeursMachine& m : lignes) {
        const CommandeConstruite c = ConstruireCommande(commande.ligne, m, ctx.dossier);
        if (c.etat == CommandeConstruite::Etat::GuillemetFermantAbsent) {
            MsgBox(ctx.parent, Tr("MSG_ERREUR_COMMANDE_SYNTAXE"), 16, "Velmora");
            break;
        }
        if (c.etat == CommandeConstruite::Etat::ProgrammeVide) {
            MsgBox(ctx.parent, Tr("MSG_ERREUR_COMMANDE_VIDE"), 16, "Velmora");
            break;
        }
        if (c.etat == CommandeConstruite::Etat::ValeurOption) {
            MsgBox(ctx.parent,
                   i18n::TexteReseau("MSG_ERREUR_COMMANDE_OPTION",
                                     {m.nom.empty() ? m.adresse : m.nom, c.option}),
                   48, "Velmora");
            continue;  // nothing started for this machine
        }
        const std::string adresse = NormaliserAdresseIP(m.adresse);
        if (duree >= 0 && ctx.sessions) {
            if (m.login.empty())
                ctx.sessions->Connecter(adresse, ctx.authentificationLogin,
                                        ctx.authentificationPassword);
            else
                ctx.sessions->Connecter(adresse, m.login, m.motDePasse);
        }
        const int code = ctx.lanceur ? ctx.lanceur->Ouvrir(c.programme, c.arguments) : 2;
        if (code <= 31)
            MsgBox(ctx.parent, Tr("MSG_ERREUR_COMMANDE_ECHEC_EXECUTION", {std::to_string(code)}),
                   16, "Velmora");
        else
            ++lances;
        if (ctx.authentificationMode == 1 && duree >= 0 && ctx.gestionnaire)
            ctx.gestionnaire->Programmer(adresse, duree);
    }
    return lances;
}

}  // namespace velmora::gui
