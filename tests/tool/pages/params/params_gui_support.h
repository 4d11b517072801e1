// The parameter page for gui tests: a page on its own settings document and record, shown, with
// message boxes recorded; and typing into its controls with real key events.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "app/xml_parser.h"
#include "controls/digital_value.h"
#include "controls/x_edit.h"
#include "core/base_string.h"
#include "pages/params/param_setting_dlg.h"
#include "platform/dialog_items.h"
#include "support/prompt_recorder.h"
#include "support/qt_test_app.h"

// Generous limit for anything the sensor or a worker does.
constexpr auto kParamsHangDeadline = std::chrono::seconds(30);

class ParamPageTest : public GuiTest {
protected:
    void MakePage(IRadarDevice* device = nullptr, UiLanguage language = UiLanguage::English) {
        static const char kEmptySettings[] = "<AppConfig/>";
        config.LoadFromMemory(kEmptySettings, sizeof kEmptySettings - 1);
        page = std::make_unique<CParamSettingDlg>(nullptr, language);
        page->SetConfigDocument(&config);
        page->SetDevice(device);
        page->SetParamRecord(&record);
        page->InitPage();
        page->show();
        ASSERT_TRUE(ProcessEventsUntil([&] { return page->isVisible(); }));
    }

    void TearDown() override {
        page.reset();
        GuiTest::TearDown();
    }

    CXEdit* Edit(int id) const { return qobject_cast<CXEdit*>(GetDlgItem(page.get(), id)); }
    QComboBox* List(int id) const { return GetDlgList(page.get(), id); }
    QString TextOf(int id) const { return GetDlgItemText(page.get(), id); }

    // Replaces the edit's text by typing and leaves it with Tab.
    void TypeInto(int id, const char* text) {
        CXEdit* edit = Edit(id);
        ASSERT_NE(edit, nullptr);
        edit->setFocus();
        ASSERT_TRUE(ProcessEventsUntil([&] { return edit->hasFocus(); }));
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Tab);
    }

    void Click(int id) {
        auto* button = qobject_cast<QPushButton*>(GetDlgItem(page.get(), id));
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    std::vector<QString> ListEntries(int id) const {
        std::vector<QString> entries;
        if (QComboBox* list = List(id)) {
            for (int i = 0; i < list->count(); ++i) entries.push_back(list->itemText(i));
        }
        return entries;
    }

    // The live balloon message of the edit with that id, or null.
    const BalloonMessage* Tip(int editId, int tipId) const {
        CXEdit* edit = Edit(editId);
        if (edit == nullptr || edit->Balloon() == nullptr) return nullptr;
        for (const BalloonMessage* m : edit->Balloon()->Model().LiveMessages()) {
            if (m->id == tipId) return m;
        }
        return nullptr;
    }

    // Waits for the device sequence a click started.
    bool WaitForSequence() {
        return ProcessEventsUntil([&] { return !page->IsBusy(); }, kParamsHangDeadline);
    }

    // The message box shown as the index-th one.
    void ExpectMessage(size_t index, const char* text, const char* caption, uint32_t icon) {
        ASSERT_GT(boxes.requests.size(), index);
        EXPECT_EQ(boxes.requests[index].text, QString::fromUtf8(text));
        EXPECT_EQ(boxes.requests[index].caption, QString::fromUtf8(caption));
        EXPECT_EQ(boxes.requests[index].type & kMbIconMask, icon);
    }

    std::string SavedAttribute(const char* name) {
        XMLNode section = FindParamSettingSection(config);
        CBaseStringA text;
        if (!section.GetAttributeText(name, text)) return {};
        return text.GetString();
    }

    MessageBoxRecorder boxes;
    XMLParser config;
    RadarParamSetting record;
    std::unique_ptr<CParamSettingDlg> page;
};
