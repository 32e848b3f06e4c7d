// Built-in French texts of the console program that the windowed program does not have, in
// the order they are added to the table (after the 30 shared ones). "SYNTAXE" is the usage text:
// 62 lines, each ending with a line break.
#include "common/i18n/Textes.h"

namespace velmora::i18n {

const std::vector<std::pair<const char*, const char*>>& TextesConsolePropres() {
    static const std::vector<std::pair<const char*, const char*>> textes = {
        {"TXT_ACTION", "Action :"},
        {"TXT_MAJ_MAC", "Mise à jour des adresses MAC"},
        {"TXT_SELECTION_MULTIPLE", "Sélection multiple :"},
        {"TXT_MAC_NON_ENREGISTREE",
         "nouvelle adresse non enregistrée (%v -> %v) : le fichier n'a pas pu être écrit"},
        {"TXT_MAC_MACHINE_DISPARUE",
         "nouvelle adresse (%v) non enregistrée : la machine a été supprimée entre-temps"},
        {"MSG_ERREUR_ABSENCE_FICHIER_CONFIG",
         "Le fichier de configuration spécifié n'a pas été trouvé..."},
        {"MSG_FICHIER_CONFIG_CHERCHE",
         "Fichier de configuration cherché : %v (démarrez Velmora une fois pour le créer, "
         "copiez-y le Velmora.ini d'un autre poste, ou nommez un fichier existant en premier "
         "argument)"},
        {"MSG_ERREUR_PLUSIEURS_ACTIONS", "Il n'est pas possible de spécifier plusieurs actions..."},
        {"MSG_ERREUR_OPTION_FORCER", "L'option /f: doit être suivie de 'on' ou 'off'..."},
        {"MSG_ERREUR_OPTION_DELAI",
         "L'option /t: doit être suivie du nombre (entier) de secondes avant "
         "redémarrage/extinction)..."},
        {"MSG_ERREUR_OPTION_MESSAGE",
         "L'option /m: doit être suivie du texte à afficher sur le poste distant avant "
         "redémarrage/extinction)..."},
        {"MSG_ERREUR_ACTION_OU_OPTION_INCONNUE",
         "Le paramètre '%v' de la ligne de commande est inconnu..."},
        {"MSG_ERREUR_OMISSION_ACTION_BATCH", "Aucune action n'a été spécifiée..."},
        {"MSG_ERREUR_OMISSION_MACHINE", "Aucune machine n'a été spécifiée..."},
        {"MSG_ERREUR_OPTION_NON_PERMISE1",
         "Les options /f, /t et /m ne peuvent être utilisées qu'avec les actions /R et /S..."},
        {"MSG_ERREUR_OPTION_NON_PERMISE2", "L'option /i ne peut être utilisée avec l'action /w..."},
        {"MSG_ERREUR_DOSSIER_NON_TROUVE",
         "Le dossier spécifié (%v) n'a pas été trouvé dans la liste..."},
        {"MSG_ERREUR_MACHINE_NON_TROUVEE",
         "La machine spécifiée (%v) n'a pas été trouvée dans la liste..."},
        {"MSG_ERREUR_NOMBRE_PARAMETRES_INCORRECT",
         "Le nombre de paramètres pour cette action est incorrect..."},
        {"MSG_ERREUR_MAUVAIS_MASQUE", "La valeur du masque (%v) est incorrecte..."},
        {"MSG_ERREUR_MAUVAIS_PORT", "Valeur du port (%v) incorrecte..."},
        {"MSG_ERREUR_MAUVAISE_MAC", "Le format de l'adresse MAC (%v) n'est pas reconnu..."},
        {"MSG_ERREUR_PAS_DE_REPONSE", "La machine distante ne répond pas..."},
        {"MSG_ERREUR_ACTION_REJETEE", "La machine distante a rejeté la demande..."},
        {"MSG_SUCCES", "Traitement terminé."},
        {"MSG_ERREUR_OPTION_ATTENDRE",
         "L'option /attendre: doit être suivie du nombre de secondes d'attente (1 à 86400), "
         "puis éventuellement d'une virgule et d'un port TCP (1 à 65535)..."},
        {"MSG_ERREUR_OPTION_NON_PERMISE_ATTENDRE",
         "L'option /attendre ne peut être utilisée qu'avec les actions de réveil /w, /W, /n et "
         "/N..."},
        {"MSG_ERREUR_OPTION_CADENCE",
         "L'option /cadence: doit être suivie du nombre de requêtes par seconde vers les "
         "adresses du réseau local (0 à 1000000, 0 : sans limite)..."},
        {"TXT_ATTENTE_MACHINES", "Attente des machines (%v s au plus) :"},
        {"TXT_ATTENTE_PORT", "Attente du port %v des machines (%v s au plus) :"},
        {"TXT_MACHINE_PRETE", "prête après %v s"},
        {"TXT_MACHINE_PAS_PRETE", "toujours pas prête après %v s"},
        {"MSG_ERREUR_MACHINES_PAS_PRETES",
         "Traitement terminé, mais une ou plusieurs machines ne sont pas prêtes."},
        {"TXT_BANNIERE", "réveil et arrêt des machines du réseau en ligne de commande"},
        {"SYNTAXE",
         "\n"
         "Utilisation\n"
         "   VelmoraBatch [fichier_ini] action [options]\n"
         "\n"
         "Actions\n"
         "   /w:{étendueA} : Réveiller la machine distante (Velmora)\n"
         "   /n:{étendueB} : Réveiller la machine distante via Internet (Dovrane)\n"
         "   /A:{étendueC} : Annuler le redémarrage/extinction (non WMI) de la machine\n"
         "                   distante\n"
         "   /R:{étendueC} : Redémarrer la machine distante\n"
         "   /S:{étendueC} : Eteindre la machine distante\n"
         "   /l:{étendueC} : Verrouiller la session de la machine distante (WMI)\n"
         "   /c:{étendueC} : Fermer la session de la machine distante (WMI)\n"
         "   /h:{étendueC} : Mettre en veille prolongée la machine distante (WMI)\n"
         "   /r:{étendueC} : Redémarrer la machine distante (WMI)\n"
         "   /p:{étendueC} : Eteindre la machine distante (WMI PowerOff)\n"
         "   /s:{étendueC} : Eteindre la machine distante (WMI Shutdown)\n"
         "   /u:{étendueD} : Mise à jour des adresses MAC\n"
         "\n"
         "Etendues\n"
         "   {étendueA} : [dossier!]machine|adresse_ip, adr_mac[, port[, masque]]\n"
         "   {étendueB} : [dossier!]machine|adresse_ip, adr_mac[, port]\n"
         "   {étendueC} : [dossier!]machine|adresse_ip\n"
         "   {étendueD} : [dossier]\n"
         "\n"
         "Options\n"
         "   /d           : Désactive l'affichage des éventuels messages d'erreur de\n"
         "                  traitement (ne concerne pas les erreurs de syntaxe de la\n"
         "                  ligne de commande qui sont toujours affichées)\n"
         "   /i           : Utilisable sauf avec /w, cette option désactive la recherche\n"
         "                  parmi la liste des machines déclarées dans le fichier de\n"
         "                  configuration. Inutile si l'utilisateur spécifie une adresse\n"
         "                  IP, elle prend son sens lorsque la machine est désignée par\n"
         "                  son nom NetBIOS\n"
         "   /m:{message} : Utilisable avec /R et /S uniquement, message à afficher à\n"
         "                  l'utilisateur connecté avant redémarrage/extinction (le\n"
         "                  signe '§' peut être utilisé comme retour-chariot)\n"
         "   /t:{délai}   : Utilisable avec /R et /S uniquement, délai affichage message\n"
         "                  avant redémarrage / extinction\n"
         "   /f:{on|off}  : Utilisable avec /R et /S uniquement, spécifie si la fermeture\n"
         "                  des applications doit être forcée avant redémarrage/extinction\n"
         "   /attendre:{secondes}[,port]\n"
         "                : Utilisable avec /w, /W, /n et /N uniquement, attend jusqu'à\n"
         "                  {secondes} que chaque machine réveillée réponde au ping (ou,\n"
         "                  avec un port, accepte une connexion TCP sur ce port : 22 pour\n"
         "                  ssh, 3389 pour le bureau à distance) ; code de sortie 3 si\n"
         "                  l'une d'elles n'est pas prête à temps\n"
         "   /cadence:{n} : nombre de requêtes par seconde au plus vers les adresses du\n"
         "                  réseau local lors des pings (0 : sans limite ; par défaut\n"
         "                  CadenceBalayageLien du fichier de configuration, 2000)\n"
         "\n"
         "Informations complémentaires\n"
         "   - En l'absence des options /m, /t et /f, les valeurs par défaut du fichier\n"
         "     de configuration sont utilisées\n"
         "   - L'utilisation des caractères jokers (\"*\" et \"?\") est autorisée dans le nom\n"
         "     machine (pas dans dossier, en revanche) pour traiter plusieurs machines en\n"
         "     un seul appel de l'outil. Voir exemples...\n"
         "   - Code de sortie 2 : fichier de configuration absent ou illisible, ou\n"
         "     dossier ou machine introuvable\n"
         "\n"
         "Exemples\n"
         "   VelmoraBatch '/W:serveurs!*'\n"
         "   VelmoraBatch maison.ini '/S:*' '/m:à table !' /t:30 /f:on\n"
         "   VelmoraBatch /l:tavrin\n"
         "   VelmoraBatch '/w:serveurs!nas' /attendre:180,22\n"},
    };
    return textes;
}

}  // namespace velmora::i18n
