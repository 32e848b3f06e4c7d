// Language files: look-up rules, hostile files, the loading of the table and the shipped
// English file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "common/i18n/Textes.h"
#include "common/i18n/Traduction.h"
#include "common/text/Commun.h"

using namespace velmora::i18n;
namespace fs = std::filesystem;

namespace {

const std::string kDonnees = std::string(VELMORA_SOURCE_DIR) + "/tests/data/lang/";
const std::string kAnglais = std::string(VELMORA_SOURCE_DIR) + "/lang/English.lng";

size_t Compter(const std::string& texte, std::string_view motif) {
    size_t n = 0;
    for (size_t p = texte.find(motif); p != std::string::npos; p = texte.find(motif, p + 1)) ++n;
    return n;
}

TEST(LireTraduction, ReferencesFollowOneLevelThenBlockThenDefault) {
    const std::string f = kDonnees + "Blocs.lng";
    EXPECT_EQ(LireTraduction(f, "TXT_REFERENCE", "d"), "Texte cible");
    EXPECT_EQ(LireTraduction(f, "TXT_CHAINE", "d"), "{TXT_CIBLE}");
    // A reference to a key the section lacks: the block of the key asked for, else the default.
    EXPECT_EQ(LireTraduction(f, "TXT_REFERENCE_BLOC", "d"), "Texte du bloc");
    EXPECT_EQ(LireTraduction(f, "TXT_REFERENCE_PERDUE", "défaut"), "défaut");
    EXPECT_EQ(LireTraduction(f, "TXT_VIDE", "d"), "Bloc d'une clé vide");
    EXPECT_EQ(LireTraduction(f, "TXT_ABSENT", "défaut§suite"), "défaut\nsuite");
    EXPECT_EQ(LireTraduction(f, "txt_simple", "d"), "Bonjour\nle monde");
    EXPECT_EQ(LireTraduction(f, "txt_clé", "d"), "valeur accentuée");
}

TEST(LireTraduction, BlocksKeepLinesAndIgnoreTagCase) {
    const std::string f = kDonnees + "Blocs.lng";
    EXPECT_EQ(LireTraduction(f, "SYNTAXE", "d"), "\nPremière ligne\n  Deuxième ligne\n\n");
    EXPECT_EQ(LireTraduction(f, "lblRedémarrage", "d"), "Étiquette");
    EXPECT_EQ(LireTraduction(f, "LBLREDÉMARRAGE", "d"), "Étiquette");
    EXPECT_EQ(LireTraduction(f, "TXT_NON_FERME", "défaut"), "défaut");
    EXPECT_EQ(LireTraduction(f, "TXT_CITE", "d"), "Le signe '§' reste, celui-ci\npasse à la ligne");
}

TEST(LireTraduction, NoFileGivesTheDefaultWithLineBreaks) {
    EXPECT_EQ(LireTraduction("", "TXT_X", "a§b '§'"), "a\nb '§'");
    EXPECT_EQ(LireTraduction(kDonnees + "Absent.lng", "TXT_X", "défaut"), "défaut");
    EXPECT_EQ(LireTraduction(kDonnees, "TXT_X", "dossier"), "dossier");
}

// Hostile files written in a fresh folder for each test.
class FichierHostile : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dossier = fs::temp_directory_path() /
                    ("velmora_lng_" + std::to_string(::getpid()) + "_" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dossier);
        fs::create_directories(m_dossier);
        m_fichier = (m_dossier / "Test.lng").string();
    }
    void TearDown() override { fs::remove_all(m_dossier); }
    void Ecrire(const std::string& octets) { std::ofstream(m_fichier, std::ios::binary) << octets; }
    fs::path m_dossier;
    std::string m_fichier;
};

TEST_F(FichierHostile, EmptyAndBinaryFilesGiveDefaults) {
    Ecrire("");
    EXPECT_TRUE(FichierLangue(m_fichier).Lu());
    EXPECT_EQ(LireTraduction(m_fichier, "TXT_X", "défaut"), "défaut");
    std::string binaire;
    for (int i = 0; i < 70000; ++i) binaire.push_back(static_cast<char>((i * 7919) % 256));
    binaire += std::string("\0[Traduction]\0TXT_X=\xff\xfe<TXT_X>", 30);
    Ecrire(binaire);
    EXPECT_EQ(LireTraduction(m_fichier, "TXT_Y", "défaut"), "défaut");
    EXPECT_TRUE(velmora::EstUtf8Valide(LireTraduction(m_fichier, "TXT_X", "défaut")));
}

TEST_F(FichierHostile, BomCrLfAndWindows1252AreRead) {
    Ecrire("\xEF\xBB\xBF[Traduction]\r\nTXT_A=Première\r\n<TXT_B>un\r\ndeux</TXT_B>\r\n");
    EXPECT_EQ(LireTraduction(m_fichier, "TXT_A", "d"), "Première");
    EXPECT_EQ(LireTraduction(m_fichier, "TXT_B", "d"), "un\ndeux");
    // The same in Windows-1252: "é" is 0xE9 and "§" is 0xA7.
    Ecrire("[Traduction]\r\nTXT_A=R\xE9veil\xA7suite '\xA7'\r\n<txt_b>\xE0 la ligne</TXT_B>");
    EXPECT_EQ(LireTraduction(m_fichier, "TXT_A", "d"), "Réveil\nsuite '§'");
    EXPECT_EQ(LireTraduction(m_fichier, "TXT_B", "d"), "à la ligne");
}

TEST_F(FichierHostile, HugeLinesAndManyLinesStillFindTheirKeys) {
    std::string contenu = "[Traduction]\nTXT_LONG=" + std::string(1 << 20, 'x') + "\n";
    for (int i = 0; i < 100000; ++i) contenu += "TXT_" + std::to_string(i) + "=texte " + "\n";
    contenu += "TXT_FIN=trouvé\n<TXT_BLOC>bloc final</TXT_BLOC>\n";
    Ecrire(contenu);
    const FichierLangue fichier(m_fichier);
    EXPECT_EQ(fichier.Lire("TXT_LONG", "d").size(), size_t{1} << 20);
    EXPECT_EQ(fichier.Lire("TXT_99999", "d"), "texte");
    EXPECT_EQ(fichier.Lire("TXT_FIN", "d"), "trouvé");
    EXPECT_EQ(fichier.Lire("TXT_BLOC", "d"), "bloc final");
    EXPECT_EQ(fichier.Lire("TXT_ABSENT", "d"), "d");
}

TEST_F(FichierHostile, UnterminatedAndNestedBlocks) {
    Ecrire("<TXT_A>sans fin\n<TXT_B>dedans</TXT_B>\n<TXT_C>a</TXT_C><TXT_C>b</TXT_C>\n<>x</>");
    EXPECT_EQ(LireTraduction(m_fichier, "TXT_A", "défaut"), "défaut");
    EXPECT_EQ(LireTraduction(m_fichier, "TXT_B", "d"), "dedans");
    EXPECT_EQ(LireTraduction(m_fichier, "TXT_C", "d"), "a");  // the first block counts
    EXPECT_EQ(LireTraduction(m_fichier, "", "vide"), "vide");
}

TEST_F(FichierHostile, FifoOrOversizedFileIsRefusedWithoutBlocking) {
    const std::string fifo = (m_dossier / "Fifo.lng").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(FichierLangue(fifo).Lu());
    EXPECT_EQ(LireTraduction(fifo, "TXT_X", "défaut"), "défaut");
    {
        std::ofstream grand(m_fichier, std::ios::binary);
        grand << "[Traduction]\nTXT_X=trop\n";
        grand.seekp(17 * 1024 * 1024);
        grand << "fin";
    }
    EXPECT_FALSE(FichierLangue(m_fichier).Lu());
    EXPECT_EQ(LireTraduction(m_fichier, "TXT_X", "défaut"), "défaut");
}

TEST_F(FichierHostile, ChargerTraductionsFallsBackToFrenchForAMissingFile) {
    EXPECT_FALSE(ChargerTraductions(ListeTextes::Fenetre, (m_dossier / "Absent.lng").string()));
    EXPECT_EQ(Traductions().Count(), TextesIntegres(ListeTextes::Fenetre).size());
    EXPECT_EQ(Tr("TXT_PAQUET_ENVOYE"), "Paquet envoyé à %v (port %v)");
    // A partial file replaces only its own keys; loading again starts from an empty table.
    Ecrire("[Traduction]\nTXT_FERMER=&Close\n");
    EXPECT_TRUE(ChargerTraductions(ListeTextes::Fenetre, m_fichier));
    EXPECT_EQ(Tr("TXT_FERMER"), "&Close");
    EXPECT_EQ(Tr("TXT_ANNULER_ACTION"), "A&nnuler redémarrage/extinction");
    EXPECT_EQ(Traductions().Count(), TextesIntegres(ListeTextes::Fenetre).size());
}

TEST(ChargerTraductions, FrenchBuiltInTextsWithLineBreaksApplied) {
    ASSERT_TRUE(ChargerTraductions(ListeTextes::Fenetre, ""));
    EXPECT_EQ(Tr("txt_paquet_envoye", {"192.168.0.255", "9"}),
              "Paquet envoyé à 192.168.0.255 (port 9)");
    EXPECT_EQ(Tr("TXT_ABSENT"), "");
    for (const std::string& texte : Traductions().NewEnum()) {
        EXPECT_EQ(Compter(texte, "§"), Compter(texte, "'§'")) << texte;
    }
    EXPECT_NE(Tr("MSG_ERREUR").find(" :\n\n%v\n\nVeuillez"), std::string::npos);
    ASSERT_TRUE(ChargerTraductions(ListeTextes::Console, ""));
    EXPECT_EQ(Traductions().Count(), TextesIntegres(ListeTextes::Console).size());
    const std::string syntaxe = Tr("SYNTAXE");
    EXPECT_EQ(Compter(syntaxe, "\n"), 65u);
    EXPECT_TRUE(syntaxe.starts_with("\nUtilisation\n   VelmoraBatch [fichier_ini] action"));
    EXPECT_NE(syntaxe.find("(le\n                  signe '§' peut"), std::string::npos);
}

TEST(TextesIntegres, ListsHoldUniqueKeysAndShareTheirFirstThirty) {
    const auto& fenetre = TextesIntegres(ListeTextes::Fenetre);
    const auto& console = TextesIntegres(ListeTextes::Console);
    // Each program's own texts, then the texts shared by both: the network operations', then
    // the Configuration file writer's.
    const size_t reseau = TextesReseau().size() + velmora::TextesFichierIni().size();
    ASSERT_EQ(fenetre.size(), 154u + reseau);
    ASSERT_EQ(console.size(), 65u + reseau);
    for (const auto* liste : {&fenetre, &console}) {
        std::set<std::string> cles;
        for (const auto& [cle, texte] : *liste) {
            EXPECT_TRUE(cles.insert(velmora::Majuscules(cle)).second) << cle;
            EXPECT_NE(std::string(texte), "") << cle;
        }
    }
    for (size_t i = 0; i < 30; ++i) EXPECT_STREQ(fenetre[i].first, console[i].first);
    EXPECT_STREQ(console[29].first, "MSG_ERREUR_ANALYSE_PING");
    EXPECT_STREQ(fenetre[108].first, "TXT_ASTUCE1");
    EXPECT_STREQ(fenetre[108 + kNombreAstuces - 1].first, "TXT_ASTUCE28");
    EXPECT_STREQ(fenetre[fenetre.size() - reseau - 1].first, "MSG_DECOUVERTE_PLAGE_TROP_GRANDE");
    EXPECT_STREQ(console[console.size() - reseau - 1].first, "SYNTAXE");
    EXPECT_STREQ(fenetre.back().first, velmora::TextesFichierIni().back().first);
    EXPECT_STREQ(console.back().first, velmora::TextesFichierIni().back().first);
}

TEST(EnglishLng, TranslatesEveryKeyOfBothProgramsWithTheSamePlaceholders) {
    const FichierLangue anglais(kAnglais);
    ASSERT_TRUE(anglais.Lu());
    EXPECT_EQ(anglais.Chercher("CodeLangue").value_or(""), "9");
    for (auto liste : {ListeTextes::Fenetre, ListeTextes::Console}) {
        for (const auto& [cle, francais] : TextesIntegres(liste)) {
            const std::string texte = anglais.Lire(cle, "");
            EXPECT_FALSE(texte.empty()) << cle;
            EXPECT_FALSE(texte.starts_with("{") && texte.ends_with("}")) << cle;
            EXPECT_EQ(Compter(velmora::Minuscules(texte), "%v"),
                      Compter(velmora::Minuscules(francais), "%v"))
                << cle;
        }
    }
    for (const auto& [cle, francais] : TextesPageWeb()) {
        const std::string texte = anglais.Lire(cle, "");
        EXPECT_FALSE(texte.empty()) << cle;
        EXPECT_NE(texte, francais) << cle;
        EXPECT_EQ(Compter(texte, "%v"), Compter(francais, "%v")) << cle;
    }
    ASSERT_TRUE(ChargerTraductions(ListeTextes::Console, kAnglais));
    EXPECT_EQ(Compter(Tr("SYNTAXE"), "\n"), 65u);
    EXPECT_TRUE(Tr("SYNTAXE").starts_with("\nUsage\n"));
    EXPECT_EQ(Tr("MSG_ERREUR_OMISSION_ACTION_BATCH"),
              anglais.Lire("MSG_ERREUR_OMISSION_ACTION", ""));
    EXPECT_NE(Tr("MSG_ERREUR_REVEIL_VIA_INTERNET_IP_PRIVEE").find('\n'), std::string::npos);
}

}  // namespace
