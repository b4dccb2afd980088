#include "WholeProcessTable.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kvorbench {

namespace {

// Each parser's rounds are split over this many processes, which take turns.
const int kProcessesPerParser = 3;

double Quantile(const std::vector<double>& sorted, double q)
{
    const double position = q * static_cast<double>(sorted.size() - 1);
    const size_t below = static_cast<size_t>(position);
    const size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (sorted[above] - sorted[below]) * (position - static_cast<double>(below));
}

RoundStatistics StatisticsOf(std::vector<double> seconds)
{
    RoundStatistics statistics;
    if (seconds.empty()) {
        return statistics;
    }
    std::sort(seconds.begin(), seconds.end());
    statistics.min = seconds.front();
    statistics.lowerQuartile = Quantile(seconds, 0.25);
    statistics.median = Quantile(seconds, 0.5);
    statistics.upperQuartile = Quantile(seconds, 0.75);
    statistics.max = seconds.back();
    statistics.rounds = static_cast<long>(seconds.size());
    return statistics;
}

std::string Quoted(const std::string& text)
{
    return "'" + text + "'"; // the paths the benchmark writes hold no quote
}

// The malloc settings every process runs with: the environment's, inherited alike.
std::string MallocSettings()
{
    std::string settings;
    for (const char* name : {"GLIBC_TUNABLES", "MALLOC_ARENA_MAX", "MALLOC_TOP_PAD_", "MALLOC_TRIM_THRESHOLD_",
                             "MALLOC_MMAP_THRESHOLD_", "MALLOC_PERTURB_", "LD_PRELOAD"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != 0) {
            settings += std::string(settings.empty() ? "" : ", ") + name + "=" + value;
        }
    }
    return settings.empty() ? "the C library's defaults" : settings;
}

} // namespace

// Ours on both encodings; the peers on the ANSI (UTF-8) file, which all of them read.
std::vector<WholeProcessTable::Column> WholeProcessTable::Columns() const
{
    std::vector<Column> columns;
    if (!m_baseline.empty()) {
        columns.push_back(Column{"baseline UTF-16", "ours", true, true});
    }
    columns.push_back(Column{"ours UTF-16", "ours", true, false});
    columns.push_back(Column{"ours ANSI", "ours", false, false});
    for (const char* peer : {"tinyxml2", "pugixml", "libxml2"}) {
        columns.push_back(Column{peer, peer, false, false});
    }
    return columns;
}

bool WholeProcessTable::RunBatch(Cell& cell, const Column& column, const std::string& path, long rounds)
{
    const std::string& program = column.baseline ? m_baseline : m_program;
    const std::string command = Quoted(program) + " " + column.parser + " " + Quoted(path) + " " +
                                std::to_string(rounds) + (m_secondThread ? " --second-thread" : "");
    FILE* output = popen(command.c_str(), "r");
    if (output == nullptr) {
        return false;
    }
    long long wall = 0;
    long long cpu = 0;
    long read = 0;
    while (std::fscanf(output, "%lld %lld", &wall, &cpu) == 2) {
        cell.seconds.push_back(static_cast<double>(wall) * 1e-9);
        cell.cpuSeconds.push_back(static_cast<double>(cpu) * 1e-9);
        ++read;
    }
    return pclose(output) == 0 && read == rounds;
}

bool WholeProcessTable::Run(const std::vector<RoundDocument>& documents)
{
    bool ok = true;
    const std::vector<Column> columns = Columns();
    for (const RoundDocument& document : documents) {
        m_documents.push_back(document.name);
        const size_t first = m_cells.size();
        for (const Column& column : columns) {
            m_cells.push_back(Cell{document.name, column.name, {}, {}, {}, {}});
        }
        const long perProcess = std::max(1L, document.rounds / kProcessesPerParser);
        for (int turn = 0; turn < kProcessesPerParser; ++turn) {
            for (size_t c = 0; c < columns.size(); ++c) {
                const Column& column = columns[c];
                const std::string& path = column.utf16 ? document.utf16Path : document.ansiPath;
                if (!RunBatch(m_cells[first + c], column, path, perProcess)) {
                    std::fprintf(stderr, "whole-process: %s on %s failed\n", column.parser, path.c_str());
                    ok = false;
                }
            }
        }
        for (size_t c = first; c < m_cells.size(); ++c) {
            m_cells[c].statistics = StatisticsOf(m_cells[c].seconds);
            m_cells[c].cpuStatistics = StatisticsOf(m_cells[c].cpuSeconds);
        }
    }
    return ok;
}

const WholeProcessTable::Cell* WholeProcessTable::Find(const std::string& document, const std::string& column) const
{
    for (const Cell& cell : m_cells) {
        if (cell.document == document && cell.column == column) {
            return &cell;
        }
    }
    return nullptr;
}

double WholeProcessTable::Ratio(const std::string& document, bool cpu) const
{
    const Cell* ours = Find(document, "ours UTF-16");
    const Cell* tinyxml2 = Find(document, "tinyxml2");
    if (ours == nullptr || tinyxml2 == nullptr) {
        return 0;
    }
    const double theirs = (cpu ? tinyxml2->cpuStatistics : tinyxml2->statistics).median;
    return theirs > 0 ? (cpu ? ours->cpuStatistics : ours->statistics).median / theirs : 0;
}

void WholeProcessTable::PrintTable(bool cpu) const
{
    const std::vector<Column> columns = Columns();
    std::printf("| document | rounds |");
    for (const Column& column : columns) {
        std::printf(" %s |", column.name.c_str());
    }
    std::printf(" ours UTF-16 / tinyxml2 |\n|---|---:|");
    for (size_t i = 0; i <= columns.size(); ++i) {
        std::printf("---:|");
    }
    std::printf("\n");
    for (const std::string& document : m_documents) {
        const Cell* first = Find(document, columns[0].name);
        std::printf("| %s | %ld |", document.c_str(), first != nullptr ? first->statistics.rounds : 0);
        for (const Column& column : columns) {
            const Cell* cell = Find(document, column.name);
            if (cell == nullptr || cell->statistics.rounds == 0) {
                std::printf(" - |");
                continue;
            }
            const RoundStatistics& s = cpu ? cell->cpuStatistics : cell->statistics;
            std::printf(" %.3f [%.3f-%.3f] (%.3f-%.3f) |", s.median * 1e3, s.lowerQuartile * 1e3,
                        s.upperQuartile * 1e3, s.min * 1e3, s.max * 1e3);
        }
        std::printf(" %.2f |\n", Ratio(document, cpu));
    }
}

void WholeProcessTable::Print(double inProcessRatio) const
{
    std::printf("\n## Whole process: create, load, walk every element, release (per round)\n\n");
    std::printf("Each parser in fresh processes of its own (%d per parser, taking turns), malloc: %s%s.\n",
                kProcessesPerParser, MallocSettings().c_str(),
                m_secondThread ? "; a second, idle thread in every process" : "");
    std::printf("Cells: median ms [interquartile range] (min to max), over the rounds shown.\n\n");
    std::printf("Wall clock:\n\n");
    PrintTable(false);
    // On a machine shared with other work the wall clock also counts the
    // time a process waited for a processor; its CPU time does not.
    std::printf("\nCPU time of the process, the same rounds:\n\n");
    PrintTable(true);
    const double whole = Ratio("config-1MB", false);
    if (whole > 0) {
        std::printf("\nGoal line, config-1MB, ours (UTF-16) over tinyxml2 (UTF-8): whole process %.2f by the wall "
                    "clock, %.2f by CPU time (goal: at most 1.5)",
                    whole, Ratio("config-1MB", true));
        if (inProcessRatio > 0) {
            std::printf("; in process %.2f (load and free, CPU time): the whole process is %.0f %% %s", inProcessRatio,
                        std::abs(whole / inProcessRatio - 1) * 100, whole >= inProcessRatio ? "above" : "below");
        }
        std::printf("\n");
    }
    if (!m_baseline.empty()) {
        std::printf("\nbaseline: %s\n", m_baseline.c_str());
    }
}

} // namespace kvorbench
