#pragma once
// Every status text the exchange cycle shows, in one place: the
// confirmations of the readers' settings, the texts of the replies that carry
// data, and what the cycle says of a silent line or a failed write. Texts are
// the readers' own words, leading blanks included.
#include "protocol/reception.h"

#include <QString>
#include <QVector>

namespace status {

// The status a reply with command code `code` shows, or an empty string
// when it shows none (the reader data reply speaks only through the latch,
// see readerDataReceived()).
QString forReply(quint8 code);

// A reply that only confirms a setting (0xF2 echoes the mode set).
bool isConfirmation(quint8 code);

// The first long reader data reply after a search, a mode setting or another
// address.
QString readerDataReceived();
// The answer to a reader search was taken.
QString searchDone();
// The search answer named these addresses twice: two readers answer at each.
QString sharedAddress(const QVector<quint8> &addresses);

// A tick that brought no bytes, by the open page.
QString noReader(const QString &addressText);
QString noTag();
QString noBridge();

// Ticks with no address picked from the list: nothing is asked.
QString noAddressPicked();

// A request could not be written: the port is closed.
QString writeError();

// As the exchange log names a request that got no reply, and those that
// never reached the line.
QString noReply();
QString notSentPortLost();
QString notSentPortClosed();
// The reply read in the tick whose write failed: it is not shown.
QString replyNotShown();
// A reply the cycle dropped, and why.
QString droppedChecksum();
QString droppedTooShort();
QString droppedOtherAddress(quint8 askedAddress);
QString droppedNoSearch();
QString droppedTooLongForSearch();
// Why a reception that is not used was dropped, by its verdict.
QString dropped(const proto::Reception &rc);

} // namespace status
