#include "platform/dialog_builder.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include <algorithm>

#include "platform/dialog_items.h"
#include "platform/font_substitution.h"

namespace {

// The letters whose average width is the horizontal base unit.
constexpr const char* kBaseUnitLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kHorizontalUnitsPerChar = 4;
constexpr int kVerticalUnitsPerChar = 8;
constexpr int kProgressMaximum = 100;

// a * b / c rounded half away from zero, as the platform's MulDiv.
int MulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

QString Caption(const DialogControl& control, UiLanguage language) {
    return QString::fromUtf8(ControlCaption(control, language));
}

QWidget* CreateControl(const DialogControl& control, UiLanguage language, QWidget* parent) {
    const QString caption = Caption(control, language);
    switch (control.kind) {
        case ControlKind::Label: {
            auto* label = new QLabel(parent);
            label->setWordWrap(true);
            Qt::Alignment horizontal = Qt::AlignLeft;
            if ((control.style & kStyleCenter) != 0) horizontal = Qt::AlignHCenter;
            if ((control.style & kStyleRight) != 0) horizontal = Qt::AlignRight;
            label->setAlignment(horizontal | Qt::AlignTop);
            if ((control.style & kStyleBorder) != 0) label->setFrameShape(QFrame::Box);
            SetControlText(label, caption);
            return label;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(caption, parent);
            edit->setFrame((control.style & kStyleBorder) != 0);
            return edit;
        }
        case ControlKind::PushButton:
        case ControlKind::DefPushButton: {
            auto* button = new QPushButton(caption, parent);
            if (control.kind == ControlKind::DefPushButton) button->setDefault(true);
            return button;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(caption, parent);
        case ControlKind::RadioButton:
            return new QRadioButton(caption, parent);
        case ControlKind::PushLikeRadio: {
            auto* button = new QPushButton(caption, parent);
            button->setCheckable(true);
            return button;
        }
        case ControlKind::DropList:
            return new QComboBox(parent);
        case ControlKind::GroupBox:
            return new QGroupBox(caption, parent);
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setRange(0, kProgressMaximum);
            bar->setValue(0);
            bar->setTextVisible(false);
            return bar;
        }
    }
    return new QWidget(parent);
}

bool IsRadio(ControlKind kind) {
    return kind == ControlKind::RadioButton || kind == ControlKind::PushLikeRadio;
}

}  // namespace

DialogBaseUnits GetDialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(QString::fromLatin1(kBaseUnitLetters));
    return DialogBaseUnits{(letters / 26 + 1) / 2, metrics.height()};
}

QRect MapDialogRect(const DluRect& rect, DialogBaseUnits units) {
    return QRect(MulDiv(rect.x, units.cx, kHorizontalUnitsPerChar),
                 MulDiv(rect.y, units.cy, kVerticalUnitsPerChar),
                 MulDiv(rect.cx, units.cx, kHorizontalUnitsPerChar),
                 MulDiv(rect.cy, units.cy, kVerticalUnitsPerChar));
}

QFont DialogFont(const DialogTemplate& dialog) {
    InstallFontSubstitutions();
    QFont font(QString::fromUtf8(dialog.fontFace));
    font.setPointSize(dialog.fontPoints);
    return font;
}

bool BuildDialogFromTemplate(QWidget* dialog, int templateId, UiLanguage language) {
    const DialogTemplate* found = FindDialogTemplate(templateId);
    if (dialog == nullptr || found == nullptr) return false;
    const DialogTemplate& layout = *found;
    dialog->setFont(DialogFont(layout));
    const DialogBaseUnits units = GetDialogBaseUnits(dialog->font());

    QButtonGroup* radios = nullptr;
    for (const DialogControl& control : layout.controls) {
        QWidget* widget = CreateControl(control, language, dialog);
        SetControlId(widget, control.id);
        const QRect rect = MapDialogRect(ControlRect(control, language), units);
        if (control.kind == ControlKind::DropList) {
            const int closed = std::min(rect.height(), widget->sizeHint().height());
            widget->setGeometry(rect.x(), rect.y(), rect.width(), closed);
        } else {
            widget->setGeometry(rect);
        }
        widget->setFocusPolicy((control.style & kStyleTabStop) != 0 ? Qt::StrongFocus
                                                                    : widget->focusPolicy());
        if ((control.style & kStyleGroup) != 0 || !IsRadio(control.kind)) radios = nullptr;
        if (IsRadio(control.kind)) {
            auto* button = static_cast<QAbstractButton*>(widget);
            if (radios == nullptr) radios = new QButtonGroup(dialog);
            button->setAutoExclusive(false);
            radios->addButton(button);
        }
        if ((control.style & kStyleDisabled) != 0) widget->setEnabled(false);
        if ((control.style & kStyleHidden) != 0) widget->hide();
    }

    dialog->setWindowTitle(QString::fromUtf8(DialogTitle(layout, language)));
    const DluRect client{0, 0, layout.cx, layout.cy};
    const QSize size = MapDialogRect(client, units).size();
    if ((layout.style & kDialogResizable) != 0) {
        dialog->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
        dialog->resize(size);
    } else if ((layout.style & kDialogChild) != 0) {
        dialog->resize(size);
    } else {
        dialog->setFixedSize(size);
    }
    return true;
}

bool ReplaceDlgItem(QWidget* dialog, int id, QWidget* replacement) {
    QWidget* old = GetDlgItem(dialog, id);
    if (old == nullptr || replacement == nullptr) {
        delete replacement;
        return false;
    }
    replacement->setParent(dialog);
    replacement->setGeometry(old->geometry());
    SetControlId(replacement, id);
    replacement->setEnabled(old->isEnabled());
    replacement->stackUnder(old);
    QWidget::setTabOrder(old, replacement);
    replacement->setVisible(!old->isHidden());
    delete old;
    return true;
}
