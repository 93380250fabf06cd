#include "transfer/transferfile.h"

#include "transfer/transferstate.h"

#include <QFileInfo>

#include <limits>
#include <utility>

static_assert(SendFileScan::kMaxSendFileSize == std::numeric_limits<qint32>::max());

namespace {

constexpr qint64 kScanChunk = 64 * 1024;
const QString kSelectAnother = QStringLiteral("Please select an alternate file.");

// One read of the file through SendFileScan; the size on disk is checked
// first so that a huge file is refused before any of it is read.
OpenFileResult scanFileToSend(TransferFile &file, SendFileScan &scan,
                              const std::function<bool()> &stopped)
{
    if (file.size() > SendFileScan::kMaxSendFileSize)
        return OpenFileResult::TooLarge;
    for (;;) {
        if (stopped && stopped())
            return OpenFileResult::Stopped;
        QByteArray chunk;
        switch (file.readChunk(chunk, kScanChunk)) {
        case TransferFile::ReadStatus::Ok:
            break;
        case TransferFile::ReadStatus::End:
            return scan.result();
        case TransferFile::ReadStatus::Error:
            return OpenFileResult::MissingOrEmpty;
        }
        if (!scan.feed(chunk))
            return OpenFileResult::TooLarge;
    }
}

OpenFileResult openToSend(TransferState &state, TransferFile &file, HexCheck::Result *records,
                          const std::function<bool()> &stopped)
{
    // Only a plain file has an end: a pipe would hold the program until some
    // other program opened it, and a device would be read for as long as it gives.
    if (!QFileInfo(state.sFileName).isFile() || !file.openForReading(state.sFileName))
        return OpenFileResult::MissingOrEmpty;
    SendFileScan scan;
    OpenFileResult result = scanFileToSend(file, scan, stopped);
    if (result == OpenFileResult::Ok || result == OpenFileResult::NoTermination)
        state.lFileSize = static_cast<qint32>(scan.size());
    if (result == OpenFileResult::Ok && !file.rewind())
        result = OpenFileResult::ReopenFailed;
    if (result != OpenFileResult::Ok)
        file.close();
    else if (records)
        *records = scan.records();
    return result;
}

// Only a new file or a plain file holds what the drive sends: opening a pipe
// to write waits until some other program reads it, and a device would take
// the data somewhere else (or nowhere, as the null device does).
bool isReceivable(const QString &path)
{
    const QFileInfo info(path);
    return !info.exists() || info.isFile();
}

OpenFileResult openToReceive(TransferState &state, TransferFile &file)
{
    if (!isReceivable(state.sFileName) || !file.create(state.sFileName))
        return OpenFileResult::CannotCreate;
    state.lFileSize = state.iTransferType == TransferType::kJxfFromDrive
                          ? TransferFileSize::kExpectedJxf
                          : TransferFileSize::kExpectedMmi;
    return OpenFileResult::Ok;
}

} // namespace

bool SendFileScan::feed(QByteArrayView chunk)
{
    if (m_tooLarge)
        return false;
    m_size += chunk.size();
    if (m_size > m_maxSize) {
        m_tooLarge = true;
        return false;
    }
    m_records.feed(chunk);
    if (!m_found && !chunk.isEmpty()) {
        QByteArray window = m_carried;
        window.append(chunk);
        m_found = window.contains(HexRecord::kEndRecord);
        m_carried = window.right(HexRecord::kEndRecord.size() - 1);
    }
    return true;
}

OpenFileResult SendFileScan::result() const
{
    if (m_tooLarge)
        return OpenFileResult::TooLarge;
    if (m_size == 0)
        return OpenFileResult::MissingOrEmpty;
    return m_found ? OpenFileResult::Ok : OpenFileResult::NoTermination;
}

bool TransferFile::create(const QString &path)
{
    close();
    m_closeLostData = false;
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
}

bool TransferFile::openForReading(const QString &path)
{
    close();
    m_file.setFileName(path);
    return m_file.open(QIODevice::ReadOnly);
}

TransferFile::ReadStatus TransferFile::readChunk(QByteArray &chunk, qint64 max)
{
    chunk.clear();
    if (!m_file.isOpen())
        return ReadStatus::Error;
    chunk = m_file.read(max);
    if (!chunk.isEmpty())
        return ReadStatus::Ok;
    return m_file.error() == QFileDevice::NoError ? ReadStatus::End : ReadStatus::Error;
}

bool TransferFile::rewind()
{
    return m_file.isOpen() && m_file.seek(0);
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

bool TransferFile::flush()
{
    if (m_held.isEmpty())
        return true;
    return write(std::exchange(m_held, QByteArray()));
}

void TransferFile::close()
{
    if (!m_held.isEmpty())
        m_closeLostData = !flush();
    m_held.clear();
    if (m_file.isOpen())
        m_file.close();
    m_file.unsetError();
}

OpenFileResult openTransferFile(TransferState &state, TransferFile &file, HexCheck::Result *records,
                                const std::function<bool()> &stopped)
{
    file.close();
    return TransferType::isSend(state.iTransferType) ? openToSend(state, file, records, stopped)
                                                     : openToReceive(state, file);
}

bool receiveWouldReplaceData(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.size() > 0 && info.isWritable();
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
    case OpenFileResult::Stopped:
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
