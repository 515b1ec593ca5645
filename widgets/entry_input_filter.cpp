#include "widgets/entry_input_filter.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include "widgets/secure_text.h"

namespace qorv::widgets {
namespace {

bool IsEnter(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

}  // namespace

EntryInputFilter::EntryInputFilter(dialogs::MessageSink& messages, QObject* parent)
    : QObject(parent), messages_(messages) {}

void EntryInputFilter::watchDialog(QWidget* dialog) {
    dialog->installEventFilter(this);
    for (QWidget* child : dialog->findChildren<QWidget*>()) child->installEventFilter(this);
}

void EntryInputFilter::watchEdit(QLineEdit* edit, dialogs::EditKind kind, int maxLength) {
    edits_.insert(edit, Watched{kind, maxLength});
    edit->setMaxLength(maxLength);
    edit->setContextMenuPolicy(Qt::NoContextMenu);
    edit->setAcceptDrops(false);
    edit->setDragEnabled(false);
    edit->installEventFilter(this);
    connect(edit, &QObject::destroyed, this, [this, edit] { edits_.remove(edit); });
}

bool EntryInputFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && IsEnter(static_cast<QKeyEvent*>(event))) return true;
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (edit != nullptr) {
        const auto found = edits_.constFind(edit);
        if (found != edits_.constEnd()) return filterEdit(edit, found.value(), event);
    }
    return QObject::eventFilter(watched, event);
}

bool EntryInputFilter::filterEdit(QLineEdit* edit, const Watched& watched, QEvent* event) {
    const std::u16string_view current = TextView(edit->text());
    const auto maxLength = static_cast<std::size_t>(watched.maxLength);
    switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            // Moving on and leaving are not typing: a digits edit that took
            // Tab or Escape for a refused character would hold a keyboard-only
            // customer in it.
            if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab ||
                key->key() == Qt::Key_Escape)
                return false;
            if (key->matches(QKeySequence::Paste)) {
                const QString clipboard = QGuiApplication::clipboard()->text();
                const dialogs::PasteCheck check =
                    dialogs::CheckPaste(watched.kind, current, TextView(clipboard));
                if (check.accepted) return false;
                if (!check.message.empty()) messages_.ShowMessage(check.message);
                return true;
            }
            const QString text = key->text();
            for (QChar c : text)
                if (!dialogs::AcceptTypedCharacter(watched.kind, current, c.unicode(), maxLength))
                    return true;
            return false;
        }
        case QEvent::InputMethod: {
            auto* input = static_cast<QInputMethodEvent*>(event);
            std::u16string typed(current);
            for (QChar c : input->commitString()) {
                if (!dialogs::AcceptTypedCharacter(watched.kind, typed, c.unicode(), maxLength))
                    return true;
                typed += c.unicode();
            }
            return false;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
            // The middle button pastes the selection without a key event.
            return static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton;
        case QEvent::ContextMenu:
        case QEvent::Drop:
        case QEvent::DragEnter:
            return true;
        default:
            return false;
    }
}

}  // namespace qorv::widgets
