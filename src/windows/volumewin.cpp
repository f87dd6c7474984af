#include "windows/volumewin.h"

#include "model/NumberText.h"
#include "widgets/WindowLook.h"

#include <algorithm>

namespace zumbal {

volumewin::volumewin(globali& g, Window_t1& main, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_g(g), m_main(main) {
    setWindowTitle(QStringLiteral("Volume"));
    setFixedSize(275, 60);
    setBackground(this, QColor(0xCC, 0xCC, 0xCC));
    const QColor grey(0x4C, 0x4C, 0x4C);
    const QColor red(0x7E, 0x3D, 0x3F);
    makeLabel(QStringLiteral("Track"), {10, 5, 40, 22}, arial(14), grey, this);
    ind_a_text = makeLabel(QStringLiteral("0"), {55, 5, 20, 22}, arial(14), grey, this);
    makeLabel(QStringLiteral("Beat"), {80, 5, 40, 22}, arial(14), grey, this);
    ind_b_text = makeLabel(QStringLiteral("0"), {125, 5, 30, 22}, arial(14), grey, this);
    makeLabel(QStringLiteral("Volume"), {185, 5, 50, 22}, arial(14), red, this);
    volume_text = makeLabel(QStringLiteral("0"), {240, 5, 25, 22}, arial(14), red, this);
    Slider1 = new QSlider(Qt::Horizontal, this);
    Slider1->setGeometry(10, 35, 255, 16);
    Slider1->setRange(0, 127);
    connect(Slider1, &QSlider::valueChanged, this, &volumewin::Slider1_ValueChanged);
    more = new QPushButton(QStringLiteral("More.."), this);
    more->setGeometry(205, 31, 60, 24);
    more->setToolTip(QStringLiteral("How this stroke varies from pass to pass"));
    connect(more, &QPushButton::clicked, this, [this] {
        const int t = std::clamp(leadingNumber(ind_a_text->text().toStdString()), 0, kTracks - 1);
        const int c = std::clamp(leadingNumber(ind_b_text->text().toStdString()), 0, kStrokes - 1);
        hide();
        emit stepWindowRequested(cellIndex(t, c + 1), pos());
    });
}

void volumewin::apri(bool all, int t, int c, int left, int top) {
    // The point is where the client area goes; move() would put the frame there.
    setGeometry(QRect(QPoint(left, top), size()));
    // The slider's moves while it stays open on this stroke or track are one step.
    m_main.closeEditStep();
    autoaggiorna = true;
    ind_a_text->setText(QString::number(t));
    int value = 0;
    if (all) {
        ind_b_text->setText(QStringLiteral("ALL"));
        value = m_g.edfiv[t][1];
    } else {
        ind_b_text->setText(QString::number(c));
        value = m_g.volum[cellIndex(t, c + 1)];
        more->setEnabled(isStep(cellIndex(t, c + 1), m_g.pp[cellIndex(t, c + 1)]));
    }
    // The button takes the slider's right end for one stroke.
    more->setVisible(!all);
    Slider1->setGeometry(10, 35, all ? 255 : 185, 16);
    volume_text->setText(QString::number(value));
    Slider1->setValue(value);
    autoaggiorna = false;
    show();
    raise();
}

void volumewin::Slider1_ValueChanged(int value) {
    if (autoaggiorna)
        return;
    const int t = std::clamp(leadingNumber(ind_a_text->text().toStdString()), 0, kTracks - 1);
    if (ind_b_text->text() == QLatin1String("ALL")) {
        m_main.setTrackVolume(t, value);
    } else {
        const int c = std::clamp(leadingNumber(ind_b_text->text().toStdString()), 0, kStrokes - 1);
        m_main.setStrokeVolume(cellIndex(t, c + 1), value);
    }
    volume_text->setText(QString::number(value));
}

void volumewin::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    hide();
}

} // namespace zumbal
