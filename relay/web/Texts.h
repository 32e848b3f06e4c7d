// The texts of the web page in the two languages it speaks: French (built in) and English
// (lang/English.lng), chosen per request by the browser's Accept-Language.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velmora::relay::web {

enum class Language { French, English };

// The language of an Accept-Language header: the one of French and English with the higher
// weight ("q"), the earlier on a tie; French when neither is listed.
Language ChooseLanguage(std::string_view acceptLanguage);
// "fr" or "en".
const char* LanguageCode(Language language);

class Texts {
  public:
    // `englishFile`: the language file; "" or unreadable gives the French texts in English too.
    explicit Texts(const std::string& englishFile);
    // The text of `key` with its "%v" filled; the key itself when unknown (a programming error
    // that shows on the page rather than an empty label).
    std::string Get(Language language, std::string_view key,
                    const std::vector<std::string>& values = {}) const;

  private:
    std::unordered_map<std::string, std::string> m_french, m_english;
};

// The English language file where the relay finds it: beside the program when it runs from its
// build folder, else in the installed data folder.
std::string DefaultEnglishFile();

}  // namespace velmora::relay::web
