#include "app/LiveControl.h"

#include "loops/LoopLibrary.h"
#include "loops/ReplaceFile.h"
#include "midi/LiveActions.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QStandardPaths>

#include <cstdio>

namespace zumbal {

namespace {

// A settings file is a few hundred bytes; more is not ours.
constexpr qint64 kMaxSettingsBytes = 64 * 1024;
// Often enough that a pedal feels immediate next to the audio period.
constexpr int kPollMs = 5;

// The FastSwitch letters of the pitch classes C .. B.
constexpr char kPitchKeys[] = "sedrfgyhujik";

} // namespace

LiveControl::LiveControl(globali& g, SoundSystem& sound, Window_t1& window, QString settingsFile,
                         SyncOverride sync)
    : m_g(g), m_sound(sound), m_window(window), m_path(std::move(settingsFile)),
      m_syncOverride(sync) {
    connect(&m_poll, &QTimer::timeout, this, &LiveControl::poll);
}

QString LiveControl::defaultPath() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(QStringLiteral("zumbal live settings"));
}

void LiveControl::start() {
    QFile file(m_path);
    if (file.open(QIODevice::ReadOnly))
        m_settings = readLiveSettings(file.read(kMaxSettingsBytes).toStdString());
    if (m_syncOverride.source)
        m_settings.sync = *m_syncOverride.source;
    if (m_syncOverride.leadJackTransport)
        m_settings.leadJackTransport = true;
    apply();
    m_poll.start(kPollMs);
}

void LiveControl::apply() {
    m_sound.engine().setMidiChannels(m_settings.drumChannel - 1, m_settings.bassChannel - 1);
    m_window.setSwitchAtBarLine(m_settings.switchAtBarLine);
    m_sound.engine().setClockWhileStopped(m_settings.clockWhileStopped);
    if (m_audioStarted)
        applySync();
}

void LiveControl::applySync() {
    // Zumbal leads the JACK transport from its own clock only.
    const bool lead = m_settings.leadJackTransport && m_settings.sync == sync::Source::Internal;
    if (m_sound.lead(lead)) {
        m_leadRefused = false;
    } else if (!m_leadRefused) {
        m_leadRefused = true;
        std::fprintf(stderr, "zumbal: not leading the JACK transport: %s\n",
                     m_sound.outputName() == "jack" ? "another timebase master leads it"
                                                    : "the sound is not on JACK");
    }
    if (m_sound.follow(m_settings.sync, m_g.tempo, m_g.ter_ter) ||
        m_settings.sync == m_lastRefusedSync)
        return;
    m_lastRefusedSync = m_settings.sync;
    static constexpr const char* kWhyNot[] = {
        "", "JACK transport: the sound is not on JACK",
        "MIDI clock in: no JACK midi_in and no ALSA sequencer", ""};
    std::fprintf(stderr, "zumbal: %s; following Zumbal's own clock\n",
                 kWhyNot[static_cast<size_t>(m_settings.sync)]);
}

QString LiveControl::save(const LiveSettings& settings) {
    m_settings = settings;
    apply();
    QDir().mkpath(QFileInfo(m_path).path());
    return replaceFile(m_path, QByteArray::fromStdString(writeLiveSettings(settings)));
}

void LiveControl::audioStarted() {
    m_audioStarted = true;
    if (m_sound.outputName() != "jack") {
        std::string error;
        m_alsaInput = AlsaMidiInput::open(error, &m_sound.timedMidiInput());
        if (m_alsaInput)
            m_sound.useTimedMidiInput();
    }
    applySync();
}

QString LiveControl::midiStatus() const {
    if (m_sound.outputName() == "jack")
        return QStringLiteral("MIDI: JACK ports midi_out, clock_out and midi_in");
    if (m_alsaInput)
        return QStringLiteral("MIDI in: ALSA sequencer port Zumbal:midi_in (MIDI out and "
                              "clock need the sound on JACK)");
    return QStringLiteral("MIDI is unavailable: no JACK server and no ALSA sequencer");
}

void LiveControl::openWindow() {
    if (m_settingsWindow) {
        m_settingsWindow->raise();
        m_settingsWindow->activateWindow();
        return;
    }
    m_settingsWindow =
        new livesettingswin(m_settings, midiStatus(), &m_window, LoopLibrary(m_g).presets());
    connect(m_settingsWindow, &livesettingswin::saved, this, [this](const LiveSettings& edited) {
        const QString error = save(edited);
        if (!error.isEmpty())
            QMessageBox::warning(
                &m_window, QStringLiteral("Live Settings"),
                QStringLiteral("The live settings could not be saved: %1").arg(error));
    });
    m_settingsWindow->show();
}

void LiveControl::poll() {
    m_sound.pollSync(m_g.tempo, m_g.ter_3_4, m_g.ter_ter, m_settings.linkStartStop);
    const bool lead = m_settings.leadJackTransport && m_settings.sync == sync::Source::Internal;
    m_window.showSync(syncView(m_sound.following(), m_sound.syncStatus(),
                               !lead               ? Lead::No
                               : m_sound.leading() ? Lead::Leading
                                                   : Lead::Refused));
    const auto take = [this](const MidiInputQueue::Event& e) {
        if (const auto m = parseEvent(e.bytes, e.size))
            receive(*m);
    };
    m_sound.midiInput().drain(take);
    if (m_alsaInput)
        m_alsaInput->queue().drain(take);
}

void LiveControl::receive(const MidiMessage& m) {
    if (m_settingsWindow)
        m_settingsWindow->midiReceived(m);
    const LiveState state{m_g.fastswitch, m_window.presetCount(),
                          m_songEntries ? m_songEntries() : 0};
    const LiveAction action = translate(m, m_settings, state);
    const auto key = [this](QChar c) { m_window.Event_KeyDown(QString(c)); };
    switch (action.kind) {
    case LiveActionKind::None:
        break;
    case LiveActionKind::LoadPreset:
        m_window.choosePreset(action.value);
        break;
    case LiveActionKind::Transpose:
        key(QLatin1Char(kPitchKeys[action.value % 12]));
        break;
    case LiveActionKind::NextPreset:
        key(QChar(29)); // the right arrow
        break;
    case LiveActionKind::PreviousPreset:
        key(QChar(28)); // the left arrow
        break;
    case LiveActionKind::SemitoneDown:
        key(QLatin1Char('q'));
        break;
    case LiveActionKind::SemitoneUp:
        key(QLatin1Char('a'));
        break;
    case LiveActionKind::PlayStop:
        m_window.play_pausa();
        break;
    case LiveActionKind::Start:
        // A followed clock's Start and Stop are the follower's.
        if (m_sound.following() == sync::Source::MidiClock)
            break;
        if (m_g.battito == 0)
            m_window.play_pausa();
        break;
    case LiveActionKind::Stop:
        if (m_sound.following() == sync::Source::MidiClock)
            break;
        if (m_g.battito > 0)
            m_window.play_pausa();
        break;
    case LiveActionKind::FastSwitchToggle:
        emit fastSwitchToggleRequested();
        break;
    case LiveActionKind::NextEntry:
        emit songMoveRequested(1);
        break;
    case LiveActionKind::PreviousEntry:
        emit songMoveRequested(-1);
        break;
    case LiveActionKind::RestartEntry:
        emit songMoveRequested(0);
        break;
    case LiveActionKind::Fill:
        emit fillRequested();
        break;
    case LiveActionKind::HoldFill:
    case LiveActionKind::ReleaseFill:
        emit fillHeld(action.kind == LiveActionKind::HoldFill);
        break;
    case LiveActionKind::GoToEntry:
        emit songEntryRequested(action.value);
        break;
    }
}

} // namespace zumbal
