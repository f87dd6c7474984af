#include "editor/PendingSwitch.h"

#include "loops/LoopModel.h"
#include "playback/BassLine.h"

#include <QStringList>

namespace zumbal {

void PendingSwitch::apply(globali& g, NotePlayer& bass) {
    if (songEntry == kSongEnd) {
        g.battito = 0;
        return;
    }
    if (loop) {
        loadIntoModel(g, *loop, normalise);
        bass.setInstrument(g.edfiv[kBassTrack][0]);
    }
    if (key) {
        const int semitones = fastSwitchTransposition(*key, g.trans_start);
        if (semitones != 0)
            transpose(g, semitones);
    }
}

QString PendingSwitch::describe() const {
    static const QStringList keys{QStringLiteral("C"),  QStringLiteral("C#"), QStringLiteral("D"),
                                  QStringLiteral("D#"), QStringLiteral("E"),  QStringLiteral("F"),
                                  QStringLiteral("F#"), QStringLiteral("G"),  QStringLiteral("G#"),
                                  QStringLiteral("A"),  QStringLiteral("A#"), QStringLiteral("B")};
    QStringList parts;
    if (loop)
        parts << name;
    if (key) {
        const char32_t k = *key;
        if (k == 'q' || k == 'Q')
            parts << QStringLiteral("a semitone down");
        else if (k == 'a' || k == 'A')
            parts << QStringLiteral("a semitone up");
        else
            parts << QStringLiteral("key ") + keys.value(fastSwitchTransposition(k, 0));
    }
    return QStringLiteral("Next: ") + parts.join(QStringLiteral(", "));
}

} // namespace zumbal
