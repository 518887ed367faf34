#include "lathe_window/ChartTableModel.h"

#include "core/gearcalc.h"
#include "lathe_window/lathe_chart.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kNoNumber = std::numeric_limits<double>::quiet_NaN();

bool IsNumeric(unsigned column) {
    return column >= kAColumn && column <= kErrorColumn;
}

void SetTeeth(ChartRow& row, int column, std::int64_t teeth, const char* instead = nullptr) {
    row.cells[column] =
        instead != nullptr ? wxString(instead) : wxString::Format("%lld", (long long)teeth);
    row.keys[column] = instead != nullptr ? kNoNumber : static_cast<double>(teeth);
}

ChartRow ThreadRow(const ChartEntry& entry, std::size_t index) {
    ChartRow row;
    row.entry = index;
    for (double& key : row.keys) {
        key = kNoNumber;
    }
    row.cells[kListColumn] = wxString::FromUTF8(entry.list);
    row.cells[kThreadColumn] = wxString::FromUTF8(entry.thread.name);
    row.cells[kWantedColumn] = wxString::FromUTF8(WantedText(entry.thread));
    row.percentError = kNoNumber;
    row.hasTrain = false;
    return row;
}

ChartRow TrainRow(const ChartEntry& entry, std::size_t index, const ReportedTrain& train) {
    ChartRow row = ThreadRow(entry, index);
    row.hasTrain = true;
    row.cells[kGearboxColumn] = wxString::FromUTF8(train.gearbox);
    const bool simple = IsSimple(train);
    SetTeeth(row, kAColumn, train.A);
    // On a banjo, a simple train names the idler that mounts.
    SetTeeth(row, kBColumn, train.idler.value_or(train.B),
             simple && !train.idler ? "ANY" : nullptr);
    SetTeeth(row, kCColumn, train.C, simple ? "--" : nullptr);
    SetTeeth(row, kDColumn, train.D);
    SetTeeth(row, kEColumn, train.E.value_or(0), train.E ? nullptr : "");
    SetTeeth(row, kFColumn, train.F.value_or(0), train.F ? nullptr : "");
    const double cut = TpiToThread(entry.thread.type, train.thread);
    row.cells[kCutColumn] = wxString::Format("%.4f", cut);
    row.keys[kCutColumn] = cut;
    row.percentError = PercentError(train, entry.desiredTpi);
    row.cells[kErrorColumn] = wxString::Format("%.4f", row.percentError) +
                              (IsExact(row.percentError) ? wxString::FromUTF8(" \u2713") : "");
    row.keys[kErrorColumn] = row.percentError;
    return row;
}

} // namespace

void ChartTableModel::Show(const std::vector<ChartEntry>& chart, double shadePercent) {
    m_shadePercent = shadePercent;
    m_rows.clear();
    for (std::size_t i = 0; i < chart.size(); ++i) {
        if (chart[i].trains.empty()) {
            m_rows.push_back(ThreadRow(chart[i], i));
            m_rows.back().cells[kCutColumn] = "no train of these gears fits";
        }
        for (const ReportedTrain& train : chart[i].trains) {
            m_rows.push_back(TrainRow(chart[i], i, train));
        }
    }
    Reset(RowCount());
}

void ChartTableModel::SetShadePercent(double percent) {
    m_shadePercent = percent;
    Reset(RowCount());
}

void ChartTableModel::GetValueByRow(wxVariant& variant, unsigned row, unsigned column) const {
    variant = row < RowCount() && column < kColumnCount ? m_rows[row].cells[column] : wxString();
}

bool ChartTableModel::GetAttrByRow(unsigned row, unsigned, wxDataViewItemAttr& attr) const {
    if (row >= RowCount() || !m_rows[row].hasTrain) {
        return false;
    }
    const double percent = m_rows[row].percentError;
    if (IsExact(percent)) {
        attr.SetBold(true);
        return true;
    }
    if (percent > m_shadePercent) {
        attr.SetBackgroundColour(wxColour(209, 209, 209)); // the printed chart's grey
        return true;
    }
    return false;
}

int ChartTableModel::Compare(const wxDataViewItem& first, const wxDataViewItem& second,
                             unsigned column, bool ascending) const {
    const ChartRow& a = m_rows[GetRow(first)];
    const ChartRow& b = m_rows[GetRow(second)];
    int order = 0;
    if (IsNumeric(column) && !std::isnan(a.keys[column]) && !std::isnan(b.keys[column])) {
        order = a.keys[column] < b.keys[column] ? -1 : a.keys[column] > b.keys[column] ? 1 : 0;
    } else if (column < kColumnCount) {
        order = a.cells[column].Cmp(b.cells[column]);
    }
    if (order == 0) { // ties keep the chart's order
        order = GetRow(first) < GetRow(second) ? -1 : 1;
        return order;
    }
    return ascending ? order : -order;
}
