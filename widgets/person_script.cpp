#include "widgets/person_script.h"

#include <charconv>

namespace qorv::widgets {
namespace {

using Action = PersonStep::Action;

constexpr struct {
    const char* word;
    Action action;
} kWords[] = {
    {"press", Action::Press},
    {"key", Action::Key},
    {"type", Action::Type},
    {"choose", Action::Choose},
    {"choose-text", Action::ChooseText},
    {"wait", Action::Wait},
    {"wait-enabled", Action::WaitEnabled},
    {"close", Action::Close},
    {"click", Action::Click},
};

// The next blank-separated word of `rest`, which keeps what follows it
// (without the one blank that ends the word).
std::string_view NextWord(std::string_view& rest) {
    const auto start = rest.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        rest = {};
        return {};
    }
    rest.remove_prefix(start);
    const auto end = rest.find_first_of(" \t");
    const std::string_view word = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    return word;
}

bool Number(std::string_view text, int& out) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && out >= 0;
}

}  // namespace

bool ParsePersonScript(std::string_view script, std::vector<PersonStep>& steps,
                       std::string& error) {
    steps.clear();
    int lineNumber = 0;
    while (!script.empty()) {
        const auto newline = script.find('\n');
        std::string_view line = script.substr(0, newline);
        script =
            newline == std::string_view::npos ? std::string_view() : script.substr(newline + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        std::string_view rest = line;
        const std::string_view word = NextWord(rest);
        if (word.empty() || word.front() == '#') continue;

        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return false;
        };
        PersonStep step;
        step.line = lineNumber;
        bool known = false;
        for (const auto& entry : kWords) {
            if (word == entry.word) {
                step.action = entry.action;
                known = true;
            }
        }
        if (!known) return fail("unknown action \"" + std::string(word) + "\"");

        switch (step.action) {
            case Action::Press:
            case Action::Click:
            case Action::WaitEnabled:
            case Action::Key:
                step.target = NextWord(rest);
                if (step.target.empty()) return fail(std::string(word) + " needs a widget or key");
                if (!NextWord(rest).empty()) return fail("too many words");
                break;
            case Action::Type:
            case Action::ChooseText:
                step.target = NextWord(rest);
                step.text = rest;  // the rest of the line, blanks and all
                if (step.target.empty()) return fail(std::string(word) + " needs a widget");
                break;
            case Action::Choose:
                step.target = NextWord(rest);
                if (step.target.empty() || !Number(NextWord(rest), step.number)) {
                    return fail("choose needs a widget and an item number");
                }
                break;
            case Action::Wait:
                if (!Number(NextWord(rest), step.number)) return fail("wait needs milliseconds");
                break;
            case Action::Close:
                if (!NextWord(rest).empty()) return fail("close takes nothing");
                break;
        }
        steps.push_back(std::move(step));
    }
    return true;
}

std::string DescribeStep(const PersonStep& step) {
    std::string out;
    for (const auto& entry : kWords) {
        if (entry.action == step.action) out = entry.word;
    }
    if (!step.target.empty()) out += " " + step.target;
    if (step.action == Action::Choose || step.action == Action::Wait) {
        out += " " + std::to_string(step.number);
    }
    if (!step.text.empty()) out += " " + step.text;
    return out;
}

}  // namespace qorv::widgets
