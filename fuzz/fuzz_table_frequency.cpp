// The frequency table's texts: any entry an imported file may hold, and any
// text in the frequency and sending-time cells, read back as the start
// parameters and the total read them.
#include "fuzzsupport.h"

#include <QString>

#include <cfloat>
#include <cmath>
#include <cstring>

#include "table/tablemodel.h"

namespace {

class Input
{
public:
    Input(const uint8_t *data, size_t size)
        : data(data)
        , size(size)
    {
    }
    bool empty() const { return pos >= size; }
    uint8_t byte() { return pos < size ? data[pos++] : 0; }
    void bytes(void *out, size_t n)
    {
        std::memset(out, 0, n);
        const size_t have = pos < size ? std::min(n, size - pos) : 0;
        std::memcpy(out, data + pos, have);
        pos += have;
    }
    QString text()
    {
        const size_t n = std::min<size_t>(byte() % 32, size - std::min(pos, size));
        const QString t = QString::fromUtf8(reinterpret_cast<const char *>(data + pos), int(n));
        pos += n;
        return t;
    }

private:
    const uint8_t *data;
    size_t size;
    size_t pos = 0;
};

bool PowerOfTwoInRange(float f)
{
    int exponent = 0;
    return std::frexp(f, &exponent) == 0.5f && exponent >= -12 && exponent <= 14;
}

// What the start parameters read from a row. Read after each edit for the
// row it touched and at the end for all: reading every row after every edit
// made long inputs quadratic.
void ReadRow(const TableModel &model, int row)
{
    model.frequency(row);
    model.sendTime(row);
    model.sampleRate(row);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    StartHeadlessApplication();
    TableModel model;
    Input in(data, size);

    while (!in.empty()) {
        const uint8_t op = in.byte();
        const int rows = model.rowCount();
        const int row = rows ? in.byte() % rows : 0;
        switch (op % 4) {
        case 0: {
            if (rows >= TableModel::MaxRows)
                break;
            freq_item entry;
            in.bytes(&entry, sizeof entry);
            const int at = in.byte() % (rows + 1);
            model.insertEntryRow(at, entry);
            const float shown = model.frequency(at);
            // The editor's 27 frequencies come back exactly; any other
            // frequency of 1 Hz or more to the six digits shown (within 5e-6
            // of it), read back into a float (within half a float step more).
            if (PowerOfTwoInRange(entry.freq))
                FUZZ_CHECK(shown == entry.freq);
            else if (entry.freq >= 1.0f && std::isfinite(entry.freq))
                FUZZ_CHECK(std::fabs(double(shown) - double(entry.freq))
                    <= 5e-6 * double(entry.freq) + 0.5 * FLT_EPSILON * double(shown));
            // A fraction 1/N, N from 2 to 2^24, reads back as a value that shows
            // the same fraction, so a saved table reloads unchanged.
            else if (entry.freq >= std::ldexp(1.0f, -24) && entry.freq < 0.5f) {
                const QString text = model.item(at, 1)->text();
                model.insertEntryRow(at, { 0, shown, 0, 0.0f });
                FUZZ_CHECK(model.item(at, 1)->text() == text);
                model.deleteRow(at);
            }
            break;
        }
        case 1:
            if (rows)
                model.setData(model.index(row, 1), in.text());
            break;
        case 2:
            if (rows) {
                model.setData(model.index(row, 2), in.text());
                model.recomputeTotal();
            }
            break;
        case 3:
            if (rows)
                model.deleteRow(row);
            break;
        }
        if (row < model.rowCount())
            ReadRow(model, row);
        // The running total and a count from scratch agree.
        const int running = model.totalSeconds;
        model.recomputeTotal();
        FUZZ_CHECK(model.totalSeconds == running);
    }
    for (int r = 0; r < model.rowCount(); ++r)
        ReadRow(model, r);
    return 0;
}
