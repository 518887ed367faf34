#include "lathe_window_print.h"

#include <gtest/gtest.h>

#include <wx/gtk/print.h>
#include <wx/printdlg.h>

#include <gtk/gtk.h>
#include <gtk/gtkunixprint.h>

namespace {

PrintToFile* g_answering = nullptr;

GtkDialog* OpenPrintDialog() {
    GList* windows = gtk_window_list_toplevels();
    GtkDialog* found = nullptr;
    for (GList* node = windows; node != nullptr && found == nullptr; node = node->next) {
        if (GTK_IS_PRINT_UNIX_DIALOG(node->data) &&
            gtk_widget_get_visible(GTK_WIDGET(node->data))) {
            found = GTK_DIALOG(node->data);
        }
    }
    g_list_free(windows);
    return found;
}

GtkPrintSettings* Settings(wxPrintData& data) {
    return static_cast<wxGtkPrintNativeData*>(data.GetNativeData())->GetPrintConfig();
}

} // namespace

PrintToFile::PrintToFile(wxPrintData& data, const std::string& path, std::chrono::seconds limit)
    : m_data(data),
      // The file printer is named in the user's language, as the toolkit
      // translates it.
      m_printer(g_dgettext("gtk30", "Print to File")),
      m_deadline(std::chrono::steady_clock::now() + limit) {
    m_data.SetPrinterName(wxString::FromUTF8(m_printer));
    m_data.ConvertToNative();
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    gtk_print_settings_set(Settings(m_data), GTK_PRINT_SETTINGS_OUTPUT_URI, uri);
    g_free(uri);
    gtk_print_settings_set(Settings(m_data), GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
    m_source = g_timeout_add(50, &PrintToFile::Poll, this);
    g_answering = this;
}

PrintToFile::~PrintToFile() {
    if (m_source != 0) {
        g_source_remove(m_source);
    }
    g_answering = nullptr;
}

bool PrintToFile::Answers(wxDialog* dialog) {
    return g_answering != nullptr && dynamic_cast<wxPrintDialogBase*>(dialog) != nullptr;
}

int PrintToFile::Poll(void* self) {
    if (static_cast<PrintToFile*>(self)->PollOnce()) {
        return G_SOURCE_CONTINUE;
    }
    static_cast<PrintToFile*>(self)->m_source = 0;
    return G_SOURCE_REMOVE;
}

// The toolkit's loops run while the dialog is open and while the pages are
// drawn and sent, so this runs in them; it stops once it has cancelled.
bool PrintToFile::PollOnce() {
    const bool late = std::chrono::steady_clock::now() > m_deadline;
    GtkDialog* dialog = OpenPrintDialog();
    if (dialog != nullptr && !m_confirmed) {
        GtkPrinter* printer =
            gtk_print_unix_dialog_get_selected_printer(GTK_PRINT_UNIX_DIALOG(dialog));
        if (printer != nullptr && m_printer == gtk_printer_get_name(printer)) {
            m_confirmed = true;
            gtk_dialog_response(dialog, GTK_RESPONSE_OK);
            return true;
        }
    }
    if (!late) {
        return true;
    }
    ADD_FAILURE() << (m_confirmed ? "the print did not end in time"
                                  : "the print dialog never had the file printer chosen");
    if (dialog != nullptr) {
        gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL);
    } else {
        auto* native = static_cast<wxGtkPrintNativeData*>(m_data.GetNativeData());
        if (native->GetPrintJob() != nullptr) {
            gtk_print_operation_cancel(native->GetPrintJob());
        }
    }
    return false;
}
