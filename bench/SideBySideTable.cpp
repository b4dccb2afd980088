#include "SideBySideTable.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace kvorbench {

namespace {

double Counter(const benchmark::BenchmarkReporter::Run& run, const char* name)
{
    const auto found = run.counters.find(name);
    return found != run.counters.end() ? found->second.value : 0.0;
}

double MegabytesPerSecond(const Measurement& m)
{
    return m.documentBytes / m.secondsPerRun / 1e6;
}

double NanosecondsPerElement(const Measurement& m)
{
    return m.secondsPerRun * 1e9 / m.elements;
}

double BytesPerElement(const Measurement& m)
{
    return m.peakBytes / m.elements;
}

double BlocksPerElement(const Measurement& m)
{
    return m.blocks / m.elements;
}

const char* const kLibraryDebugWarning = "***WARNING*** Library was built as DEBUG";

} // namespace

SideBySideTable::SideBySideTable() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

bool SideBySideTable::ReportContext(const Context& context)
{
    std::ostream& errors = GetErrorStream();
    std::ostringstream captured;
    SetErrorStream(&captured);
    const bool ok = ConsoleReporter::ReportContext(context);
    SetErrorStream(&errors);
    std::istringstream lines(captured.str());
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(kLibraryDebugWarning, 0) == 0) {
            // Distribution packages of Google Benchmark are built without
            // NDEBUG; the code measured here is built as Release.
            errors << "note: Google Benchmark warns that its own library, as installed on this system, was "
                      "built as DEBUG; the code measured here is built as Release\n";
            continue;
        }
        errors << line << "\n";
    }
    return ok;
}

void SideBySideTable::ReportRuns(const std::vector<Run>& runs)
{
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
        const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
        if (run.run_type == Run::RT_Aggregate && !median) {
            continue;
        }
        const std::string name = run.run_name.function_name;
        Measurement& m = m_measurements[name];
        if (m.fromMedian && !median) {
            continue;
        }
        // Without repetitions the single run stands in for the median.
        const double seconds = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        m = Measurement{seconds,          Counter(run, "bytes"),  Counter(run, "elements"),
                        Counter(run, "peak"), Counter(run, "blocks"), median};
        const size_t first = name.find('/');
        const size_t last = name.rfind('/');
        if (name.compare(0, first, "load") == 0) {
            const std::string row = name.substr(first + 1, last - first - 1);
            if (std::find(m_rows.begin(), m_rows.end(), row) == m_rows.end()) {
                m_rows.push_back(row);
            }
        }
    }
}

const Measurement* SideBySideTable::Find(const std::string& name) const
{
    const auto found = m_measurements.find(name);
    return found != m_measurements.end() ? &found->second : nullptr;
}

void SideBySideTable::PrintLoadTable(const std::vector<std::string>& parsers, const char* title,
                                     double (*value)(const Measurement&), const char* format) const
{
    std::printf("\n%s\n\n| document | encoding |", title);
    for (const std::string& parser : parsers) {
        std::printf(" %s |", parser.c_str());
    }
    std::printf("\n|---|---|");
    for (size_t i = 0; i < parsers.size(); ++i) {
        std::printf("---:|");
    }
    std::printf("\n");
    for (const std::string& row : m_rows) {
        const size_t slash = row.find('/');
        std::printf("| %s | %s |", row.substr(0, slash).c_str(), row.substr(slash + 1).c_str());
        for (const std::string& parser : parsers) {
            const Measurement* m = Find("load/" + row + "/" + parser);
            if (m == nullptr || m->secondsPerRun <= 0 || m->elements <= 0) {
                std::printf(" - |");
            } else {
                std::printf(" ");
                std::printf(format, value(*m));
                std::printf(" |");
            }
        }
        std::printf("\n");
    }
}

void SideBySideTable::PrintGoal() const
{
    const Measurement* ours = Find("load/config-1MB/UTF-16/ours");
    const Measurement* tinyxml2 = Find("load/config-1MB/ANSI/tinyxml2");
    if (ours == nullptr || tinyxml2 == nullptr) {
        return;
    }
    std::printf("\nconfig-1MB load: ours (UTF-16) %.3f ms, tinyxml2 (ANSI) %.3f ms: ratio %.2f (goal: at most 1.5)\n",
                ours->secondsPerRun * 1e3, tinyxml2->secondsPerRun * 1e3, GoalRatio());
}

double SideBySideTable::GoalRatio() const
{
    const Measurement* ours = Find("load/config-1MB/UTF-16/ours");
    const Measurement* tinyxml2 = Find("load/config-1MB/ANSI/tinyxml2");
    return ours != nullptr && tinyxml2 != nullptr && tinyxml2->secondsPerRun > 0
               ? ours->secondsPerRun / tinyxml2->secondsPerRun
               : 0;
}

void SideBySideTable::PrintTreeOperations() const
{
    for (const auto& entry : m_measurements) {
        const std::string& name = entry.first;
        const Measurement& m = entry.second;
        if (name.compare(0, 5, "load/") == 0 || m.secondsPerRun <= 0) {
            continue;
        }
        std::printf("%s: %.3f ms, %.1f ns per element\n", name.c_str(), m.secondsPerRun * 1e3,
                    NanosecondsPerElement(m));
    }
}

void SideBySideTable::Print(const std::vector<std::string>& parsers) const
{
    const char* median = "median of the repetitions";
    std::printf("\n## Load from file and free (CPU time, %s)\n", median);
    PrintLoadTable(parsers, "Throughput, MB/s (document characters per second):", MegabytesPerSecond, "%.1f");
    PrintLoadTable(parsers, "Time per element, ns:", NanosecondsPerElement, "%.1f");
    PrintLoadTable(parsers, "Peak heap per element, bytes (every malloc-family block, by usable size):",
                   BytesPerElement, "%.0f");
    PrintLoadTable(parsers, "Heap blocks allocated per element (load and free):", BlocksPerElement, "%.1f");
    PrintGoal();
    std::printf("\n## Operations on the loaded tree (ours, %s)\n\n", median);
    PrintTreeOperations();
}

} // namespace kvorbench
