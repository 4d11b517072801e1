// ctest-labels: gui
#include "platform/dialog_items.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include <thread>

#include "support/qt_test_app.h"

namespace {

template <typename T>
T* AddControl(QWidget* dialog, int id) {
    auto* control = new T(dialog);
    SetControlId(control, id);
    return control;
}

class DialogItemsTest : public GuiTest {
protected:
    void SetUp() override {
        AddControl<QLabel>(&m_dialog, kStaticControlId);
        AddControl<QLabel>(&m_dialog, 10);
        AddControl<QLineEdit>(&m_dialog, 11);
        AddControl<QPushButton>(&m_dialog, 12);
        AddControl<QGroupBox>(&m_dialog, 13);
        AddControl<QCheckBox>(&m_dialog, 14);
        for (int id = 20; id <= 22; ++id) AddControl<QRadioButton>(&m_dialog, id);
        m_list = AddControl<QComboBox>(&m_dialog, 30);
        // A control of a page inside the dialog is not the dialog's.
        AddControl<QLabel>(new QWidget(&m_dialog), 40);
    }

    QWidget m_dialog;
    QComboBox* m_list = nullptr;
};

TEST_F(DialogItemsTest, ControlsAreFoundByIdAmongDirectChildrenOnly) {
    EXPECT_EQ(GetDlgItem(&m_dialog, kStaticControlId), nullptr);
    EXPECT_NE(qobject_cast<QLineEdit*>(GetDlgItem(&m_dialog, 11)), nullptr);
    EXPECT_EQ(GetControlId(GetDlgItem(&m_dialog, 14)), 14);
    EXPECT_EQ(GetDlgItem(&m_dialog, 40), nullptr);
    EXPECT_EQ(GetDlgItem(&m_dialog, 99), nullptr);
    EXPECT_EQ(GetDlgItem(nullptr, 11), nullptr);
    EXPECT_EQ(GetDlgList(&m_dialog, 30), m_list);
    EXPECT_EQ(GetDlgList(&m_dialog, 11), nullptr);
}

TEST_F(DialogItemsTest, TextGoesToEveryKindOfControl) {
    for (int id : {10, 11, 12, 13, 14, 20}) {
        const QString text = QStringLiteral("text %1 中文").arg(id);
        SetDlgItemText(&m_dialog, id, text);
        EXPECT_EQ(GetDlgItemText(&m_dialog, id), text) << id;
    }
    SetDlgItemText(&m_dialog, 10, QStringLiteral("Ver: 1\r\nSN: 2"));
    EXPECT_EQ(GetDlgItemText(&m_dialog, 10), QStringLiteral("Ver: 1\nSN: 2"));
    SetDlgItemText(&m_dialog, 99, QStringLiteral("nowhere"));
    EXPECT_EQ(GetDlgItemText(&m_dialog, 99), QString());
}

TEST_F(DialogItemsTest, EnableAndShow) {
    EnableDlgItem(&m_dialog, 12, false);
    EXPECT_FALSE(IsDlgItemEnabled(&m_dialog, 12));
    EnableDlgItem(&m_dialog, 12, true);
    EXPECT_TRUE(IsDlgItemEnabled(&m_dialog, 12));
    ShowDlgItem(&m_dialog, 10, false);
    EXPECT_FALSE(IsDlgItemShown(&m_dialog, 10));
    ShowDlgItem(&m_dialog, 10, true);
    EXPECT_TRUE(IsDlgItemShown(&m_dialog, 10));
    EXPECT_FALSE(IsDlgItemEnabled(&m_dialog, 99));
    EXPECT_FALSE(IsDlgItemShown(&m_dialog, 99));
}

TEST_F(DialogItemsTest, CheckBoxesAndRadioGroups) {
    CheckDlgButton(&m_dialog, 14, 1);
    EXPECT_EQ(IsDlgButtonChecked(&m_dialog, 14), 1);
    CheckDlgButton(&m_dialog, 14, 0);
    EXPECT_EQ(IsDlgButtonChecked(&m_dialog, 14), 0);
    EXPECT_EQ(GetCheckedRadioButton(&m_dialog, 20, 22), 0);
    CheckRadioButton(&m_dialog, 20, 22, 21);
    EXPECT_EQ(GetCheckedRadioButton(&m_dialog, 20, 22), 21);
    CheckRadioButton(&m_dialog, 20, 22, 22);
    EXPECT_EQ(IsDlgButtonChecked(&m_dialog, 21), 0);
    EXPECT_EQ(GetCheckedRadioButton(&m_dialog, 20, 22), 22);
    EXPECT_EQ(IsDlgButtonChecked(&m_dialog, 11), 0);
}

TEST_F(DialogItemsTest, ListEntriesKeepTheirItemData) {
    EXPECT_EQ(AddListEntry(m_list, QStringLiteral("/dev/ttyUSB0"), 0), 0);
    EXPECT_EQ(AddListEntry(m_list, QStringLiteral("/dev/ttyUSB12"), 12), 1);
    EXPECT_EQ(AddListEntry(m_list, QStringLiteral("big"), INT64_MIN), 2);
    EXPECT_EQ(GetListItemData(m_list, 1), 12);
    EXPECT_EQ(GetListItemData(m_list, 2), INT64_MIN);
    SetListItemData(m_list, 0, 5);
    EXPECT_EQ(GetListItemData(m_list, 0), 5);
    EXPECT_EQ(GetListItemData(m_list, 3), 0);
    EXPECT_EQ(GetListItemData(m_list, -1), 0);
    SetDlgItemText(&m_dialog, 30, QStringLiteral("/dev/ttyUSB12"));
    EXPECT_EQ(m_list->currentIndex(), 1);
    EXPECT_EQ(GetDlgItemText(&m_dialog, 30), QStringLiteral("/dev/ttyUSB12"));
}

TEST_F(DialogItemsTest, ControlsAreNotTouchedOffTheWindowThread) {
    SetDlgItemText(&m_dialog, 10, QStringLiteral("before"));
    QWidget* found = &m_dialog;
    std::thread worker([&] {
        found = GetDlgItem(&m_dialog, 10);
        SetDlgItemText(&m_dialog, 10, QStringLiteral("from a worker"));
        SetControlText(m_list, QStringLiteral("from a worker"));
    });
    worker.join();
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(GetDlgItemText(&m_dialog, 10), QStringLiteral("before"));
}

}  // namespace
