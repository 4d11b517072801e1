#include "report_format.h"

#include "cli_output.h"
#include "core/text_format.h"
#include "core/time_util.h"
#include "device/report_csv.h"
#include "pages/target/target_status.h"
#include "resources/string_table.h"

namespace {

std::string TimeOfDay() {
    LocalDateTime now;
    std::string text;
    if (GetLocalDateTime(now)) {
        FormatText(text, "%02d:%02d:%02d.%03d", now.hour, now.minute, now.second, now.milliseconds);
    }
    return text;
}

}  // namespace

std::string FormatReport(ReportFormat format, const TargetReport& report, double seconds) {
    std::string line;
    switch (format) {
        case ReportFormat::Text: {
            FormatText(line, "%s  %-22s %5.2f m  energy dB:", TimeOfDay().c_str(),
                       TargetStateText(report.state).c_str(), ShownDistanceMetres(report));
            for (const double energy : report.gateEnergy) line += " " + FixedText(energy, 0);
            break;
        }
        case ReportFormat::Csv: {
            line = ReportCsvRow(report, seconds);
            break;
        }
        case ReportFormat::Json: {
            FormatText(line, "{\"seconds\":%.3f,\"state\":%d,\"distance_cm\":%d,\"energy_db\":[",
                       seconds, report.state, report.distance);
            for (int gate = 0; gate < kGateCount; ++gate) {
                if (gate > 0) line += ",";
                line += FixedText(report.gateEnergy[gate], 2);
            }
            line += "]}";
            break;
        }
    }
    return line;
}
