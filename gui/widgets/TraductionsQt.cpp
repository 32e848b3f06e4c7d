#include "gui/widgets/TraductionsQt.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>
#include <vector>

#include "common/config/Config.h"
#include "common/config/IniFile.h"
#include "common/i18n/Traduction.h"

namespace velmora::gui {

namespace {
constexpr int kFrancais = 12;

std::vector<std::unique_ptr<QTranslator>>& Installes() {
    static std::vector<std::unique_ptr<QTranslator>> traducteurs;
    return traducteurs;
}
}  // namespace

int LangueInterface(const std::string& fichierLangue) {
    if (fichierLangue.empty()) return kFrancais;
    return static_cast<int>(LireEntier(LireIni(fichierLangue, "Traduction", "CodeLangue", "0"), 0));
}

bool InstallerTraductionsQt(int langue) {
    for (auto& traducteur : Installes()) QCoreApplication::removeTranslator(traducteur.get());
    Installes().clear();
    const std::string code = i18n::CodeIsoLangue(langue & 0xFF);
    if (code.empty() || code == "en") return false;
    const QString dossier = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const QLocale locale(QString::fromStdString(code));
    // qtbase holds the texts of every widget the program uses.
    auto traducteur = std::make_unique<QTranslator>();
    if (!traducteur->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), dossier))
        return false;
    QCoreApplication::installTranslator(traducteur.get());
    Installes().push_back(std::move(traducteur));
    return true;
}

}  // namespace velmora::gui
