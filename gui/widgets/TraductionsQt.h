// Qt's own texts (standard buttons of the message boxes, input box, open-file dialog) in the
// interface language, from the translations installed with Qt.
#pragma once

#include <string>

namespace velmora::gui {

// The Windows primary language number of the interface: 12 (French) for the built-in texts,
// else the "CodeLangue" of the language file `fichierLangue` (0 when it names none).
int LangueInterface(const std::string& fichierLangue);

// Replaces the Qt translations installed by a previous call with those of `langue` (a Windows
// primary language number). English, an unknown language or a missing translation leave Qt's
// built-in English texts. True when a translation was installed.
bool InstallerTraductionsQt(int langue);

}  // namespace velmora::gui
