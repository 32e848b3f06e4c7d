// Checks and field filters of the configuration dialog and of the custom command dialog, kept
// apart from the widgets so that tests drive them directly.
#pragma once

#include <optional>
#include <string>

namespace velmora::gui {

// The fields that the OK checks of the configuration dialog look at.
struct ChampsConfiguration {
    std::string portParDefautWOL;
    std::string masqueParDefaut;
    int repliMode = 0;
    std::string repliAdresse;
    std::string portParDefautWOW;
    int proxyType = 0;
    std::string proxyAdresse;
    std::string proxyPort;
    int authentificationMode = 0;
    std::string authentificationLogin;
};

// The first failing check: the tab to show (1-based), the object name of the field and the
// message key.
struct RefusConfiguration {
    int onglet = 0;
    std::string champ;
    std::string cleMessage;
};
std::optional<RefusConfiguration> VerifierConfiguration(const ChampsConfiguration& champs);

// A port field: digits only, 0 to 65535.
bool PortValide(const std::string& texte);

// The text a numeric box shows for what was typed: the decimal value of its leading number
// characters (spaces, a sign, digits); "0" when there are none.
std::string FiltrerNombre(const std::string& texte);

// The custom command dialog's name rules: "-" alone, or a name ending in "\-", is a separator.
bool EstSeparateur(const std::string& nom);
// The first failing check of that dialog's OK: the object name of the field and the message key.
struct RefusCommande {
    std::string champ;
    std::string cleMessage;
};
std::optional<RefusCommande> VerifierCommande(const std::string& nom, const std::string& ligne);

}  // namespace velmora::gui
