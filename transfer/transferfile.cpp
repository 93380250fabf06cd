#include "transfer/transferfile.h"

#include "transfer/transferstate.h"

#include <QFileInfo>

#include <limits>
#include <utility>

static_assert(SendFileScan::kMaxSendFileSize == std::numeric_limits<qint32>::max());

namespace {

const QString kSelectAnother = QStringLiteral("Please select an alternate file.");

OpenFileResult sendResult(const ParamFile::Reading &reading, const SendFileScan &scan)
{
    switch (reading.status) {
    case ParamFile::Status::Read:
        return scan.result();
    case ParamFile::Status::TooLarge:
        return OpenFileResult::TooLarge;
    case ParamFile::Status::Stopped:
        return OpenFileResult::Stopped;
    case ParamFile::Status::Missing:
    case ParamFile::Status::Folder:
    case ParamFile::Status::NotPlain:
    case ParamFile::Status::Unreadable:
        break;
    }
    return OpenFileResult::MissingOrEmpty;
}

// One read of the file, through SendFileScan; the file stays open at its first
// character, so that what is sent is what was checked.
OpenFileResult openToSend(TransferState &state, TransferFile &file, HexCheck::Result *records,
                          const std::function<bool()> &stopped)
{
    SendFileScan scan;
    ParamFile::Reading reading = file.open(state.sFileName, SendFileScan::kMaxSendFileSize);
    if (reading.ok()) {
        const auto take = [&scan](QByteArrayView piece) {
            scan.feed(piece);
            return true;
        };
        reading = file.read(SendFileScan::kMaxSendFileSize, take, stopped);
    }
    OpenFileResult result = sendResult(reading, scan);
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

void SendFileScan::feed(QByteArrayView chunk)
{
    m_size += chunk.size();
    m_records.feed(chunk);
    m_endRecord.feed(chunk);
}

OpenFileResult SendFileScan::result() const
{
    if (m_size == 0)
        return OpenFileResult::MissingOrEmpty;
    return hasEndRecord() ? OpenFileResult::Ok : OpenFileResult::NoTermination;
}

bool TransferFile::create(const QString &path)
{
    close();
    m_closeLostData = false;
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
}

ParamFile::Reading TransferFile::open(const QString &path, qint64 maxSize)
{
    close();
    return ParamFile::open(m_file, path, maxSize);
}

ParamFile::Reading TransferFile::read(qint64 maxSize, const ParamFile::Take &take,
                                      const ParamFile::Stop &stopped)
{
    return ParamFile::read(m_file, maxSize, take, stopped);
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
