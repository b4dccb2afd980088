/*
 * kvorXMLParser - a small XML library: read a file into a tree of element
 * nodes, query it, write it back.
 *
 * A client loads the shared library (libkvorXMLParser.so, kvorXMLParser.dll),
 * obtains a parser with kvorCreateXmlParserInstance and works only through
 * the virtual interfaces below. The slot order of IXmlParser and IXmlNode and
 * the member order of CXmlNodeList are binary interface: never reorder them.
 *
 *     IXmlParser* parser = nullptr;
 *     if (kvorCreateXmlParserInstance(&parser) == KVOR_OK &&
 *         parser->LoadXmlFile(KVOR_TEXT("skin.xml")) == KVOR_OK) {
 *         IXmlNode* window = nullptr;
 *         if (parser->FindNode(KVOR_TEXT("window"), &window, nullptr, nullptr, nullptr) == KVOR_OK) {
 *             XmlRect rect;
 *             parser->GetNodeAttr(KVOR_TEXT("rect"), window, &rect);
 *         }
 *     }
 *     kvorReleaseXmlParserInstance(parser);
 *
 * Strings are NUL-terminated UTF-16 (WCHAR). Every node pointer and string
 * handed out is borrowed from the parser's tree: it stays valid until the next
 * LoadXmlFile on the same parser or the parser's release; never free it.
 * A parser and its tree are used by one thread at a time (walks move cursors
 * kept in the nodes); distinct parsers are independent.
 */
#ifndef KVOR_XML_PARSER_H
#define KVOR_XML_PARSER_H

#include <cstdint>
#include <new>

/* ---- Characters ------------------------------------------------------- */

#if defined(_WIN32)
typedef wchar_t WCHAR;
#define KVOR_TEXT_(s) L##s
#else
typedef char16_t WCHAR; /* UTF-16 code unit, as on the device */
#define KVOR_TEXT_(s) u##s
#endif
/* A WCHAR string literal: KVOR_TEXT("name"). */
#define KVOR_TEXT(s) KVOR_TEXT_(s)

/* ---- Result codes of IXmlParser and the exports ------------------------ */

enum : uint32_t {
    KVOR_OK = 0,               /* success; out-parameters written */
    KVOR_NOT_FOUND = 1,        /* ran, found nothing usable (no match, no file, no text, ...) */
    KVOR_INVALID_ARGUMENT = 2, /* a required argument is null or an empty string */
    KVOR_OUT_OF_MEMORY = 3     /* the parser object could not be allocated (factory only) */
};

/* Four signed 32-bit numbers, filled in the order they stand in the text. */
struct XmlRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

/* ---- IXmlNode: one XML element ------------------------------------------
 * Colours are 0x00BBGGRR (red in the low byte); as text "r,g,b".
 * Attribute lookups (GetAttr*) ignore ASCII case; SetAttrString and
 * RemoveAttr match names exactly. Out arguments are written only on 1.
 * A node keeps one child cursor shared by GetFirstChild/GetNextChild,
 * FindFirstChild/FindNextChild, FindOrAddChild and SaveToFile. */
class IXmlNode {
public:
    virtual ~IXmlNode() {}
    /* Takes ownership of child; always 1. */
    virtual uint32_t AddChild(IXmlNode* child) = 0;
    /* Unlinks child and gives it back to the caller (1), 0 when not a child. */
    virtual uint32_t RemoveChild(IXmlNode* child) = 0;
    virtual uint32_t SetAttrColor(const WCHAR* name, uint32_t colour) = 0;
    virtual uint32_t SetAttrInt(const WCHAR* name, int32_t value) = 0;
    /* Replaces the first attribute of exactly this name, or appends one. */
    virtual uint32_t SetAttrString(const WCHAR* name, const WCHAR* text) = 0;
    virtual uint32_t RemoveAttr(const WCHAR* name) = 0;
    virtual uint32_t GetFirstChild(IXmlNode** out) = 0;
    virtual uint32_t FindFirstChild(const WCHAR* name, IXmlNode** out) = 0;
    /* Finds a child by exact name or appends a new empty one; 0 only when out of memory. */
    virtual uint32_t FindOrAddChild(const WCHAR* name, IXmlNode** out) = 0;
    virtual uint32_t GetNextChild(IXmlNode** out) = 0;
    virtual uint32_t FindNextChild(const WCHAR* name, IXmlNode** out) = 0;
    /* The attribute as a decimal number; defaultValue only when it is missing. */
    virtual int32_t GetAttrInt(const WCHAR* name, int32_t defaultValue) = 0;
    /* The attribute as a colour; 0x010101 when present but not "r,g,b". */
    virtual uint32_t GetAttrColor(const WCHAR* name, uint32_t defaultValue) = 0;
    virtual const WCHAR* GetAttrString(const WCHAR* name, const WCHAR* defaultValue) = 0;
    virtual const WCHAR* GetName() = 0;
    /* Writes this element and its subtree as a UTF-16 XML file; 0 when the file cannot be created. */
    virtual uint32_t SaveToFile(const WCHAR* path) = 0;
    /* The element's text, or null when it has none. */
    virtual const WCHAR* GetContent() = 0;
};

/* ---- CXmlNodeList: a caller-owned singly linked list of node pointers ----
 * Compiled into the client: walk it from head through next. The list owns
 * its links, never the nodes. */
struct XmlNodeListItem {
    XmlNodeListItem* next;
    IXmlNode* node;
};

class CXmlNodeList {
public:
    CXmlNodeList() : count(0), head(nullptr), tail(nullptr) {}
    virtual ~CXmlNodeList() { RemoveAll(); }
    CXmlNodeList(const CXmlNodeList&) = delete;
    CXmlNodeList& operator=(const CXmlNodeList&) = delete;

    /* Adds node at the tail; does nothing when no link can be allocated. */
    void Append(IXmlNode* node)
    {
        XmlNodeListItem* item = new (std::nothrow) XmlNodeListItem;
        if (item == nullptr) {
            return;
        }
        item->next = nullptr;
        item->node = node;
        if (head == nullptr) {
            head = item;
        } else {
            tail->next = item;
        }
        tail = item;
        ++count;
    }

    /* Unlinks the first link holding node (1); 0 when none does. */
    uint32_t Remove(IXmlNode* node)
    {
        XmlNodeListItem* previous = nullptr;
        for (XmlNodeListItem* item = head; item != nullptr; previous = item, item = item->next) {
            if (item->node != node) {
                continue;
            }
            if (previous == nullptr) {
                head = item->next;
            } else {
                previous->next = item->next;
            }
            if (tail == item) {
                tail = previous;
            }
            delete item;
            --count;
            return 1;
        }
        return 0;
    }

    /* Frees every link; the nodes are untouched. */
    void RemoveAll()
    {
        while (head != nullptr) {
            XmlNodeListItem* next = head->next;
            delete head;
            head = next;
        }
        count = 0;
        tail = nullptr;
    }

    int32_t count;         /* number of links */
    XmlNodeListItem* head; /* first link, null when empty */
    XmlNodeListItem* tail; /* last link, meaningful while head is not null */
};

/* ---- IXmlParser: the exported parser object ------------------------------ */
class IXmlParser {
public:
    virtual ~IXmlParser() {}
    /* Replaces the tree with the file's (UTF-16LE with byte-order mark, or ANSI text).
     * 0 loaded; 1 not loaded (the old tree is gone); 2 path null or empty (old tree kept). */
    virtual uint32_t LoadXmlFile(const WCHAR* path) = 0;
    /* The first element named elementName in post-order (descendants before
     * ancestors, the root last). With attrName, the element must also have
     * that attribute equal to attrText, or (as an alternative) to the number
     * *attrNumber. 0 found (*found written); 1 none or no document; 2 name null or empty. */
    virtual uint32_t FindNode(const WCHAR* elementName, IXmlNode** found, const WCHAR* attrName,
                              const WCHAR* attrText, const int32_t* attrNumber) = 0;
    /* Appends parent's children to list, in document order.
     * 0 the list is not empty afterwards; 1 it is empty; 2 parent null. */
    virtual uint32_t GetAllChildNodes(IXmlNode* parent, CXmlNodeList* list) = 0;
    /* "l, t, r, b" (commas and/or spaces). 0 read; 1 missing, empty or fewer than four numbers. */
    virtual uint32_t GetNodeAttr(const WCHAR* attrName, IXmlNode* node, XmlRect* rect) = 0;
    /* "r,g,b" as 0x00BBGGRR; a missing attribute reads as 0. */
    virtual uint32_t GetNodeAttr(const WCHAR* attrName, IXmlNode* node, uint32_t* colour) = 0;
    /* A decimal number; a missing attribute reads as 0. */
    virtual uint32_t GetNodeAttr(const WCHAR* attrName, IXmlNode* node, int32_t* value) = 0;
    /* The attribute's text (borrowed); a missing attribute reads as "". */
    virtual uint32_t GetNodeAttr(const WCHAR* attrName, IXmlNode* node, const WCHAR** text) = 0;
    /* The element's text (borrowed). 1 when the element has none. */
    virtual uint32_t GetNodeContext(IXmlNode* node, const WCHAR** content) = 0;
};

/* ---- The two exports ------------------------------------------------------ */

#if defined(_WIN32)
#define KVOR_API
#else
#define KVOR_API __attribute__((visibility("default")))
#endif

extern "C" {
/* Releases the parser *parser holds (if any), then stores a new empty one.
 * 0 on success; 3 when it cannot be allocated (*parser is then null). */
KVOR_API uint32_t kvorCreateXmlParserInstance(IXmlParser** parser);
/* Destroys parser and its tree; null is accepted. Always 0. */
KVOR_API uint32_t kvorReleaseXmlParserInstance(IXmlParser* parser);
}

/* For clients that look the exports up at run time (dlopen, LoadLibrary). */
typedef uint32_t (*PFN_kvorCreateXmlParserInstance)(IXmlParser** parser);
typedef uint32_t (*PFN_kvorReleaseXmlParserInstance)(IXmlParser* parser);

#endif /* KVOR_XML_PARSER_H */
