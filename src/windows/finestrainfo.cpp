#include "windows/finestrainfo.h"

#include "assets/Links.h"
#include "assets/Resources.h"
#include "widgets/WindowLook.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QPainter>

namespace zumbal {

LinkLabel::LinkLabel(const QString& text, QUrl target, QWidget* parent)
    : QLabel(text, parent), m_target(std::move(target)) {
    setCursor(Qt::PointingHandCursor);
}

void LinkLabel::setUnderline(bool on) {
    QFont f = font();
    f.setUnderline(on);
    setFont(f);
}

void LinkLabel::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    setUnderline(true);
}

void LinkLabel::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    setUnderline(false);
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    // Taken here, so the click does not reach the window, which would close.
    event->accept();
    QDesktopServices::openUrl(m_target);
}

QPixmap applicationIcon(qreal devicePixelRatio) {
    QPixmap icon = picture("icona", devicePixelRatio);
    if (!icon.isNull())
        icon.setMask(icon.createMaskFromColor(Qt::white));
    return icon;
}

QImage finestrainfo::gradient(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    for (int x = 0; x < width; ++x) {
        const double h = x / double(width);
        painter.fillRect(x, 0, 1, height, QColor::fromHsvF(h, (1.0 - h) / 2.0, 1.0));
    }
    return image;
}

finestrainfo::finestrainfo(EventSounds& sounds, QWidget* parent)
    : QWidget(parent, Qt::Dialog), m_sounds(sounds) {
    setWindowTitle(QStringLiteral("Info"));
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_DeleteOnClose);
    const QColor blue(0x00, 0x00, 0x7F);
    StaticText1 =
        makeLabel(QStringLiteral("Zumbal 1.7.0"), {10, 9, 300, 20}, arial(16), Qt::black, this);
    StaticText2 =
        new LinkLabel(QStringLiteral("The Zumbal project\n") + QString::fromLatin1(kHomePageText),
                      guideUrl(kHomePage), this);
    StaticText3 = new LinkLabel(QString::fromLatin1(kContactText), guideUrl(kContactPage), this);
    StaticText5 = new LinkLabel(QStringLiteral("Get drum loops shared by other users"),
                                guideUrl(kDrumLoopsPage), this);
    const std::array<std::pair<LinkLabel*, QRect>, 3> links{{{StaticText2, {10, 37, 300, 30}},
                                                             {StaticText3, {10, 72, 300, 16}},
                                                             {StaticText5, {10, 220, 300, 16}}}};
    for (const auto& [label, geometry] : links) {
        label->setGeometry(geometry);
        label->setFont(arial(12));
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, blue);
        label->setPalette(palette);
    }
    StaticText2->setWordWrap(false);
    QFont smaller = arial(11);
    StaticText2->setFont(smaller);
    Canvas1 = new QLabel(this);
    Canvas1->setGeometry(115, 95, 90, 90);
    Canvas1->setPixmap(applicationIcon(devicePixelRatioF()));
    Canvas1->setAttribute(Qt::WA_TransparentForMouseEvents);
    StaticText4 = makeLabel(QStringLiteral("Made by the Zumbal developers"), {10, 200, 300, 16},
                            arial(12, false), QColor(128, 0, 0), this);
}

void finestrainfo::Event_Open() {
    m_sounds.playIfOn(SoundId::openWind);
    m_background = gradient(width(), height());
    show();
}

void finestrainfo::paintEvent(QPaintEvent*) {
    QPainter(this).drawImage(0, 0, m_background);
}

void finestrainfo::mousePressEvent(QMouseEvent*) {
    close();
}

} // namespace zumbal
