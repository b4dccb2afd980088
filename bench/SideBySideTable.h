// Collects the median of every benchmark while the console shows the runs,
// and at the end prints the comparison as Markdown tables: one row per
// document and encoding, one column per parser.
#ifndef KVOR_BENCH_SIDE_BY_SIDE_TABLE_H
#define KVOR_BENCH_SIDE_BY_SIDE_TABLE_H

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace kvorbench {

// What a benchmark named "<operation>/<document>/<encoding>/<parser>" measured.
struct Measurement {
    double secondsPerRun = 0;
    double documentBytes = 0;  // characters of the document, the same in both encodings
    double elements = 0;
    double peakBytes = 0;      // peak heap of one run
    double blocks = 0;         // heap blocks allocated by one run
    bool fromMedian = false;
};

class SideBySideTable : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, so that a pipe or a file gets plain text.
    SideBySideTable();
    // The run's context, with Google Benchmark's warning about its own
    // library's build said plainly.
    bool ReportContext(const Context& context) override;
    void ReportRuns(const std::vector<Run>& runs) override;
    // Prints the tables to standard output.
    void Print(const std::vector<std::string>& parsers) const;
    // Ours (UTF-16) over tinyxml2 (ANSI) loading config-1MB; 0 when not measured.
    double GoalRatio() const;

private:
    void PrintLoadTable(const std::vector<std::string>& parsers, const char* title,
                        double (*value)(const Measurement&), const char* format) const;
    void PrintGoal() const;
    void PrintTreeOperations() const;
    const Measurement* Find(const std::string& name) const;

    std::map<std::string, Measurement> m_measurements;
    std::vector<std::string> m_rows; // "<document>/<encoding>" in the order first seen
};

} // namespace kvorbench

#endif // KVOR_BENCH_SIDE_BY_SIDE_TABLE_H
