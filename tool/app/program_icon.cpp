#include "app/program_icon.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <string>

#include "core/program_path.h"

namespace {

constexpr const char* kIconFile = "Orbo_Zorvan_Tool.png";

}  // namespace

QString FindAssetFile(AppFolderKind kind, const QString& folderName, const QString& name) {
    const std::string assets = GetAppFolder(kind);
    const QString folders[] = {
        QDir(QCoreApplication::applicationDirPath()).filePath(folderName),
        QString::fromStdString(assets),
    };
    for (const QString& folder : folders) {
        if (folder.isEmpty()) continue;
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo::exists(path)) return path;
    }
    return QString();
}

QString FindImageFile(const QString& name) {
    return FindAssetFile(AppFolderKind::Image, QStringLiteral("Image"), name);
}

QString FindSkinFile(const QString& relativePath) {
    return FindAssetFile(AppFolderKind::Skin, QStringLiteral("Skin"), relativePath);
}

QIcon ProgramIcon() {
    const QString path = FindImageFile(QString::fromLatin1(kIconFile));
    return path.isEmpty() ? QIcon() : QIcon(path);
}
