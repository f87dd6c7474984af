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

void drawCaption(QPainter& painter, const ButtonFace& face, const ButtonLook& look, QSize button) {
    QFont font(face.font);
    // A pixel size, so the caption fits its button whatever the screen's DPI.
    font.setPixelSize(face.pixelSize > 0 ? face.pixelSize : 12);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor::fromHsvF(static_cast<float>(look.caption.h),
                                    static_cast<float>(look.caption.s),
                                    static_cast<float>(look.caption.v)));
    const qreal advance = QFontMetricsF(font, painter.device()).horizontalAdvance(face.caption);
    const qreal centre = button.width() / 2 + 2;
    const qreal baseline = button.height() / 2 + 2;
    painter.drawText(QPointF(centre - advance / 2, baseline), face.caption);
}

} // namespace

QPixmap composeButton(const ButtonFace& face, int code, const QPixmap& icon, QSize size,
                      ButtonTable table, qreal devicePixelRatio, const SkinSource& skins) {
    const qreal dpr = devicePixelRatio;
    const ButtonLook look = buttonLook(code);
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
        drawCaption(painter, face, look, size);
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

ButtonBar::ButtonBar(QWidget* parent, ButtonTable table, EventSounds& sounds,
                     std::span<AtomicInt> states)
    : QObject(parent), m_parent(parent), m_table(table), m_sounds(sounds), m_sharedStates(states) {}

int ButtonBar::addButton(QRect geometry, ButtonFace face, int state, QString helpTag,
                         QPixmap icon) {
    const int i = ++can_bot_quanti;
    Q_ASSERT(m_sharedStates.empty() || i < std::ssize(m_sharedStates));
    auto* canvas = new zumbal::canv_bott(i, m_parent);
    canvas->setGeometry(geometry);
    if (!helpTag.isEmpty())
        canvas->setToolTip(helpTag);
    connect(canvas, &zumbal::canv_bott::pressed, this, &ButtonBar::canv_bott_MouseDown);
    connect(canvas, &zumbal::canv_bott::entered, this, &ButtonBar::canv_bott_MouseEnter);
    connect(canvas, &zumbal::canv_bott::left, this, &ButtonBar::canv_bott_MouseExit);
    connect(canvas, &zumbal::canv_bott::ratioChanged, this, &ButtonBar::aggiorna_bottone);
    can_bot.push_back(std::move(face));
    can_bot_icon.push_back(std::move(icon));
    canv_bott.push_back(canvas);
    if (m_sharedStates.empty())
        m_states.push_back(state);
    m_lit.push_back(false);
    setState(i, state);
    canvas->show();
    return i;
}

void ButtonBar::aggiorna_bottone(int i) {
    if (!exists(i))
        return;
    zumbal::canv_bott* canvas = canv_bott[i];
    canvas->setBackdrop(composeButton(can_bot[i], look(i), can_bot_icon[i], canvas->size(), m_table,
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
    if (!exists(i))
        return 0;
    return m_sharedStates.empty() ? m_states[i] : m_sharedStates[i].load();
}

void ButtonBar::setState(int i, int state) {
    if (exists(i))
        setShown(i, {state, false});
}

void ButtonBar::showStates() {
    for (int i = 0; i <= can_bot_quanti; ++i) {
        m_lit[i] = false;
        aggiorna_bottone(i);
    }
}

int ButtonBar::look(int i) const {
    return exists(i) ? shownCode({state(i), m_lit[i]}) : 0;
}

void ButtonBar::setCaption(int i, QString caption) {
    if (!exists(i))
        return;
    can_bot[i].caption = std::move(caption);
    aggiorna_bottone(i);
}

void ButtonBar::setSkinSource(SkinSource skins) {
    m_skins = std::move(skins);
    for (int i = 0; i <= can_bot_quanti; ++i)
        aggiorna_bottone(i);
}

void ButtonBar::setShown(int i, ShownButton shown) {
    if (m_sharedStates.empty())
        m_states[i] = shown.state;
    else
        m_sharedStates[i] = shown.state;
    m_lit[i] = shown.lit;
    aggiorna_bottone(i);
}

void ButtonBar::handle(int i, ButtonEvent event) {
    if (!exists(i))
        return;
    const auto next = nextButtonState(m_table, event, look(i));
    if (!next)
        return;
    // The click is the user's feedback for a toggle, so it ignores the
    // event-sounds preference.
    if (next->click)
        m_sounds.play(SoundId::ambientclick);
    const ShownButton shown = shownButton(next->to);
    setShown(i, shown);
    if (event == ButtonEvent::MouseDown)
        emit gestisci_evento_bottone(i, shown.state);
}

} // namespace zumbal
