#include "sim/simline.h"

#include "protocol/commands.h"
#include "protocol/frame.h"
#include "serial/portlock.h"

#include <QMetaObject>
#include <QMutexLocker>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace {

using proto::Command;

constexpr quint8 kRequestPrefix = 0x31;
constexpr quint8 kReplyPrefix = 0x3E;
constexpr quint8 kBroadcast = 0xFF;
constexpr quint8 kPollChecksum = 0xDC;
constexpr quint8 kContactSet = 0xCD;
// The second half of a split reply goes out on its own when no request follows.
constexpr int kHeldBackMs = 1000;
// Bytes of a request come in one burst; a fragment older than this is line junk.
constexpr qint64 kStaleRequestMs = 300;

// CRC-8/MAXIM (reflected 0x8C, initial 0, no final inversion), the checksum
// that closes every frame on the line. Kept here so the simulated devices do
// not share the tool's code.
quint8 crc8(const QByteArray &bytes)
{
    quint8 cr = 0;
    for (char ch : bytes) {
        cr ^= quint8(ch);
        for (int bit = 0; bit < 8; ++bit)
            cr = (cr & 1) ? quint8((cr >> 1) ^ 0x8C) : quint8(cr >> 1);
    }
    return cr;
}

bool isNetworkPoll(const QByteArray &r)
{
    return r.size() == 3 && quint8(r[0]) == kRequestPrefix && quint8(r[1]) == kBroadcast
        && quint8(r[2]) == kPollChecksum;
}

// A reader's reply frame: 0x3E, address, code, payload, checksum. Reader
// numbers go least significant byte first, tag numbers most significant first.
class ReplyFrame
{
public:
    ReplyFrame(quint8 address, Command command)
    {
        u8(kReplyPrefix);
        u8(address);
        u8(proto::code(command));
    }
    ReplyFrame &u8(quint8 v)
    {
        bytes_.append(char(v));
        return *this;
    }
    ReplyFrame &le16(quint16 v) { return u8(quint8(v)).u8(quint8(v >> 8)); }
    ReplyFrame &le32(quint32 v) { return le16(quint16(v)).le16(quint16(v >> 16)); }
    ReplyFrame &be16(quint16 v) { return u8(quint8(v >> 8)).u8(quint8(v)); }
    ReplyFrame &be32(quint32 v) { return be16(quint16(v >> 16)).be16(quint16(v)); }
    QByteArray finish() const { return bytes_ + char(crc8(bytes_)); }

private:
    QByteArray bytes_;
};

// Numbers in requests travel most significant byte first.
quint16 be16At(const QByteArray &r, int i)
{
    return quint16((quint8(r[i]) << 8) | quint8(r[i + 1]));
}

quint32 be32At(const QByteArray &r, int i)
{
    return (quint32(be16At(r, i)) << 16) | be16At(r, i + 2);
}

QByteArray tableReply(const SimReader &r)
{
    ReplyFrame f(r.address, Command::IdTable);
    for (quint32 id : r.table)
        f.le32(id);
    return f.finish();
}

QByteArray tagPollReply(const SimReader &r, const SimTag &t)
{
    return ReplyFrame(r.address, Command::TagPoll).be32(t.serial).be32(t.id).u8(t.level).finish();
}

// Runs `fn` on the thread the line lives on, waiting for it; directly when
// that thread is the caller's or is not running.
template<typename Fn>
void onLineThread(SimLine *line, Fn fn)
{
    QThread *home = line->thread();
    if (home == QThread::currentThread() || !home || !home->isRunning())
        fn();
    else
        QMetaObject::invokeMethod(line, fn, Qt::BlockingQueuedConnection);
}

} // namespace

SimLine::SimLine(QObject *parent)
    : QObject(parent)
    , heldTimer_(new QTimer(this))
{
    heldTimer_->setSingleShot(true);
    heldTimer_->setInterval(kHeldBackMs);
    connect(heldTimer_, &QTimer::timeout, this, &SimLine::flushHeldBack);
}

SimLine::~SimLine()
{
    closeLine();
}

bool SimLine::open()
{
    bool ok = false;
    onLineThread(this, [this, &ok] {
        closeLine();
        PseudoTerminal pty;
        if (!openFreePseudoTerminal(&pty))
            return;
        const int master = pty.master;
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        {
            QMutexLocker lock(&mutex_);
            master_ = master;
            slaveKeep_ = pty.slave;
            devicePath_ = pty.path;
        }
        inbox_.clear();
        notifier_ = new QSocketNotifier(master, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &SimLine::onReadable);
        ok = true;
    });
    return ok;
}

QString SimLine::devicePath() const
{
    QMutexLocker lock(&mutex_);
    return devicePath_;
}

void SimLine::unplug()
{
    onLineThread(this, [this] { closeLine(); });
}

void SimLine::closeLine()
{
    // The notifier goes before its descriptor does.
    delete notifier_;
    notifier_ = nullptr;
    heldTimer_->stop();
    heldBack_.clear();
    QMutexLocker lock(&mutex_);
    if (master_ >= 0)
        ::close(master_);
    if (slaveKeep_ >= 0)
        ::close(slaveKeep_);
    master_ = slaveKeep_ = -1;
}

void SimLine::addReader(const SimReader &reader)
{
    QMutexLocker lock(&mutex_);
    readers_.append(reader);
}

void SimLine::setTags(quint8 address, const QVector<SimTag> &tags)
{
    QMutexLocker lock(&mutex_);
    for (SimReader &r : readers_) {
        if (r.address == address)
            r.tags = tags;
    }
}

std::optional<SimReader> SimLine::reader(quint8 address) const
{
    QMutexLocker lock(&mutex_);
    for (const SimReader &r : readers_)
        if (r.address == address)
            return r;
    return std::nullopt;
}

QVector<SimReader> SimLine::readers() const
{
    QMutexLocker lock(&mutex_);
    return readers_;
}

void SimLine::setSilent(bool silent)
{
    QMutexLocker lock(&mutex_);
    silent_ = silent;
}

void SimLine::dropReplies(int count)
{
    QMutexLocker lock(&mutex_);
    dropReplies_ = count;
}

void SimLine::setCorruptChecksum(bool corrupt)
{
    QMutexLocker lock(&mutex_);
    corrupt_ = corrupt;
}

void SimLine::setSplitReplies(bool split)
{
    QMutexLocker lock(&mutex_);
    split_ = split;
}

void SimLine::setNoise(const QByteArray &noise)
{
    QMutexLocker lock(&mutex_);
    noise_ = noise;
}

void SimLine::setTrailer(const QByteArray &more)
{
    QMutexLocker lock(&mutex_);
    trailer_ = more;
}

void SimLine::inject(const QByteArray &bytes)
{
    onLineThread(this, [this, bytes] { writeOut(bytes); });
}

QVector<QByteArray> SimLine::requests() const
{
    QMutexLocker lock(&mutex_);
    return requests_;
}

void SimLine::clearRequests()
{
    QMutexLocker lock(&mutex_);
    requests_.clear();
}

QByteArray SimLine::answer(const QByteArray &request)
{
    QMutexLocker lock(&mutex_);
    return answerLocked(request);
}

void SimLine::onReadable()
{
    char buf[512];
    for (;;) {
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            if (!inbox_.isEmpty() && lastBytes_.isValid() && lastBytes_.elapsed() > kStaleRequestMs)
                inbox_.clear();
            lastBytes_.start();
            inbox_.append(buf, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // EAGAIN: drained. Anything else (EIO with no slave open) would
        // keep the notifier firing, so stop watching until the line reopens.
        if (n == 0 || errno != EAGAIN)
            notifier_->setEnabled(false);
        break;
    }
    handleBytes();
}

void SimLine::handleBytes()
{
    for (;;) {
        const int start = inbox_.indexOf(char(kRequestPrefix));
        if (start < 0) {
            inbox_.clear();
            return;
        }
        inbox_.remove(0, start);
        if (inbox_.size() < 3)
            return;

        int length = 3;
        if (!(quint8(inbox_[1]) == kBroadcast && quint8(inbox_[2]) == kPollChecksum)) {
            length = proto::requestLength(quint8(inbox_[2]));
            if (length == 0) {
                inbox_.remove(0, 1);
                continue;
            }
            if (inbox_.size() < length)
                return;
            if (crc8(inbox_.left(length - 1)) != quint8(inbox_[length - 1])) {
                inbox_.remove(0, 1);
                continue;
            }
        }
        const QByteArray request = inbox_.left(length);
        inbox_.remove(0, length);

        QByteArray reply;
        bool lost = false;
        {
            QMutexLocker lock(&mutex_);
            if (!silent_)
                reply = answerLocked(request);
            // The reader did what was asked; only its answer is lost.
            if (!reply.isEmpty() && dropReplies_ > 0) {
                --dropReplies_;
                lost = true;
            }
            requests_.append(request);
        }
        if (!lost)
            sendReply(reply, !isNetworkPoll(request));
        emit requestHandled(request, reply);
    }
}

void SimLine::sendReply(const QByteArray &reply, bool framed)
{
    if (reply.isEmpty())
        return;
    bool corrupt, split;
    QByteArray noise;
    QByteArray faulty = reply;
    {
        QMutexLocker lock(&mutex_);
        corrupt = corrupt_;
        split = split_;
        noise = noise_;
        if (framed)
            faulty += trailer_;
    }
    // The poll answer has no checksum to spoil.
    if (corrupt && framed)
        faulty.back() = char(quint8(faulty.back()) ^ 0xFF);

    heldTimer_->stop();
    QByteArray out = heldBack_ + noise;
    heldBack_.clear();
    if (split && faulty.size() > 1) {
        const int half = faulty.size() / 2;
        out += faulty.left(half);
        heldBack_ = faulty.mid(half);
        heldTimer_->start();
    } else {
        out += faulty;
    }
    writeOut(out);
}

void SimLine::flushHeldBack()
{
    const QByteArray rest = heldBack_;
    heldBack_.clear();
    writeOut(rest);
}

void SimLine::writeOut(const QByteArray &bytes)
{
    int done = 0;
    while (master_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += int(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break; // nobody reads and the buffer is full: the rest is lost, as on a wire
    }
}

namespace {

// A slow wave of `amplitude` over `period` data requests (two a second while
// a page polls), with a little jitter; both come from the step alone, so a run
// is reproducible and the values never wander off.
int wave(quint32 step, int amplitude, int period, int jitter)
{
    constexpr double TwoPi = 6.283185307179586;
    const double phase = TwoPi * double(step % quint32(period)) / period;
    const quint32 hash = (step * 2654435761u) >> 16;
    return int(std::lround(amplitude * std::sin(phase))) + int(hash % quint32(2 * jitter + 1)) - jitter;
}

// What the wave adds on this step over the last one: the values stay
// `base + wave(step)` without keeping their base anywhere.
int waveStep(quint32 step, int amplitude, int period, int jitter)
{
    return wave(step, amplitude, period, jitter) - wave(step - 1, amplitude, period, jitter);
}

} // namespace

void SimLine::drift(SimReader &r)
{
    // Readers at other addresses are at other points of their waves.
    const quint32 step = ++r.livePolls + r.address * 37u;
    r.level = quint16(std::clamp(int(r.level) + waveStep(step, 60, 240, 2), 0, 1023));
    r.current = quint32(std::max<qint64>(1, qint64(r.current) + waveStep(step, 1500, 360, 20)));
    const int temperature = std::clamp(int(qint8(r.temperature)) + waveStep(step, 3, 600, 0), -40, 85);
    r.temperature = quint8(qint8(temperature));
}

void SimLine::driftSlave(SimReader &r)
{
    const quint32 step = ++r.livePolls + r.address * 37u;
    SimSlave &s = *r.slave;
    s.temperature = qint16(s.temperature + waveStep(step, 24, 300, 1)); // sixteenths of a degree
    s.frequency = quint16(std::clamp(int(s.frequency) + waveStep(step, 40, 200, 2), 0, 65535));
}

QByteArray SimLine::answerLocked(const QByteArray &request)
{
    if (isNetworkPoll(request)) {
        QByteArray addresses;
        for (const SimReader &r : readers_)
            addresses.append(char(r.address));
        std::sort(addresses.begin(), addresses.end(),
                  [](char a, char b) { return quint8(a) < quint8(b); });
        return addresses;
    }
    if (request.size() < 4 || quint8(request[0]) != kRequestPrefix)
        return {};
    const quint8 command = quint8(request[2]);
    if (proto::requestLength(command) != request.size()
        || crc8(request.left(request.size() - 1)) != quint8(request.back()))
        return {};

    const quint8 address = quint8(request[1]);
    auto it = std::find_if(readers_.begin(), readers_.end(),
                           [address](const SimReader &r) { return r.address == address; });
    if (it == readers_.end())
        return {};
    SimReader &r = *it;

    auto tagWhere = [&r](auto pred) -> SimTag * {
        auto t = std::find_if(r.tags.begin(), r.tags.end(), pred);
        return t == r.tags.end() ? nullptr : &*t;
    };

    switch (Command(command)) {
    case Command::Identification:
        return ReplyFrame(address, Command::Identification).le32(r.serial).u8(r.version).u8(r.versionPrefix).finish();
    case Command::ReaderData: {
        if (r.live)
            drift(r);
        const quint32 tagId = r.tags.isEmpty() ? 0 : r.tags.first().id;
        return ReplyFrame(address, Command::ReaderData)
            .u8(r.temperature).le16(r.level).le32(r.current).le32(r.empty).le32(tagId).le16(r.k)
            .u8(r.mode).le16(r.network).u8(r.channel).u8(r.power)
            .finish();
    }
    case Command::Mode:
        r.mode = quint8(request[3]);
        return ReplyFrame(address, Command::Mode).u8(r.mode).finish();
    case Command::RadioParams:
        r.network = be16At(request, 3);
        r.channel = quint8(request[5]);
        r.power = std::min(quint8(request[6]), r.maxPower);
        return ReplyFrame(address, Command::RadioParams).finish();
    case Command::Delay:
        r.delay = be16At(request, 3);
        return ReplyFrame(address, Command::Delay).le16(r.delay).finish();
    case Command::DelayRead:
        // The read of the additional parameters is answered like their setting.
        return ReplyFrame(address, Command::Delay).le16(r.delay).finish();
    case Command::NetAddress:
        // Confirmed from the old address; from then on only the new one answers.
        r.address = quint8(request[3]);
        return ReplyFrame(address, Command::NetAddress).finish();
    case Command::ReaderSerial:
        r.serial = be32At(request, 3);
        return ReplyFrame(address, Command::ReaderSerial).finish();
    case Command::FullLevel:
        r.full = r.level;
        return ReplyFrame(address, Command::FullLevel).finish();
    case Command::EmptyLevel:
        r.empty = r.level;
        return ReplyFrame(address, Command::EmptyLevel).finish();
    case Command::IdTableRead:
        return tableReply(r);
    case Command::IdTableClear:
        r.table.fill(0);
        return ReplyFrame(address, Command::IdTableClear).finish();
    case Command::IdTable: {
        const quint8 index = quint8(request[3]);
        if (index < r.table.size())
            r.table[index] = be32At(request, 4);
        return tableReply(r);
    }
    case Command::TagPoll: {
        // The poll number wakes whichever tag is first in the field; any
        // other number only the tag that carries it.
        const quint32 number = be32At(request, 3);
        const SimTag *t = number == proto::TagPollNumber
            ? (r.tags.isEmpty() ? nullptr : &r.tags.first())
            : tagWhere([number](const SimTag &c) { return c.id == number; });
        return t ? tagPollReply(r, *t) : QByteArray();
    }
    case Command::TagData: {
        const quint32 id = be32At(request, 3);
        const SimTag *t = tagWhere([id](const SimTag &c) { return c.id == id; });
        if (!t)
            return {};
        return ReplyFrame(address, Command::TagData)
            .be32(t->serial).be32(t->id).be16(t->interval)
            .u8(t->mode).u8(t->power).u8(t->version).be16(t->sleep).u8(t->level)
            .finish();
    }
    case Command::TagParams: {
        const quint32 serial = be32At(request, 4);
        SimTag *t = tagWhere([serial](const SimTag &c) { return c.serial == serial; });
        if (!t)
            return {};
        t->id = be32At(request, 8);
        t->interval = be16At(request, 12);
        t->mode = quint8(request[14]);
        t->power = quint8(request[15]);
        t->sleep = be16At(request, 16);
        return ReplyFrame(address, Command::TagParams).finish();
    }
    case Command::TagSerial: {
        const quint32 id = be32At(request, 3);
        SimTag *t = tagWhere([id](const SimTag &c) { return c.id == id; });
        if (!t)
            return {};
        t->serial = be32At(request, 7);
        return ReplyFrame(address, Command::TagSerial).finish();
    }
    case Command::SlaveData: {
        if (!r.slave)
            return {};
        if (r.live)
            driftSlave(r);
        const SimSlave &s = *r.slave;
        // The slave's temperature is the one big-endian number of a reader reply.
        return ReplyFrame(address, Command::SlaveData)
            .le32(s.serial).be16(quint16(s.temperature)).le16(s.frequency)
            .u8(s.contact ? kContactSet : 0x00).u8(s.level)
            .finish();
    }
    case Command::SlaveRs485:
        if (!r.slave)
            return {};
        return ReplyFrame(address, Command::SlaveRs485).u8(0).le16(r.slave->rs485).finish();
    default:
        return {};
    }
}

QVector<SimReader> SimLine::demoReaders()
{
    SimReader reader;
    reader.address = 5;
    reader.serial = 1000123;
    reader.version = 134;
    reader.mode = 0x02;
    reader.network = 1;
    reader.channel = 5;
    reader.power = 10;
    reader.delay = 1000;
    reader.empty = 120;
    reader.level = 512;
    reader.current = 15000;
    reader.temperature = 23;
    reader.k = 100;
    reader.table = {0x0012AB3C, 0x00A1B2C3, 0x01020304};
    reader.live = true;
    SimTag tag;
    tag.serial = 2000100;
    tag.id = 0x0012AB3C;
    tag.interval = 1000;
    tag.mode = 2;
    tag.power = 100;
    tag.version = 134;
    tag.sleep = 60;
    tag.level = 0xB5; // -75
    reader.tags = {tag};

    SimReader bridge;
    bridge.address = 7;
    bridge.serial = 1000456;
    bridge.version = 131;
    bridge.mode = 0xC0;
    bridge.network = 1;
    bridge.channel = 7;
    bridge.power = 12;
    bridge.delay = 500;
    bridge.empty = 80;
    bridge.level = 300;
    bridge.current = 9000;
    bridge.temperature = 21;
    bridge.k = 90;
    bridge.live = true;
    SimSlave slave;
    slave.serial = 3000777;
    slave.temperature = 344; // 21.5 degrees
    slave.frequency = 1200;
    slave.contact = true;
    slave.level = 0xC4; // -60
    slave.rs485 = 0x1234;
    bridge.slave = slave;
    SimTag bridgeTag = tag;
    bridgeTag.serial = 2000101;
    bridgeTag.id = 0x00A1B2C3;
    bridgeTag.level = 0xC8;
    bridge.tags = {bridgeTag};

    return {reader, bridge};
}

SimHost::SimHost()
    : thread_(std::make_unique<QThread>())
    , line_(new SimLine)
{
    thread_->setObjectName(QStringLiteral("simline"));
}

SimHost::~SimHost()
{
    if (thread_->isRunning()) {
        // The line's notifier and timer belong to the thread: let it
        // delete them before it ends.
        QObject::connect(thread_.get(), &QThread::finished, line_, &QObject::deleteLater);
        thread_->quit();
        thread_->wait();
    } else {
        delete line_;
    }
}

bool SimHost::start()
{
    if (!thread_->isRunning()) {
        line_->moveToThread(thread_.get());
        thread_->start();
    }
    return line_->open();
}
