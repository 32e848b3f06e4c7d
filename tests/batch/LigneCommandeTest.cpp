// Parsing and checking of the console program's options, without running anything.
#include <gtest/gtest.h>

#include "batch/LigneCommande.h"

namespace velmora::batch {
namespace {

TEST(ExtraireValeur, QuotedAndUnquotedValues) {
    struct Cas {
        std::string ligne;
        size_t position;
        std::string valeur, reste;
    };
    const Cas cas[] = {
        // A quoted value keeps its spaces and "/" and is not trimmed.
        {"/m:\" Arret le 12/05 \"  /S:pc1", 4, " Arret le 12/05 ", "/S:pc1"},
        // No closing quote: nothing is left.
        {"/m:\"sans fin /S:pc1", 4, "", ""},
        // An unquoted value runs to the next "/", spaces included, and is trimmed.
        {"/m:Arret le 12/05 /S:pc1", 4, "Arret le 12", "/05 /S:pc1"},
        {"/S:  pc 1  ", 4, "pc 1", ""},
        // A "/" right at the value's position gives an empty value and keeps the switch.
        {"/d/i", 3, "", "/i"},
        {"/u", 3, "", ""},
    };
    for (const Cas& c : cas) {
        std::string reste = c.ligne;
        EXPECT_EQ(ExtraireValeur(reste, c.position), c.valeur) << c.ligne;
        EXPECT_EQ(reste, c.reste) << c.ligne;
    }
}

struct Analyse {
    Commande commande;
    std::optional<ErreurCommande> erreur;
};

Analyse Analyser(const std::string& options) {
    Analyse a;
    a.erreur = AnalyserOptions(options, a.commande);
    if (!a.erreur) a.erreur = VerifierCommande(a.commande);
    return a;
}

TEST(AnalyserOptions, RefusedCommandLinesGiveTheirMessage) {
    const std::pair<std::string, std::string> cas[] = {
        {"/w:pc1 /n:pc2", "MSG_ERREUR_PLUSIEURS_ACTIONS"},
        {"/W:pc1 /D", "MSG_ERREUR_ACTION_OU_OPTION_INCONNUE"},
        {"/S:pc1 /t:3a", "MSG_ERREUR_OPTION_DELAI"},
        {"/S:pc1 /t:", "MSG_ERREUR_OPTION_DELAI"},
        {"/S:pc1 /t:-5", "MSG_ERREUR_OPTION_DELAI"},
        {"/S:pc1 /t:32768", "MSG_ERREUR_OPTION_DELAI"},
        {"/S:pc1 /t:99999999999999999999999", "MSG_ERREUR_OPTION_DELAI"},
        {"/S:pc1 /f:oui", "MSG_ERREUR_OPTION_FORCER"},
        {"/S:pc1 /f:", "MSG_ERREUR_OPTION_FORCER"},
        {"/S:pc1 /m:", "MSG_ERREUR_OPTION_MESSAGE"},
        {"/S:pc1 /m:\"\"", "MSG_ERREUR_OPTION_MESSAGE"},
        {"/d /i", "MSG_ERREUR_OMISSION_ACTION_BATCH"},
        {"/S:", "MSG_ERREUR_OMISSION_MACHINE"},
        {"/U", "MSG_ERREUR_OMISSION_MACHINE"},  // the letter case matters
        {"/r:pc1 /t:30", "MSG_ERREUR_OPTION_NON_PERMISE1"},
        {"/w:pc1 /m:salut", "MSG_ERREUR_OPTION_NON_PERMISE1"},
        {"/w:pc1 /i", "MSG_ERREUR_OPTION_NON_PERMISE2"},
        {"/u /i", "MSG_ERREUR_OPTION_NON_PERMISE2"},
        {"/S:pc1 /x", "MSG_ERREUR_ACTION_OU_OPTION_INCONNUE"},
        {"/S:pc1 /d:", "MSG_ERREUR_ACTION_OU_OPTION_INCONNUE"},
        {"/S:\"pc1\" pc2", "MSG_ERREUR_ACTION_OU_OPTION_INCONNUE"},  // text after a quote
    };
    for (const auto& [options, cle] : cas) {
        Analyse a = Analyser(options);
        ASSERT_TRUE(a.erreur) << options;
        EXPECT_EQ(a.erreur->cle, cle) << options;
    }
    EXPECT_EQ(Analyser("/W:pc1 /D").erreur->valeurs, std::vector<std::string>{"/D"});
    // An unquoted message stops at the next "/": the rest is an unknown switch.
    Analyse a = Analyser("/m:Arret le 12/05 /S:pc1");
    EXPECT_EQ(a.erreur->valeurs, std::vector<std::string>{"/05"});
    EXPECT_EQ(a.commande.message, "Arret le 12");
}

TEST(AnalyserOptions, AcceptedCommandLinesFillTheCommand) {
    Analyse a = Analyser("/S:pc1 /t:30 /f:ON /m:\"Arret le 12/05§à 18h\"");
    ASSERT_FALSE(a.erreur);
    EXPECT_EQ(a.commande.action, 'S');
    EXPECT_EQ(a.commande.etendue, "pc1");
    EXPECT_EQ(a.commande.delai, 30);
    EXPECT_TRUE(a.commande.forcer);
    EXPECT_EQ(a.commande.message, "Arret le 12/05\r\nà 18h");
    EXPECT_TRUE(a.commande.optionsDonnees);

    a = Analyser("/R:pc1 /t:32767 /f:off");
    ASSERT_FALSE(a.erreur);
    EXPECT_EQ(a.commande.delai, 32767);
    EXPECT_FALSE(a.commande.forcer);

    // "/R:" and "/r:", "/S:" and "/s:" are different actions.
    EXPECT_EQ(Analyser("/r:pc1").commande.action, 'r');
    EXPECT_EQ(CodeAction('r'), 8);
    EXPECT_EQ(CodeAction('R'), 3);
    EXPECT_EQ(CodeAction('s'), 10);
    EXPECT_EQ(CodeAction('S'), 4);

    a = Analyser("/d/i/W:pc1");
    ASSERT_FALSE(a.erreur);  // /i is refused with "w" only, not "W"
    EXPECT_TRUE(a.commande.silencieux);
    EXPECT_TRUE(a.commande.sansRecherche);
    EXPECT_EQ(a.commande.action, 'W');

    a = Analyser("/u");
    EXPECT_FALSE(a.erreur);
    EXPECT_EQ(a.commande.action, 'u');
    a = Analyser("/u:bureau /d");
    EXPECT_FALSE(a.erreur);
    EXPECT_EQ(a.commande.etendue, "bureau");
    EXPECT_EQ(Analyser("/?").commande.action, '?');
    EXPECT_EQ(Analyser("/w:bureau!pc 1, 00-11-22-33-44-55, 9").commande.etendue,
              "bureau!pc 1, 00-11-22-33-44-55, 9");
}

}  // namespace
}  // namespace velmora::batch
