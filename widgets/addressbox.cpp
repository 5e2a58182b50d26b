#include "widgets/addressbox.h"

#include <QComboBox>

void makeAddressBoxPickOnly(QComboBox *box)
{
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
}
