// Start-up: from the start of the program to its splash and to its main
// window on the screen.
//
// Outside (preferred): the real `rfid-service --demo` runs as a child under
// an X server while a small X client of the benchmark listens on the root
// window for its top-level windows being mapped. Nothing in the program is
// changed or told it is being watched.
//
// In process (when no X server can be had): the benchmark builds what main()
// builds, with a clock started before QApplication, and notes the first
// paint of the splash and of the main window.
#include "bench/bench.h"

#include "widgets/form2.h"
#include "window/frmSerial.h"
#include "app/program.h"
#include "serial/portnames.h"
#include "serial/serialport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#ifdef RFID_BENCH_HAVE_XCB
#include <xcb/xcb.h>
#endif

extern char **environ;

namespace bench {

namespace {

constexpr int kStartTimeoutMs = 20000;

#ifdef RFID_BENCH_HAVE_XCB

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : XCB_ATOM_NONE;
    std::free(r);
    return a;
}

bool hasAtom(xcb_connection_t *c, xcb_window_t window, xcb_atom_t property, xcb_atom_t wanted)
{
    xcb_get_property_reply_t *r = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, XCB_ATOM_ATOM, 0, 32), nullptr);
    bool found = false;
    if (r && r->format == 32) {
        const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(r));
        const int n = xcb_get_property_value_length(r) / 4;
        for (int i = 0; i < n && !found; ++i)
            found = atoms[i] == wanted;
    }
    std::free(r);
    return found;
}

// The child's environment: ours, with its display and the X platform.
std::vector<std::string> childEnvironment(const std::string &display)
{
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        if (std::strncmp(*e, "DISPLAY=", 8) != 0 && std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0)
            env.emplace_back(*e);
    }
    env.push_back("DISPLAY=" + display);
    env.push_back("QT_QPA_PLATFORM=xcb");
    return env;
}

#endif

} // namespace

bool outsideStartupAvailable()
{
#ifdef RFID_BENCH_HAVE_XCB
    return true;
#else
    return false;
#endif
}

StartupRun measureStartupOutside(const std::string &service, const std::string &display)
{
    StartupRun run;
#ifdef RFID_BENCH_HAVE_XCB
    xcb_connection_t *c = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        run.error = "cannot connect to X display " + display;
        return run;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t windowType = atom(c, "_NET_WM_WINDOW_TYPE");
    const xcb_atom_t splashType = atom(c, "_NET_WM_WINDOW_TYPE_SPLASH");
    // The round trips above also make sure the server listens before the
    // child starts.

    const std::vector<std::string> env = childEnvironment(display);
    std::vector<char *> envp;
    for (const std::string &e : env)
        envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);
    const std::string demo = "--demo";
    char *const args[] = {const_cast<char *>(service.c_str()), const_cast<char *>(demo.c_str()), nullptr};

    const std::int64_t start = nowNs();
    const pid_t pid = fork();
    if (pid == 0) {
        execve(args[0], args, envp.data());
        _exit(127);
    }
    if (pid < 0) {
        xcb_disconnect(c);
        run.error = "fork failed";
        return run;
    }

    const std::int64_t deadline = start + std::int64_t(kStartTimeoutMs) * 1000000;
    pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
    while (run.mainMs < 0 && run.error.empty()) {
        if (nowNs() > deadline) {
            run.error = "no main window within the time-out";
            break;
        }
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            run.error = "the program ended before its main window showed";
            break;
        }
        poll(&fd, 1, 50);
        while (xcb_generic_event_t *ev = xcb_poll_for_event(c)) {
            if ((ev->response_type & 0x7F) == XCB_MAP_NOTIFY) {
                const double ms = double(nowNs() - start) / 1e6;
                const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(ev);
                if (!map->override_redirect) {
                    if (hasAtom(c, map->window, windowType, splashType)) {
                        if (run.splashMs < 0)
                            run.splashMs = ms;
                    } else if (run.mainMs < 0) {
                        run.mainMs = ms;
                    }
                }
            }
            std::free(ev);
        }
        if (xcb_connection_has_error(c))
            run.error = "the X connection broke";
    }
    if (run.mainMs >= 0 && run.splashMs < 0)
        run.error = "the main window showed without a splash";

    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    xcb_disconnect(c);
#else
    (void)service;
    (void)display;
    run.error = "built without XCB";
#endif
    return run;
}

namespace {

// Notes the first paint of each watched widget.
class FirstPaint : public QObject
{
public:
    FirstPaint(const QElapsedTimer &clock, QWidget *splash, QWidget *window)
        : clock_(clock), splash_(splash), window_(window)
    {
        splash->installEventFilter(this);
        window->installEventFilter(this);
    }
    double splashMs = -1;
    double mainMs = -1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            const double ms = double(clock_.nsecsElapsed()) / 1e6;
            if (watched == splash_ && splashMs < 0)
                splashMs = ms;
            if (watched == window_ && mainMs < 0) {
                mainMs = ms;
                QTimer::singleShot(100, qApp, &QCoreApplication::quit);
            }
        }
        return false;
    }

private:
    const QElapsedTimer &clock_;
    QWidget *splash_;
    QWidget *window_;
};

} // namespace

int startupInProcessMode(int argc, char **argv)
{
    QElapsedTimer clock;
    clock.start();

    // What main() builds for --demo, in the same order.
    QApplication app(argc, argv);

    SilentDialogs dialogs;
    Program program(true, &dialogs);
    if (!program.ready()) {
        std::fprintf(stderr, "rfid_bench: no pseudo-terminal for the demo line\n");
        return 1;
    }
    frmSerial &window = program.window();
    FirstPaint painted(clock, window.splash(), &window);
    program.start();

    QTimer::singleShot(kStartTimeoutMs, &app, &QCoreApplication::quit);
    app.exec();
    program.stop();

    put("splash_ms", painted.splashMs);
    put("main_ms", painted.mainMs);
    return painted.mainMs >= 0 ? 0 : 1;
}

} // namespace bench
