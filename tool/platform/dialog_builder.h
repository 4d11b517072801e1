// Dialogs and pages built from the dialog templates (resources/dialog_templates.h).
//
// Dialog units convert to pixels as the original platform converts them: the dialog font's
// base units are its average character width over the 52 Latin letters, rounded
// ((width of "A..Za..z" / 26 + 1) / 2), and its character height; a horizontal unit is a
// quarter of the first, a vertical unit an eighth of the second, each coordinate and size
// rounded on its own (MulDiv). Pixels are Qt's device-independent pixels, so high-DPI scaling
// stays with Qt.
//
// Controls: labels are QLabel (word-wrapped), edits QLineEdit, push buttons QPushButton (the
// default push button is the dialog's default), check boxes QCheckBox, radio buttons
// QRadioButton, push-like radio buttons checkable QPushButton, drop-down lists QComboBox,
// group boxes QGroupBox, progress bars QProgressBar (0..100, no text). Each carries its id
// (platform/dialog_items.h). Radio buttons form groups as on the original platform: a group
// starts at a control with the group style and runs to the next one. A drop-down list's
// rectangle includes its open list: the closed control gets the template's left, top and width,
// and the height it needs (at most the rectangle's).
//
// Window thread only.
#pragma once

#include <QRect>

#include "resources/dialog_templates.h"

class QFont;
class QWidget;

// The dialog font's base units in device-independent pixels.
struct DialogBaseUnits {
    int cx;  // average character width
    int cy;  // character height
};

DialogBaseUnits GetDialogBaseUnits(const QFont& font);

// The template's rectangle in pixels for those base units.
QRect MapDialogRect(const DluRect& rect, DialogBaseUnits units);

// The font a template names (its face through the installed substitutions, its point size).
QFont DialogFont(const DialogTemplate& dialog);

// Creates the template's controls in `dialog` (a QDialog for a dialog, a plain QWidget for a
// page) in the language's captions and rectangles, and gives the dialog the template's font,
// title and client size (a dialog without a resizable frame gets a fixed size). Returns false,
// creating nothing, when no template has that id.
bool BuildDialogFromTemplate(QWidget* dialog, int templateId, UiLanguage language);

// Puts `replacement` where the control with that id is (same parent, geometry, id, visibility,
// enabled state and place in the stacking and tab order) and deletes the old control. For
// custom controls bound to a template's placeholder. Returns false (deleting `replacement`)
// when the dialog has no such control.
bool ReplaceDlgItem(QWidget* dialog, int id, QWidget* replacement);
