#include "BenchStats.h"

#include "imaging/UserError.h"

#include <QByteArray>
#include <QList>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace zavio::bench {

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void printFigure(const char* name, double value, int decimals)
{
    std::printf("%s %.*f\n", name, decimals, value);
    std::fflush(stdout);
}

void printSamples(const char* name, const std::vector<double>& samples)
{
    std::fprintf(stderr, "# %s samples:", name);
    for (const double ms : samples)
        std::fprintf(stderr, " %.2f", ms);
    std::fprintf(stderr, "\n");
}

double median(std::vector<double> samples)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const std::size_t mid = samples.size() / 2;
    if (samples.size() % 2 == 1)
        return samples[mid];
    return (samples[mid - 1] + samples[mid]) / 2;
}

std::optional<double> vmHwmMb(QByteArrayView statusText)
{
    for (const QByteArray& line : statusText.toByteArray().split('\n')) {
        if (!line.startsWith("VmHWM:"))
            continue;
        // "VmHWM:     123456 kB"
        const QList<QByteArray> fields = line.mid(6).simplified().split(' ');
        bool ok = false;
        const double kb = fields.value(0).toDouble(&ok);
        if (!ok || fields.value(1) != "kB")
            return std::nullopt;
        return kb / 1024.0;
    }
    return std::nullopt;
}

std::optional<double> peakRssMb()
{
    // /proc files report no size, so they are read to their end as a stream.
    std::ifstream in("/proc/self/status");
    if (!in)
        return std::nullopt;
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return vmHwmMb(QByteArrayView(text.data(), qsizetype(text.size())));
}

namespace {

bool parsePositive(const QString& text, int& value)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 1)
        return false;
    value = v;
    return true;
}

} // namespace

std::optional<BenchOptions> parseBenchOptions(const QStringList& args, QString& error)
{
    BenchOptions options;
    bool haveFolder = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString name = args[i];
        QString value;
        bool inlineValue = false;
        if (name.startsWith(QLatin1String("--"))) {
            const qsizetype eq = name.indexOf(QLatin1Char('='));
            if (eq > 0) {
                value = name.mid(eq + 1);
                name.truncate(eq);
                inlineValue = true;
            }
        } else {
            if (haveFolder) {
                error = QStringLiteral("フォルダが二つ指定されています: %1").arg(name);
                return std::nullopt;
            }
            options.folder = name;
            haveFolder = true;
            continue;
        }
        const bool known = name == QLatin1String("--dir") || name == QLatin1String("--reps")
            || name == QLatin1String("--fill-threads");
        if (!known) {
            error = QStringLiteral("不明なオプションです: %1").arg(args[i]);
            return std::nullopt;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                error = QStringLiteral("%1 に値がありません").arg(name);
                return std::nullopt;
            }
            value = args[++i];
        }
        if (name == QLatin1String("--dir")) {
            if (haveFolder || value.isEmpty()) {
                error = QStringLiteral("フォルダの指定が正しくありません: %1").arg(value);
                return std::nullopt;
            }
            options.folder = value;
            haveFolder = true;
        } else if (!parsePositive(value, name == QLatin1String("--reps") ? options.reps : options.fillThreads)) {
            error = QStringLiteral("%1 には 1 以上の整数を指定してください: %2").arg(name, value);
            return std::nullopt;
        }
    }
    return options;
}

std::optional<BenchOptions> parseBenchOptions(int argc, char** argv, QString& error)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.push_back(QString::fromLocal8Bit(argv[i]));
    return parseBenchOptions(args, error);
}

void printPeakRss()
{
    if (const std::optional<double> peak = peakRssMb())
        printFigure("peak_rss_mb", *peak);
    else
        std::fprintf(stderr, "# warning: /proc/self/status has no VmHWM\n");
}

int benchMain(int argc, char** argv, const char* name, const char* usage,
              const std::function<int(const BenchOptions&)>& run)
{
    QString error;
    const std::optional<BenchOptions> options = parseBenchOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "%s: %s\nusage: %s %s\n", name, error.toLocal8Bit().constData(), name, usage);
        return 2;
    }
    try {
        return run(*options);
    } catch (const UserError& e) {
        std::fprintf(stderr, "%s: %s\n", name, e.message().toLocal8Bit().constData());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", name, e.what());
    }
    return 1;
}

} // namespace zavio::bench
