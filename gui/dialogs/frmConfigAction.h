// The action dialog: chooses the remote power action to run on the selected machines and, for
// a restart or a shutdown, the delay, the message for the remote user and the force flag. It
// fills the program-wide Action request (Etat().action).
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "gui/widgets/Etat.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace velmora::gui {

// One entry of the action list: its text key and its action code.
struct ElementAction {
    const char* cle;
    int32_t code;
};

// A refusal of the dialog: the message key and the control that takes the focus.
struct RefusAction {
    enum class Champ { Action, Delai };
    std::string cleMessage;
    Champ champ;
    bool operator==(const RefusAction&) const = default;
};

// The rules of the dialog, without widgets.
class VerificationAction {
  public:
    // The eight entries of the list, in order: restart, shutdown, then the six WMI actions.
    static const std::array<ElementAction, 8>& Elements();
    // Position of the first entry with this code, -1 when none (e.g. -1 or a wake code).
    static int PositionDuCode(int32_t code);
    // Delay, message and force are offered for nothing selected (-1) and positions 0 and 1.
    static bool ChampsDelaiActifs(int position);
    // The OK checks: nothing selected -> MSG_ERREUR_OMISSION_ACTION; delay box enabled and not
    // made of decimal digits only, or above 32767 (it is held as a 16-bit number) ->
    // MSG_ERREUR_DELAI. Nothing when accepted.
    static std::optional<RefusAction> Verifier(int position, bool delaiActif,
                                               const std::string& delai);
    // The request built from the configured defaults for `code` (popup menu without the
    // dialog); a configured delay outside 0..32767 is brought into that range.
    static RequeteAction RequeteParDefaut(int32_t code);
};

class frmConfigAction : public QDialog {
    Q_OBJECT
  public:
    // Builds the dialog from the configured defaults, preselecting Etat().action.code, and sets
    // the cancel flag.
    explicit frmConfigAction(QWidget* parent = nullptr);

    // Shows the dialog modally; true when OK succeeded (Etat().action filled, cancel flag
    // false).
    bool Editer();
    // OK: true when accepted (the request is filled and the dialog closes); otherwise the
    // message is shown and the focus goes to the faulty control.
    bool Valider();
    // Whether the WMI actions are offered (always true on this platform; tests change it).
    void DefinirEstNT(bool estNT) { m_estNT = estNT; }

  protected:
    void showEvent(QShowEvent* evenement) override;

  private:
    void Construire();
    void ActionChoisie(int position);

    QComboBox* m_action;
    QLabel* m_lblDelai;
    QLineEdit* m_delai;
    QLabel* m_lblMessage;
    QPlainTextEdit* m_message;
    QCheckBox* m_forcer;
    bool m_estNT;
};

}  // namespace velmora::gui
