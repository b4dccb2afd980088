// The whole-process measurement: each parser runs in a fresh process of its
// own (kvor_process_rounds) on the same files, with the same environment and
// so the same malloc settings, and each round is timed by the wall clock
// from creating the parser to releasing the tree. The processes of the
// parsers take turns, so that a change of load on the machine falls on all
// of them alike.
#ifndef KVOR_BENCH_WHOLE_PROCESS_TABLE_H
#define KVOR_BENCH_WHOLE_PROCESS_TABLE_H

#include <string>
#include <vector>

namespace kvorbench {

struct RoundDocument {
    std::string name; // "config-1MB"
    std::string ansiPath;
    std::string utf16Path;
    long rounds;      // timed rounds per parser, over all its processes
};

struct RoundStatistics {
    double min = 0, lowerQuartile = 0, median = 0, upperQuartile = 0, max = 0; // seconds
    long rounds = 0;
};

class WholeProcessTable {
public:
    // program: the path of kvor_process_rounds. baseline, when not empty:
    // that program of another build, whose "ours" gets a column of its own
    // (this library before a change, measured in the same run).
    WholeProcessTable(std::string program, std::string baseline, bool secondThread)
        : m_program(program), m_baseline(baseline), m_secondThread(secondThread)
    {
    }

    // Runs every parser on every document; false when a process failed.
    bool Run(const std::vector<RoundDocument>& documents);
    // The table, and the goal line's ratio beside the in-process one
    // (inProcessRatio <= 0: not measured in this run).
    void Print(double inProcessRatio) const;
    // ours (UTF-16) over tinyxml2 on the document, by the medians of the
    // wall clock or of the CPU time; 0 when not measured.
    double Ratio(const std::string& document, bool cpu) const;

private:
    struct Column {
        std::string name;
        const char* parser; // as kvor_process_rounds names it
        bool utf16;
        bool baseline;
    };
    struct Cell {
        std::string document;
        std::string column; // "ours UTF-16", "tinyxml2", ...
        std::vector<double> seconds;    // wall clock
        std::vector<double> cpuSeconds; // the process's CPU time
        RoundStatistics statistics;
        RoundStatistics cpuStatistics;
    };

    std::vector<Column> Columns() const;
    bool RunBatch(Cell& cell, const Column& column, const std::string& path, long rounds);
    const Cell* Find(const std::string& document, const std::string& column) const;
    void PrintTable(bool cpu) const;

    std::string m_program;
    std::string m_baseline;
    bool m_secondThread;
    std::vector<Cell> m_cells;
    std::vector<std::string> m_documents;
};

} // namespace kvorbench

#endif // KVOR_BENCH_WHOLE_PROCESS_TABLE_H
