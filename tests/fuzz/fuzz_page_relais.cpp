// Any bytes as what a browser or a users file hands the web page: a form body, a Cookie header,
// an Accept-Language header, a users file. The parsers never fail badly, escaped text never
// holds a character that could open markup, and a parsed user always has a checked name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "relay/web/Site.h"
#include "relay/web/Users.h"

using namespace velmora::relay::web;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const auto& [name, value] : ParseForm(text))
        if (name.size() > text.size() || value.size() > text.size()) std::abort();
    if (CookieValue(text, kSessionCookie).size() > text.size()) std::abort();
    ChooseLanguage(text);
    if (EscapeHtml(text).find_first_of("<>\"'") != std::string::npos) std::abort();
    for (const User& user : ParseUsers(text)) {
        if (!IsUserName(user.name) || user.hash.rfind("$argon2id$", 0) != 0) std::abort();
        for (const std::string& folder : user.folders)
            if (folder.empty() || folder.find('|') != std::string::npos) std::abort();
    }
    return 0;
}
