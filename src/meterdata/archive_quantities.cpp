#include "meterdata/archive_quantities.h"

#include <algorithm>
#include <deque>

namespace nord5 {

namespace {

struct Rows {
  std::deque<TDataSelector> selectors;  // a deque keeps the addresses the rows point at
  std::vector<tMTR7ExtParams> rows;
};

Rows BuildRows() {
  Rows r;
  r.rows.reserve(kArchiveQuantities.size());
  for (const ArchiveQuantity& q : kArchiveQuantities) {
    tMTR7ExtParams row;
    row.Name = std::string(q.Name);
    row.Count = q.Count;
    for (std::size_t k = 0; k < q.Count && k < q.Data.size(); ++k) {
      const ArchiveSelector& s = q.Data[k];
      r.selectors.push_back(TDataSelector{
          s.Storage, s.Tariff, s.Subunit, s.DataCode, {s.Vif.begin(), s.Vif.begin() + s.VifCount}});
      row.Data[k] = &r.selectors.back();
    }
    r.rows.push_back(std::move(row));
  }
  return r;
}

}  // namespace

const std::vector<tMTR7ExtParams>& ArchiveQuantityRows() {
  static const Rows rows = BuildRows();
  return rows.rows;
}

std::vector<const tMTR7ExtParams*> SelectedArchiveQuantities(std::span<const int> rows) {
  const std::vector<tMTR7ExtParams>& all = ArchiveQuantityRows();
  std::vector<const tMTR7ExtParams*> out;
  for (int i = 0; i < static_cast<int>(all.size()); ++i)
    if (std::find(rows.begin(), rows.end(), i) != rows.end())
      out.push_back(&all[static_cast<std::size_t>(i)]);
  return out;
}

}  // namespace nord5
