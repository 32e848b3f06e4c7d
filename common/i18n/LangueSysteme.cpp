// The system language, from the locale environment, as a Windows primary language number.
#include <cstdlib>
#include <string>
#include <unordered_map>

#include "common/i18n/Traduction.h"

namespace velmora::i18n {

namespace {

// ISO 639 codes -> Windows primary language identifiers (the low byte of a LANGID).
const std::unordered_map<std::string, int>& Langues() {
    static const std::unordered_map<std::string, int> table = {
        {"ar", 1},   {"bg", 2},   {"ca", 3},   {"zh", 4},   {"cs", 5},   {"da", 6},  {"de", 7},
        {"el", 8},   {"en", 9},   {"es", 10},  {"fi", 11},  {"fr", 12},  {"he", 13}, {"iw", 13},
        {"hu", 14},  {"is", 15},  {"it", 16},  {"ja", 17},  {"ko", 18},  {"nl", 19}, {"no", 20},
        {"nb", 20},  {"nn", 20},  {"pl", 21},  {"pt", 22},  {"rm", 23},  {"ro", 24}, {"ru", 25},
        {"hr", 26},  {"sr", 26},  {"bs", 26},  {"sk", 27},  {"sq", 28},  {"sv", 29}, {"th", 30},
        {"tr", 31},  {"ur", 32},  {"id", 33},  {"in", 33},  {"uk", 34},  {"be", 35}, {"sl", 36},
        {"et", 37},  {"lv", 38},  {"lt", 39},  {"tg", 40},  {"fa", 41},  {"vi", 42}, {"hy", 43},
        {"az", 44},  {"eu", 45},  {"mk", 47},  {"af", 54},  {"ka", 55},  {"fo", 56}, {"hi", 57},
        {"mt", 58},  {"se", 59},  {"ga", 60},  {"ms", 62},  {"kk", 63},  {"ky", 64}, {"sw", 65},
        {"tk", 66},  {"uz", 67},  {"tt", 68},  {"bn", 69},  {"pa", 70},  {"gu", 71}, {"ta", 73},
        {"te", 74},  {"kn", 75},  {"ml", 76},  {"mr", 78},  {"mn", 80},  {"cy", 82}, {"km", 83},
        {"lo", 84},  {"gl", 86},  {"si", 91},  {"am", 94},  {"ne", 97},  {"fy", 98}, {"ps", 99},
        {"lb", 110}, {"br", 126}, {"oc", 130}, {"co", 131}, {"gd", 145},
    };
    return table;
}

}  // namespace

int LangueDepuisLocale(std::string_view locale) {
    // "ll_CC.charset@modifier": the language is what comes before "_", "." or "@".
    const std::string_view langue = locale.substr(0, locale.find_first_of("_.@"));
    // The C locale (servers, cron jobs) names no language: the built-in texts are kept rather
    // than switching a French installation to English behind the user's back.
    if (langue == "C" || langue == "POSIX") return 0;
    std::string code;
    for (char c : langue) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        code.push_back(c);
    }
    auto it = Langues().find(code);
    return it == Langues().end() ? 0 : it->second;
}

std::string CodeIsoLangue(int numero) {
    // Several codes share a number (he/iw, nb/nn/no, hr/sr/bs, id/in): the current one wins.
    static const std::unordered_map<int, std::string> preferes = {
        {13, "he"}, {20, "nb"}, {26, "hr"}, {33, "id"}};
    if (auto it = preferes.find(numero); it != preferes.end()) return it->second;
    for (const auto& [code, valeur] : Langues())
        if (valeur == numero) return code;
    return "";
}

int LangueSysteme() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* valeur = std::getenv(variable);
        if (valeur != nullptr && *valeur != '\0') return LangueDepuisLocale(valeur);
    }
    return LangueDepuisLocale("C");
}

}  // namespace velmora::i18n
