#pragma once
// What a serial driver's input queue does for the program: it holds received
// bytes, each with the time it came, until a read takes them. It never holds
// more than about 4 KiB; on overflow the oldest bytes go first.
#include <QByteArray>

#include <deque>

class InputQueue
{
public:
    static constexpr int Capacity = 4096;
    static constexpr int ReadLimit = 255;

    void append(const QByteArray &bytes, qint64 atMs);
    int size() const { return size_; }
    // Arrival of the newest byte, -1 when empty.
    qint64 newestAtMs() const { return chunks_.empty() ? -1 : chunks_.back().atMs; }
    // Takes at most 255 bytes from the front. What a take leaves behind is
    // delivered by the next take when it fits in one (the rest of a long
    // reception); a larger backlog can be no answer to the request that goes
    // out next and is dropped, so that a line that babbled recovers at once.
    QByteArray take(qint64 *lastByteAtMs = nullptr);
    void clear();

private:
    struct Chunk {
        QByteArray bytes;
        qint64 atMs;
    };
    std::deque<Chunk> chunks_;
    int size_ = 0;
};
