// Requests a reader passes on to a tag: the tag poll (0xE0) and the tag
// parameter read (0xE3).
#include "window/frmSerial.h"
#include "window/messages.h"
#include "protocol/commands.h"
#include "protocol/conversions.h"
#include "protocol/frame.h"
#include "widgets/dialogs.h"
#include "ui_frmSerial.h"

void frmSerial::CMD_zapros_metki(quint32 SerialN, quint8 cmdd)
{
    cycle_.queueRequest(form_zaprosa(proto::Long_to_string(SerialN), cmdd), printToWin());
}

void frmSerial::Find_metki_Click()
{
    if (!currentAddress())
        return;
    CMD_zapros_metki(proto::TagPollNumber, proto::code(proto::Command::TagPoll));
}

void frmSerial::ReadParamMetki_Click()
{
    // The tag to read is the one last heard through the reader picked. A
    // click while a tick waits is judged once that tick has shown its reply.
    inOrder([this] {
        if (!tagHeardOrSay())
            return;
        const proto::HexNumber tag = proto::hexToNumber(ui->outID->text());
        if (tag.error != proto::HexError::None) {
            dialogs_.message(msg::forHexError(tag.error));
            return;
        }
        cycle_.awaitTagRead(form_zaprosa(proto::Long_to_string(tag.value), proto::code(proto::Command::TagData)),
                            printToWin());
    });
}
