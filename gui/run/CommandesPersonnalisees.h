// Custom commands: the command line built from a machine row, its split into a program and its
// arguments, the start of the program without any shell, and the list of authenticated sessions
// closed by a timer some seconds after the command.
//
// Machine values never change the shape of the command: the placeholders are replaced after the
// line has been split into program and arguments, so a name holding ";", "$(...)", quotes or
// spaces ends up inside one argument and can never start anything else.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "common/config/Config.h"

class QWidget;

namespace velmora::gui {

// The values of one selected row that the placeholders stand for.
struct ValeursMachine {
    std::string adresse;      // as typed; %ip% gives it normalised
    std::string mac;          // %mac%
    std::string nom;          // %host%
    std::string commentaire;  // %comm%
    std::string login;        // %login%
    std::string motDePasse;   // %password%, decoded
};

// Result of building a command for one row.
struct CommandeConstruite {
    // ValeurOption: a value that starts with "-" begins an argument, where the program would
    // read it as one of its options (`ssh %ip%` with an address "-oProxyCommand=..."); `option`
    // holds that value.
    enum class Etat { Ok, GuillemetFermantAbsent, ProgrammeVide, ValeurOption } etat = Etat::Ok;
    std::string option;
    std::string programme;               // without its surrounding double quotes
    std::string parametres;              // the parameter text, values filled in
    std::vector<std::string> arguments;  // the parameters split into words, values filled in
};

// Builds the command of one row: placeholders %ip%, %mac%, %host%, %comm%, %login%, %password%,
// %dossier% (any case), then %NAME% environment variables of the line itself (never of the
// values), trims spaces, splits into program (a leading quoted part, or the text before the first
// space) and parameters, and the parameters into words as a shell would (quotes, backslash) but
// without any expansion. A word made only of placeholders that are empty disappears. `getenv`
// returns nullptr for an unknown variable (the text is then kept).
CommandeConstruite ConstruireCommande(
    const std::string& ligne, const ValeursMachine& machine, const std::string& dossier,
    const std::function<const char*(const char*)>& getenv = nullptr);

// Expands %NAME% forms with known environment variables; unknown ones stay as written.
std::string DevelopperVariables(const std::string& texte,
                                const std::function<const char*(const char*)>& getenv);

// Opens a program the way the desktop shell does. Returns a code above 31 on success, 31 or less
// on failure (2 file not found, 5 access denied, 31 no association).
class Lanceur {
  public:
    virtual ~Lanceur() = default;
    virtual int Ouvrir(const std::string& programme, const std::vector<std::string>& arguments) = 0;
};

// The real one: a program found along PATH (or given by a path) is started directly with its
// arguments, detached, without a shell; a URL ("scheme:...") or an existing file is handed to
// xdg-open.
class LanceurSysteme : public Lanceur {
  public:
    int Ouvrir(const std::string& programme, const std::vector<std::string>& arguments) override;
    // The executable that `programme` names, or "" (a name without "/" is looked up along PATH).
    static std::string TrouverExecutable(const std::string& programme);
};

// Authenticated sessions to a machine's administrative share. On this platform every remote
// call carries its own credentials, so the default implementation opens and closes nothing.
class SessionsDistantes {
  public:
    virtual ~SessionsDistantes() = default;
    virtual void Connecter(const std::string& /*adresse*/, const std::string& /*login*/,
                           const std::string& /*motDePasse*/) {}
    virtual void Deconnecter(const std::string& /*adresse*/) {}
};

// Sessions to close later: one entry per address, with its deadline.
class ListeSessions {
  public:
    struct Entree {
        QDateTime echeance;
        std::string adresse;
    };
    // Replaces any entry of the address by one due `secondes` after `maintenant`.
    void Ajouter(const std::string& adresse, int secondes, const QDateTime& maintenant);
    // Removes and returns the addresses due at `maintenant` (all of them when `fermeture`), from
    // the last entry to the first.
    std::vector<std::string> Echues(const QDateTime& maintenant, bool fermeture);
    const std::vector<Entree>& Entrees() const { return m_entrees; }
    bool Vide() const { return m_entrees.empty(); }

  private:
    std::vector<Entree> m_entrees;
};

// Owner of the session list, driven by the 1000 ms timer
// timDéconnecterAprèsCommandePersonnalisée: the main window's one (whose timeout the window sends
// to Traiter), or a timer of its own when none is given.
class GestionnaireSessions : public QObject {
    Q_OBJECT
  public:
    explicit GestionnaireSessions(SessionsDistantes& sessions, QTimer* minuterie = nullptr,
                                  QObject* parent = nullptr);
    ListeSessions& Liste() { return m_liste; }
    QTimer& Minuterie() { return *m_timer; }
    // Records a session to close `secondes` from now and starts the timer.
    void Programmer(const std::string& adresse, int secondes);
    // Closes the due sessions (all of them when `fermeture`, at the main window's closing), one
    // beep each; the timer runs again while entries remain.
    void Traiter(bool fermeture);

  private:
    SessionsDistantes& m_sessions;
    ListeSessions m_liste;
    QTimer* m_timer;
};

// What a run needs from the program.
struct ContexteCommande {
    Lanceur* lanceur = nullptr;
    SessionsDistantes* sessions = nullptr;
    GestionnaireSessions* gestionnaire = nullptr;  // may be null: no tracking
    long long authentificationMode = 0;
    std::string authentificationLogin;
    std::string authentificationPassword;
    std::string dossier;
    QWidget* parent = nullptr;  // owner of the message boxes
};

// Runs `commande` on every row of `lignes`, in order. A missing closing quote or an empty program
// stops the whole run after one message; a start failure is reported for its row and the run goes
// on. Returns the number of rows on which the program was started.
int ExecuterCommande(const CommandePersonnalisee& commande,
                     const std::vector<ValeursMachine>& lignes, ContexteCommande& contexte);

}  // namespace velmora::gui
