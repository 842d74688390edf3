// What the plot and the graph draw for given entries and readings: positions,
// clipping, running time across pauses and midnight, labels, bins, the
// blinking markers and the doubling vertical scale.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "readings/ChartDrawing.h"
#include "readings/GraphGeometry.h"
#include "readings/PlotGeometry.h"

namespace wm {
namespace {

// Ten units a character, twenty high.
TextMeasure FixedMeasure() {
    return {[](std::string_view t) { return 10.0 * static_cast<double>(t.size()); },
            [](std::string_view) { return 20.0; }};
}

std::vector<DrawText> Texts(const Drawing& d) {
    std::vector<DrawText> texts;
    for (const DrawOp& op : d)
        if (const auto* t = std::get_if<DrawText>(&op)) texts.push_back(*t);
    return texts;
}

std::vector<DrawBox> Boxes(const Drawing& d) {
    std::vector<DrawBox> boxes;
    for (const DrawOp& op : d)
        if (const auto* b = std::get_if<DrawBox>(&op)) boxes.push_back(*b);
    return boxes;
}

bool HasLine(const Drawing& d, const DrawLine& line) {
    return std::any_of(d.begin(), d.end(), [&](const DrawOp& op) {
        const auto* l = std::get_if<DrawLine>(&op);
        return l != nullptr && *l == line;
    });
}

TEST(ChartEntries, readTheTrimmedTextAsANumberWithTheZeroRules) {
    EXPECT_EQ(EntryValue("  12.5 "), 12.5);
    EXPECT_EQ(EntryValue("-1e2"), -100);
    EXPECT_EQ(EntryValue("abc"), 0);
    EXPECT_EQ(EntryValue(""), 0);
    EXPECT_EQ(EntryValue("1 000"), 1000) << "blanks inside are ignored";

    const PlotSettings plot = PlotSettings::FromEntries("abc", "0", "-30");
    EXPECT_EQ(plot.mid, 0);
    EXPECT_EQ(plot.small, 1);
    EXPECT_EQ(plot.totalSeconds, 30);
    EXPECT_EQ(PlotSettings::FromEntries("1", "x", "0").totalSeconds, 1);
    EXPECT_EQ(PlotSettings::FromEntries("1", "x", "0").small, 1);

    EXPECT_EQ(LabelDecimals(" 100.5 ", "2"), 1);
    EXPECT_EQ(LabelDecimals("100", "0.25"), 2);
    EXPECT_EQ(LabelDecimals("100", "2"), 0);
    EXPECT_EQ(LabelDecimals("1." + std::string(40, '1'), "2"), MaxLabelDecimals);

    for (const char* scale : {"0", "-4", "abc", "0.5"})
        EXPECT_EQ(GraphSettings::FromEntries("0", "1", scale).vertScale, 1) << scale;
    EXPECT_EQ(GraphSettings::FromEntries("0", "1", "4").vertScale, 4);
}

TEST(ChartLabels, followTheirPictures) {
    EXPECT_EQ(FormatPicture(140.5, "0.00"), "140.50");
    EXPECT_EQ(FormatPicture(140.5, "0.0"), "140.5");
    EXPECT_EQ(FormatPicture(100, "0."), "100");
    EXPECT_EQ(FormatPicture(0.4, "0."), "0");
    EXPECT_EQ(FormatPicture(-0.04, "0.0"), "0.0") << "no minus sign on a zero";
    EXPECT_EQ(FormatPicture(-2.25, "0.0"), "-2.3");
    EXPECT_EQ(FormatPicture(2.5, "######.######"), "2.5");
    EXPECT_EQ(FormatPicture(0.25, "######.######"), ".25");
    EXPECT_EQ(FormatPicture(10, "######.######"), "10");
    EXPECT_EQ(FormatPicture(0, "######.######"), "");
    EXPECT_EQ(FormatPicture(1.0 / 3, "######.######"), ".333333");
    EXPECT_EQ(FormatPicture(0, "#####0"), "0");
    EXPECT_EQ(FormatPicture(1234567, "#####0"), "1234567");
    EXPECT_EQ(FormatPicture(1e300 * 1e10, "0.0"), "inf");
}

// ---------------------------------------------------------------- plot

TEST(PlotGeometry, placesReadingsByValueAndTimeAndHoldsThemAtTheEdges) {
    PlotGeometry plot(PlotSettings::FromEntries("100", "2", "60"));
    const double t0 = 36'000;
    PlotPoint p = plot.Add(110, t0);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 50);
    EXPECT_EQ(p.line, (DrawLine{0, 50, 0, 50, 2, false})) << "the first point is a dot";

    p = plot.Add(150, t0 + 30);
    EXPECT_EQ(p.x, 500);
    EXPECT_EQ(p.y, 210);
    EXPECT_EQ(p.line, (DrawLine{0, 50, 500, 210, 2, false})) << "into the edge with the normal width";
    p = plot.Add(160, t0 + 31);
    EXPECT_EQ(p.line, (DrawLine{500, 210, 517, 210, 1, false})) << "along the edge: thin";
    p = plot.Add(40, t0 + 32);
    EXPECT_EQ(p.line, (DrawLine{517, 210, 533, -205, 2, false}));
    p = plot.Add(30, t0 + 33);
    EXPECT_EQ(p.line.width, 1);
    EXPECT_EQ(p.y, -205);
    p = plot.Add(140, t0 + 34);
    EXPECT_EQ(p.y, 200) << "200 is still on the axis";
    EXPECT_EQ(p.line.width, 2);
    EXPECT_FALSE(plot.Full());

    p = plot.Add(100, t0 + 60);
    EXPECT_EQ(p.x, 1000);
    EXPECT_FALSE(p.full);
    p = plot.Add(100, t0 + 60.1);
    EXPECT_EQ(p.x, 1002);
    EXPECT_TRUE(p.full) << "past the right edge; the point is still drawn";
    EXPECT_TRUE(plot.Full());
}

TEST(PlotGeometry, timeInAPauseDoesNotCount) {
    PlotGeometry plot(PlotSettings::FromEntries("0", "1", "60"));
    const double t0 = 50'000;
    plot.Pause(t0 - 5); // before the first point: nothing to stop
    plot.Continue(t0 - 1);
    plot.Add(0, t0);
    EXPECT_EQ(plot.Add(0, t0 + 10).x, 167);
    plot.Pause(t0 + 10);
    plot.Pause(t0 + 15); // a second Pause changes nothing
    plot.Continue(t0 + 20);
    plot.Continue(t0 + 25); // nor does a Continue while running
    EXPECT_EQ(plot.Add(0, t0 + 30).x, 333) << "20 s of running time, not 30";
}

TEST(PlotGeometry, runningTimeCrossesMidnightAndNeverGoesBack) {
    PlotGeometry plot(PlotSettings::FromEntries("0", "1", "60"));
    plot.Add(0, 86'390);
    plot.Observe(86'399.5);
    EXPECT_EQ(plot.Add(0, 20).x, 500) << "10 s before midnight and 20 after";
    // The wall clock set back two seconds: no time, rather than a day.
    plot.Observe(18);
    EXPECT_EQ(plot.Add(0, 21).x, 550);

    PlotClock clock;
    clock.Start(86'000);
    for (double t = 86'000; t < 3 * 86'400; t += 3'600) clock.Observe(std::fmod(t, 86'400));
    EXPECT_NEAR(clock.Elapsed(std::fmod(3 * 86'400 - 400, 86'400)), 2 * 86'400, 1e-6) << "two midnights";
}

TEST(PlotGeometry, frameHasTheAxesGridAndCentredLabels) {
    const PlotGeometry plot(PlotSettings::FromEntries("100.5", "2", "60"));
    const std::vector<std::string> values = plot.ValueLabels();
    ASSERT_EQ(values.size(), 9u);
    EXPECT_EQ(values.front(), "60.5");
    EXPECT_EQ(values.back(), "140.5");
    EXPECT_EQ(values[4], "100.5");
    EXPECT_EQ(plot.TimeLabels(), (std::vector<std::string>{"0", "6", "12", "18", "24", "30", "36", "42", "48", "54",
                                                           "60"}));
    EXPECT_EQ(PlotGeometry(PlotSettings::FromEntries("0", "1", "5")).TimeLabels()[1], ".5");
    EXPECT_EQ(PlotGeometry(PlotSettings::FromEntries("100", "2", "1")).ValueLabels().back(), "140");

    const Drawing d = plot.Frame(FixedMeasure());
    ASSERT_FALSE(d.empty());
    EXPECT_TRUE(std::holds_alternative<DrawClear>(d.front()));
    EXPECT_TRUE(HasLine(d, {0, 210, 0, -210, 2, false}));
    EXPECT_TRUE(HasLine(d, {0, -210, 1000, -210, 2, false}));
    EXPECT_TRUE(HasLine(d, {-30, -200, 0, -200, 2, false}));
    EXPECT_TRUE(HasLine(d, {-15, 70, 0, 70, 2, false}));
    EXPECT_TRUE(HasLine(d, {950, -210, 950, -215, 2, false}));
    EXPECT_TRUE(HasLine(d, {0, -150, 1000, -150, 1, true}));
    EXPECT_TRUE(HasLine(d, {700, -210, 700, 210, 1, true}));
    const std::vector<DrawText> texts = Texts(d);
    ASSERT_EQ(texts.size(), 20u);
    EXPECT_EQ(texts[8], (DrawText{-35 - 50, 200 + 10, "140.5"})) << "right-aligned, centred on its tick";
    EXPECT_EQ(texts[9], (DrawText{-5, -230 + 10, "0"}));
    EXPECT_EQ(texts[19], (DrawText{1020 - 20, -220, "60"})) << "the last time label ends at the edge";
}

// ---------------------------------------------------------------- graph

TEST(GraphGeometry, binsAreOneDivisionWideAroundTheMidScaleValue) {
    const GraphGeometry graph(GraphSettings::FromEntries("0", "1", "10"), FixedMeasure());
    EXPECT_EQ(graph.Bin(0), 15);
    EXPECT_EQ(graph.Bin(0.49), 15);
    EXPECT_EQ(graph.Bin(-0.5), 15);
    EXPECT_EQ(graph.Bin(-15), 0);
    EXPECT_EQ(graph.Bin(15.4), 30);
    EXPECT_EQ(graph.Bin(15.6), 31);
    EXPECT_EQ(graph.Bin(16), 31);
    EXPECT_EQ(graph.Bin(-15.6), -1);
    EXPECT_EQ(graph.Bin(-1e300), -1);
    EXPECT_EQ(graph.Bin(1e300), 31);
    const GraphGeometry scaled(GraphSettings::FromEntries("100", "0.5", "10"), FixedMeasure());
    EXPECT_EQ(scaled.Bin(101), 17);
    EXPECT_EQ(scaled.BinLabels(), (std::vector<std::string>{"92.5", "95.0", "97.5", "100.0", "102.5", "105.0",
                                                            "107.5"}));
}

TEST(GraphGeometry, aReadingBeyondTheBinsBlinksItsMarkerUntilOneFallsInRange) {
    GraphGeometry graph(GraphSettings::FromEntries("0", "1", "10"), FixedMeasure());
    GraphStep step = graph.Add(16);
    EXPECT_EQ(step.bin, 31);
    EXPECT_EQ(Texts(step.drawing), (std::vector<DrawText>{{950, -5, "->"}}));
    EXPECT_TRUE(graph.RightMarkerShown());

    step = graph.Add(20);
    ASSERT_EQ(Boxes(step.drawing).size(), 2u);
    EXPECT_FALSE(Boxes(step.drawing)[0].black) << "erased";
    EXPECT_EQ(Boxes(step.drawing)[0].x1, 950);
    // The end label it may have touched, on white again: "15" centred under bin 30.
    EXPECT_EQ(Boxes(step.drawing)[1], (DrawBox{920, -50, 940, -70, false}));
    EXPECT_EQ(Texts(step.drawing), (std::vector<DrawText>{{920, -50, "15"}}));
    EXPECT_FALSE(graph.RightMarkerShown());

    graph.Add(16);
    EXPECT_TRUE(graph.RightMarkerShown());
    graph.Add(-16);
    EXPECT_TRUE(graph.LeftMarkerShown());
    EXPECT_EQ(graph.Count(0) + graph.Count(30), 0u) << "readings beyond are not counted";

    step = graph.Add(0);
    EXPECT_EQ(step.bin, 15);
    EXPECT_FALSE(graph.LeftMarkerShown());
    EXPECT_FALSE(graph.RightMarkerShown());
    const std::vector<DrawBox> boxes = Boxes(step.drawing);
    ASSERT_EQ(boxes.size(), 5u) << "two markers erased with their labels, one slice";
    EXPECT_EQ(boxes[0].x1, -10);
    EXPECT_EQ(boxes[2].x1, 950);
    EXPECT_EQ(boxes[4], (DrawBox{470, 0, 490, 100, true}));
    EXPECT_EQ(Texts(graph.Add(16).drawing).at(0).text, "->") << "shown on the next reading beyond";
}

TEST(GraphGeometry, theScaleDoublesWhenABarWouldPassTheTopAndEverythingIsDrawnAgain) {
    GraphGeometry graph(GraphSettings::FromEntries("0", "1", "4"), FixedMeasure());
    const std::vector<CountLabel> four = graph.CountLabels();
    EXPECT_EQ(four, (std::vector<CountLabel>{{0, "0"}, {200, "1"}, {400, "2"}, {600, "3"}, {800, "4"}, {1000, "5"}}));
    graph.Add(-15);
    for (int n = 1; n <= 4; ++n) {
        const GraphStep step = graph.Add(0.2);
        EXPECT_FALSE(step.rescaled);
        EXPECT_EQ(Boxes(step.drawing), (std::vector<DrawBox>{{470, 250.0 * (n - 1), 490, 250.0 * n, true}}));
    }
    const GraphStep fifth = graph.Add(0);
    EXPECT_TRUE(fifth.rescaled);
    EXPECT_EQ(graph.VertScale(), 8);
    EXPECT_EQ(graph.Count(15), 5u);
    ASSERT_FALSE(fifth.drawing.empty());
    EXPECT_TRUE(std::holds_alternative<DrawClear>(fifth.drawing.front()));
    EXPECT_EQ(Boxes(fifth.drawing), (std::vector<DrawBox>{{20, 0, 40, 125, true}, {470, 0, 490, 625, true}}))
        << "every bar again at half height";
    EXPECT_EQ(graph.CountLabels(), (std::vector<CountLabel>{
                                       {0, "0"}, {200, "2"}, {400, "4"}, {600, "6"}, {800, "8"}, {1000, "10"}}));
    std::vector<std::string> texts = TextsOf(fifth.drawing);
    EXPECT_EQ(std::vector<std::string>(texts.end() - 6, texts.end()),
              (std::vector<std::string>{"0", "2", "4", "6", "8", "10"}));
    EXPECT_TRUE(HasLine(fifth.drawing, {0, 600, 1000, 600, 1, true}));
    EXPECT_TRUE(HasLine(fifth.drawing, {-15, 600, 0, 600, 2, false}));

    // A scale of ten keeps its labels on the fifths.
    const GraphGeometry ten(GraphSettings::FromEntries("0", "1", "10"), FixedMeasure());
    EXPECT_EQ(ten.CountLabels().back(), (CountLabel{1000, "10"}));
    EXPECT_EQ(ten.CountLabels().size(), 6u);
    // A fractional scale doubles too; below 2.5 the labels still count up.
    GraphGeometry small(GraphSettings::FromEntries("0", "1", "1.5"), FixedMeasure());
    EXPECT_FALSE(small.Add(0).rescaled);
    EXPECT_TRUE(small.Add(0).rescaled);
    EXPECT_EQ(small.VertScale(), 3);
    EXPECT_EQ(small.CountLabels().back(), (CountLabel{1000, "5"}));
    EXPECT_EQ(GraphGeometry(GraphSettings::FromEntries("0", "1", "2"), FixedMeasure()).CountLabels()[1],
              (CountLabel{200, "1"}));
}

} // namespace
} // namespace wm
