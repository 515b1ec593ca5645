#include "widgets/scripted_person.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <cstdio>

namespace qorv::widgets {
namespace {

using Action = PersonStep::Action;

QString Q(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool Usable(const QWidget* widget) {
    return widget != nullptr && widget->isVisible() && widget->isEnabled();
}

// A click as the queued event a person's click is.
void QueueClick(QAbstractButton* button) {
    QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection);
}

// A left click in the middle of `widget`, as the posted press and release a
// person's click is.
void PostClick(QWidget* widget) {
    const QPointF local = QRectF(widget->rect()).center();
    const QPointF global = widget->mapToGlobal(local);
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
        QCoreApplication::postEvent(
            widget, new QMouseEvent(type, local, global, Qt::LeftButton, held, Qt::NoModifier));
    }
}

Qt::Key KeyOf(QChar c) {
    const QChar upper = c.toUpper();
    if ((upper >= u'0' && upper <= u'9') || (upper >= u'A' && upper <= u'Z')) {
        return static_cast<Qt::Key>(upper.unicode());
    }
    return Qt::Key_unknown;
}

}  // namespace

QWidget* FindShownWidget(const QString& name) {
    QList<QWidget*> windows;
    if (QWidget* modal = QApplication::activeModalWidget()) windows.push_back(modal);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && !windows.contains(window)) windows.push_back(window);
    }
    for (QWidget* window : windows) {
        if (window->objectName() == name) return window;
        for (QWidget* child : window->findChildren<QWidget*>(name)) {
            if (child->isVisible()) return child;
        }
    }
    return nullptr;
}

ScriptedPerson::ScriptedPerson(std::vector<PersonStep> steps) : steps_(std::move(steps)) {
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, &ScriptedPerson::Tick);
}

void ScriptedPerson::Wake() {
    if (!finished() && failure_.empty()) timer_.start();
}

void ScriptedPerson::Fail(const std::string& why) {
    failure_ = "line " + std::to_string(steps_[next_].line) + " (" + DescribeStep(steps_[next_]) +
               "): " + why;
    std::fprintf(stderr, "qorvclientatm-host: scripted person gives up at %s\n", failure_.c_str());
    timer_.stop();
}

void ScriptedPerson::Tick() {
    if (finished()) {
        timer_.stop();
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!stepStarted_) {
        stepStarted_ = true;
        stepStart_ = now;
    }
    const PersonStep& step = steps_[next_];
    switch (Act(step)) {
        case Outcome::Done:
            ++next_;
            stepStarted_ = false;
            if (finished()) timer_.stop();
            break;
        case Outcome::NotYet:
            if (step.action != Action::Wait && now - stepStart_ > kStepTimeout) {
                Fail("no such widget shown and enabled in time");
            }
            break;
        case Outcome::Failed:
            break;
    }
}

ScriptedPerson::Outcome ScriptedPerson::Act(const PersonStep& step) {
    switch (step.action) {
        case Action::Wait:
            return std::chrono::steady_clock::now() - stepStart_ >=
                           std::chrono::milliseconds(step.number)
                       ? Outcome::Done
                       : Outcome::NotYet;
        case Action::WaitEnabled:
            return Usable(FindShownWidget(Q(step.target))) ? Outcome::Done : Outcome::NotYet;
        case Action::Close: {
            QWidget* window = QApplication::activeModalWidget();
            if (window == nullptr) window = QApplication::activeWindow();
            if (window == nullptr || !window->isVisible()) return Outcome::NotYet;
            QMetaObject::invokeMethod(window, "close", Qt::QueuedConnection);
            return Outcome::Done;
        }
        case Action::Press: {
            auto* button = qobject_cast<QAbstractButton*>(FindShownWidget(Q(step.target)));
            if (!Usable(button)) return Outcome::NotYet;
            QueueClick(button);
            return Outcome::Done;
        }
        case Action::Click: {
            QWidget* widget = FindShownWidget(Q(step.target));
            if (!Usable(widget)) return Outcome::NotYet;
            PostClick(widget);
            return Outcome::Done;
        }
        case Action::Key: {
            // The keypad knows which of its keys carries the character now:
            // the order changes every time it is shown.
            QWidget* keypad = FindShownWidget(QStringLiteral("keypad"));
            if (!Usable(keypad)) return Outcome::NotYet;
            int id = -1;
            if (!QMetaObject::invokeMethod(keypad, "keyIdForCharacter", Qt::DirectConnection,
                                           Q_RETURN_ARG(int, id), Q_ARG(QString, Q(step.target)))) {
                Fail("the keypad cannot say where its keys are");
                return Outcome::Failed;
            }
            if (id <= 0) {
                Fail("no key carries that character");
                return Outcome::Failed;
            }
            auto* key = keypad->findChild<QAbstractButton*>(QString::number(id));
            if (!Usable(key)) return Outcome::NotYet;
            QueueClick(key);
            return Outcome::Done;
        }
        case Action::Type: {
            QWidget* edit = FindShownWidget(Q(step.target));
            if (!Usable(edit)) return Outcome::NotYet;
            // Key events, posted in order: the edit's own filters see each key.
            edit->setFocus(Qt::OtherFocusReason);
            for (const QChar c : Q(step.text)) {
                const QString text(c);
                QCoreApplication::postEvent(
                    edit, new QKeyEvent(QEvent::KeyPress, KeyOf(c), Qt::NoModifier, text));
                QCoreApplication::postEvent(
                    edit, new QKeyEvent(QEvent::KeyRelease, KeyOf(c), Qt::NoModifier, text));
            }
            return Outcome::Done;
        }
        case Action::Choose:
        case Action::ChooseText: {
            QWidget* widget = FindShownWidget(Q(step.target));
            if (!Usable(widget)) return Outcome::NotYet;
            if (auto* combo = qobject_cast<QComboBox*>(widget)) {
                const int index =
                    step.action == Action::Choose ? step.number : combo->findText(Q(step.text));
                if (index < 0 || index >= combo->count()) {
                    Fail("the list has no such item");
                    return Outcome::Failed;
                }
                QMetaObject::invokeMethod(
                    combo,
                    [combo, index] {
                        combo->setCurrentIndex(index);
                        emit combo->activated(index);
                    },
                    Qt::QueuedConnection);
                return Outcome::Done;
            }
            if (auto* list = qobject_cast<QListWidget*>(widget)) {
                int index = step.number;
                if (step.action == Action::ChooseText) {
                    const auto found = list->findItems(Q(step.text), Qt::MatchExactly);
                    index = found.isEmpty() ? -1 : list->row(found.front());
                }
                if (index < 0 || index >= list->count()) {
                    Fail("the list has no such item");
                    return Outcome::Failed;
                }
                QMetaObject::invokeMethod(
                    list, [list, index] { list->setCurrentRow(index); }, Qt::QueuedConnection);
                return Outcome::Done;
            }
            Fail("the widget is no list");
            return Outcome::Failed;
        }
    }
    return Outcome::Failed;
}

}  // namespace qorv::widgets
