// Load benchmarks: our reader against pugixml, tinyxml2, expat and libxml2
// on the same generated documents in one run, plus a full-tree FindNode and
// SaveToFile on our side. Prints the console report of every run, then the
// side-by-side tables of the medians.
//
// The documents are written to $KVOR_BENCH_DOCUMENTS (default
// ./bench-documents) before the runs start. Times are the CPU time of the
// benchmark thread: the files are in the page cache after the first run, and
// on a shared build machine the wall clock mostly measures the neighbours.
//
// --second-thread keeps a second, idle thread alive for the whole run: the
// library skips its heap lock and takes its events without atomic
// read-modify-write only while a process has one thread, and this shows the
// price an application with threads pays.
//
// The heap/ runs load the configuration documents (16 KB and 1 MB, UTF-16)
// with and without the one-thread shortcut of the heap and the events, so
// that one run shows what it brings.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <sys/single_threaded.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "DocumentGenerator.h"
#include "HeapMeter.h"
#include "IdleThread.h"
#include "kvor/dom/JXMLNode.h"
#include "Peers.h"
#include "SideBySideTable.h"
#include "WholeProcessTable.h"
#include "kvor/parser/XMLParser.h"

namespace kvorbench {
namespace {

struct DocumentFiles {
    std::string name;     // "config-1MB"
    std::string ansiPath;
    std::string utf16Path;
    double bytes;         // characters of the document
    long elements;
};

std::u16string Widen(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

const WCHAR* AsWide(const std::u16string& text)
{
    return reinterpret_cast<const WCHAR*>(text.c_str());
}

std::vector<DocumentFiles> WriteDocuments(const std::string& folder)
{
    ::mkdir(folder.c_str(), 0755);
    struct Size {
        const char* name;
        size_t bytes;
    };
    const Size sizes[] = {{"16KB", 16 * 1024}, {"1MB", 1024 * 1024}, {"8MB", 8 * 1024 * 1024}};
    const struct {
        const char* name;
        Shape shape;
    } shapes[] = {{"config", Shape::Configuration}, {"records", Shape::Records}};

    std::vector<DocumentFiles> documents;
    for (const auto& shape : shapes) {
        for (const Size& size : sizes) {
            const Document document = GenerateDocument(shape.shape, size.bytes);
            DocumentFiles files;
            files.name = std::string(shape.name) + "-" + size.name;
            files.ansiPath = folder + "/" + files.name + "-ansi.xml";
            files.utf16Path = folder + "/" + files.name + "-utf16.xml";
            files.bytes = static_cast<double>(document.text.size());
            files.elements = document.elements;
            WriteAnsiFile(files.ansiPath, document.text);
            WriteUtf16File(files.utf16Path, document.text);
            documents.push_back(files);
        }
    }
    return documents;
}

void SetCounters(benchmark::State& state, double bytes, long elements, size_t peak)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["bytes"] = bytes;
    state.counters["elements"] = static_cast<double>(elements);
    state.counters["peak"] = static_cast<double>(peak);
    state.counters["B/el"] = static_cast<double>(peak) / static_cast<double>(elements);
    state.counters["blocks"] = static_cast<double>(MeteredAllocations());
}

void LoadBenchmark(benchmark::State& state, const Parser* parser, std::string path, double bytes, long elements)
{
    if (!parser->loadAndFree(path, elements)) {
        state.SkipWithError(("cannot load " + path).c_str());
        return;
    }
    for (auto _ : state) {
        parser->loadAndFree(path, elements);
    }
    // Our heap keeps an empty chunk per size class; the meter would not see
    // memory taken before it started.
    kvor::ReleaseSpareMemory();
    StartHeapMeter();
    parser->loadAndFree(path, elements);
    SetCounters(state, bytes, elements, StopHeapMeter());
}

struct HeapVariant {
    const char* name;
    bool oneThreadShortcut; // the heap's lock and the events' atomics skipped while single-threaded
};

const HeapVariant kHeapVariants[] = {{"as shipped", true}, {"no one-thread shortcut", false}};

void HeapVariantBenchmark(benchmark::State& state, HeapVariant variant, const Parser* parser, std::string path,
                          double bytes, long elements)
{
    // Pretends a second thread: what the library sees in a process with threads.
    const char singleThreaded = __libc_single_threaded;
    if (!variant.oneThreadShortcut) {
        __libc_single_threaded = 0;
    }
    LoadBenchmark(state, parser, path, bytes, elements);
    __libc_single_threaded = singleThreaded;
}

// FindNode of a name that no element has: a walk over the whole tree.
void FindMissingBenchmark(benchmark::State& state, DocumentFiles document)
{
    CKvorXMLParser parser;
    if (parser.LoadXmlFile(AsWide(Widen(document.utf16Path))) != 0) {
        state.SkipWithError("cannot load the document");
        return;
    }
    IXmlNode* found = nullptr;
    for (auto _ : state) {
        benchmark::DoNotOptimize(parser.FindNode(KVOR_TEXT("NoSuchElement"), &found, nullptr, nullptr, nullptr));
    }
    SetCounters(state, document.bytes, document.elements, 0);
}

void SaveBenchmark(benchmark::State& state, DocumentFiles document, std::string target)
{
    IXmlNode* root = nullptr;
    if (CJXMLNode::CreateRootNodeFromFile(AsWide(Widen(document.utf16Path)), &root) != 1) {
        state.SkipWithError("cannot load the document");
        return;
    }
    const std::u16string wideTarget = Widen(target);
    for (auto _ : state) {
        if (root->SaveToFile(AsWide(wideTarget)) != 1) {
            state.SkipWithError("cannot save the tree");
            break;
        }
    }
    StartHeapMeter();
    root->SaveToFile(AsWide(wideTarget));
    SetCounters(state, document.bytes, document.elements, StopHeapMeter());
    delete root;
    std::remove(target.c_str());
}

void RegisterAll(const std::vector<DocumentFiles>& documents, const std::string& folder)
{
    int parserCount = 0;
    const Parser* parsers = Parsers(&parserCount);
    for (const DocumentFiles& document : documents) {
        for (int encoding = 0; encoding < 2; ++encoding) {
            const bool utf16 = encoding == 0;
            for (int p = 0; p < parserCount; ++p) {
                const Parser* parser = &parsers[p];
                if (utf16 && !parser->readsUtf16) {
                    continue;
                }
                const std::string name =
                    "load/" + document.name + (utf16 ? "/UTF-16/" : "/ANSI/") + parser->name;
                benchmark::RegisterBenchmark(name.c_str(), LoadBenchmark, parser,
                                             utf16 ? document.utf16Path : document.ansiPath, document.bytes,
                                             document.elements)
                    ->Unit(benchmark::kMicrosecond);
            }
        }
    }
    for (const DocumentFiles& document : documents) {
        if (document.name != "config-16KB" && document.name != "config-1MB") {
            continue;
        }
        for (const HeapVariant& variant : kHeapVariants) {
            const std::string name = "heap/" + document.name + "/UTF-16/" + variant.name;
            benchmark::RegisterBenchmark(name.c_str(), HeapVariantBenchmark, variant, &parsers[0], document.utf16Path,
                                         document.bytes, document.elements)
                ->Unit(benchmark::kMicrosecond);
        }
    }
    for (const DocumentFiles& document : documents) {
        if (document.name == "config-1MB") {
            benchmark::RegisterBenchmark("FindNode-missing/config-1MB/UTF-16/ours", FindMissingBenchmark, document)
                ->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark("SaveToFile/config-1MB/UTF-16/ours", SaveBenchmark, document,
                                         folder + "/saved.xml")
                ->Unit(benchmark::kMicrosecond);
        }
    }
}

// Five repetitions of at least 0.2 s each, medians only, unless the command
// line says otherwise.
std::vector<char*> WithDefaults(int argc, char** argv)
{
    static char repetitions[] = "--benchmark_repetitions=5";
    static char aggregates[] = "--benchmark_report_aggregates_only=true";
    static char minTime[] = "--benchmark_min_time=0.2";
    std::vector<char*> arguments(argv, argv + argc);
    auto given = [&](const char* prefix) {
        for (int i = 1; i < argc; ++i) {
            if (std::string(argv[i]).rfind(prefix, 0) == 0) {
                return true;
            }
        }
        return false;
    };
    if (!given("--benchmark_repetitions")) arguments.push_back(repetitions);
    if (!given("--benchmark_report_aggregates_only")) arguments.push_back(aggregates);
    if (!given("--benchmark_min_time")) arguments.push_back(minTime);
    return arguments;
}

// Removes the flag from the arguments; whether it was there.
bool TakeFlag(std::vector<char*>& arguments, const std::string& flag)
{
    for (auto it = arguments.begin(); it != arguments.end(); ++it) {
        if (flag == *it) {
            arguments.erase(it);
            return true;
        }
    }
    return false;
}

// Removes "--flag=VALUE" from the arguments; VALUE, or fallback when absent.
std::string TakeValue(std::vector<char*>& arguments, const std::string& flag, const std::string& fallback)
{
    const std::string prefix = flag + "=";
    for (auto it = arguments.begin(); it != arguments.end(); ++it) {
        const std::string argument = *it;
        if (argument.rfind(prefix, 0) == 0) {
            arguments.erase(it);
            return argument.substr(prefix.size());
        }
    }
    return fallback;
}

// The configuration documents, 16 KB, 1 MB and 8 MB, with rounds enough
// for a stable median (about a second of our parser each on a quiet machine).
std::vector<RoundDocument> WholeProcessDocuments(const std::vector<DocumentFiles>& documents, double roundsScale)
{
    const struct {
        const char* name;
        long rounds;
    } chosen[] = {{"config-16KB", 3000}, {"config-1MB", 90}, {"config-8MB", 15}};
    std::vector<RoundDocument> rounds;
    for (const auto& choice : chosen) {
        for (const DocumentFiles& document : documents) {
            if (document.name == choice.name) {
                const long count = std::max(3L, static_cast<long>(static_cast<double>(choice.rounds) * roundsScale));
                rounds.push_back(RoundDocument{document.name, document.ansiPath, document.utf16Path, count});
            }
        }
    }
    return rounds;
}

} // namespace
} // namespace kvorbench

int main(int argc, char** argv)
{
    using namespace kvorbench;
    const char* folder = std::getenv("KVOR_BENCH_DOCUMENTS");
    const std::string documentFolder = folder != nullptr && *folder != 0 ? folder : "bench-documents";
    xmlInitParser();
    const std::vector<DocumentFiles> documents = WriteDocuments(documentFolder);
    RegisterAll(documents, documentFolder);

    std::vector<char*> arguments = WithDefaults(argc, argv);
    const bool withSecondThread = TakeFlag(arguments, "--second-thread");
    const bool inProcess = !TakeFlag(arguments, "--whole-process-only");
    const bool wholeProcess = !TakeFlag(arguments, "--in-process-only");
    const std::string baseline = TakeValue(arguments, "--baseline", "");
    const double roundsScale = std::atof(TakeValue(arguments, "--rounds-scale", "1").c_str());
    std::unique_ptr<IdleThread> secondThread;
    if (withSecondThread) {
        secondThread.reset(new IdleThread());
        std::printf("A second, idle thread is alive during the run.\n");
    }
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) {
        return 1;
    }
    SideBySideTable table;
    if (inProcess) {
        benchmark::RunSpecifiedBenchmarks(&table);
    }
    benchmark::Shutdown();

    bool ok = true;
    WholeProcessTable wholeProcessTable(KVOR_PROCESS_ROUNDS_PROGRAM, baseline, withSecondThread);
    if (wholeProcess) {
        ok = wholeProcessTable.Run(WholeProcessDocuments(documents, roundsScale > 0 ? roundsScale : 1));
    }
    if (inProcess) {
        std::vector<std::string> names;
        int parserCount = 0;
        const Parser* parsers = Parsers(&parserCount);
        for (int p = 0; p < parserCount; ++p) {
            names.push_back(parsers[p].name);
        }
        table.Print(names);
    }
    if (wholeProcess) {
        wholeProcessTable.Print(inProcess ? table.GoalRatio() : 0);
    }
    xmlCleanupParser();
    return ok ? 0 : 1;
}
