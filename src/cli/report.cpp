#include "report.h"

#include <nlohmann/json.hpp>

#include <cinttypes>
#include <cstdio>

namespace {

using Json = nlohmann::ordered_json;

// Plain numbers for spreadsheets: no padding, enough digits to compare.
std::string Plain(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

// Exactly the window's result line.
std::string TextLine(const ReportedTrain& train, double desiredTpi, ThreadType type) {
    GearTrain twoPairs;
    twoPairs.A = train.A;
    twoPairs.B = train.B;
    twoPairs.C = train.C;
    twoPairs.D = train.D;
    twoPairs.thread = train.thread;
    twoPairs.error = train.error;
    return FormatResultLine(twoPairs, desiredTpi, type);
}

Json TrainJson(const ReportedTrain& train, double desiredTpi, ThreadType type) {
    Json object;
    object["a"] = train.A;
    object["b"] = IsSimple(train) ? Json(nullptr) : Json(train.B);
    object["c"] = IsSimple(train) ? Json(nullptr) : Json(train.C);
    object["d"] = train.D;
    object["thread"] = TpiToThread(type, train.thread);
    object["unit"] = UnitName(type);
    object["error_percent"] = PercentError(train, desiredTpi);
    object["simple"] = IsSimple(train);
    return object;
}

// A simple train's B and C are left empty, as its idler may be any gear.
std::string CsvGears(const ReportedTrain& train) {
    const std::string b = IsSimple(train) ? "" : std::to_string(train.B);
    const std::string c = IsSimple(train) ? "" : std::to_string(train.C);
    return std::to_string(train.A) + "," + b + "," + c + "," + std::to_string(train.D) + "," +
           (IsSimple(train) ? "true" : "false");
}

// Quoted only when a field needs it, as RFC 4180 has it.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c == '"' ? "\"\"" : std::string(1, c);
    }
    return quoted + "\"";
}

void WriteTextChart(std::ostream& out, const std::vector<ChartEntry>& chart,
                    const ChartSetting& setting) {
    out << "Lead screw " << setting.leadScrew << "; gears " << GearList(setting.gears) << "\n"
        << "Fit rules: " << RulesText(setting.rules) << "\n";
    std::string list;
    char line[256];
    for (const ChartEntry& entry : chart) {
        if (entry.list != list) {
            list = entry.list;
            const ThreadList* found = FindThreadList(list);
            out << "\n" << (found != nullptr ? found->description : list) << "\n";
            std::snprintf(line, sizeof line, "%-10s %-12s %6s %6s %6s %6s %10s %9s\n", "Thread",
                          "Wanted", "A", "B", "C", "D", "Cut", "Error");
            out << line;
        }
        if (entry.trains.empty()) {
            std::snprintf(line, sizeof line, "%-10s %-12s  no train of these gears fits\n",
                          entry.thread.name.c_str(), WantedText(entry.thread).c_str());
            out << line;
        }
        bool first = true;
        for (const ReportedTrain& train : entry.trains) {
            const std::string b = IsSimple(train) ? "ANY" : std::to_string(train.B);
            const std::string c = IsSimple(train) ? "--" : std::to_string(train.C);
            std::snprintf(line, sizeof line,
                          "%-10s %-12s %6" PRId64 " %6s %6s %6" PRId64 " %10.3f %8.3f%%\n",
                          first ? entry.thread.name.c_str() : "",
                          first ? WantedText(entry.thread).c_str() : "", train.A, b.c_str(),
                          c.c_str(), train.D, TpiToThread(entry.thread.type, train.thread),
                          PercentError(train, entry.desiredTpi));
            out << line;
            first = false;
        }
    }
}

void WriteCsvChart(std::ostream& out, const std::vector<ChartEntry>& chart) {
    out << "list,name,wanted,unit,rank,a,b,c,d,simple,thread,error_percent\n";
    for (const ChartEntry& entry : chart) {
        const std::string thread = CsvField(entry.list) + "," + CsvField(entry.thread.name) + "," +
                                   Plain(entry.thread.value) + "," + UnitName(entry.thread.type);
        if (entry.trains.empty()) {
            out << thread << ",,,,,,,,\n";
        }
        int rank = 1;
        for (const ReportedTrain& train : entry.trains) {
            out << thread << "," << rank++ << "," << CsvGears(train) << ","
                << Plain(TpiToThread(entry.thread.type, train.thread)) << ","
                << Plain(PercentError(train, entry.desiredTpi)) << "\n";
        }
    }
}

void WriteJsonChart(std::ostream& out, const std::vector<ChartEntry>& chart) {
    Json entries = Json::array();
    for (const ChartEntry& entry : chart) {
        Json trains = Json::array();
        for (const ReportedTrain& train : entry.trains) {
            trains.push_back(TrainJson(train, entry.desiredTpi, entry.thread.type));
        }
        Json object;
        object["list"] = entry.list;
        object["name"] = entry.thread.name;
        object["wanted"] = entry.thread.value;
        object["unit"] = UnitName(entry.thread.type);
        object["trains"] = trains;
        entries.push_back(object);
    }
    out << entries.dump(2) << "\n";
}

} // namespace

const char* UnitName(ThreadType type) {
    switch (type) {
    case ThreadType::Metric:
        return "mm";
    case ThreadType::DP:
        return "DP";
    case ThreadType::Modulus:
        return "module";
    case ThreadType::SAE:
        break;
    }
    return "tpi";
}

bool IsSimple(const ReportedTrain& train) {
    return train.B == train.C;
}

double PercentError(const ReportedTrain& train, double desiredTpi) {
    return (train.error / desiredTpi) * 100.0;
}

std::string GearList(const std::vector<std::int64_t>& gears) {
    std::string text;
    for (std::int64_t teeth : gears) {
        text += (text.empty() ? "" : " ") + std::to_string(teeth);
    }
    return text;
}

std::string RulesText(const FitRules& rules) {
    std::string text;
    if (rules.clearance) {
        text += "clearance " + std::to_string(*rules.clearance) + " teeth; ";
    }
    if (rules.minimumSum) {
        text += "gears summing to at least " + std::to_string(*rules.minimumSum) + " teeth; ";
    }
    if (rules.spindleGear) {
        text += "spindle gear " + std::to_string(*rules.spindleGear) + "; ";
    }
    return text.empty() ? "none" : text.substr(0, text.size() - 2);
}

std::string WantedText(const StandardThread& thread) {
    char text[64];
    std::snprintf(text, sizeof text, "%g %s", thread.value, UnitName(thread.type));
    return text;
}

ReportedTrain ReportedTrainOf(const GearTrain& train) {
    return {train.A,      train.B,      train.C,     train.D, std::nullopt,
            std::nullopt, train.thread, train.error, ""};
}

std::vector<ReportedTrain> ReportedTrainsOf(const std::vector<GearTrain>& table) {
    std::vector<ReportedTrain> trains;
    for (const GearTrain& train : table) {
        if (!train.IsEmpty()) {
            trains.push_back(ReportedTrainOf(train));
        }
    }
    return trains;
}

std::vector<ChartEntry> BuildChart(const std::vector<const ThreadList*>& lists, double leadTpi,
                                   const std::vector<std::int64_t>& gears, int show,
                                   const FitRules& rules) {
    std::vector<ChartEntry> chart;
    for (const ThreadList* list : lists) {
        for (const StandardThread& thread : list->threads) {
            const double desiredTpi = ThreadToTpi(thread.type, thread.value);
            const auto table = SearchBestTrains(desiredTpi, leadTpi, gears, show, rules);
            chart.push_back({list->name, thread, desiredTpi, ReportedTrainsOf(table)});
        }
    }
    return chart;
}

void WriteTrains(std::ostream& out, OutputFormat format, const std::vector<ReportedTrain>& trains,
                 double desiredTpi, ThreadType type) {
    if (format == OutputFormat::Json) {
        Json array = Json::array();
        for (const ReportedTrain& train : trains) {
            array.push_back(TrainJson(train, desiredTpi, type));
        }
        out << array.dump(2) << "\n";
        return;
    }
    if (format == OutputFormat::Csv) {
        out << "rank,a,b,c,d,simple,thread,unit,error_percent\n";
        int rank = 1;
        for (const ReportedTrain& train : trains) {
            out << rank++ << "," << CsvGears(train) << "," << Plain(TpiToThread(type, train.thread))
                << "," << UnitName(type) << "," << Plain(PercentError(train, desiredTpi)) << "\n";
        }
        return;
    }
    for (const ReportedTrain& train : trains) {
        out << TextLine(train, desiredTpi, type) << '\n';
    }
}

void WriteChart(std::ostream& out, OutputFormat format, const std::vector<ChartEntry>& chart,
                const ChartSetting& setting) {
    switch (format) {
    case OutputFormat::Csv:
        WriteCsvChart(out, chart);
        return;
    case OutputFormat::Json:
        WriteJsonChart(out, chart);
        return;
    case OutputFormat::Text:
    case OutputFormat::Pdf:
    case OutputFormat::Svg:
        break;
    }
    WriteTextChart(out, chart, setting);
}
