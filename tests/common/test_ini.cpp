// The INI module: private-profile semantics, hostile files, atomic and locked writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "common/config/IniFile.h"
#include "common/text/Commun.h"

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
    // NUL bytes: read as well as can be, never written (the rewrite would not be the file).
    std::string erreur;
    EXPECT_FALSE(EcrireIni(m_fichier, "D", "a", std::nullopt, &erreur));
    EXPECT_NE(erreur.find("octets nuls"), std::string::npos) << erreur;
    Ecrire(Remplacer(gros, std::string("\0\x01\xff=\xfe\n", 6), ""));
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

namespace {
// Runs `corps` in a child process under the unprivileged user "nobody" (the test runs as root)
// and gives its exit code.
int CommeNobody(const std::function<int()>& corps) {
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(99);
        ::_exit(corps());
    }
    int statut = 0;
    ::waitpid(pid, &statut, 0);
    return WIFEXITED(statut) ? WEXITSTATUS(statut) : 98;
}
}  // namespace

TEST_F(Ini, AFileThatCannotBeReadIsNeverReplaced) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    Ecrire("[Config]\nLangue=Français\n[Machines]\nNbMachines=1\nMachine1=pc|1.2.3.4\n");
    // Write-only for its owner: the writer may replace it but cannot read it.
    ::chown(m_fichier.c_str(), 65534, 65534);
    ::chmod(m_fichier.c_str(), 0200);
    ::chmod(m_dossier.c_str(), 0777);
    const int code = CommeNobody([this] {
        std::string erreur;
        if (EcrireIni(m_fichier, "Config", "TempoPing", "500", &erreur)) return 1;
        return erreur.find("Velmora.ini") != std::string::npos ? 0 : 2;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(Contenu(),
              "[Config]\nLangue=Français\n[Machines]\nNbMachines=1\nMachine1=pc|1.2.3.4\n");
}

TEST_F(Ini, RootKeepsTheOwnerAndRefusesToBreakAHardLink) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give files away";
    Ecrire("[Config]\nLangue=Français\n");
    ::chown(m_fichier.c_str(), 65534, 65534);
    ::chmod(m_fichier.c_str(), 0640);
    ASSERT_TRUE(EcrireIni(m_fichier, "Config", "TempoPing", "500"));
    struct stat st {};
    ASSERT_EQ(::stat(m_fichier.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // The owner can still write it after a root run, lock file included.
    ::chmod(m_dossier.c_str(), 0777);
    EXPECT_EQ(CommeNobody([this] { return EcrireIni(m_fichier, "Config", "A", "1") ? 0 : 1; }), 0);
    EXPECT_EQ(LireIni(m_fichier, "Config", "A", ""), "1");

    const std::string lien = (m_dossier / "copie.ini").string();
    ASSERT_EQ(::link(m_fichier.c_str(), lien.c_str()), 0);
    std::string erreur;
    EXPECT_FALSE(EcrireIni(m_fichier, "Config", "B", "2", &erreur));
    EXPECT_NE(erreur.find("liens"), std::string::npos) << erreur;
    EXPECT_EQ(LireIni(lien, "Config", "B", "absent"), "absent");
    ASSERT_EQ(::stat(lien.c_str(), &st), 0);
    EXPECT_EQ(st.st_nlink, 2u);
}

TEST_F(Ini, EachLineIsDecodedOnItsOwn) {
    // One Windows-1252 byte in a UTF-8 file spoils only its own line.
    Ecrire("[Café]\nNbMachines=1\nMachine1=pc|1.2.3.4|||||| r\xe9seau\n");
    EXPECT_EQ(ListerSections(m_fichier), std::vector<std::string>{"Café"});
    EXPECT_EQ(LireIni(m_fichier, "Café", "Machine1", ""), "pc|1.2.3.4|||||| réseau");
    ASSERT_TRUE(EcrireIni(m_fichier, "Café", "NbMachines", "2"));
    EXPECT_EQ(Contenu(), "[Café]\nNbMachines=2\nMachine1=pc|1.2.3.4|||||| réseau\n");
}

TEST_F(Ini, AWindowsFileStaysAWindowsFileWhileEveryCharacterFits) {
    Ecrire("[Caf\xe9]\r\nNbMachines=1\r\nMachine1=pc|1.2.3.4\r\n");
    ASSERT_TRUE(EcrireIni(m_fichier, "Café", "Machine2", "bureau|1.2.3.5|||||| été"));
    EXPECT_EQ(Contenu(),
              "[Caf\xe9]\r\nNbMachines=1\r\nMachine1=pc|1.2.3.4\r\nMachine2=bureau|1.2.3.5|||||| "
              "\xe9t\xe9\r\n");
    // A character outside Windows-1252 turns it into UTF-8 with LF.
    ASSERT_TRUE(EcrireIni(m_fichier, "Café", "Machine3", "\xe2\x84\xa6|1.2.3.6"));  // Ω
    EXPECT_EQ(Contenu(),
              "[Café]\nNbMachines=1\nMachine1=pc|1.2.3.4\nMachine2=bureau|1.2.3.5|||||| "
              "été\nMachine3=\xe2\x84\xa6|1.2.3.6\n");
    // A UTF-8 file with CR LF and any file with LF are written as UTF-8 with LF.
    Ecrire("[Café]\r\nA=1\r\n");
    ASSERT_TRUE(EcrireIni(m_fichier, "Café", "B", "2"));
    EXPECT_EQ(Contenu(), "[Café]\nA=1\nB=2\n");
}

TEST_F(Ini, QuotedValuesAndCarriageReturnLineEnds) {
    Ecrire("[T]\rA=\"  deux espaces \"\rB=\"\rC=\"x\"y\"\rD=''\r");
    EXPECT_EQ(LireIni(m_fichier, "T", "A", ""), "  deux espaces ");
    EXPECT_EQ(LireIni(m_fichier, "T", "B", ""), "\"");
    EXPECT_EQ(LireIni(m_fichier, "T", "C", ""), "x\"y");
    EXPECT_EQ(LireIni(m_fichier, "T", "D", ""), "''");
    // Values with blanks at the edges, or quoted themselves, read back identical.
    for (const std::string v : {" a", "b\t", "\"c\"", "\"", " ", "d e"}) {
        ASSERT_TRUE(EcrireIni(m_fichier, "T", "V", v));
        EXPECT_EQ(LireIni(m_fichier, "T", "V", "?"), v);
        EXPECT_EQ(LireDocumentIni(m_fichier).Get("T", "V"), v);
    }
}

TEST_F(Ini, TheLockTimesOutAndPlantedLockFilesAreRefused) {
    Ecrire("[Config]\nA=1\n");
    DefinirDelaiVerrouIni(200);
    {
        int fd = ::open((m_fichier + ".lock").c_str(), O_RDWR | O_CREAT, 0600);
        ASSERT_EQ(::flock(fd, LOCK_EX), 0);
        pid_t pid = ::fork();
        if (pid == 0) ::_exit(EcrireIni(m_fichier, "Config", "B", "2") ? 1 : 0);
        int statut = 0;
        ::waitpid(pid, &statut, 0);
        EXPECT_TRUE(WIFEXITED(statut) && WEXITSTATUS(statut) == 0);
        ::close(fd);
    }
    DefinirDelaiVerrouIni(5000);
    // A symbolic link planted as the lock file is not followed.
    ::unlink((m_fichier + ".lock").c_str());
    const std::string ailleurs = (m_dossier / "cree_par_root").string();
    ASSERT_EQ(::symlink(ailleurs.c_str(), (m_fichier + ".lock").c_str()), 0);
    std::string erreur;
    EXPECT_FALSE(EcrireIni(m_fichier, "Config", "B", "2", &erreur));
    EXPECT_FALSE(fs::exists(ailleurs));
    if (::geteuid() == 0) {
        // A lock file of a third user is refused.
        ::unlink((m_fichier + ".lock").c_str());
        std::ofstream(m_fichier + ".lock");
        ::chown((m_fichier + ".lock").c_str(), 12345, 12345);
        EXPECT_FALSE(EcrireIni(m_fichier, "Config", "B", "2", &erreur));
        EXPECT_NE(erreur.find("verrou"), std::string::npos) << erreur;
    }
    EXPECT_EQ(Contenu(), "[Config]\nA=1\n");
}

TEST_F(Ini, AUsersCopiesSurviveWritesAndOnlyOurKilledTemporaryFilesGo) {
    Ecrire("[Config]\nA=1\n");
    const std::vector<std::string> copies = {
        "Velmora.ini.240517", "Velmora.ini.Backup", "Velmora.ini.BACKUP",   "Velmora.ini.old001",
        "Velmora.ini.v2copy", "Velmora.ini.backup", ".Velmora.ini.tmp-abc", "Autre.ini.a1B2c3"};
    for (const std::string& nom : copies) std::ofstream(m_dossier / nom) << "[Config]\nA=0\n";
    // A writer killed after its temporary file was written, before the rename.
    pid_t pid = ::fork();
    if (pid == 0) {
        DefinirCrochetEcritureIni([](EtapeEcritureIni etape) {
            if (etape == EtapeEcritureIni::AvantRemplacement) ::kill(::getpid(), SIGKILL);
        });
        EcrireIni(m_fichier, "Config", "B", "2");
        ::_exit(0);
    }
    int statut = 0;
    ::waitpid(pid, &statut, 0);
    ASSERT_TRUE(WIFSIGNALED(statut));
    std::vector<std::string> restes;
    for (const auto& e : fs::directory_iterator(m_dossier))
        if (e.path().filename().string().starts_with(".Velmora.ini.tmp-") &&
            e.path().filename() != ".Velmora.ini.tmp-abc")
            restes.push_back(e.path().filename());
    ASSERT_EQ(restes.size(), 1u);  // the killed writer's copy, with the passwords
    EXPECT_EQ(Contenu(), "[Config]\nA=1\n");
    // A link of our shape is not ours: never followed nor removed.
    const std::string lien = (m_dossier / ".Velmora.ini.tmp-LIEN00").string();
    ASSERT_EQ(::symlink("Velmora.ini.old001", lien.c_str()), 0);

    ASSERT_TRUE(EcrireIni(m_fichier, "Config", "C", "3"));
    EXPECT_FALSE(fs::exists(m_dossier / restes[0]));
    for (const std::string& nom : copies) {
        EXPECT_TRUE(fs::exists(m_dossier / nom)) << nom;
        std::ifstream in(m_dossier / nom);
        std::string ligne;
        std::getline(in, ligne);
        EXPECT_EQ(ligne, "[Config]") << nom;
    }
    EXPECT_TRUE(fs::is_symlink(lien));
    EXPECT_EQ(Contenu(), "[Config]\nA=1\nC=3\n");
}

TEST_F(Ini, TemporaryFilesAreNeverInheritedByAProgramStartedMeanwhile) {
    Ecrire("[Config]\nProxyPassword=4142\n");
    // While the temporary file is open, a program started by another thread would inherit
    // every descriptor not marked close-on-exec.
    int ouverts = 0, herites = 0;
    DefinirCrochetEcritureIni([&](EtapeEcritureIni etape) {
        if (etape != EtapeEcritureIni::AvantRemplacement) return;
        for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
            std::error_code ec;
            const fs::path cible = fs::read_symlink(e.path(), ec);
            if (ec || cible.parent_path() != m_dossier) continue;
            ++ouverts;
            const int fd = std::stoi(e.path().filename().string());
            if ((::fcntl(fd, F_GETFD) & FD_CLOEXEC) == 0) ++herites;
        }
    });
    ASSERT_TRUE(EcrireIni(m_fichier, "Config", "B", "2"));
    DefinirCrochetEcritureIni(nullptr);
    EXPECT_GE(ouverts, 2);  // the lock and the temporary file at least
    EXPECT_EQ(herites, 0);
}

TEST_F(Ini, AFileInAnEncodingWeCannotReadIsNeverWritten) {
    const std::vector<std::pair<std::string, std::string>> fichiers = {
        {std::string("\xFF\xFE[\0C\0]\0\r\0\n\0", 12), "UTF-16 LE"},
        {std::string("\xFE\xFF\0[\0C\0]", 8), "UTF-16 BE"},
        {std::string("\xFF\xFE\0\0[\0\0\0", 8), "UTF-32 LE"},
        {std::string("\0\0\xFE\xFF\0\0\0[", 8), "UTF-32 BE"},
        {std::string("[Config]\nA=1\0\nB=2\n", 18), "NUL"},
    };
    for (const auto& [contenu, nom] : fichiers) {
        Ecrire(contenu);
        if (nom != "NUL") {
            EXPECT_EQ(ListerSections(m_fichier), std::vector<std::string>{""}) << nom;
        }
        std::string erreur;
        EXPECT_FALSE(EcrireIni(m_fichier, "Config", "Langue", "Français", &erreur)) << nom;
        EXPECT_NE(erreur.find(nom == "NUL" ? "nul" : nom), std::string::npos) << erreur;
        EXPECT_NE(erreur.find("Velmora.ini"), std::string::npos) << erreur;
        EXPECT_EQ(Contenu(), contenu) << nom;
        ASSERT_TRUE(EncodageFichierNonPrisEnCharge(m_fichier)) << nom;
    }
    Ecrire("\xEF\xBB\xBF[Config]\nA=1\n");
    EXPECT_FALSE(EncodageFichierNonPrisEnCharge(m_fichier));
}

TEST_F(Ini, LeadingByteOrderMarksAreNotPartOfTheFirstLine) {
    Ecrire(
        "\xEF\xBB\xBF\xEF\xBB\xBF\xEF\xBB\xBF[Config]\nLangue=English\n[Machines]\nNbMachines=0\n");
    EXPECT_EQ(ListerSections(m_fichier), (std::vector<std::string>{"Config", "Machines"}));
    EXPECT_EQ(LireIni(m_fichier, "Config", "Langue", ""), "English");
    ASSERT_TRUE(EcrireIni(m_fichier, "Config", "Langue", "Français"));
    EXPECT_EQ(Contenu(), "[Config]\nLangue=Français\n[Machines]\nNbMachines=0\n");
}

namespace {
// The group of the user "nobody" (65534), whatever its name on this system.
gid_t GroupeDeNobody() {
    struct passwd* p = ::getpwnam("nobody");
    return p ? p->pw_gid : 65534;
}
}  // namespace

TEST_F(Ini, AnotherUserCannotSteerARootWriteWithASymbolicLink) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    // A folder shared with the group of "nobody" (mode 2775, not sticky: the kernel's
    // protection of links in sticky folders does not apply), and a private file elsewhere.
    const fs::path partage = m_dossier / "partage";
    fs::create_directories(partage);
    ASSERT_EQ(::chown(partage.c_str(), 0, GroupeDeNobody()), 0);
    ASSERT_EQ(::chmod(partage.c_str(), 02775), 0);
    ::chmod(m_dossier.c_str(), 0755);
    const std::string cible = (m_dossier / "secret").string();
    std::ofstream(cible) << "root:secret\n";
    ::chmod(cible.c_str(), 0600);
    const std::string fichier = (partage / "Velmora.ini").string();
    std::ofstream(fichier) << "[Config]\nA=1\n";
    ::chmod(fichier.c_str(), 0664);
    auto pieger = [&] {
        return CommeNobody([&] {
            const std::string lien = (partage / "piege").string();
            if (::symlink(cible.c_str(), lien.c_str()) != 0) return 1;
            return ::rename(lien.c_str(), fichier.c_str()) == 0 ? 0 : 2;
        });
    };
    auto secretIntact = [&] {
        std::ifstream in(cible, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        struct stat st {};
        return ss.str() == "root:secret\n" && ::stat(cible.c_str(), &st) == 0 &&
               (st.st_mode & 07777) == 0600 && !fs::exists(cible + ".lock");
    };
    for (EtapeEcritureIni etape :
         {EtapeEcritureIni::Verrouille, EtapeEcritureIni::AvantRemplacement}) {
        std::ofstream(fichier, std::ios::trunc) << "[Config]\nA=1\n";
        int piege = -1;
        DefinirCrochetEcritureIni([&](EtapeEcritureIni e) {
            if (e == etape) piege = pieger();
        });
        std::string erreur;
        EXPECT_FALSE(EcrireIni(fichier, "Config", "B", "2", &erreur));
        DefinirCrochetEcritureIni(nullptr);
        ASSERT_EQ(piege, 0);
        EXPECT_NE(erreur.find("remplacé"), std::string::npos) << erreur;
        EXPECT_TRUE(secretIntact());
        EXPECT_TRUE(fs::is_symlink(fichier));  // left as the other user made it
        fs::remove(fichier);
    }
    // A link planted before the run is not followed either.
    ASSERT_EQ(pieger(), 0);
    std::string erreur;
    EXPECT_FALSE(EcrireIni(fichier, "Config", "B", "2", &erreur));
    EXPECT_NE(erreur.find("lien symbolique"), std::string::npos) << erreur;
    EXPECT_TRUE(secretIntact());
    // The user's own link is followed: the link stays and its file is written.
    fs::remove(fichier);
    const std::string vrai = (m_dossier / "vrai.ini").string();
    std::ofstream(vrai) << "[Config]\nA=1\n";
    ASSERT_EQ(::symlink(vrai.c_str(), fichier.c_str()), 0);
    ASSERT_TRUE(EcrireIni(fichier, "Config", "B", "2", &erreur)) << erreur;
    EXPECT_TRUE(fs::is_symlink(fichier));
    EXPECT_EQ(LireIni(vrai, "Config", "B", ""), "2");
}

TEST_F(Ini, APlantedLockFileNamesItsOwnerAndMessagesAreClear) {
    Ecrire("[Config]\nA=1\n");
    std::string erreur;
    // A lock held too long: the file is locked by another program (not a network time-out).
    DefinirDelaiVerrouIni(100);
    {
        int fd = ::open((m_fichier + ".lock").c_str(), O_RDWR | O_CREAT, 0600);
        ASSERT_EQ(::flock(fd, LOCK_EX), 0);
        pid_t pid = ::fork();
        if (pid == 0) {
            std::string e;
            ::_exit(!EcrireIni(m_fichier, "Config", "B", "2", &e) &&
                            e.find("verrouillé par un autre programme") != std::string::npos &&
                            e.find("timed out") == std::string::npos
                        ? 0
                        : 1);
        }
        int statut = 0;
        ::waitpid(pid, &statut, 0);
        EXPECT_TRUE(WIFEXITED(statut) && WEXITSTATUS(statut) == 0);
        ::close(fd);
    }
    DefinirDelaiVerrouIni(5000);
    // A folder that cannot be written says so.
    if (::geteuid() == 0) {
        ::unlink((m_fichier + ".lock").c_str());
        std::ofstream(m_fichier + ".lock");
        ::chown((m_fichier + ".lock").c_str(), 65534, 65534);
        EXPECT_FALSE(EcrireIni(m_fichier, "Config", "B", "2", &erreur));
        EXPECT_NE(erreur.find("nobody"), std::string::npos) << erreur;
        ::unlink((m_fichier + ".lock").c_str());
        ::chmod(m_dossier.c_str(), 0777);
        ::chmod(m_fichier.c_str(), 0666);
        const std::string autre = (m_dossier / "neuf.ini").string();
        ::chmod(m_dossier.c_str(), 0555);
        EXPECT_EQ(CommeNobody([&] {
                      std::string e;
                      if (EcrireIni(autre, "Config", "B", "2", &e)) return 1;
                      return e.find("Impossible d'écrire dans le dossier") != std::string::npos &&
                                     e.find("No such file") == std::string::npos
                                 ? 0
                                 : 2;
                  }),
                  0);
    }
    EXPECT_EQ(Contenu(), "[Config]\nA=1\n");
}
