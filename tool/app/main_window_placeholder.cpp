#include "app/main_window_placeholder.h"

#include <QDialog>
#include <QKeyEvent>

#include "app/program_icon.h"
#include "platform/dialog_builder.h"
#include "resources/dialog_templates.h"
#include "resources/string_table.h"

namespace {

class MainWindowPlaceholder : public QDialog {
protected:
    // The dialog's OK and cancel keys end nothing.
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
            case Qt::Key_Escape:
            case Qt::Key_Return:
            case Qt::Key_Enter:
                event->accept();
                return;
            default:
                QDialog::keyPressEvent(event);
        }
    }
};

}  // namespace

std::unique_ptr<QDialog> CreateMainWindowPlaceholder() {
    auto window = std::make_unique<MainWindowPlaceholder>();
    BuildDialogFromTemplate(window.get(), kMainWindowTemplate, GetSelectedLanguage());
    window->setWindowIcon(ProgramIcon());
    return window;
}
