#include "widgets/dialog_view_base.h"

namespace qorv::widgets {

QString ControlName(int controlId) {
    return QString::number(controlId);
}

DialogViewBase::DialogViewBase(std::chrono::milliseconds tickPeriod, QWidget* parent)
    : QDialog(parent) {
    tickTimer_.setInterval(tickPeriod);
    connect(&tickTimer_, &QTimer::timeout, this, &DialogViewBase::tick);
}

void DialogViewBase::tick() {
    if (ticking_) return;
    ticking_ = true;
    tickModel();
    ticking_ = false;
    showModel();
}

void DialogViewBase::showModel() {
    refreshView();
    if (!modelCounting()) stopTicking();
    finishIfEnded();
}

bool DialogViewBase::finishIfEnded() {
    const std::optional<int> outcome = modelOutcome();
    if (outcome) finish(*outcome);
    return outcome.has_value();
}

void DialogViewBase::finish(int outcome) {
    stopTicking();
    if (isVisible()) {
        done(outcome);
    } else {
        setResult(outcome);
    }
}

QWidget* DialogViewBase::findControl(int controlId) const {
    return findChild<QWidget*>(ControlName(controlId));
}

}  // namespace qorv::widgets
