// Applies the dialog kit's typed- and pasted-text filters to the entry edits
// of a dialog and keeps Enter away from its default button. Every route by
// which text can reach a watched edit is covered: keys, Ctrl+V and
// Shift+Insert, input-method commits; the routes the filter cannot check
// (context-menu paste, middle-click selection paste, drops) are closed.
#pragma once

#include <QHash>
#include <QObject>

#include "dialogs/input_filters.h"
#include "dialogs/message_sink.h"

class QLineEdit;

namespace qorv::widgets {

class EntryInputFilter : public QObject {
    Q_OBJECT

  public:
    explicit EntryInputFilter(dialogs::MessageSink& messages, QObject* parent = nullptr);

    // Enter and Return pressed anywhere in the dialog (the dialog itself and
    // its children at the time of the call) are dropped.
    void watchDialog(QWidget* dialog);
    // Filters the edit as kind; maxLength also becomes the edit's limit.
    void watchEdit(QLineEdit* edit, dialogs::EditKind kind, int maxLength);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Watched {
        dialogs::EditKind kind;
        int maxLength;
    };
    bool filterEdit(QLineEdit* edit, const Watched& watched, QEvent* event);

    dialogs::MessageSink& messages_;
    QHash<QLineEdit*, Watched> edits_;
};

}  // namespace qorv::widgets
