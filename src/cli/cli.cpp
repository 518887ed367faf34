#include "cli.h"

#include "gearcalc.h"
#include "report.h"
#include "thread_lists.h"

#include <getopt.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#ifndef VANTOREL_VERSION
#error "VANTOREL_VERSION must be defined by the build"
#endif

namespace {

constexpr const char* kProgram = "vantorel-cli";
constexpr const char* kDefaultGears = "20,20,25,30,35,40,40,45,50,55,60,65,80,80";
constexpr const char* kDefaultThreadLists = "metric-coarse,unc";

enum ExitStatus { kDone = 0, kRefused = 1, kBadUsage = 2 };

struct Options {
    bool chart = false;
    ThreadType type = ThreadType::SAE;
    std::string leadScrew = "16";
    LeadScrewUnit leadUnit = LeadScrewUnit::TPI;
    std::vector<std::int64_t> gears;
    std::optional<int> show;
    std::string thread;
    std::vector<const ThreadList*> lists;
    OutputFormat format = OutputFormat::Text;
    FitRules rules;
};

// Thrown only inside this file, to leave argument parsing at the first fault.
struct UsageError {
    std::string message;
};

void PrintUsage(std::ostream& out) {
    out << "Usage: " << kProgram << " [options] THREAD\n"
        << "       " << kProgram << " chart [options]\n"
        << "Lists the change-gear trains that best cut THREAD on a screw-cutting lathe,\n"
        << "or, with chart, the best train for every thread of standard lists.\n"
        << "\n"
        << "  -t, --type sae|metric|dp|module   how THREAD is read (default sae)\n"
        << "  -l, --lead-screw VALUE            lead-screw pitch (default 16)\n"
        << "  -u, --lead-unit tpi|mm            unit of the lead screw (default tpi)\n"
        << "  -g, --gears LIST                  comma-separated tooth counts\n"
        << "                                    (default " << kDefaultGears << ")\n"
        << "  -n, --show N                      how many trains to list, 1 to 99\n"
        << "                                    (default 5; 1 per thread in a chart)\n"
        << "      --format text|csv|json        output format (default text)\n"
        << "      --clearance K                 compound trains only where B + K <= C + D\n"
        << "                                    and C + K <= A + B (teeth)\n"
        << "      --min-sum S                   compound trains only where A + B + C + D >= S\n"
        << "      --spindle-gear A              only trains with this gear as A\n"
        << "      --threads LIST                chart: comma-separated lists, or all\n"
        << "                                    (default " << kDefaultThreadLists << ")\n"
        << "  -h, --help                        show this help and exit\n"
        << "      --version                     show the version and exit\n"
        << "\n"
        << "Thread lists:";
    for (const ThreadList& list : BuiltInThreadLists()) {
        out << ' ' << list.name;
    }
    out << "\n\n"
        << "Exit status: 0 on success (also when no train is found), 1 when an input\n"
        << "cannot be used for a calculation, 2 on a malformed command line.\n";
}

// One of a few named choices, or a usage error naming `what` was given.
template <typename Value>
Value ParseChoice(const std::string& text, const char* what,
                  std::initializer_list<std::pair<const char*, Value>> choices) {
    for (const auto& [name, value] : choices) {
        if (text == name) {
            return value;
        }
    }
    throw UsageError{std::string("invalid ") + what + " '" + text + "'"};
}

ThreadType ParseThreadType(const std::string& text) {
    return ParseChoice<ThreadType>(text, "thread type",
                                   {{"sae", ThreadType::SAE},
                                    {"metric", ThreadType::Metric},
                                    {"dp", ThreadType::DP},
                                    {"module", ThreadType::Modulus}});
}

LeadScrewUnit ParseLeadUnit(const std::string& text) {
    return ParseChoice<LeadScrewUnit>(text, "lead-screw unit",
                                      {{"tpi", LeadScrewUnit::TPI}, {"mm", LeadScrewUnit::MM}});
}

OutputFormat ParseFormat(const std::string& text) {
    return ParseChoice<OutputFormat>(
        text, "format",
        {{"text", OutputFormat::Text}, {"csv", OutputFormat::Csv}, {"json", OutputFormat::Json}});
}

// "a,b,,c" gives four items, the third empty: nothing is silently dropped.
std::vector<std::string> SplitAtCommas(const std::string& text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        items.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) {
            return items;
        }
        start = comma + 1;
    }
}

std::vector<std::int64_t> ParseGearList(const std::string& text) {
    std::vector<std::int64_t> gears;
    if (text.empty()) {
        return gears;
    }
    for (const std::string& item : SplitAtCommas(text)) {
        long teeth = 0;
        if (!ParseWholeNumber(item, &teeth) || teeth <= 0) {
            throw UsageError{"invalid gear '" + item + "'"};
        }
        gears.push_back(teeth);
    }
    return gears;
}

int ParseShow(const std::string& text) {
    long show = 0;
    if (!ParseWholeNumber(text, &show) || show < 1 || show > kMaxTrains - 1) {
        throw UsageError{"invalid number to show '" + text + "' (1 to 99)"};
    }
    return static_cast<int>(show);
}

// Tooth counts of the fit rules: whole numbers from `lowest` up.
std::int64_t ParseTeeth(const std::string& text, const char* what, long lowest) {
    long teeth = 0;
    if (!ParseWholeNumber(text, &teeth) || teeth < lowest) {
        throw UsageError{std::string("invalid ") + what + " '" + text + "'"};
    }
    return teeth;
}

std::vector<const ThreadList*> ParseThreadLists(const std::string& text) {
    std::vector<const ThreadList*> lists;
    for (const std::string& name : SplitAtCommas(text)) {
        if (name == "all") {
            for (const ThreadList& list : BuiltInThreadLists()) {
                lists.push_back(&list);
            }
        } else if (const ThreadList* list = FindThreadList(name)) {
            lists.push_back(list);
        } else {
            throw UsageError{"unknown thread list '" + name + "'"};
        }
    }
    return lists;
}

// The option as the user typed it: a long option by its name, a short one by
// its letter (it may stand in a group such as "-xn").
std::string OptionName(char** argv) {
    const std::string typed = argv[optind - 1];
    if (typed.rfind("--", 0) == 0) {
        return typed.substr(0, typed.find('='));
    }
    return std::string("-") + static_cast<char>(optopt);
}

enum LongOnly {
    kVersionOption = 256,
    kFormatOption,
    kClearanceOption,
    kMinSumOption,
    kSpindleGearOption,
    kThreadsOption,
};

// Fills `options`; returns an exit status when the run should end here.
std::optional<int> ParseArguments(int argc, char** argv, Options& options, std::ostream& out) {
    static const option longOptions[] = {
        {"type", required_argument, nullptr, 't'},
        {"lead-screw", required_argument, nullptr, 'l'},
        {"lead-unit", required_argument, nullptr, 'u'},
        {"gears", required_argument, nullptr, 'g'},
        {"show", required_argument, nullptr, 'n'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, kVersionOption},
        {"format", required_argument, nullptr, kFormatOption},
        {"clearance", required_argument, nullptr, kClearanceOption},
        {"min-sum", required_argument, nullptr, kMinSumOption},
        {"spindle-gear", required_argument, nullptr, kSpindleGearOption},
        {"threads", required_argument, nullptr, kThreadsOption},
        {nullptr, 0, nullptr, 0},
    };
    // "chart" comes first; the parser then sees it as the program name.
    if (argc > 1 && std::string(argv[1]) == "chart") {
        options.chart = true;
        --argc;
        ++argv;
    }
    std::string gearText = kDefaultGears;
    std::string threadLists = kDefaultThreadLists;
    bool typeGiven = false;
    bool listsGiven = false;
    optind = 0; // a full reset, so the parser can run more than once per process
    opterr = 0;
    int option;
    while ((option = getopt_long(argc, argv, ":t:l:u:g:n:h", longOptions, nullptr)) != -1) {
        switch (option) {
        case 't':
            options.type = ParseThreadType(optarg);
            typeGiven = true;
            break;
        case 'l':
            options.leadScrew = optarg;
            break;
        case 'u':
            options.leadUnit = ParseLeadUnit(optarg);
            break;
        case 'g':
            gearText = optarg;
            break;
        case 'n':
            options.show = ParseShow(optarg);
            break;
        case 'h':
            PrintUsage(out);
            return kDone;
        case kVersionOption:
            out << kProgram << ' ' << VANTOREL_VERSION << '\n';
            return kDone;
        case kFormatOption:
            options.format = ParseFormat(optarg);
            break;
        case kClearanceOption:
            options.rules.clearance = ParseTeeth(optarg, "clearance", 0);
            break;
        case kMinSumOption:
            options.rules.minimumSum = ParseTeeth(optarg, "minimum sum", 0);
            break;
        case kSpindleGearOption:
            options.rules.spindleGear = ParseTeeth(optarg, "spindle gear", 1);
            break;
        case kThreadsOption:
            threadLists = optarg;
            listsGiven = true;
            break;
        case ':':
            throw UsageError{"option '" + OptionName(argv) + "' needs a value"};
        default:
            throw UsageError{"unknown option '" + OptionName(argv) + "'"};
        }
    }
    options.gears = ParseGearList(gearText);
    if (options.chart) {
        if (typeGiven) {
            throw UsageError{"option '--type' does not apply to a chart: each list says its type"};
        }
        if (optind < argc) {
            throw UsageError{"unexpected argument '" + std::string(argv[optind]) + "'"};
        }
        options.lists = ParseThreadLists(threadLists);
        return std::nullopt;
    }
    if (listsGiven) {
        throw UsageError{"option '--threads' applies only to a chart"};
    }
    if (optind >= argc) {
        throw UsageError{"missing THREAD"};
    }
    if (optind + 1 < argc) {
        throw UsageError{"unexpected argument '" + std::string(argv[optind + 1]) + "'"};
    }
    options.thread = argv[optind];
    return std::nullopt;
}

int Refuse(std::ostream& err, const char* message) {
    err << kProgram << ": " << message << '\n';
    return kRefused;
}

// The window keeps its gear list in ascending order, so its first 100 gears
// are the smallest; the same list order gives the same tie-breaks.
void SortGears(Options& options) {
    std::sort(options.gears.begin(), options.gears.end());
}

// The lead screw's check and the gear count's, the window's last two, in its
// order and with its messages. Returns the lead screw in threads per inch, or
// nothing once the refusal is printed.
std::optional<double> LeadTpiOrRefuse(const Options& options, std::ostream& err) {
    double lead = 0.0;
    if (!ParseMeasure(options.leadScrew, &lead) || !IsUsableMeasure(lead)) {
        Refuse(err, "You must enter a lead screw pitch!");
        return std::nullopt;
    }
    if (options.gears.size() < 2) {
        Refuse(err, "Not enough change gears!");
        return std::nullopt;
    }
    return LeadScrewToTpi(options.leadUnit, lead);
}

int Calculate(Options& options, std::ostream& out, std::ostream& err) {
    double desired = 0.0;
    if (!ParseMeasure(options.thread, &desired) || !IsUsableMeasure(desired)) {
        return Refuse(err, "Nothing to convert!");
    }
    const std::optional<double> leadTpi = LeadTpiOrRefuse(options, err);
    if (!leadTpi) {
        return kRefused;
    }
    SortGears(options);
    const double desiredTpi = ThreadToTpi(options.type, desired);
    const auto table = SearchBestTrains(desiredTpi, *leadTpi, options.gears,
                                        options.show.value_or(5), options.rules);
    WriteTrains(out, options.format, table, desiredTpi, options.type);
    return kDone;
}

int Chart(Options& options, std::ostream& out, std::ostream& err) {
    const std::optional<double> leadTpi = LeadTpiOrRefuse(options, err);
    if (!leadTpi) {
        return kRefused;
    }
    SortGears(options);
    const auto chart =
        BuildChart(options.lists, *leadTpi, options.gears, options.show.value_or(1), options.rules);
    const char* unit = options.leadUnit == LeadScrewUnit::MM ? " mm" : " tpi";
    WriteChart(out, options.format, chart,
               {options.leadScrew + unit, options.gears, options.rules});
    return kDone;
}

} // namespace

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err) {
    Options options;
    try {
        if (const auto status = ParseArguments(argc, argv, options, out)) {
            return *status;
        }
    } catch (const UsageError& error) {
        err << kProgram << ": " << error.message << " (try '" << kProgram << " --help')\n";
        return kBadUsage;
    }
    return options.chart ? Chart(options, out, err) : Calculate(options, out, err);
}
