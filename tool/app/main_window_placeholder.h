// The main window until its controls and pages are built: the dialog of template 1000 in the
// selected language, with the program's icon. As the real one, Enter and Escape do nothing; only
// a close request ends it.
#pragma once

#include <memory>

class QDialog;

std::unique_ptr<QDialog> CreateMainWindowPlaceholder();
