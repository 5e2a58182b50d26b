#pragma once
// The address box CmbNet holds the addresses a reader search found. What the
// operator types there is no address until it names a listed entry: Qt's
// editable combo box would otherwise complete "1" to a listed "12" and add
// whatever is typed before Enter to the list, so that a request would go to
// an address nobody chose.
class QComboBox;

void makeAddressBoxPickOnly(QComboBox *box);
