#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "setup/Defaults.h"
#include "setup/Fields.h"
#include "setup/MenuRows.h"

namespace wm {
namespace {

// One expected row: grid, label, the six display positions, help topic.
struct Want {
    MenuGrid grid;
    std::string label;
    std::array<std::string, 6> cells;
    int topic;
};

constexpr MenuGrid M = MenuGrid::Main;
constexpr MenuGrid I = MenuGrid::Input;
constexpr MenuGrid S = MenuGrid::SetPt;

SetupImage Image(std::initializer_list<std::pair<int, std::string>> changes = {}) {
    SetupImage image;
    image.text = std::string(DefaultSetupText);
    for (const auto& [pos, text] : changes) image.Put(pos, text);
    return image;
}

std::vector<MenuRow> Rows(const SetupImage& image, int revision) {
    return BuildMenuRows(image, DeriveSetup(image), revision);
}

void ExpectRows(const std::vector<MenuRow>& got, const std::vector<Want>& want) {
    const std::size_t n = std::min(got.size(), want.size());
    for (std::size_t i = 0; i < n; ++i) {
        SCOPED_TRACE("row " + std::to_string(i) + " \"" + want[i].label + "\"");
        EXPECT_EQ(got[i].grid, want[i].grid);
        EXPECT_EQ(got[i].label, want[i].label);
        EXPECT_EQ(got[i].cells, want[i].cells);
        EXPECT_EQ(got[i].topic, want[i].topic);
    }
    EXPECT_EQ(got.size(), want.size());
    if (got.size() > n) ADD_FAILURE() << "unexpected row \"" << got[n].label << "\"";
    if (want.size() > n) ADD_FAILURE() << "missing row \"" << want[n].label << "\"";
}

const std::array<std::string, 6> Zeros = {"", "0", "0", "0", "0", "0"};
const std::array<std::string, 6> Lock0 = {"", "", "0", "0", "0", "0"};

// The default setup: a DC meter in DC V 0.2 V, point code 1, relay, RS232 and
// analog boards, revision 6.
const std::vector<Want> DefaultRows = {
    {M, " InPut", {"", "", "d", "C", "", "V"}, 2151},
    {M, " SEtuP", Zeros, 1276},
    {M, "ConFiG", {"", "", "0", "0", "0", ""}, 1277},
    {M, "Count", {"", "", "", "", "0", "0"}, 1278},
    {M, "FiLtEr", {"", "0", "0", "1", "1", "6"}, 2154},
    {M, " DecPt", {"d", "d", "d", "d", "d.", ""}, 2155},
    {M, "SCALE", {"", "0", "0", "0", "0", "1"}, 2156},
    {M, "OFFSt", Zeros, 2157},
    {M, "TArE", Zeros, 1279},
    {M, "AL SEt", Zeros, 2180},
    {M, "SP1 d", Zeros, 2181},
    {M, "SP2 d", Zeros, 2182},
    {M, "An SEt", {"", "", "", "", "2", "0"}, 2188},
    {M, " An Lo", Zeros, 2166},
    {M, " An Hi", {"", "2", "0", "0", "0", "0"}, 2167},
    {M, " SEr 1", {"", "", "", "1", "5", "0"}, 2168},
    {M, " SEr 2", {"", "", "0", "0", "1", "1"}, 2169},
    {M, " SEr 3", {"", "0", "0", "0", "0", "1"}, 2183},
    {M, " SEr 4", {"", "", "", "0", "0", "0"}, 1280},
    {M, " Addr", {"", "", "", "0", "0", "1"}, 1281},
    {M, " Loc 1", Lock0, 2184},
    {M, " Loc 2", Lock0, 2185},
    {M, " Loc 3", Lock0, 2186},
    {M, " Loc 4", Lock0, 2187},
    {I, "", {"", "", "0", ".", "2", "V"}, 0},
    {S, "SETPT1", {"", "0", "1", "0", "0", "0"}, 2173},
    {S, "SETPT2", {"", "0", "2", "0", "0", "0"}, 2174},
};

TEST(MenuRows, defaultSetup) {
    ExpectRows(Rows(Image(), DefaultMeterRevision), DefaultRows);
    EXPECT_EQ(SigCondCaption(DeriveSetup(Image()).ScType), " DC Signal Conditioner");
}

// Scaling by reading coordinates on a load-cell meter (strain, 100 mV, so the
// input values have point code 3), display point code 3, a negative low
// reading, alarm 2 disabled, and meter address 26.
TEST(MenuRows, readingCoordinatesOnALoadCellMeter) {
    const SetupImage image = Image({{33, "08"},       // RdCoord; Coord (byte 53) stays 0
                                    {35, "03"},       // load cell
                                    {39, "03"},       // display point code 3
                                    {45, "1A"},       // address 26
                                    {55, "C2"},       // strain, range 2
                                    {57, "1D"},       // both alarms on gross, 32 readings
                                    {59, "99"},       // relay 2 de-energized, alarm 1 latching, states 1 and 2
                                    {85, "FFFB2E"}}); // LoRd -1234
    const std::array<std::string, 6> zero = {"", "0", "0", "0.", "0", "0"};
    const std::array<std::string, 6> twenty = {"", "2", "0", "0.", "0", "0"};
    ExpectRows(Rows(image, DefaultMeterRevision),
               {
                   {M, "Lo In", zero, 2158},
                   {M, "Hi In", twenty, 2160},
                   {M, "Lo rd", {"-", "0", "1", "2.", "3", "4"}, 2159},
                   {M, "Hi rd", twenty, 2161},
                   {M, " InPut", {"s", "t", "r", "A", "i", "n"}, 2151},
                   {M, " SEtuP", {"", "0", "0", "0", "1", "0"}, 1276},
                   {M, "ConFiG", {"", "", "1", "0", "0", ""}, 1277},
                   {M, "Count", {"", "", "", "", "0", "0"}, 1278},
                   {M, "FiLtEr", {"", "0", "0", "1", "1", "6"}, 2154},
                   {M, " DecPt", {"d", "d", "d.", "d", "d", ""}, 2155},
                   {M, "TArE", zero, 1279},
                   {M, "AL SEt", {"", "2", "1", "7", "3", "5"}, 2180},
                   {M, "SP1 d", zero, 2181},
                   {M, "SP2 d", zero, 2182},
                   {M, "An SEt", {"", "", "", "", "2", "0"}, 2188},
                   {M, " An Lo", zero, 2166},
                   {M, " An Hi", twenty, 2167},
                   {M, " SEr 1", {"", "", "", "1", "5", "0"}, 2168},
                   {M, " SEr 2", {"", "", "0", "0", "0", "A."}, 2169},
                   {M, " SEr 3", {"", "0", "0", "0", "0", "1"}, 2183},
                   {M, " SEr 4", {"", "", "", "0", "0", "0"}, 1280},
                   {M, " Addr", {"", "", "", "0", "0", "1"}, 1281},
                   {M, " Loc 1", Lock0, 2184},
                   {M, " Loc 2", Lock0, 2185},
                   {M, " Loc 3", Lock0, 2186},
                   {M, " Loc 4", Lock0, 2187},
                   {I, "", {"", "1", "0", "0", ".", "0"}, 0},
                   {S, "SETPT1", {"", "0", "1", "0.", "0", "0"}, 2173},
               });
    EXPECT_EQ(SigCondCaption(DeriveSetup(image).ScType), " Load Cell Signal Conditioner");
}

TEST(MenuRows, revisionFiveHasNoModbusRows) {
    std::vector<Want> want;
    for (const Want& row : DefaultRows)
        if (row.label != " SEr 4" && row.label != " Addr") want.push_back(row);
    ExpectRows(Rows(Image(), 5), want);
}

// Negative values and the threshold switch came with later revisions; older
// meters leave their positions dark.
TEST(MenuRows, configShowsWhatTheRevisionHas) {
    const SetupImage image = Image({{33, "17"}}); // NegVal, Drib, PkSource, DisThresh
    const struct {
        int revision;
        std::array<std::string, 6> cells;
    } cases[] = {
        {5, {"", "", "0", "1", "1", ""}},
        {10, {"", "", "0", "1", "1", ""}},
        {11, {"", "", "0", "1", "1", "1"}},
        {12, {"", "1", "0", "1", "1", "1"}},
    };
    for (const auto& c : cases) {
        const std::vector<MenuRow> rows = Rows(image, c.revision);
        ASSERT_GE(rows.size(), 3u);
        EXPECT_EQ(rows[2].label, "ConFiG");
        EXPECT_EQ(rows[2].cells, c.cells) << "revision " << c.revision;
    }
}

// Without relay, analog and comm boards their rows go, and the set-point grid with them.
TEST(MenuRows, withoutOptionBoards) {
    const std::set<std::string> boardRows = {"AL SEt", "SP1 d",  "SP2 d",  "An SEt", " An Lo", " An Hi",
                                             " SEr 1", " SEr 2", " SEr 3", " SEr 4", " Addr"};
    std::vector<Want> want;
    for (const Want& row : DefaultRows)
        if (row.grid != S && !boardRows.contains(row.label)) want.push_back(row);
    ASSERT_EQ(want.size(), 14U);
    ExpectRows(Rows(Image({{49, "00"}}), DefaultMeterRevision), want);
}

// Input coordinates take the place of scale and offset, low pair first; the
// dribble factor disabled hides the set-point differences; a set point
// keeps its own help topic when the other one is not shown.
TEST(MenuRows, inputCoordinatesDribbleAndTheSecondSetPointAlone) {
    const std::vector<MenuRow> rows = Rows(Image({{33, "04"}, {53, "10"}, {59, "03"}}), DefaultMeterRevision);
    std::vector<std::string> labels;
    for (const MenuRow& row : rows) labels.push_back(row.label);
    const std::vector<std::string> want = {" InPut", " SEtuP", "ConFiG", "Count",  "FiLtEr", " DecPt",
                                           "Lo In",  "Lo rd",  "Hi In",  "Hi rd",  "TArE",   "AL SEt",
                                           "An SEt", " An Lo", " An Hi", " SEr 1", " SEr 2", " SEr 3",
                                           " SEr 4", " Addr",  " Loc 1", " Loc 2", " Loc 3", " Loc 4",
                                           "",       "SETPT2"};
    EXPECT_EQ(labels, want);
    EXPECT_EQ(rows.back().topic, 2174);
    EXPECT_EQ(rows[6].cells, (std::array<std::string, 6>{".", "0", "0", "0", "0", "0"})); // LoIn, point code 6
    EXPECT_EQ(rows[1].cells, (std::array<std::string, 6>{"", "0", "0", "0", "1", "0"}));  // Coord itself
}

TEST(MenuRows, lockoutRowsFollowTheCheckBoxes) {
    // chkLock 0 (byte 43 bit 3), 7 (byte 43 bit 4), 8 (byte 41 bit 3), 15 (byte 41 bit 4)
    const std::vector<MenuRow> rows = Rows(Image({{41, "18"}, {43, "18"}}), DefaultMeterRevision);
    const auto row = [&rows](const std::string& label) {
        for (const MenuRow& r : rows)
            if (r.label == label) return r.cells;
        return std::array<std::string, 6>{};
    };
    EXPECT_EQ(row(" Loc 1"), (std::array<std::string, 6>{"", "", "1", "0", "0", "0"}));
    EXPECT_EQ(row(" Loc 2"), (std::array<std::string, 6>{"", "", "0", "0", "0", "1"}));
    EXPECT_EQ(row(" Loc 3"), (std::array<std::string, 6>{"", "", "1", "0", "0", "0"}));
    EXPECT_EQ(row(" Loc 4"), (std::array<std::string, 6>{"", "", "0", "0", "0", "1"}));
}

// A mode the view has no name for, and an image cut short, leave positions
// dark rather than failing.
TEST(MenuRows, unknownModeAndShortImageShowDarkPositions) {
    SetupImage image = Image({{35, "09"}, {55, "F0"}}); // no board, so no mode is corrected
    const std::vector<MenuRow> rows = Rows(image, DefaultMeterRevision);
    EXPECT_EQ(rows[0].cells, (std::array<std::string, 6>{}));
    for (const MenuRow& row : rows) {
        if (row.grid == MenuGrid::Input) {
            EXPECT_EQ(row.cells, (std::array<std::string, 6>{}));
        }
    }

    image.text.resize(40);
    const std::vector<MenuRow> shortRows = Rows(image, 0);
    ASSERT_FALSE(shortRows.empty());
    EXPECT_EQ(shortRows.back().grid, MenuGrid::Input);
    EXPECT_EQ(SigCondCaption(2), "");
}

TEST(MenuCells, digitCodes) {
    const struct {
        int code;
        const char* cell;
    } cases[] = {{BlankDigit, ""}, {65535, ""}, {0, "0"},   {9, "9"},   {10, "A"},  {11, "b"},  {12, "C"},
                 {13, "d"},        {14, "E"},   {15, "F"},  {16, "0."}, {26, "A."}, {31, "F."}, {32, ""}};
    for (const auto& c : cases) EXPECT_EQ(DigitCell(c.code), c.cell) << c.code;
}

TEST(MenuCells, valueTextsAndTheirPoint) {
    using Cells = std::array<std::string, 6>;
    const struct {
        const char* text;
        Cells cells;
    } cases[] = {
        {" .12345", {".", "1", "2", "3", "4", "5"}},     // point in the second character: after the sign
        {"-012.34", {"-", "0", "1", "2.", "3", "4"}},    // the fifth
        {"-1234.5", {"-", "1", "2", "3", "4.", "5"}},    // the sixth
        {" 12345.", {"", "1", "2", "3", "4", "5"}},      // the seventh: dropped
        {".ddddd ", {".", "d", "d", "d", "d", "d"}},     // the first: as it is
        {"strAin", {"s", "t", "r", "A", "i", "n"}},      // none
        {"1234567.8", {"1", "2", "3", "4", "5", "6"}},   // past the seventh: as it is, cut to six
        {"ab", {"a", "b", "", "", "", ""}},              // short
    };
    for (const auto& c : cases) EXPECT_EQ(TextCells(c.text), c.cells) << c.text;
}

TEST(MenuRowsText, jsonAndLinesForPeople) {
    MenuRow row;
    row.label = " SEr 2";
    row.cells = {"", "", "0", "0", "1", "A."};
    MenuRow input;
    input.grid = MenuGrid::Input;
    input.cells = {"", "", "0", ".", "2", "V"};
    EXPECT_EQ(MenuRowsJson({row, input}),
              R"([{"grid":"main","label":" SEr 2","cells":["","","0","0","1","A."]},)"
              R"({"grid":"input","label":"","cells":["","","0",".","2","V"]}])");
    EXPECT_EQ(MenuRowsJson({}), "[]");
    EXPECT_EQ(FormatMenuRow(row), "main   SEr 2 |    0 0 1 A.|");
    EXPECT_EQ(FormatMenuRow(input), "input        |    0  .2 V |");
}

} // namespace
} // namespace wm
