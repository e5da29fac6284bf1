#pragma once

#include <cstdint>
#include <cstdio>

// Records shared with the other survey tools: plain structures, free
// functions, the stream first. Files are little-endian whatever the host.

constexpr int CSAMT_MAX_FREQ_NUM = 128;
constexpr int MAX_FILE_NAME_LEN = 256;
constexpr int CSAMT_COIL_NAME_MAX_LEN = 9;

struct freq_item
{
    int32_t sample_rate; // Hz
    float freq;          // Hz
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
