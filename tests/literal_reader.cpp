#include "literal_reader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

// atof, except that hexadecimal, infinity and NaN notations count only as far
// as their decimal prefix: "0x1p3" is 0, "inf" and "nan" are no number.
static double decimalAtof(const char* text) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        p++;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-') p++;
    if (strncasecmp(p, "inf", 3) == 0 || strncasecmp(p, "nan", 3) == 0) return 0.0;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) return negative ? -0.0 : 0.0;
    return atof(text);
}

bool loadRecordingLiterally(const char* path, RecordingTable& table, bool plainAtof) {
    FILE* file = fopen(path, "rb");
    if (!file) return false;
    readRecordingStreamLiterally(file, table, plainAtof);
    fclose(file);
    return true;
}

void readRecordingStreamLiterally(FILE* file, RecordingTable& table, bool plainAtof) {
    const int previousCount = table.rowCount;
    table.rowCount = 0;
    char line[RECORDING_LINE_BUFFER];
    bool headerPending = true;
    while (table.rowCount < RECORDING_CAPACITY) {
        if (!fgets(line, sizeof line, file)) break;
        if (!headerPending) {
            RecordingRow& row = table.rows[table.rowCount];
            memset(&row, 0, sizeof row);
            for (char* c = line; *c; c++)
                if (*c == ',') *c = '.';
            int column = 0;
            for (char* field = strtok(line, "\t"); field; field = strtok(nullptr, "\t")) {
                float value = static_cast<float>(plainAtof ? atof(field) : decimalAtof(field));
                if (column < RECORDING_COLUMNS) row.col[column] = value;
                column++;
            }
            table.rowCount++;
        }
        if (strncmp(line, "Time", 4) == 0) headerPending = false;
    }
    if (previousCount > table.rowCount)
        memset(&table.rows[table.rowCount], 0,
               sizeof(RecordingRow) * (previousCount - table.rowCount));
}
