#include "windows/drumswin.h"

#include "assets/Resources.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace zumbal {

namespace {
constexpr int kFirstNote = 35;
constexpr int kLastChoosable = 81;
constexpr int kNotChoosable = 82;
} // namespace

drumswin::drumswin(const globali& g, Window_t1& main, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_g(g), m_main(main) {
    setWindowTitle(QStringLiteral("Drums"));
    setFixedSize(583, 337);
    setMouseTracking(true);
    m_strumenti = picture("strumenti", devicePixelRatioF());
    auto* selection = new QLabel(this);
    selection->setPixmap(picture("selezione", devicePixelRatioF()));
    selection->setAttribute(Qt::WA_TransparentForMouseEvents);
    selection->setGeometry(-200, 0, 195, 22);
    Canva_sel = selection;
}

void drumswin::apri(int y, int track) {
    cont_m = track;
    // The point is where the client area goes; move() would put the frame there.
    setGeometry(QRect(m_main.clientToGlobal(QPoint(210, y - 20)), size()));
    const int n = m_g.edfiv[track][0];
    strum = n >= kFirstNote && n <= kLastChoosable ? n : kNotChoosable;
    const int c = std::min(2, (strum - kFirstNote) / 16);
    highlight(c, strum - kFirstNote - 16 * c);
    show();
    raise();
}

void drumswin::highlight(int column, int row) {
    Canva_sel->move(kCellWidth * column, kCellHeight * row);
}

void drumswin::Event_MouseMove(int x, int y) {
    const int c = std::clamp(static_cast<int>(std::floor(x / double(kCellWidth))), 0, 2);
    const int r = std::clamp(static_cast<int>(std::floor(y / double(kCellHeight))), 0, 15);
    highlight(c, r);
    strum = 16 * c + r + kFirstNote;
}

void drumswin::Event_MouseDown(int, int) {
    if (strum >= kFirstNote && strum <= kLastChoosable)
        m_main.chooseInstrument(cont_m, strum);
    hide();
}

void drumswin::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x20, 0x23, 0x28));
    painter.drawPixmap(0, 0, m_strumenti);
}

void drumswin::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    Event_MouseMove(at.x(), at.y());
}

void drumswin::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    Event_MouseMove(at.x(), at.y());
    Event_MouseDown(at.x(), at.y());
}

void drumswin::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    hide();
}

} // namespace zumbal
