// Any bytes as the CSV ftb2 from-csv turns into a table file: spreadsheets,
// hand edits and whatever else a planner hands it.
#include "fuzzsupport.h"

#include <cmath>
#include <cstring>

#include "csvtable.h"
#include "table/tablemodel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    StartHeadlessApplication();
    static freq_table before;
    static freq_table table;
    std::memset(&before, 0x5A, sizeof before);
    freq_table_init(&before);
    table = before;

    const QByteArray csv(reinterpret_cast<const char *>(data), int(size));
    CsvProblem problem;
    if (!ReadCsvTable(csv, &table, &problem)) {
        // A refusal says why and where, and changes nothing.
        FUZZ_CHECK(std::memcmp(&table, &before, sizeof table) == 0);
        FUZZ_CHECK(!problem.text.isEmpty());
        FUZZ_CHECK(problem.line >= 0 && problem.line <= csv.count('\n') + csv.count('\r') + 1);
        return 0;
    }
    // Only what SourceDesk takes and the transmitter can use gets through.
    FUZZ_CHECK(table.freq_num >= 1 && table.freq_num <= TableModel::MaxRows);
    for (int i = 0; i < table.freq_num; ++i) {
        const freq_item &item = table.items[i];
        FUZZ_CHECK(std::isfinite(item.freq) && item.freq > 0.0f);
        FUZZ_CHECK(item.send_time >= 0.0f && std::floor(item.send_time) == item.send_time);
        FUZZ_CHECK(item.period_num >= 0 && item.sample_rate > 0);
    }
    FUZZ_CHECK(std::memcmp(table.name, before.name, sizeof before.name) == 0);

    // What was accepted goes out as CSV and comes back bit for bit.
    static freq_table again;
    again = before;
    FUZZ_CHECK(ReadCsvTable(WriteCsvTable(table), &again, &problem));
    FUZZ_CHECK(std::memcmp(&again, &table, sizeof table) == 0);
    return 0;
}
