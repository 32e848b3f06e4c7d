// Built-in French texts of the relay's web page (the page a phone opens to wake machines). The
// relay keeps one table per language it serves, so these are not part of either program's
// list; the status texts of a wake come from the console program's list.
#include "common/i18n/Traduction.h"

namespace velmora::i18n {

const std::vector<std::pair<const char*, const char*>>& TextesPageWeb() {
    static const std::vector<std::pair<const char*, const char*>> textes = {
        {"TXT_WEB_TITRE", "Réveil des machines"},
        {"TXT_WEB_CONNEXION", "Connexion"},
        {"TXT_WEB_UTILISATEUR", "Utilisateur"},
        {"TXT_WEB_MOT_DE_PASSE", "Mot de passe"},
        {"TXT_WEB_SE_CONNECTER", "Se connecter"},
        {"TXT_WEB_DECONNEXION", "Se déconnecter"},
        {"MSG_WEB_CONNEXION_REFUSEE", "Utilisateur ou mot de passe incorrect."},
        {"MSG_WEB_TROP_D_ESSAIS", "Trop d'essais infructueux : réessayez dans %v min."},
        {"MSG_WEB_SESSION_EXPIREE", "Votre session a pris fin : veuillez vous reconnecter."},
        {"MSG_WEB_FORMULAIRE_EXPIRE", "Le formulaire a expiré : veuillez réessayer."},
        {"TXT_WEB_FILTRER", "Filtrer"},
        {"TXT_WEB_REVEILLER", "Réveiller"},
        {"TXT_WEB_REVEILLER_DOSSIER", "Réveiller tout le dossier"},
        {"TXT_WEB_REVEIL_ENVOYE", "réveil envoyé"},
        {"TXT_WEB_EN_LIGNE", "répond"},
        {"TXT_WEB_HORS_LIGNE", "ne répond pas"},
        {"TXT_WEB_ETAT_INCONNU", "état inconnu"},
        {"TXT_WEB_AUCUN_DOSSIER", "Aucun dossier ne vous est ouvert."},
        {"TXT_WEB_AUCUNE_MACHINE", "Aucune machine dans ce dossier."},
        {"MSG_WEB_ECHEC_REVEIL", "échec du réveil : %v"},
        {"MSG_WEB_MAC_ABSENTE", "adresse MAC absente ou incorrecte"},
        {"MSG_WEB_MAC_REFUSEE", "adresse MAC non autorisée sur ce relais"},
        {"MSG_WEB_DESTINATION_REFUSEE", "destination non autorisée sur ce relais"},
        {"MSG_WEB_MACHINE_INTROUVABLE", "machine introuvable : la liste a changé"},
    };
    return textes;
}

}  // namespace velmora::i18n
