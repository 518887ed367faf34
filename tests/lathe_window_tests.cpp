// The lathe window driven without a person, checked against the command
// line run as a separate program on the same profiles.
#include "lathe_window/ChartPrintout.h"
#include "lathe_window/ChartTableModel.h"
#include "lathe_window/LatheFrame.h"
#include "lathe_window/ProfileDialog.h"
#include "lathe_window/TrainDrawingPanel.h"
#include "lathe_window_print.h"
#include "shell.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/listbox.h>
#include <wx/msgdlg.h>
#include <wx/print.h>
#include <wx/spinctrl.h>
#include <wx/textdlg.h>

#include <wx/testing.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

const std::string kCli = VANTOREL_CLI_PATH;
const std::string kExample = VANTOREL_SOURCE_DIR "/packaging/lathes/example-gearbox.json";
const std::string kBanjoExample = VANTOREL_SOURCE_DIR "/packaging/lathes/example-banjo.json";

// A message box of the window, answered with `answer`, its text checked.
class ExpectMessage : public wxExpectModalBase<wxMessageDialog, ExpectMessage> {
public:
    ExpectMessage(const std::string& message, int answer) : m_message(message), m_answer(answer) {}

protected:
    int OnInvoked(wxMessageDialog* dialog) const override {
        EXPECT_EQ(dialog->GetMessage().utf8_string(), m_message);
        return m_answer;
    }

private:
    std::string m_message;
    int m_answer;
};

class TypeName : public wxExpectModalBase<wxTextEntryDialog, TypeName> {
public:
    explicit TypeName(const char* name) : m_name(name) {}

protected:
    int OnInvoked(wxTextEntryDialog* dialog) const override {
        dialog->SetValue(m_name);
        return wxID_OK;
    }

private:
    wxString m_name;
};

// The profile dialog, filled in and confirmed as a person would.
class FillProfile : public wxExpectModalBase<ProfileDialog, FillProfile> {
public:
    explicit FillProfile(ProfileFields fields) : m_fields(std::move(fields)) {}

protected:
    int OnInvoked(ProfileDialog* dialog) const override {
        dialog->SetFields(m_fields);
        return dialog->Accept() ? wxID_OK : wxID_CANCEL;
    }

private:
    ProfileFields m_fields;
};

// The profile dialog as it opens, with only the clearance typed over.
class ChangeClearance : public wxExpectModalBase<ProfileDialog, ChangeClearance> {
public:
    explicit ChangeClearance(const char* clearance) : m_clearance(clearance) {}

protected:
    int OnInvoked(ProfileDialog* dialog) const override {
        ProfileFields fields = dialog->Fields();
        fields.clearance = m_clearance;
        dialog->SetFields(fields);
        return dialog->Accept() ? wxID_OK : wxID_CANCEL;
    }

private:
    const char* m_clearance;
};

class LatheWindowTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vantorel-lathe-XXXXXX";
        dir = mkdtemp(pattern);
        setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
        dirs = {dir + "/config/vantorel/lathes", dir + "/system"};
        Shell(dir, "mkdir -p config/vantorel/lathes system");
    }
    void TearDown() override {
        delete frame;
        Shell("/", "rm -rf '" + dir + "'");
    }
    void Open() {
        delete frame;
        frame = new LatheFrame(dirs, dir + "/config/vantorel/lathe-window.json");
    }
    // Lets the window's loop run until the chart is done.
    void WaitForChart() const {
        const auto end = Clock::now() + std::chrono::minutes(3);
        while (frame->IsComputing() && Clock::now() < end) {
            wxTheApp->ProcessPendingEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ASSERT_FALSE(frame->IsComputing());
        wxTheApp->ProcessPendingEvents();
    }
    void Check(const std::string& list, bool on) const {
        wxCheckBox* box = frame->ListBox(list);
        box->SetValue(on);
        wxCommandEvent event(wxEVT_CHECKBOX, box->GetId());
        event.SetEventObject(box);
        box->ProcessWindowEvent(event);
    }
    std::string Cell(unsigned row, int column) const {
        return frame->Table()->Row(row).cells[column].utf8_string();
    }
    static std::string Teeth(const nlohmann::json& value, const char* simple = "") {
        return value.is_null() ? simple : std::to_string(value.get<long long>());
    }
    void ExpectTrain(unsigned row, const nlohmann::json& train) const {
        EXPECT_EQ(Cell(row, kGearboxColumn), train.value("gearbox", std::string()));
        EXPECT_EQ(Cell(row, kAColumn), Teeth(train["a"]));
        EXPECT_EQ(Cell(row, kBColumn), Teeth(train["b"], "ANY"));
        EXPECT_EQ(Cell(row, kCColumn), Teeth(train["c"], "--"));
        EXPECT_EQ(Cell(row, kDColumn), Teeth(train["d"]));
        EXPECT_EQ(Cell(row, kEColumn) + Cell(row, kFColumn), "");
        EXPECT_NEAR(std::strtod(Cell(row, kCutColumn).c_str(), nullptr), train["thread"], 5.1e-5);
        const double error = train["error_percent"];
        EXPECT_NEAR(std::strtod(Cell(row, kErrorColumn).c_str(), nullptr), error, 5.1e-5);
        // The tick of an exact train, as the printed chart has it.
        EXPECT_EQ(Cell(row, kErrorColumn).find("\u2713") != std::string::npos, error <= 1e-7);
    }
    std::string Cli(const std::string& args) const {
        return Shell(dir, "XDG_CONFIG_HOME='" + dir + "/config' " + kCli + " " + args);
    }

    std::string dir;
    LatheDirectories dirs;
    LatheFrame* frame = nullptr;
};

std::string HundredGears() {
    std::string gears;
    for (int teeth = 20; teeth < 120; ++teeth) {
        gears += (gears.empty() ? "" : ",") + std::to_string(teeth);
    }
    return gears;
}

// Every cell of every row against the command line's JSON for the same
// profile and lists; the table rounds to 4 decimals. On a banjo, a simple
// train names its idler and a thread may have no train that mounts.
TEST_F(LatheWindowTest, TableHoldsTheCommandLinesChart) {
    const std::string profiles[] = {kExample, kBanjoExample};
    for (const std::string& profile : profiles) {
        SCOPED_TRACE(profile);
        Shell(dir, "cp '" + profile + "' config/vantorel/lathes/shop.json");
        Open();
        WaitForChart();
        const auto json = nlohmann::json::parse(
            Cli("chart --lathe shop --threads metric-coarse,unc --format json"));
        ASSERT_EQ(json.size(), 34u + 25u);
        unsigned row = 0;
        unsigned idlers = 0; // simple trains that name their idler
        for (const auto& entry : json) {
            SCOPED_TRACE(row);
            ASSERT_LT(row, frame->Table()->RowCount());
            EXPECT_EQ(Cell(row, kListColumn), entry["list"]);
            EXPECT_EQ(Cell(row, kThreadColumn), entry["name"]);
            EXPECT_EQ(std::strtod(Cell(row, kWantedColumn).c_str(), nullptr), entry["wanted"]);
            if (entry["trains"].empty()) {
                EXPECT_EQ(Cell(row, kAColumn), "");
                EXPECT_EQ(Cell(row++, kCutColumn), "no train of these gears fits");
            }
            for (const auto& train : entry["trains"]) { // one, as with -n 1
                idlers += train["simple"] && !train["b"].is_null() ? 1 : 0;
                ExpectTrain(row++, train);
            }
        }
        EXPECT_EQ(frame->Table()->RowCount(), row);
        // 1"-8 UNC is 80:40 on a 16 tpi screw, a simple train; only a banjo names its idler.
        EXPECT_EQ(idlers > 0, profile == kBanjoExample);
    }
}

// Sorting is by number: 100 teeth sort after 20, which letters would not.
TEST_F(LatheWindowTest, ColumnsSortByValue) {
    Shell(dir,
          "echo '{\"name\":\"n\",\"lead_screw\":8,\"gears\":[20,100,127,30]}' > system/n.json");
    Open();
    WaitForChart();
    ChartTableModel* table = frame->Table();
    ASSERT_GT(table->RowCount(), 2u);
    for (unsigned a = 0; a < table->RowCount(); ++a) {
        for (unsigned b = 0; b < table->RowCount(); ++b) {
            const double first = table->Row(a).keys[kAColumn],
                         second = table->Row(b).keys[kAColumn];
            const int order = table->Compare(table->GetItem(a), table->GetItem(b), kAColumn, true);
            if (first != second) {
                EXPECT_EQ(order < 0, first < second) << first << " " << second;
            }
        }
    }
}

// A new profile, saved under a name, is the profile the command line reads.
TEST_F(LatheWindowTest, SavedProfileReadsBackInTheCommandLine) {
    Open();
    ProfileFields fields;
    fields.name = "bench";
    fields.leadScrew = "8";
    fields.gears = {"20", "30", "40", "50", "60", "127"};
    fields.pairs = 3;
    fields.clearance = "10";
    { wxTEST_DIALOG(frame->New(), FillProfile(fields)); }
    EXPECT_EQ(Shell(dir, "ls config/vantorel/lathes"), ""); // nothing written before Save
    { wxTEST_DIALOG(frame->Save(), TypeName("bench")); }
    EXPECT_EQ(Cli("lathes"), "bench                lead screw 8 tpi         6 gears   " + dir +
                                 "/config/vantorel/lathes/bench.json\n");
    const LatheProfile read = LoadLathe("bench", dirs);
    EXPECT_EQ(read.leadScrew, 8.0);
    EXPECT_EQ(read.gears, (std::vector<std::int64_t>{20, 30, 40, 50, 60, 127}));
    EXPECT_EQ(read.pairs, 3);
    EXPECT_EQ(read.rules.clearance, 10);
    EXPECT_FALSE(read.rules.minimumSum || read.rules.spindleGear);
    // An edit is written over the same file by Save, without asking.
    fields.leadScrew = "2.5";
    fields.unit = LeadScrewUnit::MM;
    { wxTEST_DIALOG(frame->Edit(), FillProfile(fields)); }
    frame->Save();
    EXPECT_EQ(Cli("lathes | cut -c1-45"), "bench                lead screw 2.5 mm       \n");
}

// An edit in the window keeps what the dialog has no field for: a profile
// with a banjo (in DP and inches) and a dial, edited and saved, is the same
// profile to the command line but for the one field changed.
TEST_F(LatheWindowTest, EditingKeepsTheBanjoAndTheDial) {
    LatheProfile profile;
    profile.name = "bench";
    profile.leadScrew = 8.0;
    profile.leadUnit = LeadScrewUnit::TPI;
    profile.gears = std::vector<std::int64_t>{20, 30, 40, 50, 60, 127};
    profile.pairs = 2;
    profile.dial = {{16, 4}, {24, 8}};
    BanjoFigures figures;
    figures.dp = 24;
    figures.distance = 3.25;
    figures.slotMin = 1.75;
    figures.slotMax = 3;
    figures.studHub = 0.125;
    figures.margin = 0.05;
    figures.inches = true;
    profile.banjo = MakeBanjo(figures);
    SaveLathe(profile, dirs, false);
    Open();
    { wxTEST_DIALOG(frame->Edit(), ChangeClearance("5")); }
    ASSERT_TRUE(frame->Save());
    // The command line reads the saved profile and writes it back as "copy".
    Cli("lathes --lathe bench --save copy");
    LatheProfile copy = LoadLathe("copy", dirs);
    ASSERT_TRUE(copy.banjo);
    EXPECT_EQ(copy.banjo->distance, 3.25 * 25.4);
    copy.name = "bench";
    profile.rules.clearance = 5;
    EXPECT_EQ(LatheProfileJson(copy), LatheProfileJson(profile));
}

// The fields of a banjo that is accepted: module 1, 82 mm from stud to screw.
ProfileFields& OnABanjo(ProfileFields& fields) {
    fields.banjoPitch = "1";
    fields.banjoDistance = "82";
    return fields;
}

// Each refused value is named as the command line names its option, and
// the value just inside each boundary is taken.
TEST_F(LatheWindowTest, BadValuesAreNamed) {
    struct Case {
        const char* what;
        void (*change)(ProfileFields&);
        const char* message; // empty: accepted
    };
    const Case cases[] = {
        {"name", [](ProfileFields& f) { f.name = ".hidden"; }, "--save: invalid name '.hidden'"},
        {"name ok", [](ProfileFields& f) { f.name = "a.b_c-1"; }, ""},
        {"lead text", [](ProfileFields& f) { f.leadScrew = "abc"; },
         "--lead-screw: 'abc' is not a number"},
        {"lead zero", [](ProfileFields& f) { f.leadScrew = "0"; },
         "--lead-screw: '0' is not a number above 0"},
        {"lead tiny", [](ProfileFields& f) { f.leadScrew = "1e-300"; }, ""},
        {"gear", [](ProfileFields& f) { f.gears[1] = "x"; }, "--gears: 'x' is not a number"},
        {"gear zero", [](ProfileFields& f) { f.gears[1] = "0"; },
         "--gears: '0' is not a whole number of at least 1"},
        {"gear one", [](ProfileFields& f) { f.gears[1] = "1"; }, ""},
        {"five gears, three pairs",
         [](ProfileFields& f) {
             f.pairs = 3;
             f.gears.resize(5);
         },
         "--gears: Not enough change gears!"},
        {"six gears, three pairs",
         [](ProfileFields& f) {
             f.pairs = 3;
             f.gears.resize(6);
         },
         ""},
        {"clearance", [](ProfileFields& f) { f.clearance = "-1"; },
         "--clearance: '-1' is not a whole number of at least 0"},
        {"clearance zero", [](ProfileFields& f) { f.clearance = "0"; }, ""},
        {"min sum", [](ProfileFields& f) { f.minSum = "1.5"; },
         "--min-sum: '1.5' is not a whole number of at least 0"},
        {"spindle gear", [](ProfileFields& f) { f.spindleGear = "0"; },
         "--spindle-gear: '0' is not a whole number of at least 1"},
        {"spindle gear one", [](ProfileFields& f) { f.spindleGear = "1"; }, ""},
        {"gearbox value",
         [](ProfileFields& f) {
             f.useGearbox = true;
             f.gearbox = {{"A", "4"}, {"B", "0"}};
         },
         "--gearbox: lead screw of position 'B' is not a number above 0"},
        {"dial marks", [](ProfileFields& f) { f.dial = "16:3"; },
         "--dial: dial gear '16:3': marks (3) must divide teeth (16)"},
        {"dial marks dividing", [](ProfileFields& f) { f.dial = "16:4"; }, ""},
        {"dial on a gearbox",
         [](ProfileFields& f) {
             f.useGearbox = true;
             f.gearbox = {{"A", "4"}};
             f.dial = "16:4";
         },
         "--dial-screw: a dial on a gearbox needs the real lead screw"},
        {"dial on a gearbox with its screw",
         [](ProfileFields& f) {
             f.useGearbox = true;
             f.gearbox = {{"A", "4"}};
             f.dial = "16:4";
             f.dialScrew = "8";
         },
         ""},
        {"gearbox twice",
         [](ProfileFields& f) {
             f.useGearbox = true;
             f.gearbox = {{"A", "4"}, {"A", "5"}};
         },
         "--gearbox: label 'A' given twice"},
        {"banjo pitch", [](ProfileFields& f) { OnABanjo(f).banjoPitch = "x"; },
         "--banjo: 'module': 'x' is not a number"},
        {"banjo without pitch", [](ProfileFields& f) { OnABanjo(f).banjoPitch = ""; },
         "--banjo: 'module': needed (or dp)"},
        {"banjo dp zero",
         [](ProfileFields& f) {
             OnABanjo(f).banjoDp = true;
             f.banjoPitch = "0";
         },
         "--banjo: 'dp': expected a number above 0, at most 1000000"},
        {"banjo without distance", [](ProfileFields& f) { OnABanjo(f).banjoDistance = ""; },
         "--banjo: 'distance': needed"},
        {"banjo distance a kilometre", [](ProfileFields& f) { OnABanjo(f).banjoDistance = "1e6"; },
         ""},
        {"banjo distance beyond", [](ProfileFields& f) { OnABanjo(f).banjoDistance = "1000000.5"; },
         "--banjo: 'distance': expected a number above 0, at most 1000000"},
        {"slot reversed",
         [](ProfileFields& f) {
             OnABanjo(f).slotNear = "75";
             f.slotFar = "42";
         },
         "--banjo: 'slot': its near end is beyond its far end"},
        {"slot of one point",
         [](ProfileFields& f) {
             OnABanjo(f).slotNear = "42";
             f.slotFar = "42";
         },
         ""},
        {"slot without its far end", [](ProfileFields& f) { OnABanjo(f).slotNear = "42"; },
         "--banjo: 'slot': expected NEAR:FAR"},
        {"stud hub below 0", [](ProfileFields& f) { OnABanjo(f).studHub = "-0.5"; },
         "--banjo: 'stud-hub': expected a number from 0 to 1000000"},
        {"stud hub 0", [](ProfileFields& f) { OnABanjo(f).studHub = "0"; }, ""},
        {"backlash in hex", [](ProfileFields& f) { OnABanjo(f).backlash = "0x10"; },
         "--banjo: 'backlash': '0x10' is not a number"},
    };
    Open();
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        ProfileFields fields = FieldsOf(LatheProfile());
        fields.name = "ok";
        row.change(fields);
        ProfileDialog dialog(frame, "Edit lathe", LatheProfile());
        dialog.SetFields(fields);
        if (*row.message == '\0') {
            EXPECT_TRUE(dialog.Accept());
            continue;
        }
        bool accepted = true;
        wxTEST_DIALOG(accepted = dialog.Accept(), ExpectMessage(row.message, wxID_OK));
        EXPECT_FALSE(accepted);
    }
}

// The window's files against the command line's for the same settings; a
// PDF differs only in the second it was made.
TEST_F(LatheWindowTest, ExportWritesTheCommandLinesFiles) {
    // With a thread dial on the gearbox, which every format reports.
    Shell(dir, "sed 's/\"lead_unit\": \"tpi\",/&\"lead_screw\": 8, \"dial\": "
               "{\"teeth\": 16, \"marks\": 8},/' '" +
                   kExample + "' > system/shop.json");
    Open();
    Check("bsw", true);
    frame->ShadePercent()->SetValue(0.01);
    WaitForChart();
    for (const char* format : {"pdf", "svg", "csv", "json"}) {
        SCOPED_TRACE(format);
        const std::string window = std::string("window.") + format;
        frame->Export(dir + "/" + window);
        Cli(std::string("chart --lathe system/shop.json --threads metric-coarse,unc,bsw") +
            " --mark-above 0.01 --format " + format + " -o cli." + format);
        EXPECT_EQ(Shell(dir, "test -s " + window + " && grep -av CreationDate " + window +
                                 " > w; grep -av CreationDate cli." + format +
                                 " | cmp - w && echo same"),
                  "same\n");
    }
    EXPECT_EQ(Shell(dir, "grep -c '\"dial\"' window.json"), "76\n"); // one a train, 34 + 25 + 17
}

// On a banjo, the exported chart's heading names it (drawn, in the SVG) and
// its rows the idlers and the studs (in the JSON).
TEST_F(LatheWindowTest, ExportOnABanjoWritesTheCommandLinesFiles) {
    Shell(dir, "cp '" + kBanjoExample + "' system/shop.json");
    Open();
    WaitForChart();
    for (const char* format : {"svg", "json"}) {
        SCOPED_TRACE(format);
        const std::string window = std::string("window.") + format;
        frame->Export(dir + "/" + window);
        Cli(std::string("chart --lathe system/shop.json --threads metric-coarse,unc --format ") +
            format + " -o cli." + format);
        EXPECT_EQ(Shell(dir, "cmp cli." + std::string(format) + " " + window + " && echo same"),
                  "same\n");
    }
}

// The print dialog of the system, on its file printer: the file holds the
// very pages of the exported chart, two or more so a count can differ.
TEST_F(LatheWindowTest, PrintsTheChartsPagesToAFile) {
    Shell(dir, "cp '" + kExample + "' system/shop.json");
    Open();
    Check("bsw", true); // 76 rows, more than a page holds
    WaitForChart();
    frame->Export(dir + "/chart.pdf");
    {
        PrintToFile printer(frame->PrintData(), dir + "/printed.pdf", std::chrono::seconds(60));
        frame->Print();
        ASSERT_TRUE(printer.Confirmed());
    }
    const std::string pages = " | grep '^Pages:' | tr -s ' '";
    const std::string chartPages = Shell(dir, "pdfinfo chart.pdf" + pages);
    EXPECT_EQ(Shell(dir, "head -c 5 printed.pdf"), "%PDF-");
    EXPECT_EQ(Shell(dir, "pdfinfo printed.pdf" + pages), chartPages);
    EXPECT_NE(chartPages, "Pages: 1\n");
    EXPECT_EQ(Shell(dir, "pdftotext -raw chart.pdf c.txt && pdftotext -raw printed.pdf p.txt && "
                         "cmp c.txt p.txt && echo same"),
              "same\n");
}

// The preview shows the same pages, and can go to the last.
TEST_F(LatheWindowTest, PreviewShowsTheChartsPages) {
    Shell(dir, "cp '" + kExample + "' system/shop.json");
    Open();
    Check("bsw", true);
    {
        wxPreviewFrame* early = nullptr;
        wxTEST_DIALOG(early = frame->PrintPreview(),
                      ExpectMessage("The chart is not finished yet.", wxID_OK));
        EXPECT_EQ(early, nullptr);
    }
    WaitForChart();
    frame->Export(dir + "/chart.pdf");
    wxPreviewFrame* preview = frame->PrintPreview();
    ASSERT_NE(preview, nullptr);
    wxPrintPreviewBase* pages = preview->GetControlBar()->GetPrintPreview();
    // Painting the preview renders its first page, which counts the pages.
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (pages->GetMaxPage() == 1 && Clock::now() < end) {
        wxYield();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ("Pages: " + std::to_string(pages->GetMaxPage()) + "\n",
              Shell(dir, "pdfinfo chart.pdf | grep '^Pages:' | tr -s ' '"));
    EXPECT_EQ(pages->GetMaxPage(), 2);
    preview->GetControlBar()->OnNext();
    EXPECT_EQ(pages->GetCurrentPage(), 2);
    preview->GetControlBar()->OnNext();
    EXPECT_EQ(pages->GetCurrentPage(), 2);
    preview->Close(true);
    wxTheApp->ProcessPendingEvents();
}

// Where a picture has ink: any pixel darker than mid grey.
wxRect InkBox(const wxImage& image) {
    wxRect box;
    for (int y = 0; y < image.GetHeight(); ++y) {
        for (int x = 0; x < image.GetWidth(); ++x) {
            if (image.GetRed(x, y) < 128 || image.GetGreen(x, y) < 128 ||
                image.GetBlue(x, y) < 128) {
                box = box.IsEmpty() ? wxRect(x, y, 1, 1) : box.Union(wxRect(x, y, 1, 1));
            }
        }
    }
    return box;
}

// A preview draws the page into a picture far smaller than the printer's
// pixels: the page must fill the picture's paper there, as poppler's own
// rendering of the PDF at that resolution has it. A printer at 600 dpi with
// a printable A4 area 120 pixels in from the paper's edges; the picture is
// a twentieth of it, 30 dpi, so the paper starts 6 pixels above and left.
TEST_F(LatheWindowTest, PreviewPageFitsItsPicture) {
    Shell(dir, "cp '" + kExample + "' system/shop.json");
    Cli("chart --lathe system/shop.json --format pdf -o chart.pdf");
    Shell(dir, "pdftocairo -r 30 -f 1 -l 1 -png chart.pdf ref");
    if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr) {
        wxImage::AddHandler(new wxPNGHandler);
    }
    const wxImage reference(wxString::FromUTF8(dir + "/ref-1.png"), wxBITMAP_TYPE_PNG);
    ASSERT_TRUE(reference.IsOk());
    ChartPrintout printout(Shell(dir, "cat chart.pdf"));
    printout.SetPageSizePixels(4720, 6776);
    printout.SetPaperRectPixels(wxRect(-120, -120, 4960, 7016));
    wxBitmap picture(236, 339);
    {
        wxMemoryDC dc(picture);
        dc.SetBackground(*wxWHITE_BRUSH);
        dc.Clear();
        printout.SetDC(&dc);
        EXPECT_TRUE(printout.OnPrintPage(1));
        printout.SetDC(nullptr);
    }
    const wxRect drawn = InkBox(picture.ConvertToImage());
    const wxRect expected = InkBox(reference);
    ASSERT_FALSE(expected.IsEmpty());
    EXPECT_NEAR(drawn.GetLeft(), expected.GetLeft() - 6, 2);
    EXPECT_NEAR(drawn.GetTop(), expected.GetTop() - 6, 2);
    EXPECT_NEAR(drawn.GetRight(), expected.GetRight() - 6, 2);
    EXPECT_NEAR(drawn.GetBottom(), expected.GetBottom() - 6, 2);
}

// Input changed while a chart is computed: the old work would finish
// first, and must neither show its rows nor end the new work's progress.
TEST_F(LatheWindowTest, CancelledWorkLeavesNoStaleRows) {
    Shell(dir, "echo '{\"name\":\"big\",\"lead_screw\":8,\"pairs\":3,\"gears\":[" + HundredGears() +
                   "]}' > system/big.json; echo '{\"profile\":\"big\",\"lists\":[\"dp\"],"
                   "\"shade_percent\":0.5}' > config/vantorel/lathe-window.json");
    Open();
    ASSERT_TRUE(frame->IsComputing());
    Check("dp", false);           // 16 threads
    Check("metric-coarse", true); // 34 threads
    WaitForChart();
    ASSERT_EQ(frame->Table()->RowCount(), 34u);
    for (unsigned row = 0; row < 34; ++row) {
        EXPECT_EQ(Cell(row, kListColumn), "metric-coarse") << row;
    }
}

// A chart of 100 gears and three pairs is long work: the loop keeps
// answering while it fills, and in the end every thread has its row.
TEST_F(LatheWindowTest, LongChartCompletesWhileTheLoopAnswers) {
    Shell(dir, "echo '{\"name\":\"big\",\"lead_screw\":8,\"pairs\":3,\"gears\":[" + HundredGears() +
                   "]}' > system/big.json");
    Open();
    Check("unc", false); // metric-coarse: 34 threads
    double slowest = 0.0;
    int answered = 0;
    while (frame->IsComputing()) {
        const auto asked = Clock::now();
        bool done = false;
        frame->CallAfter([&done] { done = true; });
        while (!done) {
            wxTheApp->ProcessPendingEvents();
        }
        ++answered;
        slowest = std::max(slowest,
                           std::chrono::duration<double, std::milli>(Clock::now() - asked).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    RecordProperty("slowest_answer_ms", std::to_string(slowest));
    std::printf("answered %d times while the chart filled, the slowest in %.2f ms\n", answered,
                slowest);
    ASSERT_EQ(frame->Chart().size(), 34u);
    EXPECT_EQ(frame->Table()->RowCount(), 34u);
    for (const ChartEntry& entry : frame->Chart()) {
        EXPECT_EQ(entry.trains.size(), 1u) << entry.thread.name;
    }
}

// Selecting a row lists that thread's best N; the thread entry does the
// same for any thread, and refuses what is no thread.
TEST_F(LatheWindowTest, BestTrainsOfARowAndOfATypedThread) {
    const std::string profiles[] = {kExample, kBanjoExample};
    for (const std::string& profile : profiles) {
        SCOPED_TRACE(profile);
        Shell(dir, "cp '" + profile + "' system/shop.json");
        Open();
        WaitForChart();
        frame->BestCount()->SetValue(3);
        frame->TableView()->Select(frame->Table()->GetItem(0));
        wxDataViewEvent event(wxEVT_DATAVIEW_SELECTION_CHANGED, frame->TableView(),
                              frame->Table()->GetItem(0));
        frame->TableView()->ProcessWindowEvent(event);
        const auto until = Clock::now() + std::chrono::seconds(60);
        while (frame->BestTrains()->GetCount() == 0 && Clock::now() < until) {
            wxTheApp->ProcessPendingEvents();
        }
        const std::string cli = Cli("-t metric -n 3 --lathe system/shop.json 0.25");
        wxString shown;
        for (const wxString& line : frame->BestTrains()->GetStrings()) {
            shown += line + "\n";
        }
        EXPECT_EQ(shown.utf8_string(), cli);
        frame->ThreadValue()->SetValue("0");
        frame->FindThread();
        EXPECT_EQ(frame->BestTrains()->GetCount(), 0u);
    }
}

// The selected row's train is drawn as `vantorel-cli draw` draws it, the
// PDF differing only in the second it was made; without a banjo, a note.
TEST_F(LatheWindowTest, SelectedTrainIsDrawnAsTheCommandLineDrawsIt) {
    Shell(dir,
          "cp '" + kBanjoExample + "' system/shop.json; cp '" + kExample + "' system/bare.json");
    Open();
    frame->SelectProfile(1); // shop: the entries come in order of name
    WaitForChart();
    // A compound train, and the first simple one (no C), drawn by its idler.
    unsigned simple = 0;
    while (simple + 1 < frame->Table()->RowCount() && Cell(simple, kCColumn) != "--") {
        ++simple;
    }
    ASSERT_EQ(Cell(simple, kCColumn), "--");
    for (const unsigned row : {5u, simple}) {
        frame->TableView()->Select(frame->Table()->GetItem(row));
        wxDataViewEvent event(wxEVT_DATAVIEW_SELECTION_CHANGED, frame->TableView(),
                              frame->Table()->GetItem(row));
        frame->TableView()->ProcessWindowEvent(event);
        std::string gears = Cell(row, kAColumn) + "," + Cell(row, kBColumn);
        gears += (Cell(row, kCColumn) == "--" ? "" : "," + Cell(row, kCColumn));
        gears += "," + Cell(row, kDColumn);
        SCOPED_TRACE(gears);
        Cli("draw " + gears + " --lathe system/shop.json -o cli.pdf");
        std::FILE* file = std::fopen((dir + "/window.pdf").c_str(), "wb");
        const std::string& drawn = frame->Drawing()->Drawing();
        ASSERT_EQ(std::fwrite(drawn.data(), 1, drawn.size(), file), drawn.size());
        std::fclose(file);
        EXPECT_EQ(Shell(dir, "test -s window.pdf && grep -av CreationDate window.pdf > w; "
                             "grep -av CreationDate cli.pdf | cmp - w && echo same"),
                  "same\n");
    }
    frame->SelectProfile(0);
    EXPECT_TRUE(frame->Drawing()->Drawing().empty());
    EXPECT_NE(frame->Drawing()->Note().Find("no banjo"), wxNOT_FOUND);
}

// What the window remembers comes back; a damaged file gives the defaults.
TEST_F(LatheWindowTest, SettingsAreRememberedAndDamageGivesDefaults) {
    Shell(dir, "cp '" + kExample + "' system/a.json; cp '" + kExample + "' system/b.json");
    Open();
    frame->SelectProfile(1);
    Check("unc", false);
    Check("bsp", true);
    frame->ShadePercent()->SetValue(2.25);
    Open();
    EXPECT_EQ(frame->Entries()[frame->Profile().name.empty() ? 0 : 1].name, "b");
    EXPECT_FALSE(frame->ListBox("unc")->GetValue());
    EXPECT_TRUE(frame->ListBox("bsp")->GetValue() && frame->ListBox("metric-coarse")->GetValue());
    EXPECT_EQ(frame->ShadePercent()->GetValue(), 2.25);
    const char* damaged[] = {"",
                             "{",
                             "[]",
                             "{\"profile\":3}",
                             "{\"profile\":\"b\",\"lists\":[\"x\"],"
                             "\"shade_percent\":1}",
                             "{\"profile\":\"b\",\"lists\":[],\"shade_percent\":-1}"};
    for (const char* text : damaged) {
        SCOPED_TRACE(text);
        const LatheWindowSettings defaults;
        Shell(dir, std::string("printf '%s' '") + text + "' > config/vantorel/lathe-window.json");
        const LatheWindowSettings read =
            LoadLatheWindowSettings(dir + "/config/vantorel/lathe-window.json");
        EXPECT_EQ(read.profile, "");
        EXPECT_EQ(read.lists, (std::vector<std::string>{"metric-coarse", "unc"}));
        EXPECT_EQ(read.shadePercent, 0.5);
    }
}

// Only the user's own profile can be deleted, and only once confirmed.
TEST_F(LatheWindowTest, DeleteAsksFirstAndKeepsInstalledProfiles) {
    Shell(dir, "cp '" + kExample + "' config/vantorel/lathes/mine.json; cp '" + kExample +
                   "' system/theirs.json");
    Open();
    frame->SelectProfile(0);
    const std::string question = "Delete your lathe 'mine'? Its file " + dir +
                                 "/config/vantorel/lathes/mine.json is removed.";
    { wxTEST_DIALOG(frame->Delete(), ExpectMessage(question, wxID_NO)); }
    EXPECT_EQ(Shell(dir, "ls config/vantorel/lathes system"),
              "config/vantorel/lathes:\nmine.json\n\nsystem:\ntheirs.json\n");
    { wxTEST_DIALOG(frame->Delete(), ExpectMessage(question, wxID_YES)); }
    frame->Delete(); // now the installed one is shown: nothing asked, nothing removed
    EXPECT_EQ(Shell(dir, "ls config/vantorel/lathes system"),
              "config/vantorel/lathes:\n\nsystem:\ntheirs.json\n");
}

} // namespace
