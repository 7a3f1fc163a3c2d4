#include "sim_test_util.h"

#include <algorithm>

#include "sim/meter_records.h"

namespace nord5::sim::testing {

bool HasRecord(const Bytes& records, const Bytes& header) {
  std::vector<DataRecord> parsed;
  if (!ParseRecords(records, parsed)) return false;
  for (const DataRecord& r : parsed) {
    const Bytes& h = r.header;
    if (h.size() >= header.size() && std::equal(header.begin(), header.end(), h.begin()))
      return true;
  }
  return false;
}

}  // namespace nord5::sim::testing
