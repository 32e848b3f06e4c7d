// Room gui/run/: runs of actions over machines: the action run and its menu, the progress
// window, custom commands and the MAC address update. They call the network through
// net::OperationsReseau (common/net/Operations.h).
//
// The action run: one action (wake, wake via Internet, remote restart/shutdown, WMI action,
// cancel) over the selected rows of the machine list, one machine after the other, with its
// confirmation, its log in the progress window and the status of each row.
//
// The run knows the list and the progress window only through the two interfaces below, so that
// tests drive it with fakes. Network operations run off the UI thread while window events keep
// running, so the stop button and Escape work during an operation and during a pause.
#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "common/i18n/Traduction.h"

#include "common/config/Machine.h"
#include "common/net/Operations.h"

class QWidget;

namespace velmora::gui {

// The log of one run (the progress window).
class JournalAction {
  public:
    virtual ~JournalAction() = default;
    // Shows the window modeless with its "running" captions.
    virtual void Afficher() = 0;
    // Appends a line and makes it the selected one.
    virtual void Ajouter(const std::string& ligne) = 0;
    // End of the run: the window caption becomes `titre`, the last line is selected then the
    // selection cleared, the stop button reads "&Fermer" and takes the focus; then the window is
    // closed (`fermer`) or shown modally until the user closes it.
    virtual void Terminer(const std::string& titre, bool fermer) = 0;
};

// The rows of the run and the main window around them.
class CibleAction {
  public:
    virtual ~CibleAction() = default;
    virtual QWidget* Fenetre() = 0;  // parent of the message boxes (may be null)
    virtual int NombreLignes() const = 0;
    virtual bool EstSelectionnee(int ligne) const = 0;
    virtual int NombreSelectionnees() const = 0;
    virtual Machine LireMachine(int ligne) const = 0;  // password in its stored form
    virtual void DefinirIcone(int ligne, const std::string& cle) = 0;
    // A restart or shutdown was accepted: the row is pending until now + `delai` seconds and the
    // blinking timer runs.
    virtual void DebutAttente(int ligne, int delai) = 0;
    // A cancel succeeded: the row is no longer pending, its icon is "Vert", the list has focus.
    virtual void FinAttente(int ligne) = 0;
    virtual void AfficherInfo(const std::string& texte) = 0;
    // Start of a run: hourglass, main window disabled.
    virtual void DebutTraitement() = 0;
    // Hourglass on (true) or normal pointer (false).
    virtual void Sablier(bool actif) = 0;
    // Wake runs: starts the 3 s timer that hides the information text (at the end of the run,
    // before the progress window is shown modally).
    virtual void DemarrerEffacementInfo() = 0;
    // End of a run: `effacerInfo` starts the 3 s timer that hides the information text;
    // `actualiser` calls ActualiserBoutons; the main window is enabled again and focused.
    virtual void FinTraitement(bool effacerInfo, bool actualiser) = 0;
    // A new progress window for this run.
    virtual std::unique_ptr<JournalAction> CreerJournal() = 0;
};

// What a run did (for the caller and the tests).
struct BilanAction {
    bool execute = false;  // the run went past the confirmation
    bool journal = false;  // the progress window was used
    bool arrete = false;   // stopped by the user
    bool arreteSuiteErreur = false;
    bool erreur = false;
    std::string titre;  // final caption of the progress window
};

class ExecutionAction {
  public:
    ExecutionAction(CibleAction& cible, net::OperationsReseau& operations);

    // Runs Etat().action.code on the selected rows (ExecuterAction). Settings come from
    // Etat().reglages and Prog().reglages; the stop request is Etat().annulation.
    BilanAction Executer();
    // 1 to go on; anything else: the user declined (or nothing to ask: 1).
    int ConfirmerAction();

  private:
    struct Ligne;
    void TraiterMachine(int ligne, BilanAction& bilan, bool& quitter);
    void Reveiller(int ligne, const Ligne& valeurs);
    void ReveillerViaInternet(int ligne, const Ligne& valeurs);
    // 0 done, 1 no answer, 2 refused (with `erreur`).
    int AgirADistance(int ligne, const Ligne& valeurs, std::string& erreur);
    bool Attendre(long long pauseMs);  // false when the stop request ended the pause
    void Journaliser(const std::string& ligne);
    // A failure of one machine: a line of the journal, or a message box when there is none.
    void SignalerEchec(const Ligne& valeurs, const std::string& erreur);

    CibleAction& m_cible;
    net::OperationsReseau& m_operations;
    std::unique_ptr<JournalAction> m_journal;
    int m_code = -1;
    bool m_adressePriveeVue = false;
};

// One entry of the actions popup menu: an item (id, caption, greyed), a separator (id 0,
// caption "-") or a submenu (its entries in `sousMenu`).
struct EntreeMenu {
    int id = 0;
    std::string libelle;
    bool grise = false;
    std::vector<EntreeMenu> sousMenu;
    bool operator==(const EntreeMenu&) const = default;
};
// Where the actions menu was asked for.
enum class SourceMenu { Liste, BoutonReveiller, BoutonAgir };
// The actions menu: wake items, restart/shutdown with their suffix (the default delay when the
// action dialog is skipped), the WMI items, the cancel item (greyed unless `annulationPossible`
// or `forcerAnnulation`), and for the list's menu the custom commands (id 100 + position,
// "Sub\\Item" names grouped in submenus of consecutive commands).
std::vector<EntreeMenu> ConstruireMenuActions(SourceMenu source, bool annulationPossible,
                                              bool forcerAnnulation, bool zapperConfigAction,
                                              long long delaiParDefaut,
                                              const std::vector<std::string>& commandes,
                                              bool windowsNT = true);

// The verb of the confirmation question of an action code ("" for the wakes and the cancel).
std::string VerbeAction(int code);
using i18n::CleLibelleAction;  // the menu caption key of an action code

// Lets window events run until `fini` returns true (it is polled every few milliseconds).
void TraiterEvenementsPendant(const std::function<bool()>& fini);
// Runs `travail` on a worker thread while window events keep running; returns its result.
template <typename F>
auto SansBloquer(F&& travail) -> decltype(travail()) {
    auto resultat = std::async(std::launch::async, std::forward<F>(travail));
    TraiterEvenementsPendant([&resultat] {
        return resultat.wait_for(std::chrono::milliseconds(2)) == std::future_status::ready;
    });
    return resultat.get();
}
}  // namespace velmora::gui
