// Where gui tests write their pictures: build/screenshots (beside the test programs' bin folder),
// created when missing. Header-only: only gui tests include Qt.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QString>

#include <cstdlib>

inline QString ScreenshotFolder() {
    const char* bin = std::getenv("ORBO_TEST_BIN_DIR");
    QDir folder(bin != nullptr ? QString::fromLocal8Bit(bin)
                               : QCoreApplication::applicationDirPath());
    folder.cdUp();
    folder.mkpath(QStringLiteral("screenshots"));
    return folder.filePath(QStringLiteral("screenshots"));
}
