// The INI module: private-profile semantics, hostile files, atomic and locked writes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/config/IniFile.h"

using namespace velmora;
namespace fs = std::filesystem;

namespace {

class Ini : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dossier = fs::temp_directory_path() /
                    ("velmora_ini_" + std::to_string(::getpid()) + "_" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dossier);
        fs::create_directories(m_dossier);
        m_fichier = (m_dossier / "Velmora.ini").string();
    }
    void TearDown() override {
        ::chmod(m_dossier.c_str(), 0755);
        fs::remove_all(m_dossier);
    }
    void Ecrire(const std::string& contenu) {
        std::ofstream(m_fichier, std::ios::binary) << contenu;
    }
    std::string Contenu() const {
        std::ifstream in(m_fichier, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    fs::path m_dossier;
    std::string m_fichier;
};

}  // namespace

TEST_F(Ini, LookupsIgnoreCaseAndMissingFileReadsAsEmpty) {
    EXPECT_EQ(LireIni(m_fichier, "Config", "Langue", "def"), "def");
    EXPECT_EQ(ListerSections(m_fichier), std::vector<std::string>{""});
    Ecrire(
        "\xEF\xBB\xBF; comment\r\n[Config]\r\nDélaiEntreDeuxRéveilsWOL = 500 \r\n[Salle "
        "1]\r\nA=1\r\n");
    EXPECT_EQ(LireIni(m_fichier, "CONFIG", "déLAIentredeuxréveilswol", ""), "500");
    EXPECT_EQ(ListerSections(m_fichier), (std::vector<std::string>{"Config", "Salle 1"}));
}

TEST_F(Ini, RewriteKeepsOrderCommentsAndUnknownLines) {
    Ecrire("; en-tête\n[B]\nx=1\n; note\nstray line\ny=2\n\n[A]\nz=3\n");
    ASSERT_TRUE(EcrireIni(m_fichier, "b", "X", "10"));
    ASSERT_TRUE(EcrireIni(m_fichier, "B", "new", "n"));
    ASSERT_TRUE(EcrireIni(m_fichier, "A", "z", std::nullopt));  // null deletes
    ASSERT_TRUE(EcrireIni(m_fichier, "C", "k", ""));            // empty text is a value
    EXPECT_EQ(Contenu(), "; en-tête\n[B]\nx=10\n; note\nstray line\ny=2\nnew=n\n\n[A]\n[C]\nk=\n");
    ASSERT_TRUE(SupprimerSection(m_fichier, "b"));
    EXPECT_EQ(ListerSections(m_fichier), (std::vector<std::string>{"A", "C"}));
}

TEST_F(Ini, HostileFilesGiveAClearResultAndNoCrash) {
    // Windows-1252 file written by an older version.
    Ecrire("[Config]\r\nMessageParD\xe9\x66\x61ut=Arr\xeat\r\n");
    EXPECT_EQ(LireIni(m_fichier, "Config", "MessageParDéfaut", ""), "Arrêt");
    // Binary, header without "]", duplicates, a 1 MB line, 100,000 lines.
    std::string gros = "[Ouvert\nk=v\n[D]\na=1\na=2\n";
    gros += "long=" + std::string(1 << 20, 'x') + "\n";
    gros += std::string("\0\x01\xff=\xfe\n", 6);
    for (int i = 0; i < 100000; ++i) gros += "Machine" + std::to_string(i) + "=m|1.2.3.4\n";
    gros += "[d]\na=3\nb=4\n";  // a second section of the same name is never read
    Ecrire(gros);
    EXPECT_EQ(LireIni(m_fichier, "Ouvert", "k", ""), "v");
    EXPECT_EQ(LireIni(m_fichier, "D", "a", ""), "1");  // the first of duplicates wins
    EXPECT_EQ(LireIni(m_fichier, "D", "b", "none"), "none");
    EXPECT_EQ(LireIni(m_fichier, "D", "long", "").size(), 1u << 20);
    EXPECT_EQ(LireIni(m_fichier, "D", "Machine99999", ""), "m|1.2.3.4");
    // Removing the first of two equal keys uncovers the second.
    ASSERT_TRUE(EcrireIni(m_fichier, "D", "a", std::nullopt));
    EXPECT_EQ(LireIni(m_fichier, "D", "a", ""), "2");
    // A value cannot inject lines or sections.
    ASSERT_TRUE(EcrireIni(m_fichier, "D", "c", "x\n[Config]\nLangue=pirate"));
    EXPECT_EQ(LireIni(m_fichier, "Config", "Langue", "none"), "none");
}

TEST_F(Ini, FailedWritesAreReportedAndLeaveTheFileIntact) {
    Ecrire("[Config]\nLangue=Français\n");
    ::chmod(m_fichier.c_str(), 0444);
    std::string erreur;
    EXPECT_FALSE(EcrireIni(m_fichier, "Config", "Langue", "English", &erreur));
    EXPECT_FALSE(erreur.empty());
    ::chmod(m_fichier.c_str(), 0644);
    EXPECT_EQ(Contenu(), "[Config]\nLangue=Français\n");
    EXPECT_FALSE(EcrireIni((m_dossier / "absent" / "x.ini").string(), "S", "k", "v", &erreur));
    EXPECT_NE(erreur.find("absent"), std::string::npos);
}

TEST_F(Ini, NewFileIsPrivateAndWritesSeeChangesMadeByOthers) {
    ASSERT_TRUE(EcrireIni(m_fichier, "Config", "Langue", "Français"));
    struct stat st {};
    ASSERT_EQ(::stat(m_fichier.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(LireIni(m_fichier, "Config", "Langue", ""), "Français");  // now cached
    // Another program rewrites the file: the next read and write start from its content.
    Ecrire("[Config]\nLangue=English\nAutre=1\n");
    EXPECT_EQ(LireIni(m_fichier, "Config", "Langue", ""), "English");
    ASSERT_TRUE(EcrireIni(m_fichier, "Config", "TempoPing", "500"));
    EXPECT_EQ(LireIni(m_fichier, "Config", "Autre", ""), "1");
}

TEST_F(Ini, ConcurrentWritersNeverLoseEachOthersKeys) {
    constexpr int kProcessus = 4, kCles = 40;
    std::vector<pid_t> enfants;
    for (int p = 0; p < kProcessus; ++p) {
        pid_t pid = ::fork();
        if (pid == 0) {
            bool ok = true;
            for (int k = 0; k < kCles; ++k)
                ok &= EcrireIni(m_fichier, "S" + std::to_string(p), "k" + std::to_string(k), "v");
            ::_exit(ok ? 0 : 1);
        }
        enfants.push_back(pid);
    }
    for (pid_t pid : enfants) {
        int statut = 0;
        ::waitpid(pid, &statut, 0);
        EXPECT_EQ(WEXITSTATUS(statut), 0);
    }
    IniDocument doc = LireDocumentIni(m_fichier);
    for (int p = 0; p < kProcessus; ++p)
        EXPECT_EQ(doc.Keys("S" + std::to_string(p)).size(), static_cast<size_t>(kCles));
    // No temporary file is left behind.
    for (const auto& e : fs::directory_iterator(m_dossier))
        EXPECT_TRUE(e.path().filename() == "Velmora.ini" || e.path().extension() == ".lock")
            << e.path();
}
