#include "gui/widgets/Questions.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

#include "gui/dialogs/frmMsgbox.h"
#include "gui/widgets/Controles.h"

namespace velmora::gui {

namespace {

std::function<Reponse(const Question&)>& Repondeur() {
    static std::function<Reponse(const Question&)> repondeur;
    return repondeur;
}

QMessageBox::Icon IconeDuStyle(int style) {
    switch (style & 0x70) {
        case 16:
            return QMessageBox::Critical;
        case 32:
            return QMessageBox::Question;
        case 48:
            return QMessageBox::Warning;
        case 64:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

QString TitreOuProgramme(const std::string& titre) {
    return VersQString(titre.empty() ? std::string(kNomApplication) : titre);
}

// A standard message box; the result is the code of the button pressed (1 OK, 2 Cancel,
// 3 Abort, 4 Retry, 5 Ignore, 6 Yes, 7 No). Closing it counts as Cancel when there is one,
// else as the only button.
int BoiteMessage(QWidget* parent, const Question& q) {
    QMessageBox boite(IconeDuStyle(q.style), TitreOuProgramme(q.titre), VersQString(q.texte),
                      QMessageBox::NoButton, parent);
    struct Bouton {
        QMessageBox::StandardButton bouton;
        int code;
    };
    std::vector<Bouton> boutons;
    switch (q.style & 0x0F) {
        case 1:
            boutons = {{QMessageBox::Ok, 1}, {QMessageBox::Cancel, 2}};
            break;
        case 2:
            boutons = {{QMessageBox::Abort, 3}, {QMessageBox::Retry, 4}, {QMessageBox::Ignore, 5}};
            break;
        case 3:
            boutons = {{QMessageBox::Yes, 6}, {QMessageBox::No, 7}, {QMessageBox::Cancel, 2}};
            break;
        case 4:
            boutons = {{QMessageBox::Yes, 6}, {QMessageBox::No, 7}};
            break;
        case 5:
            boutons = {{QMessageBox::Retry, 4}, {QMessageBox::Cancel, 2}};
            break;
        default:
            boutons = {{QMessageBox::Ok, 1}};
            break;
    }
    for (const Bouton& b : boutons) boite.addButton(b.bouton);
    // Default button: style 256 the second, 512 the third.
    const size_t defaut = static_cast<size_t>((q.style >> 8) & 0x3);
    if (defaut < boutons.size()) boite.setDefaultButton(boutons[defaut].bouton);
    AppliquerToujoursAuDessus(&boite);
    if ((q.style & 0x70) == 16 || (q.style & 0x70) == 48) QApplication::beep();
    boite.exec();
    QAbstractButton* clique = boite.clickedButton();
    for (const Bouton& b : boutons) {
        if (clique && boite.standardButton(clique) == b.bouton) return b.code;
    }
    for (const Bouton& b : boutons) {
        if (b.code == 2) return 2;
    }
    return boutons.back().code;
}

// "Text files (*.txt)|*.txt|All (*.*)|*.*" (the stored form) to Qt's "Text files (*.txt);;..".
QString FiltreQt(const std::string& filtre) {
    const QStringList parties = VersQString(filtre).split(QLatin1Char('|'));
    if (parties.size() < 2) return VersQString(filtre);
    QStringList filtres;
    for (int i = 0; i + 1 < parties.size(); i += 2) {
        QString libelle = parties[i];
        const int parenthese = libelle.indexOf(QLatin1Char('('));
        if (parenthese >= 0) libelle = libelle.left(parenthese);
        QString motifs = parties[i + 1];
        motifs.replace(QLatin1Char(';'), QLatin1Char(' '));
        motifs.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        filtres << libelle.trimmed() + QStringLiteral(" (") + motifs.trimmed() + QLatin1Char(')');
    }
    return filtres.join(QStringLiteral(";;"));
}

}  // namespace

void DefinirRepondeur(std::function<Reponse(const Question&)> repondeur) {
    Repondeur() = std::move(repondeur);
}

Reponse Demander(QWidget* parent, const Question& question) {
    if (Repondeur()) return Repondeur()(question);
    Reponse reponse;
    switch (question.genre) {
        case Question::Genre::MsgBox:
            reponse.resultat = BoiteMessage(parent, question);
            break;
        case Question::Genre::MsgBoxEx:
            reponse.resultat = frmMsgbox::Afficher(parent, question.texte, question.style,
                                                   TitreOuProgramme(question.titre).toStdString(),
                                                   question.nePlusAfficher);
            break;
        case Question::Genre::Saisie: {
            bool ok = false;
            const QString texte = QInputDialog::getText(
                parent, TitreOuProgramme(question.titre), VersQString(question.texte),
                QLineEdit::Normal, VersQString(question.valeurInitiale), &ok);
            reponse.resultat = ok ? 1 : 2;
            reponse.texte = ok ? DepuisQString(texte) : std::string();
            break;
        }
        case Question::Genre::FichierOuvrir: {
            const QString chemin = QFileDialog::getOpenFileName(
                parent, TitreOuProgramme(question.titre), VersQString(question.valeurInitiale),
                FiltreQt(question.filtre));
            reponse.resultat = chemin.isEmpty() ? 2 : 1;
            reponse.texte = DepuisQString(chemin);
            break;
        }
    }
    return reponse;
}

int MsgBox(QWidget* parent, const std::string& texte, int style, const std::string& titre) {
    Question q;
    q.genre = Question::Genre::MsgBox;
    q.texte = texte;
    q.style = style;
    q.titre = titre.empty() ? kNomApplication : titre;
    return Demander(parent, q).resultat;
}

int MsgBoxEx(QWidget* parent, const std::string& texte, int style, const std::string& titre,
             bool nePlusAfficher) {
    Question q;
    q.genre = Question::Genre::MsgBoxEx;
    q.texte = texte;
    q.style = style;
    q.titre = titre.empty() ? kNomApplication : titre;
    q.nePlusAfficher = nePlusAfficher;
    return Demander(parent, q).resultat;
}

}  // namespace velmora::gui
