#include "platform/dialog_items.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QThread>
#include <QVariant>
#include <QWidget>

#include "core/dbg_output.h"

namespace {

constexpr const char* kControlIdProperty = "orboControlId";

// The string table writes Windows line ends; Qt breaks lines at '\n' alone.
QString ToDisplayText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

// Widgets belong to the window thread; a worker must go through RunOnWindowThread.
bool OnWindowThread(const char* operation) {
    const QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || QThread::currentThread() == application->thread()) return true;
    DbgOutputA(4, "%s refused: controls are only touched on the window thread\r\n", operation);
    return false;
}

}  // namespace

void SetControlId(QWidget* control, int id) {
    if (control != nullptr) control->setProperty(kControlIdProperty, id);
}

int GetControlId(const QWidget* control) {
    if (control == nullptr) return kStaticControlId;
    const QVariant id = control->property(kControlIdProperty);
    return id.isValid() ? id.toInt() : kStaticControlId;
}

QWidget* GetDlgItem(const QWidget* dialog, int id) {
    if (dialog == nullptr || id == kStaticControlId || !OnWindowThread("GetDlgItem")) {
        return nullptr;
    }
    for (QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (GetControlId(child) == id) return child;
    }
    return nullptr;
}

void SetControlText(QWidget* control, const QString& text) {
    if (control == nullptr || !OnWindowThread("SetControlText")) return;
    if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(ToDisplayText(text));
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(text);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(control)) {
        plain->setPlainText(ToDisplayText(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(ToDisplayText(text));
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
        group->setTitle(text);
    } else if (auto* list = qobject_cast<QComboBox*>(control)) {
        const int index = list->findText(text);
        if (index >= 0) list->setCurrentIndex(index);
    } else if (control != nullptr) {
        control->setWindowTitle(text);
    }
}

QString GetControlText(const QWidget* control) {
    if (auto* label = qobject_cast<const QLabel*>(control)) return label->text();
    if (auto* edit = qobject_cast<const QLineEdit*>(control)) return edit->text();
    if (auto* plain = qobject_cast<const QPlainTextEdit*>(control)) return plain->toPlainText();
    if (auto* button = qobject_cast<const QAbstractButton*>(control)) return button->text();
    if (auto* group = qobject_cast<const QGroupBox*>(control)) return group->title();
    if (auto* list = qobject_cast<const QComboBox*>(control)) return list->currentText();
    return control != nullptr ? control->windowTitle() : QString();
}

void SetDlgItemText(QWidget* dialog, int id, const QString& text) {
    SetControlText(GetDlgItem(dialog, id), text);
}

QString GetDlgItemText(const QWidget* dialog, int id) {
    return GetControlText(GetDlgItem(dialog, id));
}

void EnableDlgItem(QWidget* dialog, int id, bool enable) {
    if (QWidget* control = GetDlgItem(dialog, id)) control->setEnabled(enable);
}

bool IsDlgItemEnabled(const QWidget* dialog, int id) {
    const QWidget* control = GetDlgItem(dialog, id);
    return control != nullptr && control->isEnabled();
}

void ShowDlgItem(QWidget* dialog, int id, bool show) {
    if (QWidget* control = GetDlgItem(dialog, id)) control->setVisible(show);
}

bool IsDlgItemShown(const QWidget* dialog, int id) {
    const QWidget* control = GetDlgItem(dialog, id);
    return control != nullptr && !control->isHidden();
}

void CheckDlgButton(QWidget* dialog, int id, int checked) {
    auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(dialog, id));
    if (button == nullptr) return;
    // Exclusive buttons refuse to be cleared one by one; the original platform clears them.
    QButtonGroup* group = button->group();
    const bool exclusiveGroup = group != nullptr && group->exclusive();
    const bool autoExclusive = button->autoExclusive();
    if (exclusiveGroup) group->setExclusive(false);
    button->setAutoExclusive(false);
    button->setChecked(checked != 0);
    button->setAutoExclusive(autoExclusive);
    if (exclusiveGroup) group->setExclusive(true);
}

int IsDlgButtonChecked(const QWidget* dialog, int id) {
    auto* button = qobject_cast<const QAbstractButton*>(GetDlgItem(dialog, id));
    return button != nullptr && button->isChecked() ? 1 : 0;
}

void CheckRadioButton(QWidget* dialog, int firstId, int lastId, int checkId) {
    for (int id = firstId; id <= lastId; ++id) CheckDlgButton(dialog, id, id == checkId ? 1 : 0);
}

int GetCheckedRadioButton(const QWidget* dialog, int firstId, int lastId) {
    for (int id = firstId; id <= lastId; ++id) {
        if (IsDlgButtonChecked(dialog, id) != 0) return id;
    }
    return 0;
}

int AddListEntry(QComboBox* list, const QString& text, int64_t itemData) {
    if (list == nullptr) return -1;
    list->addItem(text, QVariant::fromValue<qint64>(itemData));
    return list->count() - 1;
}

int64_t GetListItemData(const QComboBox* list, int index) {
    if (list == nullptr || index < 0 || index >= list->count()) return 0;
    return list->itemData(index).toLongLong();
}

void SetListItemData(QComboBox* list, int index, int64_t itemData) {
    if (list == nullptr || index < 0 || index >= list->count()) return;
    list->setItemData(index, QVariant::fromValue<qint64>(itemData));
}

QComboBox* GetDlgList(const QWidget* dialog, int id) {
    return qobject_cast<QComboBox*>(GetDlgItem(dialog, id));
}
