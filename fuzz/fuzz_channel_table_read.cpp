// Any bytes as a channel file, the receiver set-up the survey tools exchange.
#include "fuzzsupport.h"

#include <algorithm>
#include <cstring>

#include "EM/csamt_pub.h"

namespace {

// Stored in 1 to 8 bytes; without a NUL among them the field ends it.
bool ShortText(const char *text)
{
    const void *nul = std::memchr(text, '\0', CSAMT_CHANNEL_TEXT_LEN);
    return nul && static_cast<const char *>(nul) - text <= CSAMT_COIL_NAME_MAX_LEN - 1;
}

// The writer keeps 7 characters, so its file always has room for the NUL.
bool WrittenAs(const char *read, const char *again)
{
    const size_t kept = std::min<size_t>(std::strlen(read), CSAMT_COIL_NAME_MAX_LEN - 2);
    return std::strlen(again) == kept && std::strncmp(read, again, kept) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    channel_table before;
    channel_table_init(&before);
    channel_table table = before;

    int result;
    {
        InputFile file(data, size);
        result = channel_table_read(file.get(), &table);
    }
    FUZZ_CHECK(result == 1 || result == -1);
    if (result == -1) {
        FUZZ_CHECK(std::memcmp(&table, &before, sizeof table) == 0);
        return 0;
    }
    for (int i = 0; i < CSAMT_CHANNEL_NUM; ++i)
        FUZZ_CHECK(ShortText(table.coil_name[i]) && ShortText(table.coil_serial[i]));

    channel_table again;
    channel_table_init(&again);
    InputFile out(nullptr, 0);
    channel_table_write(out.get(), &table);
    std::rewind(out.get());
    FUZZ_CHECK(channel_table_read(out.get(), &again) == 1);
    FUZZ_CHECK(std::memcmp(table.channel_id, again.channel_id, sizeof table.channel_id) == 0);
    FUZZ_CHECK(std::memcmp(table.channel_kind, again.channel_kind, sizeof table.channel_kind) == 0);
    for (int i = 0; i < CSAMT_CHANNEL_NUM; ++i)
        FUZZ_CHECK(
            WrittenAs(table.coil_name[i], again.coil_name[i]) && WrittenAs(table.coil_serial[i], again.coil_serial[i]));
    return 0;
}
