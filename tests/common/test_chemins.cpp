// Path routines with Linux paths, the tool search, and the split of the programs' command line.
#include <sys/stat.h>

#include "common/platform/Chemins.h"
#include "common/platform/LigneCommande.h"
#include "common/platform/Outil.h"
#include "test_chemins_systeme.h"

namespace velmora {
namespace {

using test::AvecSystemeFaux;

class Chemins : public AvecSystemeFaux {};

TEST_F(Chemins, AbsoluteNamesByTheirBeginning) {
    EXPECT_EQ(CheminAbsolu(""), "");
    EXPECT_EQ(CheminAbsolu("/etc/v.ini"), "/etc/v.ini");
    EXPECT_EQ(CheminAbsolu("~/v.ini"), m_racine + "/home/v.ini");
    EXPECT_EQ(CheminAbsolu("~"), m_racine + "/home");
    EXPECT_EQ(CheminAbsolu("./v.ini"), m_racine + "/cwd/v.ini");
    EXPECT_EQ(CheminAbsolu("../v.ini"), m_racine + "/cwd/../v.ini");
    // A bare name, even one that looks like a hidden file or a user name, is the program's.
    EXPECT_EQ(CheminAbsolu("maison.ini"), m_racine + "/prog/maison.ini");
    EXPECT_EQ(CheminAbsolu(".velmora.ini"), m_racine + "/prog/.velmora.ini");
    // A relative path that holds a folder is the current folder's, as for any Linux tool.
    EXPECT_EQ(CheminAbsolu("~autre/v.ini"), m_racine + "/cwd/~autre/v.ini");
    EXPECT_EQ(CheminAbsolu("sous/v.ini"), m_racine + "/cwd/sous/v.ini");
}

TEST_F(Chemins, RelativeOnlyUnderTheProgramFolder) {
    EXPECT_EQ(CheminRelatif(m_racine + "/prog/v.ini"), "v.ini");
    EXPECT_EQ(CheminRelatif(m_racine + "/prog/a/v.ini"), "a/v.ini");
    // A sibling folder sharing the prefix is not inside it; case matters on Linux.
    EXPECT_EQ(CheminRelatif(m_racine + "/program/v.ini"), m_racine + "/program/v.ini");
    EXPECT_EQ(CheminRelatif(m_racine + "/PROG/v.ini"), m_racine + "/PROG/v.ini");
    EXPECT_EQ(CheminRelatif(""), "");
}

TEST_F(Chemins, SpecialFolders) {
    EXPECT_EQ(DossierSpecial(kDossierDonneesApplication), m_racine + "/home/.config");
    m_systeme.variables["XDG_CONFIG_HOME"] = "/srv/conf/";
    EXPECT_EQ(DossierSpecial(kDossierDonneesApplication), "/srv/conf");
    m_systeme.variables["XDG_CONFIG_HOME"] = "relatif/conf";  // ignored, as XDG says
    EXPECT_EQ(DossierSpecial(kDossierDonneesApplication), m_racine + "/home/.config");
    EXPECT_EQ(DossierSpecial(kDossierProgrammes), "/usr/");
    EXPECT_EQ(DossierSpecial(5), "");

    EXPECT_TRUE(EstDossierInstalle("/usr/bin"));
    EXPECT_TRUE(EstDossierInstalle("/usr/local/bin"));
    EXPECT_TRUE(EstDossierInstalle("/opt/velmora/bin"));
    EXPECT_FALSE(EstDossierInstalle("/usrlocal/bin"));
    EXPECT_FALSE(EstDossierInstalle("/home/me/velmora/build/batch"));
    EXPECT_FALSE(ProgrammeInstalle());
}

TEST_F(Chemins, FileExistsTellsFilesFromFolders) {
    Ecrire(m_racine + "/prog/f", "x");
    EXPECT_TRUE(FichierExiste(m_racine + "/prog/f"));
    EXPECT_FALSE(FichierExiste(m_racine + "/prog/f", kAttributDossier));
    EXPECT_FALSE(FichierExiste(m_racine + "/prog"));
    EXPECT_TRUE(FichierExiste(m_racine + "/prog", kAttributDossier));
    EXPECT_FALSE(FichierExiste(m_racine + "/prog/absent"));
    EXPECT_FALSE(FichierExiste(m_racine + "/prog/f/sous"));
    EXPECT_FALSE(FichierExiste(""));
    EXPECT_EQ(AjouterAntislash("/a"), "/a/");
    EXPECT_EQ(AjouterAntislash("/a/"), "/a/");
}

TEST_F(Chemins, ToolsFoundInProgramFolderThenPath) {
    std::string bin = m_racine + "/bin";
    Ecrire(bin + "/outil", "#!/bin/sh\necho path\n");
    Ecrire(bin + "/texte", "pas un programme");
    ::chmod((bin + "/outil").c_str(), 0755);
    m_systeme.variables["PATH"] = "relatif::" + bin;
    EXPECT_EQ(platform::CheminOutil("outil"), bin + "/outil");
    EXPECT_EQ(platform::CheminOutil("texte"), "");  // not executable
    EXPECT_EQ(platform::CheminOutil("absent"), "");

    Ecrire(m_racine + "/prog/outil", "#!/bin/sh\necho programme\n");
    ::chmod((m_racine + "/prog/outil").c_str(), 0755);
    EXPECT_EQ(platform::CheminOutil("outil"), m_racine + "/prog/outil");
    std::vector<std::string> lignes;
    ASSERT_TRUE(platform::ExecuterOutil("outil", &lignes));
    EXPECT_EQ(lignes.front(), "programme");
}

TEST(LigneCommande, FileNameEndsAtTheFirstSwitch) {
    auto s = platform::SeparerLigneCommande("/S:pc1 /t:30");
    EXPECT_EQ(s.fichier, "");
    EXPECT_EQ(s.options, "/S:pc1 /t:30");

    s = platform::SeparerLigneCommande("/home/me/maison.ini /S:pc1");
    EXPECT_EQ(s.fichier, "/home/me/maison.ini");
    EXPECT_EQ(s.options, "/S:pc1");

    s = platform::SeparerLigneCommande("\"/home/me/ma maison.ini\"   /w:pc1");
    EXPECT_EQ(s.fichier, "/home/me/ma maison.ini");
    EXPECT_EQ(s.options, "/w:pc1");

    // A quoted name may itself hold " /x " without ending there.
    s = platform::SeparerLigneCommande("\"/tmp/a /b c.ini\" /u");
    EXPECT_EQ(s.fichier, "/tmp/a /b c.ini");
    EXPECT_EQ(s.options, "/u");

    s = platform::SeparerLigneCommande("maison.ini");
    EXPECT_EQ(s.fichier, "maison.ini");
    EXPECT_EQ(s.options, "");

    s = platform::SeparerLigneCommande("/etc/velmora/v.ini");  // slashes inside a path
    EXPECT_EQ(s.fichier, "/etc/velmora/v.ini");

    s = platform::SeparerLigneCommande("v.ini /?");
    EXPECT_EQ(s.fichier, "v.ini");
    EXPECT_EQ(s.options, "/?");

    s = platform::SeparerLigneCommande("");
    EXPECT_EQ(s.fichier, "");
    EXPECT_EQ(s.options, "");
}

TEST(LigneCommande, JoinedArgumentsSplitBackTheSame) {
    std::string texte = platform::JoindreArguments(
        {"/home/me/ma maison.ini", "/R:pc1", "/m:Arret le 12/05", "/t:30", "/m:12/05"});
    EXPECT_EQ(texte, "\"/home/me/ma maison.ini\" /R:pc1 /m:\"Arret le 12/05\" /t:30 /m:\"12/05\"");
    auto s = platform::SeparerLigneCommande(texte);
    EXPECT_EQ(s.fichier, "/home/me/ma maison.ini");
    EXPECT_EQ(s.options, "/R:pc1 /m:\"Arret le 12/05\" /t:30 /m:\"12/05\"");
}

}  // namespace
}  // namespace velmora
