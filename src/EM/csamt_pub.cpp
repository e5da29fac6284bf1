#include "EM/csamt_pub.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <type_traits>

namespace {

// Byte order on disk is fixed; the host's is not, so every field goes
// through these rather than through memcpy of the record.
void put_le32(unsigned char *p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

uint32_t get_le32(const unsigned char *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint32_t float_bits(float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

float bits_float(uint32_t bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

bool read_u32(FILE *fp, uint32_t *value)
{
    unsigned char b[4];
    if (csamt_fread(fp, b, 4) != 4)
        return false;
    *value = get_le32(b);
    return true;
}

bool read_i32(FILE *fp, int32_t *value)
{
    uint32_t raw;
    if (!read_u32(fp, &raw))
        return false;
    *value = int32_t(raw);
    return true;
}

bool read_f32(FILE *fp, float *value)
{
    uint32_t raw;
    if (!read_u32(fp, &raw))
        return false;
    *value = bits_float(raw);
    return true;
}

bool read_i16(FILE *fp, int16_t *value)
{
    unsigned char b[2];
    if (csamt_fread(fp, b, 2) != 2)
        return false;
    *value = int16_t(uint16_t(b[0] | b[1] << 8));
    return true;
}

int write_u32(FILE *fp, uint32_t value)
{
    unsigned char b[4];
    put_le32(b, value);
    return csamt_fwrite(fp, b, 4);
}

int write_i32(FILE *fp, int32_t value)
{
    return write_u32(fp, uint32_t(value));
}

int write_f32(FILE *fp, float value)
{
    return write_u32(fp, float_bits(value));
}

int write_i16(FILE *fp, int16_t value)
{
    const unsigned char b[2] = { uint8_t(uint16_t(value)), uint8_t(uint16_t(value) >> 8) };
    return csamt_fwrite(fp, b, 2);
}

// A length word, then that many bytes, NUL included. The field is cleared
// first, so it ends terminated whatever the file's bytes hold.
bool read_text(FILE *fp, char *field, int fieldSize, int minLen, int maxLen)
{
    int32_t len;
    if (!read_i32(fp, &len) || len < minLen || len > maxLen || len >= fieldSize)
        return false;
    std::memset(field, 0, size_t(fieldSize));
    return len == 0 || csamt_fread(fp, field, len) == len;
}

// Writes at most maxChars bytes of the text and a NUL, even when the field
// itself lost its terminator.
int write_text(FILE *fp, const char *field, int maxChars)
{
    char buffer[MAX_FILE_NAME_LEN] = {};
    size_t chars = 0;
    while (chars < size_t(maxChars) && field[chars] != '\0')
        ++chars;
    std::memcpy(buffer, field, chars);
    const int32_t len = int32_t(chars) + 1;
    return write_i32(fp, len) + csamt_fwrite(fp, buffer, len);
}

// A table text is stored in at most 255 bytes with its NUL, the most the
// reader takes; a 255-byte text read from a file without a NUL loses its last
// byte when written, so that what is exported can be imported again.
constexpr int kMaxTableTextChars = MAX_FILE_NAME_LEN - 2;

int text_file_len(const char *field, int maxChars)
{
    int chars = 0;
    while (chars < maxChars && field[chars] != '\0')
        ++chars;
    return chars + 1;
}

int write_item(FILE *fp, const freq_item *item)
{
    return write_i32(fp, item->sample_rate) + write_f32(fp, item->freq) + write_i32(fp, item->period_num)
        + write_f32(fp, item->send_time);
}

// Entries a writer may take from a record: none for a count of 0 or less,
// never more than the record holds.
int stored_count(int32_t freq_num)
{
    return std::clamp(freq_num, 0, CSAMT_MAX_FREQ_NUM);
}

static_assert(std::is_standard_layout<freq_table>::value, "the tail helpers step from freq_num to the entries");

const freq_item *tail_items(const int32_t *tail)
{
    const std::ptrdiff_t gap
        = std::ptrdiff_t(offsetof(freq_table, items)) - std::ptrdiff_t(offsetof(freq_table, freq_num));
    return reinterpret_cast<const freq_item *>(reinterpret_cast<const char *>(tail) + gap);
}

} // namespace

FILE *csamt_fopen(const char *path, const char *mode)
{
    return std::fopen(path, mode);
}

int csamt_fread(FILE *fp, void *buffer, int n)
{
    if (!fp || n <= 0)
        return 0;
    return int(std::fread(buffer, 1, size_t(n), fp));
}

int csamt_fwrite(FILE *fp, const void *buffer, int n)
{
    if (!fp || n <= 0)
        return 0;
    return int(std::fwrite(buffer, 1, size_t(n), fp));
}

int freq_table_read(FILE *fp, freq_table *table)
{
    return freq_table_read_fault(fp, table, nullptr);
}

int freq_table_read_fault(FILE *fp, freq_table *table, freq_table_fault *fault)
{
    // Work on a copy: a file refused half-way must not leave half a table.
    freq_table scratch = *table;
    // Names the field about to be read, so a refusal can say where it stopped.
    freq_table_fault where = {};
    const auto at = [&](const char *field, int entry = -1) {
        where = { field, entry, fp ? long(std::ftell(fp)) : -1L, 1, 0 };
        return true;
    };
    // A value read whole that breaks a limit, rather than a file that ends.
    const auto breaks = [&](int32_t value) {
        where.ended = 0;
        where.value = value;
        return false;
    };
    const auto text = [&](const char *lengthField, const char *field, char *into) {
        int32_t len;
        if (!(at(lengthField) && read_i32(fp, &len) && ((len >= 0 && len < MAX_FILE_NAME_LEN) || breaks(len))))
            return false;
        std::memset(into, 0, MAX_FILE_NAME_LEN);
        return at(field) && (len == 0 || csamt_fread(fp, into, len) == len);
    };
    int32_t version;
    bool ok = at("version") && read_i32(fp, &version) && text("length of name", "name", scratch.name) && at("header_id")
        && read_i32(fp, &scratch.header_id);
    for (uint32_t &word : scratch.header_val)
        ok = ok && at("header_val") && read_u32(fp, &word);
    ok = ok && text("length of name2", "name2", scratch.name2) && at("header_mode")
        && read_i32(fp, &scratch.header_mode) && at("harmonic_mode") && read_i32(fp, &scratch.harmonic_mode)
        && at("freq_num") && read_i32(fp, &scratch.freq_num)
        && (scratch.freq_num < CSAMT_MAX_FREQ_NUM || breaks(scratch.freq_num));
    for (int i = 0; ok && i < scratch.freq_num; ++i) {
        freq_item &item = scratch.items[i];
        ok = at("sample_rate", i) && read_i32(fp, &item.sample_rate) && at("freq", i) && read_f32(fp, &item.freq)
            && at("period_num", i) && read_i32(fp, &item.period_num) && at("send_time", i)
            && read_f32(fp, &item.send_time);
    }
    if (ok)
        *table = scratch;
    else if (fault)
        *fault = where;
    return ok ? 1 : -1;
}

int freq_table_write(FILE *fp, const freq_table *table)
{
    const int count = stored_count(table->freq_num);
    int written = write_i32(fp, 1);
    written += write_text(fp, table->name, kMaxTableTextChars);
    written += write_i32(fp, table->header_id);
    for (uint32_t word : table->header_val)
        written += write_u32(fp, word);
    written += write_text(fp, table->name2, kMaxTableTextChars);
    written += write_i32(fp, table->header_mode);
    written += write_i32(fp, table->harmonic_mode);
    written += write_i32(fp, table->freq_num > CSAMT_MAX_FREQ_NUM ? CSAMT_MAX_FREQ_NUM : table->freq_num);
    for (int i = 0; i < count; ++i)
        written += write_item(fp, &table->items[i]);
    return written;
}

int freq_table_file_size(const freq_table *table)
{
    return 52 + text_file_len(table->name, kMaxTableTextChars) + text_file_len(table->name2, kMaxTableTextChars)
        + 16 * stored_count(table->freq_num);
}

void freq_table_init(freq_table *table)
{
    std::memcpy(table->name, "aaa", 4);
    table->header_id = 101;
    table->header_val[0] = float_bits(6000.0f);
    table->header_val[1] = float_bits(-1000.0f);
    table->header_val[2] = float_bits(1000.0f);
    table->header_val[3] = float_bits(20.0f);
    table->header_val[4] = 0;
    table->header_val[5] = 0;
    std::memcpy(table->name2, "test", 5);
    table->header_mode = 2;
    table->harmonic_mode = 0;
    table->freq_num = 0;
}

int settings_read(FILE *fp, SettingsRecord *rec)
{
    int32_t version;
    if (!read_i32(fp, &version))
        return -1;
    char name[MAX_FILE_NAME_LEN];
    if (csamt_fread(fp, name, MAX_FILE_NAME_LEN) == MAX_FILE_NAME_LEN)
        std::memcpy(rec->tableFile, name, sizeof name);
    // Taken as a C string later, whatever the file held.
    rec->tableFile[MAX_FILE_NAME_LEN - 1] = '\0';
    int32_t value;
    for (int32_t *field : { &rec->freqIndex, &rec->singleMode, &rec->sweepIndex, &rec->signalIndex, &rec->delayMs }) {
        if (read_i32(fp, &value))
            *field = value;
    }
    return 1;
}

int settings_write(FILE *fp, const SettingsRecord *rec)
{
    int written = write_i32(fp, 1);
    written += csamt_fwrite(fp, rec->tableFile, MAX_FILE_NAME_LEN);
    written += write_i32(fp, rec->freqIndex);
    written += write_i32(fp, rec->singleMode);
    written += write_i32(fp, rec->sweepIndex);
    written += write_i32(fp, rec->signalIndex);
    written += write_i32(fp, rec->delayMs);
    return written;
}

int32_t csamt_trunc_int32(double value)
{
    if (!(value > -2147483649.0 && value < 2147483648.0))
        return INT32_MIN;
    return int32_t(value);
}

int freq_item_samples(const freq_item *item)
{
    // The tools multiply in 32 bits; keep their wrap-around without the
    // undefined behaviour of signed overflow.
    const int32_t product = int32_t(uint32_t(item->sample_rate) * uint32_t(item->period_num));
    const float perFreq = float(product) / item->freq;
    return csamt_trunc_int32(double(perFreq) + 0.5);
}

int freq_samples(const int32_t *tail, int index)
{
    return freq_item_samples(&tail_items(tail)[index]);
}

double freq_item_duration(const freq_item *item)
{
    return double(item->period_num) / double(item->freq) + double(item->send_time);
}

double freq_duration(const int32_t *tail, int index)
{
    return freq_item_duration(&tail_items(tail)[index]);
}

double freq_total_duration(const int32_t *tail)
{
    const int count = stored_count(*tail);
    double total = 0.0;
    for (int i = 0; i < count; ++i)
        total += freq_duration(tail, i);
    return total;
}

int freq_total_seconds(const int32_t *tail, int count)
{
    const freq_item *items = tail_items(tail);
    count = std::clamp(count, 0, CSAMT_MAX_FREQ_NUM);
    int total = 0;
    for (int i = 0; i < count; ++i)
        total += csamt_trunc_int32(
            double(items[i].period_num) / double(items[i].freq) + double(items[i].send_time) + 0.5);
    return total;
}

double linear_value(float base, float step, int16_t index)
{
    return double(base) + double(step) * double(index);
}

int harmonic_multiplier(const freq_table *table, int k)
{
    switch (table->harmonic_mode) {
    case 0:
        return 2 * k + 1;
    case 1:
        return csamt_trunc_int32(std::pow(2.0, double(k)) + 0.5);
    default:
        return k + 1;
    }
}

float harmonic_freq(const freq_table *table, int index, int k)
{
    if (index < 0 || index >= CSAMT_MAX_FREQ_NUM)
        return 0.0f;
    return table->items[index].freq * float(harmonic_multiplier(table, k));
}

void send_time_from_samples(int factor, freq_item *item)
{
    const int64_t samples = int64_t(freq_item_samples(item)) * factor;
    item->send_time = float(std::max(5.0, double(samples / 10000 + 3)));
}

double min_time(int a, int b)
{
    return std::max(5.0, double(int64_t(a) * b / 10000 + 3));
}

const char *channel_kind_text(int kind)
{
    // One buffer, as the tools expect: an unknown kind leaves the last text.
    static char text[7];
    const char *source = nullptr;
    if (kind == 0)
        source = u8"无效";
    else if (kind == 1)
        source = u8"电道";
    else if (kind == 2)
        source = u8"磁道";
    if (source)
        std::memcpy(text, source, sizeof text);
    return text;
}

int channel_kind_from_text(const char *text)
{
    if (std::strcmp(text, u8"电道") == 0)
        return 1;
    if (std::strcmp(text, u8"磁道") == 0)
        return 2;
    return 0;
}

void channel_table_init(channel_table *table)
{
    std::memset(table, 0, sizeof *table);
}

int channel_table_read(FILE *fp, channel_table *table)
{
    channel_table scratch = *table;
    int32_t version, count;
    bool ok = read_i32(fp, &version) && read_i32(fp, &count) && count <= CSAMT_CHANNEL_NUM;
    for (int i = 0; ok && i < count; ++i) {
        ok = read_i32(fp, &scratch.channel_id[i]) && read_i16(fp, &scratch.channel_kind[i])
            && read_text(fp, scratch.coil_name[i], CSAMT_CHANNEL_TEXT_LEN, 1, CSAMT_COIL_NAME_MAX_LEN - 1)
            && read_text(fp, scratch.coil_serial[i], CSAMT_CHANNEL_TEXT_LEN, 1, CSAMT_COIL_NAME_MAX_LEN - 1);
    }
    if (ok)
        *table = scratch;
    return ok ? 1 : -1;
}

int channel_table_write(FILE *fp, const channel_table *table)
{
    // Texts are cut to what the reader accepts: 1 to 8 bytes with the NUL.
    const int maxChars = CSAMT_COIL_NAME_MAX_LEN - 2;
    int written = write_i32(fp, 1) + write_i32(fp, CSAMT_CHANNEL_NUM);
    for (int i = 0; i < CSAMT_CHANNEL_NUM; ++i) {
        written += write_i32(fp, table->channel_id[i]);
        written += write_i16(fp, table->channel_kind[i]);
        written += write_text(fp, table->coil_name[i], maxChars);
        written += write_text(fp, table->coil_serial[i], maxChars);
    }
    return written;
}
