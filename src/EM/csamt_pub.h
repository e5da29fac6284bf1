#pragma once

#include <cstdint>
#include <cstdio>

// Records shared with the other survey tools: plain structures, free
// functions, the stream first. Files are little-endian whatever the host.

constexpr int CSAMT_MAX_FREQ_NUM = 128;
constexpr int MAX_FILE_NAME_LEN = 256;
constexpr int CSAMT_COIL_NAME_MAX_LEN = 9;
constexpr int CSAMT_CHANNEL_NUM = 6;
constexpr int CSAMT_CHANNEL_TEXT_LEN = 10;

struct freq_item
{
    int32_t sample_rate; // Hz
    float freq; // Hz
    int32_t period_num;
    float send_time; // s
};

struct freq_table
{
    char name[MAX_FILE_NAME_LEN];
    int32_t header_id;
    uint32_t header_val[6]; // carried as raw words; the initialiser stores four floats
    char name2[MAX_FILE_NAME_LEN];
    int32_t header_mode;
    int32_t harmonic_mode;
    int32_t freq_num;
    freq_item items[CSAMT_MAX_FREQ_NUM];
};

#pragma pack(push, 1)
struct SettingsRecord
{
    int32_t delayMs;
    int32_t singleMode;
    int32_t signalIndex;
    int32_t freqIndex;
    int32_t sweepIndex;
    char tableFile[MAX_FILE_NAME_LEN];
};
#pragma pack(pop)

// The receiver's channel set-up that travels with the tables between tools.
struct channel_table
{
    int32_t channel_id[CSAMT_CHANNEL_NUM];
    int16_t channel_kind[CSAMT_CHANNEL_NUM]; // 1 electric, 2 magnetic
    char coil_name[CSAMT_CHANNEL_NUM][CSAMT_CHANNEL_TEXT_LEN];
    char coil_serial[CSAMT_CHANNEL_NUM][CSAMT_CHANNEL_TEXT_LEN];
};

// Stream wrappers: fopen, and fread/fwrite counting bytes.
FILE *csamt_fopen(const char *path, const char *mode);
int csamt_fread(FILE *fp, void *buffer, int n);
int csamt_fwrite(FILE *fp, const void *buffer, int n);

// FTB2 files. The reader returns 1, or -1 with the record untouched when the
// file is short or breaks a limit; the writer returns the bytes it wrote.
int freq_table_read(FILE *fp, freq_table *table);
int freq_table_write(FILE *fp, const freq_table *table);
// Why freq_table_read refused a file, for tools that explain a refusal: the
// field it stopped in, and either the file's end inside it or the value that
// broke a limit (a text length outside 0 to 255, freq_num above 127).
struct freq_table_fault
{
    const char *field; // as named in the record, or "length of name", "length of name2"
    int entry; // the entry the field belongs to, -1 for the header
    long offset; // of the field in the file
    int ended; // 1 when the file ends inside the field
    int32_t value; // the value that broke a limit
};
// freq_table_read, filling *fault (when not null) as it refuses.
int freq_table_read_fault(FILE *fp, freq_table *table, freq_table_fault *fault);
// The length of the file freq_table_write makes of this record.
int freq_table_file_size(const freq_table *table);
void freq_table_init(freq_table *table);

// param.config: -1 when not even the version word is there, else 1; fields
// a short file does not reach keep what the record held.
int settings_read(FILE *fp, SettingsRecord *rec);
int settings_write(FILE *fp, const SettingsRecord *rec);

// Entry helpers. The "tail" forms take the address of a record's freq_num,
// through which the tools reach the entries that follow it.
int freq_item_samples(const freq_item *item);
int freq_samples(const int32_t *tail, int index);
double freq_item_duration(const freq_item *item);
double freq_duration(const int32_t *tail, int index);
double freq_total_duration(const int32_t *tail);
int freq_total_seconds(const int32_t *tail, int count);
double linear_value(float base, float step, int16_t index);
int harmonic_multiplier(const freq_table *table, int k);
float harmonic_freq(const freq_table *table, int index, int k);
void send_time_from_samples(int factor, freq_item *item);
double min_time(int a, int b);

// Truncates toward zero; NaN and values outside int32 give INT32_MIN, as the
// transmitter's tools have always read an overflowed count.
int32_t csamt_trunc_int32(double value);

const char *channel_kind_text(int kind);
int channel_kind_from_text(const char *text);
void channel_table_init(channel_table *table);
int channel_table_read(FILE *fp, channel_table *table);
int channel_table_write(FILE *fp, const channel_table *table);
