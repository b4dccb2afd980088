// kvor_process_rounds: one parser in a process of its own, as an
// application uses it. Each round creates the parser, loads the file, walks
// the whole tree once looking for an element that no document has, and
// releases everything; the wall-clock time and the process's CPU time of
// every round go to standard output, in nanoseconds, one line a round. One
// round before them is not timed: it brings the file into the page cache.
//
//   kvor_process_rounds PARSER FILE ROUNDS [--second-thread]
//
// PARSER: ours (the shared library, through its two exports and IXmlParser),
// tinyxml2, pugixml or libxml2. The process is linked to the shared
// library as a client is and uses the C library's malloc as it comes, the
// same for every parser.
#include <libxml/parser.h>
#include <pugixml.hpp>
#include <tinyxml2.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "IdleThread.h"
#include "kvorXMLParser.h"

namespace {

long long ProcessCpuNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

const char kMissingName[] = "NoSuchElement";

bool RoundOurs(const char* path)
{
    const std::string narrow(path);
    const std::u16string wide(narrow.begin(), narrow.end()); // the paths are ASCII
    IXmlParser* parser = nullptr;
    if (kvorCreateXmlParserInstance(&parser) != KVOR_OK) {
        return false;
    }
    bool ok = parser->LoadXmlFile(reinterpret_cast<const WCHAR*>(wide.c_str())) == KVOR_OK;
    IXmlNode* found = nullptr;
    // The search walks every element, finds none and answers 1.
    ok = ok && parser->FindNode(KVOR_TEXT("NoSuchElement"), &found, nullptr, nullptr, nullptr) == 1;
    kvorReleaseXmlParserInstance(parser);
    return ok;
}

// The peers' walks: every element once, by name, without recursion.
bool RoundTinyxml2(const char* path)
{
    tinyxml2::XMLDocument document;
    if (document.LoadFile(path) != tinyxml2::XML_SUCCESS) {
        return false;
    }
    const tinyxml2::XMLElement* element = document.RootElement();
    long matches = 0;
    while (element != nullptr) {
        matches += std::strcmp(element->Name(), kMissingName) == 0;
        const tinyxml2::XMLElement* next = element->FirstChildElement();
        while (next == nullptr && element != nullptr) {
            next = element->NextSiblingElement();
            if (next == nullptr) {
                const tinyxml2::XMLNode* parent = element->Parent();
                element = parent != nullptr ? parent->ToElement() : nullptr;
            }
        }
        element = next;
    }
    return matches == 0;
}

bool RoundPugixml(const char* path)
{
    pugi::xml_document document;
    if (!document.load_file(path)) {
        return false;
    }
    long matches = 0;
    pugi::xml_node node = document.document_element();
    while (node) {
        matches += node.type() == pugi::node_element && std::strcmp(node.name(), kMissingName) == 0;
        pugi::xml_node next = node.first_child();
        while (!next && node) {
            next = node.next_sibling();
            if (!next) {
                node = node.parent();
                if (node == document) {
                    node = pugi::xml_node();
                }
            }
        }
        node = next;
    }
    return matches == 0;
}

bool RoundLibxml2(const char* path)
{
    xmlDocPtr document = xmlReadFile(path, nullptr, XML_PARSE_NONET);
    if (document == nullptr) {
        return false;
    }
    long matches = 0;
    xmlNodePtr node = xmlDocGetRootElement(document);
    const xmlNodePtr root = node;
    while (node != nullptr) {
        matches += node->type == XML_ELEMENT_NODE &&
                   std::strcmp(reinterpret_cast<const char*>(node->name), kMissingName) == 0;
        xmlNodePtr next = node->children;
        while (next == nullptr && node != nullptr) {
            next = node == root ? nullptr : node->next;
            if (next == nullptr) {
                node = node == root ? nullptr : node->parent;
            }
        }
        node = next;
    }
    xmlFreeDoc(document);
    return matches == 0;
}

struct Round {
    const char* parser;
    bool (*run)(const char* path);
};

const Round kRounds[] = {
    {"ours", RoundOurs}, {"tinyxml2", RoundTinyxml2}, {"pugixml", RoundPugixml}, {"libxml2", RoundLibxml2}};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: kvor_process_rounds PARSER FILE ROUNDS [--second-thread]\n");
        return 2;
    }
    const Round* round = nullptr;
    for (const Round& candidate : kRounds) {
        if (std::strcmp(candidate.parser, argv[1]) == 0) {
            round = &candidate;
        }
    }
    const char* path = argv[2];
    const long rounds = std::atol(argv[3]);
    if (round == nullptr || rounds <= 0) {
        std::fprintf(stderr, "kvor_process_rounds: unknown parser %s or bad round count %s\n", argv[1], argv[3]);
        return 2;
    }
    std::unique_ptr<kvorbench::IdleThread> secondThread;
    if (argc > 4 && std::strcmp(argv[4], "--second-thread") == 0) {
        secondThread.reset(new kvorbench::IdleThread());
    }
    if (!round->run(path)) {
        std::fprintf(stderr, "kvor_process_rounds: %s cannot load or walk %s\n", round->parser, path);
        return 1;
    }
    std::vector<long long> times;
    times.reserve(2 * static_cast<size_t>(rounds));
    for (long i = 0; i < rounds; ++i) {
        const long long cpuStart = ProcessCpuNanoseconds();
        const auto start = std::chrono::steady_clock::now();
        round->run(path);
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count());
        times.push_back(ProcessCpuNanoseconds() - cpuStart);
    }
    for (size_t i = 0; i < times.size(); i += 2) {
        std::printf("%lld %lld\n", times[i], times[i + 1]);
    }
    return 0;
}
