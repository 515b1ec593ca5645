// A scripted person (test builds): acts on the real widgets of whatever
// window is up, one script step at a time, while the windows' event loop
// runs. Each action is queued to the event loop, so a click that opens a
// further window never runs the person inside itself.
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <vector>

#include "widgets/person_script.h"

class QWidget;

namespace qorv::widgets {

class ScriptedPerson final : public QObject {
    Q_OBJECT

  public:
    explicit ScriptedPerson(std::vector<PersonStep> steps);

    // A window is up: go on with the script.
    void Wake();
    bool finished() const { return next_ >= steps_.size(); }
    // Why the person gave up (empty while all went well).
    const std::string& failure() const { return failure_; }

    // How long a step waits for its widget.
    static constexpr std::chrono::milliseconds kStepTimeout{10000};

  private:
    enum class Outcome { Done, NotYet, Failed };
    void Tick();
    Outcome Act(const PersonStep& step);
    void Fail(const std::string& why);

    std::vector<PersonStep> steps_;
    std::size_t next_ = 0;
    std::chrono::steady_clock::time_point stepStart_{};
    bool stepStarted_ = false;
    std::string failure_;
    QTimer timer_;
};

// The visible widget named `name`: in the modal window in front first, then
// in any other visible window.
QWidget* FindShownWidget(const QString& name);

}  // namespace qorv::widgets
