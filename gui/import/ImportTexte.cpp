#include "gui/import/ImportTexte.h"

#include <algorithm>
#include <array>

#include "common/i18n/Traduction.h"
#include "common/net/Valeurs.h"
#include "common/text/Commun.h"

namespace velmora::gui {

using i18n::Tr;

void ImportTexte::Charger(const std::vector<std::string>& lignes) {
    m_lignes.clear();
    for (const std::string& brute : lignes) {
        std::string ligne = Rogner(brute);
        if (!ligne.empty()) m_lignes.push_back(std::move(ligne));
    }
    // "[REFERENCE=" one digit "]": the reference line that some exports write first.
    auto reference = [](const std::string& l) {
        return l.size() == 13 && l.rfind("[REFERENCE=", 0) == 0 && l[11] >= '0' && l[11] <= '9' &&
               l[12] == ']';
    };
    if (!m_lignes.empty() && reference(m_lignes.front())) m_lignes.erase(m_lignes.begin());
    Decouper();
}

void ImportTexte::DefinirSeparateur(const std::string& separateur) {
    m_separateur = separateur;
    Decouper();
}

void ImportTexte::Decouper() {
    m_cellules.clear();
    m_cellules.reserve(m_lignes.size());
    m_nbColonnes = 1;
    for (const std::string& ligne : m_lignes) {
        m_cellules.push_back(m_separateur.empty() ? std::vector<std::string>{ligne}
                                                  : ExtraireChamp(ligne, m_separateur));
        m_nbColonnes = std::max(m_nbColonnes, m_cellules.back().size());
    }
    m_champDeColonne.assign(m_nbColonnes + 1, ChampAucun);
}

const std::string& ImportTexte::Cellule(size_t ligne, int colonne) const {
    static const std::string vide;
    if (ligne >= m_cellules.size() || colonne < 1) return vide;
    const auto& cellules = m_cellules[ligne];
    return static_cast<size_t>(colonne) <= cellules.size() ? cellules[colonne - 1] : vide;
}

int ImportTexte::CliquerColonne(int colonne) {
    if (colonne < 1 || static_cast<size_t>(colonne) > m_nbColonnes) return ChampAucun;
    int champ = m_champDeColonne[colonne];
    m_champDeColonne[colonne] = ChampAucun;
    do {
        champ = champ >= kNbChampsImport ? ChampAucun : champ + 1;
    } while (champ != ChampAucun && ColonneDuChamp(champ) != 0);
    m_champDeColonne[colonne] = champ;
    return champ;
}

int ImportTexte::ChampDeColonne(int colonne) const {
    if (colonne < 1 || static_cast<size_t>(colonne) >= m_champDeColonne.size()) return ChampAucun;
    return m_champDeColonne[colonne];
}

int ImportTexte::ColonneDuChamp(int champ) const {
    for (size_t c = 1; c < m_champDeColonne.size(); ++c)
        if (m_champDeColonne[c] == champ) return static_cast<int>(c);
    return 0;
}

bool ImportTexte::ChampsObligatoires() const {
    return ColonneDuChamp(ChampNom) && ColonneDuChamp(ChampAdresse) && ColonneDuChamp(ChampMAC);
}

std::string ImportTexte::NomChamp(int champ) {
    static const char* const cles[] = {
        "",         "COL_MACHINEOUUTILISATEUR", "COL_ADRESSEIP", "COL_ADRESSEMAC", "COL_MASQUE",
        "COL_PORT", "COL_COMMENTAIRE"};
    return champ >= 1 && champ <= kNbChampsImport ? Tr(cles[champ]) : std::string();
}

std::string ImportTexte::Verifier(const std::vector<size_t>& lignes) const {
    static const std::vector<std::string> interdits = {"|", "!", "*", "?"};
    std::array<bool, kNbChampsImport + 1> faute{};
    auto valeur = [&](size_t ligne, int champ) { return Cellule(ligne, ColonneDuChamp(champ)); };
    for (size_t l : lignes) {
        const std::string& nom = valeur(l, ChampNom);
        const std::string& ip = valeur(l, ChampAdresse);
        faute[ChampNom] |= nom.empty() || ContientUnDe(nom, interdits);
        faute[ChampAdresse] |=
            ip.empty() || ContientUnDe(ip, interdits) || !net::AdresseSansOptionNiBlanc(ip);
        faute[ChampMAC] |= !EstAdresseMAC(valeur(l, ChampMAC));
        if (ColonneDuChamp(ChampMasque))
            faute[ChampMasque] |= !EstAdresseIP(valeur(l, ChampMasque));
        if (ColonneDuChamp(ChampPort)) faute[ChampPort] |= !EstPort(valeur(l, ChampPort));
    }
    std::string details;
    for (int champ = ChampNom; champ <= ChampPort; ++champ) {
        if (!faute[champ]) continue;
        const char* cle = champ <= ChampAdresse ? "MSG_ERREUR_IMPORT_CARACTERE_INTERDIT"
                                                : "MSG_ERREUR_IMPORT_FORMAT_INCORRECT";
        details += "\t - " + Tr(cle, {NomChamp(champ)}) + "\n";
    }
    if (details.empty()) return {};
    return Tr("MSG_ERREUR_IMPORT") + "\n\n" + details + "\n" + Tr("MSG_ERREUR_IMPORT_ANNULEE");
}

void ImportTexte::Importer(const std::vector<size_t>& lignes, CibleImport& cible,
                           const std::function<bool()>& remplacer) const {
    auto facultatif = [&](size_t ligne, int champ) -> std::optional<std::string> {
        if (!ColonneDuChamp(champ)) return std::nullopt;
        return Cellule(ligne, ColonneDuChamp(champ));
    };
    std::vector<MachineImportee> machines;
    machines.reserve(lignes.size());
    for (size_t l : lignes) {
        MachineImportee m;
        m.nom = Cellule(l, ColonneDuChamp(ChampNom));
        m.adresse = Cellule(l, ColonneDuChamp(ChampAdresse));
        m.mac = Cellule(l, ColonneDuChamp(ChampMAC));
        m.masque = facultatif(l, ChampMasque);
        m.port = facultatif(l, ChampPort);
        m.commentaire = facultatif(l, ChampCommentaire);
        machines.push_back(std::move(m));
    }
    AjouterMachines(machines, cible, remplacer);
}

}  // namespace velmora::gui
