// Any bytes as an FTB2 table file: the import button and the start-up reload
// hand whatever file they find to freq_table_read.
#include "fuzzsupport.h"

#include <cstring>

#include "EM/csamt_pub.h"

namespace {

bool Terminated(const char *text)
{
    return std::memchr(text, '\0', MAX_FILE_NAME_LEN) != nullptr;
}

// A text comes back as the writer keeps it: at most 254 bytes, so a 255-byte
// text read from a file without its NUL loses its last byte.
bool SameText(const char *read, const char *again)
{
    const size_t kept = MAX_FILE_NAME_LEN - 2;
    return std::strncmp(read, again, kept) == 0 && std::strlen(again) <= kept;
}

// What a table file carries: texts up to their NUL, the words, the count and
// the entries it counts.
bool SameContent(const freq_table &a, const freq_table &b)
{
    if (!SameText(a.name, b.name) || !SameText(a.name2, b.name2) || a.header_id != b.header_id
        || std::memcmp(a.header_val, b.header_val, sizeof a.header_val) != 0 || a.header_mode != b.header_mode
        || a.harmonic_mode != b.harmonic_mode || a.freq_num != b.freq_num)
        return false;
    const int count = a.freq_num > 0 ? a.freq_num : 0;
    return std::memcmp(a.items, b.items, sizeof(freq_item) * size_t(count)) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static freq_table before;
    static freq_table table;
    std::memset(&before, 0x5A, sizeof before);
    freq_table_init(&before);
    table = before;

    int result;
    {
        InputFile file(data, size);
        result = freq_table_read(file.get(), &table);
    }
    FUZZ_CHECK(result == 1 || result == -1);
    if (result == -1) {
        // A refused file leaves the table as it was.
        FUZZ_CHECK(std::memcmp(&table, &before, sizeof table) == 0);
        return 0;
    }
    FUZZ_CHECK(Terminated(table.name) && Terminated(table.name2));
    FUZZ_CHECK(table.freq_num < CSAMT_MAX_FREQ_NUM);

    // What was accepted can be exported and imported again unchanged.
    static freq_table again;
    std::memset(&again, 0, sizeof again);
    InputFile out(nullptr, 0);
    const int written = freq_table_write(out.get(), &table);
    FUZZ_CHECK(written == freq_table_file_size(&table));
    std::rewind(out.get());
    FUZZ_CHECK(freq_table_read(out.get(), &again) == 1);
    FUZZ_CHECK(SameContent(table, again));
    return 0;
}
