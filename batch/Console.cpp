#include "batch/Console.h"

#include "common/i18n/Traduction.h"
#include "common/text/Commun.h"

namespace velmora::batch {

void Console::EcrireToujours(std::string_view texte) {
    // Text from outside (machine names, a relay's answer, a tool's output) must not drive the
    // terminal: control characters other than line breaks and tabs are left out.
    const std::string propre = SansControles(texte);
    m_sortie.write(propre.data(), static_cast<std::streamsize>(propre.size()));
    m_sortie.flush();
}

void Console::EcrireConsole(std::string_view texte) {
    if (!m_silencieux) EcrireToujours(texte);
}

void Console::TerminerBatch(int code, std::string_view texte, bool continuer) {
    if (code == 1 || code == 2) {
        EcrireToujours(texte);
    } else {
        EcrireConsole(texte);
    }
    if (continuer) return;
    if (code == 1 || code == 2) {
        EcrireToujours(kFinLigne);
    } else {
        EcrireConsole(kFinLigne);
    }
    throw FinBatch{code};
}

std::string Texte(std::string_view cle, const std::vector<std::string>& valeurs) {
    std::string texte = i18n::Tr(cle);
    if (texte.empty()) {
        for (const auto& [code, defaut] : i18n::TextesIntegres(i18n::ListeTextes::Console)) {
            if (Egal(code, cle)) {
                texte = i18n::ConvertirSautsDeLigne(defaut);
                break;
            }
        }
    }
    return valeurs.empty() ? texte : i18n::RemplacerVariables(texte, valeurs);
}

std::string SansEsperluette(std::string_view libelle) { return Remplacer(libelle, "&", ""); }

}  // namespace velmora::batch
