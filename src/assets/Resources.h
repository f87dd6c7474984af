#pragma once

#include "model/PcmClip.h"

#include <QByteArray>
#include <QPixmap>

#include <optional>
#include <string_view>

namespace zumbal {

// The event sounds, by their resource numbers.
enum class SoundId : int {
    ambientclick = 168,
    ButtonC,
    Loaded1,
    Loaded2,
    openWind,
    powerdow,
    PublicD
};

// The sound compiled in as ":/sounds/<name>.wav", decoded on the first call
// and kept for the life of the program, so the mixer may hold on to it. Safe
// to call from any thread. A sound that does not decode is an empty clip.
const PcmClip& sound(SoundId id);

// nullptr for a number or name that is not one of the seven sounds.
const PcmClip* soundByNumber(int number);
const PcmClip* soundByName(std::string_view name);

std::string_view soundName(SoundId id);
std::optional<SoundId> soundIdByName(std::string_view name);

// Decodes WAV (or any format libsndfile reads) held in memory into two float
// channels; mono is copied to both, channels past the second are dropped.
// The sample rate is kept as it is: the event sounds are made at the output
// rate. Bytes that do not decode give an empty clip.
PcmClip decodeSound(const QByteArray& bytes);

// The pictures' resource numbers and names; "" and 0 for unknown ones.
std::string_view pictureName(int number);
int pictureNumber(std::string_view name);

// ":/pictures/<name>.svg" rendered at its own size times the device pixel
// ratio, cached per name and ratio. A null pixmap when there is no such
// picture. GUI thread only, like every QPixmap.
QPixmap picture(std::string_view name, qreal devicePixelRatio = 1.0);
QPixmap pictureByNumber(int number, qreal devicePixelRatio = 1.0);

} // namespace zumbal
