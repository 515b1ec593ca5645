// The script of the scripted person (test builds): one action a line, acted
// on the real widgets the way a person acts. Widgets are named by their
// objectName, which is the control identifier ("1" OK, "2" Cancel, "1042").
//   press <id>              click the button <id> once it is shown and enabled
//   click <id>              a mouse click in the middle of the widget <id> (a
//                           secure field, which has no button to press)
//   key <character>         press the keypad key that carries <character>
//   type <id> <text>        type <text> (the rest of the line) into the edit <id>
//   choose <id> <index>     choose item <index> (from 0) of the list <id>
//   choose-text <id> <text> choose the item of the list <id> whose text is <text>
//   wait <ms>               do nothing for <ms> milliseconds
//   wait-enabled <id>       wait until <id> is shown and enabled
//   close                   close the window in front, as its close button does
// Blank lines and lines starting with # are skipped. A step that finds no
// widget waits for it, up to 10 seconds.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qorv::widgets {

struct PersonStep {
    enum class Action { Press, Click, Key, Type, Choose, ChooseText, Wait, WaitEnabled, Close };
    Action action = Action::Wait;
    std::string target;  // objectName, or the key's character
    std::string text;    // typed or chosen text
    int number = 0;      // index or milliseconds
    int line = 0;        // in the script, for messages
};

// False with `error` ("line 3: ...") when a line is not an action above.
bool ParsePersonScript(std::string_view script, std::vector<PersonStep>& steps, std::string& error);

// The step as the script wrote it, for messages.
std::string DescribeStep(const PersonStep& step);

}  // namespace qorv::widgets
