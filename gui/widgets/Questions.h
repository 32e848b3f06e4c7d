// Every modal question and file choice of the windowed program goes through one hook, so that
// tests answer them without a real dialog.
#pragma once

#include <functional>
#include <string>

class QWidget;

namespace velmora::gui {

// Message box styles (icon part): 16 stop, 32 question, 48 exclamation, 64 information;
// button part: 0 OK, 1 OK/Cancel, 4 Yes/No, 3 Yes/No/Cancel.
// Results: 1 OK, 2 Cancel, 6 Yes, 7 No; MsgBoxEx results negated when "Ne plus afficher" was
// ticked.
struct Question {
    enum class Genre { MsgBox, MsgBoxEx, Saisie, FichierOuvrir } genre = Genre::MsgBox;
    std::string texte;
    int style = 0;
    std::string titre;
    bool nePlusAfficher = false;  // MsgBoxEx: offer the check box
    std::string valeurInitiale;   // Saisie: initial text; FichierOuvrir: start path
    std::string filtre;           // FichierOuvrir
};
struct Reponse {
    int resultat = 1;   // button code (see above)
    std::string texte;  // Saisie: the text typed; FichierOuvrir: the path ("" = cancelled)
};

// Installs a hook that answers every question instead of a dialog (tests); nullptr restores
// the real dialogs.
void DefinirRepondeur(std::function<Reponse(const Question&)> repondeur);

// Asks the question (a real dialog, or the hook when one is installed).
Reponse Demander(QWidget* parent, const Question& question);

// Shortcuts.
int MsgBox(QWidget* parent, const std::string& texte, int style, const std::string& titre);
int MsgBoxEx(QWidget* parent, const std::string& texte, int style, const std::string& titre,
             bool nePlusAfficher);

}  // namespace velmora::gui
