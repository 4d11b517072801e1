// The program's icon and the pictures beside the program: PNG files in the "Image" folder next
// to the program (build/bin/Image in a build tree), else in the assets folder GetAppFolder gives.
#pragma once

#include <QIcon>
#include <QString>

// The full path of a picture of the "Image" folder, or empty when it is found nowhere.
QString FindImageFile(const QString& name);

// The program's icon (empty when its file is missing).
QIcon ProgramIcon();
