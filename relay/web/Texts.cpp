// Choosing the page's language and reading its texts.
#include "relay/web/Texts.h"

#include <cstdlib>

#include "common/i18n/Traduction.h"
#include "common/platform/Chemins.h"
#include "common/text/Commun.h"

namespace velmora::relay::web {

namespace {

// The keys the page borrows from the console program: the texts of its wake-and-wait.
const char* const kBorrowed[] = {"TXT_MACHINE_PRETE", "TXT_MACHINE_PAS_PRETE"};

}  // namespace

Language ChooseLanguage(std::string_view header) {
    double best = 0;
    Language chosen = Language::French;
    for (const std::string& item : ExtraireChamp(header, ",")) {
        std::string tag = Minuscules(item);
        double q = 1;
        const size_t semicolon = tag.find(';');
        if (semicolon != std::string::npos) {
            const size_t qAt = tag.find("q=", semicolon);
            if (qAt != std::string::npos) q = std::strtod(tag.c_str() + qAt + 2, nullptr);
            tag.erase(semicolon);
        }
        while (!tag.empty() && tag.front() == ' ') tag.erase(0, 1);
        while (!tag.empty() && tag.back() == ' ') tag.pop_back();
        const std::string primary = tag.substr(0, tag.find('-'));
        if ((primary != "fr" && primary != "en") || !(q > best)) continue;
        best = q;
        chosen = primary == "fr" ? Language::French : Language::English;
    }
    return chosen;
}

const char* LanguageCode(Language language) { return language == Language::French ? "fr" : "en"; }

Texts::Texts(const std::string& englishFile) {
    const i18n::FichierLangue english(englishFile);
    const auto add = [&](const char* key, const char* french) {
        m_french[key] = i18n::ConvertirSautsDeLigne(french);
        m_english[key] = english.Lire(key, french);
    };
    for (const auto& [key, french] : i18n::TextesPageWeb()) add(key, french);
    for (const char* key : kBorrowed) {
        for (auto list : {i18n::ListeTextes::Console, i18n::ListeTextes::Fenetre})
            for (const auto& [k, french] : i18n::TextesIntegres(list))
                if (std::string_view(k) == key && !m_french.count(key)) add(k, french);
    }
}

std::string Texts::Get(Language language, std::string_view key,
                       const std::vector<std::string>& values) const {
    const auto& table = language == Language::French ? m_french : m_english;
    const auto found = table.find(std::string(key));
    if (found == table.end()) return std::string(key);
    return values.empty() ? found->second : i18n::RemplacerVariables(found->second, values);
}

std::string DefaultEnglishFile() {
    const std::string beside = DossierProgramme() + "/English.lng";
    if (!ProgrammeInstalle() && FichierExiste(beside)) return beside;
    return std::string(VELMORA_DATA_DIR) + "/English.lng";
}

}  // namespace velmora::relay::web
