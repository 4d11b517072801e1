// A dialog's controls by id, and the small operations the windows do on them: text, enabled,
// visible, check state, radio groups, list entries with item data.
//
// Every control made from a dialog template carries its id (SetControlId); labels without one
// carry kStaticControlId and are never found. Lookups search the dialog's direct children only,
// so a page's controls are not found through the window that holds the page.
//
// Texts are UTF-16 QStrings; "\r\n" line ends (as the string table writes them) show as line
// breaks. Operations on an id that the dialog does not have do nothing and answer empty, 0 or
// null. Window thread only: called from another thread they refuse (a level-4 line, nothing
// touched); workers change controls through RunOnWindowThread (platform/window_message.h).
#pragma once

#include <QString>

#include <cstdint>

class QComboBox;
class QWidget;

// The id of labels and frames that have none.
constexpr int kStaticControlId = -1;

void SetControlId(QWidget* control, int id);
// The control's id; kStaticControlId when it has none.
int GetControlId(const QWidget* control);

// The dialog's control with that id, or null.
QWidget* GetDlgItem(const QWidget* dialog, int id);

// Caption of a label, button or group box, the text of an edit or of a list's selected entry.
void SetDlgItemText(QWidget* dialog, int id, const QString& text);
QString GetDlgItemText(const QWidget* dialog, int id);
void SetControlText(QWidget* control, const QString& text);
QString GetControlText(const QWidget* control);

void EnableDlgItem(QWidget* dialog, int id, bool enable);
bool IsDlgItemEnabled(const QWidget* dialog, int id);
void ShowDlgItem(QWidget* dialog, int id, bool show);
// Visible as the control itself sees it (not hidden), whatever its window is.
bool IsDlgItemShown(const QWidget* dialog, int id);

// Check boxes and radio buttons: 1 checked, 0 not (also for ids that are not buttons).
void CheckDlgButton(QWidget* dialog, int id, int checked);
int IsDlgButtonChecked(const QWidget* dialog, int id);
// Checks `checkId` and clears every other button with an id in firstId..lastId.
void CheckRadioButton(QWidget* dialog, int firstId, int lastId, int checkId);
// The id of the checked button in firstId..lastId, or 0 when none is checked.
int GetCheckedRadioButton(const QWidget* dialog, int firstId, int lastId);

// Drop-down lists: entries with item data.
// Appends an entry; returns its index.
int AddListEntry(QComboBox* list, const QString& text, int64_t itemData = 0);
// The entry's item data; 0 for an index out of range.
int64_t GetListItemData(const QComboBox* list, int index);
void SetListItemData(QComboBox* list, int index, int64_t itemData);
// The list with that id, or null when the id is missing or not a list.
QComboBox* GetDlgList(const QWidget* dialog, int id);
