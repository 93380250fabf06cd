#include "transfer/filenames.h"

namespace FileNames {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;
constexpr int kLongestCharacter = 4;

bool isEscape(QChar c)
{
    return c.unicode() >= kEscapeBase + 0x80 && c.unicode() <= kEscapeBase + 0xFF;
}

// The length of the one whole character at the start of bytes, 0 when there
// is none: a byte that starts no character of the encoding.
qsizetype characterLength(QByteArrayView bytes)
{
    for (qsizetype length = 1; length <= kLongestCharacter && length <= bytes.size(); ++length) {
        const QByteArrayView part = bytes.first(length);
        const QString decoded = QString::fromLocal8Bit(part);
        const bool oneCharacter =
            decoded.size() == 1 || (decoded.size() == 2 && decoded[0].isHighSurrogate());
        if (oneCharacter && !isEscape(decoded[0]) && decoded.toLocal8Bit() == part)
            return length;
    }
    return 0;
}

} // namespace

QString fromSystem(QByteArrayView bytes)
{
    const QString decoded = QString::fromLocal8Bit(bytes);
    if (decoded.toLocal8Bit() == bytes)
        return decoded;
    QString name;
    while (!bytes.isEmpty()) {
        const qsizetype length = characterLength(bytes);
        if (length == 0) {
            name.append(QChar(char16_t(kEscapeBase + quint8(bytes.front()))));
            bytes = bytes.sliced(1);
        } else {
            name.append(QString::fromLocal8Bit(bytes.first(length)));
            bytes = bytes.sliced(length);
        }
    }
    return name;
}

QByteArray toSystem(const QString &name)
{
    QByteArray bytes;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        if (i < name.size() && !isEscape(name[i]))
            continue;
        bytes.append(QStringView(name).sliced(start, i - start).toLocal8Bit());
        if (i < name.size())
            bytes.append(char(name[i].unicode() - kEscapeBase));
        start = i + 1;
    }
    return bytes;
}

QStringList arguments(int argc, const char *const *argv)
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list.append(fromSystem(argv[i]));
    return list;
}

} // namespace FileNames
