// The chart as the window's table shows it: one row per train, cells as
// text, sorted by what the cells mean rather than by their letters.
#pragma once

#include "lathe/chart.h"

#include <wx/dataview.h>

#include <vector>

// The table's columns, in order.
enum ChartColumn {
    kListColumn,
    kThreadColumn,
    kWantedColumn,
    kGearboxColumn,
    kAColumn,
    kBColumn,
    kCColumn,
    kDColumn,
    kEColumn,
    kFColumn,
    kCutColumn,
    kErrorColumn,
    kColumnCount
};

struct ChartRow {
    std::size_t entry; // in the chart
    wxString cells[kColumnCount];
    double keys[kColumnCount]; // what numeric columns sort by
    double percentError;       // of a train; none for a thread no train cuts
    bool hasTrain;
};

class ChartTableModel : public wxDataViewIndexListModel {
public:
    // Rows from `chart`; `shadePercent` is the error above which rows are shaded.
    void Show(const std::vector<ChartEntry>& chart, double shadePercent);
    void SetShadePercent(double percent);
    void Clear() { Show({}, m_shadePercent); }

    const ChartRow& Row(unsigned row) const { return m_rows[row]; }
    unsigned RowCount() const { return static_cast<unsigned>(m_rows.size()); }

    unsigned GetCount() const override { return RowCount(); }
    void GetValueByRow(wxVariant& variant, unsigned row, unsigned column) const override;
    bool SetValueByRow(const wxVariant&, unsigned, unsigned) override { return false; }
    bool GetAttrByRow(unsigned row, unsigned column, wxDataViewItemAttr& attr) const override;
    int Compare(const wxDataViewItem& first, const wxDataViewItem& second, unsigned column,
                bool ascending) const override;

private:
    std::vector<ChartRow> m_rows;
    double m_shadePercent = 0.5;
};
