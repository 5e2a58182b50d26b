// Takes the README's pictures: the main window on the demo line, each page
// after a search, as a technician sees it, the exchange log and the line
// diagnostics. Not installed.
//   rfid-screenshots <folder>
#include "app/program.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTabWidget>
#include <QKeyEvent>
#include <QTimer>

#include "diagnostics/diagnosticswindow.h"
#include "sim/simline.h"
#include "widgets/exchangelog.h"

namespace {

// Lets the window run for `ms` with its own timers.
void run(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));

    Program program(true);
    if (!program.ready())
        return 1;
    frmSerial &w = program.window();
    program.start();
    run(2300); // splash, then the main window
    w.grab().save(out.filePath(QStringLiteral("main-window-closed.png")));

    // Only ever the demo line: the first port listed may be a real one of
    // this machine (COM1 is often its console), which must not be written to.
    auto *ports = w.findChild<QComboBox *>(QStringLiteral("CmbPort"));
    const int demoEntry = ports->findText(QStringLiteral("COM") + QString::number(program.demo().portNumber));
    if (demoEntry < 0)
        return 1;
    ports->setCurrentIndex(demoEntry);
    w.BTNOpenCom_Click();
    w.Opros_Click();
    run(3500);
    auto *pages = w.findChild<QTabWidget *>(QStringLiteral("SSTab1"));
    w.grab().save(out.filePath(QStringLiteral("main-window.png")));
    pages->setCurrentIndex(1);
    run(1600);
    w.ReadParamMetki_Click();
    run(1600);
    w.grab().save(out.filePath(QStringLiteral("page-tag.png")));
    auto *addresses = w.findChild<QComboBox *>(QStringLiteral("CmbNet"));
    addresses->setCurrentIndex(addresses->findText(QStringLiteral("7")));
    pages->setCurrentIndex(2);
    run(3000);
    w.grab().save(out.filePath(QStringLiteral("page-bridge.png")));

    // The exchange log, opened as the technician opens it: F12.
    QApplication::setActiveWindow(&w);
    QKeyEvent f12(QEvent::KeyPress, Qt::Key_F12, Qt::NoModifier);
    QApplication::sendEvent(&w, &f12);
    pages->setCurrentIndex(0);
    run(2500);
    if (auto *log = w.findChild<ExchangeLog *>())
        log->grab().save(out.filePath(QStringLiteral("exchange-log.png")));

    // The line diagnostics (F11) after some minutes on reader 5, whose values
    // drift slowly; the line falls silent for a few seconds before the
    // picture, so the gap in the trends and the marked row show.
    addresses->setCurrentIndex(addresses->findText(QStringLiteral("5")));
    run(80000);
    program.demo().line().setSilent(true);
    run(4000);
    program.demo().line().setSilent(false);
    run(5000);
    QApplication::setActiveWindow(&w); // the log has the focus now
    QKeyEvent f11(QEvent::KeyPress, Qt::Key_F11, Qt::NoModifier);
    QApplication::sendEvent(&w, &f11);
    run(1500);
    if (auto *diagnostics = w.findChild<DiagnosticsWindow *>())
        diagnostics->grab().save(out.filePath(QStringLiteral("diagnostics.png")));
    program.stop();
    return 0;
}
