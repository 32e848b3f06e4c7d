// Built-in French texts of the windowed program, in the order they are added to the table.
// "§" stands for a line break (converted at load time); "%v" are filled by RemplacerVariables.
#include "common/i18n/Textes.h"

namespace velmora::i18n {

const std::vector<std::pair<const char*, const char*>>& TextesFenetre() {
    static const std::vector<std::pair<const char*, const char*>> textes = {
        {"MSG_ERREUR_OUTILS_RESEAU_ABSENTS",
         "L'outil réseau PING nécessaire au fonctionnement de ce logiciel est introuvable "
         "(paquet iputils-ping), et le système ne permet pas d'envoyer un ping sans lui..."},
        {"MSG_ERREUR",
         "Une erreur (%v) est survenue durant le traitement :§§%v§§Veuillez contacter l'auteur du "
         "logiciel si le problème persiste..."},
        {"TXT_REVEILLER", "&Réveiller (WOL)"},
        {"TXT_REVEILLER_VIA_INTERNET", "Réveiller via &Internet (WOW)"},
        {"TXT_REDEMARRER", "Re&démarrer"},
        {"TXT_ETEINDRE", "&Eteindre"},
        {"TXT_VERROUILLER_LA_SESSION", "&Verrouiller la session (WMI)"},
        {"TXT_FERMER_LA_SESSION", "&Fermer la session (WMI)"},
        {"TXT_METTRE_EN_VEILLE_PROLONGEE", "Mettre en veille &prolongée (WMI)"},
        {"TXT_REDEMARRER_WMI", "Redé&marrer (WMI)"},
        {"TXT_POWEROFF_WMI", "Eteindre/Power&Off (WMI)"},
        {"TXT_ETEINDRE_WMI", "E&teindre/Shutdown (WMI)"},
        {"TXT_ANNULER_ACTION", "A&nnuler redémarrage/extinction"},
        {"TXT_DEMANDE", "Demande envoyée à %v"},
        {"TXT_DEMANDE_VIA_INTERNET", "Demande envoyée via Internet pour %v"},
        {"TXT_ATTENTE", "Attente de %v ms"},
        {"TXT_PAQUET_ENVOYE", "Paquet envoyé à %v (port %v)"},
        {"TXT_TRAITEMENT_OK", "traitement OK"},
        {"TXT_NE_REPOND_PAS", "la machine distante ne répond pas"},
        {"TXT_DEMANDE_REJETEE", "la machine distante a rejeté la demande"},
        {"TXT_MAC_IMPOSSIBLE", "impossible de déterminer l'adresse MAC"},
        {"TXT_MAC_NOUVELLE", "adresse modifiée (%v -> %v)"},
        {"TXT_MAC_INCHANGEE", "adresse inchangée"},
        {"MSG_ERREUR_INITIALISATION",
         "Une erreur (%v) est survenue lors de l'initialisation de l'application :§§%v§§Veuillez "
         "contacter l'auteur du logiciel si le problème persiste..."},
        {"MSG_ERREUR_ACTION_COURT", "Erreur rencontrée : %v"},
        {"MSG_ERREUR_ACTION",
         "Erreur rencontrée au traitement de la demande destinée à '%v' :§§%v"},
        {"MSG_ERREUR_REVEIL_VIA_INTERNET_COURT",
         "Impossible d'accéder au service de réveil par Internet"},
        {"MSG_ERREUR_REVEIL_VIA_INTERNET_LONG",
         "Impossible d'accéder au service de réveil par Internet.§§Vérifiez votre accès à Internet "
         "ainsi que la disponibilité du site hébergeant le script (à l'aide de votre navigateur) "
         "et, le cas échéant, la configuration du firewall et du proxy..."},
        {"MSG_ERREUR_REVEIL_VIA_INTERNET_IP_PRIVEE",
         "Attention :§Une ou plusieurs adresses IP spécifiées étaient des adresses 'privées' "
         "alors§qu'en principe ce sont des adresses 'publiques' qui sont attendues.§A moins que "
         "vous n'hébergiez un script de réveil par Internet (WOW) au sein de§votre réseau, il est "
         "peu probable que les machines concernées n'aient reçues le§paquet magique..."},
        {"MSG_ERREUR_ANALYSE_PING",
         "Impossible d'analyser le format de la réponse de la commande PING, donc de déterminer si "
         "la machine est en ou hors ligne."},
        {"COL_LIGNE", "Ligne"},
        {"COL_MACHINEOUUTILISATEUR", "Machine ou utilisateur"},
        {"COL_ADRESSEIP", "Adresse IP (ou nom NetBIOS/DNS)"},
        {"COL_MASQUE", "Masque"},
        {"COL_PORT", "Port"},
        {"COL_ADRESSEMAC", "Adresse MAC"},
        {"COL_LOGIN", "Login"},
        {"COL_COMMENTAIRE", "Commentaire"},
        {"MSG_ERREUR_UTILISER_BATCH",
         "Pour le fonctionnement en mode \"ligne de commande\", utilisez désormais VelmoraBatch "
         "situé dans le répertoire de Velmora..."},
        {"TXT_NOUVEAU_DOSSIER", "Nouveau dossier"},
        {"TXT_RENOMMER_DOSSIER", "Renommer dossier"},
        {"TXT_SUPPRIMER_DOSSIER", "Supprimer dossier"},
        {"TXT_VEUILLEZ_SPECIFIER_DOSSIER", "Veuillez spécifier le nom du dossier..."},
        {"MSG_ERREUR_COLLER",
         "Le contenu du presse-papiers ne correspond pas au format attendu... collage abandonné."},
        {"MSG_CONFIRMATION_SUPPRESSION_SELECTION",
         "Attention, vous êtes sur le point de supprimer la/les machines "
         "sélectionnées...§§Confirmez-vous cette opération ?"},
        {"MSG_CONFIRMATION_SUPPRESSION_DOSSIER",
         "Attention, vous êtes sur le point de supprimer le dossier '%v' et son "
         "contenu...§§Confirmez-vous cette opération ?"},
        {"TXT_DELAI", "délai"},
        {"TXT_IMMEDIAT", "immédiat"},
        {"TXT_DE_REDEMARRER", "de redémarrer"},
        {"TXT_D_ETEINDRE", "d'éteindre"},
        {"TXT_DE_VERROUILLER_LA_SESSION", "de verrouiller la session de"},
        {"TXT_DE_FERMER_LA_SESSION", "de fermer la session de"},
        {"TXT_DE_METTRE_EN_VEILLE_PROLONGEE", "de mettre en veille prolongée"},
        {"MSG_AGIR",
         "Attention, vous êtes sur le point %v %v machine(s) distante(s).§§Confirmez-vous cette "
         "opération ?"},
        {"MSG_REVEIL_VIA_INTERNET_IP_PRIVEE_CONFIRMATION",
         "Attention, l'adresse IP spécifiée (%v) est une adresse 'privée' alors qu'en principe "
         "c'est une adresse 'publique' qui est attendue. A moins que vous n'hébergiez un script de "
         "réveil par Internet (WOW) au sein de votre réseau, il est peu probable que la machine "
         "reçoive le paquet magique...§§Confirmez-vous néanmoins l'envoi du paquet ?"},
        {"TXT_TRAITEMENT_ARRETE", "Traitement arrêté par l'utilisateur"},
        {"TXT_TRAITEMENT_ARRETE_SUITE_ERREUR", "Traitement arrêté suite à erreur"},
        {"TXT_TRAITEMENT_TERMINE", "Traitement terminé"},
        {"TXT_TRAITEMENT_TERMINE_AVEC_ERREUR", "Traitement terminé avec une ou plusieurs erreurs"},
        {"TXT_COMMANDE_PERSONNALISEE_BUREAU", "Bureau à distance"},
        {"TXT_COMMANDE_PERSONNALISEE_EXPLORER", "Ouvrir dans l'explorateur"},
        {"TXT_TOOLTIP_CHERCHE_IP",
         "Cliquez ici pour chercher l'adresse IP d'après le nom de la machine..."},
        {"TXT_TOOLTIP_CHERCHE_MAC",
         "Cliquez ici pour chercher l'adresse MAC d'après l'adresse IP de la machine..."},
        {"TXT_MAC_EN_COURS", "analyse en cours..."},
        {"BTNSTOP", "&Arrêter !"},
        {"TXT_IMPORTER", "Importer"},
        {"TXT_FICHIERS_TXT", "Fichiers texte"},
        {"TXT_TOUS_FICHIERS", "Tous les fichiers"},
        {"MSG_IMPORTATION_SANS_MAC",
         "Une ou plusieurs lignes du fichier d'importation ne possèdent pas d'adresse MAC... "
         "Souhaitez-vous les ignorer ?"},
        {"MSG_IMPORTATION_REMPLACER_SI_EXISTANT",
         "Une des machines contenues dans le fichier à importer est déjà présente dans la liste... "
         "Souhaitez-vous les remplacer les informations existantes pour toutes les machines qui se "
         "trouveraient dans le même cas ?"},
        {"MSG_ERREUR_IMPORT_SELECTION_COLONNES",
         "Vous devez indiquer au minimum les champs à distribuer dans les colonnes MACHINE OU "
         "UTILISATEUR, ADRESSE IP et ADRESSE MAC en cliquant dans les en-têtes de colonnes..."},
        {"MSG_ERREUR_IMPORT",
         "L'opération de contrôle effectuée avant l'import met en évidence une ou plusieurs "
         "erreurs dans le format des données :"},
        {"MSG_ERREUR_IMPORT_CARACTERE_INTERDIT",
         "Au moins une valeur de la colonne '%v' contient un caractère interdit"},
        {"MSG_ERREUR_IMPORT_FORMAT_INCORRECT",
         "Au moins une valeur de la colonne '%v' ne correspond pas au format attendu"},
        {"MSG_ERREUR_IMPORT_ANNULEE", "L'importation est annulée..."},
        {"MSG_ERREUR_IMPORT_COLONNE_INDISPO",
         "Désolé mais cette colonne ne peut être utilisée pour l'importation..."},
        {"MSG_ERREUR_CARACTERES_INTERDITS",
         "L'utilisation des caractères '|', '!', '?', '*', '[', ']' et '=' n'est pas autorisée "
         "dans ce champ..."},
        {"MSG_ERREUR_NOM_DOSSIER_INTERDIT", "Ce nom de dossier n'est pas autorisé..."},
        {"MSG_ERREUR_DOSSIER_EXISTANT", "Un dossier existe déjà sous ce nom..."},
        {"MSG_ERREUR_MACHINE", "Le champ MACHINE OU UTILISATEUR n'a pas été renseigné..."},
        {"MSG_ERREUR_OMISSION_ADRESSEIP", "Le champ ADRESSE IP n'a pas été renseigné..."},
        {"MSG_ERREUR_MASQUE",
         "Le champ MASQUE doit soit rester vide (la valeur par défaut sera alors utilisée), soit "
         "contenir une expression composée de 4 nombres (compris entre 0 et 255) séparés par des "
         "points...§§Exemple : 192.168.0.255, 255.255.255.255, etc."},
        {"MSG_ERREUR_PORT",
         "Le champ PORT doit soit rester vide (la valeur par défaut sera alors utilisée) ou "
         "contenir une valeur numérique entière comprise entre 0 et 65535..."},
        {"MSG_ERREUR_ADRESSEMAC",
         "Le champ ADRESSE MAC n'a pas été renseigné ou l'a été dans un format non "
         "reconnu...§§Exemples : 00-01-02-0A-49-F7, 00:01:02:0A:49:F7, etc."},
        {"MSG_ERREUR_LOGIN",
         "Le champ LOGIN ne peut être vide quand le champ PASSWORD a été renseigné..."},
        {"TXT_ACCES_DEFAUT_IE", "Réglages du système (http_proxy)"},
        {"TXT_ACCES_DIRECT", "Connexion directe"},
        {"TXT_ACCES_PROXY", "Connexion par proxy"},
        {"TXT_AUTHENTIFICATION_SESSION", "Utilisation du compte d'ouverture de session"},
        {"TXT_AUTHENTIFICATION_LOGINPASSWORD", "Utilisation du compte spécifié ci-dessous"},
        {"MSG_ERREUR_MASQUE_DEFAUT",
         "Le champ MASQUE doit être renseigné par une expression composée de 4 nombres (compris "
         "entre 0 et 255) séparés par des points...§§Exemple : 192.168.0.255, 255.255.255.255, "
         "etc."},
        {"MSG_ERREUR_ADRESSE_REPLI",
         "Le champ ADRESSE DE REPLI doit être renseigné par une expression composée de 4 nombres "
         "(compris entre 0 et 255) séparés par des points...§§Exemple : 192.168.0.255, "
         "255.255.255.255, etc."},
        {"MSG_ERREUR_PORT_DEFAUT",
         "Le champ PORT doit être renseigné par une valeur numérique entière comprise entre 0 et "
         "65535..."},
        {"MSG_ERREUR_PROXY_ADRESSE",
         "Pour ce type d'accès, le champ ADRESSE doit être renseigné..."},
        {"MSG_ERREUR_PROXY_PORT",
         "Pour ce type d'accès, le champ PORT doit contenir une valeur numérique entière comprise "
         "entre 0 et 65535..."},
        {"MSG_ERREUR_AUTHENTIFICATION_ABSENCE_LOGIN",
         "Pour ce mode d'authentification, le champ LOGIN doit être renseigné..."},
        {"MSG_CHANGEMENT_LANGUE",
         "Le changement de langue de l'interface sera pris en compte après redémarrage du "
         "logiciel..."},
        {"MSG_ERREUR_PIPE_INTERDIT",
         "L'utilisation du caractère '|' n'est pas autorisée dans ce champ..."},
        {"MSG_ERREUR_COMMANDE_NOM", "Le champ NOM n'a pas été renseigné..."},
        {"MSG_ERREUR_COMMANDE_EXEC", "Le champ COMMANDE A EXECUTER n'a pas été renseigné..."},
        {"MSG_ERREUR_COMMANDE_VIDE", "Exécution impossible : la commande à exécuter est vide..."},
        {"MSG_ERREUR_COMMANDE_SYNTAXE",
         "Exécution impossible : la double-quote fermante n'a pas été trouvée..."},
        {"MSG_ERREUR_COMMANDE_ECHEC_EXECUTION",
         "Une erreur (%v) est survenue lors de l'exécution de la commande.§§Vérifiez le chemin/nom "
         "du fichier à exécuter et que vous y avez accès..."},
        {"MSG_FONTIONNALITE_RESERVEE_NT",
         "Cette fonctionnalité n'est disponible que pour les OS basés sur un noyau NT..."},
        {"MSG_ERREUR_OMISSION_ACTION", "Vous n'avez pas sélectionné l'action à exécuter..."},
        {"MSG_ERREUR_DELAI",
         "Le délai avant extinction doit être renseigné par une valeur numérique entière..."},
        {"TXT_FERMER", "&Fermer"},
        {"TXT_ASTUCE_NUMERO", "Astuce n°%v sur %v"},
        {"TXT_ASTUCE1",
         "Chaque onglet de la fenêtre principale est un dossier de machines : cliquez sur l'onglet "
         "\"+\" pour créer un nouveau dossier, et faites un clic droit sur un onglet pour le "
         "renommer ou le supprimer."},
        {"TXT_ASTUCE2",
         "Ctrl+Tab et Ctrl+Maj+Tab permettent de passer d'un dossier à l'autre sans quitter le "
         "clavier."},
        {"TXT_ASTUCE3",
         "Les machines sélectionnées peuvent être copiées (Ctrl+C), coupées (Ctrl+X) puis collées "
         "(Ctrl+V) dans un autre dossier : c'est le moyen le plus simple de réorganiser vos "
         "listes."},
        {"TXT_ASTUCE4",
         "Les machines copiées le sont sous forme de texte (une ligne par machine, champs séparés "
         "par des tabulations) : vous pouvez les coller dans un tableur ou un éditeur, les "
         "modifier, puis les recoller dans Velmora."},
        {"TXT_ASTUCE5",
         "Cliquez sur l'en-tête d'une colonne pour trier la liste ; un second clic inverse "
         "l'ordre. Les adresses IP sont triées dans l'ordre numérique."},
        {"TXT_ASTUCE6",
         "Quand la liste est triée, il suffit de taper les premières lettres d'un nom (ou d'une "
         "adresse, selon la colonne de tri) pour aller directement à la machine correspondante."},
        {"TXT_ASTUCE7",
         "Le bouton \"Tester tout\" envoie un ping à chaque machine du dossier : l'icône devient "
         "verte si elle répond, rouge sinon. La touche Echap interrompt le test."},
        {"TXT_ASTUCE8",
         "\"Tester la sélection\" ne vérifie que les machines sélectionnées : pratique pour "
         "contrôler qu'un réveil a bien fonctionné."},
        {"TXT_ASTUCE9",
         "Les commandes personnalisées (menu Options, Configuration) lancent le programme de votre "
         "choix sur les machines sélectionnées ; %ip%, %mac% et %host% y sont remplacés par les "
         "valeurs de chaque machine."},
        {"TXT_ASTUCE10",
         "Une commande personnalisée peut ouvrir une session réseau avec le login de la machine "
         "avant de s'exécuter, puis la fermer automatiquement après le délai choisi."},
        {"TXT_ASTUCE11",
         "VelmoraBatch permet d'agir depuis un script ou une tâche planifiée (cron) : par exemple "
         "\"VelmoraBatch /w:bureau!*\" réveille toutes les machines du dossier bureau."},
        {"TXT_ASTUCE12",
         "Dans VelmoraBatch, les caractères jokers \"*\" et \"?\" désignent plusieurs machines "
         "d'un coup ; son code de sortie indique au script si l'action a réussi. Tapez "
         "\"VelmoraBatch /?\" pour l'aide complète."},
        {"TXT_ASTUCE13",
         "Une machine située derrière un routeur Internet peut être réveillée via Internet (WOW) : "
         "indiquez dans la configuration l'adresse du script web de réveil, avec %ip%, %mac% et "
         "%port%."},
        {"TXT_ASTUCE14",
         "Le menu Options, \"Mettre à jour les adresses MAC...\", interroge toutes les machines "
         "allumées d'un dossier et corrige les adresses MAC qui ont changé (après un changement de "
         "carte réseau par exemple)."},
        {"TXT_ASTUCE15",
         "Vous pouvez importer une liste de machines depuis un fichier texte délimité ou depuis "
         "l'export d'un scanner réseau : menu Fichier, puis choisissez les colonnes en cliquant "
         "sur leurs en-têtes."},
        {"TXT_ASTUCE16",
         "Avec l'option \"Minimiser dans la systray\", Velmora se range dans la zone de "
         "notification au lieu de la barre des tâches ; le menu de son icône permet de le "
         "restaurer."},
        {"TXT_ASTUCE17",
         "Velmora peut mémoriser la position et la taille de sa fenêtre, la largeur des colonnes, "
         "le dernier dossier ouvert et le tri : voir le menu Options."},
        {"TXT_ASTUCE18",
         "Le bouton \"Réveiller la sélection\" réveille les machines sélectionnées ; sa flèche "
         "propose aussi le réveil via Internet."},
        {"TXT_ASTUCE19",
         "Pour ne pas surcharger l'installation électrique ou le réseau, une pause est observée "
         "entre deux réveils successifs ; sa durée se règle dans la configuration."},
        {"TXT_ASTUCE20",
         "Un redémarrage ou une extinction peut être différé de quelques secondes et accompagné "
         "d'un message à l'utilisateur de la machine distante. Dans ce message, le caractère '§' "
         "passe à la ligne."},
        {"TXT_ASTUCE21",
         "Tant que le délai d'un redémarrage ou d'une extinction n'est pas écoulé, la machine "
         "clignote dans la liste et l'action peut encore être annulée depuis le menu contextuel "
         "(Maj + clic droit force l'affichage de l'annulation)."},
        {"TXT_ASTUCE22",
         "Les actions WMI (verrouiller ou fermer la session, mise en veille prolongée, redémarrage "
         "et extinction immédiats) sont disponibles dans le menu du bouton \"Agir sur la "
         "sélection\"."},
        {"TXT_ASTUCE23",
         "La confirmation avant d'agir peut être limitée aux actions portant sur plusieurs "
         "machines : voir l'onglet correspondant de la configuration."},
        {"TXT_ASTUCE24",
         "Un double-clic ou la touche Entrée modifie la machine courante, la touche Suppr supprime "
         "la sélection et Ctrl+A sélectionne toute la liste."},
        {"TXT_ASTUCE25",
         "Dans la fiche d'une machine, les boutons placés à côté des champs retrouvent l'adresse "
         "IP à partir du nom, et l'adresse MAC à partir de l'adresse IP."},
        {"TXT_ASTUCE26",
         "Chaque machine peut avoir son propre login et son mot de passe pour les actions à "
         "distance ; le mot de passe n'est jamais enregistré en clair dans le fichier de "
         "configuration."},
        {"TXT_ASTUCE27",
         "Le masque d'une machine sert à calculer l'adresse de diffusion à laquelle le paquet "
         "magique est envoyé : laissé vide, c'est le masque par défaut de la configuration qui est "
         "utilisé."},
        {"TXT_ASTUCE28",
         "Un autre fichier de configuration peut être donné en argument au lancement (par exemple "
         "\"Velmora maison.ini\") : pratique pour gérer plusieurs réseaux séparément."},
        {"TXT_DEMANDE_REVEIL_VIA_INTERNET_ABANDONNE", "demande abandonnée par l'utilisateur"},
        {"MSG_ERREUR_MOT_DE_PASSE_CARACTERES",
         "Le mot de passe contient un caractère qui ne peut pas être enregistré (seuls les "
         "caractères d'Europe occidentale sont acceptés)..."},
        {"TXT_DECOUVERTE_COL_ADRESSE", "Adresse IP"},
        {"TXT_DECOUVERTE_COL_NOM", "Nom"},
        {"TXT_DECOUVERTE_COL_MAC", "Adresse MAC"},
        {"TXT_DECOUVERTE_COL_FABRICANT", "Fabricant"},
        {"TXT_DECOUVERTE_COL_DOSSIER", "Dossier"},
        {"TXT_DECOUVERTE_DEJA_PRESENTE", "déjà présente"},
        {"TXT_DECOUVERTE_EN_COURS", "Étape 1 sur 2 : ping de %v adresses..."},
        {"TXT_DECOUVERTE_DESCRIPTION",
         "Étape 2 sur 2 : noms et adresses MAC des machines qui ont répondu (%v sur %v)..."},
        {"TXT_DECOUVERTE_TERMINEE", "Exploration terminée : %v machines ont répondu."},
        {"TXT_DECOUVERTE_ARRETEE", "Exploration arrêtée : %v machines ont répondu."},
        {"TXT_DECOUVERTE_AJOUTEES", "%v machines ajoutées au dossier."},
        {"MSG_ERREUR_REVEIL_VIA_INTERNET_REFUS", "La demande de réveil par Internet a échoué :"},
        {"MSG_DECOUVERTE_NOMS_REFUSES",
         "Le nom lu sur le réseau contient un caractère interdit (| ! * ? [ ] =) ou un caractère "
         "de contrôle pour : %v.§§Ces machines sont ajoutées sous leur adresse ; vous pourrez "
         "les renommer."},
        {"TXT_FAIRE_UN_DON", "Faire un don"},
        {"MSG_DECOUVERTE_PLAGE_INVALIDE",
         "Le réseau à explorer doit être une adresse IP suivie d'une barre oblique et d'un "
         "préfixe ou d'un masque, par exemple 192.168.1.0/24 ou 192.168.1.0/255.255.255.0..."},
        {"MSG_DECOUVERTE_PLAGE_TROP_GRANDE",
         "Le réseau à explorer est trop grand : son préfixe doit être au moins /16 (65 534 "
         "adresses)..."},
    };
    return textes;
}

}  // namespace velmora::i18n
