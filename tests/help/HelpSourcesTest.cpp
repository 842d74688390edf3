// The delivered help texts: every topic the windows use has one, and every
// one survives the build.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "help/HelpTestFolder.h"
#include "help/HelpBuild.h"
#include "help/HelpFiles.h"

namespace wm {
namespace {

const std::filesystem::path Sources = std::filesystem::path(WM_SOURCE_DIR) / "help" / "topics";

std::set<int> Range(int first, int last) {
    std::set<int> topics;
    for (int t = first; t <= last; ++t) topics.insert(t);
    return topics;
}

// The topic numbers the windows set, by window.
std::map<std::string, std::set<int>> TopicsInUse() {
    std::map<std::string, std::set<int>> use;
    use["main window"] = {3113, 3118, 3119, 3120, 3121, 3122, 3123};
    use["setup help window"] = {3101};
    // Page 1: 1305 + ScType (1 DC, 3 load cell), 1309 + InputMode (2, 3, 6, 7, 8).
    use["setup page 1"] = {1102, 1103, 1104, 1274, 1275, 1302, 1306, 1308, 1311, 1312, 1315,
                           1316, 1317, 1320, 1322, 1323, 1324, 1325, 1326, 1327, 1328, 1377};
    use["setup page 2"] = {1204, 1206, 1207, 1282, 1329, 1330, 1332,
                           1333, 1334, 1367, 1368, 1370, 1378, 1379};
    use["setup page 3"] = {1138, 1221, 1255, 1256, 1257, 1336, 1337, 1338, 1339, 1340, 1341,
                           1342, 1343, 1344, 1361, 1382, 1385, 1386, 1387, 1388, 2166, 2167};
    use["setup page 3"].merge(Range(1258, 1273)); // the 16 lockouts
    // Menu view: a row's help number n shows n + 2100 below 101, else n + 1100;
    // the set-point grid shows 2172 + row (0 the header).
    for (const int n : {51, 54, 55, 56, 57, 58, 59, 60, 61,  66,  67,  68,  69,  80,
                        81, 82, 83, 84, 85, 86, 87, 88, 176, 177, 178, 179, 180, 181})
        use["menu view"].insert(n < 101 ? n + 2100 : n + 1100);
    use["menu view"].merge(Range(2172, 2174));
    use["jumper windows"] = {1371, 1374, 1375, 1383, 1384, 1394};
    return use;
}

std::map<int, HelpTopicSource> DeliveredTopics() {
    const HelpFolderResult sources = ReadHelpSources(Sources);
    EXPECT_TRUE(sources.Ok()) << sources.Error;
    std::map<int, HelpTopicSource> topics;
    for (const HelpSourceFile& file : sources.Files)
        for (const HelpTopicSource& topic : file.Topics) topics[topic.Topic] = topic;
    return topics;
}

TEST(DeliveredHelp, everyTopicInUseHasAText) {
    const std::map<int, HelpTopicSource> topics = DeliveredTopics();
    for (const auto& [window, numbers] : TopicsInUse())
        for (const int topic : numbers) EXPECT_TRUE(topics.contains(topic)) << window << ": topic " << topic;
}

TEST(DeliveredHelp, everyTopicReadsBackFromTheBuiltFiles) {
    test::HelpTestFolder out;
    const HelpBuildResult built = BuildHelpFiles(Sources, out.Path());
    ASSERT_TRUE(built.Ok()) << built.Error;
    for (const auto& [number, topic] : DeliveredTopics()) {
        const HelpTopicText loaded = LoadHelpTopic(out.Path(), number);
        EXPECT_TRUE(loaded.Found()) << number << ": " << loaded.Text;
        EXPECT_EQ(loaded.Text, topic.Text) << number;
    }
}

TEST(DeliveredHelp, ordinaryTopicsOpenWithABoldTitleOnTheirFirstLine) {
    for (const auto& [number, topic] : DeliveredTopics()) {
        if (topic.Fixed) continue;
        const std::size_t dollar = topic.Text.find('$');
        EXPECT_TRUE(dollar != std::string::npos && dollar > 0 && dollar < topic.Text.find("\r\n"))
            << "topic " << number << " should start with \"Title$\"";
    }
}

TEST(DeliveredHelp, jumperTopicsPutTheTitleOnALineOfItsOwn) {
    const std::map<int, HelpTopicSource> topics = DeliveredTopics();
    const std::set<int> jumperTopics = TopicsInUse().at("jumper windows");
    for (const int number : jumperTopics) {
        const std::string& text = topics.at(number).Text;
        EXPECT_EQ(text.find('$'), text.find("$\r\n")) << number;
        EXPECT_EQ(JumperHelpText(text).find('$'), std::string::npos) << number;
    }
}

TEST(DeliveredHelp, characterTableListsEveryCodeWithItsName) {
    const HelpTopicSource table = DeliveredTopics().at(CharacterTableTopic);
    EXPECT_TRUE(table.Fixed);
    for (const char* entry :
         {"  0  00 nul", " 13  0D cr ", " 32  20 sp ", " 36  24 $", " 65  41 A", "127  7F del"})
        EXPECT_NE(table.Text.find(entry), std::string::npos) << entry;
}

} // namespace
} // namespace wm
