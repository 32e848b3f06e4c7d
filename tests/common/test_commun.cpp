// Address rules, the splitter and the password encodings.
#include <gtest/gtest.h>

#include "common/config/Config.h"
#include "common/text/Commun.h"

using namespace velmora;

TEST(Adresses, PrivateRangesAreTheThreeClassicOnes) {
    for (const char* a : {"192.168.1.1", "10.0.0.1", "172.16.0.1", "172.31.255.254", "172.016.0.1"})
        EXPECT_TRUE(EstAdressePrivee(a)) << a;
    for (const char* a : {"172.15.0.1", "172.32.0.1", "11.0.0.1", "127.0.0.1", "169.254.1.1",
                          "010.1.1.1", "monpc", "192.168.1", ""})
        EXPECT_FALSE(EstAdressePrivee(a)) << a;
}

TEST(Adresses, DottedQuadRule) {
    EXPECT_TRUE(EstAdresseIP("010.001.000.009"));
    EXPECT_TRUE(EstAdresseIP("255.255.255.255"));
    for (const char* a : {"256.1.1.1", "1.2.3", "1.2.3.4.5", "1.2.3.4.", " 1.2.3.4", "1.2.3.-4",
                          "1.2.3.+4", "1..3.4", "", "1.2.3.99999999999999999999"})
        EXPECT_FALSE(EstAdresseIP(a)) << a;
    EXPECT_EQ(NormaliserAdresseIP("010.001.000.009"), "10.1.0.9");
    EXPECT_EQ(NormaliserAdresseIP("serveur.local"), "serveur.local");
}

TEST(Adresses, MacAndPort) {
    EXPECT_TRUE(EstAdresseMAC("00:1a:2B:3c:4D:5e"));
    EXPECT_TRUE(EstAdresseMAC("00-1A-2B-3C-4D-5E"));
    for (const char* m : {"00:1A-2B:3C:4D:5E", "001A2B3C4D5E", "00-1A-2B-3C-4D",
                          " 00-1A-2B-3C-4D-5E", "00-1A-2B-3C-4D-5G", "00-1A-2B-3C-4D-5E-"})
        EXPECT_FALSE(EstAdresseMAC(m)) << m;
    EXPECT_TRUE(EstPort("0"));
    EXPECT_TRUE(EstPort("65535"));
    for (const char* p : {"65536", "", "+1", "1 ", "-1", "99999999999999999999999"})
        EXPECT_FALSE(EstPort(p)) << p;
}

TEST(Textes, ExtraireChampAndFriends) {
    EXPECT_EQ(ExtraireChamp("a|b|c", "|", 5), "");
    EXPECT_EQ(ExtraireChamp("a|b|c", "|", 1, Comparaison::Binaire, true), "b|c");
    EXPECT_EQ(ExtraireChamp("a|b|", "|"), (std::vector<std::string>{"a", "b", ""}));
    EXPECT_EQ(ExtraireChamp("aXbxc", "x", Comparaison::Texte),
              (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(ExtraireChamp("abc", ""), (std::vector<std::string>{"abc"}));  // never loops
    EXPECT_EQ(Joindre({"", "", "a", "", "b"}, "|"), "a||b");
    EXPECT_EQ(Remplacer("aaa", "a", "aa"), "aaaaaa");  // a replacement holding the text: no loop
    EXPECT_EQ(Remplacer("\r\r\r\r\r", "\r\r", "\r"), "\r\r\r");
    EXPECT_EQ(RechercherDepuisFin("a.b.c", "."), 4u);
    EXPECT_EQ(RechercherDepuisFin("a.b.c", ".", 3), 2u);
    EXPECT_EQ(RechercherDepuisFin("abc", "x"), 0u);
    EXPECT_EQ(Inverser("éte"), "eté");
    EXPECT_EQ(MajusculeInitiale("élan"), "Élan");
    EXPECT_EQ(Maximum(3, 9, 2), 9);
    EXPECT_TRUE(ContientUnDe("pc|1", kCaracteresInterdits));
    EXPECT_FALSE(ContientUnDe("pc-1", kCaracteresInterdits));
    EXPECT_TRUE(Egal("Réveil", "RÉVEIL", Comparaison::Texte));
}

TEST(Textes, WildcardPatterns) {
    EXPECT_TRUE(Correspond("pc12", "pc##"));
    EXPECT_TRUE(Correspond("pc12", "p?1*"));
    EXPECT_TRUE(Correspond("salle-b", "salle-[a-c]"));
    EXPECT_FALSE(Correspond("salle-d", "salle-[a-c]"));
    EXPECT_TRUE(Correspond("salle-d", "salle-[!a-c]"));
    EXPECT_TRUE(Correspond("é", "?"));  // one character, whatever its bytes
    EXPECT_FALSE(Correspond("PC1", "pc1"));
    // A pathological pattern must stay fast (no exponential backtracking).
    EXPECT_FALSE(Correspond(std::string(5000, 'a'), "*a*a*a*a*a*a*a*a*b"));
}

TEST(MotsDePasse, RoundTripOfEveryWindows1252Text) {
    std::string tous;
    for (int c = 1; c < 256; ++c) tous += DepuisWindows1252(std::string(1, static_cast<char>(c)));
    for (const std::string& p :
         {std::string(), std::string("a"), std::string("Été 2024 €"), tous}) {
        auto code = CoderMotDePasse(p);
        ASSERT_TRUE(code);
        EXPECT_EQ(code->size(), 2 * VersWindows1252(p)->size());
        EXPECT_EQ(DecoderMotDePasse(*code), p);
        auto codeConfig = CoderConfig(p);
        ASSERT_TRUE(codeConfig);
        EXPECT_EQ(DecoderConfig(*codeConfig), p);
    }
    // Known values: a stored password of the older program decodes the same.
    EXPECT_EQ(*CoderMotDePasse("ab"), "1DE1");
    EXPECT_EQ(DecoderMotDePasse("1DE1"), "ab");
}

TEST(MotsDePasse, RefusedOrDamagedInputNeverCrashes) {
    EXPECT_FALSE(CoderMotDePasse("日本"));  // outside Windows-1252: refused, not corrupted
    EXPECT_FALSE(CoderConfig("✓"));
    for (const char* code : {"A", "ABC", "ZZ", "G1H2", "\xff\xfe"}) {
        (void)DecoderMotDePasse(code);
        (void)DecoderConfig(code);
    }
    EXPECT_TRUE(EstUtf8Valide(DecoderMotDePasse("ZZZZ")));
}

TEST(Textes, NumbersAndEncodings) {
    EXPECT_EQ(LireNombre(" 42 "), 42);
    EXPECT_EQ(LireNombre("-7"), -7);
    EXPECT_FALSE(LireNombre("abc"));
    EXPECT_FALSE(LireNombre("4 2"));
    EXPECT_EQ(Val("12abc"), 12);
    EXPECT_EQ(DepuisWindows1252("\xe9\x80"), "é€");
    EXPECT_EQ(*VersWindows1252("é€"), "\xe9\x80");
    EXPECT_FALSE(EstUtf8Valide("\xe9t\xe9"));
    EXPECT_FALSE(EstUtf8Valide("\xc3"));
}
