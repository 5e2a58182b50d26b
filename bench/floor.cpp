// The floor under the window's memory: a bare Qt window with as many widgets
// as the main window, all plain labels and buttons, shown and left idle. What
// the main window needs beyond this is its own.
#include "bench/bench.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace bench {

namespace {

constexpr int kIdleMs = 30000;

} // namespace

int floorMode(int argc, char **argv)
{
    // rfid_bench --floor WIDGETS WIDTH HEIGHT
    if (argc < 5) {
        std::fprintf(stderr, "rfid_bench: --floor needs WIDGETS WIDTH HEIGHT\n");
        return 2;
    }
    const int widgets = std::atoi(argv[2]);
    const int width = std::atoi(argv[3]);
    const int height = std::atoi(argv[4]);

    QApplication app(argc, argv);
    // The same style as the tool, so the style's own pages count on both sides.
    QApplication::setStyle(QStringLiteral("Fusion"));

    QWidget window;
    window.resize(width, height);
    const int columns = std::max(1, int(std::ceil(std::sqrt(double(widgets)))));
    const int cellW = std::max(1, width / columns);
    const int cellH = std::max(1, height / columns);
    for (int i = 0; i < widgets; ++i) {
        QWidget *child = nullptr;
        if (i % 2)
            child = new QPushButton(QStringLiteral("Кнопка %1").arg(i), &window);
        else
            child = new QLabel(QStringLiteral("Метка %1").arg(i), &window);
        child->setGeometry((i % columns) * cellW, (i / columns) * cellH, cellW, cellH);
    }
    window.show();
    runFor(kIdleMs);

    put("floor_widgets", double(window.findChildren<QWidget *>().size()));
    put("floor_rss_mib", statusMiB("VmRSS"));
    put("floor_hwm_mib", statusMiB("VmHWM"));
    return 0;
}

} // namespace bench
