// The lines zorvan-cli prints for target reports (monitor and replay):
// - text: local time, the state as the target page names it (string table), the distance in
//   metres as the page shows it (0 while nobody is there) and the 16 gate energies in whole dB;
// - CSV: the rows of device/report_csv.h (a header line first);
// - JSON: one object per line with the same fields.
// The raw state and distance go into CSV and JSON unchanged, whatever the state.
#pragma once

#include <string>

#include "device/report_frame.h"

enum class ReportFormat { Text, Csv, Json };

// One report as a line (no line end). `seconds` is the time since the run started.
std::string FormatReport(ReportFormat format, const TargetReport& report, double seconds);
