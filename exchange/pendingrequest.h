#pragma once
// The pending request `wrs`: the frame the next tick sends. It remembers each
// request that was replaced or dropped before it reached the line, so that the
// exchange log can show the commands that never went out.
#include <QByteArray>
#include <QByteArrayList>

#include <ostream>

class PendingRequest
{
public:
    PendingRequest &operator=(const QByteArray &request)
    {
        replace(request);
        return *this;
    }
    // Appending keeps what was pending: both go out together.
    PendingRequest &operator+=(const QByteArray &more)
    {
        bytes_ += more;
        return *this;
    }
    void clear() { replace(QByteArray()); }

    operator const QByteArray &() const { return bytes_; }
    const QByteArray &bytes() const { return bytes_; }
    bool isEmpty() const { return bytes_.isEmpty(); }
    qsizetype size() const { return bytes_.size(); }
    char back() const { return bytes_.back(); }

    // Hands the request to the line: it leaves without counting as dropped.
    QByteArray take()
    {
        QByteArray out = bytes_;
        bytes_.clear();
        return out;
    }
    // The requests replaced or dropped since the last call, oldest first.
    QByteArrayList takeDropped()
    {
        QByteArrayList out;
        out.swap(dropped_);
        return out;
    }

    friend bool operator==(const PendingRequest &a, const QByteArray &b) { return a.bytes_ == b; }
    friend bool operator==(const QByteArray &a, const PendingRequest &b) { return a == b.bytes_; }
    friend bool operator!=(const PendingRequest &a, const QByteArray &b) { return a.bytes_ != b; }

private:
    void replace(const QByteArray &request)
    {
        // The same request again (an identification queued twice) is no loss.
        if (!bytes_.isEmpty() && bytes_ != request && dropped_.size() < MaxDropped)
            dropped_ << bytes_;
        bytes_ = request;
    }

    // Between two ticks an operator cannot replace more than this.
    static constexpr int MaxDropped = 64;
    QByteArray bytes_;
    QByteArrayList dropped_;
};

// Readable values in test failures.
inline void PrintTo(const PendingRequest &r, std::ostream *os)
{
    *os << r.bytes().toHex(' ').constData();
}
