// The CSV form of target reports, shared by zorvan-cli ("monitor --csv", "replay --csv") and the
// plots' data export, so that both write the same columns: seconds since the run started (three
// decimals), the raw state number, the raw distance in centimetres and the 16 gate energies in dB
// (two decimals). No locale: a decimal point, fields separated by commas.
//
// Qt-free; any thread.
#pragma once

#include <string>

#include "device/report_frame.h"

// The header line (field names, no line end).
std::string ReportCsvHeader();

// One report as a line (no line end). `seconds` is the time since the run started.
std::string ReportCsvRow(const TargetReport& report, double seconds);
