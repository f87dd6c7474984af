#include "windows/stepwin.h"

#include "model/StepVariation.h"
#include "widgets/WindowLook.h"

#include <array>
#include <cmath>

namespace zumbal {

namespace {

// The General MIDI percussion sounds, from note 35.
constexpr int kFirstDrumName = 35;
constexpr std::array<const char*, 47> kDrumNames{"Acoustic Bass Drum",
                                                 "Bass Drum 1",
                                                 "Side Stick",
                                                 "Acoustic Snare",
                                                 "Hand Clap",
                                                 "Electric Snare",
                                                 "Low Floor Tom",
                                                 "Closed Hi-Hat",
                                                 "High Floor Tom",
                                                 "Pedal Hi-Hat",
                                                 "Low Tom",
                                                 "Open Hi-Hat",
                                                 "Low-Mid Tom",
                                                 "Hi-Mid Tom",
                                                 "Crash Cymbal 1",
                                                 "High Tom",
                                                 "Ride Cymbal 1",
                                                 "Chinese Cymbal",
                                                 "Ride Bell",
                                                 "Tambourine",
                                                 "Splash Cymbal",
                                                 "Cowbell",
                                                 "Crash Cymbal 2",
                                                 "Vibraslap",
                                                 "Ride Cymbal 2",
                                                 "Hi Bongo",
                                                 "Low Bongo",
                                                 "Mute Hi Conga",
                                                 "Open Hi Conga",
                                                 "Low Conga",
                                                 "High Timbale",
                                                 "Low Timbale",
                                                 "High Agogo",
                                                 "Low Agogo",
                                                 "Cabasa",
                                                 "Maracas",
                                                 "Short Whistle",
                                                 "Long Whistle",
                                                 "Short Guiro",
                                                 "Long Guiro",
                                                 "Claves",
                                                 "Hi Wood Block",
                                                 "Low Wood Block",
                                                 "Mute Cuica",
                                                 "Open Cuica",
                                                 "Mute Triangle",
                                                 "Open Triangle"};

// The stroke as the window's first line names it: "Acoustic Snare, stroke 5".
QString strokeName(const globali& g, int cell) {
    const int t = cell / kStrokes;
    QString name = QStringLiteral("Bass");
    if (t != kBassTrack) {
        const int note = g.edfiv[t][0];
        const int i = note - kFirstDrumName;
        name = i >= 0 && i < static_cast<int>(kDrumNames.size())
                   ? QString::fromLatin1(kDrumNames[i])
                   : QStringLiteral("Note %1").arg(note);
    }
    return QStringLiteral("%1, stroke %2").arg(name).arg(cell % kStrokes + 1);
}

// The condition menu's rows, in its order.
std::vector<std::pair<QString, int>> conditionRows() {
    std::vector<std::pair<QString, int>> rows{{QStringLiteral("Always"), kAlways}};
    for (int b = kMinCycle; b <= kMaxCycle; ++b)
        for (int a = 1; a <= b; ++a)
            rows.emplace_back(QStringLiteral("%1:%2").arg(a).arg(b), cycleCondition(a, b));
    rows.insert(rows.end(), {{QStringLiteral("First"), kFirstPass},
                             {QStringLiteral("Not first"), kNotFirstPass},
                             {QStringLiteral("Fill"), kFillOnly},
                             {QStringLiteral("Not fill"), kNotFill}});
    return rows;
}

// A nudge in percent of a stroke: "+25 %", "0 %".
QString nudgeText(int nudge) {
    const long percent = std::lround(nudge * 100.0 / kNudgeSteps);
    return (percent > 0 ? QStringLiteral("+%1 %") : QStringLiteral("%1 %")).arg(percent);
}

} // namespace

stepwin::stepwin(const globali& g, Window_t1& main, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_g(g), m_main(main) {
    setWindowTitle(QStringLiteral("Step"));
    setFixedSize(300, 205);
    setBackground(this, QColor(0xCC, 0xCC, 0xCC));
    const QColor grey(0x4C, 0x4C, 0x4C);
    const QColor red(0x7E, 0x3D, 0x3F);
    stroke_text = makeLabel({}, {10, 5, 280, 22}, arial(14), red, this);

    makeLabel(QStringLiteral("Chance"), {10, 32, 80, 20}, arial(13), grey, this);
    chance_text =
        makeLabel({}, {80, 32, 210, 20}, arial(13), grey, this, Qt::AlignRight | Qt::AlignVCenter);
    chance = new QSlider(Qt::Horizontal, this);
    chance->setGeometry(10, 50, 280, 16);
    chance->setRange(1, 100);
    chance->setToolTip(QStringLiteral("How often the step plays, in percent of the passes"));

    makeLabel(QStringLiteral("Condition"), {10, 76, 90, 20}, arial(13), grey, this);
    condition = new QComboBox(this);
    condition->setGeometry(110, 74, 100, 24);
    for (const auto& [text, code] : conditionRows())
        condition->addItem(text, code);
    condition->setToolTip(
        QStringLiteral("Which passes the step plays on: A:B plays on pass A of every B, counted "
                       "from Play; Fill plays only in a fill, Not fill only outside one"));

    makeLabel(QStringLiteral("Ratchet"), {10, 106, 90, 20}, arial(13), grey, this);
    ratchet = new QSpinBox(this);
    ratchet->setGeometry(110, 104, 100, 24);
    ratchet->setRange(1, kMaxRatchet);
    ratchet->setSuffix(QStringLiteral(" hits"));
    ratchet->setToolTip(QStringLiteral("Hits struck evenly within the stroke"));

    reset = new QPushButton(QStringLiteral("Reset"), this);
    reset->setGeometry(220, 89, 70, 26);
    reset->setToolTip(QStringLiteral("The step plays every pass, once, on the grid"));

    makeLabel(QStringLiteral("Nudge"), {10, 136, 80, 20}, arial(13), grey, this);
    nudge_text =
        makeLabel({}, {200, 136, 90, 20}, arial(13), grey, this, Qt::AlignRight | Qt::AlignVCenter);
    nudge = new QSlider(Qt::Horizontal, this);
    nudge->setGeometry(10, 154, 280, 16);
    nudge->setRange(-kMaxNudge, kMaxNudge);
    nudge->setTickPosition(QSlider::TicksBelow);
    nudge->setTickInterval(kMaxNudge);
    nudge->setToolTip(QStringLiteral("Moves the step early or late, by up to half a stroke"));

    note_text = makeLabel({}, {10, 180, 280, 20}, arial(11, false), grey, this);

    // A drag of a slider is one step.
    for (QSlider* slider : {chance, nudge}) {
        connect(slider, &QSlider::sliderPressed, &m_main, &Window_t1::closeEditStep);
        connect(slider, &QSlider::sliderReleased, &m_main, &Window_t1::closeEditStep);
    }
    connect(chance, &QSlider::valueChanged, this, [this](int value) {
        change(QStringLiteral("Chance"), QStringLiteral("chance"),
               [value](StepVariation& v) { v.chance = value; });
    });
    connect(condition, &QComboBox::currentIndexChanged, this, [this](int row) {
        const int code = condition->itemData(row).toInt();
        change(QStringLiteral("Condition"), {}, [code](StepVariation& v) { v.condition = code; });
    });
    connect(ratchet, &QSpinBox::valueChanged, this, [this](int value) {
        change(QStringLiteral("Ratchet"), {}, [value](StepVariation& v) { v.ratchet = value; });
    });
    connect(nudge, &QSlider::valueChanged, this, [this](int value) {
        change(QStringLiteral("Nudge"), QStringLiteral("nudge"),
               [value](StepVariation& v) { v.nudge = value; });
    });
    connect(reset, &QPushButton::clicked, this,
            [this] { change(QStringLiteral("Reset Step"), {}, [](StepVariation& v) { v = {}; }); });

    connect(&m_main, &Window_t1::cellDrawn, this, [this](int c) {
        if (c == m_cell && isVisible())
            showStep();
    });
    connect(&m_main.fields(), &TrackFields::instrumentChanged, this, [this](int t) {
        if (t == m_cell / kStrokes && isVisible())
            showStep();
    });
    // Also in FastSwitch mode, where the cells are not drawn.
    connect(&m_main, &Window_t1::loopShown, this, [this] {
        if (isVisible())
            showStep();
    });
}

void stepwin::apri(int cell, QPoint topLeft) {
    m_cell = std::clamp(cell, 0, kCells - 1);
    // The point is where the client area goes; move() would put the frame there.
    setGeometry(QRect(topLeft, size()));
    m_main.closeEditStep();
    showStep();
    show();
    raise();
}

void stepwin::showStep() {
    const int code = m_g.pp[m_cell];
    const StepVariation v = unpackVariation(m_g.vary[m_cell]);
    autoaggiorna = true;
    stroke_text->setText(strokeName(m_g, m_cell));
    chance->setValue(v.chance);
    condition->setCurrentIndex(condition->findData(v.condition));
    ratchet->setValue(v.ratchet);
    nudge->setValue(v.nudge);
    autoaggiorna = false;

    const bool step = isStep(m_cell, code);
    const bool editing = step && !m_g.fastswitch;
    for (QWidget* control : std::initializer_list<QWidget*>{condition, ratchet, nudge, reset})
        control->setEnabled(editing);
    chance->setEnabled(editing && code != kRandomHit);
    chance_text->setEnabled(code != kRandomHit);
    note_text->setText(!step            ? QStringLiteral("This stroke holds no step.")
                       : m_g.fastswitch ? QStringLiteral("Editing is locked in FastSwitch mode.")
                                        : QString());
    showValues();
}

void stepwin::showValues() {
    chance_text->setText(m_g.pp[m_cell] == kRandomHit
                             ? QStringLiteral("A random hit keeps its own chance")
                             : QStringLiteral("%1 %").arg(chance->value()));
    nudge_text->setText(nudgeText(nudge->value()));
}

template <class Edit>
void stepwin::change(const QString& setting, const QString& mergeKey, Edit edit) {
    if (autoaggiorna)
        return;
    StepVariation v = unpackVariation(m_g.vary[m_cell]);
    edit(v);
    m_main.setStepVariation(m_cell, v, setting, mergeKey);
    // The model says what was taken: nothing in FastSwitch mode or on a rest.
    showStep();
}

} // namespace zumbal
