// The INI text model: lookups as the classic profile functions do them, edits
// that keep the rest of the file, integers that fall back instead of guessing.
#include "settings/ini_document.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(IniDocumentTest, NamesCompareWithoutCaseAndValuesAreTrimmed)
{
    const IniDocument document = IniDocument::parse("[port]\r\n  comport =  COM7 \r\nBAUDRATE=9\n");
    EXPECT_EQ(document.valueOf("Port", "ComPort"), "COM7");
    EXPECT_EQ(document.valueOf("PORT", "BaudRate"), "9");
    EXPECT_EQ(document.valueOf("Port", "Parity"), std::nullopt);
    EXPECT_EQ(document.valueOf("address", "addr"), std::nullopt);
}

TEST(IniDocumentTest, FirstSectionAndFirstKeyWin)
{
    const IniDocument document =
        IniDocument::parse("[Timer]\nSec=7\nsec=8\n[Other]\nSec=1\n[TIMER]\nSec=9\nExtra=1\n");
    EXPECT_EQ(document.valueOf("Timer", "Sec"), "7");
    EXPECT_EQ(document.valueOf("Timer", "Extra"), std::nullopt);
}

TEST(IniDocumentTest, CommentsStrayLinesAndEmptyKeysAreIgnored)
{
    const IniDocument document = IniDocument::parse("addr=1\n; addr=2\n[address]\n;addr=3\n# addr=4\nno "
                                                    "equals sign\n=5\naddr=6=7\n[Config\nFile=a.xls\n");
    EXPECT_EQ(document.valueOf("address", "addr"), "6=7");
    EXPECT_EQ(document.valueOf("address", ""), std::nullopt);
    // An unclosed bracket still names a section, as the profile functions read it.
    EXPECT_EQ(document.valueOf("Config", "File"), "a.xls");
}

TEST(IniDocumentTest, AllLineEndsSplitLines)
{
    const IniDocument document = IniDocument::parse("[a]\rx=1\r\ny=2\nz=3");
    EXPECT_EQ(document.valueOf("a", "x"), "1");
    EXPECT_EQ(document.valueOf("a", "y"), "2");
    EXPECT_EQ(document.valueOf("a", "z"), "3");
}

TEST(IniDocumentTest, SettingValuesKeepsEveryOtherLine)
{
    IniDocument document = IniDocument::parse(
        "; written by hand\r\n[PORT]\r\ncomport=COM1\r\nBaudRate=7\r\n\r\n[Config]\r\nFile=Q.xls\r\n");
    document.setValue("Port", "ComPort", "COM3");
    document.setValue("Port", "Parity", "2");
    document.setValue("address", "addr", "5");
    EXPECT_EQ(document.text(), "; written by hand\r\n[PORT]\r\nComPort=COM3\r\nBaudRate=7\r\nParity=2\r\n\r\n"
                               "[Config]\r\nFile=Q.xls\r\n\r\n[address]\r\naddr=5\r\n");
}

TEST(IniDocumentTest, NewFileListsKeysInTheOrderWritten)
{
    IniDocument document;
    document.setValue("Port", "ComPort", "COM1");
    document.setValue("Port", "BaudRate", "7");
    document.setValue("address", "addr", "23");
    EXPECT_EQ(document.text(), "[Port]\r\nComPort=COM1\r\nBaudRate=7\r\n\r\n[address]\r\naddr=23\r\n");
}

TEST(IniDocumentTest, LineBreaksInValuesCannotAddLines)
{
    IniDocument document;
    document.setValue("Port", "ComPort", "COM1\r\n[address]\r\naddr=99");
    EXPECT_EQ(document.valueOf("address", "addr"), std::nullopt);
    EXPECT_EQ(document.lines().size(), 2u);
}

// Whatever bytes a file holds, parsing never fails and a document written back
// reads the same values.
TEST(IniDocumentTest, RandomTextSurvivesRewriting)
{
    std::mt19937 random(20240611);
    static const char kAlphabet[] = "[]=;# \t\r\nabAB01\xE4\xB8\x80\x00";
    const std::string alphabet(kAlphabet, sizeof kAlphabet - 1);
    const char* const names[] = {"a", "A", "b", "ab", "0"};
    for (int round = 0; round < 2000; ++round) {
        std::string text(random() % 80, ' ');
        for (char& c : text)
            c = alphabet[random() % alphabet.size()];
        IniDocument document = IniDocument::parse(text);
        document.setValue(names[random() % 5], names[random() % 5], "v");
        const IniDocument reread = IniDocument::parse(document.text());
        for (const char* section : names)
            for (const char* key : names)
                ASSERT_EQ(reread.valueOf(section, key), document.valueOf(section, key))
                    << "text: " << ::testing::PrintToString(text) << " [" << section << "] " << key;
    }
}

struct IntegerRow {
    const char* name;
    const char* text;
    std::optional<int> valueOf;
};

class IniIntegerTest : public ::testing::TestWithParam<IntegerRow> {};

TEST_P(IniIntegerTest, ParsesOrRefuses)
{
    EXPECT_EQ(parseIniInteger(GetParam().text), GetParam().valueOf);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, IniIntegerTest,
    ::testing::Values(
        IntegerRow{"Decimal", "23", 23}, IntegerRow{"Blanks", " 7 ", 7}, IntegerRow{"Negative", "-3", -3},
        IntegerRow{"Plus", "+4", 4}, IntegerRow{"HexC", "0x1F", 31}, IntegerRow{"HexDollar", "$10", 16},
        IntegerRow{"Smallest", "-2147483648", std::numeric_limits<int>::min()},
        IntegerRow{"Largest", "2147483647", std::numeric_limits<int>::max()},
        IntegerRow{"TooLarge", "2147483648", std::nullopt},
        IntegerRow{"FarTooLarge", "99999999999999999999", std::nullopt},
        IntegerRow{"Letters", "abc", std::nullopt}, IntegerRow{"TrailingLetter", "7a", std::nullopt},
        IntegerRow{"Empty", "", std::nullopt}, IntegerRow{"SignOnly", "-", std::nullopt},
        IntegerRow{"HexPrefixOnly", "0x", std::nullopt}, IntegerRow{"Fraction", "1.5", std::nullopt}),
    [](const ::testing::TestParamInfo<IntegerRow>& info) { return std::string(info.param.name); });

} // namespace
