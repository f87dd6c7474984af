#include "editor/MainButtons.h"

namespace zumbal {

namespace {

struct MainButton {
    ButtonFace face;
    int state;
    QRect geometry;
    QString helpTag;
};

MainButton mainButton(int i) {
    const QString track = QStringLiteral("Enable / Disble this track");
    if (i < kDrumTracks)
        return {{"Arial", 12, QStringLiteral("DRUM %1").arg(i + 1)},
                kSwitchOn,
                QRect(5, 7 + 39 * i, 95, 40),
                track};
    if (i < 2 * kDrumTracks)
        return {{"Arial", 12, QStringLiteral("R/C")},
                kSwitchOff,
                QRect(106, 7 + 39 * (i - kDrumTracks), 40, 40),
                QStringLiteral("Generate Random Strokes / Clear Strokes for this drum")};
    switch (i) {
    case kPlayButton:
        return {{"Arial", 14, QStringLiteral("PLAY / STOP    ")},
                kPushButton,
                QRect(5, 306, 141, 40),
                QStringLiteral("Play or Stop drum loop (you can also press space bar to do this)")};
    case kWebButton:
        return {{"Times", 18, QStringLiteral("i")},
                kPushButton,
                QRect(748, 306, 40, 40),
                QStringLiteral("Visit The Zumbal Drum Loops Page\nDownload Drum Loops Posted By "
                               "Other Users")};
    case kThreeFourButton:
        return {{"Arial", 14, QStringLiteral("3/4")},
                kSwitchOff,
                QRect(411, 306, 40, 40),
                QStringLiteral("Set 3/4 beat if enabled (4/4 default)")};
    case kTernaryButton:
        return {{"Arial", 14, QStringLiteral("ter")},
                kSwitchOff,
                QRect(455, 306, 40, 40),
                QStringLiteral("Set 3 strokes for 1/4 measure if enabled (default 4 strokes for "
                               "1/4 measure)")};
    default:
        return {{"Arial", 12, QStringLiteral("BASS")}, kSwitchOn, QRect(5, 256, 95, 40), track};
    }
}

} // namespace

MainButtons::MainButtons(globali& g, QWidget* client, EventSounds& sounds)
    : QObject(client), m_client(client),
      m_bar(new ButtonBar(client, ButtonTable::MainWindow, sounds, g.pb)) {}

void MainButtons::dati_dei_bottoni() {
    const qreal dpr = m_client->devicePixelRatioF();
    for (int i = 0; i < kButtons; ++i) {
        const MainButton button = mainButton(i);
        if (i > m_bar->can_bot_quanti)
            m_bar->addButton(button.geometry, button.face, button.state, button.helpTag,
                             i == kWebButton ? picture("mondo", dpr) : QPixmap());
        else
            m_bar->setState(i, button.state);
    }
}

void MainButtons::aggiorna_bottone(int i) {
    m_bar->aggiorna_bottone(i);
}

void MainButtons::setButtonState(int i, int state) {
    m_bar->setState(i, state);
}

void MainButtons::showNewLoop() {
    for (int i = 0; i < kButtons; ++i)
        if (i != kPlayButton && i != kWebButton)
            m_bar->setState(i, mainButton(i).state);
}

void MainButtons::showLoop() {
    m_bar->showStates();
}

} // namespace zumbal
