#!/usr/bin/python3
"""Starts the built windowed program as a user does (its own main(), the xcb platform, a virtual
display with a window manager, with or without a tray) in several start situations, and checks
what is on the screen: every control of the main window visible, inside the window, not
overlapping another, the window inside the screen; then the first windows a user opens (the
configuration dialog page by page, the machine dialog, the discovery window, the progress
window) in French and in English. The program writes its visible widget tree to the file named
by VELMORA_ARBRE_VISIBLE. One screenshot per situation and window is kept in the output folder.

Usage: test_demarrage_ecran.py <Velmora executable> <English.lng> <output folder> [case...]
"""
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

VELMORA, ANGLAIS, SORTIE = sys.argv[1], sys.argv[2], sys.argv[3]
SEULS = sys.argv[4:]

CONTROLES = ["tabOnglets", "lvwMachines", "btnAjouter", "btnModifier", "btnSupprimer",
             "btnTester", "btnTesterSélection", "btnRéveiller", "btnRéveillerPlus", "btnAgir",
             "btnAgirPlus", "btnQuitter", "lblNbMachines", "lblMachines"]
# Letters and words that only a French text holds.
FRANCAIS = re.compile(r"[éèêëàâçùûôîïÉÈ]|\b(Ajouter|Modifier|Supprimer|Quitter|Tester|Fichier|"
                      r"Aide|Annuler|Fermer|Réveiller|Démarrer|Arrêter|[Dd]ossier|[Mm]achine "
                      r"distante|Adresse|Masque|Commentaire|Oui|Non|[Ll]a|[Ll]es|[Dd]es|du|et|"
                      r"ou|pour|avec)\b")
# Typos once seen in the windows.
FAUTES = ["exctinction", "machinedistante", "l 'utilisateur", "v1.0 Velmora"]
# Names that stay as they are in every language (the list of languages names each in its own).
NOMS_PROPRES = {"Français"}

DEUX_DOSSIERS = """[Config]
Langue={langue}
ListeDossiers=Serveurs|Postes de travail
AstucesAfficherAuDémarrage=0
FenêtreMémoriserTaille={taille}
FenêtreLargeur=13000
FenêtreHauteur=8000
FenêtreEtat={etat}
[Serveurs]
NbMachines=2
Machine1=srv1|127.0.0.2|255.0.0.0|9|00-11-22-33-44-55||serveur|
Machine2=srv2|127.0.0.3|255.0.0.0|9|00-11-22-33-44-66|||
[Postes de travail]
NbMachines=1
Machine1=pc1|127.0.0.4|255.0.0.0|9|00-11-22-33-44-77|||
"""


class Echec(Exception):
    pass


erreurs = []


def verifier(condition, message):
    if not condition:
        erreurs.append(message)
    return condition


def attendre(predicat, delai, message):
    fin = time.monotonic() + delai
    while time.monotonic() < fin:
        valeur = predicat()
        if valeur:
            return valeur
        time.sleep(0.05)
    raise Echec(message)


class Ecran:
    """Xvfb on a free display, openbox, and trayer when asked; all stopped on leaving."""

    def __init__(self, largeur, hauteur, plateau):
        self.taille = (largeur, hauteur)
        self.plateau = plateau
        self.processus = []

    def __enter__(self):
        lecture, ecriture = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(ecriture), "-screen", "0",
             "%dx%dx24" % self.taille, "-nolisten", "tcp", "-noreset"],
            pass_fds=[ecriture], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(ecriture)
        self.processus.append(xvfb)
        numero = b""
        while not numero.endswith(b"\n"):
            morceau = os.read(lecture, 16)
            if not morceau:
                break
            numero += morceau
        os.close(lecture)
        if not numero.strip():
            self.__exit__(None, None, None)
            raise Echec("Xvfb did not start")
        self.env = dict(os.environ, DISPLAY=":" + numero.decode().strip())
        self.env.pop("WAYLAND_DISPLAY", None)
        self.lancer(["openbox", "--sm-disable"])
        attendre(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.sortie(
            ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]), 10, "openbox did not start")
        if self.plateau:
            self.lancer(["trayer", "--edge", "bottom", "--align", "right", "--widthtype",
                         "request", "--height", "24", "--SetDockType", "true",
                         "--SetPartialStrut", "true"])
            attendre(lambda: "trayer" in self.sortie(["xwininfo", "-root", "-tree"]), 10,
                     "trayer did not start")
        return self

    def lancer(self, commande, **options):
        p = subprocess.Popen(commande, env=options.pop("env", self.env),
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **options)
        self.processus.append(p)
        return p

    def sortie(self, commande):
        r = subprocess.run(commande, env=self.env, capture_output=True, text=True, timeout=10)
        return r.stdout

    def capture(self, nom):
        os.makedirs(SORTIE, exist_ok=True)
        subprocess.run(["import", "-window", "root", os.path.join(SORTIE, nom + ".png")],
                       env=self.env, timeout=30, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def clic(self, rect):
        x, y, w, h = rect
        subprocess.run(["xdotool", "mousemove", "--sync", str(x + w // 2), str(y + h // 2),
                        "click", "1"], env=self.env, timeout=10, check=False)

    def touche(self, touche):
        subprocess.run(["xdotool", "key", touche], env=self.env, timeout=10, check=False)

    def __exit__(self, *exc):
        for p in reversed(self.processus):
            if p.poll() is None:
                p.terminate()
        for p in reversed(self.processus):
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        return False


class Programme:
    """The built program copied into a folder of its own (its Configuration file and language
    files live beside it, as for a program that is not installed)."""

    def __init__(self, ecran, dossier, ini, langue_systeme):
        self.ecran = ecran
        self.arbre = os.path.join(dossier, "arbre.json")
        fichier = os.path.join(dossier, "Velmora.ini")
        if os.path.exists(fichier):
            os.remove(fichier)
        if os.path.exists(self.arbre):
            os.remove(self.arbre)
        if ini is not None:
            with open(fichier, "w", encoding="utf-8") as f:
                f.write(ini)
        env = dict(ecran.env, QT_QPA_PLATFORM="xcb", LANG=langue_systeme, LC_ALL="",
                   LC_MESSAGES="", VELMORA_ARBRE_VISIBLE=self.arbre,
                   HOME=os.path.join(dossier, "home"),
                   XDG_CONFIG_HOME=os.path.join(dossier, "home", ".config"),
                   XDG_RUNTIME_DIR=os.path.join(dossier, "run"))
        for cle in ("QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_FONT_DPI",
                    "QT_QPA_PLATFORMTHEME", "QT_STYLE_OVERRIDE"):
            env.pop(cle, None)
        self.processus = ecran.lancer([os.path.join(dossier, "Velmora")], env=env)

    def lire(self):
        try:
            with open(self.arbre, encoding="utf-8") as f:
                return json.load(f)
        except (OSError, ValueError):
            return None

    def stable(self, predicat, delai=15, message="window not shown"):
        """The tree once it satisfies `predicat` and has not changed for 0.6 s."""
        fin = time.monotonic() + delai
        precedent, depuis = None, time.monotonic()
        while time.monotonic() < fin:
            if self.processus.poll() is not None:
                raise Echec("the program ended (code %s)" % self.processus.returncode)
            try:
                marque = os.stat(self.arbre).st_mtime_ns
            except OSError:
                marque = None
            if marque != precedent:
                precedent, depuis = marque, time.monotonic()
            elif marque is not None and time.monotonic() - depuis >= 0.6:
                arbre = self.lire()
                if arbre and predicat(arbre):
                    return arbre
            time.sleep(0.1)
        raise Echec(message)

    def arreter(self):
        if self.processus.poll() is None:
            self.processus.send_signal(signal.SIGTERM)
            try:
                self.processus.wait(10)
            except subprocess.TimeoutExpired:
                self.processus.kill()
                self.processus.wait()


def fenetre(arbre, nom):
    for f in arbre["fenetres"]:
        if f["nom"] == nom and f["expose"]:
            return f
    return None


def widget(f, nom):
    for w in f["widgets"]:
        if w["nom"] == nom:
            return w
    return None


def dedans(r, zone):
    return (r[0] >= zone[0] and r[1] >= zone[1] and r[0] + r[2] <= zone[0] + zone[2]
            and r[1] + r[3] <= zone[1] + zone[3])


def chevauche(a, b):
    return (a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3]
            and b[1] < a[1] + a[3])


def coupe(w):
    """Why a visible control is cut off or squeezed ("" when it is whole)."""
    if w["rect"][2] <= 0 or w["rect"][3] <= 0:
        return "empty geometry %s" % w["rect"]
    if w["visible"] != w["rect"] and w["parent"] != "qt_scrollarea_viewport":
        return "cut off: %s shown of %s" % (w["visible"], w["rect"])
    # Room for the text: a button's frame, a box's indicator or a list's arrow around it; a
    # label that does not wrap needs its own minimum size.
    besoin = {"QPushButton": 6, "QCheckBox": 16, "QRadioButton": 16, "QComboBox": 20}
    if w["classe"] in besoin and w["rect"][2] < w.get("largeurTexte", 0) + besoin[w["classe"]]:
        return "narrower than its text: %s, text %d wide" % (w["rect"], w["largeurTexte"])
    if w["classe"] in besoin and w["rect"][3] < min(w["min"][1], 20):
        return "lower than its text: %s, needs %s" % (w["rect"], w["min"])
    if w["classe"] == "QLabel" and not w.get("retour") and (
            w["rect"][2] < w["min"][0] or w["rect"][3] < w["min"][1]):
        return "smaller than its text: %s, needs %s" % (w["rect"], w["min"])
    return ""


def textes(f):
    sortie = [f["titre"]]
    for w in f["widgets"]:
        if w["classe"] in ("QLineEdit",):
            continue  # what the user typed or the file holds
        sortie.append(w["texte"])
        sortie += [o["texte"] for o in w.get("onglets", [])]
        sortie += [c["texte"] for c in w.get("colonnes", [])]
        sortie += [a["texte"] for a in w.get("actions", [])]
        sortie += w.get("elements", [])
    return [t for t in sortie if t]


def verifier_fenetre(arbre, f, cas, anglais):
    """Any window: inside the screen, every visible control whole, none overlapping a sibling,
    and in English no French text."""
    nom = "%s/%s" % (cas, f["nom"])
    verifier(dedans(f["cadre"], arbre["ecran"]),
             "%s: window %s is not inside the screen %s" % (nom, f["cadre"], arbre["ecran"]))
    controles = []
    for w in f["widgets"][1:]:
        if w["classe"] in ("QWidget", "QFrame", "QStackedWidget", "QScrollBar", "QSizeGrip",
                           "QMenuBar", "QToolButton", "QFocusFrame") or not w["nom"]:
            continue
        if w["parent"] in ("qt_scrollarea_viewport", "qt_scrollarea_hcontainer",
                           "qt_scrollarea_vcontainer"):
            continue
        raison = coupe(w)
        verifier(not raison, "%s: %s %s" % (nom, w["nom"], raison))
        verifier(dedans(w["rect"], f["geometrie"]),
                 "%s: %s %s lies outside the window %s" % (nom, w["nom"], w["rect"],
                                                           f["geometrie"]))
        controles.append(w)
    for i, a in enumerate(controles):
        for b in controles[i + 1:]:
            if a["parent"] == b["parent"] and chevauche(a["rect"], b["rect"]):
                verifier(False, "%s: %s %s overlaps %s %s" % (nom, a["nom"], a["rect"], b["nom"],
                                                              b["rect"]))
    for t in textes(f):
        for faute in FAUTES:
            verifier(faute not in t, "%s: typo %r in %r" % (nom, faute, t))
    if anglais:
        for t in textes(f):
            verifier(t in NOMS_PROPRES or not FRANCAIS.search(t),
                     "%s: French text in English: %r" % (nom, t))


def verifier_principale(arbre, cas, dossiers, anglais):
    f = fenetre(arbre, "frmVelmora")
    if not verifier(f is not None, "%s: the main window is not shown" % cas):
        return
    verifier_fenetre(arbre, f, cas, anglais)
    rects = {}
    for nom in CONTROLES:
        w = widget(f, nom)
        if not verifier(w is not None, "%s: %s is not visible" % (cas, nom)):
            continue
        rects[nom] = w["rect"]
        verifier(w["rect"][2] > 0 and w["rect"][3] > 0 and w["visible"] == w["rect"],
                 "%s: %s is not fully shown: %s of %s" % (cas, nom, w["visible"], w["rect"]))
        verifier(dedans(w["rect"], f["geometrie"]),
                 "%s: %s %s lies outside the window %s" % (cas, nom, w["rect"], f["geometrie"]))
    noms = list(rects)
    for i, a in enumerate(noms):
        for b in noms[i + 1:]:
            verifier(not chevauche(rects[a], rects[b]),
                     "%s: %s %s overlaps %s %s" % (cas, a, rects[a], b, rects[b]))
    onglets = widget(f, "tabOnglets")
    if onglets:
        verifier([o["texte"] for o in onglets["onglets"]] == dossiers + ["+"],
                 "%s: tabs %s, expected %s" % (cas, [o["texte"] for o in onglets["onglets"]],
                                               dossiers + ["+"]))
        for o in onglets["onglets"]:
            verifier(o["rect"][2] > 0 and o["rect"][3] > 0 and
                     dedans(o["rect"], onglets["visible"]),
                     "%s: tab %r is not shown: %s in %s" % (cas, o["texte"], o["rect"],
                                                           onglets["visible"]))
    liste = widget(f, "lvwMachines")
    entetes = [w for w in f["widgets"] if w["classe"] == "QHeaderView" and w.get("colonnes")]
    if verifier(liste and entetes, "%s: the list has no visible header" % cas):
        colonnes = entetes[0]["colonnes"]
        verifier(len(colonnes) == 8, "%s: %d columns" % (cas, len(colonnes)))
        attendu = "Machine or user" if anglais else "Machine ou utilisateur"
        verifier(len(colonnes) > 1 and colonnes[1]["texte"] == attendu,
                 "%s: second column %r" % (cas, colonnes[1]["texte"] if colonnes else None))
        for c in colonnes[:3]:
            verifier(c["rect"][2] > 0 and dedans(c["rect"], entetes[0]["visible"]),
                     "%s: column %r is not shown" % (cas, c["texte"]))
    menus = [w for w in f["widgets"] if w["classe"] == "QMenuBar"]
    verifier(menus and len(menus[0]["actions"]) == 3, "%s: the menu bar is not shown" % cas)


def ouvrir_menu(programme, arbre, menu, element):
    principale = fenetre(arbre, "frmVelmora")
    barre = [w for w in principale["widgets"] if w["classe"] == "QMenuBar"][0]
    action = [a for a in barre["actions"] if a["nom"] == menu][0]
    programme.ecran.clic(action["rect"])
    arbre = programme.stable(lambda a: any(w["classe"] == "QMenu" for f in a["fenetres"]
                                           for w in f["widgets"][:1]), message="no menu")
    for f in arbre["fenetres"]:
        for a in f["widgets"][0].get("actions", []):
            if a["nom"] == element:
                programme.ecran.clic(a["rect"])
                return
    raise Echec("no menu item " + element)


def fermer(programme, nom):
    programme.ecran.touche("Escape")
    programme.stable(lambda a: fenetre(a, nom) is None, message=nom + " did not close")


def premieres_fenetres(programme, arbre, cas, anglais):
    """The configuration dialog (every page), the machine dialog, the discovery window and the
    progress window, as a user opens them."""
    ecran = programme.ecran
    ouvrir_menu(programme, arbre, "mnuOptions", "mnuOptionsPréférences")
    arbre = programme.stable(lambda a: fenetre(a, "frmConfiguration"),
                             message="no configuration dialog")
    onglets = widget(fenetre(arbre, "frmConfiguration"), "tabOnglets")["onglets"]
    for i, onglet in enumerate(onglets):
        ecran.clic(onglet["rect"])
        arbre = programme.stable(
            lambda a: widget(fenetre(a, "frmConfiguration"), "tabOnglets")["onglets"][i]
            ["courant"], message="configuration page %d not shown" % (i + 1))
        verifier_fenetre(arbre, fenetre(arbre, "frmConfiguration"),
                         "%s/page%d" % (cas, i + 1), anglais)
        ecran.capture("%s-configuration-%d" % (cas, i + 1))
    fermer(programme, "frmConfiguration")

    arbre = programme.stable(lambda a: fenetre(a, "frmVelmora"))
    ecran.clic(widget(fenetre(arbre, "frmVelmora"), "btnAjouter")["rect"])
    arbre = programme.stable(lambda a: fenetre(a, "frmMachine"), message="no machine dialog")
    verifier_fenetre(arbre, fenetre(arbre, "frmMachine"), cas, anglais)
    ecran.capture(cas + "-machine")
    fermer(programme, "frmMachine")

    ouvrir_menu(programme, arbre, "mnuFichier", "mnuFichierDecouvrir")
    arbre = programme.stable(lambda a: fenetre(a, "frmDecouverte"), message="no discovery")
    verifier_fenetre(arbre, fenetre(arbre, "frmDecouverte"), cas, anglais)
    ecran.capture(cas + "-decouverte")
    fermer(programme, "frmDecouverte")

    ouvrir_menu(programme, arbre, "mnuAide", "mnuAideAPropos")
    arbre = programme.stable(lambda a: fenetre(a, "frmAPropos"), message="no About window")
    verifier_fenetre(arbre, fenetre(arbre, "frmAPropos"), cas, anglais)
    ecran.capture(cas + "-apropos")
    fermer(programme, "frmAPropos")

    # The MAC address update of the folder's machines (loopback addresses) shows the progress
    # window, which stays open once done.
    ouvrir_menu(programme, arbre, "mnuOptions", "mnuOptionsMajMAC")
    arbre = programme.stable(lambda a: fenetre(a, "frmTraitementEnCours") or any(
        f["classe"] == "QMessageBox" for f in a["fenetres"]), delai=30,
        message="no progress window")
    for f in arbre["fenetres"]:
        if f["classe"] == "QMessageBox":  # a question first: yes
            verifier_fenetre(arbre, f, cas, anglais)
            ecran.touche("Return")
            arbre = programme.stable(lambda a: fenetre(a, "frmTraitementEnCours"), delai=30,
                                     message="no progress window")
    arbre = programme.stable(
        lambda a: fenetre(a, "frmTraitementEnCours") and
        widget(fenetre(a, "frmTraitementEnCours"), "btnStop")["texte"] != (
            "&Stop!" if anglais else "&Arrêter !"), delai=60, message="the update did not end")
    verifier_fenetre(arbre, fenetre(arbre, "frmTraitementEnCours"), cas, anglais)
    ecran.capture(cas + "-progression")
    ecran.clic(widget(fenetre(arbre, "frmTraitementEnCours"), "btnStop")["rect"])
    programme.stable(lambda a: fenetre(a, "frmTraitementEnCours") is None,
                     message="the progress window did not close")


def plateau_et_retour(programme, arbre, cas):
    """Minimised into the tray, then restored by a double click on the tray icon: the window
    comes back active (its title bar shows the focus)."""
    ecran = programme.ecran
    subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Velmora v",
                    "windowminimize"], env=ecran.env, timeout=10, check=False)
    arbre = programme.stable(lambda a: fenetre(a, "frmVelmora") is None and a.get("plateau"),
                             message="the window did not go into the tray")
    ecran.capture(cas + "-plateau")
    x, y, w, h = arbre["plateau"]
    subprocess.run(["xdotool", "mousemove", "--sync", str(x + w // 2), str(y + h // 2),
                    "click", "--repeat", "2", "--delay", "80", "1"],
                   env=ecran.env, timeout=10, check=False)
    arbre = programme.stable(lambda a: fenetre(a, "frmVelmora"),
                             message="the window did not come back from the tray")
    verifier(fenetre(arbre, "frmVelmora")["actif"] and not arbre.get("plateau"),
             "%s: the window restored from the tray is not active" % cas)
    ecran.capture(cas + "-restauree")


# name: (screen, tray, Configuration file, system language, folders, English, other windows)
CAS = {
    "nouveau": ((1366, 768), True, None, "fr_FR.UTF-8", ["Machines"], False, False),
    "deux-dossiers": ((1366, 768), True, DEUX_DOSSIERS.format(langue="", taille=0, etat=0),
                      "fr_FR.UTF-8", ["Serveurs", "Postes de travail"], False, True),
    "taille-memorisee": ((1366, 768), True, DEUX_DOSSIERS.format(langue="", taille=-1, etat=0),
                         "fr_FR.UTF-8", ["Serveurs", "Postes de travail"], False, False),
    "maximisee": ((1366, 768), True, DEUX_DOSSIERS.format(langue="", taille=-1, etat=2),
                  "fr_FR.UTF-8", ["Serveurs", "Postes de travail"], False, False),
    "anglais": ((1366, 768), True, DEUX_DOSSIERS.format(langue="English", taille=0, etat=0),
                "en_US.UTF-8", ["Serveurs", "Postes de travail"], True, True),
    "nouveau-anglais": ((1366, 768), True, None, "en_US.UTF-8", ["Machines"], True, False),
    "petit-nouveau": ((1024, 600), True, None, "fr_FR.UTF-8", ["Machines"], False, False),
    "petit-deux-dossiers": ((1024, 600), True, DEUX_DOSSIERS.format(langue="", taille=0, etat=0),
                            "fr_FR.UTF-8", ["Serveurs", "Postes de travail"], False, True),
    "petit-anglais": ((1024, 600), True, DEUX_DOSSIERS.format(langue="English", taille=0,
                                                              etat=0),
                      "en_US.UTF-8", ["Serveurs", "Postes de travail"], True, True),
    "sans-plateau": ((1366, 768), False, None, "fr_FR.UTF-8", ["Machines"], False, False),
    "plateau": ((1366, 768), True, DEUX_DOSSIERS.format(langue="", taille=0, etat=0).replace(
        "[Config]\n", "[Config]\nMinimiserSystray=-1\n"), "fr_FR.UTF-8",
                ["Serveurs", "Postes de travail"], False, False),
    "sans-plateau-deux-dossiers": ((1024, 600), False,
                                   DEUX_DOSSIERS.format(langue="", taille=-1, etat=0),
                                   "fr_FR.UTF-8", ["Serveurs", "Postes de travail"], False,
                                   False),
}


def executer(cas, dossier):
    taille, plateau, ini, langue, dossiers, anglais, autres = CAS[cas]
    with Ecran(taille[0], taille[1], plateau) as ecran:
        programme = Programme(ecran, dossier, ini, langue)
        try:
            arbre = programme.stable(lambda a: fenetre(a, "frmVelmora"), delai=20)
            # The tip of the day of a first start: inside the screen, then closed.
            for f in arbre["fenetres"]:
                if f["nom"] == "frmAstuceDuJour" and f["expose"]:
                    verifier_fenetre(arbre, f, cas, anglais)
                    ecran.capture(cas + "-astuce")
                    fermer(programme, "frmAstuceDuJour")
                    arbre = programme.stable(lambda a: fenetre(a, "frmVelmora"))
            verifier_principale(arbre, cas, dossiers, anglais)
            ecran.capture(cas)
            if autres:
                premieres_fenetres(programme, arbre, cas, anglais)
            if cas == "plateau":
                plateau_et_retour(programme, arbre, cas)
        finally:
            programme.arreter()


def main():
    debut = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="velmora-ecran-") as dossier:
        shutil.copy2(VELMORA, os.path.join(dossier, "Velmora"))
        shutil.copy2(ANGLAIS, os.path.join(dossier, "English.lng"))
        os.makedirs(os.path.join(dossier, "run"), mode=0o700)
        for cas in CAS:
            if SEULS and cas not in SEULS:
                continue
            avant = len(erreurs)
            try:
                executer(cas, dossier)
            except Echec as e:
                erreurs.append("%s: %s" % (cas, e))
            print("%-28s %s" % (cas, "ok" if len(erreurs) == avant else "FAILED"), flush=True)
    print("screenshots in %s (%.0f s)" % (SORTIE, time.monotonic() - debut))
    for e in erreurs:
        print("  " + e)
    return 1 if erreurs else 0


if __name__ == "__main__":
    sys.exit(main())
