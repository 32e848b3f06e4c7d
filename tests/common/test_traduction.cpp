// The Translation table, the "%v" substitution, the "§" rule and the system language.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>

#include "common/i18n/Traduction.h"

using namespace velmora::i18n;

namespace {

TEST(colTraductions, KeysIgnoreCaseIncludingAccentedLettersAndStayUnique) {
    colTraductions table;
    table.Add("TXT_CLÉ", "accentuée");
    table.Add("TXT_AUTRE", "autre");
    EXPECT_EQ(table.Item("txt_clé"), "accentuée");
    EXPECT_EQ(table.Item("Txt_Autre"), "autre");
    EXPECT_THROW(table.Add("txt_clé", "doublon"), std::invalid_argument);
    EXPECT_THROW(table.Add("TXT_AUTRE", "doublon"), std::invalid_argument);
    EXPECT_EQ(table.Count(), 2u);
    EXPECT_EQ(table.Item("txt_clé"), "accentuée");  // the failed Add changed nothing
}

TEST(colTraductions, AbsentKeysAndPositionsGiveEmptyTextWithoutError) {
    colTraductions table;
    EXPECT_EQ(table.Item("TXT_ABSENT"), "");
    EXPECT_EQ(table.Item(size_t{1}), "");
    table.Add("A", "premier");
    table.Add("B", "second");
    EXPECT_EQ(table.Item(size_t{0}), "");
    EXPECT_EQ(table.Item(size_t{1}), "premier");
    EXPECT_EQ(table.Item(size_t{2}), "second");
    EXPECT_EQ(table.Item(size_t{3}), "");
    EXPECT_EQ(table.Item(""), "");
    EXPECT_THROW(table.Remove("C"), std::out_of_range);
}

TEST(colTraductions, RemoveKeepsOrderAndLaterKeysReachable) {
    colTraductions table;
    table.Add("UN", "1");
    table.Add("DEUX", "2");
    table.Add("TROIS", "3");
    table.Remove("un");
    EXPECT_EQ(table.Count(), 2u);
    EXPECT_EQ(table.Item("DEUX"), "2");
    EXPECT_EQ(table.Item("TROIS"), "3");
    EXPECT_EQ(table.Item(size_t{1}), "2");
    EXPECT_EQ(table.NewEnum(), (std::vector<std::string>{"2", "3"}));
    table.Add("UN", "encore");  // a removed key may come back, at the end
    EXPECT_EQ(table.NewEnum(), (std::vector<std::string>{"2", "3", "encore"}));
    EXPECT_THROW(table.Remove("UN2"), std::out_of_range);
    table.Clear();
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_EQ(table.Item("DEUX"), "");
}

TEST(RemplacerVariables, FillsPlaceholdersInOrder) {
    EXPECT_EQ(RemplacerVariables("Paquet envoyé à %v (port %v)", {"192.168.0.255", "9"}),
              "Paquet envoyé à 192.168.0.255 (port 9)");
    EXPECT_EQ(RemplacerVariables("%v puis %V", {"a", "b"}), "a puis b");
    // Missing values give nothing, extra ones are ignored.
    EXPECT_EQ(RemplacerVariables("adresse modifiée (%v -> %v)", {"X"}), "adresse modifiée (X -> )");
    EXPECT_EQ(RemplacerVariables("seul %v", {"1", "2", "3"}), "seul 1");
    EXPECT_EQ(RemplacerVariables("sans rien", {"1"}), "sans rien");
    EXPECT_EQ(RemplacerVariables("", {}), "");
    EXPECT_EQ(RemplacerVariables("100% sûr, 50%", {"x"}), "100% sûr, 50%");
}

TEST(RemplacerVariables, SearchStartsAgainFromTheBeginningAfterEachValue) {
    // A value holding a placeholder is filled by the next value.
    EXPECT_EQ(RemplacerVariables("[%v] [%v]", {"<%v>", "A", "B"}), "[<A>] [B]");
    // A "%" ending a value and the "v" after the placeholder make a new placeholder.
    EXPECT_EQ(RemplacerVariables("%vv!", {"50%", "X"}), "50X!");
    // A "%" before the placeholder and a value starting with "v" make one too.
    EXPECT_EQ(RemplacerVariables("%%v", {"vu", "Z"}), "Zu");
    // A value that is a placeholder with nothing left to fill it vanishes.
    EXPECT_EQ(RemplacerVariables("a%vb", {"%v"}), "ab");
}

TEST(RemplacerVariables, ManyPlaceholdersDoNotExplode) {
    std::string texte;
    for (int i = 0; i < 200000; ++i) texte += "%v";
    EXPECT_EQ(RemplacerVariables(texte, {"x"}), "x");
}

TEST(ConvertirSautsDeLigne, ParagraphSignIsALineBreakUnlessQuoted) {
    EXPECT_EQ(ConvertirSautsDeLigne("un§deux"), "un\ndeux");
    EXPECT_EQ(ConvertirSautsDeLigne("§§fin§"), "\n\nfin\n");
    EXPECT_EQ(ConvertirSautsDeLigne("le signe '§' reste"), "le signe '§' reste");
    EXPECT_EQ(ConvertirSautsDeLigne("'§'§'"), "'§'\n'");
    // Text that looks like an internal marker is not touched.
    EXPECT_EQ(ConvertirSautsDeLigne("code {167} et '{167}'"), "code {167} et '{167}'");
    EXPECT_EQ(ConvertirSautsDeLigne("ä ö ü ¨"), "ä ö ü ¨");
}

TEST(LangueDepuisLocale, MapsLanguageCodesToWindowsNumbers) {
    EXPECT_EQ(LangueDepuisLocale("fr_FR.UTF-8"), 12);
    EXPECT_EQ(LangueDepuisLocale("fr_CA"), 12);
    EXPECT_EQ(LangueDepuisLocale("en_GB.UTF-8"), 9);
    EXPECT_EQ(LangueDepuisLocale("de_DE@euro"), 7);
    EXPECT_EQ(LangueDepuisLocale("es"), 10);
    EXPECT_EQ(LangueDepuisLocale("it_IT.ISO-8859-1"), 16);
    EXPECT_EQ(LangueDepuisLocale("nl_BE"), 19);
    EXPECT_EQ(LangueDepuisLocale("pt_BR.UTF-8"), 22);
    EXPECT_EQ(LangueDepuisLocale("nb_NO"), 20);
    // The C locale names no language: the built-in texts stay.
    EXPECT_EQ(LangueDepuisLocale("C"), 0);
    EXPECT_EQ(LangueDepuisLocale("C.UTF-8"), 0);
    EXPECT_EQ(LangueDepuisLocale("POSIX"), 0);
    EXPECT_EQ(LangueDepuisLocale("xx_YY"), 0);
    EXPECT_EQ(LangueDepuisLocale("français"), 0);
}

// Sets the three locale variables for one test and puts them back afterwards.
class Environnement : public ::testing::Test {
  protected:
    void SetUp() override {
        for (auto& [nom, valeur] : m_sauve) {
            const char* v = std::getenv(nom);
            if (v != nullptr) valeur = v;
        }
    }
    void TearDown() override {
        for (auto& [nom, valeur] : m_sauve) {
            if (valeur) {
                ::setenv(nom, valeur->c_str(), 1);
            } else {
                ::unsetenv(nom);
            }
        }
    }
    static void Definir(const char* lcAll, const char* lcMessages, const char* lang) {
        auto poser = [](const char* nom, const char* valeur) {
            if (valeur) {
                ::setenv(nom, valeur, 1);
            } else {
                ::unsetenv(nom);
            }
        };
        poser("LC_ALL", lcAll);
        poser("LC_MESSAGES", lcMessages);
        poser("LANG", lang);
    }
    std::pair<const char*, std::optional<std::string>> m_sauve[3] = {
        {"LC_ALL", std::nullopt}, {"LC_MESSAGES", std::nullopt}, {"LANG", std::nullopt}};
};

TEST_F(Environnement, LangueSystemeTakesTheFirstNonEmptyVariable) {
    Definir("de_DE.UTF-8", "es_ES", "fr_FR");
    EXPECT_EQ(LangueSysteme(), 7);
    Definir("", "es_ES", "fr_FR");
    EXPECT_EQ(LangueSysteme(), 10);
    Definir(nullptr, "", "fr_FR.UTF-8");
    EXPECT_EQ(LangueSysteme(), 12);
    Definir(nullptr, nullptr, nullptr);
    EXPECT_EQ(LangueSysteme(), 0);  // nothing set: the C locale, no language
    Definir(nullptr, nullptr, "tlh_XX");
    EXPECT_EQ(LangueSysteme(), 0);
}

}  // namespace
