// What every window of the host does for people who use a screen reader,
// whatever view it shows: each entry says what it is for, and the focus
// opens on something a screen reader can announce.
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

// Both, for a window that is up (its layout done).
void MakeAccessible(QDialog& window);

}  // namespace qorv::widgets
