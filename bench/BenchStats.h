#pragma once

#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
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
    QString folder; // empty: a temporary folder
    int reps = 5;
    int fillThreads = 0; // 0: the page fill's own default
};

// Parses "[folder] [--dir folder] [--reps n] [--fill-threads n]" (arguments
// without the program name). Returns nullopt and sets error on bad input.
std::optional<BenchOptions> parseBenchOptions(const QStringList& args, QString& error);
// The same over main's own arguments.
std::optional<BenchOptions> parseBenchOptions(int argc, char** argv, QString& error);

// Prints peak_rss_mb, or a warning on stderr when it cannot be read.
void printPeakRss();

// A benchmark's whole main: parses its options and returns what run returns.
// Bad options print the usage ("usage: name usage") and give 2; an error that
// escapes run is printed after the name and gives 1.
int benchMain(int argc, char** argv, const char* name, const char* usage,
              const std::function<int(const BenchOptions&)>& run);

// A window's control found by its object name. A window without it throws,
// which benchMain reports, instead of timing a null pointer.
template <typename T>
T& control(const QObject& window, const char* name)
{
    if (T* found = window.findChild<T*>(QString::fromLatin1(name)))
        return *found;
    throw std::runtime_error(std::string("the window has no control named ") + name);
}

} // namespace zavio::bench
