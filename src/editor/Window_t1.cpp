#include "editor/Window_t1.h"

#include "assets/Links.h"
#include "playback/StrokeStep.h"
#include "widgets/WindowLook.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLayout>

namespace zumbal {

namespace {

// The captions of the tempo and presets controls.
QLabel* makeLabel(const QString& text, const QRect& geometry, QWidget* parent) {
    return zumbal::makeLabel(text, geometry, arial(12), QColor(0xE6, 0xE6, 0xE6), parent);
}

struct ButtonRow {
    const char* font;
    const char* size;
    int state;
    QString caption;
    QRect geometry;
    QString helpTag;
};

ButtonRow buttonRow(int i) {
    const QString track = QStringLiteral("Enable / Disble this track");
    if (i < kDrumTracks)
        return {"Arial",
                "12",
                kSwitchOn,
                QStringLiteral("DRUM %1").arg(i + 1),
                QRect(5, 7 + 39 * i, 95, 40),
                track};
    if (i < 2 * kDrumTracks)
        return {"Arial",
                "12",
                kSwitchOff,
                QStringLiteral("R/C"),
                QRect(106, 7 + 39 * (i - kDrumTracks), 40, 40),
                QStringLiteral("Generate Random Strokes / Clear Strokes for this drum")};
    switch (i) {
    case kPlayButton:
        return {"Arial",
                "14",
                kPushButton,
                QStringLiteral("PLAY / STOP    "),
                QRect(5, 306, 141, 40),
                QStringLiteral("Play or Stop drum loop (you can also press space bar to do this)")};
    case kWebButton:
        return {"Times",
                "18",
                kPushButton,
                QStringLiteral("i"),
                QRect(748, 306, 40, 40),
                QStringLiteral("Visit The Zumbal Drum Loops Page\nDownload Drum Loops Posted By "
                               "Other Users")};
    case kThreeFourButton:
        return {"Arial",
                "14",
                kSwitchOff,
                QStringLiteral("3/4"),
                QRect(411, 306, 40, 40),
                QStringLiteral("Set 3/4 beat if enabled (4/4 default)")};
    case kTernaryButton:
        return {"Arial",
                "14",
                kSwitchOff,
                QStringLiteral("ter"),
                QRect(455, 306, 40, 40),
                QStringLiteral("Set 3 strokes for 1/4 measure if enabled (default 4 strokes for "
                               "1/4 measure)")};
    default:
        return {"Arial", "12", kSwitchOn, QStringLiteral("BASS"), QRect(5, 256, 95, 40), track};
    }
}

} // namespace

Window_t1::Window_t1(globali& g, PlaybackEngine& engine, EventSounds& sounds, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                              Qt::CustomizeWindowHint),
      m_g(g), m_engine(engine), m_sounds(sounds) {
    setWindowTitle(QStringLiteral("Zumbal"));
    m_client = new Backdrop(this);
    m_client->setFixedSize(kClientWidth, kClientHeight);
    m_client->setFocusPolicy(Qt::StrongFocus);
    connect(m_client, &Backdrop::mouseDown, this, &Window_t1::Event_MouseDown);
    setCentralWidget(m_client);
    // The window takes exactly the client area plus the menu bar; the user cannot resize it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    buildControls();
    buildTrackFields();
    buildKeyboardControls();

    m_bar = new ButtonBar(m_client, ButtonTable::MainWindow, m_sounds);
    connect(m_bar, &ButtonBar::gestisci_evento_bottone, this, &Window_t1::gestisci_evento_bottone);

    m_lampTimer.setInterval(30);
    connect(&m_lampTimer, &QTimer::timeout, this, &Window_t1::updateLamp);
}

Window_t1::~Window_t1() {
    delete m_engine.withdrawBarLineChange();
    delete m_engine.takeLanded();
    // Closing the child widgets still sends signals (a field losing the
    // focus); by then this window is no longer there to handle them.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
}

void Window_t1::buildControls() {
    CanvasImageW = new GridCanvas(m_client);
    CanvasImageW->setGeometry(QRect(kGridPosition, QSize(590, 285)));
    CanvasImageW->setToolTip(
        QStringLiteral("Click to switch this drum stroke ON and OFF (if enabled).\nControl-Click "
                       "(or right mouse button click) to show a volume selection slider for this "
                       "drum stroke."));
    connect(CanvasImageW, &GridCanvas::mouseDown, this, &Window_t1::CanvasImageW_MouseDown);

    CanvasTempo = new TempoLamp(m_client);
    CanvasTempo->setGeometry(122, 317, 12, 12);

    Slider1 = new QSlider(Qt::Horizontal, m_client);
    Slider1->setGeometry(170, 324, 230, 20);
    Slider1->setRange(kMinTempo, kMaxTempo);
    Slider1->setValue(kStartTempo);
    Slider1->setToolTip(QStringLiteral("Set loop tempo"));
    Slider1->setFocusPolicy(Qt::NoFocus);
    connect(Slider1, &QSlider::valueChanged, this, &Window_t1::Slider1_ValueChanged);

    StaticText14 = makeLabel(QStringLiteral("Tempo"), {170, 302, 50, 22}, m_client);
    StaticText13 = makeLabel(QStringLiteral("120"), {350, 302, 50, 22}, m_client);
    StaticText16 = makeLabel(QStringLiteral("Create a loop or choose a preset"),
                             {512, 302, 230, 22}, m_client);

    PopupMenu1 = new QComboBox(m_client);
    PopupMenu1->setGeometry(512, 324, 230, 22);
    PopupMenu1->addItem(QStringLiteral("Loops Presets"));
    PopupMenu1->addItem(QStringLiteral("-"));
    PopupMenu1->setFocusPolicy(Qt::NoFocus);
    connect(PopupMenu1, &QComboBox::activated, this, &Window_t1::PopupMenu1_Change);
}

void Window_t1::Event_Open() {
    creapopupmenu();
    crea_notearray();
    crea_p_picture();
    dati_dei_bottoni();
    m_g.ter_3_4 = false;
    m_g.ter_ter = false;
    for (int i = 0; i <= m_bar->can_bot_quanti; ++i)
        aggiorna_bottone(i);
    setStartupLoop(m_g);
    m_engine.start();
    m_lampTimer.start();
    show();
    m_client->setFocus();
    for (int c : {0, 8, 20, 28, kFirstBassCell})
        disegna_drum(c, kNoOrigin, 0);
    CanvasImageW->drawPicture(pictures.p[3], {9, 257});
}

void Window_t1::dati_dei_bottoni() {
    if (m_bar->can_bot_quanti < 0) {
        const qreal dpr = devicePixelRatioF();
        for (int i = 0; i < kButtons; ++i) {
            const ButtonRow row = buttonRow(i);
            m_bar->addButton(row.geometry,
                             {QString::fromLatin1(row.font), QString::fromLatin1(row.size),
                              QString::number(row.state), row.caption},
                             row.helpTag, i == kWebButton ? picture("mondo", dpr) : QPixmap());
        }
        // The tempo lamp lies inside the play button's right end.
        CanvasTempo->raise();
    }
    for (int i = 0; i < kButtons; ++i)
        m_bar->can_bot[i][2] = QString::number(buttonRow(i).state);
    setDefaultButtonStates(m_g);
}

void Window_t1::setButtonState(int i, int state) {
    m_g.pb[i] = state;
    m_bar->can_bot[i][2] = QString::number(state);
}

void Window_t1::gestisci_evento_bottone(int i, int state) {
    m_g.pb[i] = state;
    const bool on = state == kSwitchOn || state == kSwitchOn + 1;
    if (i >= kDrumTracks && i < 2 * kDrumTracks) {
        fillDrumTrack(i - kDrumTracks, state);
    } else if (i == kPlayButton) {
        play_pausa();
    } else if (i == kWebButton) {
        QDesktopServices::openUrl(guideUrl(kDrumLoopsPage));
    } else if (i == kThreeFourButton) {
        m_g.ter_3_4 = on;
        impostabeat_3_4();
    } else if (i == kTernaryButton) {
        m_g.ter_ter = on;
        impostabeat_ter();
    }
}

void Window_t1::play_pausa() {
    if (m_g.battito < 1) {
        m_engine.start();
    } else {
        m_engine.stop();
        withdrawSwitch();
    }
    m_sounds.playIfOn(SoundId::Loaded1);
}

void Window_t1::Slider1_ValueChanged(int value) {
    m_g.tempo = value;
    StaticText13->setText(QString::number(value));
}

void Window_t1::impostabeat_3_4() {
    zumbal::impostabeat_3_4(m_g, [this](int c) { disegna_drum(c, kNoOrigin, 0); });
}

void Window_t1::impostabeat_ter() {
    zumbal::impostabeat_ter(m_g, [this](int c) { disegna_drum(c, kNoOrigin, 0); });
}

void Window_t1::aggiorna_bottone(int i) {
    m_bar->aggiorna_bottone(i);
}

void Window_t1::updateLamp() {
    collectLandedSwitch();
    const uint32_t played = m_engine.strokesPlayed();
    if (played == m_strokesSeen)
        return;
    m_strokesSeen = played;
    CanvasTempo->setColour(QColor::fromHsvF(indicatorHue(m_engine.lastStroke()), 1.0, 0.8));
}

void Window_t1::keyPressEvent(QKeyEvent* event) {
    // The arrows arrive as the character codes 28 to 31 (left, right, up, down).
    switch (event->key()) {
    case Qt::Key_Left:
        Event_KeyDown(QString(QChar(28)));
        break;
    case Qt::Key_Right:
        Event_KeyDown(QString(QChar(29)));
        break;
    case Qt::Key_Up:
        Event_KeyDown(QString(QChar(30)));
        break;
    case Qt::Key_Down:
        Event_KeyDown(QString(QChar(31)));
        break;
    default:
        Event_KeyDown(event->text());
    }
    QMainWindow::keyPressEvent(event);
}

void Window_t1::Event_KeyDown(const QString& key) {
    if (key == QLatin1String(" "))
        play_pausa();
    if (!m_g.fastswitch || key.size() != 1)
        return;
    const int m = fastSwitchTransposition(key.at(0).unicode(), m_g.trans_start);
    if (m != 0 && waitsForBarLine()) {
        m_draft.key = key.at(0).unicode();
        queueSwitch();
    } else if (m != 0) {
        transpose(m);
    }
    presetKey(key.at(0).unicode());
}

void Window_t1::closeEvent(QCloseEvent* event) {
    emit closing();
    event->accept();
    QApplication::quit();
}

} // namespace zumbal
