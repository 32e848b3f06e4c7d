#include "common/net/Valeurs.h"

#include <algorithm>

#include "common/text/Commun.h"

namespace velmora::net {

bool AdresseSansOptionNiBlanc(std::string_view adresse) {
    if (!adresse.empty() && adresse.front() == '-') return false;
    return std::none_of(adresse.begin(), adresse.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u <= ' ' || u == 0x7F;
    });
}

bool EstNomHote(std::string_view nom) {
    if (nom.empty() || nom.front() == '-' || nom.size() > 253) return false;
    return std::all_of(nom.begin(), nom.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '.' || c == '_';
    });
}

bool EstNomMachineValide(std::string_view nom) {
    if (nom.empty() || !EstUtf8Valide(nom) || ContientUnDe(nom, kCaracteresInterdits)) return false;
    return std::none_of(nom.begin(), nom.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < ' ' || u == 0x7F;
    });
}

}  // namespace velmora::net
