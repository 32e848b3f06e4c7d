// Translation of a window from the language file, control by control, keyed by object names.
#pragma once

#include <string>

class QWidget;

namespace velmora::gui {

// Translates `fenetre` with the language file of the program (Prog().fichierLangue); does
// nothing for French (empty path) or when the file does not exist.
void TraduireFeuille(QWidget* fenetre);

// The same with a given language file. Keys are object names:
// - window title: the window's name;
// - labels, buttons, check boxes, option buttons, menu entries (QAction, QMenu titles):
//   their name; a control array element is named "name(index)" and looked up so;
// - frames (QGroupBox): their name; the caption is written with one space on each side
//   (the current caption, trimmed, is the default, so a missing key never adds spaces);
// - text boxes: their name, for their text;
// - tab strips (QTabBar, QTabWidget): "name(i)" for tab i counted from 1.
// Controls without a name, Qt's inner controls ("qt_...") and other kinds are left alone; a
// control's text is only set when the translation differs (a picture label keeps its picture).
void TraduireFeuille(QWidget* fenetre, const std::string& fichierLangue);

}  // namespace velmora::gui
