#include "editor/aboutbox.h"

#include "document/version.h"

#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace Wordloom {

AboutBox::AboutBox(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutBox"));
    setWindowTitle(QStringLiteral("Info über Wordloom"));
    setModal(false);
    setFixedSize(298, 213);

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);

    auto *icon = new QLabel(panel);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setPixmap(programIcon(64));
    icon->setFixedSize(64, 64);
    auto *product = new QLabel(QStringLiteral("Wordloom"), panel);
    product->setObjectName(QStringLiteral("ProductName"));
    QFont bold = product->font();
    bold.setBold(true);
    bold.setPixelSize(15);
    product->setFont(bold);
    auto *version = new QLabel(QStringLiteral("Version ") + QLatin1String(programVersion()), panel);
    version->setObjectName(QStringLiteral("Version"));
    auto *copyright = new QLabel(QStringLiteral("Editor für Languagepacks"), panel);
    copyright->setObjectName(QStringLiteral("Copyright"));
    auto *comments = new QLabel(panel);
    comments->setObjectName(QStringLiteral("Comments"));
    comments->setWordWrap(true);

    auto *grid = new QGridLayout(panel);
    grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(product, 0, 1);
    grid->addWidget(version, 1, 1);
    grid->addWidget(copyright, 2, 1);
    grid->addWidget(comments, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(3, 1);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(panel, 1);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    connect(ok, &QPushButton::clicked, this, &AboutBox::OKButtonClick);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void AboutBox::OKButtonClick()
{
    hide();
}

QPixmap AboutBox::programIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x2d, 0x5f, 0x8b));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
    // Three woven threads under a "W".
    painter.setPen(QPen(QColor(0xf2, 0xc1, 0x4e), size / 16.0));
    for (int i = 1; i <= 3; ++i)
        painter.drawLine(QPointF(size * 0.12, size * (0.55 + 0.1 * i)), QPointF(size * 0.88, size * (0.55 + 0.1 * i)));
    QFont font;
    font.setBold(true);
    font.setPixelSize(int(size * 0.55));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0, 0, size, size * 0.7), Qt::AlignCenter, QStringLiteral("W"));
    return pixmap;
}

} // namespace Wordloom
