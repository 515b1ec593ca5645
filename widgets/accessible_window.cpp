#include "widgets/accessible_window.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <algorithm>

#include "widgets/secure_static.h"

namespace qorv::widgets {
namespace {

bool TakesEntry(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QComboBox*>(widget) ||
           qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QTextEdit*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget);
}

QString Spoken(const QString& labelText) {
    QString text = labelText.simplified();
    while (text.endsWith(u':') || text.endsWith(u'：')) text.chop(1);
    return text;
}

QRect InWindow(const QWidget* widget, const QWidget& window) {
    return QRect(widget->mapTo(&window, QPoint(0, 0)), widget->size());
}

// The label that names `control`: its buddy, else the nearest shown label
// that ends left of it and spans the middle of its first line.
const QLabel* LabelOf(const QWidget* control, const QWidget& window, const QList<QLabel*>& labels) {
    for (const QLabel* label : labels)
        if (label->buddy() == control) return label;
    const QRect area = InWindow(control, window);
    const int middle =
        area.top() + std::min(area.height(), 2 * control->fontMetrics().height()) / 2;
    const QLabel* nearest = nullptr;
    int gap = 0;
    for (const QLabel* label : labels) {
        if (!label->isVisibleTo(&window) || Spoken(label->text()).isEmpty()) continue;
        const QRect at = InWindow(label, window);
        if (at.right() > area.left() || middle < at.top() || middle > at.bottom()) continue;
        if (nearest == nullptr || area.left() - at.right() < gap) {
            nearest = label;
            gap = area.left() - at.right();
        }
    }
    return nearest;
}

}  // namespace

void NameControlsFromLabels(QWidget& window) {
    const QList<QLabel*> labels = window.findChildren<QLabel*>();
    for (QWidget* control : window.findChildren<QWidget*>()) {
        // A secure field's name is its count: its label goes to the description.
        if (qobject_cast<CSecureStatic*>(control) && control->accessibleDescription().isEmpty()) {
            if (const QLabel* label = LabelOf(control, window, labels))
                control->setAccessibleDescription(Spoken(label->text()));
            continue;
        }
        if (!TakesEntry(control) || !control->accessibleName().isEmpty()) continue;
        if (const QLabel* label = LabelOf(control, window, labels))
            control->setAccessibleName(Spoken(label->text()));
    }
}

void FocusSomethingAnnounced(QDialog& window) {
    QWidget* focus = window.focusWidget();
    if (focus != nullptr && focus != &window) {
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(focus);
        if (spoken != nullptr && !spoken->text(QAccessible::Name).trimmed().isEmpty()) return;
    }
    window.setFocus(Qt::OtherFocusReason);
}

void MakeAccessible(QDialog& window) {
    NameControlsFromLabels(window);
    FocusSomethingAnnounced(window);
}

}  // namespace qorv::widgets
