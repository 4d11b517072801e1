#include "app/program_icon.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <string>

#include "core/program_path.h"

namespace {

constexpr const char* kIconFile = "Orbo_Zorvan_Tool.png";

}  // namespace

QString FindImageFile(const QString& name) {
    const std::string assets = GetAppFolder(AppFolderKind::Image);
    const QString folders[] = {
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Image")),
        QString::fromStdString(assets),
    };
    for (const QString& folder : folders) {
        if (folder.isEmpty()) continue;
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo::exists(path)) return path;
    }
    return QString();
}

QIcon ProgramIcon() {
    const QString path = FindImageFile(QString::fromLatin1(kIconFile));
    return path.isEmpty() ? QIcon() : QIcon(path);
}
