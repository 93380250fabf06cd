#pragma once

#include "transfer/hexcheck.h"
#include "transfer/paramfile.h"

#include <QByteArrayView>
#include <QFile>
#include <QString>

#include <functional>

struct TransferState;

// The file on the PC's side of a transfer: read one character at a time when
// sending, appended to block by block when receiving. Bytes go through as
// they are, one character per byte, with no line-end conversion.
class TransferFile
{
public:
    enum class ReadStatus { Ok, End, Error };

    // Creates the file, or empties an existing one, for writing. Writes are
    // not buffered, so a full disk fails at the write (or flush) that meets it.
    bool create(const QString &path);
    // Opens an existing plain file of at most maxSize characters for reading
    // from its first character, as every parameter file is opened.
    ParamFile::Reading open(const QString &path, qint64 maxSize);
    // As open(), whatever its size.
    bool openForReading(const QString &path) { return open(path, ParamFile::kNoLimit).ok(); }
    bool isOpen() const { return m_file.isOpen(); }

    ReadStatus readChar(char &c);
    // Reads the open file from where it stands, a piece at a time.
    ParamFile::Reading read(qint64 maxSize, const ParamFile::Take &take,
                            const ParamFile::Stop &stopped);
    // Back to the first character.
    bool rewind();
    // Appends data whole; false when any of it could not be written.
    bool write(const QByteArray &data);
    // Appends data with the next flush or close: a drive's blocks come many
    // times a second, and a write to the disk for each costs more than they do.
    void hold(const QByteArray &data) { m_held += data; }
    qsizetype held() const { return m_held.size(); }
    // Writes what is held; false when any of it could not be written.
    bool flush();
    // Never fails; closing a closed file does nothing. What is held is
    // written first, so that a Cancel, which closes the file, keeps it.
    void close();
    // True when the last close could not write what was held.
    bool closeLostData() const { return m_closeLostData; }

private:
    QFile m_file;
    QByteArray m_held;
    bool m_closeLostData = false;
};

enum class OpenFileResult {
    Ok,
    CannotCreate,   // a file to receive into cannot be created
    MissingOrEmpty, // a file to send does not exist, cannot be read or is empty
    NoTermination,  // a file to send lacks the end record
    ReopenFailed,   // a checked file to send could not be read again from its start
    TooLarge,       // a file to send holds more characters than can be counted
    Stopped,        // the user stopped the scan of a file to send
};

namespace TransferFileSize {
constexpr qint32 kExpectedMmi = 60000;
constexpr qint32 kExpectedJxf = 12000;
} // namespace TransferFileSize

// Measures a file to send, looks for the end record anywhere in it and checks
// the records that will be sent, all from one read of the file fed in chunks
// of any size, so that a large file is never held in memory whole and a
// record split between two chunks is still found.
class SendFileScan
{
public:
    void feed(QByteArrayView chunk);
    qint64 size() const { return m_size; }
    bool hasEndRecord() const { return m_endRecord.found(); }
    // What the checks make of the file as fed so far: MissingOrEmpty,
    // NoTermination or Ok.
    OpenFileResult result() const;
    // The records up to the first code 26, where the send stops.
    HexCheck::Result records() const { return m_records.result(); }

    // The largest file that can be sent: its size must fit lFileSize.
    static constexpr qint64 kMaxSendFileSize = 0x7fffffff;

private:
    qint64 m_size = 0;
    HexRecord::EndRecordSearch m_endRecord;
    HexCheck::Checker m_records;
};

// Prepares file for the transfer that state describes. Sending: opens
// sFileName, checks that it holds the end record, sets lFileSize to its
// length and leaves it at its first character, so that what is sent is what
// was checked; records, when given, gets the check of the records that will
// be sent. Receiving: creates sFileName empty and sets lFileSize to the size
// expected from the drive. Anything open in file before is closed first.
// stopped, asked between two pieces of the scan, ends it at once: a file of
// gigabytes takes a while to read.
OpenFileResult openTransferFile(TransferState &state, TransferFile &file,
                                HexCheck::Result *records = nullptr,
                                const std::function<bool()> &stopped = {});

// True when receiving into path would empty a file that holds something: a
// plain file of at least one character that may be written. A new or empty
// file is not one, nor is anything the receive refuses to open.
bool receiveWouldReplaceData(const QString &path);

// Never fails; may be repeated.
void closeTransferFile(TransferFile &file);

// The text a window shows for a result other than Ok (empty for Ok and Stopped).
QString openFileMessage(OpenFileResult result);
