#include "loops/FileNames.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zumbal {

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // byte b >= 0x80 becomes U+DC00 + b

// The length of the UTF-8 sequence a byte starts, or 1 for a byte that
// cannot start one.
size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    if (lead >= 0xE0)
        return lead <= 0xEF ? 3 : 1;
    return lead >= 0xC2 && lead <= 0xDF ? 2 : 1;
}

// An escaped byte: an unpaired low surrogate in the escape range (the low
// half of a pair may fall in that range too).
bool isEscape(const QString& text, qsizetype i) {
    const char16_t c = text[i].unicode();
    return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF &&
           (i == 0 || !text[i - 1].isHighSurrogate());
}

} // namespace

QString fileNameText(std::string_view bytes) {
    QStringDecoder whole(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = whole(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!whole.hasError())
        return text;
    // Sequence by sequence: what the decoder takes stays, the rest is escaped
    // byte by byte.
    text.clear();
    for (size_t i = 0; i < bytes.size();) {
        const size_t length =
            std::min(sequenceLength(static_cast<unsigned char>(bytes[i])), bytes.size() - i);
        QStringDecoder one(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded =
            one(QByteArrayView(bytes.data() + i, static_cast<qsizetype>(length)));
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (!one.hasError() && (byte < 0x80 || length > 1)) {
            text += decoded;
            i += length;
        } else {
            text += QChar(static_cast<char16_t>(kEscapeBase + byte));
            ++i;
        }
    }
    return text;
}

std::string fileNameBytes(const QString& text) {
    std::string bytes;
    QStringEncoder utf8(QStringEncoder::Utf8);
    qsizetype run = 0; // the start of the text not yet written
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isEscape(text, i))
            continue;
        bytes += QByteArray(utf8(QStringView(text).mid(run, i - run))).toStdString();
        if (i < text.size())
            bytes += static_cast<char>(text[i].unicode() - kEscapeBase);
        run = i + 1;
    }
    return bytes;
}

std::optional<std::string> readLoopBytes(const std::filesystem::path& path, QString& error) {
    // Opened by its bytes: QFile would encode a QString name and lose them.
    // Without O_NONBLOCK, opening a named pipe would wait for a writer.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        error = QStringLiteral("it is not a regular file");
        return std::nullopt;
    }
    QFile file;
    file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    const QByteArray bytes = file.read(kMaxLoopFileBytes);
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return std::nullopt;
    }
    return bytes.toStdString();
}

} // namespace zumbal
