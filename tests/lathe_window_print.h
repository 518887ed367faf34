// Printing to a PDF file through the print system's own dialog, answered
// as a person would: the toolkit's file printer, a file name, then Print.
//
// The dialog is the only way to the file printer. Without it the toolkit
// looks for the printer named, or the default one, among real printers
// only, never the file printer; and with no print server to list them it
// waits for that list for ever.
#pragma once

#include <wx/cmndata.h>

#include <chrono>
#include <string>

class wxDialog;

class PrintToFile {
public:
    // Names the file printer and `path` in `data`, the settings the print
    // dialog opens with. Until `limit` has passed the dialog is confirmed
    // as soon as it has the file printer chosen; after that, the dialog or
    // the print still running is cancelled and the test fails.
    PrintToFile(wxPrintData& data, const std::string& path, std::chrono::seconds limit);
    ~PrintToFile();
    PrintToFile(const PrintToFile&) = delete;
    PrintToFile& operator=(const PrintToFile&) = delete;

    bool Confirmed() const { return m_confirmed; }
    // Whether `dialog` is a print dialog that one of these answers; the
    // tests' guard against unexpected dialogs lets those open.
    static bool Answers(wxDialog* dialog);

private:
    static int Poll(void* self);
    bool PollOnce();

    wxPrintData& m_data;
    std::string m_printer;
    std::chrono::steady_clock::time_point m_deadline;
    unsigned m_source = 0;
    bool m_confirmed = false;
};
