#pragma once
// What a serial driver's input queue does for the program: it holds received
// bytes, each with the time it came, until a read takes them. It never holds
// more than 4 KiB of bytes; on overflow the oldest go first.
//
// The bytes are copied into a ring of their own: what Qt hands over per
// arrival may be a view of a 32 KiB buffer, and keeping those for a line that
// babbles one byte at a time would keep megabytes. The queue's memory is
// fixed, whatever arrives.
#include <QByteArray>

#include <cstddef>
#include <vector>

class InputQueue
{
public:
    static constexpr int Capacity = 4096;
    static constexpr int ReadLimit = 255;
    // Arrival times kept apart; beyond that the oldest arrivals are merged
    // and their bytes count as having come with the later one.
    static constexpr int MaxArrivals = 64;

    void append(const QByteArray &bytes, qint64 atMs);
    int size() const { return size_; }
    // Arrival of the newest byte, -1 when empty.
    qint64 newestAtMs() const;
    // Takes at most 255 bytes from the front. What a take leaves behind is
    // delivered by the next take when it fits in one (the rest of a long
    // reception); a larger backlog can be no answer to the request that goes
    // out next and is dropped, so that a line that babbled recovers at once.
    QByteArray take(qint64 *lastByteAtMs = nullptr);
    void clear();

    // The heap memory the queue holds, in bytes.
    std::size_t memoryBytes() const;

private:
    struct Arrival {
        int bytes;  // how many of its bytes are still queued
        qint64 atMs;
    };

    Arrival &arrival(int i) { return arrivals_[std::size_t((firstArrival_ + i) % MaxArrivals)]; }
    const Arrival &arrival(int i) const
    {
        return arrivals_[std::size_t((firstArrival_ + i) % MaxArrivals)];
    }
    void addArrival(int bytes, qint64 atMs);
    // Drops `n` bytes from the front; returns when the last of them came.
    qint64 dropFront(int n);

    std::vector<char> ring_;        // Capacity bytes once anything came
    int head_ = 0;                  // index of the oldest byte in ring_
    int size_ = 0;
    std::vector<Arrival> arrivals_; // a ring of MaxArrivals
    int firstArrival_ = 0;
    int arrivalCount_ = 0;
};
