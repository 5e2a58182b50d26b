#include "widgets/form2.h"

#include "widgets/artwork.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

Form2::Form2(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("Form2"));
    // Only the picture is seen: everything around its rounded panel shows the
    // desktop through.
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(472, 170);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 470, 170);
    Image1->setPixmap(artwork::splash());

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}
