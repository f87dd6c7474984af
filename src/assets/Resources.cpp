#include "assets/Resources.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace zumbal {

namespace {

constexpr int kFirstSound = static_cast<int>(SoundId::ambientclick);
constexpr std::array<std::string_view, 7> kSoundNames{
    "ambientclick", "ButtonC", "Loaded1", "Loaded2", "openWind", "powerdow", "PublicD"};

struct PictureEntry {
    int number;
    std::string_view name;
};

constexpr std::array<PictureEntry, 54> kPictures{{
    {168, "icona"},
    {169, "d35e36bass"},
    {170, "d37stick"},
    {171, "d38e40snare"},
    {172, "d39hand"},
    {173, "d41tomlow"},
    {174, "d42e44e46hihat"},
    {175, "d43e45e47e48e50tom"},
    {176, "d49e52e55e57clash"},
    {177, "d51e59cymbal"},
    {178, "d53e56bell"},
    {179, "d54tambo"},
    {180, "d58vibraslap"},
    {181, "d60e61bongo"},
    {182, "d62e63e64conga"},
    {183, "d65e66timbale"},
    {184, "d67e68agogo"},
    {185, "d69cabasa"},
    {186, "d70maracas"},
    {187, "d71e72whistle"},
    {188, "d73e74guiro"},
    {189, "d75e76e77claves"},
    {190, "d78e79cuica"},
    {191, "d81e80triangle"},
    {192, "sfondo"},
    {193, "maschera"},
    {194, "t1bdc"},
    {195, "t1bdl"},
    {196, "t1bdr"},
    {197, "t1bec"},
    {198, "t1bel"},
    {199, "t1ber"},
    {203, "t1duc"},
    {204, "t1dul"},
    {205, "t1dur"},
    {206, "t1gdc"},
    {207, "t1gdl"},
    {208, "t1gdr"},
    {209, "t1guc"},
    {210, "t1gul"},
    {211, "t1gur"},
    {212, "t1off4"},
    {213, "t1offdis4"},
    {214, "t1on4"},
    {215, "t1rc"},
    {216, "t1rl"},
    {217, "t1rnd"},
    {218, "t1rr"},
    {219, "t1vc"},
    {220, "t1vl"},
    {221, "t1vr"},
    {222, "strumenti"},
    {223, "selezione"},
    {224, "mondo"},
}};

// libsndfile reads through these callbacks straight from the resource bytes,
// so nothing is written to disk.
struct MemoryFile {
    const QByteArray& bytes;
    sf_count_t pos = 0;

    sf_count_t size() const { return bytes.size(); }
};

MemoryFile& memoryFile(void* user) {
    return *static_cast<MemoryFile*>(user);
}

sf_count_t memoryLength(void* user) {
    return memoryFile(user).size();
}

sf_count_t memorySeek(sf_count_t offset, int whence, void* user) {
    MemoryFile& file = memoryFile(user);
    const sf_count_t base = whence == SEEK_CUR ? file.pos : whence == SEEK_END ? file.size() : 0;
    if (base + offset < 0 || base + offset > file.size())
        return -1;
    file.pos = base + offset;
    return file.pos;
}

sf_count_t memoryRead(void* ptr, sf_count_t count, void* user) {
    MemoryFile& file = memoryFile(user);
    const sf_count_t n = std::clamp<sf_count_t>(count, 0, file.size() - file.pos);
    std::memcpy(ptr, file.bytes.constData() + file.pos, static_cast<size_t>(n));
    file.pos += n;
    return n;
}

sf_count_t memoryWrite(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t memoryTell(void* user) {
    return memoryFile(user).pos;
}

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

int soundIndex(SoundId id) {
    const int index = static_cast<int>(id) - kFirstSound;
    return index >= 0 && index < static_cast<int>(kSoundNames.size()) ? index : -1;
}

QString qString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QPixmap renderPicture(std::string_view name, qreal devicePixelRatio) {
    const QString path = QStringLiteral(":/pictures/%1.svg").arg(qString(name));
    // Checked first because QSvgRenderer warns on stderr about a missing file.
    if (!QFile::exists(path))
        return {};
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return {};
    const QSize size = renderer.defaultSize();
    QPixmap pixmap(qRound(size.width() * devicePixelRatio),
                   qRound(size.height() * devicePixelRatio));
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

} // namespace

PcmClip decodeSound(const QByteArray& bytes) {
    SF_VIRTUAL_IO io{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
    MemoryFile memory{bytes};
    SF_INFO info{};
    std::unique_ptr<SNDFILE, SndfileCloser> file(sf_open_virtual(&io, SFM_READ, &info, &memory));
    if (!file || info.channels < 1)
        return {};

    // Read in blocks rather than trusting the header's frame count: a
    // truncated file then yields what it holds, and a lying header cannot
    // ask for a huge allocation.
    constexpr sf_count_t kBlock = 4096;
    const auto channels = static_cast<size_t>(info.channels);
    std::vector<float> block(static_cast<size_t>(kBlock) * channels);
    PcmClip clip;
    sf_count_t got = 0;
    while ((got = sf_readf_float(file.get(), block.data(), kBlock)) > 0) {
        for (sf_count_t i = 0; i < got; ++i) {
            const float* frame = block.data() + static_cast<size_t>(i) * channels;
            clip.left.push_back(frame[0]);
            clip.right.push_back(frame[channels > 1 ? 1 : 0]);
        }
    }
    return clip;
}

const PcmClip& sound(SoundId id) {
    static std::array<std::once_flag, kSoundNames.size()> decoded;
    static std::array<PcmClip, kSoundNames.size()> clips;
    static const PcmClip none;

    const int index = soundIndex(id);
    if (index < 0)
        return none;
    std::call_once(decoded[index], [index] {
        QFile file(QStringLiteral(":/sounds/%1.wav").arg(qString(kSoundNames[index])));
        if (file.open(QIODevice::ReadOnly))
            clips[index] = decodeSound(file.readAll());
    });
    return clips[index];
}

const PcmClip* soundByNumber(int number) {
    const auto id = static_cast<SoundId>(number);
    return soundIndex(id) < 0 ? nullptr : &sound(id);
}

const PcmClip* soundByName(std::string_view name) {
    const std::optional<SoundId> id = soundIdByName(name);
    return id ? &sound(*id) : nullptr;
}

std::string_view soundName(SoundId id) {
    const int index = soundIndex(id);
    return index < 0 ? std::string_view{} : kSoundNames[index];
}

std::optional<SoundId> soundIdByName(std::string_view name) {
    const auto it = std::find(kSoundNames.begin(), kSoundNames.end(), name);
    if (it == kSoundNames.end())
        return std::nullopt;
    return static_cast<SoundId>(kFirstSound + (it - kSoundNames.begin()));
}

std::string_view pictureName(int number) {
    const auto it = std::find_if(kPictures.begin(), kPictures.end(),
                                 [number](const PictureEntry& p) { return p.number == number; });
    return it == kPictures.end() ? std::string_view{} : it->name;
}

int pictureNumber(std::string_view name) {
    const auto it = std::find_if(kPictures.begin(), kPictures.end(),
                                 [name](const PictureEntry& p) { return p.name == name; });
    return it == kPictures.end() ? 0 : it->number;
}

QPixmap picture(std::string_view name, qreal devicePixelRatio) {
    if (!(devicePixelRatio > 0))
        devicePixelRatio = 1.0;
    // A cached QPixmap is handed out as a shallow copy, so every caller shares
    // the one rendering; a missing picture is cached as null too.
    static std::map<std::pair<std::string, qreal>, QPixmap> cache;
    auto key = std::make_pair(std::string(name), devicePixelRatio);
    auto it = cache.find(key);
    if (it == cache.end())
        it = cache.emplace(std::move(key), renderPicture(name, devicePixelRatio)).first;
    return it->second;
}

QPixmap pictureByNumber(int number, qreal devicePixelRatio) {
    const std::string_view name = pictureName(number);
    return name.empty() ? QPixmap{} : picture(name, devicePixelRatio);
}

} // namespace zumbal
