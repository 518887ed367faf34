#include "cli/cli.h"

#include "core/gearcalc.h"
#include "lathe/chart_document.h"
#include "lathe/gearbox.h"
#include "lathe/lathe_profile.h"
#include "lathe/mount_report.h"
#include "lathe/report.h"
#include "lathe/thread_lists.h"
#include "lathe/train_drawing.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <memory>
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

// What the command line asks for, as typed where the window's own checks
// (and their messages) come later.
struct Options {
    ThreadType type = ThreadType::SAE;
    std::string thread;
    std::string leadScrew = "16";
    LeadScrewUnit leadUnit = LeadScrewUnit::TPI;
    std::string gears = kDefaultGears;
    std::optional<int> show;
    int pairs = 2;
    OutputFormat format = OutputFormat::Text;
    FitRules rules;
    std::string threadLists = kDefaultThreadLists;
    std::string output; // chart: the file to write, "-" for standard output
    DocumentLayout document;
    std::vector<GearboxPosition> gearbox;            // none: the lead screw drives directly
    std::vector<DialGear> dial;                      // none: no dial answers
    std::string dialScrew;                           // with a gearbox and a dial, as typed
    std::map<std::string, std::string> typedGearbox; // --gearbox's lead screws by label
    std::string lathe;
    std::string saveAs;
    bool force = false;
    std::optional<Banjo> banjo;
    std::string mountGears; // mount: the train, A,B,D or A,B,C,D or A,B,C,D,E,F
    std::string drawn;      // draw: such a train, or a thread (no comma)
    std::optional<OutputFormat> drawing;
};

// Thrown only inside this file, for faults the parser cannot see by itself.
struct UsageError {
    std::string message;
};

std::string NotANumber(const std::string& text) {
    return "'" + text + "' is not a number";
}

// A measure may be empty or unusable (the window's messages say so later),
// but what is typed must be a number.
const CLI::Validator kMeasure(
    [](std::string& text) { return text.empty() || IsPlainDecimal(text) ? "" : NotANumber(text); },
    "", "measure");

// A whole number from `lowest` to `highest`, read in base 10 whatever its
// leading zeros, handed on in a form the parser cannot read as octal.
std::string CheckWholeNumber(std::string& text, long lowest, long highest) {
    if (!IsPlainDecimal(text)) {
        return NotANumber(text);
    }
    const bool digitsOnly = text.find_first_not_of("-0123456789") == std::string::npos;
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (!digitsOnly || errno == ERANGE || value < lowest || value > highest) {
        const std::string range = highest == LONG_MAX ? " of at least " + std::to_string(lowest)
                                                      : " from " + std::to_string(lowest) + " to " +
                                                            std::to_string(highest);
        return "'" + text + "' is not a whole number" + range;
    }
    text = std::to_string(value);
    return "";
}

CLI::Validator WholeNumber(long lowest, long highest = LONG_MAX) {
    return CLI::Validator(
        [lowest, highest](std::string& text) { return CheckWholeNumber(text, lowest, highest); },
        "", "whole number");
}

// Each tooth count as --gears' validator sees it; an empty list is left to
// the window's "Not enough change gears!".
const CLI::Validator kGearList(
    [](std::string& text) {
        if (text.empty()) {
            return std::string();
        }
        std::string canonical;
        for (std::string item : SplitAtCommas(text)) {
            const std::string fault = CheckWholeNumber(item, 1, LONG_MAX);
            if (!fault.empty()) {
                return fault;
            }
            canonical += (canonical.empty() ? "" : ",") + item;
        }
        text = canonical;
        return std::string();
    },
    "", "gear list");

const CLI::Validator kThreadLists(
    [](std::string& text) {
        for (const std::string& name : SplitAtCommas(text)) {
            if (name != "all" && FindThreadList(name) == nullptr) {
                return "unknown thread list '" + name + "'";
            }
        }
        return std::string();
    },
    "", "thread lists");

// One of a few named choices, handed on as the number of its enumerator.
template <typename Value>
CLI::Validator Choice(std::vector<std::pair<std::string, Value>> choices) {
    return CLI::Validator(
        [choices](std::string& text) {
            std::string names;
            for (const auto& [name, value] : choices) {
                if (text == name) {
                    text = std::to_string(static_cast<int>(value));
                    return std::string();
                }
                names += (names.empty() ? "" : ", ") + name;
            }
            return "'" + text + "' is not one of " + names;
        },
        "", "choice");
}

const CLI::Validator kGearbox(
    [](std::string& text) {
        try {
            ParseGearbox(text);
            return std::string();
        } catch (const GearboxError& error) {
            return std::string(error.what());
        }
    },
    "", "gearbox");

// "module=1,distance=82,slot=42:75,stud-hub=3,...": a banjo's figures, with
// a profile's checks; a fault names the key as typed here.
Banjo ParseBanjo(const std::string& text) {
    const std::map<std::string, std::optional<double> BanjoFigures::*> numbers = {
        {"module", &BanjoFigures::module},      {"dp", &BanjoFigures::dp},
        {"distance", &BanjoFigures::distance},  {"stud-hub", &BanjoFigures::studHub},
        {"screw-hub", &BanjoFigures::screwHub}, {"margin", &BanjoFigures::margin},
        {"backlash", &BanjoFigures::backlash},
    };
    const auto number = [](const std::string& key, const std::string& value) {
        if (!IsPlainDecimal(value)) {
            throw BanjoError(key, NotANumber(value));
        }
        return std::strtod(value.c_str(), nullptr);
    };
    BanjoFigures figures;
    for (const std::string& item : SplitAtCommas(text)) {
        const std::size_t equals = item.find('=');
        const std::string key = item.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : item.substr(equals + 1);
        const std::size_t colon = value.find(':');
        if (key == "slot" && colon != std::string::npos) {
            figures.slotMin = number(key, value.substr(0, colon));
            figures.slotMax = number(key, value.substr(colon + 1));
        } else if (key == "slot") {
            throw BanjoError(key, "expected NEAR:FAR");
        } else if (numbers.count(key) != 0) {
            figures.*numbers.at(key) = number(key, value);
        } else {
            throw BanjoError(key, "unknown figure (module, dp, distance, slot, stud-hub, "
                                  "screw-hub, margin, backlash)");
        }
    }
    return MakeBanjo(figures);
}

const CLI::Validator kBanjo(
    [](std::string& text) {
        try {
            ParseBanjo(text);
            return std::string();
        } catch (const BanjoError& error) {
            std::string field = error.field;
            std::replace(field.begin(), field.end(), '_', '-');
            return "'" + field + "': " + error.what();
        }
    },
    "", "banjo");

void DeclareBanjo(CLI::App& app, Options& options) {
    app.add_option_function<std::string>(
           "--banjo", [&options](const std::string& text) { options.banjo = ParseBanjo(text); },
           "only trains that mount on this banjo:\nmodule=M|dp=P,distance=MM[,slot=NEAR:FAR]\n"
           "[,stud-hub=MM][,screw-hub=MM][,margin=MM]\n[,backlash=MM]")
        ->type_name("FIGURES")
        ->check(kBanjo);
}

// The text of each position's lead screw, which the dial reads exactly.
std::map<std::string, std::string> TypedLeadScrews(const std::string& gearbox) {
    std::map<std::string, std::string> typed;
    for (const std::string& item : SplitAtCommas(gearbox)) {
        const std::size_t equals = item.find('=');
        typed[item.substr(0, equals)] = item.substr(equals + 1);
    }
    return typed;
}

const CLI::Validator kDial(
    [](std::string& text) {
        try {
            ParseDialGears(text);
            return std::string();
        } catch (const DialError& error) {
            return std::string(error.what());
        }
    },
    "", "dial");

const CLI::Validator kDialScrew(
    [](std::string& text) {
        return ExactDecimal(text) ? "" : "'" + text + "' is not a decimal above 0";
    },
    "", "dial screw");

void DeclareDialOptions(CLI::App& app, Options& options) {
    app.add_option_function<std::string>(
           "--dial", [&options](const std::string& text) { options.dial = ParseDialGears(text); },
           "say for each train where the half-nut may\nclose on a dial gear of TEETH with MARKS;\n"
           "several: interchangeable gears, in order")
        ->type_name("TEETH:MARKS,...")
        ->check(kDial);
    app.add_option("--dial-screw", options.dialScrew,
                   "with --gearbox and --dial: the real lead\nscrew, in the unit of --lead-unit")
        ->type_name("VALUE")
        ->check(kDialScrew);
}

// What a lathe profile holds, but for --pairs and the fit rules.
void DeclareLatheOptions(CLI::App& app, Options& options) {
    CLI::Option* lead =
        app.add_option("-l,--lead-screw", options.leadScrew, "lead-screw pitch (default 16)")
            ->type_name("VALUE")
            ->check(kMeasure);
    app.add_option("-u,--lead-unit", options.leadUnit, "unit of the lead screw (default tpi)")
        ->type_name("tpi|mm")
        ->transform(
            Choice<LeadScrewUnit>({{"tpi", LeadScrewUnit::TPI}, {"mm", LeadScrewUnit::MM}}));
    app.add_option("-g,--gears", options.gears,
                   std::string("comma-separated tooth counts\n(default ") + kDefaultGears + ")")
        ->type_name("LIST")
        ->transform(kGearList);
    app.add_option_function<std::string>(
           "--gearbox",
           [&options](const std::string& text) {
               options.gearbox = ParseGearbox(text);
               options.typedGearbox = TypedLeadScrews(text);
           },
           "the lead screw of each gearbox position,\nin the unit of --lead-unit")
        ->type_name("LABEL=VALUE,...")
        ->check(kGearbox)
        ->excludes(lead);
    app.add_option("--lathe", options.lathe,
                   "a lathe profile by name, or a file; the\nother options override its fields")
        ->type_name("NAME|PATH");
    DeclareDialOptions(app, options);
}

void DeclarePairsAndFitRules(CLI::App& app, Options& options) {
    app.add_option("--pairs", options.pairs, "pairs of change gears in a train (default 2)")
        ->type_name("2|3")
        ->transform(Choice<int>({{"2", 2}, {"3", 3}}));
    app.add_option_function<std::int64_t>(
           "--clearance", [&options](const std::int64_t& k) { options.rules.clearance = k; },
           "K teeth of room wherever a gear passes a shaft:\nB + K <= C + D and C + K <= A + B, "
           "and for\nthree pairs E + K <= C + D and D + K <= E + F")
        ->type_name("K")
        ->transform(WholeNumber(0));
    app.add_option_function<std::int64_t>(
           "--min-sum", [&options](const std::int64_t& s) { options.rules.minimumSum = s; },
           "compound trains only where all gears sum to\nS teeth or more")
        ->type_name("S")
        ->transform(WholeNumber(0));
    app.add_option_function<std::int64_t>(
           "--spindle-gear", [&options](const std::int64_t& a) { options.rules.spindleGear = a; },
           "only trains with this gear as A")
        ->type_name("A")
        ->transform(WholeNumber(1));
    DeclareBanjo(app, options);
}

// The options a single thread and a chart share.
// A chart may also be drawn as a PDF or SVG document.
void DeclareSharedOptions(CLI::App& app, Options& options, bool chart) {
    DeclareLatheOptions(app, options);
    app.add_option_function<int>(
           "-n,--show", [&options](const int& show) { options.show = show; },
           "how many trains to list, 1 to 99\n(default 5; 1 per thread in a chart)")
        ->type_name("N")
        ->transform(WholeNumber(1, kMaxTrains - 1));
    std::vector<std::pair<std::string, OutputFormat>> formats = {
        {"text", OutputFormat::Text}, {"csv", OutputFormat::Csv}, {"json", OutputFormat::Json}};
    if (chart) {
        formats.insert(formats.end(), {{"pdf", OutputFormat::Pdf}, {"svg", OutputFormat::Svg}});
    }
    app.add_option("--format", options.format, "output format (default text)")
        ->type_name(chart ? "text|csv|json|pdf|svg" : "text|csv|json")
        ->transform(Choice<OutputFormat>(formats));
    DeclarePairsAndFitRules(app, options);
}

const CLI::Validator kPercent(
    [](std::string& text) {
        if (!IsPlainDecimal(text)) {
            return NotANumber(text);
        }
        return std::strtod(text.c_str(), nullptr) < 0.0 ? "'" + text + "' is below 0" : "";
    },
    "", "percent");

// Where a chart goes, and how a PDF or SVG chart is laid out.
void DeclareDocumentOptions(CLI::App& chart, Options& options) {
    chart
        .add_option("-o,--output", options.output,
                    "write the chart to FILE, - for standard\noutput (needed for pdf and svg)")
        ->type_name("FILE");
    chart.add_option("--paper", options.document.paper, "pdf and svg: page size (default a4)")
        ->type_name("a4|letter")
        ->transform(Choice<Paper>({{"a4", Paper::A4}, {"letter", Paper::Letter}}));
    chart
        .add_option("--mark-above", options.document.markAbovePercent,
                    "pdf and svg: shade trains more than\nPERCENT off (default 0.5)")
        ->type_name("PERCENT")
        ->transform(kPercent);
}

std::string ThreadListNames() {
    std::string names;
    for (const ThreadList& list : BuiltInThreadLists()) {
        names += " " + list.name;
    }
    return names;
}

std::string Footer() {
    return "Thread lists:" + ThreadListNames() +
           "\n\n"
           "Exit status: 0 on success (also when no train is found), 1 when an input\n"
           "cannot be used for a calculation, 2 on a malformed command line or a\n"
           "lathe profile that cannot be used.\n"
           "\n"
           "Example: the three best trains for a 1.5 mm pitch on an 8 tpi lead screw\n"
           "  vantorel-cli -t metric -l 8 -n 3 1.5";
}

std::string UsageLines(const CLI::App& app) {
    const std::string program = kProgram;
    if (app.get_parent() != nullptr) {
        return program + " " + app.get_name() + " [options]";
    }
    return program + " [options] THREAD\n       " + program + " chart [options]\n       " +
           program + " lathes [--save NAME [options]]\n       " + program +
           " mount [--banjo FIGURES|--lathe NAME] GEARS\n       " + program +
           " draw [--banjo FIGURES|--lathe NAME] -o FILE.svg|FILE.pdf GEARS|THREAD";
}

// Options and values in one column, as a man page shows them.
class HelpFormatter : public CLI::Formatter {
public:
    HelpFormatter() { column_width(36); }

    // The usage lines first, then what the command does.
    std::string make_usage(const CLI::App* app, std::string) const override {
        return "Usage: " + UsageLines(*app) + "\n\n" + app->get_description() + "\n";
    }

    std::string make_description(const CLI::App*) const override { return ""; }

    std::string make_option_name(const CLI::Option* option, bool positional) const override {
        if (positional) {
            return option->get_name(true);
        }
        std::string names;
        for (const std::string& name : option->get_snames()) {
            names += "-" + name + ", ";
        }
        if (names.empty()) {
            names = "    ";
        }
        return names + "--" + option->get_lnames().front();
    }

    std::string make_option_opts(const CLI::Option* option) const override {
        const std::string type = option->get_type_name();
        return option->get_type_size() == 0 || type.empty() ? "" : " " + type;
    }
};

void DeclareThreadType(CLI::App& app, Options& options) {
    app.add_option("-t,--type", options.type, "how THREAD is read (default sae)")
        ->type_name("sae|metric|dp|module")
        ->transform(Choice<ThreadType>({{"sae", ThreadType::SAE},
                                        {"metric", ThreadType::Metric},
                                        {"dp", ThreadType::DP},
                                        {"module", ThreadType::Modulus}}));
}

// `draw`: a train, or the best train for a thread, as a search finds it.
void DeclareDraw(CLI::App& draw, Options& options) {
    draw.allow_extras();
    draw.add_option("-o,--output", options.output,
                    "write the drawing to FILE, - for standard output")
        ->type_name("FILE")
        ->required();
    draw.add_option("--format", options.drawing, "pdf or svg (default: by FILE's ending)")
        ->type_name("pdf|svg")
        ->transform(Choice<OutputFormat>({{"pdf", OutputFormat::Pdf}, {"svg", OutputFormat::Svg}}));
    DeclareThreadType(draw, options);
    DeclareLatheOptions(draw, options);
    // A drawing has no dial to show.
    for (const char* dial : {"--dial", "--dial-screw"}) {
        draw.remove_option(draw.get_option(dial));
    }
    DeclarePairsAndFitRules(draw, options);
    draw.add_option("GEARS", options.drawn,
                    "A,B,D (an idler), A,B,C,D or A,B,C,D,E,F;\nwithout a comma, a THREAD "
                    "(in the unit\nof --type): its best train that mounts")
        ->type_name("");
}

struct CommandLine {
    CLI::App app{"Lists the change-gear trains that best cut THREAD on a screw-cutting lathe,\n"
                 "or, with chart, the best train for every thread of standard lists.",
                 kProgram};
    CLI::App* chart = nullptr;
    CLI::App* lathes = nullptr;
    CLI::App* mount = nullptr;
    CLI::App* draw = nullptr;
};

// The one place that declares what each command takes.
void DeclareCommands(CommandLine& line, Options& options) {
    CLI::App& app = line.app;
    app.formatter(std::make_shared<HelpFormatter>());
    // As getopt had it: an option given again overrides, for every command.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.set_help_flag("-h,--help", "show this help and exit");
    app.set_version_flag("--version", std::string(kProgram) + " " + VANTOREL_VERSION,
                         "show the version and exit");
    app.allow_extras();
    app.require_subcommand(0, 1);
    app.footer(Footer);
    DeclareThreadType(app, options);
    DeclareSharedOptions(app, options, false);
    app.add_option("THREAD", options.thread, "the thread to cut, in the unit of --type")
        ->type_name("")
        ->check(kMeasure);

    line.chart = app.add_subcommand("chart", "the best train for every thread of standard lists");
    line.chart->allow_extras();
    line.chart->footer("Thread lists:" + ThreadListNames());
    DeclareSharedOptions(*line.chart, options, true);
    line.chart
        ->add_option("--threads", options.threadLists,
                     std::string("comma-separated lists, or all\n(default ") + kDefaultThreadLists +
                         ")")
        ->type_name("LIST")
        ->check(kThreadLists);
    DeclareDocumentOptions(*line.chart, options);

    line.lathes = app.add_subcommand("lathes", "list the lathe profiles found, or save one");
    line.lathes->allow_extras();
    DeclareLatheOptions(*line.lathes, options);
    DeclarePairsAndFitRules(*line.lathes, options);
    CLI::Option* save =
        line.lathes->add_option("--save", options.saveAs, "write these options as a profile NAME")
            ->type_name("NAME")
            ->check(CLI::Validator(
                [](std::string& name) {
                    return IsLatheName(name) ? "" : "invalid name '" + name + "'";
                },
                "", "lathe name"));
    // Lathe options without --save would be silently ignored.
    for (CLI::Option* option : line.lathes->get_options()) {
        if (option != save && option->get_lnames() != std::vector<std::string>{"help"}) {
            option->needs(save);
        }
    }
    line.lathes->add_flag("--force", options.force, "with --save, replace a profile of that name")
        ->needs(save);

    line.mount = app.add_subcommand("mount", "whether a train mounts on the banjo, and where");
    line.mount->allow_extras();
    line.mount->add_option("--lathe", options.lathe, "a lathe profile with a banjo")
        ->type_name("NAME|PATH");
    DeclareBanjo(*line.mount, options);
    line.mount->add_option("--format", options.format, "output format (default text)")
        ->type_name("text|json")
        ->transform(
            Choice<OutputFormat>({{"text", OutputFormat::Text}, {"json", OutputFormat::Json}}));
    line.mount->add_option("GEARS", options.mountGears, "A,B,D (an idler), A,B,C,D or A,B,C,D,E,F")
        ->type_name("")
        ->transform(kGearList);

    line.draw = app.add_subcommand("draw", "a train drawn to scale on the banjo, as pdf or svg");
    DeclareDraw(*line.draw, options);
}

// Arguments no command took: an option of another command, an unknown one,
// or an argument too many.
const CLI::App& UsedCommand(const CommandLine& line) {
    if (line.chart->parsed()) {
        return *line.chart;
    }
    if (line.mount->parsed()) {
        return *line.mount;
    }
    if (line.draw->parsed()) {
        return *line.draw;
    }
    return line.lathes->parsed() ? *line.lathes : line.app;
}

std::string Unexpected(const std::string& arg, bool afterMark) {
    const bool looksLikeOption = arg.size() >= 2 && arg[0] == '-';
    return "unexpected argument '" + arg + "'" +
           (afterMark && looksLikeOption ? " (arguments after '--' are not options)" : "");
}

// chart and lathes take no argument but options, so whatever follows "--"
// after them is one too many (the parser would hand it to the single thread).
void RejectAfterMark(const CommandLine& line, int argc, char** argv) {
    if (&UsedCommand(line) == &line.app) {
        return;
    }
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--") {
            throw UsageError{Unexpected(argv[i + 1], true)};
        }
    }
}

void RejectLeftovers(const CommandLine& line, const CLI::App& used) {
    const std::vector<std::string> left = used.remaining();
    const auto first =
        std::find_if(left.begin(), left.end(), [](const auto& a) { return a != "--"; });
    if (first == left.end()) {
        return;
    }
    const std::string& arg = *first;
    const bool afterMark = std::find(left.begin(), first, "--") != first;
    if (arg.size() < 2 || arg[0] != '-' || afterMark) {
        throw UsageError{Unexpected(arg, afterMark)};
    }
    const std::string name = arg.substr(0, arg.find('='));
    const std::initializer_list<const CLI::App*> commands = {&line.app, line.chart, line.lathes,
                                                             line.mount, line.draw};
    for (const CLI::App* other : commands) {
        if (other != &used && other->get_option_no_throw(name) != nullptr) {
            const std::string where = &used == &line.app ? "a single thread" : used.get_name();
            throw UsageError{"option '" + name + "' does not apply to " + where};
        }
    }
    throw UsageError{"unknown option '" + name + "'"};
}

// An unknown or misplaced option is reported before any fault it caused in
// the arguments after it.
void Parse(CommandLine& line, int argc, char** argv) {
    try {
        line.app.parse(argc, argv);
    } catch (const CLI::Success&) {
        throw;
    } catch (const CLI::ParseError&) {
        RejectAfterMark(line, argc, argv);
        RejectLeftovers(line, UsedCommand(line));
        throw;
    }
    RejectAfterMark(line, argc, argv);
    RejectLeftovers(line, UsedCommand(line));
}

// Each list once, where it is first named.
std::vector<const ThreadList*> ChosenThreadLists(const std::string& text) {
    std::vector<const ThreadList*> lists;
    const auto add = [&lists](const ThreadList* list) {
        if (std::find(lists.begin(), lists.end(), list) == lists.end()) {
            lists.push_back(list);
        }
    };
    for (const std::string& name : SplitAtCommas(text)) {
        if (name != "all") {
            add(FindThreadList(name));
            continue;
        }
        for (const ThreadList& list : BuiltInThreadLists()) {
            add(&list);
        }
    }
    return lists;
}

std::vector<std::int64_t> GearsOf(const std::string& text) {
    std::vector<std::int64_t> gears;
    if (text.empty()) {
        return gears;
    }
    for (const std::string& item : SplitAtCommas(text)) {
        gears.push_back(std::stoll(item));
    }
    // The window keeps its gear list in ascending order, so its first 100
    // gears are the smallest; the same list order gives the same tie-breaks.
    std::sort(gears.begin(), gears.end());
    return gears;
}

int Refuse(std::ostream& err, const char* message) {
    err << kProgram << ": " << message << '\n';
    return kRefused;
}

// A typed measure in threads per inch, or nothing when the value or its
// conversion is of no use: 25.4 / 1e-307 is as useless as 0.
template <typename Unit>
std::optional<double> UsableTpi(const std::string& text, Unit unit, double (*toTpi)(Unit, double)) {
    double value = 0.0;
    if (!ParseMeasure(text, &value) || !IsUsableMeasure(value)) {
        return std::nullopt;
    }
    const double tpi = toTpi(unit, value);
    return IsUsableMeasure(tpi) ? std::optional<double>(tpi) : std::nullopt;
}

// What the change gears drive, in threads per inch: each gearbox position,
// or the lead screw as one position without a label.
std::optional<std::vector<GearboxPosition>> LeadsTpi(const Options& options) {
    std::vector<GearboxPosition> leads = options.gearbox;
    if (leads.empty()) {
        const std::optional<double> leadTpi =
            UsableTpi(options.leadScrew, options.leadUnit, LeadScrewToTpi);
        return leadTpi ? std::optional(std::vector<GearboxPosition>{{"", *leadTpi}}) : std::nullopt;
    }
    for (GearboxPosition& position : leads) {
        position.leadScrew = LeadScrewToTpi(options.leadUnit, position.leadScrew);
        if (!IsUsableMeasure(position.leadScrew)) {
            return std::nullopt;
        }
    }
    return leads;
}

// The lead screw's check and the gear count's, the window's last two, in its
// order and with its messages. Returns LeadsTpi, or nothing once the refusal
// is printed.
std::optional<std::vector<GearboxPosition>>
LeadsTpiOrRefuse(const Options& options, std::size_t gearCount, std::ostream& err) {
    const auto leadTpi = LeadsTpi(options);
    if (!leadTpi) {
        Refuse(err, "You must enter a lead screw pitch!");
        return std::nullopt;
    }
    if (gearCount < (options.pairs == 3 ? 6u : 2u)) {
        Refuse(err, "Not enough change gears!");
        return std::nullopt;
    }
    return leadTpi;
}

// The search keeps the window's limit; the user hears of it.
void WarnOfUnusedGears(const std::vector<std::int64_t>& gears, std::ostream& err) {
    if (gears.size() > kMaxGears) {
        err << kProgram << ": " << gears.size() << " gears given; only the " << kMaxGears
            << " smallest take part\n";
    }
}

// The fit rules, with the banjo's exact check for these gears when there is
// a banjo; `keep` holds the check while the rules are in use.
FitRules RulesOf(const Options& options, const std::vector<std::int64_t>& gears,
                 std::unique_ptr<BanjoCheck>& keep) {
    FitRules rules = options.rules;
    if (options.banjo) {
        keep = std::make_unique<BanjoCheck>(*options.banjo, gears);
        rules.check = keep.get();
    }
    return rules;
}

// The dial as the options give it, or nothing without one. The screw that
// turns it is the lead screw, or with a gearbox the one --dial-screw names.
std::optional<DialSetup> DialSetupOf(const Options& options) {
    if (options.dial.empty() && !options.dialScrew.empty()) {
        throw UsageError{"option '--dial-screw' needs a dial (--dial)"};
    }
    if (options.dial.empty()) {
        return std::nullopt;
    }
    if (options.gearbox.empty() != options.dialScrew.empty()) {
        throw UsageError{options.gearbox.empty()
                             ? "option '--dial-screw' applies only with a gearbox"
                             : "a dial on a gearbox needs --dial-screw, the real lead screw"};
    }
    // A profile's numbers come as doubles; up to 15 significant digits the
    // shortest text that reads back as one is the decimal that was typed.
    std::map<std::string, std::string> positions = options.typedGearbox;
    for (const GearboxPosition& position : options.gearbox) {
        positions.emplace(position.label, MeasureText(position.leadScrew));
    }
    try {
        return MakeDialSetup(options.dial, positions, options.dialScrew, options.leadUnit);
    } catch (const DialError& error) {
        throw UsageError{error.what()};
    }
}

int Calculate(const Options& options, std::ostream& out, std::ostream& err) {
    const std::optional<DialSetup> dial = DialSetupOf(options);
    const std::optional<double> desiredTpi = UsableTpi(options.thread, options.type, ThreadToTpi);
    if (!desiredTpi) {
        return Refuse(err, "Nothing to convert!");
    }
    const std::vector<std::int64_t> gears = GearsOf(options.gears);
    const auto leadTpi = LeadsTpiOrRefuse(options, gears.size(), err);
    if (!leadTpi) {
        return kRefused;
    }
    WarnOfUnusedGears(gears, err);
    std::unique_ptr<BanjoCheck> banjo;
    const FitRules rules = RulesOf(options, gears, banjo);
    const auto trains =
        SearchGearbox(*desiredTpi, *leadTpi, gears, options.show.value_or(5), rules, options.pairs);
    WriteTrains(out, options.format, trains, *desiredTpi, options.type, dial ? &*dial : nullptr);
    return kDone;
}

int Chart(const Options& options, std::ostream& out, std::ostream& err) {
    const bool drawn = options.format == OutputFormat::Pdf || options.format == OutputFormat::Svg;
    if (drawn && options.output.empty()) {
        throw UsageError{"a pdf or svg chart needs -o FILE, or -o - for standard output"};
    }
    const std::optional<DialSetup> dial = DialSetupOf(options);
    const std::vector<std::int64_t> gears = GearsOf(options.gears);
    const auto leadTpi = LeadsTpiOrRefuse(options, gears.size(), err);
    if (!leadTpi) {
        return kRefused;
    }
    WarnOfUnusedGears(gears, err);
    std::unique_ptr<BanjoCheck> banjo;
    const FitRules rules = RulesOf(options, gears, banjo);
    const auto chart = BuildGearboxChart(ChosenThreadLists(options.threadLists), *leadTpi, gears,
                                         options.show.value_or(1), rules, options.pairs);
    const char* unit = options.leadUnit == LeadScrewUnit::MM ? " mm" : " tpi";
    const std::string lead = options.gearbox.empty()
                                 ? options.leadScrew + unit
                                 : "on " + std::to_string(leadTpi->size()) + " gearbox positions";
    const ChartSetting setting{lead, gears, rules, options.pairs, options.lathe, dial};
    if (options.output.empty()) {
        WriteChart(out, options.format, chart, setting);
        return kDone;
    }
    const std::string failure =
        SaveChart(options.output, options.format, chart, setting, options.document, out);
    return failure.empty() ? kDone : Refuse(err, failure.c_str());
}

// `lathes --save`: the options as they stand, defaults and --lathe included.
int SaveProfile(const Options& options, std::ostream& err) {
    LatheProfile profile;
    profile.name = options.saveAs;
    profile.leadUnit = options.leadUnit;
    profile.gears = GearsOf(options.gears);
    profile.rules = options.rules;
    profile.pairs = options.pairs;
    profile.gearbox = options.gearbox;
    profile.banjo = options.banjo;
    profile.dial = options.dial;
    DialSetupOf(options);
    if (!LeadsTpiOrRefuse(options, profile.gears->size(), err)) {
        return kRefused;
    }
    double lead = 0.0;
    // With a gearbox, the lead screw kept is the real one that turns the dial.
    const std::string& screw = options.gearbox.empty() ? options.leadScrew : options.dialScrew;
    if (ParseMeasure(screw, &lead)) {
        profile.leadScrew = lead;
    }
    try {
        SaveLathe(profile, DefaultLatheDirectories(), options.force);
    } catch (const LatheSaveError& error) {
        return Refuse(err, error.what());
    }
    return kDone;
}

// Fields of a --lathe profile fill in what the command line leaves out; -l
// and --gearbox each replace both the profile's lead screw and its gearbox.
// An option counts wherever it was given, before a command's name or after.
void ApplyLathe(const CLI::App& used, const CLI::App& top, Options& options) {
    const auto missing = [&used, &top](const char* name) {
        for (const CLI::App* app : {&used, &top}) {
            const CLI::Option* option = app->get_option_no_throw(name);
            if (option != nullptr && option->count() > 0) {
                return false;
            }
        }
        return true;
    };
    if (missing("--lathe")) {
        return;
    }
    const LatheProfile profile = LoadLathe(options.lathe, DefaultLatheDirectories());
    options.lathe = profile.name; // as a printed chart's title names it
    if (missing("--banjo") && profile.banjo) {
        options.banjo = profile.banjo;
    }
    if (missing("--lead-screw") && missing("--gearbox")) {
        options.gearbox = profile.gearbox;
        options.leadScrew = profile.leadScrew ? MeasureText(*profile.leadScrew) : options.leadScrew;
        if (!profile.gearbox.empty() && profile.leadScrew && missing("--dial-screw")) {
            options.dialScrew = options.leadScrew;
        }
    }
    if (missing("--dial")) {
        options.dial = profile.dial;
    }
    if (missing("--lead-unit") && profile.leadUnit) {
        options.leadUnit = *profile.leadUnit;
    }
    if (missing("--gears") && profile.gears) {
        options.gears.clear();
        for (std::int64_t teeth : *profile.gears) {
            options.gears += (options.gears.empty() ? "" : ",") + std::to_string(teeth);
        }
    }
    if (missing("--pairs") && profile.pairs) {
        options.pairs = *profile.pairs;
    }
    const std::pair<const char*, std::optional<std::int64_t> FitRules::*> rules[] = {
        {"--clearance", &FitRules::clearance},
        {"--min-sum", &FitRules::minimumSum},
        {"--spindle-gear", &FitRules::spindleGear},
    };
    for (const auto& [name, rule] : rules) {
        if (missing(name) && profile.rules.*rule) {
            options.rules.*rule = profile.rules.*rule;
        }
    }
}

void NeedBanjo(const Options& options, const char* command) {
    if (!options.banjo) {
        throw UsageError{std::string(command) +
                         " needs a banjo: give --banjo, or --lathe with a profile that has one"};
    }
}

// A train as `mount` and `draw` take it, on the banjo they need.
std::vector<std::int64_t> TrainOf(const std::string& text, const Options& options,
                                  const char* command) {
    std::vector<std::int64_t> gears;
    for (const std::string& item : SplitAtCommas(text)) {
        gears.push_back(item.empty() ? 0 : std::stoll(item));
    }
    if (gears.size() != 3 && gears.size() != 4 && gears.size() != 6) {
        throw UsageError{"GEARS must be A,B,D or A,B,C,D or A,B,C,D,E,F"};
    }
    NeedBanjo(options, command);
    return gears;
}

// `mount`: exit 0 when the train mounts, 1 when it does not.
int Mount(const Options& options, std::ostream& out) {
    const std::vector<std::int64_t> gears = TrainOf(options.mountGears, options, "mount");
    const Mounting mounting = MountTrain(*options.banjo, gears);
    WriteMounting(out, options.format, mounting, *options.banjo, gears);
    return mounting.mounts ? kDone : kRefused;
}

// The format a drawing is saved in: as --format says, or by FILE's ending.
OutputFormat DrawingFormat(const Options& options) {
    if (options.drawing) {
        return *options.drawing;
    }
    const std::string& path = options.output;
    const std::string ending = path.size() >= 4 ? path.substr(path.size() - 4) : "";
    if (ending == ".svg" || ending == ".SVG") {
        return OutputFormat::Svg;
    }
    if (ending == ".pdf" || ending == ".PDF") {
        return OutputFormat::Pdf;
    }
    throw UsageError{"draw writes pdf or svg: name FILE .pdf or .svg, or give --format"};
}

// A THREAD's best train on the banjo, found as a single thread's search
// finds it; nothing (said on `err`) when no train cuts it.
std::optional<std::vector<std::int64_t>> BestTrain(const Options& options, std::ostream& err) {
    const std::optional<double> desiredTpi = UsableTpi(options.drawn, options.type, ThreadToTpi);
    if (!desiredTpi) {
        throw UsageError{"'" + options.drawn +
                         "' is neither a train (A,B,D, A,B,C,D or A,B,C,D,E,F) nor a thread"};
    }
    const std::vector<std::int64_t> gears = GearsOf(options.gears);
    const auto leadTpi = LeadsTpiOrRefuse(options, gears.size(), err);
    if (!leadTpi) {
        return std::nullopt;
    }
    std::unique_ptr<BanjoCheck> banjo;
    const FitRules rules = RulesOf(options, gears, banjo);
    const auto trains = SearchGearbox(*desiredTpi, *leadTpi, gears, 1, rules, options.pairs);
    if (trains.empty()) {
        err << kProgram << ": no train of these gears mounts on the banjo for that thread\n";
        return std::nullopt;
    }
    return GearsOfTrain(trains.front());
}

// GEARS with a comma in it is a train (A,B,C,D); one number is a THREAD,
// drawn as its best train. Nothing when no train cuts the thread.
std::optional<std::vector<std::int64_t>> DrawnGears(const Options& options, std::ostream& err) {
    if (options.drawn.empty()) {
        throw UsageError{"draw needs GEARS or a THREAD"};
    }
    if (options.drawn.find(',') == std::string::npos) {
        NeedBanjo(options, "draw");
        return BestTrain(options, err);
    }
    std::string typed = options.drawn;
    const std::string fault = kGearList(typed);
    if (!fault.empty()) {
        throw UsageError{"GEARS: " + fault};
    }
    return TrainOf(typed, options, "draw");
}

// `draw`: exit 1 when no train is found or the file cannot be written.
int Draw(const Options& options, std::ostream& out, std::ostream& err) {
    const OutputFormat format = DrawingFormat(options);
    const auto gears = DrawnGears(options, err);
    if (!gears) {
        return kRefused;
    }
    const std::string failure =
        SaveTrainDrawing(options.output, format, *options.banjo, *gears, out);
    return failure.empty() ? kDone : Refuse(err, failure.c_str());
}

// The one place that sends a parsed command line to its work.
int Dispatch(const CommandLine& line, const Options& options, std::ostream& out,
             std::ostream& err) {
    if (line.chart->parsed()) {
        return Chart(options, out, err);
    }
    if (line.mount->parsed()) {
        return Mount(options, out);
    }
    if (line.draw->parsed()) {
        return Draw(options, out, err);
    }
    if (line.lathes->parsed() && !options.saveAs.empty()) {
        return SaveProfile(options, err);
    }
    if (line.lathes->parsed()) {
        switch (ListLathes(DefaultLatheDirectories(), out, err)) {
        case LatheListFault::None:
            return kDone;
        case LatheListFault::UnreadableFolder:
            return kRefused;
        case LatheListFault::BadProfile:
            break;
        }
        return kBadUsage;
    }
    if (line.app.count("THREAD") == 0) {
        throw UsageError{"missing THREAD"};
    }
    return Calculate(options, out, err);
}

// The parser's own faults as one line; a missing value names its option.
std::string UsageMessage(const CLI::ParseError& error) {
    const std::string what = error.what();
    const std::size_t colon = what.find(": ");
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
        return "option '" + what.substr(0, colon) + "' needs a value";
    }
    return what;
}

int BadUsage(std::ostream& err, const std::string& message) {
    err << kProgram << ": " << message << " (try '" << kProgram << " --help')\n";
    return kBadUsage;
}

// Output cut short (a full disk, a closed stdout) must not pass for success.
int CheckOutput(std::ostream& out, std::ostream& err) {
    if (out.flush()) {
        return kDone;
    }
    const int error = errno;
    err << kProgram << ": cannot write the output"
        << (error != 0 ? std::string(": ") + std::strerror(error) : std::string()) << '\n';
    return kRefused;
}

int RunCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err) {
    Options options;
    CommandLine line;
    DeclareCommands(line, options);
    try {
        Parse(line, argc, argv);
        ApplyLathe(UsedCommand(line), line.app, options);
        return Dispatch(line, options, out, err);
    } catch (const CLI::CallForHelp&) {
        out << line.app.help();
        return kDone;
    } catch (const CLI::CallForVersion& version) {
        out << version.what() << '\n';
        return kDone;
    } catch (const CLI::ParseError& error) {
        return BadUsage(err, UsageMessage(error));
    } catch (const UsageError& error) {
        return BadUsage(err, error.message);
    } catch (const LatheProfileError& error) {
        err << kProgram << ": " << error.what() << '\n';
        return kBadUsage;
    }
}

} // namespace

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err) {
    const int status = RunCommandLine(argc, argv, out, err);
    return status == kDone ? CheckOutput(out, err) : status;
}
