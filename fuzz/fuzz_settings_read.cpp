// Any bytes as param.config, which the window reads at every start.
#include "fuzzsupport.h"

#include <cstring>

#include "EM/csamt_pub.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SettingsRecord before;
    std::memset(&before, 0x5A, sizeof before);
    SettingsRecord rec = before;

    int result;
    {
        InputFile file(data, size);
        result = settings_read(file.get(), &rec);
    }
    if (size < 4) {
        FUZZ_CHECK(result == -1);
        FUZZ_CHECK(std::memcmp(&rec, &before, sizeof rec) == 0);
        return 0;
    }
    FUZZ_CHECK(result == 1);
    // The name is used as a C string to open the remembered table.
    FUZZ_CHECK(std::memchr(rec.tableFile, '\0', sizeof rec.tableFile) != nullptr);

    // A whole file sets every field; writing it back gives the same 280 bytes,
    // but for the version word and a name that had lost its NUL.
    if (size >= 280) {
        InputFile out(nullptr, 0);
        FUZZ_CHECK(settings_write(out.get(), &rec) == 280);
        std::rewind(out.get());
        unsigned char written[280];
        FUZZ_CHECK(std::fread(written, 1, sizeof written, out.get()) == sizeof written);
        FUZZ_CHECK(std::memcmp(written + 4, data + 4, MAX_FILE_NAME_LEN - 1) == 0);
        FUZZ_CHECK(std::memcmp(written + 260, data + 260, 20) == 0);
    }
    return 0;
}
