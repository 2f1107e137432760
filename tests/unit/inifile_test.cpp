// The INI file against real files: reading rules, in-place writes, bad input, failed writes.
#include "platform/inifile.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace kestrova {
namespace {

using testing::readBytes;
using testing::ReadOnlyFolder;
using testing::TempFolder;
using testing::writeBytes;

TEST(IniFile, MissingFileReadsDefaultsAndTheFirstWriteCreatesIt)
{
    TempFolder folder;
    IniFile ini(folder / "kestrova.ini");
    EXPECT_EQ(ini.readInteger("kestrova", "Top", 3), 3);
    EXPECT_EQ(ini.readString("kestrova", "Name", "Guest"), "Guest");
    EXPECT_FALSE(std::filesystem::exists(ini.path())); // reading creates nothing

    ini.writeInteger("kestrova", "Top", 3);
    ini.writeInteger("kestrova", "Left", -20);
    ini.writeInteger("kestrova", "Width", 774);
    ini.writeInteger("kestrova", "Height", 541);
    ini.writeString("kestrova", "Name", "Guest");
    ini.writeString("kestrova", "Sounds", "yes");
    ini.writeString("kestrova", "Update", "true");
    EXPECT_EQ(readBytes(ini.path()), "[kestrova]\nTop=3\nLeft=-20\nWidth=774\nHeight=541\n"
                                     "Name=Guest\nSounds=yes\nUpdate=true\n");
    EXPECT_EQ(ini.readInteger("kestrova", "Left", 3), -20);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              1); // no temporary files left beside it
}

TEST(IniFile, ValuesAreReadExactlyButForBlanksAndEnclosingQuotes)
{
    TempFolder folder;
    const std::string longName(5000, 'n');
    writeBytes(folder / "k.ini", "[kestrova]\n"
                                 "Sounds=No\n"
                                 "Update=FALSE\n"
                                 "Name= \t Ann Lee  \t\n"
                                 "Quoted=\"  two  \"\n"
                                 "Single='x'\n"
                                 "Mixed=\"x'\n"
                                 "Lone=\"\n"
                                 "Inner=a \"b\" c\n"
                                 "Empty=\n"
                                 "Long=" + longName + "\n");
    IniFile ini(folder / "k.ini");
    EXPECT_EQ(ini.readString("kestrova", "Sounds", "yes"), "No");
    EXPECT_EQ(ini.readString("kestrova", "Update", "true"), "FALSE");
    EXPECT_EQ(ini.readString("kestrova", "Name", ""), "Ann Lee");
    EXPECT_EQ(ini.readString("kestrova", "Quoted", ""), "  two  ");
    EXPECT_EQ(ini.readString("kestrova", "Single", ""), "x");
    EXPECT_EQ(ini.readString("kestrova", "Mixed", ""), "\"x'");
    EXPECT_EQ(ini.readString("kestrova", "Lone", ""), "\"");
    EXPECT_EQ(ini.readString("kestrova", "Inner", ""), "a \"b\" c");
    EXPECT_EQ(ini.readString("kestrova", "Empty", "default"), "");
    EXPECT_EQ(ini.readString("kestrova", "Missing", "default"), "default");
    EXPECT_EQ(ini.readString("kestrova", "Long", ""), longName);

    // A long value goes back whole; blanks written around a value do not come back.
    ini.writeString("kestrova", "Long", longName + "!");
    EXPECT_EQ(ini.readString("kestrova", "Long", ""), longName + "!");
    ini.writeString("kestrova", "Name", "  Bo  ");
    EXPECT_NE(readBytes(ini.path()).find("\nName=  Bo  \n"), std::string::npos);
    EXPECT_EQ(ini.readString("kestrova", "Name", ""), "Bo");
}

TEST(IniFile, IntegersAreDecimalOrHexadecimalElseTheDefault)
{
    TempFolder folder;
    writeBytes(folder / "k.ini", "[n]\n"
                                 "Top=abc\nA=0x1F\nB=$1f\nC=-5\nD= 42 \nE=+7\nF=-2147483648\n"
                                 "G=2147483647\nH=2147483648\nI=-2147483649\nJ=$FFFFFFFF\n"
                                 "K=0x100000000\nL=\nM=12abc\nN=0x\nO=$\nP=1 2\nQ=-$10\nR=0X10\n"
                                 "S=99999999999999999999999\nT=\"8\"\n");
    IniFile ini(folder / "k.ini");
    const auto read = [&](const char* key) { return ini.readInteger("n", key, 3); };
    EXPECT_EQ(read("Top"), 3);
    EXPECT_EQ(read("A"), 31);
    EXPECT_EQ(read("B"), 31);
    EXPECT_EQ(read("C"), -5);
    EXPECT_EQ(read("D"), 42);
    EXPECT_EQ(read("E"), 7);
    EXPECT_EQ(read("F"), -2147483647 - 1);
    EXPECT_EQ(read("G"), 2147483647);
    EXPECT_EQ(read("H"), 3);
    EXPECT_EQ(read("I"), 3);
    EXPECT_EQ(read("J"), -1);
    EXPECT_EQ(read("K"), 3);
    EXPECT_EQ(read("L"), 3);
    EXPECT_EQ(read("M"), 3);
    EXPECT_EQ(read("N"), 3);
    EXPECT_EQ(read("O"), 3);
    EXPECT_EQ(read("P"), 3);
    EXPECT_EQ(read("Q"), -16);
    EXPECT_EQ(read("R"), 16);
    EXPECT_EQ(read("S"), 3);
    EXPECT_EQ(read("T"), 8);
    EXPECT_EQ(read("Missing"), 3);
}

TEST(IniFile, SectionAndKeyNamesMatchWithoutRegardToCase)
{
    TempFolder folder;
    writeBytes(folder / "k.ini", "[KESTROVA]\ntOP=7\n");
    IniFile ini(folder / "k.ini");
    EXPECT_EQ(ini.readInteger("kestrova", "Top", 3), 7);
    ini.writeInteger("Kestrova", "TOP", 8);
    EXPECT_EQ(readBytes(ini.path()), "[KESTROVA]\ntOP=8\n"); // the line keeps its spelling
}

TEST(IniFile, AKeyIsThereWhateverItHoldsAndOnlyInItsOwnSection)
{
    TempFolder folder;
    IniFile ini(folder / "k.ini");
    EXPECT_FALSE(ini.hasKey("kestrova", "Top"));   // no file yet
    writeBytes(ini.path(), "[other]\nName=x\n[Kestrova]\nTOP=\nWidth\n; Height=1\n");
    EXPECT_TRUE(ini.hasKey("kestrova", "top"));     // empty, but there
    EXPECT_FALSE(ini.hasKey("kestrova", "Name"));   // another section's
    EXPECT_FALSE(ini.hasKey("kestrova", "Width"));  // no "="
    EXPECT_FALSE(ini.hasKey("kestrova", "Height")); // a comment
    EXPECT_FALSE(ini.hasKey("missing", "Top"));
}

TEST(IniFile, AWriteChangesOneLineAndKeepsEverythingElse)
{
    TempFolder folder;
    const std::string before = "; settings\r\n"
                               "\r\n"
                               "[other]\r\n"
                               "Top=1\r\n"
                               "\r\n"
                               "[kestrova]\r\n"
                               "# a comment=with an equals sign\r\n"
                               "Top = 5 \r\n"
                               "Name=Ann\r\n"
                               "\r\n"
                               "[last]\n"
                               "x=y";
    writeBytes(folder / "k.ini", before);
    IniFile ini(folder / "k.ini");
    EXPECT_EQ(ini.readString("kestrova", "# a comment", "none"), "none");
    ini.writeInteger("kestrova", "Top", 12);
    std::string expected = before;
    expected.replace(expected.find("Top = 5 "), 8, "Top =12");
    EXPECT_EQ(readBytes(ini.path()), expected);
    EXPECT_EQ(ini.readInteger("other", "Top", 3), 1);
}

TEST(IniFile, AMissingKeyJoinsItsSectionAndAMissingSectionIsAppended)
{
    TempFolder folder;
    writeBytes(folder / "k.ini", "[kestrova]\r\nTop=1\r\n\r\n[other]\r\nx=y");
    IniFile ini(folder / "k.ini");
    ini.writeString("kestrova", "Name", "Ann");
    EXPECT_EQ(readBytes(ini.path()), "[kestrova]\r\nTop=1\r\nName=Ann\r\n\r\n[other]\r\nx=y");
    ini.writeString("other", "z", "1");
    EXPECT_EQ(readBytes(ini.path()),
              "[kestrova]\r\nTop=1\r\nName=Ann\r\n\r\n[other]\r\nx=y\r\nz=1\r\n");
    ini.writeString("new", "k", "v");
    EXPECT_EQ(readBytes(ini.path()),
              "[kestrova]\r\nTop=1\r\nName=Ann\r\n\r\n[other]\r\nx=y\r\nz=1\r\n[new]\r\nk=v\r\n");
}

TEST(IniFile, TheFirstOfDuplicateKeysWinsForReadingAndWriting)
{
    TempFolder folder;
    writeBytes(folder / "k.ini", "[s]\nName=first\nname=second\n[S]\nNAME=third\n");
    IniFile ini(folder / "k.ini");
    EXPECT_EQ(ini.readString("s", "Name", ""), "first");
    ini.writeString("s", "Name", "new");
    EXPECT_EQ(readBytes(ini.path()), "[s]\nName=new\nname=second\n[S]\nNAME=third\n");
}

TEST(IniFile, JunkLongLinesAndLineBreaksInValuesAreHandledSafely)
{
    TempFolder folder;
    std::string junk("\0\x01\xff[\r=\n\r\r\n]]=[\n", 16);
    junk += std::string(1 << 20, 'x') + "\n";
    junk += "[kestrova]\n=nokey\nnoequals\nTop=9\r\r\n";
    writeBytes(folder / "k.ini", junk);
    IniFile ini(folder / "k.ini");
    EXPECT_EQ(ini.readString("kestrova", "Top", ""), "9\r"); // only CR LF and LF end a line
    EXPECT_EQ(ini.readString("kestrova", "", "default"), "default");

    ini.writeString("kestrova", "Name", "two\r\nlines");
    EXPECT_EQ(readBytes(ini.path()), junk + "Name=two  lines\n");
    EXPECT_EQ(ini.readString("kestrova", "Name", ""), "two  lines");
}

TEST(IniFile, ALastLineEndingInALoneCarriageReturnKeepsItsValueWhenTheFileGrows)
{
    // The line gets a line end for the key that follows it; CR followed by LF would
    // end the line there and cut the CR off its value.
    TempFolder folder;
    writeBytes(folder / "k.ini", "[kestrova]\nTop=1\r");
    IniFile ini(folder / "k.ini");
    ini.writeString("kestrova", "Name", "Ann");
    EXPECT_EQ(ini.readString("kestrova", "Top", ""), "1\r");
    EXPECT_EQ(ini.readInteger("kestrova", "Top", 3), 3);
    ini.writeString("other", "k", "v");
    EXPECT_EQ(ini.readString("kestrova", "Name", ""), "Ann");
    EXPECT_EQ(ini.readString("other", "k", ""), "v");

    writeBytes(folder / "k.ini", "[kestrova]\nTop=1\r");
    ini.writeString("other", "k", "v");
    EXPECT_EQ(ini.readString("kestrova", "Top", ""), "1\r");
}

TEST(IniFile, AFailedWriteGivesTheExactErrorAndLeavesTheFileAsItWas)
{
    TempFolder folder;
    const std::filesystem::path path = folder / "kestrova.ini";
    writeBytes(path, "[kestrova]\nTop=1\n");
    {
        ReadOnlyFolder readOnly(folder.path());
        if (!readOnly.ok())
            GTEST_SKIP() << "cannot make a folder read-only here";
        IniFile ini(path);
        try {
            ini.writeInteger("kestrova", "Top", 2);
            FAIL() << "the write should fail";
        } catch (const IniFileError& error) {
            EXPECT_EQ(std::string(error.what()), "Unable to write to " + path.string());
        }
        EXPECT_EQ(ini.readInteger("kestrova", "Top", 3), 1);
    }
    EXPECT_EQ(readBytes(path), "[kestrova]\nTop=1\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(IniFile, WritesWhereNoFileCanBeGiveTheErrorWithTheFullPath)
{
    TempFolder folder;
    writeBytes(folder / "plain", "a file, not a folder");
    const std::filesystem::path impossible = folder / "plain" / "kestrova.ini";
    IniFile ini(impossible);
    EXPECT_EQ(ini.readString("kestrova", "Name", "Guest"), "Guest");
    EXPECT_THROW(
        {
            try {
                ini.writeString("kestrova", "Name", "x");
            } catch (const IniFileError& error) {
                EXPECT_EQ(std::string(error.what()), "Unable to write to " + impossible.string());
                throw;
            }
        },
        IniFileError);

    // A relative name is reported with its full path.
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    try {
        IniFile("plain/k.ini").writeString("s", "k", "v");
        ADD_FAILURE() << "the write should fail";
    } catch (const IniFileError& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + (folder / "plain/k.ini").string());
    }
    std::filesystem::current_path(saved);
}

TEST(IniFile, AnUnreadableFileReadsAsEmptyAndIsNeverReplaced)
{
    TempFolder folder;
    std::filesystem::create_directory(folder / "k.ini"); // there, but not a readable file
    writeBytes(folder / "k.ini" / "inside", "kept");
    IniFile ini(folder / "k.ini");
    EXPECT_EQ(ini.readInteger("kestrova", "Top", 3), 3);
    EXPECT_THROW(ini.writeInteger("kestrova", "Top", 4), IniFileError);
    EXPECT_EQ(readBytes(folder / "k.ini" / "inside"), "kept");
}

} // namespace
} // namespace kestrova
