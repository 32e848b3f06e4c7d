// The tip-of-the-day window: shows the tips in turn, continuing after the last one shown, and
// holds the "show tips at start" option.
#pragma once

#include <QDialog>
#include <string>

#include "common/config/Config.h"

class QCheckBox;
class QPlainTextEdit;

namespace velmora::gui {

// The tips of the Translation table (TXT_ASTUCE1..TXT_ASTUCE28), without widgets.
class Astuces {
  public:
    static constexpr int kNombre = 28;
    // The tip after `derniere`: 1 after the last one, or when `derniere` is out of range.
    static int Suivante(long long derniere);
    // The heading TXT_ASTUCE_NUMERO filled with the number and the count, two line breaks, then
    // the tip's text.
    static std::string Texte(int numero);
};

class frmAstuceDuJour : public QDialog {
    Q_OBJECT
  public:
    // Shows the option of `reglages` (the program's settings, kept up to date by the window)
    // and the tip after the last one shown.
    frmAstuceDuJour(QWidget* parent, ReglagesFenetre& reglages);

    int NumeroAffiche() const { return m_numero; }
    void AstuceSuivante();
    // OK: writes the option at once when it changed, then closes.
    void Valider();

  protected:
    // Any closing records the tip on screen (in memory and in the Configuration file).
    void done(int resultat) override;
    void closeEvent(QCloseEvent* evenement) override;

  private:
    void EnregistrerNumero();
    ReglagesFenetre& m_reglages;
    QPlainTextEdit* m_texte;
    QCheckBox* m_afficher;
    int m_numero = 0;
    bool m_numeroEnregistre = false;
};

// Writes one key of section "Config" at once; a failure is told to the user. True on success.
bool EcrireReglageImmediat(QWidget* parent, const char* cle, const std::string& valeur);

}  // namespace velmora::gui
