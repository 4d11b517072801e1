#include "device/report_csv.h"

#include "core/text_format.h"

std::string ReportCsvHeader() {
    std::string header = "seconds,state,distance_cm";
    for (int gate = 0; gate < kGateCount; ++gate) {
        std::string field;
        FormatText(field, ",gate%d_db", gate);
        header += field;
    }
    return header;
}

std::string ReportCsvRow(const TargetReport& report, double seconds) {
    std::string line;
    FormatText(line, "%.3f,%d,%d", seconds, report.state, report.distance);
    for (const double energy : report.gateEnergy) {
        std::string field;
        FormatText(field, ",%.2f", energy);
        line += field;
    }
    return line;
}
