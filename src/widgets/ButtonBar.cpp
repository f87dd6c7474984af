#include "widgets/ButtonBar.h"

#include <QEnterEvent>
#include <QFontMetricsF>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

namespace zumbal {

namespace {

constexpr int kSkinWidth = 16;
constexpr int kBandTop = 20;
constexpr int kBandHeight = 20;
constexpr int kFirstBandY = 16;
constexpr int kBandStep = 8;

// Left piece at the start, centre pieces every 16 pixels, right piece flush
// with the end, all from the top: the skins are 40 pixels tall.
void drawSkins(QPainter& painter, const ButtonLook& look, int width, qreal dpr,
               const SkinSource& skins) {
    const auto [left, centre, right] = look.skins;
    painter.drawPixmap(0, 0, skins(left, dpr));
    const QPixmap centrePiece = skins(centre, dpr);
    for (int x = kSkinWidth; x <= width - kSkinWidth; x += kSkinWidth)
        painter.drawPixmap(x, 0, centrePiece);
    painter.drawPixmap(width - kSkinWidth, 0, skins(right, dpr));
}

// Repeats the lower half of the skins down to the bottom edge, so a button
// taller than 40 keeps its rounded bottom. The band replaces what lies under
// it rather than blending over it: the copies overlap, and blending would
// thicken the soft edges a little more with every copy.
void stretchBand(QImage& canvas, int width, int height, qreal dpr) {
    QImage band =
        canvas.copy(0, qRound(kBandTop * dpr), qRound(width * dpr), qRound(kBandHeight * dpr));
    band.setDevicePixelRatio(dpr);
    QPainter painter(&canvas);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (int y = kFirstBandY; y <= height - kBandHeight; y += kBandStep)
        painter.drawImage(0, y, band);
    painter.drawImage(0, height - kBandHeight, band);
}

// The halves of the button are whole pixels (integer division), so an icon
// always lands on the pixel grid and stays sharp, and the caption's baseline
// sits on a pixel row. The main window's icons sit a little right and up.
QPoint iconPosition(QSize button, QSize icon, ButtonTable table) {
    const QPoint centred(button.width() / 2 - icon.width() / 2,
                         button.height() / 2 - icon.height() / 2);
    return table == ButtonTable::MainWindow ? centred + QPoint(2, -3) : centred;
}

void drawCaption(QPainter& painter, const std::array<QString, 4>& row, const ButtonLook& look,
                 QSize button) {
    QFont font(row[0]);
    // A pixel size, so the caption fits its button whatever the screen's DPI.
    const int size = row[1].toInt();
    font.setPixelSize(size > 0 ? size : 12);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor::fromHsvF(static_cast<float>(look.caption.h),
                                    static_cast<float>(look.caption.s),
                                    static_cast<float>(look.caption.v)));
    const qreal advance = QFontMetricsF(font, painter.device()).horizontalAdvance(row[3]);
    const qreal centre = button.width() / 2 + 2;
    const qreal baseline = button.height() / 2 + 2;
    painter.drawText(QPointF(centre - advance / 2, baseline), row[3]);
}

} // namespace

QPixmap composeButton(const std::array<QString, 4>& row, const QPixmap& icon, QSize size,
                      ButtonTable table, qreal devicePixelRatio, const SkinSource& skins) {
    const qreal dpr = devicePixelRatio;
    const ButtonLook look = buttonLook(row[2].toInt());
    QImage canvas(qRound(size.width() * dpr), qRound(size.height() * dpr),
                  QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(dpr);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        drawSkins(painter, look, size.width(), dpr, skins);
    }
    stretchBand(canvas, size.width(), size.height(), dpr);

    QPainter painter(&canvas);
    if (!icon.isNull()) {
        const QSize iconSize = icon.deviceIndependentSize().toSize();
        painter.drawPixmap(iconPosition(size, iconSize, table), icon);
    } else {
        painter.setRenderHint(QPainter::TextAntialiasing);
        drawCaption(painter, row, look, size);
    }
    painter.end();
    return QPixmap::fromImage(std::move(canvas));
}

canv_bott::canv_bott(int index, QWidget* parent) : QWidget(parent), m_index(index) {}

void canv_bott::setBackdrop(QPixmap backdrop) {
    m_backdrop = std::move(backdrop);
    update();
}

void canv_bott::paintEvent(QPaintEvent*) {
    // Checked here because Qt 6.4 sends no event when the ratio changes,
    // while a move to another screen always repaints.
    if (!m_backdrop.isNull() && !qFuzzyCompare(m_backdrop.devicePixelRatio(), devicePixelRatioF()))
        emit ratioChanged(m_index);
    QPainter(this).drawPixmap(0, 0, m_backdrop);
}

void canv_bott::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit pressed(m_index);
}

void canv_bott::enterEvent(QEnterEvent*) {
    emit entered(m_index);
}

void canv_bott::leaveEvent(QEvent*) {
    emit left(m_index);
}

ButtonBar::ButtonBar(QWidget* parent, ButtonTable table, EventSounds& sounds)
    : QObject(parent), m_parent(parent), m_table(table), m_sounds(sounds) {}

int ButtonBar::addButton(QRect geometry, Row row, QString helpTag, QPixmap icon) {
    const int i = ++can_bot_quanti;
    auto* canvas = new zumbal::canv_bott(i, m_parent);
    canvas->setGeometry(geometry);
    if (!helpTag.isEmpty())
        canvas->setToolTip(helpTag);
    connect(canvas, &zumbal::canv_bott::pressed, this, &ButtonBar::canv_bott_MouseDown);
    connect(canvas, &zumbal::canv_bott::entered, this, &ButtonBar::canv_bott_MouseEnter);
    connect(canvas, &zumbal::canv_bott::left, this, &ButtonBar::canv_bott_MouseExit);
    connect(canvas, &zumbal::canv_bott::ratioChanged, this, &ButtonBar::aggiorna_bottone);
    can_bot.push_back(std::move(row));
    can_bot_icon.push_back(std::move(icon));
    canv_bott.push_back(canvas);
    aggiorna_bottone(i);
    canvas->show();
    return i;
}

void ButtonBar::aggiorna_bottone(int i) {
    if (!exists(i))
        return;
    zumbal::canv_bott* canvas = canv_bott[i];
    canvas->setBackdrop(composeButton(can_bot[i], can_bot_icon[i], canvas->size(), m_table,
                                      canvas->devicePixelRatioF(), m_skins));
}

void ButtonBar::canv_bott_MouseDown(int i) {
    handle(i, ButtonEvent::MouseDown);
}

void ButtonBar::canv_bott_MouseEnter(int i) {
    handle(i, ButtonEvent::MouseEnter);
}

void ButtonBar::canv_bott_MouseExit(int i) {
    handle(i, ButtonEvent::MouseExit);
}

int ButtonBar::state(int i) const {
    return exists(i) ? can_bot[i][2].toInt() : 0;
}

void ButtonBar::setState(int i, int state) {
    if (!exists(i))
        return;
    can_bot[i][2] = QString::number(state);
    aggiorna_bottone(i);
}

void ButtonBar::setSkinSource(SkinSource skins) {
    m_skins = std::move(skins);
    for (int i = 0; i <= can_bot_quanti; ++i)
        aggiorna_bottone(i);
}

void ButtonBar::handle(int i, ButtonEvent event) {
    if (!exists(i))
        return;
    const auto next = nextButtonState(m_table, event, state(i));
    if (!next)
        return;
    // The click is the user's feedback for a toggle, so it ignores the
    // event-sounds preference.
    if (next->click)
        m_sounds.play(SoundId::ambientclick);
    setState(i, next->to);
    if (event == ButtonEvent::MouseDown)
        emit gestisci_evento_bottone(i, next->to);
}

} // namespace zumbal
