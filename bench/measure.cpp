#include "bench/bench.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <numeric>

#include <sys/resource.h>

namespace bench {

namespace {

std::int64_t toNs(const timespec &t)
{
    return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::int64_t toNs(const timeval &t)
{
    return std::int64_t(t.tv_sec) * 1000000000 + std::int64_t(t.tv_usec) * 1000;
}

} // namespace

std::int64_t nowNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return toNs(t);
}

std::int64_t threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return toNs(t);
}

std::int64_t processCpuNs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return toNs(u.ru_utime) + toNs(u.ru_stime);
}

double statusMiB(const char *field)
{
    std::FILE *f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    double mib = -1;
    const std::size_t len = std::strlen(field);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, field, len) == 0 && line[len] == ':') {
            long kb = 0;
            if (std::sscanf(line + len + 1, "%ld", &kb) == 1)
                mib = double(kb) / 1024.0;
            break;
        }
    }
    std::fclose(f);
    return mib;
}

Stats stats(std::vector<double> values)
{
    Stats s;
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    s.p95 = values[std::size_t(std::ceil(0.95 * double(n))) - 1];
    s.p99 = values[std::size_t(std::ceil(0.99 * double(n))) - 1];
    s.min = values.front();
    s.max = values.back();
    s.mean = std::accumulate(values.begin(), values.end(), 0.0) / double(n);
    return s;
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void put(const char *key, double value)
{
    std::printf("%s %.6f\n", key, value);
    std::fflush(stdout);
}

void SilentDialogs::message(const QString &text, Icon, const QString &)
{
    ++shown_;
    std::fprintf(stderr, "rfid_bench: message box: %s\n", qPrintable(text));
}

bool SilentDialogs::askYesNo(const QString &text)
{
    ++shown_;
    std::fprintf(stderr, "rfid_bench: question: %s (no)\n", qPrintable(text));
    return false;
}

QString SilentDialogs::inputBox(const QString &prompt, const QString &, const QString &)
{
    ++shown_;
    std::fprintf(stderr, "rfid_bench: input box: %s (cancelled)\n", qPrintable(prompt));
    return QString();
}

} // namespace bench
