// Command-line texts: how the programs' arguments become one text, how that text splits into a
// configuration file name and options, and how a tool's command line splits into a program and
// its arguments without a shell.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::platform {

// The program's arguments joined by single spaces, as a Windows program would have received
// them: a switch whose value holds a space or a "/" gets its value in double quotes
// (`/m:Arret le 12/05` -> `/m:"Arret le 12/05"`), any other argument holding a space is quoted
// whole.
std::string JoindreArguments(const std::vector<std::string>& arguments);

// The command-line text split into the configuration file name and the options. The name ends at
// the first "/" that starts a switch: at the start of the text or after a space, followed by one
// character and then ":", a space or the end. A name starting with a double quote runs at least
// to the closing quote. The name loses its trailing spaces and, when it both begins and ends with
// a double quote, both quotes; the options lose their leading spaces.
struct LigneSeparee {
    std::string fichier;
    std::string options;
};
LigneSeparee SeparerLigneCommande(std::string_view ligne);

// A command line split into words as a POSIX shell would, without expanding anything: blanks
// separate words; '...' is literal; "..." keeps blanks and takes \ before $ ` " \ as an escape;
// outside quotes \ escapes the next character. nullopt for an unterminated quote or a line
// without words.
std::optional<std::vector<std::string>> SeparerArguments(std::string_view ligne);

}  // namespace velmora::platform
