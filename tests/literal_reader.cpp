#include "literal_reader.h"

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

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

// Whether text (commas already points) starts with a decimal number after
// white space other than tabs.
static bool startsWithNumber(const char* text) {
    const char* p = text + strspn(text, " \n\v\f\r");
    if (*p == '+' || *p == '-') p++;
    if (*p == '.') p++;
    return *p >= '0' && *p <= '9';
}

// Fields at every tab.
static int allFieldsOf(const char* line) {
    int fields = 1;
    for (const char* p = line; *p; p++)
        fields += *p == '\t';
    return fields;
}

// The same without an empty last field (a tab before the line end, or
// before nothing).
static int fieldsOf(const char* line) {
    const char* last = strrchr(line, '\t');
    const bool trailing = last && last[1 + strspn(last + 1, "\r\n")] == '\0';
    return allFieldsOf(line) - (trailing ? 1 : 0);
}

static void clearAfter(RecordingTable& table, int previousCount) {
    if (previousCount <= table.rowCount) return;
    memset(&table.rows[table.rowCount], 0, sizeof(RecordingRow) * (previousCount - table.rowCount));
    memset(&table.missingFields[table.rowCount], 0,
           sizeof(uint16_t) * (previousCount - table.rowCount));
    memset(&table.times[table.rowCount], 0, sizeof(double) * (previousCount - table.rowCount));
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

    // A UTF-8 byte-order mark is not part of the first line.
    unsigned char mark[3] = {0, 0, 0};
    if (fread(mark, 1, 3, file) != 3 || mark[0] != 0xEF || mark[1] != 0xBB || mark[2] != 0xBF)
        rewind(file);
    std::vector<std::string> raw;
    char buffer[RECORDING_LINE_BUFFER];
    while (fgets(buffer, sizeof buffer, file))
        raw.push_back(buffer); // a NUL ends the line here
    std::vector<std::string> lines = raw;
    for (std::string& line : lines)
        for (char& c : line)
            if (c == ',') c = '.';

    // The header: the first "Time" line whose next non-blank line starts with
    // a number and has as many fields as it (or it has at least 13); else
    // the first "Time" line followed by a number; else the first "Time" line.
    // Only the first HEADER_SEARCH_LINES lines are looked through.
    const size_t none = lines.size();
    const size_t searched = std::min<size_t>(lines.size(), HEADER_SEARCH_LINES);
    size_t header = none, firstTime = none, firstBeforeNumber = none;
    for (size_t i = 0; i < searched && header == none; i++) {
        if (strncmp(lines[i].c_str(), "Time", 4) != 0) continue;
        if (firstTime == none) firstTime = i;
        size_t next = i + 1;
        while (next < searched &&
               lines[next].c_str()[strspn(lines[next].c_str(), " \t\r\n\v\f")] == '\0')
            next++;
        if (next < searched && strncmp(lines[next].c_str(), "Time", 4) != 0 &&
            startsWithNumber(lines[next].c_str() + strspn(lines[next].c_str(), "\t "))) {
            if (firstBeforeNumber == none) firstBeforeNumber = i;
            const int fields = fieldsOf(raw[i].c_str());
            if (fields == fieldsOf(raw[next].c_str()) || fields == allFieldsOf(raw[next].c_str()) ||
                fields >= 13)
                header = i;
        }
    }
    if (header == none) header = firstBeforeNumber;
    if (header == none) header = firstTime;
    if (header == none || header + 1 >= lines.size()) {
        clearAfter(table, previousCount);
        return;
    }

    // A header without tabs but with ';' or ',' over a first line without
    // tabs: a CSV export, read as nothing.
    const char* head = raw[header].c_str();
    if (!strchr(head, '\t') && (strchr(head, ';') || strchr(head, ',')) &&
        !strchr(raw[header + 1].c_str(), '\t')) {
        clearAfter(table, previousCount);
        return;
    }

    // A header aligned with repeated tabs keeps no columns.
    int headerFields = fieldsOf(head);
    if (head[0] == '\t' || strstr(head, "\t\t")) headerFields = -1;

    for (size_t i = header + 1; i < lines.size() && table.rowCount < RECORDING_CAPACITY; i++) {
        RecordingRow& row = table.rows[table.rowCount];
        uint16_t& missing = table.missingFields[table.rowCount];
        memset(&row, 0, sizeof row);
        missing = 0;
        double& time = table.times[table.rowCount];
        time = 0;
        char* line = lines[i].data();
        // As many fields as the header's columns, or one more that is empty.
        const int all = allFieldsOf(line);
        const bool kept = all == headerFields || (all == headerFields + 1 && fieldsOf(line) < all);
        auto store = [&](int column, const char* field) {
            if (column >= RECORDING_COLUMNS) return;
            const double value = plainAtof ? atof(field) : decimalAtof(field);
            row.col[column] = static_cast<float>(value);
            if (column == 0) time = value;
            if (!startsWithNumber(field)) missing |= static_cast<uint16_t>(1u << column);
        };
        int column = 0;
        if (kept) {
            // Every tab ends a field, up to the header's columns.
            for (int k = 0; k < headerFields; k++) {
                char* tab = strchr(line, '\t');
                if (tab) *tab = '\0';
                store(column++, line);
                if (!tab) break;
                line = tab + 1;
            }
        } else {
            for (char* field = strtok(line, "\t"); field; field = strtok(nullptr, "\t"))
                store(column++, field);
        }
        table.rowCount++;
    }
    clearAfter(table, previousCount);
}
