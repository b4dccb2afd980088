/*
 * kvorVersion.h - how an executable declares its four-part file version, so
 * that the library's log file header can name it.
 *
 * Write the declaration once, at namespace scope, in one source file of the
 * executable:
 *
 *     #include "kvorVersion.h"
 *     KVOR_DECLARE_EXECUTABLE_VERSION(1, 2, 3, 4);
 *
 * On Windows the executable's version resource serves instead and the
 * declaration is empty. Elsewhere it places a small record, marked so that it
 * can be found, in a section of its own in the executable file.
 */
#ifndef KVOR_VERSION_H
#define KVOR_VERSION_H

#include <cstdint>

/* The name of the section that holds the record. */
#define KVOR_VERSION_SECTION ".kvor_version"
/* 15 characters and a terminator: the first 16 bytes of every record. */
#define KVOR_VERSION_MARKER "kvor:exe:ver:v1"

struct KvorVersionRecord {
    char marker[16];
    uint16_t major;
    uint16_t minor;
    uint16_t build;
    uint16_t revision;
};

#if defined(_WIN32)
#define KVOR_DECLARE_EXECUTABLE_VERSION(major, minor, build, revision) \
    static_assert(true, "the version resource names the version")
#else
#define KVOR_DECLARE_EXECUTABLE_VERSION(major, minor, build, revision)                                    \
    __attribute__((used, section(KVOR_VERSION_SECTION))) static const KvorVersionRecord                 \
        kvorExecutableVersion = {KVOR_VERSION_MARKER, (uint16_t)(major), (uint16_t)(minor),              \
                                 (uint16_t)(build), (uint16_t)(revision)}
#endif

#endif /* KVOR_VERSION_H */
