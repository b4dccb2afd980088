// The parser's three logging shapes, in its zone.
#ifndef KVOR_PARSER_LOG_H
#define KVOR_PARSER_LOG_H

#include "kvor/deblog/DebLog.h"

const uint32_t KVOR_PARSER_ZONE = 12;

// An error, located at the call site; written only when the zone wants it.
#define KVOR_LOG_ERROR(...)                                                                                 \
    do {                                                                                                    \
        if (DebLogIsZoneEnabled(KVOR_PARSER_ZONE, DEBLOG_SEVERITY_ERROR)) {                                 \
            DebLogBeginEntry(KVOR_PARSER_ZONE, DEBLOG_SEVERITY_ERROR, 0, KVOR_SOURCE_FILE, __LINE__);       \
            DebLogWriteEntry(__VA_ARGS__);                                                                  \
        }                                                                                                   \
    } while (0)

// A query that found nothing; not located.
#define KVOR_LOG_NOT_FOUND(...)                                                                             \
    do {                                                                                                    \
        if (DebLogIsZoneEnabled(KVOR_PARSER_ZONE, DEBLOG_SEVERITY_INFO)) {                                  \
            DebLogBeginEntry(KVOR_PARSER_ZONE, DEBLOG_SEVERITY_INFO, 0, nullptr, 0);                        \
            DebLogWriteEntry(__VA_ARGS__);                                                                  \
        }                                                                                                   \
    } while (0)

// A load's entry or exit line: written whatever the zone's settings.
#define KVOR_LOG_TRACE(...)                                                                                 \
    do {                                                                                                    \
        DebLogBeginEntry(KVOR_PARSER_ZONE, DEBLOG_SEVERITY_TRACE, 0, nullptr, 0);                           \
        DebLogWriteEntry(__VA_ARGS__);                                                                      \
    } while (0)

#endif // KVOR_PARSER_LOG_H
