#include "help/HelpBuild.h"

#include <gtest/gtest.h>

#include "help/HelpTestFolder.h"
#include "help/HelpFiles.h"

namespace wm {
namespace {

using test::HelpTestFolder;

std::string OnlyText(std::string_view source) {
    const HelpParseResult parsed = ParseHelpSource(source, 13, "13.txt");
    EXPECT_TRUE(parsed.Ok()) << parsed.Error;
    if (!parsed.Ok() || parsed.File.Topics.size() != 1) return "<no single topic>";
    return parsed.File.Topics.front().Text;
}

struct TextRow {
    const char* source;
    const char* text;
};

TEST(ParseHelpSource, paragraphsJoinListItemsBreakAndBlankLinesSeparate) {
    const TextRow rows[] = {
        {"@@ 1301\nBaud Rate$ The speed\nof the line.\n", "Baud Rate$ The speed of the line."},
        {"@@ 1301\nFirst.\n\n\nSecond.\n", "First.\r\n\r\nSecond."},
        {"@@ 1301\nChoices:\n- one\n  more of one\n- two\n", "Choices:\r\n- one more of one\r\n- two"},
        {"@@ 1301\nTitle$\n\n- item\n", "Title$\r\n\r\n- item"},
        {"@@ 1301\n  lead and trail   \n\n\n", "lead and trail"},
        {"@@ 1301\r\nWindows\r\nline ends\r\n", "Windows line ends"},
        {"# note\n\n@@ 1301\nkept\n# not shown\ntoo\n", "kept too"},
        {"@@ 1301 fixed\n\n  0 nul\n 32 sp\n\n 36 $ # @@\n\n", "  0 nul\r\n 32 sp\r\n\r\n 36 $ # @@"},
    };
    for (const TextRow& row : rows) {
        SCOPED_TRACE(row.source);
        EXPECT_EQ(OnlyText(row.source), row.text);
    }
}

TEST(ParseHelpSource, topicsComeOutInNumberOrderWithTheirHeaderLines) {
    const HelpParseResult parsed = ParseHelpSource("@@ 1371\nB\n@@ 1302 fixed\nA\n", 13, "13.txt");
    ASSERT_TRUE(parsed.Ok()) << parsed.Error;
    ASSERT_EQ(parsed.File.Topics.size(), 2U);
    EXPECT_EQ(parsed.File.Topics[0].Topic, 1302);
    EXPECT_EQ(parsed.File.Topics[0].Line, 3);
    EXPECT_TRUE(parsed.File.Topics[0].Fixed);
    EXPECT_EQ(parsed.File.Topics[1].Topic, 1371);
    EXPECT_FALSE(parsed.File.Topics[1].Fixed);
}

struct FaultRow {
    std::string source;
    const char* message; // expected to appear in the error, line included
};

TEST(ParseHelpSource, malformedSourcesNameTheLineAndTheFault) {
    const FaultRow rows[] = {
        {"stray text\n@@ 1301\nx\n", "13.txt line 1: text before the first"},
        {"@@\nx\n", "line 1: expected \"@@ <topic number>\""},
        {"@@ 13a1\nx\n", "line 1: expected"},
        {"@@ 13010\nx\n", "line 1: expected"},
        {"@@ 1301 bold\nx\n", "line 1: after the topic number only the word \"fixed\""},
        {"@@ 1301\nx\n@@ 1236\ny\n", "line 3: topic 1236 belongs to help file 12, not to file 13"},
        {"@@ 1300\nx\n", "line 1: topic 1300 ends in 00"},
        {"@@ 1301\nx\n@@ 1301\ny\n", "line 3: topic 1301 appears twice"},
        {"@@ 1301\n\n# only a comment\n@@ 1302\ny\n", "line 1: topic 1301 has no text"},
        {"@@ 1301\nx\n@@ 1302\n", "line 3: topic 1302 has no text"},
        {"@@ 1301\nx\n\tindented\n", "line 3: tab character"},
        {"@@ 1301\nna\xC3\xAFve\n", "line 2: character code 195 is not plain ASCII"},
        {"# nothing here\n", "no topics in this file"},
        {"@@ 1301\n" + std::string(70000, 'a') + "\n", "line 1: topic 1301 is longer than 65535"},
    };
    for (const FaultRow& row : rows) {
        SCOPED_TRACE(row.message);
        const HelpParseResult parsed = ParseHelpSource(row.source, 13, "13.txt");
        EXPECT_FALSE(parsed.Ok());
        EXPECT_NE(parsed.Error.find(row.message), std::string::npos) << parsed.Error;
    }
}

TEST(HelpSourceFileNumber, sourcesAreNamedByTheirFileNumber) {
    EXPECT_EQ(HelpSourceFileNumber("help/topics/13.txt"), 13);
    EXPECT_EQ(HelpSourceFileNumber("5.txt"), 5);
    EXPECT_EQ(HelpSourceFileNumber("05.txt"), -1);
    EXPECT_EQ(HelpSourceFileNumber("0.txt"), -1);
    EXPECT_EQ(HelpSourceFileNumber("100.txt"), -1);
    EXPECT_EQ(HelpSourceFileNumber("13.md"), -1);
    EXPECT_EQ(HelpSourceFileNumber("notes.txt"), -1);
}

TEST(BuildHelpFiles, writesOnePairPerSourceAndEveryTopicReadsBack) {
    HelpTestFolder sources;
    HelpTestFolder out;
    sources.Write("5.txt", "@@ 501\nFirst$ one\n@@ 599\nLast$ two\n");
    sources.Write("13.txt", "@@ 1371\nJumpers$\n\nSet them.\n");
    sources.Write("README.md", "not a source");

    const HelpBuildResult result = BuildHelpFiles(sources.Path(), out.Path());
    ASSERT_TRUE(result.Ok()) << result.Error;
    EXPECT_EQ(result.Written,
              (std::vector<std::string>{"Help 5.S10", "Help 5.R10", "Help13.S10", "Help13.R10"}));
    EXPECT_EQ(std::filesystem::file_size(out.Path() / "Help 5.R10"), 99U * HelpRecordSize);
    EXPECT_EQ(LoadHelpTopic(out.Path(), 501).Text, "First$ one");
    EXPECT_EQ(LoadHelpTopic(out.Path(), 599).Text, "Last$ two");
    EXPECT_EQ(LoadHelpTopic(out.Path(), 1371).Text, "Jumpers$\r\n\r\nSet them.");
    EXPECT_EQ(LoadHelpTopic(out.Path(), 550).Status, HelpStatus::EmptyRecord);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.Path()), {}), 4); // no temporary left
}

TEST(BuildHelpFiles, aBadSourceWritesNothing) {
    const std::pair<const char*, const char*> rows[] = {
        {"notes.txt", "named by its file number"},
        {"12.txt", "12.txt line 1: topic 1301 belongs to help file 13, not to file 12"},
    };
    for (const auto& [name, message] : rows) {
        SCOPED_TRACE(name);
        HelpTestFolder sources;
        HelpTestFolder out;
        sources.Write("13.txt", "@@ 1301\nGood$ text\n");
        sources.Write(name, "@@ 1301\nx\n");
        const HelpBuildResult result = BuildHelpFiles(sources.Path(), out.Path());
        EXPECT_NE(result.Error.find(message), std::string::npos) << result.Error;
        EXPECT_TRUE(std::filesystem::is_empty(out.Path()));
    }
}

TEST(BuildHelpFiles, anEmptyOrMissingSourceFolderIsAnError) {
    HelpTestFolder sources;
    HelpTestFolder out;
    EXPECT_NE(BuildHelpFiles(sources.Path(), out.Path()).Error.find("no help sources"), std::string::npos);
    EXPECT_NE(BuildHelpFiles(sources.Path() / "absent", out.Path()).Error.find("cannot read the folder"),
              std::string::npos);
}

} // namespace
} // namespace wm
