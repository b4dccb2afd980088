// The library's outside face: the two exports and the process-attach hook.
#include "kvorXMLParser.h"

#include <new>

#include "kvor/parser/LibraryEntry.h"
#include "kvor/reader/ParserLog.h"
#include "kvor/parser/XMLParser.h"
#include "kvor/platform/kvorPlatform.h"

BOOL KvorLibraryMain(HMODULE /*module*/, DWORD reason, LPVOID /*reserved*/)
{
    if (reason == KVOR_PROCESS_ATTACH) {
        DebLogRegisterZone(KVOR_PARSER_ZONE, KVOR_TEXT("kvorXMLParser"), KVOR_SOURCE_FILE, __LINE__);
    }
    // Loading the library never fails on the logger's account.
    return TRUE;
}

void KvorLibraryStartup()
{
    DebLogStartup();
    KvorLibraryMain(nullptr, KVOR_PROCESS_ATTACH, nullptr);
}

extern "C" KVOR_API uint32_t kvorCreateXmlParserInstance(IXmlParser** parser)
{
    // The old object goes first, so that even a failed call releases it.
    if (*parser != nullptr) {
        delete *parser;
        *parser = nullptr;
    }
    try {
        // An allocator may refuse with null or, where it has exceptions,
        // with std::bad_alloc; both end the same way.
        void* memory = kvor::Allocate(sizeof(CKvorXMLParser));
        *parser = memory == nullptr ? nullptr : ::new (memory) CKvorXMLParser();
    } catch (const std::bad_alloc&) {
        KVOR_LOG_ERROR(KVOR_TEXT("CreateXmlParserInstance - Failed to new CKvorXMLParser instance."));
        *parser = nullptr;
        return KVOR_OUT_OF_MEMORY;
    }
    if (*parser != nullptr) {
        return KVOR_OK;
    }
    KVOR_LOG_ERROR(KVOR_TEXT("CreateXmlParserInstance - Failed to new the CXmlparser instance. (%u)"),
                   KVOR_OUT_OF_MEMORY);
    return KVOR_OUT_OF_MEMORY;
}

extern "C" KVOR_API uint32_t kvorReleaseXmlParserInstance(IXmlParser* parser)
{
    delete parser;
    return KVOR_OK;
}
