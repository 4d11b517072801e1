// The tool's one settings document, appConfig.xml, and its loading and saving.
//
// gAppConfig lives for the whole run. The file sits in the settings folder (GetAppFolder with
// AppFolderKind::Settings: ORBO_HOME, else the program folder when writable, else the XDG
// configuration folder). Its root element is "AppConfig", with the general settings as
// attributes and the sections "ObjectInfo", "ParamSetting" and "Download" as child elements.
// Everything else in the file is kept and written back.
//
// Load and save run on the window thread: once at start, once at exit.
#pragma once

#include <string>

#include "app/xml_parser.h"

// The settings document of the run.
extern XMLParser gAppConfig;

// Name of the root element and of the file.
constexpr const char* kAppConfigRootName = "AppConfig";
constexpr const char* kAppConfigFileName = "appConfig.xml";

// Full path of appConfig.xml; empty when no settings folder can be found.
std::string GetAppConfigPath();

// Replaces gAppConfig with the file's content (a missing, unreadable or malformed file leaves
// the document empty or partly parsed; nothing is reported). When the document then has no
// top-level element named "AppConfig" (case ignored), one is appended and the document is marked
// modified, so that the file is created or repaired at exit. Returns 1 when a file was read,
// 0 when none could be.
int LoadAppConfig();

// Writes gAppConfig to the file when it is marked modified, and clears the mark. The old file is
// replaced safely: a temporary file in the same folder is written, flushed and renamed over it,
// so a failure or a crash part-way leaves the old file as it was. The settings folder is created
// when missing. Returns 1 when the file is up to date (written now, or nothing changed); 0 when
// writing failed (logged at level 4; the document stays marked modified).
int SaveAppConfig();
