#include "common/config/Config.h"

#include <algorithm>
#include <cstdlib>

#include "common/config/IniFile.h"
#include "common/text/Commun.h"

namespace velmora {

namespace {

// The most custom commands read back; a damaged count cannot make the start crawl.
constexpr long long kMaxCommandes = 1000;

// Reads the keys of one section of a parsed file.
class Lecteur {
  public:
    Lecteur(const IniDocument& doc, const char* section) : m_doc(doc), m_section(section) {}
    std::optional<std::string> Brut(const char* cle) const { return m_doc.Get(m_section, cle); }
    std::string Texte(const char* cle, const std::string& defaut) const {
        return Brut(cle).value_or(defaut);
    }
    long long Entier(const char* cle, long long defaut) const {
        auto v = Brut(cle);
        return v ? LireEntier(*v, defaut) : defaut;
    }
    bool Booleen(const char* cle, bool defaut) const {
        auto v = Brut(cle);
        return v ? LireBooleen(*v, defaut) : defaut;
    }

  private:
    const IniDocument& m_doc;
    const char* m_section;
};

// A number that may hold a fraction ("1.5" or "1,5"); nullopt when the text is not one.
std::optional<double> LireDecimal(std::string texte) {
    std::replace(texte.begin(), texte.end(), ',', '.');
    const char* debut = texte.c_str();
    char* fin = nullptr;
    double v = std::strtod(debut, &fin);
    if (fin == debut) return std::nullopt;
    while (*fin == ' ' || *fin == '\t') ++fin;
    if (*fin != '\0' || v != v || v > 1e12 || v < -1e12) return std::nullopt;
    return v;
}

}  // namespace

std::string TexteBooleen(bool valeur) { return valeur ? "-1" : "0"; }

bool LireBooleen(std::string_view texte, bool defaut) {
    auto n = LireNombre(texte);
    return n ? *n != 0 : defaut;
}

bool LireBooleenTexte(std::string_view texte, bool defaut) {
    const std::string m = Majuscules(std::string(texte));
    if (m.find_first_not_of(' ') != std::string::npos) {
        const std::string mot = m.substr(m.find_first_not_of(' '),
                                         m.find_last_not_of(' ') - m.find_first_not_of(' ') + 1);
        if (mot == "TRUE" || mot == "VRAI") return true;
        if (mot == "FALSE" || mot == "FAUX") return false;
    }
    return LireBooleen(texte, defaut);
}

long long LireEntier(std::string_view texte, long long defaut) {
    return LireNombre(texte).value_or(defaut);
}

CommandePersonnalisee LireCommande(std::string_view valeur) {
    CommandePersonnalisee c;
    c.libelle = ExtraireChamp(valeur, "|", 0);
    c.duree = LireEntier(ExtraireChamp(valeur, "|", 1), -1);
    c.ligne = ExtraireChamp(valeur, "|", 2, Comparaison::Binaire, true);
    return c;
}

std::string TexteCommande(const CommandePersonnalisee& c) {
    return c.libelle + "|" + std::to_string(c.duree) + "|" + c.ligne;
}

ReglagesDemarrage ReglagesDemarrage::Lire(const std::string& fichier, bool configNouvelle) {
    const auto partage = PartagerDocumentIni(fichier);
    const IniDocument& doc = *partage;
    const Lecteur l(doc, cle::Config);
    ReglagesDemarrage r;
    r.langue = l.Texte(cle::Langue, "");
    r.tempoPing = l.Entier(cle::TempoPing, 300);
    r.masqueParDefaut = l.Texte(cle::MasqueParDefaut, r.masqueParDefaut);
    r.repliMode = l.Entier(cle::RepliMode, 0);
    r.repliAdresse = l.Texte(cle::RepliAdresse, r.repliAdresse);
    // The older single port is only the default of the two newer ones.
    const long long port = l.Entier(cle::PortParDefaut, 9);
    r.portParDefautWOL = l.Entier(cle::PortParDefautWOL, port);
    r.portParDefautWOW = l.Entier(cle::PortParDefautWOW, port);
    r.delaiAvantRedemarrage = l.Entier(cle::DelaiAvantRedemarrage, 60);
    r.messageParDefaut = l.Texte(cle::MessageParDefaut, "");
    r.forcerParDefaut = l.Booleen(cle::ForcerParDefaut, false);
    // The older pause was in seconds; a new file keeps its value as it stands.
    const double ancienDelai = LireDecimal(l.Texte(cle::DelaiEntreDeuxReveils, "1")).value_or(1.0);
    const long long delaiDefaut =
        static_cast<long long>(configNouvelle ? ancienDelai : ancienDelai * 1000.0);
    r.delaiEntreDeuxReveilsWOL = l.Entier(cle::DelaiEntreDeuxReveilsWOL, delaiDefaut);
    r.delaiEntreDeuxReveilsWOW = l.Entier(cle::DelaiEntreDeuxReveilsWOW, delaiDefaut);
    r.scriptWOWParDefaut = LireBooleenTexte(l.Texte(cle::ScriptWOWParDefaut, "False"), false);
    r.scriptWOWUrl = l.Texte(cle::ScriptWOWUrl, r.scriptWOWUrl);
    r.wowSansConfirmation = l.Booleen(cle::WOWSansConfirmation, false);
    r.proxyType = l.Entier(cle::ProxyType, 1);
    if (r.proxyType < 0 || r.proxyType > 2) r.proxyType = 1;
    r.proxyAdresse = l.Texte(cle::ProxyAdresse, "");
    r.proxyPort = l.Texte(cle::ProxyPort, "");
    r.proxyLogin = l.Texte(cle::ProxyLogin, "");
    r.proxyPassword = DecoderConfig(l.Texte(cle::ProxyPassword, ""));
    r.proxyAccesDirect = l.Booleen(cle::ProxyAccesDirect, false);
    r.authentificationMode = l.Entier(cle::AuthentificationMode, 0);
    r.authentificationLogin = l.Texte(cle::AuthentificationLogin, "");
    r.authentificationPassword = DecoderConfig(l.Texte(cle::AuthentificationPassword, ""));
    r.nbMachines = l.Entier(cle::NbMachines, -1);
    return r;
}

ReglagesFenetre ReglagesFenetre::Lire(const std::string& fichier, const std::string& libelleBureau,
                                      const std::string& libelleExplorer,
                                      const std::string& fichierImportDefaut) {
    const auto partage = PartagerDocumentIni(fichier);
    const IniDocument& doc = *partage;
    const Lecteur l(doc, cle::Config);
    ReglagesFenetre r;
    r.memoriserTaille = l.Booleen(cle::FenetreMemoriserTaille, false);
    r.memoriserPosition = l.Booleen(cle::FenetreMemoriserPosition, false);
    r.etat = l.Entier(cle::FenetreEtat, 0);
    r.hauteur = l.Entier(cle::FenetreHauteur, 7300);
    r.largeur = l.Entier(cle::FenetreLargeur, 11400);
    r.gauche = l.Entier(cle::FenetreGauche, 1000);
    r.haut = l.Entier(cle::FenetreHaut, 1000);
    r.colonnes = l.Texte(cle::FenetreColonnes, "");
    r.minimiserSystray = l.Booleen(cle::MinimiserSystray, false);
    r.toujoursAuDessus = l.Booleen(cle::ToujoursAuDessus, false);
    r.confirmation = l.Booleen(cle::Confirmation, true);
    r.confirmationSiPlusieurs = l.Booleen(cle::ConfirmationSiPlusieurs, false);
    r.zapperConfigAction = l.Booleen(cle::ZapperConfigAction, false);
    r.nePasStopper = l.Booleen(cle::NePasStopper, false);
    r.fenetreTraitementMultiselection = l.Booleen(cle::FenetreTraitementMultiselection, true);
    r.fenetreTraitementFermer = l.Booleen(cle::FenetreTraitementFermer, false);
    r.mettreEnRougeReveil = l.Booleen(cle::MettreEnRougeReveil, false);
    r.actualiserEtat = std::clamp(l.Entier(cle::ActualiserEtat, 0), 0LL, kActualiserEtatMax);
    r.astucesAfficher = l.Booleen(cle::AstucesAfficher, true);
    r.astucesDerniere = l.Entier(cle::AstucesDerniere, 0);
    r.fichierImport = l.Texte(cle::FichierImport, fichierImportDefaut);
    r.dernierDossierOuvert = l.Texte(cle::DernierDossierOuvert, "");
    r.listeDossiers = l.Texte(cle::ListeDossiers, "");
    r.tri = l.Texte(cle::Tri, "");
    const long long n = l.Entier(cle::NbCommandes, -1);
    if (n < 0) {
        r.commandes = {{libelleBureau, -1, "xfreerdp /v:%ip%"},
                       {libelleExplorer, 60, "xdg-open smb://%ip%/"}};
    } else {
        for (long long k = 1; k <= std::min(n, kMaxCommandes); ++k)
            r.commandes.push_back(LireCommande(
                l.Texte((std::string(cle::Commande) + std::to_string(k)).c_str(), "")));
    }
    return r;
}

bool SauverReglages(const std::string& fichier, const ReglagesDemarrage& d,
                    const ReglagesFenetre& f, std::string* erreur) {
    auto motDePasse = [](const std::string& texte) { return CoderConfig(texte).value_or(""); };
    return ModifierIni(
        fichier,
        [&](IniDocument& doc) {
            auto ecrire = [&doc](const char* c, const std::string& v) {
                doc.Set(cle::Config, c, v);
            };
            auto entier = [&](const char* c, long long v) { ecrire(c, std::to_string(v)); };
            auto booleen = [&](const char* c, bool v) { ecrire(c, TexteBooleen(v)); };
            ecrire(cle::Langue, d.langue);
            ecrire(cle::MasqueParDefaut, d.masqueParDefaut);
            entier(cle::RepliMode, d.repliMode);
            ecrire(cle::RepliAdresse, d.repliAdresse);
            entier(cle::PortParDefautWOL, d.portParDefautWOL);
            entier(cle::PortParDefautWOW, d.portParDefautWOW);
            entier(cle::DelaiEntreDeuxReveilsWOL, d.delaiEntreDeuxReveilsWOL);
            entier(cle::DelaiEntreDeuxReveilsWOW, d.delaiEntreDeuxReveilsWOW);
            entier(cle::DelaiAvantRedemarrage, d.delaiAvantRedemarrage);
            ecrire(cle::MessageParDefaut, d.messageParDefaut);
            booleen(cle::ForcerParDefaut, d.forcerParDefaut);
            entier(cle::TempoPing, d.tempoPing);
            booleen(cle::Confirmation, f.confirmation);
            booleen(cle::ConfirmationSiPlusieurs, f.confirmationSiPlusieurs);
            booleen(cle::ZapperConfigAction, f.zapperConfigAction);
            booleen(cle::NePasStopper, f.nePasStopper);
            booleen(cle::FenetreTraitementMultiselection, f.fenetreTraitementMultiselection);
            booleen(cle::FenetreTraitementFermer, f.fenetreTraitementFermer);
            booleen(cle::MettreEnRougeReveil, f.mettreEnRougeReveil);
            entier(cle::ActualiserEtat, f.actualiserEtat);
            booleen(cle::ScriptWOWParDefaut, d.scriptWOWParDefaut);
            ecrire(cle::ScriptWOWUrl, d.scriptWOWUrl);
            booleen(cle::WOWSansConfirmation, d.wowSansConfirmation);
            entier(cle::ProxyType, d.proxyType);
            ecrire(cle::ProxyAdresse, d.proxyAdresse);
            ecrire(cle::ProxyPort, d.proxyPort);
            ecrire(cle::ProxyLogin, d.proxyLogin);
            ecrire(cle::ProxyPassword, motDePasse(d.proxyPassword));
            booleen(cle::ProxyAccesDirect, d.proxyAccesDirect);
            entier(cle::AuthentificationMode, d.authentificationMode);
            ecrire(cle::AuthentificationLogin, d.authentificationLogin);
            ecrire(cle::AuthentificationPassword, motDePasse(d.authentificationPassword));
            const long long ancien = std::min(
                LireEntier(doc.Get(cle::Config, cle::NbCommandes).value_or("0"), 0), kMaxCommandes);
            const auto n = static_cast<long long>(f.commandes.size());
            for (long long k = 1; k <= n; ++k)
                ecrire((std::string(cle::Commande) + std::to_string(k)).c_str(),
                       TexteCommande(f.commandes[static_cast<size_t>(k - 1)]));
            entier(cle::NbCommandes, n);
            for (long long k = n + 1; k <= ancien; ++k)
                doc.Remove(cle::Config, std::string(cle::Commande) + std::to_string(k));
        },
        erreur);
}

}  // namespace velmora
