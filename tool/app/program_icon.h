// The program's icon and the files beside the program: pictures (PNG files of the "Image" folder)
// and window skins (the "Skin" folder), found in that folder next to the program (build/bin/Image
// and build/bin/Skin in a build tree), else in the assets folder GetAppFolder gives.
#pragma once

#include <QIcon>
#include <QString>

#include "core/program_path.h"

// The full path of `name` in the asset folder `folderName` beside the program, else in
// GetAppFolder(kind); empty when it is in neither.
QString FindAssetFile(AppFolderKind kind, const QString& folderName, const QString& name);

// The full path of a picture of the "Image" folder, or empty when it is found nowhere.
QString FindImageFile(const QString& name);

// The full path of a skin file below the "Skin" folder ("ENG/Download/Download_FW.xml"), or
// empty when it is found nowhere.
QString FindSkinFile(const QString& relativePath);

// The program's icon (empty when its file is missing).
QIcon ProgramIcon();
