#include "lathe/report.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <iterator>

namespace {

using Json = nlohmann::ordered_json;

// Plain numbers for spreadsheets: no padding, enough digits to compare.
std::string Plain(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

std::string ThreePairLine(const ReportedTrain& train, double desiredTpi, ThreadType type) {
    ThreePairTrain threePairs;
    threePairs.A = train.A;
    threePairs.B = train.B;
    threePairs.C = train.C;
    threePairs.D = train.D;
    threePairs.E = *train.E;
    threePairs.F = *train.F;
    threePairs.thread = train.thread;
    threePairs.error = train.error;
    return FormatThreePairLine(threePairs, desiredTpi, type);
}

// Exactly the window's result line, or its longer form for three pairs.
std::string TextLine(const ReportedTrain& train, double desiredTpi, ThreadType type) {
    if (train.E) {
        return ThreePairLine(train, desiredTpi, type);
    }
    GearTrain twoPairs;
    twoPairs.A = train.A;
    twoPairs.B = train.B;
    twoPairs.C = train.C;
    twoPairs.D = train.D;
    twoPairs.thread = train.thread;
    twoPairs.error = train.error;
    std::string line = FormatResultLine(twoPairs, desiredTpi, type);
    if (train.idler) {
        line.replace(line.find("B = ANY"), 7, "B = " + std::to_string(*train.idler));
    }
    return line;
}

Json TrainJson(const ReportedTrain& train, double desiredTpi, ThreadType type) {
    Json object;
    object["a"] = train.A;
    object["b"] =
        IsSimple(train) && !train.idler ? Json(nullptr) : Json(train.idler.value_or(train.B));
    object["c"] = IsSimple(train) ? Json(nullptr) : Json(train.C);
    object["d"] = train.D;
    object["e"] = train.E ? Json(*train.E) : Json(nullptr);
    object["f"] = train.F ? Json(*train.F) : Json(nullptr);
    object["thread"] = TpiToThread(type, train.thread);
    object["unit"] = UnitName(type);
    object["error_percent"] = PercentError(train, desiredTpi);
    object["simple"] = IsSimple(train);
    if (!train.gearbox.empty()) {
        object["gearbox"] = train.gearbox;
    }
    if (train.studs) {
        object["studs"] = Json::array();
        for (const StudPosition& stud : *train.studs) {
            object["studs"].push_back({{"x", stud.x}, {"y", stud.y}});
        }
    }
    return object;
}

Json DialJson(const DialAnswer& answer) {
    if (answer.anywhere) {
        return {{"anywhere", true}};
    }
    if (answer.marks.empty()) {
        return nullptr;
    }
    return {{"gear", answer.gear}, {"marks", answer.marks}};
}

Json TrainJson(const ReportedTrain& train, double desiredTpi, ThreadType type,
               const DialSetup* dial) {
    Json object = TrainJson(train, desiredTpi, type);
    if (dial != nullptr) {
        object["dial"] = DialJson(dial->AnswerFor(train));
    }
    return object;
}

std::string Teeth(const std::optional<std::int64_t>& teeth) {
    return teeth ? std::to_string(*teeth) : "";
}

// A simple train's B and C are left empty, as its idler may be any gear, and
// so are E and F of a train of two pairs.
std::string CsvGears(const ReportedTrain& train) {
    const std::string b = IsSimple(train) ? Teeth(train.idler) : std::to_string(train.B);
    const std::string c = IsSimple(train) ? "" : std::to_string(train.C);
    return std::to_string(train.A) + "," + b + "," + c + "," + std::to_string(train.D) + "," +
           Teeth(train.E) + "," + Teeth(train.F) + "," + (IsSimple(train) ? "true" : "false");
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

// Trains found on a gearbox name their position: in brackets before a text
// line, in a last CSV column, in a text chart's column as wide as its
// longest label.
std::string Position(const ReportedTrain& train) {
    return train.gearbox.empty() ? "" : "[" + train.gearbox + "] ";
}

bool HasGearbox(const std::vector<ReportedTrain>& trains) {
    return std::any_of(trains.begin(), trains.end(),
                       [](const ReportedTrain& train) { return !train.gearbox.empty(); });
}

bool HasGearbox(const std::vector<ChartEntry>& chart) {
    return std::any_of(chart.begin(), chart.end(),
                       [](const ChartEntry& entry) { return HasGearbox(entry.trains); });
}

std::string CsvGearbox(const ReportedTrain& train) {
    return train.gearbox.empty() ? "" : "," + CsvField(train.gearbox);
}

std::string CsvDialHeading(const DialSetup* dial) {
    return dial != nullptr ? ",dial_gear,dial_marks" : "";
}

std::string CsvDial(const ReportedTrain& train, const DialSetup* dial) {
    if (dial == nullptr) {
        return "";
    }
    const DialAnswer answer = dial->AnswerFor(train);
    const std::string gear = answer.marks.empty() ? "" : std::to_string(answer.gear);
    return "," + gear + "," + CsvField(DialMarksText(answer));
}

// ", Dial = 1,3,5,7" at the end of a text line.
std::string DialSuffix(const ReportedTrain& train, const DialSetup* dial) {
    return dial != nullptr ? ", Dial = " + DialText(dial->AnswerFor(train), dial->NamesGear()) : "";
}

std::size_t GearboxWidth(const std::vector<ChartEntry>& chart) {
    std::size_t width = 0;
    for (const ChartEntry& entry : chart) {
        for (const ReportedTrain& train : entry.trains) {
            width = std::max(width, train.gearbox.size());
        }
    }
    return width == 0 ? 0 : std::max<std::size_t>(width, 7);
}

std::string GearboxCell(const std::string& label, std::size_t width) {
    return width == 0 ? "" : label + std::string(width + 1 - label.size(), ' ');
}

std::string ChartHeading(bool threePairs, std::size_t gearboxWidth, const DialSetup* dial) {
    return FormatText("%-10s %-12s %s%6s %6s %6s %6s", "Thread", "Wanted",
                      GearboxCell("Gearbox", gearboxWidth).c_str(), "A", "B", "C", "D") +
           (threePairs ? FormatText(" %6s %6s", "E", "F") : "") +
           FormatText(" %10s %9s", "Cut", "Error") + (dial != nullptr ? "  Dial\n" : "\n");
}

std::string DialCell(const ReportedTrain& train, const DialSetup* dial) {
    return dial != nullptr ? "  " + DialText(dial->AnswerFor(train), dial->NamesGear()) : "";
}

// The thread's name and wanted value stand on its first row only.
std::string ChartRow(const ChartEntry& entry, const ReportedTrain& train, bool first,
                     bool threePairs, std::size_t gearboxWidth, const DialSetup* dial) {
    const std::string b = BText(train);
    const std::string c = IsSimple(train) ? "--" : std::to_string(train.C);
    return FormatText("%-10s %-12s %s%6" PRId64 " %6s %6s %6" PRId64,
                      first ? entry.thread.name.c_str() : "",
                      first ? WantedText(entry.thread).c_str() : "",
                      GearboxCell(train.gearbox, gearboxWidth).c_str(), train.A, b.c_str(),
                      c.c_str(), train.D) +
           (threePairs ? FormatText(" %6s %6s", Teeth(train.E).c_str(), Teeth(train.F).c_str())
                       : "") +
           FormatText(" %10.3f %8.3f%%", TpiToThread(entry.thread.type, train.thread),
                      PercentError(train, entry.desiredTpi)) +
           DialCell(train, dial) + "\n";
}

void WriteTextChart(std::ostream& out, const std::vector<ChartEntry>& chart,
                    const ChartSetting& setting) {
    const bool threePairs = setting.pairs == 3;
    const std::size_t gearboxWidth = GearboxWidth(chart);
    const DialSetup* dial = setting.dial ? &*setting.dial : nullptr;
    out << "Lead screw " << setting.leadScrew << "; gears " << GearList(setting.gears)
        << (threePairs ? "; trains of two or three pairs" : "") << "\n"
        << "Fit rules: " << RulesText(setting.rules) << "\n";
    if (dial != nullptr) {
        out << "Dial " << DialGearsText(dial->gears) << "\n" << kDialKey << "\n";
    }
    std::string list;
    for (const ChartEntry& entry : chart) {
        if (entry.list != list) {
            list = entry.list;
            const ThreadList* found = FindThreadList(list);
            out << "\n"
                << (found != nullptr ? found->description : list) << "\n"
                << ChartHeading(threePairs, gearboxWidth, dial);
        }
        if (entry.trains.empty()) {
            out << FormatText("%-10s %-12s  no train of these gears fits\n",
                              entry.thread.name.c_str(), WantedText(entry.thread).c_str());
        }
        for (std::size_t i = 0; i < entry.trains.size(); ++i) {
            out << ChartRow(entry, entry.trains[i], i == 0, threePairs, gearboxWidth, dial);
        }
    }
}

void WriteCsvChart(std::ostream& out, const std::vector<ChartEntry>& chart, const DialSetup* dial) {
    // The gearbox column comes with trains found on a gearbox. A chart has
    // trains for every thread or for none (what can be mounted does not
    // depend on the thread wanted), so an empty row never needs it.
    out << "list,name,wanted,unit,rank,a,b,c,d,e,f,simple,thread,error_percent"
        << (HasGearbox(chart) ? ",gearbox" : "") << CsvDialHeading(dial) << "\n";
    for (const ChartEntry& entry : chart) {
        const std::string thread = CsvField(entry.list) + "," + CsvField(entry.thread.name) + "," +
                                   Plain(entry.thread.value) + "," + UnitName(entry.thread.type);
        if (entry.trains.empty()) {
            out << thread << ",,,,,,,,,," << (dial != nullptr ? ",," : "") << "\n";
        }
        int rank = 1;
        for (const ReportedTrain& train : entry.trains) {
            out << thread << "," << rank++ << "," << CsvGears(train) << ","
                << Plain(TpiToThread(entry.thread.type, train.thread)) << ","
                << Plain(PercentError(train, entry.desiredTpi)) << CsvGearbox(train)
                << CsvDial(train, dial) << "\n";
        }
    }
}

void WriteJsonChart(std::ostream& out, const std::vector<ChartEntry>& chart,
                    const DialSetup* dial) {
    Json entries = Json::array();
    for (const ChartEntry& entry : chart) {
        Json trains = Json::array();
        for (const ReportedTrain& train : entry.trains) {
            trains.push_back(TrainJson(train, entry.desiredTpi, entry.thread.type, dial));
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

void WriteTrains(std::ostream& out, OutputFormat format, const std::vector<ReportedTrain>& trains,
                 double desiredTpi, ThreadType type, const DialSetup* dial) {
    if (format == OutputFormat::Json) {
        Json array = Json::array();
        for (const ReportedTrain& train : trains) {
            array.push_back(TrainJson(train, desiredTpi, type, dial));
        }
        out << array.dump(2) << "\n";
        return;
    }
    if (format == OutputFormat::Csv) {
        out << "rank,a,b,c,d,e,f,simple,thread,unit,error_percent"
            << (HasGearbox(trains) ? ",gearbox" : "") << CsvDialHeading(dial) << "\n";
        int rank = 1;
        for (const ReportedTrain& train : trains) {
            out << rank++ << "," << CsvGears(train) << "," << Plain(TpiToThread(type, train.thread))
                << "," << UnitName(type) << "," << Plain(PercentError(train, desiredTpi))
                << CsvGearbox(train) << CsvDial(train, dial) << "\n";
        }
        return;
    }
    for (const ReportedTrain& train : trains) {
        out << Position(train) << TextLine(train, desiredTpi, type) << DialSuffix(train, dial)
            << '\n';
    }
}

void WriteChart(std::ostream& out, OutputFormat format, const std::vector<ChartEntry>& chart,
                const ChartSetting& setting) {
    const DialSetup* dial = setting.dial ? &*setting.dial : nullptr;
    switch (format) {
    case OutputFormat::Csv:
        WriteCsvChart(out, chart, dial);
        return;
    case OutputFormat::Json:
        WriteJsonChart(out, chart, dial);
        return;
    case OutputFormat::Text:
    case OutputFormat::Pdf:
    case OutputFormat::Svg:
        break;
    }
    WriteTextChart(out, chart, setting);
}
