#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>
#include <vector>

namespace zavio::bench {

using Clock = std::chrono::steady_clock;

// Milliseconds from start to now.
double msSince(Clock::time_point start);
// One "name value" figure line on stdout, flushed at once.
void printFigure(const char* name, double value, int decimals = 1);
// Every sample of a figure on stderr, for judging its spread.
void printSamples(const char* name, const std::vector<double>& samples);

// The middle value of the samples, the mean of the two middle ones for an even
// count; 0 for no samples.
double median(std::vector<double> samples);

// VmHWM (the peak resident set) from the text of /proc/<pid>/status, in MB.
std::optional<double> vmHwmMb(QByteArrayView statusText);
// This process's VmHWM in MB, or nullopt when /proc cannot be read.
std::optional<double> peakRssMb();

struct BenchOptions {
    QString folder;       // empty: a temporary folder
    int reps = 5;
    int fillThreads = 0;  // 0: the page fill's own default
};

// Parses "[folder] [--dir folder] [--reps n] [--fill-threads n]" (arguments
// without the program name). Returns nullopt and sets error on bad input.
std::optional<BenchOptions> parseBenchOptions(const QStringList& args, QString& error);
// The same over main's own arguments.
std::optional<BenchOptions> parseBenchOptions(int argc, char** argv, QString& error);
// The same, printing the error and "usage: <program> [folder] [--dir folder]
// [--reps n]" on stderr when the arguments are bad.
std::optional<BenchOptions> parseBenchOptionsOrUsage(int argc, char** argv, const char* program);

// Prints peak_rss_mb, or a warning on stderr when it cannot be read.
void printPeakRss();

} // namespace zavio::bench
