// The visible widget tree, written to a file for the checks that start the program as a user
// does and look at what is on the screen.
#pragma once

#include <QString>

class QWidget;

namespace velmora::gui {

// Every visible top-level window with its visible widgets, as JSON: screen and available
// geometry, then for each window its frame and client geometry in screen pixels, its state, and
// each visible widget's class, object name, text, geometry, part left visible by its ancestors
// and minimum size (tab captions, column headers and menu items with their own geometry).
QString DecrireArbreVisible();

// When the environment variable VELMORA_ARBRE_VISIBLE names a file: once the main window is on
// the screen, writes the tree there, then rewrites it whenever it changes (every 200 ms), so
// that a check can follow the windows opened afterwards. Nothing otherwise.
void InstallerArbreVisible(QWidget* fenetrePrincipale);

}  // namespace velmora::gui
