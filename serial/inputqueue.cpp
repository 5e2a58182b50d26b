#include "serial/inputqueue.h"

#include <algorithm>

void InputQueue::append(const QByteArray &bytes, qint64 atMs)
{
    if (bytes.isEmpty())
        return;
    // A burst larger than the queue keeps only its newest part.
    const QByteArray kept = bytes.size() > Capacity ? bytes.right(Capacity) : bytes;
    chunks_.push_back({kept, atMs});
    size_ += int(kept.size());
    while (size_ > Capacity) {
        Chunk &oldest = chunks_.front();
        const int excess = size_ - Capacity;
        if (oldest.bytes.size() <= excess) {
            size_ -= int(oldest.bytes.size());
            chunks_.pop_front();
        } else {
            oldest.bytes.remove(0, excess);
            size_ -= excess;
        }
    }
}

QByteArray InputQueue::take(qint64 *lastByteAtMs)
{
    QByteArray out;
    // A buffer of its own: appending to an empty array would share the
    // chunk's, and a reply kept for long would keep the whole chunk.
    out.reserve(std::min(size_, ReadLimit));
    qint64 last = -1;
    while (!chunks_.empty() && out.size() < ReadLimit) {
        Chunk &front = chunks_.front();
        const int room = ReadLimit - int(out.size());
        last = front.atMs;
        if (front.bytes.size() <= room) {
            out += front.bytes;
            chunks_.pop_front();
        } else {
            out += front.bytes.left(room);
            front.bytes.remove(0, room);
        }
    }
    size_ -= int(out.size());
    if (size_ > ReadLimit)
        clear();
    if (lastByteAtMs)
        *lastByteAtMs = last;
    return out;
}

void InputQueue::clear()
{
    chunks_.clear();
    size_ = 0;
}
