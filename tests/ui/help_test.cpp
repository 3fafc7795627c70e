// The help file: every topic has German text; topic numbers of dialogs.
#include <gtest/gtest.h>

#include <filesystem>

#include "testkit/files.h"
#include "testkit/temp_dir.h"
#include "ui/help_system.h"

namespace pellandrix::ui {
namespace {

std::vector<int> AllTopics() {
    std::vector<int> topics = {0, 10000, 20000, 30000};
    for (int t = 1001; t <= 1010; ++t)
        topics.push_back(t);
    for (int t = 2001; t <= 2006; ++t)
        topics.push_back(t);
    for (int t = 3001; t <= 3010; ++t)
        topics.push_back(t);
    return topics;
}

TEST(Help, DialogTopics) {
    EXPECT_EQ(DialogHelpTopic(102), 10000);
    EXPECT_EQ(DialogHelpTopic(104), 20000);
    EXPECT_EQ(DialogHelpTopic(105), 30000);
    EXPECT_EQ(DialogHelpTopic(103), 0);
    EXPECT_EQ(DialogHelpTopic(136), 0);
}

TEST(Help, TheShippedFileIsFoundAndEveryTopicHasGermanText) {
    testkit::TempDir empty;
    const std::string path = FindHelpFile(empty.Path().string());
    ASSERT_FALSE(path.empty());
    CHelpFile help;
    ASSERT_TRUE(help.Load(path));
    for (int topic : AllTopics()) {
        const std::string text = help.TopicText(topic);
        EXPECT_GT(text.size(), 40u) << "topic " << topic << ": " << text;
        // German: articles and conjunctions a text of a few sentences has.
        const bool german =
            text.find(" die ") != std::string::npos || text.find(" der ") != std::string::npos ||
            text.find(" das ") != std::string::npos || text.find(" und ") != std::string::npos ||
            text.find(" wird ") != std::string::npos;
        EXPECT_TRUE(german) << "topic " << topic << ": " << text;
        EXPECT_EQ(text.find('<'), std::string::npos) << topic;
    }
    EXPECT_EQ(help.TopicText(4711), "");
    EXPECT_NE(help.TopicText(1010).find("Dateien erstellen"), std::string::npos);
    EXPECT_NE(help.TopicText(3002).find("Datei erstellen"), std::string::npos);
}

TEST(Help, StartDirectoryComesFirst) {
    testkit::TempDir dir;
    testkit::WriteBytes(dir / kHelpFileName,
                        "<section id=\"topic-7\"><a name=\"topic-7\"></a><p>Sieben &amp; "
                        "acht</p>\n</section><section id=\"topic-8\">Acht</section>");
    const std::string path = FindHelpFile(dir.Path().string());
    EXPECT_EQ(path, dir / kHelpFileName);
    CHelpFile help;
    ASSERT_TRUE(help.Load(path));
    EXPECT_EQ(help.TopicText(7), "Sieben & acht");
    EXPECT_EQ(help.TopicText(8), "Acht");
    EXPECT_EQ(help.Topics(), (std::vector<int>{7, 8}));
    EXPECT_FALSE(help.Load(dir / "fehlt.html"));
}

}  // namespace
}  // namespace pellandrix::ui
