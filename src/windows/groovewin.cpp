#include "windows/groovewin.h"

#include "widgets/WindowLook.h"

namespace zumbal {

namespace {
struct Row {
    const char* caption;
    int minimum, maximum;
    const char* unit;
    const char* help;
};
const std::array<Row, 3> kRows{{
    {"Swing", kStraight, kMaxSwing, " %",
     "Where every second stroke of a pair falls, in percent of the pair: 50 is straight, "
     "66 a triplet shuffle, 75 the hardest"},
    {"Humanize timing", 0, kMaxHumanizeMs, " ms",
     "Each stroke moves early or late at random, by up to this much"},
    {"Humanize velocity", 0, kMaxHumanizeVelocity, "",
     "Each stroke plays softer or louder at random, by up to this much"},
}};
} // namespace

groovewin::groovewin(const globali& g, Window_t1& main, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_g(g), m_main(main) {
    setWindowTitle(QStringLiteral("Groove"));
    setFixedSize(330, 150);
    setBackground(this, QColor(0xCC, 0xCC, 0xCC));
    const QColor grey(0x4C, 0x4C, 0x4C);
    for (int i = 0; i < 3; ++i) {
        const Row& row = kRows[i];
        const int y = 10 + 36 * i;
        makeLabel(QString::fromLatin1(row.caption), {10, y, 150, 20}, arial(13), grey, this);
        values[i] = makeLabel({}, {260, y, 60, 20}, arial(13), grey, this);
        sliders[i] = new QSlider(Qt::Horizontal, this);
        sliders[i]->setGeometry(10, y + 18, 310, 16);
        sliders[i]->setRange(row.minimum, row.maximum);
        sliders[i]->setSingleStep(1);
        sliders[i]->setPageStep(1);
        sliders[i]->setToolTip(QString::fromLatin1(row.help));
        connect(sliders[i], &QSlider::valueChanged, this, &groovewin::changed);
    }
    makeLabel(
        QStringLiteral("With the ter feel swing does nothing: the feel is already a triplet."),
        {10, 120, 320, 20}, arial(10, false), grey, this);
    connect(&m_main, &Window_t1::loopShown, this, &groovewin::showGroove);
}

void groovewin::apri() {
    showGroove();
    show();
    raise();
    activateWindow();
}

void groovewin::showGroove() {
    autoaggiorna = true;
    const std::array<int, 3> groove{m_g.swing, m_g.humanizeMs, m_g.humanizeVelocity};
    for (int i = 0; i < 3; ++i)
        sliders[i]->setValue(groove[i]);
    autoaggiorna = false;
    showValues();
}

void groovewin::showValues() {
    for (int i = 0; i < 3; ++i)
        values[i]->setText(QString::number(sliders[i]->value()) +
                           QString::fromLatin1(kRows[i].unit));
}

void groovewin::changed() {
    showValues();
    if (!autoaggiorna)
        m_main.setGroove(sliders[0]->value(), sliders[1]->value(), sliders[2]->value());
}

} // namespace zumbal
