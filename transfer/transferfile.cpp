#include "transfer/transferfile.h"

#include "app/transferstate.h"

#include <limits>

namespace {

const QByteArray kEndRecord = QByteArrayLiteral(":00000001FF");
constexpr qint64 kScanChunk = 64 * 1024;
constexpr qint64 kMaxFileSize = std::numeric_limits<qint32>::max();
const QString kSelectAnother = QStringLiteral("Please select an alternate file.");

struct Scan
{
    OpenFileResult result = OpenFileResult::Ok;
    qint64 size = 0;
};

// Measures the file and looks for the end record chunk by chunk, so that a
// large file is never held in memory whole.
Scan scanFileToSend(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {OpenFileResult::MissingOrEmpty};
    if (file.size() > kMaxFileSize)
        return {OpenFileResult::TooLarge};
    Scan scan;
    bool found = false;
    QByteArray carried; // the end of the last chunk, in case the record spans two
    for (;;) {
        const QByteArray chunk = file.read(kScanChunk);
        if (chunk.isEmpty()) {
            if (file.error() != QFileDevice::NoError)
                return {OpenFileResult::MissingOrEmpty};
            break;
        }
        scan.size += chunk.size();
        if (scan.size > kMaxFileSize)
            return {OpenFileResult::TooLarge};
        if (!found) {
            const QByteArray window = carried + chunk;
            found = window.contains(kEndRecord);
            carried = window.right(kEndRecord.size() - 1);
        }
    }
    if (scan.size == 0)
        return {OpenFileResult::MissingOrEmpty};
    scan.result = found ? OpenFileResult::Ok : OpenFileResult::NoTermination;
    return scan;
}

OpenFileResult openToSend(TransferState &state, TransferFile &file)
{
    const Scan scan = scanFileToSend(state.sFileName);
    if (scan.result == OpenFileResult::MissingOrEmpty || scan.result == OpenFileResult::TooLarge)
        return scan.result;
    state.lFileSize = static_cast<qint32>(scan.size);
    if (scan.result != OpenFileResult::Ok)
        return scan.result;
    if (!file.openForReading(state.sFileName))
        return OpenFileResult::ReopenFailed;
    return OpenFileResult::Ok;
}

OpenFileResult openToReceive(TransferState &state, TransferFile &file)
{
    if (!file.create(state.sFileName))
        return OpenFileResult::CannotCreate;
    state.lFileSize = state.iTransferType == TransferType::kJxfFromDrive
                          ? TransferFileSize::kExpectedJxf
                          : TransferFileSize::kExpectedMmi;
    return OpenFileResult::Ok;
}

} // namespace

bool TransferFile::create(const QString &path)
{
    close();
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
}

bool TransferFile::openForReading(const QString &path)
{
    close();
    m_file.setFileName(path);
    return m_file.open(QIODevice::ReadOnly);
}

TransferFile::ReadStatus TransferFile::readChar(char &c)
{
    if (!m_file.isOpen())
        return ReadStatus::Error;
    const qint64 count = m_file.read(&c, 1);
    if (count == 1)
        return ReadStatus::Ok;
    return count == 0 && m_file.error() == QFileDevice::NoError ? ReadStatus::End
                                                                : ReadStatus::Error;
}

bool TransferFile::write(const QByteArray &data)
{
    return m_file.isOpen() && m_file.write(data) == data.size();
}

void TransferFile::close()
{
    if (m_file.isOpen())
        m_file.close();
    m_file.unsetError();
}

TransferFile &transferFile()
{
    static TransferFile file;
    return file;
}

OpenFileResult openTransferFile(TransferState &state, TransferFile &file)
{
    file.close();
    return TransferType::isSend(state.iTransferType) ? openToSend(state, file)
                                                     : openToReceive(state, file);
}

void closeTransferFile(TransferFile &file)
{
    file.close();
}

QString openFileMessage(OpenFileResult result)
{
    QString first;
    switch (result) {
    case OpenFileResult::Ok:
        return QString();
    case OpenFileResult::CannotCreate:
        first = QStringLiteral("Selected file is currently not available for write access.");
        break;
    case OpenFileResult::MissingOrEmpty:
        first = QStringLiteral("Selected file does not exist or is empty.");
        break;
    case OpenFileResult::NoTermination:
        first = QStringLiteral("Selected file does not have correct termination sequence in file.");
        break;
    case OpenFileResult::ReopenFailed:
        first = QStringLiteral("Selected file could not be opened again for sending.");
        break;
    case OpenFileResult::TooLarge:
        first = QStringLiteral("Selected file is too large to send.");
        break;
    }
    return first + QLatin1Char('\r') + kSelectAnother;
}
