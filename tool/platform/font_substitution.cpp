#include "platform/font_substitution.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace {

// Installed CJK sans-serif faces, most wanted first (fonts-wqy-zenhei is the one we install).
const char* const kCjkFaces[] = {"WenQuanYi Zen Hei", "Noto Sans CJK SC", "Source Han Sans SC",
                                 "Droid Sans Fallback"};

QString FindInstalledCjkFace() {
    const QStringList families = QFontDatabase::families();
    for (const char* face : kCjkFaces) {
        const QString name = QString::fromUtf8(face);
        if (families.contains(name, Qt::CaseInsensitive)) return name;
    }
    return QString();
}

}  // namespace

QString InstallFontSubstitutions() {
    static const QString installed = [] {
        const QString face = FindInstalledCjkFace();
        if (!face.isEmpty())
            QFont::insertSubstitution(QString::fromUtf8(kTemplateChineseFace), face);
        return face;
    }();
    return installed;
}
