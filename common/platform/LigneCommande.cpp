#include "common/platform/LigneCommande.h"

namespace velmora::platform {
namespace {

bool EstBlanc(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// True when the "/" at `i` starts a switch.
bool DebutOption(std::string_view ligne, size_t i) {
    if (ligne[i] != '/' || (i > 0 && ligne[i - 1] != ' ')) return false;
    if (i + 1 >= ligne.size()) return false;
    size_t apres = i + 2;
    return apres == ligne.size() || ligne[apres] == ':' || ligne[apres] == ' ';
}

}  // namespace

std::string JoindreArguments(const std::vector<std::string>& arguments) {
    std::string texte;
    for (const auto& a : arguments) {
        if (!texte.empty()) texte += ' ';
        bool option = a.size() >= 3 && a[0] == '/' && a[2] == ':';
        if (option) {
            std::string_view valeur = std::string_view(a).substr(3);
            bool aProteger = valeur.find_first_of(" /") != std::string_view::npos;
            texte += aProteger ? a.substr(0, 3) + '"' + std::string(valeur) + '"' : a;
        } else if (a.find(' ') != std::string::npos) {
            texte += '"' + a + '"';
        } else {
            texte += a;
        }
    }
    return texte;
}

LigneSeparee SeparerLigneCommande(std::string_view ligne) {
    size_t depart = 0;
    if (!ligne.empty() && ligne.front() == '"') {
        size_t fin = ligne.find('"', 1);
        depart = fin == std::string_view::npos ? ligne.size() : fin + 1;
    }
    size_t pos = std::string_view::npos;
    for (size_t i = depart; i < ligne.size(); ++i) {
        if (DebutOption(ligne, i)) {
            pos = i;
            break;
        }
    }
    LigneSeparee r;
    std::string_view fichier = ligne.substr(0, pos);
    while (!fichier.empty() && fichier.back() == ' ') fichier.remove_suffix(1);
    if (pos != std::string_view::npos) {
        std::string_view options = ligne.substr(pos);
        while (!options.empty() && options.front() == ' ') options.remove_prefix(1);
        r.options = options;
    }
    if (fichier.size() >= 2 && fichier.front() == '"' && fichier.back() == '"') {
        fichier = fichier.substr(1, fichier.size() - 2);
    }
    r.fichier = fichier;
    return r;
}

std::optional<std::vector<std::string>> SeparerArguments(std::string_view ligne) {
    std::vector<std::string> mots;
    std::string mot;
    bool dansMot = false;
    for (size_t i = 0; i < ligne.size(); ++i) {
        char c = ligne[i];
        if (EstBlanc(c)) {
            if (dansMot) mots.push_back(std::move(mot));
            mot.clear();
            dansMot = false;
            continue;
        }
        dansMot = true;
        if (c == '\\') {
            if (i + 1 < ligne.size()) mot += ligne[++i];
        } else if (c == '\'') {
            size_t fin = ligne.find('\'', i + 1);
            if (fin == std::string_view::npos) return std::nullopt;
            mot.append(ligne.substr(i + 1, fin - i - 1));
            i = fin;
        } else if (c == '"') {
            for (++i;; ++i) {
                if (i >= ligne.size()) return std::nullopt;
                char d = ligne[i];
                if (d == '"') break;
                if (d == '\\' && i + 1 < ligne.size() &&
                    std::string_view("$`\"\\").find(ligne[i + 1]) != std::string_view::npos) {
                    d = ligne[++i];
                }
                mot += d;
            }
        } else {
            mot += c;
        }
    }
    if (dansMot) mots.push_back(std::move(mot));
    if (mots.empty()) return std::nullopt;
    return mots;
}

}  // namespace velmora::platform
