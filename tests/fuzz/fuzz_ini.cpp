// Any bytes parse as an INI document; serializing and parsing again gives the same sections and
// keys, and a key written with any text value reads back identical, blanks at its edges and
// enclosing double quotes included (line breaks excepted: they become spaces when written).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/config/IniFile.h"
#include "common/text/Commun.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string octets(reinterpret_cast<const char*>(data), size);
    velmora::IniDocument doc = velmora::IniDocument::Parse(octets);
    const auto sections = doc.Sections();
    velmora::IniDocument relu = velmora::IniDocument::Parse(doc.Serialize());
    if (relu.Sections() != sections) std::abort();
    for (const auto& s : sections)
        if (relu.Keys(s) != doc.Keys(s)) std::abort();
    // Values are text: bytes that are not UTF-8 are taken as Windows-1252 first.
    std::string valeur = octets.substr(0, 64);
    if (!velmora::EstUtf8Valide(valeur)) valeur = velmora::DepuisWindows1252(valeur);
    for (char& c : valeur)
        if (c == '\n' || c == '\r') c = ' ';
    doc.Set("Fuzz", "Cle", valeur);
    if (doc.Get("Fuzz", "Cle") != valeur) std::abort();
    relu = velmora::IniDocument::Parse(doc.Serialize());
    if (relu.Get("Fuzz", "Cle") != valeur) std::abort();
    return 0;
}
