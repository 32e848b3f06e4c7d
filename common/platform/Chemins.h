// Path routines of the Configuration file and the tools, with Linux paths: "/" separates
// folders. The program folder, home and environment come from platform::SystemeCourant().
#pragma once

#include <string>

namespace velmora {

// Identifiers of DossierSpecial.
inline constexpr int kDossierDonneesApplication = 26;  // $XDG_CONFIG_HOME or ~/.config
inline constexpr int kDossierProgrammes = 38;          // "/usr/" (see ProgrammeInstalle)
// Attribute of FichierExiste asking for a folder.
inline constexpr int kAttributDossier = 16;

// Attributes 0: true when `chemin` names an existing file that is not a folder; attributes 16:
// true when it names an existing folder. Any error gives false.
bool FichierExiste(const std::string& chemin, int attributs = 0);

// `chemin` with "/" appended unless it already ends with one.
std::string AjouterAntislash(const std::string& chemin);

// A name made absolute: "/..." is kept; "~" and "~/..." are taken in the home folder; ".",
// "..", "./...", "../..." and any other relative path that holds a "/" in the current folder; a
// bare name in the program folder. The empty name stays empty.
std::string CheminAbsolu(const std::string& nom);

// `chemin` without the leading program folder and "/", when it begins with them; otherwise
// unchanged. Linux names are case-sensitive, so the comparison is too.
std::string CheminRelatif(const std::string& chemin);

// 26: $XDG_CONFIG_HOME when it is an absolute path, else the home folder + "/.config";
// 38: "/usr/". Without trailing "/" for 26; "" for any other identifier. Creates nothing.
std::string DossierSpecial(int dossier);

// The folder of the running program, without trailing "/".
std::string DossierProgramme();

// True when `dossier` lies under /usr/ or /opt/: the program was installed by a package or by
// `make install` rather than run from where it was built. Pure.
bool EstDossierInstalle(const std::string& dossier);
// EstDossierInstalle(DossierProgramme()).
bool ProgrammeInstalle();

}  // namespace velmora
