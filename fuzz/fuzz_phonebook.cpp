// The per-user phonebook file, which any program of the user can write.
#include "fuzzcheck.h"
#include "platform/linux/phonebookfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto book = phonebook::parse(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!book) return 0;
    // What was read is written back and read again unchanged.
    const auto again = phonebook::parse(phonebook::serialize(*book));
    FUZZ_CHECK(again.has_value() && again->entries.size() == book->entries.size());
    for (qsizetype i = 0; i < book->entries.size(); ++i) {
        FUZZ_CHECK(again->entries[i].name == book->entries[i].name);
        FUZZ_CHECK(again->entries[i].values == book->entries[i].values);
    }
    return 0;
}
