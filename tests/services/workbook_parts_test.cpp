// The pieces under the workbook automation: number display, cell addresses, formula moving,
// the XML scanner and the sheet index.
#include "services/workbook/cell_address.h"
#include "services/workbook/compound_file.h"
#include "services/workbook/formula_shift.h"
#include "services/workbook/number_text.h"
#include "services/workbook/ooxml_text.h"
#include "services/workbook/sheet_index.h"
#include "services/workbook/xml_scanner.h"

#include <gtest/gtest.h>

namespace iploc::workbook {
namespace {

TEST(ShownNumber, GeneralFormat) {
    struct Case {
        const char* stored;
        const char* shown;
    } cases[] = {
        {"12", "12"},
        {"12.0", "12"},
        {"1.5", "1.5"},
        {"-0.25", "-0.25"},
        {"0", "0"},
        {"-0", "0"},
        {"1e3", "1000"},
        {"1.5E+3", "1500"},
        {"0.30000000000000004", "0.3"},
        {"123456789012345", "123456789012345"},
        {"999999999999999", "999999999999999"},
        {"1234567890123456", "1.23456789012346E+15"},
        {"1e15", "1E+15"},
        {"1e20", "1E+20"},
        {"-1.5e100", "-1.5E+100"},
        {"0.000000001", "0.000000001"},
        {"1.5e-10", "1.5E-10"},
        {"3.14159265358979", "3.14159265358979"},
        {"0.1", "0.1"},
        {"  7 ", "7"},
        {"+4", "4"},
        {"abc", "abc"},
        {"", ""},
        {"1.5.2", "1.5.2"},
        {"inf", "inf"},
        {"nan", "nan"},
        {"1e400", "1e400"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShownNumberText(c.stored), c.shown) << c.stored;
}

TEST(CellAddresses, ParseAndFormat) {
    struct Case {
        const char* text;
        std::uint32_t row, column; // 0: not an address
    } cases[] = {
        {"A1", 1, 1},
        {"$B$7", 7, 2},
        {"b7", 7, 2},
        {"Z1", 1, 26},
        {"AA1", 1, 27},
        {"XFD1048576", 1048576, 16384},
        {"XFE1", 0, 0},
        {"A1048577", 0, 0},
        {"A0", 0, 0},
        {"A01", 0, 0},
        {"A99999999999", 0, 0},
        {"AAAA1", 0, 0},
        {"1A", 0, 0},
        {"A", 0, 0},
        {"", 0, 0},
        {"A1$", 0, 0},
        {"A-1", 0, 0},
        {"A 1", 0, 0},
    };
    for (const auto& c : cases) {
        auto parsed = ParseCellAddress(c.text);
        if (c.row == 0) {
            EXPECT_FALSE(parsed) << c.text;
        } else {
            ASSERT_TRUE(parsed) << c.text;
            EXPECT_EQ(parsed->row, c.row) << c.text;
            EXPECT_EQ(parsed->column, c.column) << c.text;
        }
    }
    EXPECT_EQ(CellAddress({12, 28}), "AB12");
    EXPECT_EQ(CellAddress({1048576, 16384}), "XFD1048576");
    EXPECT_EQ(RangeAddress(RangeBetween({3, 3}, {1, 2})), "B1:C3");
}

TEST(FormulaShift, RelativeReferencesMoveAbsoluteOnesStay) {
    struct Case {
        const char* formula;
        long rows, columns;
        const char* moved;
    } cases[] = {
        {"A1*2", 1, 0, "A2*2"},
        {"$A$1+A$1+$A1", 2, 1, "$A$1+B$1+$A3"},
        {"SUM(A1:B2)", 1, 1, "SUM(B2:C3)"},
        {"LOG10(A1)", 1, 0, "LOG10(A2)"}, // a function name that looks like a cell
        {"\"A1\"&A1", 1, 0, "\"A1\"&A2"}, // text stays text
        {"'Sheet 1'!A1+Sheet2!B2", 1, 0, "'Sheet 1'!A2+Sheet2!B3"},
        {"SUM(A:A)+SUM(1:1)", 1, 1, "SUM(B:B)+SUM(2:2)"},
        {"A1", -1, 0, "#REF!"},
        {"Table1[[#This Row],[A1]]", 1, 0, "Table1[[#This Row],[A1]]"},
        {"1.5E+3+A1", 0, 1, "1.5E+3+B1"},
        {"TRUE+myName", 3, 3, "TRUE+myName"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShiftFormula(c.formula, c.rows, c.columns), c.moved) << c.formula;
}

TEST(XmlScanner, RefusesWhatIsNotWellFormed) {
    const char* documents[] = {
        "<a>",
        "<a></b>",
        "<a x=1/>",
        "<a x=\"1\"y=\"2\"/>",
        "<a>&bogus;</a>",
        "<a>&#0;</a>",
        "<a>&#xD800;</a>",
        "<a/><b/>",
        "text<a/>",
        "<!DOCTYPE a><a/>",
        "<a x=\"<\"/>",
        "<a><![CDATA[x</a>",
        "",
        "<a><!-- open </a>",
        "<a x=\"1\" x2/>",
    };
    for (const char* document : documents) {
        XmlScanner scanner(document);
        XmlScanner::Token token;
        while ((token = scanner.Next()) != XmlScanner::Token::End && token != XmlScanner::Token::Error) {
        }
        EXPECT_EQ(token, XmlScanner::Token::Error) << document;
    }
}

TEST(XmlScanner, ReadsPrefixedElementsAttributesAndText) {
    XmlScanner scanner("\xEF\xBB\xBF<?xml version=\"1.0\"?><!-- c --><x:a xmlns:x=\"u\" r = 'A&amp;1'>"
                       "&lt;&#x4E2D;&#20013;<![CDATA[<raw>]]><x:b/></x:a>\n");
    ASSERT_EQ(scanner.Next(), XmlScanner::Token::StartElement);
    EXPECT_EQ(scanner.LocalName(), "a");
    EXPECT_EQ(scanner.Prefix(), "x");
    EXPECT_EQ(scanner.AttributeValue("r"), "A&1");
    std::string text;
    ASSERT_EQ(scanner.Next(), XmlScanner::Token::Text);
    scanner.AppendText(text);
    ASSERT_EQ(scanner.Next(), XmlScanner::Token::Text);
    scanner.AppendText(text);
    EXPECT_EQ(text, "<中中<raw>");
    ASSERT_EQ(scanner.Next(), XmlScanner::Token::StartElement);
    EXPECT_TRUE(scanner.IsEmptyElement());
    EXPECT_EQ(scanner.Next(), XmlScanner::Token::EndElement);
    EXPECT_EQ(scanner.Next(), XmlScanner::Token::EndElement);
    EXPECT_EQ(scanner.Next(), XmlScanner::Token::End);
}

TEST(SheetIndex, ImplicitPositionsDisorderAndRepeats) {
    const std::string head = "<worksheet><sheetData>", tail = "</sheetData></worksheet>";
    SheetIndex index;
    // Rows and cells without r take the next position; rows out of order are put in order.
    ASSERT_TRUE(index.Build(head +
                            "<row r=\"5\"><c r=\"C5\"/><c/></row><row><c/></row><row r=\"2\"><c r=\"B2\"/>"
                            "<c r=\"A2\"/></row>" +
                            tail));
    for (CellRef cell : {CellRef{5, 3}, CellRef{5, 4}, CellRef{6, 1}, CellRef{2, 1}, CellRef{2, 2}})
        EXPECT_NE(index.Find(cell), nullptr) << CellAddress(cell);
    EXPECT_EQ(index.Find({5, 1}), nullptr);
    EXPECT_EQ(index.Rows().front().row, 2u);
    EXPECT_EQ(index.Cells()[index.Rows().front().firstCell].column, 1u);

    const std::string bad[] = {
        head + "<row r=\"1\"/><row r=\"1\"/>" + tail,                  // a row twice
        head + "<row r=\"1\"><c r=\"A1\"/><c r=\"A1\"/></row>" + tail, // a cell twice
        head + "<row r=\"1\"><c r=\"A2\"/></row>" + tail,              // a cell in the wrong row
        head + "<row r=\"0\"/>" + tail,
        head + "<row r=\"1048577\"/>" + tail,
        "<worksheet/>", // no sheetData
    };
    for (const auto& xml : bad)
        EXPECT_FALSE(index.Build(xml)) << xml;
}

TEST(CompoundFile, DamagedContainersAreRefused) {
    std::string header(512, '\0');
    header.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
    header[30] = 12; // 4096-byte sectors in a file shorter than one
    header[44] = 1;  // one allocation-table sector
    EXPECT_FALSE(ReadCompoundStream(header, "Workbook"));
    header[30] = 9;
    EXPECT_FALSE(ReadCompoundStream(header, "Workbook")); // no sector after the header
    EXPECT_FALSE(ReadCompoundStream("", "Workbook"));
    EXPECT_FALSE(ReadCompoundStream(std::string(4096, 'x'), "Workbook"));
}

TEST(CellText, EscapesAndLimits) {
    std::string out;
    AppendCellXmlText("a<b\x01_x0041_", out);
    EXPECT_EQ(out, "a&lt;b_x0001__x005F_x0041_");
    std::string decoded = "_x0001__x005F_x0041__x00zz_";
    DecodeCharacterEscapes(decoded);
    EXPECT_EQ(decoded, "\x01_x0041__x00zz_");
    const std::string ascii(40000, 'a');
    EXPECT_EQ(LimitCellText(ascii).size(), kMaxCellCharacters);
    std::string wide;
    for (int i = 0; i < 20000; ++i)
        wide += "\xF0\x9F\x98\x80"; // two UTF-16 units each
    EXPECT_EQ(LimitCellText(wide).size(), kMaxCellCharacters / 2 * 4);
}

} // namespace
} // namespace iploc::workbook
