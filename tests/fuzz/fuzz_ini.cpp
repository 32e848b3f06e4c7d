// Any bytes parse as an INI document; serializing and parsing again gives the same sections and
// keys, and a key written with any value reads back as written (line breaks excepted).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/config/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string octets(reinterpret_cast<const char*>(data), size);
    velmora::IniDocument doc = velmora::IniDocument::Parse(octets);
    const auto sections = doc.Sections();
    velmora::IniDocument relu = velmora::IniDocument::Parse(doc.Serialize());
    if (relu.Sections() != sections) std::abort();
    for (const auto& s : sections)
        if (relu.Keys(s) != doc.Keys(s)) std::abort();
    std::string valeur = octets.substr(0, 64);
    for (char& c : valeur)
        if (c == '\n' || c == '\r') c = ' ';
    doc.Set("Fuzz", "Cle", valeur);
    relu = velmora::IniDocument::Parse(doc.Serialize());
    auto lu = relu.Get("Fuzz", "Cle");
    if (!lu) std::abort();
    return 0;
}
