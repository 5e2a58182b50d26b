#include "serial/inputqueue.h"

#include <algorithm>
#include <cstring>

qint64 InputQueue::newestAtMs() const
{
    return arrivalCount_ == 0 ? -1 : arrival(arrivalCount_ - 1).atMs;
}

void InputQueue::append(const QByteArray &bytes, qint64 atMs)
{
    if (bytes.isEmpty())
        return;
    if (ring_.empty()) {
        ring_.resize(Capacity);
        arrivals_.resize(MaxArrivals);
    }
    // A burst larger than the queue keeps only its newest part.
    const int kept = int(std::min<qsizetype>(bytes.size(), Capacity));
    const char *from = bytes.constData() + (bytes.size() - kept);
    if (size_ + kept > Capacity)
        dropFront(size_ + kept - Capacity);

    int at = (head_ + size_) % Capacity;
    const int first = std::min(kept, Capacity - at);
    std::memcpy(ring_.data() + at, from, std::size_t(first));
    std::memcpy(ring_.data(), from + first, std::size_t(kept - first));
    size_ += kept;
    addArrival(kept, atMs);
}

void InputQueue::addArrival(int bytes, qint64 atMs)
{
    if (arrivalCount_ > 0 && arrival(arrivalCount_ - 1).atMs == atMs) {
        arrival(arrivalCount_ - 1).bytes += bytes;
        return;
    }
    if (arrivalCount_ == MaxArrivals) {
        // The two oldest become one: their last byte came with the later.
        arrival(1).bytes += arrival(0).bytes;
        firstArrival_ = (firstArrival_ + 1) % MaxArrivals;
        --arrivalCount_;
    }
    arrival(arrivalCount_) = {bytes, atMs};
    ++arrivalCount_;
}

qint64 InputQueue::dropFront(int n)
{
    head_ = (head_ + n) % Capacity;
    size_ -= n;
    qint64 last = -1;
    while (n > 0 && arrivalCount_ > 0) {
        Arrival &oldest = arrival(0);
        const int used = std::min(n, oldest.bytes);
        oldest.bytes -= used;
        n -= used;
        last = oldest.atMs;
        if (oldest.bytes == 0) {
            firstArrival_ = (firstArrival_ + 1) % MaxArrivals;
            --arrivalCount_;
        }
    }
    return last;
}

QByteArray InputQueue::take(qint64 *lastByteAtMs)
{
    const int n = std::min(size_, ReadLimit);
    // A buffer of exactly the bytes taken: replies are kept for long (the
    // exchange log), the ring is not theirs.
    QByteArray out(n, Qt::Uninitialized);
    const int first = std::min(n, Capacity - head_);
    if (n > 0) {
        std::memcpy(out.data(), ring_.data() + head_, std::size_t(first));
        std::memcpy(out.data() + first, ring_.data(), std::size_t(n - first));
    }
    const qint64 last = dropFront(n);
    if (size_ > ReadLimit)
        clear();
    if (lastByteAtMs)
        *lastByteAtMs = last;
    return out;
}

void InputQueue::clear()
{
    head_ = size_ = 0;
    firstArrival_ = arrivalCount_ = 0;
}

std::size_t InputQueue::memoryBytes() const
{
    return ring_.capacity() + arrivals_.capacity() * sizeof(Arrival);
}
