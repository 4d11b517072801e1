// The Chinese face the dialog templates name ("黑体") is not installed on Linux: it is mapped to
// an installed CJK sans-serif face by Qt's font substitution, so every dialog and control that
// asks for it gets Chinese glyphs. Needs a QGuiApplication; window thread only.
#pragma once

#include <QString>

// The face name the templates use.
constexpr const char* kTemplateChineseFace = "黑体";

// Installs the substitution once (later calls do nothing) and returns the installed face it
// maps to; empty when none of the known CJK faces is installed (Qt's own fallback then applies).
QString InstallFontSubstitutions();
