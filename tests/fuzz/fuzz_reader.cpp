// Feeds arbitrary bytes to the recording reader and to the same rules
// written literally (fgets/strtok/atof); both must give the same table, bit
// for bit, and neither may crash, hang or touch memory it does not own.
#include "../literal_reader.h"

#include "recording/recording.h"

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

RecordingTable fast;
RecordingTable literal;

FILE* openBytes(const uint8_t* data, size_t size) {
    static uint8_t none;
    return fmemopen(size ? const_cast<uint8_t*>(data) : &none, size, "r");
}

bool zeroRow(const RecordingRow& row) {
    for (float v : row.col)
        if (v != 0.0f) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    setlocale(LC_ALL, "C");
    FILE* file = openBytes(data, size);
    readRecordingStream(file, fast);
    fclose(file);
    file = openBytes(data, size);
    readRecordingStreamLiterally(file, literal);
    fclose(file);
    // UTF-16 with a byte-order mark is decoded by the program alone.
    const bool utf16 =
        size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF));
    if (!utf16 && (fast.rowCount != literal.rowCount ||
                   memcmp(fast.rows, literal.rows, sizeof(RecordingRow) * fast.rowCount) != 0 ||
                   memcmp(fast.missingFields, literal.missingFields,
                          sizeof(uint16_t) * fast.rowCount) != 0 ||
                   memcmp(fast.times, literal.times, sizeof(double) * fast.rowCount) != 0)) {
        fprintf(stderr, "the readers differ: %d rows against %d\n", fast.rowCount,
                literal.rowCount);
        abort();
    }
    // The row after the last is drawn by the replay of an empty recording.
    if (fast.rowCount < RECORDING_CAPACITY && !zeroRow(fast.rows[fast.rowCount])) {
        fprintf(stderr, "row %d after the last is not zero\n", fast.rowCount);
        abort();
    }
    return 0;
}
