#include "widgets/person_script.h"

#include <gtest/gtest.h>

namespace qorv::widgets {
namespace {

using Action = PersonStep::Action;

TEST(PersonScript, ReadsEveryActionSkippingCommentsAndBlankLines) {
    std::vector<PersonStep> steps;
    std::string error;
    ASSERT_TRUE(
        ParsePersonScript("# a transfer\r\n"
                          "\n"
                          "  press 1\n"
                          "key 7\n"
                          "type 1001 00581000 1234  \n"
                          "choose 1002 3\n"
                          "choose-text 1002 台灣 銀行\n"
                          "wait 250\n"
                          "wait-enabled 1\r\n"
                          "close\n"
                          "click 1019",
                          steps, error))
        << error;
    ASSERT_EQ(steps.size(), 9u);
    EXPECT_EQ(steps[0].action, Action::Press);
    EXPECT_EQ(steps[0].target, "1");
    EXPECT_EQ(steps[0].line, 3);
    EXPECT_EQ(steps[1].action, Action::Key);
    EXPECT_EQ(steps[1].target, "7");
    // The typed text is the rest of the line, inner and trailing blanks kept.
    EXPECT_EQ(steps[2].text, "00581000 1234  ");
    EXPECT_EQ(steps[3].number, 3);
    EXPECT_EQ(steps[4].text, "台灣 銀行");
    EXPECT_EQ(steps[5].number, 250);
    EXPECT_EQ(steps[6].target, "1");  // the CR of a CRLF line is no part of the name
    EXPECT_EQ(steps[7].action, Action::Close);
    EXPECT_EQ(steps[8].action, Action::Click);
    EXPECT_EQ(DescribeStep(steps[8]), "click 1019");
    EXPECT_EQ(DescribeStep(steps[3]), "choose 1002 3");
}

TEST(PersonScript, RefusesLinesThatAreNoAction) {
    const struct {
        const char* script;
        const char* error;
    } cases[] = {
        {"press 1\ntap 1", "line 2: unknown action \"tap\""},
        {"click", "line 1: click needs a widget or key"},
        {"click 1019 1", "line 1: too many words"},
        {"press", "line 1: press needs a widget or key"},
        {"press 1 2", "line 1: too many words"},
        {"key", "line 1: key needs a widget or key"},
        {"wait", "line 1: wait needs milliseconds"},
        {"wait -5", "line 1: wait needs milliseconds"},
        {"wait 10ms", "line 1: wait needs milliseconds"},
        {"choose 1002", "line 1: choose needs a widget and an item number"},
        {"choose 1002 first", "line 1: choose needs a widget and an item number"},
        {"type", "line 1: type needs a widget"},
        {"close 1", "line 1: close takes nothing"},
    };
    for (const auto& c : cases) {
        std::vector<PersonStep> steps;
        std::string error;
        EXPECT_FALSE(ParsePersonScript(c.script, steps, error)) << c.script;
        EXPECT_EQ(error, c.error) << c.script;
    }
}

}  // namespace
}  // namespace qorv::widgets
