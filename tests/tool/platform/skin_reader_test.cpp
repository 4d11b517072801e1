// ctest-labels: gui
// The skin reader: what each element builds, fixed and stretching sizes, padding, colours and
// fonts, find-by-name, the three notifications from real clicks and keys, and skins refused as a
// whole with the line named.
#include "platform/skin_reader.h"

#include <gtest/gtest.h>

#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <string>
#include <utility>
#include <vector>

#include "support/qt_test_app.h"
#include "support/temp_dir.h"
#include "support/whole_file.h"

namespace {

const char* const kSkin = R"(<?xml version="1.0" encoding="UTF-8"?>
<Window size="400,300" bkcolor="#102030" textcolor="#F0E0D0" padding="5,6,7,8" childpadding="4">
  <HorizontalLayout name="Row" height="30" childpadding="3">
    <Label name="Title" text="Hello" width="80" font="Sans,14,bold" align="right"/>
    <Control/>
    <Button name="Go" text="Go" width="60"/>
  </HorizontalLayout>
  <VerticalLayout padding="1,2,3,4">
    <Combo name="List" height="24"/>
    <Edit name="Path" text="start" tooltip="the path"/>
    <Progress name="Bar" max="50" value="20"/>
    <Label name="Hidden" text="x" visible="false" enabled="false"/>
  </VerticalLayout>
  <RichEdit name="Box" readonly="true" text="first" bkcolor="#80FFFFFF"/>
</Window>
)";

class SkinReaderTest : public GuiTest {
protected:
    bool Load(const std::string& xml, QString* error = nullptr) {
        return m_view.LoadText(&m_host, QByteArray::fromStdString(xml), error);
    }

    void Show(const QSize& size) {
        m_top.resize(size);
        m_host.resize(size);
        m_top.show();
        ASSERT_TRUE(ProcessEventsUntil([&] { return m_host.isVisible(); }));
        ProcessPendingEvents();
    }

    // The skinned window inside a top-level one, as the tool shows its pages.
    QWidget m_top;
    QWidget m_host{&m_top};
    SkinView m_view;
    std::vector<std::pair<QString, QString>> m_notes;
};

TEST_F(SkinReaderTest, BuildsEveryKindWithItsAttributes) {
    QString error;
    ASSERT_TRUE(Load(kSkin, &error)) << error.toStdString();
    EXPECT_EQ(m_view.InitialSize(), QSize(400, 300));
    auto names = m_view.Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (QList<QString>{"Bar", "Box", "Go", "Hidden", "List", "Path", "Row", "Title"}));

    auto* title = m_view.Find<QLabel>("Title");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), QStringLiteral("Hello"));
    EXPECT_EQ(title->minimumWidth(), 80);
    EXPECT_EQ(title->maximumWidth(), 80);
    EXPECT_EQ(title->font().pointSize(), 14);
    EXPECT_TRUE(title->font().bold());
    EXPECT_EQ(title->alignment(), Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(m_view.Find<QWidget>("Row")->maximumHeight(), 30);
    EXPECT_EQ(m_view.Find<QPushButton>("Go")->text(), QStringLiteral("Go"));
    EXPECT_EQ(m_view.Find<QLineEdit>("Path")->text(), QStringLiteral("start"));
    EXPECT_EQ(m_view.Find<QLineEdit>("Path")->toolTip(), QStringLiteral("the path"));
    EXPECT_EQ(m_view.Find<QProgressBar>("Bar")->maximum(), 50);
    EXPECT_EQ(m_view.Find<QProgressBar>("Bar")->value(), 20);
    EXPECT_TRUE(m_view.Find<QLabel>("Hidden")->isHidden());
    EXPECT_FALSE(m_view.Find<QLabel>("Hidden")->isEnabled());
    auto* box = m_view.Find<QPlainTextEdit>("Box");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isReadOnly());
    EXPECT_EQ(box->toPlainText(), QStringLiteral("first"));
    EXPECT_EQ(box->palette().color(QPalette::Base), QColor::fromRgba(0x80FFFFFF));
    EXPECT_EQ(m_view.FindControl("Nobody"), nullptr);
    EXPECT_EQ(m_view.Find<QPushButton>("Title"), nullptr);  // not a button

    // Colours are inherited from the window; padding and spacing are the layouts'.
    EXPECT_EQ(m_host.palette().color(QPalette::Window), QColor(0x10, 0x20, 0x30));
    EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(0xF0, 0xE0, 0xD0));
    auto* content = m_host.layout()->itemAt(0)->widget();
    ASSERT_NE(content, nullptr);
    EXPECT_EQ(content->layout()->contentsMargins(), QMargins(5, 6, 7, 8));
    EXPECT_EQ(content->layout()->spacing(), 4);
    EXPECT_EQ(m_view.Find<QWidget>("Row")->layout()->spacing(), 3);
}

TEST_F(SkinReaderTest, FixedSizesStayAndTheRestStretches) {
    ASSERT_TRUE(Load(kSkin));
    Show(QSize(400, 300));
    EXPECT_EQ(m_view.Find<QLabel>("Title")->width(), 80);
    EXPECT_EQ(m_view.Find<QPushButton>("Go")->width(), 60);
    EXPECT_EQ(m_view.Find<QWidget>("Row")->height(), 30);
    const int boxBefore = m_view.FindControl("Box")->height();
    Show(QSize(600, 500));
    EXPECT_EQ(m_view.Find<QLabel>("Title")->width(), 80);
    EXPECT_GT(m_view.FindControl("Box")->height(), boxBefore);
    EXPECT_GT(m_view.FindControl("Path")->width(), 400);
}

TEST_F(SkinReaderTest, ClicksTextChangesAndSelectionsAreNotifiedByName) {
    ASSERT_TRUE(Load(kSkin));
    m_view.SetNotifyHandler(
        [this](const QString& type, const QString& sender) { m_notes.emplace_back(type, sender); });
    Show(QSize(400, 300));
    QTest::mouseClick(m_view.Find<QPushButton>("Go"), Qt::LeftButton);
    QLineEdit* path = m_view.Find<QLineEdit>("Path");
    path->setFocus();
    QTest::keyClick(path, Qt::Key_End);
    QTest::keyClick(path, Qt::Key_X);
    QComboBox* list = m_view.Find<QComboBox>("List");
    list->addItem("a");  // the first item becomes current
    list->addItem("b");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    const std::vector<std::pair<QString, QString>> expected{
        {"click", "Go"}, {"textchanged", "Path"}, {"itemselect", "List"}, {"itemselect", "List"}};
    EXPECT_EQ(m_notes, expected);
    EXPECT_EQ(list->currentText(), QStringLiteral("b"));
}

TEST_F(SkinReaderTest, TagsAreKeptWithTheControls) {
    ASSERT_TRUE(Load(kSkin));
    EXPECT_EQ(GetSkinTag(m_view.FindControl("Go")), 0);
    SetSkinTag(m_view.FindControl("Go"), -5);
    EXPECT_EQ(GetSkinTag(m_view.FindControl("Go")), -5);
}

TEST_F(SkinReaderTest, ABadSkinIsRefusedAsAWholeWithItsLine) {
    const struct {
        const char* xml;
        const char* message;
    } cases[] = {
        {"<Window>\n<Label text=\"a\">", "line 2"},
        {"<Skin/>", "the root element must be Window"},
        {"<Window>\n<Slider/></Window>", "line 2: unknown element Slider"},
        {"<Window><Label colour=\"#FFFFFF\"/></Window>", "Label has no attribute colour"},
        {"<Window><Label bkcolor=\"red\"/></Window>", "bkcolor=\"red\" is not #RRGGBB"},
        {"<Window><Label width=\"-3\"/></Window>", "width=\"-3\" is not a number"},
        {"<Window><Label visible=\"yes\"/></Window>", "visible=\"yes\" is neither"},
        {"<Window><Label font=\"Sans\"/></Window>", "font=\"Sans\" is not"},
        {"<Window padding=\"1,2,3\"/>", "padding=\"1,2,3\" is not 4 numbers"},
        {"<Window><Label name=\"A\"/><Button name=\"A\"/></Window>", "the name A is given twice"},
        {"<Window><Button><Label/></Button></Window>", "Button cannot hold elements"},
        {"<Window>text</Window>", "text outside an attribute"},
        {"<Window><Label align=\"top\"/></Window>", "align=\"top\" is not"},
    };
    for (const auto& c : cases) {
        QWidget host;
        SkinView view;
        QString error;
        EXPECT_FALSE(view.LoadText(&host, c.xml, &error)) << c.xml;
        EXPECT_NE(error.indexOf(QString::fromLatin1(c.message)), -1)
            << c.xml << " -> " << error.toStdString();
        EXPECT_EQ(host.layout(), nullptr) << c.xml;
        EXPECT_TRUE(host.findChildren<QWidget*>().isEmpty()) << c.xml;
        EXPECT_TRUE(view.Names().isEmpty()) << c.xml;
    }
}

TEST_F(SkinReaderTest, FilesAreReadAndAMissingOneIsNamed) {
    TempDir dir;
    WriteWholeFile(dir.File("skin.xml"), kSkin);
    QString error;
    EXPECT_TRUE(m_view.LoadFile(&m_host, QString::fromStdString(dir.File("skin.xml")), &error))
        << error.toStdString();
    EXPECT_NE(m_view.FindControl("Box"), nullptr);
    QWidget other;
    SkinView missing;
    EXPECT_FALSE(missing.LoadFile(&other, QString::fromStdString(dir.File("none.xml")), &error));
    EXPECT_NE(error.indexOf(QStringLiteral("none.xml")), -1) << error.toStdString();
    // A window that has its layout already is not built into again.
    EXPECT_FALSE(missing.LoadText(&m_host, kSkin, &error));
}

}  // namespace
