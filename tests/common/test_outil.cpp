// The tool runner on real local processes (/bin/sh, cat, head): bounded output, draining of
// talkative tools, time limit with the whole process group killed, input, stop callback.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <numeric>
#include <thread>

#include "common/platform/LigneCommande.h"
#include "common/platform/Outil.h"
#include "common/platform/Process.h"

namespace velmora::platform {
namespace {

ProcessResult Shell(const std::string& script, int delaiMs = 10000) {
    ProcessRequest r;
    r.programme = "/bin/sh";
    r.arguments = {"-c", script};
    r.delaiMaxMs = delaiMs;
    return SystemProcessRunner().Run(r);
}

// True once the process is gone or a zombie waiting for its new parent.
bool Termine(pid_t pid) {
    for (int essai = 0; essai < 200; ++essai) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string ligne;
        if (!std::getline(stat, ligne)) return true;
        auto fin = ligne.rfind(')');
        if (fin != std::string::npos && fin + 2 < ligne.size() && ligne[fin + 2] == 'Z')
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(ProcessRunner, TalkativeToolIsDrainedAndCut) {
    // 8 MB is far more than a pipe holds: the tool only ends if we keep reading.
    ProcessResult r = Shell("head -c 8000000 /dev/zero; echo fin >&2; exit 3");
    ASSERT_TRUE(r.demarre);
    EXPECT_FALSE(r.expire);
    EXPECT_EQ(r.statut, 3);
    EXPECT_EQ(r.sortie.size(), 4096u);
    EXPECT_EQ(r.tailleTotale, 8000004u);  // standard error went to the same pipe
}

TEST(ProcessRunner, TimeLimitKillsTheWholeGroup) {
    // The shell starts a background child and prints its pid, then never ends.
    ProcessResult r = Shell("sleep 60 & echo $!; exec sleep 60", 1000);
    ASSERT_TRUE(r.demarre);
    EXPECT_TRUE(r.expire);
    ASSERT_FALSE(r.sortie.empty());
    EXPECT_EQ(r.statut, -1);
    pid_t enfant = std::stoi(r.sortie);
    EXPECT_TRUE(Termine(enfant)) << "the tool's own child survived the time-out";
    ::kill(enfant, SIGKILL);
}

TEST(ProcessRunner, ChildLeftBehindDoesNotHoldTheRun) {
    // The tool ends at once but its background child keeps the output pipe open.
    ProcessResult r = Shell("sleep 3 & echo fait", 5000);
    EXPECT_FALSE(r.expire);
    EXPECT_EQ(r.statut, 0);
    EXPECT_EQ(r.sortie, "fait\n");
}

TEST(ProcessRunner, TimeLimitCoversOutputWrittenAfterTheToolEnded) {
    // The tool ends soon, leaving a child that writes without end: the run still ends at its
    // limit, and the child with it. (The child writes without pausing, and has begun before
    // the tool ends: a pause could be taken, on a loaded machine, for a child gone quiet.)
    const auto debut = std::chrono::steady_clock::now();
    ProcessResult r = Shell("sh -c 'echo $$; exec yes x' & sleep 0.3; exit 0", 600);
    const auto duree = std::chrono::steady_clock::now() - debut;
    EXPECT_LT(duree, std::chrono::seconds(5));
    EXPECT_TRUE(r.expire);
    ASSERT_FALSE(r.sortie.empty());
    const pid_t enfant = std::stoi(r.sortie);
    EXPECT_TRUE(Termine(enfant)) << "the writer survived the time limit";
    ::kill(enfant, SIGKILL);
}

TEST(ProcessRunner, InputEnvironmentAndDescriptors) {
    ProcessRequest r;
    r.programme = "/bin/sh";
    r.arguments = {"-c", "read mdp; echo \"$mdp/$VELMORA_ESSAI\"; cat <&5"};
    r.entree = std::string("s3cret\n");
    r.environnement = {{"VELMORA_ESSAI", "env"}};
    int tube[2];
    ASSERT_EQ(::pipe(tube), 0);
    ASSERT_EQ(::write(tube[1], "fd", 2), 2);
    ::close(tube[1]);
    r.descripteurs = {{tube[0], 5}};
    ProcessResult res = SystemProcessRunner().Run(r);
    ::close(tube[0]);
    EXPECT_EQ(res.sortie, "s3cret/env\nfd");

    // A large input to a tool that echoes it: writing and reading must interleave.
    ProcessRequest gros;
    gros.programme = "/bin/cat";
    gros.entree = std::string(1 << 20, 'x');
    res = SystemProcessRunner().Run(gros);
    EXPECT_EQ(res.statut, 0);
    EXPECT_EQ(res.tailleTotale, 1u << 20);

    // A tool that never reads its input: the closed pipe must not end this process.
    ProcessRequest sourd;
    sourd.programme = "/bin/true";
    sourd.entree = std::string(1 << 20, 'x');
    EXPECT_EQ(SystemProcessRunner().Run(sourd).statut, 0);
}

TEST(ProcessRunner, StopCallbackEndsTheRun) {
    ProcessRequest r;
    r.programme = "/bin/sleep";
    r.arguments = {"60"};
    int appels = 0;
    r.arreter = [&] { return ++appels == 3; };
    ProcessResult res = SystemProcessRunner().Run(r);
    EXPECT_TRUE(res.arrete);
    EXPECT_FALSE(res.expire);
    EXPECT_EQ(appels, 3);
}

TEST(ProcessRunner, StopSignalEndsTheToolAndItsGroup) {
    InstallerArretParSignaux();
    std::thread signal([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::kill(::getpid(), SIGTERM);
    });
    ProcessResult r = Shell("sleep 60 & echo $!; exec sleep 60", 30000);
    signal.join();
    EXPECT_EQ(SignalArretRecu(), SIGTERM);
    OublierSignalArret();
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
    EXPECT_TRUE(r.arrete);
    ASSERT_FALSE(r.sortie.empty());
    const pid_t enfant = std::stoi(r.sortie);
    EXPECT_TRUE(Termine(enfant)) << "the tool's child survived the stop signal";
    ::kill(enfant, SIGKILL);
}

// A program killed outright while it runs a tool (the console program during a remote
// restart): the tool ends with it instead of going on alone. The tool also keeps reading a
// pipe it inherited, as `net` does with its credentials.
TEST(ProcessRunner, AToolEndsWhenTheProgramThatRunsItIsKilled) {
    const std::string fichier =
        (std::filesystem::temp_directory_path() / ("velmora-enfant-" + std::to_string(::getpid())))
            .string();
    std::filesystem::remove(fichier);
    const pid_t programme = ::fork();
    ASSERT_GE(programme, 0);
    if (programme == 0) {
        ProcessRequest r;
        r.programme = "/bin/sh";
        r.arguments = {"-c", "echo $$ > " + fichier + ".tmp && mv " + fichier + ".tmp " + fichier +
                                 " && exec sleep 60"};
        r.entree = std::string("secret\n");
        r.delaiMaxMs = 60000;
        SystemProcessRunner().Run(r);
        ::_exit(0);
    }
    pid_t outil = 0;
    for (int essai = 0; essai < 500 && outil == 0; ++essai) {
        std::ifstream lu(fichier);
        if (!(lu >> outil)) {
            outil = 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ::kill(programme, SIGKILL);
    ::waitpid(programme, nullptr, 0);
    std::filesystem::remove(fichier);
    ASSERT_GT(outil, 0) << "the tool did not start";
    EXPECT_TRUE(Termine(outil)) << "the tool outlived the program that ran it";
    ::kill(outil, SIGKILL);
}

TEST(ProcessRunner, MissingProgramIsNotStarted) {
    ProcessRequest r;
    r.programme = "/nonexistent/velmora-outil";
    ProcessResult res = SystemProcessRunner().Run(r);
    EXPECT_FALSE(res.demarre);
    EXPECT_EQ(res.erreur, ENOENT);
}

TEST(ExecuterOutil, OutputCutAt4096Bytes) {
    std::vector<std::string> lignes;
    // 300 lines of 40 characters: 12300 bytes.
    ASSERT_TRUE(ExecuterOutil(
        "sh -c 'i=0; while [ $i -lt 300 ]; do echo 012345678901234567890123456789012345678; "
        "i=$((i+1)); done'",
        &lignes));
    size_t octets = std::accumulate(lignes.begin(), lignes.end(), size_t{0},
                                    [](size_t n, const std::string& l) { return n + l.size(); });
    EXPECT_EQ(octets + lignes.size() - 1, 4096u);  // the line feeds between lines count too
    EXPECT_EQ(lignes.front(), "012345678901234567890123456789012345678");
}

TEST(ExecuterOutil, MissingOrMalformedCommandGivesFalseAndNoLines) {
    std::vector<std::string> lignes{"reste"};
    EXPECT_FALSE(ExecuterOutil("velmora-outil-absent-xyz -a", &lignes));
    EXPECT_TRUE(lignes.empty());
    EXPECT_FALSE(ExecuterOutil("/nonexistent/outil", &lignes));
    EXPECT_FALSE(ExecuterOutil("echo 'sans fin", &lignes));
    EXPECT_FALSE(ExecuterOutil("   ", &lignes));
}

TEST(ExecuterOutil, StatusQuotedArgumentsAndTimeLimit) {
    std::vector<std::string> lignes;
    int statut = 0;
    ASSERT_TRUE(
        ExecuterOutil("sh -c \"printf '%s|%s' \\\"a b\\\" c; exit 4\"", &lignes, {}, &statut));
    EXPECT_EQ(statut, 4);
    EXPECT_EQ(lignes, std::vector<std::string>{"a b|c"});

    OptionsOutil court;
    court.delaiMaxMs = 1000;
    EXPECT_TRUE(ExecuterOutil("sh -c 'echo partiel; exec sleep 60'", &lignes, court, &statut));
    EXPECT_EQ(statut, -1);
    ASSERT_FALSE(lignes.empty());
    EXPECT_EQ(lignes.front(), "partiel");
}

TEST(ExecuterOutil, BlankLinesAndCleaning) {
    // One line feed pair becomes one: 2 -> no blank line, 3 -> one, 4 -> one.
    EXPECT_EQ(LignesSortieOutil("a\n\nb\n\n\nc\n\n\n\nd"),
              (std::vector<std::string>{"a", "b", "", "c", "", "d"}));
    // CR LF output, tabs dropped, final line end gives a last empty line.
    EXPECT_EQ(LignesSortieOutil("Nom :\tpc1\r\n\r\nAddress: 1.2.3.4\r\n"),
              (std::vector<std::string>{"Nom :pc1", "Address: 1.2.3.4", ""}));
    EXPECT_TRUE(LignesSortieOutil("").empty());
    // A cut in the middle of a UTF-8 character drops the partial character only.
    EXPECT_EQ(LignesSortieOutil("caf\xC3\xA9 d\xC3", true),
              std::vector<std::string>{"caf\xC3\xA9 d"});
    // Windows-1252 output becomes UTF-8.
    EXPECT_EQ(LignesSortieOutil("caf\xE9"), std::vector<std::string>{"caf\xC3\xA9"});
}

TEST(LigneCommande, ToolCommandLineSplitsLikeAShell) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SeparerArguments("net rpc shutdown -I 127.0.0.1 -C \"Arret le 12/05\" -t 30"),
              (V{"net", "rpc", "shutdown", "-I", "127.0.0.1", "-C", "Arret le 12/05", "-t", "30"}));
    EXPECT_EQ(SeparerArguments("a 'b \"c\" $d' \"e \\\"f\\\" \\g\" h\\ i"),
              (V{"a", "b \"c\" $d", "e \"f\" \\g", "h i"}));
    EXPECT_EQ(SeparerArguments("x '' \"\""), (V{"x", "", ""}));
    EXPECT_FALSE(SeparerArguments("a \"b"));
    EXPECT_FALSE(SeparerArguments("a 'b"));
    EXPECT_FALSE(SeparerArguments(" \t "));
}

TEST(Version, BothNumberingRules) {
    EXPECT_EQ(FormaterVersion(2, 5, 0), "v2.5");
    EXPECT_EQ(FormaterVersion(2, 5, 3), "v2.5.3");
    EXPECT_EQ(FormaterVersion(2, 5, 99), "v2.5.99");
    EXPECT_EQ(FormaterVersion(9, 9, 1203), "v1.2 beta 3");
    EXPECT_EQ(FormaterVersion(9, 9, 1213), "v1.2.1 beta 3");
    EXPECT_EQ(FormaterVersion(0, 0, 100), "v0.1 beta 0");
    EXPECT_EQ(TexteVersion().rfind("v", 0), 0u);
}

TEST(SystemFacts, ErrorTextHasNoLineBreak) {
    EXPECT_EQ(TexteErreurSysteme(ENOENT), "No such file or directory");
    EXPECT_FALSE(TexteErreurSysteme(123456).empty());
    EXPECT_TRUE(EstWindowsNT());
}

}  // namespace
}  // namespace velmora::platform
