// What every window of the host does for people who use a screen reader or
// the keyboard alone, whatever view it shows: each entry says what it is
// for, the focus opens on something a screen reader can announce, and Enter
// presses the button that has the focus.
#pragma once

class QDialog;
class QWidget;

namespace qorv::widgets {

// Gives every edit, list and text box of `window` that has no accessible
// name the text of the label that names it: the label's buddy, else the
// nearest shown label to its left on the same line (the dialogs place a
// row's label there).
void NameControlsFromLabels(QWidget& window);

// When the focus is on nothing a screen reader can name (an unnamed scroll
// area or frame), it moves to the window, which is announced by its title.
void FocusSomethingAnnounced(QDialog& window);

// Enter on a focused push button of `window` presses it, as Space does; the
// dialogs have no default button, so Enter in an edit still presses none.
void EnterPressesFocusedButton(QDialog& window);

// All three, for a window that is up (its layout done).
void MakeAccessible(QDialog& window);

}  // namespace qorv::widgets
