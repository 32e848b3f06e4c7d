#include "gui/list/ListeMachines.h"

#include <QPainter>
#include <QPixmap>
#include <QTreeWidget>
#include <map>

#include "common/text/Commun.h"

namespace velmora::gui {

namespace {
constexpr int RoleIcone = Qt::UserRole + 1;
constexpr int RoleMotDePasse = Qt::UserRole + 2;
constexpr int RoleEcheance = Qt::UserRole + 3;
constexpr int RoleLigneChargee = Qt::UserRole + 4;

QString Q(const std::string& texte) { return QString::fromUtf8(texte.data(), texte.size()); }
std::string S(const QString& texte) { return texte.toUtf8().toStdString(); }

QIcon DessinerPastille(const QColor& couleur) {
    QIcon icone;
    for (int taille : {16, 32}) {
        QPixmap image(taille, taille);
        image.fill(Qt::transparent);
        QPainter peintre(&image);
        peintre.setRenderHint(QPainter::Antialiasing);
        const qreal marge = taille / 8.0;
        QRadialGradient degrade(taille * 0.4, taille * 0.35, taille * 0.6);
        degrade.setColorAt(0, couleur.lighter(170));
        degrade.setColorAt(1, couleur);
        peintre.setBrush(degrade);
        peintre.setPen(QPen(couleur.darker(160), taille / 16.0));
        peintre.drawEllipse(QRectF(marge, marge, taille - 2 * marge, taille - 2 * marge));
        peintre.end();
        icone.addPixmap(image);
    }
    return icone;
}
}  // namespace

const char* const kClesColonnes[NombreColonnes] = {
    "COL_ETAT", "COL_MACHINEOUUTILISATEUR", "COL_ADRESSEIP", "COL_MASQUE",
    "COL_PORT", "COL_ADRESSEMAC",           "COL_LOGIN",     "COL_COMMENTAIRE"};
const int kLargeursColonnes[NombreColonnes] = {350, 2200, 3000, 900, 625, 1630, 860, 1600};

QIcon IconeEtat(const std::string& cle) {
    static const std::map<std::string, QIcon> icones = {
        {kVert, DessinerPastille(QColor(40, 170, 60))},
        {kRouge, DessinerPastille(QColor(210, 40, 40))},
        {kGris, DessinerPastille(QColor(150, 150, 150))}};
    auto trouve = icones.find(cle);
    return trouve == icones.end() ? QIcon() : trouve->second;
}

ElementMachine::ElementMachine(const Machine& machine)
    : QTreeWidgetItem(QTreeWidgetItem::UserType) {
    EcrireElement(this, machine);
    DefinirIcone(this, kGris);
}

void ElementMachine::PreparerTri(int colonne) {
    if (colonne == ColEtat)
        m_cleTri = data(ColEtat, RoleIcone).toString();
    else
        m_cleTri = Q(CleTri(S(text(colonne))));
}

bool ElementMachine::operator<(const QTreeWidgetItem& autre) const {
    const auto* element = dynamic_cast<const ElementMachine*>(&autre);
    if (!element) return QTreeWidgetItem::operator<(autre);
    return m_cleTri.compare(element->m_cleTri, Qt::CaseInsensitive) < 0;
}

Machine LireElement(const QTreeWidgetItem* element) {
    Machine machine;
    machine.nom = S(element->text(ColNom));
    machine.adresse = S(element->text(ColAdresse));
    machine.masque = S(element->text(ColMasque));
    machine.port = S(element->text(ColPort));
    machine.adresseMAC = S(element->text(ColAdresseMAC));
    machine.login = S(element->text(ColLogin));
    machine.commentaire = S(element->text(ColCommentaire));
    machine.motDePasse = S(element->data(ColEtat, RoleMotDePasse).toString());
    return machine;
}

void EcrireElement(QTreeWidgetItem* element, const Machine& machine) {
    element->setText(ColNom, Q(machine.nom));
    element->setText(ColAdresse, Q(machine.adresse));
    element->setText(ColMasque, Q(machine.masque));
    element->setText(ColPort, Q(machine.port));
    element->setText(ColAdresseMAC, Q(machine.adresseMAC));
    element->setText(ColLogin, Q(machine.login));
    element->setText(ColCommentaire, Q(machine.commentaire));
    element->setData(ColEtat, RoleMotDePasse, Q(machine.motDePasse));
}

std::string CleIcone(const QTreeWidgetItem* element) {
    return S(element->data(ColEtat, RoleIcone).toString());
}

void DefinirIcone(QTreeWidgetItem* element, const std::string& cle) {
    if (CleIcone(element) == cle) return;
    element->setData(ColEtat, RoleIcone, Q(cle));
    element->setIcon(ColEtat, IconeEtat(cle));
}

QDateTime Echeance(const QTreeWidgetItem* element) {
    return element->data(ColEtat, RoleEcheance).toDateTime();
}

void DefinirEcheance(QTreeWidgetItem* element, const QDateTime& echeance) {
    element->setData(ColEtat, RoleEcheance, echeance.isValid() ? QVariant(echeance) : QVariant());
}

std::string TagElement(const QTreeWidgetItem* element) {
    std::string tag = S(element->data(ColEtat, RoleMotDePasse).toString());
    tag += kSeparateurTag;
    const QDateTime echeance = Echeance(element);
    if (echeance.isValid()) tag += S(QLocale().toString(echeance, QLocale::ShortFormat));
    return tag;
}

std::string CleTri(std::string_view texte) {
    if (!EstAdresseIP(texte)) return std::string(texte);
    std::string cle;
    for (const std::string& nombre : ExtraireChamp(texte, ".")) {
        char groupe[8];
        std::snprintf(groupe, sizeof groupe, "%03lld", Val(nombre));
        if (!cle.empty()) cle += '.';
        cle += groupe;
    }
    return cle;
}

std::string TexteCopie(const std::vector<Machine>& machines) {
    std::string texte;
    for (size_t i = 0; i < machines.size(); ++i) {
        const Machine& m = machines[i];
        if (i > 0) texte += "\r\n";
        texte += m.nom + '\t' + m.adresse + '\t' + m.masque + '\t' + m.port + '\t' + m.adresseMAC +
                 '\t' + m.login + '\t' + m.commentaire + '\t' + m.motDePasse;
    }
    return texte;
}

std::optional<std::vector<Machine>> AnalyserCollage(std::string_view texte) {
    std::vector<Machine> machines;
    std::vector<std::string> lignes = ExtraireChamp(texte, "\n");
    // A line end after the last line (as other programs put on the clipboard) adds no line.
    if (lignes.size() > 1 && (lignes.back().empty() || lignes.back() == "\r")) lignes.pop_back();
    for (std::string ligne : lignes) {
        if (!ligne.empty() && ligne.back() == '\r') ligne.pop_back();
        const std::vector<std::string> champs = ExtraireChamp(ligne, "\t");
        if (champs.size() != 8 || champs[0].empty() || champs[1].empty() ||
            !EstAdresseMAC(champs[4]))
            return std::nullopt;
        machines.push_back(Machine{champs[0], champs[1], champs[2], champs[3], champs[4], champs[5],
                                   champs[7], champs[6]});
    }
    return machines;
}

void DefinirLigneChargee(QTreeWidgetItem* element, const std::optional<std::string>& ligne) {
    element->setData(0, RoleLigneChargee,
                     ligne ? QVariant(QString::fromStdString(*ligne)) : QVariant());
}

std::optional<std::string> LigneChargee(const QTreeWidgetItem* element) {
    const QVariant v = element->data(0, RoleLigneChargee);
    if (!v.isValid()) return std::nullopt;
    return v.toString().toStdString();
}

std::string VerifierNomDossier(const std::string& nom, const std::vector<std::string>& dossiers,
                               int ignorer) {
    if (nom.empty()) return "";
    if (ContientUnDe(nom, kCaracteresInterdits)) return "MSG_ERREUR_CARACTERES_INTERDITS";
    // "+" is the tab that makes a folder; "Config" is the section of the settings.
    if (nom == "+" || EstNomDossierReserve(nom)) return "MSG_ERREUR_NOM_DOSSIER_INTERDIT";
    for (size_t i = 0; i < dossiers.size(); ++i)
        if (static_cast<int>(i) != ignorer && Egal(dossiers[i], nom, Comparaison::Texte))
            return "MSG_ERREUR_DOSSIER_EXISTANT";
    return "";
}

int ChercherLigne(const std::vector<std::string>& textes, int courant,
                  const std::string& recherche) {
    const int n = static_cast<int>(textes.size());
    if (n == 0 || recherche.empty()) return -1;
    const QString cherche = Q(recherche);
    for (int k = 1; k <= n; ++k) {
        const int i = (courant + k) % n;
        if (Q(textes[i]).startsWith(cherche, Qt::CaseInsensitive)) return i;
    }
    return -1;
}

}  // namespace velmora::gui
