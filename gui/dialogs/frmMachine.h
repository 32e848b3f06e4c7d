// Room gui/dialogs/: the dialogs: machine, action, configuration with its command and folder
// lists, custom command, message box, tips of the day and about.
//
// The machine dialog: creates or edits one machine record, checks every field before accepting,
// reformats a MAC address typed as twelve bare hexadecimal digits, and looks up the IP address
// from the name and the MAC address from the IP address.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/config/Machine.h"
#include "common/net/Operations.h"

class QLineEdit;
class QPushButton;

namespace velmora::gui {

// The fields of the dialog, in tab order.
enum class ChampMachine { Nom, AdresseIP, AdresseMAC, Masque, Port, Login, MotDePasse };

// A refused field: the message key and the field that takes the focus.
struct RefusMachine {
    std::string cleMessage;
    ChampMachine champ;
    bool operator==(const RefusMachine&) const = default;
};

// The checks of the dialog, without widgets.
class VerificationMachine {
  public:
    // The first failing check, in order: name empty, name with a forbidden character, address
    // empty, address with a forbidden character, mask, port, MAC address (upper-cased, six
    // pairs joined by ":" or "-"), password without login, login holding "|" (the field
    // separator of the stored line), password not storable (a character outside
    // Windows-1252). `saisie.motDePasse` is the password as typed (clear). Nothing when every
    // field passes; the comment is not checked.
    static std::optional<RefusMachine> Verifier(const Machine& saisie);
    // Twelve hexadecimal digits (either case) become six pairs joined by "-", case kept; any
    // other text is returned as it is.
    static std::string ReformaterMAC(const std::string& texte);
    // The text of a number box after a change: "" stays "", otherwise the decimal form of the
    // number its leading characters form ("8a" -> "8", "a" -> "0", " 12" -> "12", "-5" and
    // "1.5" stay as they are, so that the checks refuse them).
    static std::string TexteNumerique(const std::string& texte);
};

// Message keys of the checks.
inline constexpr const char* kMsgMotDePasseCaracteres = "MSG_ERREUR_MOT_DE_PASSE_CARACTERES";

class frmMachine : public QDialog {
    Q_OBJECT
  public:
    explicit frmMachine(QWidget* parent = nullptr,
                        std::shared_ptr<net::OperationsReseau> operations = nullptr);

    // Fills the boxes; the password of `machine` is the stored (encoded) one.
    void DefinirMachine(const Machine& machine);
    // The boxes as a record, the password encoded for storage.
    Machine LireMachine() const;
    // The boxes as typed, the password in clear.
    Machine Saisie() const;

    // Sets the cancel flag, shows the dialog modally; true when OK succeeded (the cancel flag is
    // then false and LireMachine gives the accepted record).
    bool Editer();

    // OK: runs the checks; a refusal shows its message and puts the focus on the field.
    // Returns true when accepted (the dialog then hides).
    bool Valider();
    // The look-up buttons.
    void ChercherAdresseIP();
    void ChercherAdresseMAC();

    QLineEdit* Zone(ChampMachine champ) const;

  protected:
    void showEvent(QShowEvent* evenement) override;
    void closeEvent(QCloseEvent* evenement) override;

  private:
    void Construire();
    void Refuser(const std::string& cleMessage, QWidget* champ);
    void AvertirSansReponse(const char* cleTexte);
    // Runs `travail` off the UI thread with the dialog disabled and the hourglass shown.
    void Patienter(const std::function<void()>& travail);

    std::shared_ptr<net::OperationsReseau> m_operations;  // the look-up buttons' probes
    QLineEdit* m_nom;
    QLineEdit* m_adresseIP;
    QLineEdit* m_adresseMAC;
    QLineEdit* m_masque;
    QLineEdit* m_port;
    QLineEdit* m_login;
    QLineEdit* m_motDePasse;
    QLineEdit* m_commentaire;
    QPushButton* m_chercherIP;
    QPushButton* m_chercherMAC;
    bool m_rechercheEnCours = false;
};

}  // namespace velmora::gui
