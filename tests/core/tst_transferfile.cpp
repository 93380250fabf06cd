#include "transfer/transferfile.h"
#include "transfer/transferstate.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(OpenFileResult)

namespace {

constexpr qint32 kUntouched = 777;
constexpr qint64 kScanChunk = 64 * 1024;

QByteArray everyByteValue()
{
    QByteArray data;
    for (int c = 0; c < 256; ++c)
        data.append(char(c));
    return data;
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(content) == content.size();
}

QByteArray readFile(const QString &path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(unreadable)");
}

bool setTimes(const QString &path, const QDateTime &when)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.setFileTime(when, QFileDevice::FileAccessTime) &&
           file.setFileTime(when.addSecs(-60), QFileDevice::FileModificationTime);
}

QByteArray readAllChars(TransferFile &file)
{
    QByteArray data;
    char c = 0;
    while (file.readChar(c) == TransferFile::ReadStatus::Ok)
        data.append(c);
    return data;
}

} // namespace

class TestTransferFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void openToSend_data();
    void openToSend();
    void recordsCheckedAreThoseSent_data();
    void recordsCheckedAreThoseSent();
    void missingFileToSendIsRefused_data();
    void missingFileToSendIsRefused();
    void fileTooLargeIsRefusedUnread();
    void scanStopsBetweenPieces();
    void receiveCreatesEmptyFile_data();
    void receiveCreatesEmptyFile();
    void receiveIntoUncreatableFileIsRefused();
    void writesAreByteExact();
    void writeToFullDiskFails();
    void closeIsRepeatable();
    void messages_data();
    void messages();

private:
    QTemporaryDir m_dir;
    TransferState m_state;
    TransferFile m_file;
    QString path(const QString &name) const { return m_dir.filePath(name); }
};

void TestTransferFile::init()
{
    m_file.close();
    m_state = TransferState();
    m_state.lFileSize = kUntouched;
    m_state.iTransferType = TransferType::kJxfToDrive;
}

void TestTransferFile::openToSend_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<OpenFileResult>("result");

    QTest::newRow("end record in the middle")
        << QByteArray(":10000000AA\r\n:00000001FF\r\n:10001000BB\r\n") << OpenFileResult::Ok;
    QTest::newRow("two records of 11 characters")
        << QByteArray(":10000000AA\r\n:00000001FF\r\n") << OpenFileResult::Ok;
    QTest::newRow("end record last, no line end")
        << QByteArray("xx:00000001FF") << OpenFileResult::Ok;
    QTest::newRow("every byte value") << everyByteValue() + ":00000001FF" << OpenFileResult::Ok;
    QTest::newRow("end record across two read chunks")
        << QByteArray(kScanChunk - 5, 'x') + ":00000001FF\r\n"
        << OpenFileResult::Ok;
    QTest::newRow("end record in lower case")
        << QByteArray(":00000001ff\r\n") << OpenFileResult::NoTermination;
    QTest::newRow("end record cut short")
        << QByteArray(":00000001F") << OpenFileResult::NoTermination;
    QTest::newRow("empty") << QByteArray() << OpenFileResult::MissingOrEmpty;
}

void TestTransferFile::openToSend()
{
    QFETCH(QByteArray, content);
    QFETCH(OpenFileResult, result);

    m_state.sFileName = path(QStringLiteral("send.jxf"));
    QVERIFY(writeFile(m_state.sFileName, content));
    QCOMPARE(openTransferFile(m_state, m_file), result);

    QCOMPARE(m_file.isOpen(), result == OpenFileResult::Ok);
    QCOMPARE(m_state.lFileSize, content.isEmpty() ? kUntouched : qint32(content.size()));
    if (result == OpenFileResult::Ok) {
        // Opened again at the first character: the send reads the file whole.
        QCOMPARE(readAllChars(m_file), content);
        char c = 0;
        QCOMPARE(m_file.readChar(c), TransferFile::ReadStatus::End);
    }
}

void TestTransferFile::recordsCheckedAreThoseSent_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("clean");
    QTest::addColumn<qint64>("firstDamagedLine");
    const QByteArray record = ":0400000001020304F2\r\n";
    QTest::newRow("sound up to code 26, noise after it") << record + ":00000001FF\x1a:0G\r\n"
                                                         << true << qint64(0);
    QTest::newRow("damaged record on line 2") << record + ":0400000001020304F3\r\n:00000001FF\r\n"
                                              << false << qint64(2);
    QTest::newRow("end record only after code 26") << record + "\x1a:00000001FF\r\n"
                                                   << false << qint64(0);
}

void TestTransferFile::recordsCheckedAreThoseSent()
{
    QFETCH(QByteArray, content);
    m_state.sFileName = path(QStringLiteral("send.jxf"));
    QVERIFY(writeFile(m_state.sFileName, content));
    HexCheck::Result records;
    records.readable = false;
    QCOMPARE(openTransferFile(m_state, m_file, &records), OpenFileResult::Ok);
    QTEST(records.isClean(), "clean");
    QTEST(records.firstDamagedLine(), "firstDamagedLine");
    // Read once for both checks, and still sent from the first character.
    QCOMPARE(readAllChars(m_file), content);
}

void TestTransferFile::missingFileToSendIsRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("no such file") << QStringLiteral("missing.jxf");
    QTest::newRow("a folder") << QString();
}

void TestTransferFile::missingFileToSendIsRefused()
{
    QFETCH(QString, name);
    m_state.sFileName = name.isEmpty() ? m_dir.path() : path(name);
    QCOMPARE(openTransferFile(m_state, m_file), OpenFileResult::MissingOrEmpty);
    QVERIFY(!m_file.isOpen());
    QCOMPARE(m_state.lFileSize, kUntouched);
}

void TestTransferFile::fileTooLargeIsRefusedUnread()
{
    // Sparse, with no end record: read, it would fail the record test instead.
    m_state.sFileName = path(QStringLiteral("huge.jxf"));
    const QString control = path(QStringLiteral("control.jxf"));
    QVERIFY(writeFile(control, "x"));
    QFile huge(m_state.sFileName);
    QVERIFY(huge.open(QIODevice::WriteOnly));
    if (!huge.resize(qint64(3) * 1024 * 1024 * 1024))
        QSKIP("this file system holds no sparse 3 GiB file");
    huge.close();
    // A read moves an access time this old, unless the file system never does.
    const QDateTime longAgo = QDateTime::currentDateTimeUtc().addDays(-3);
    QVERIFY(setTimes(m_state.sFileName, longAgo));
    QVERIFY(setTimes(control, longAgo));

    QCOMPARE(openTransferFile(m_state, m_file), OpenFileResult::TooLarge);
    QVERIFY(!m_file.isOpen());
    QCOMPARE(m_state.lFileSize, kUntouched);

    QCOMPARE(readFile(control), QByteArray("x"));
    if (QFileInfo(control).lastRead() == longAgo)
        QSKIP("this file system keeps no access times");
    QCOMPARE(QFileInfo(m_state.sFileName).lastRead(), longAgo);
}

void TestTransferFile::scanStopsBetweenPieces()
{
    m_state.sFileName = path(QStringLiteral("large.jxf"));
    QVERIFY(writeFile(m_state.sFileName, QByteArray(3 * kScanChunk, 'x') + ":00000001FF"));
    int asked = 0;
    const auto stopAtTheSecond = [&asked] {
        return ++asked == 2;
    };
    QCOMPARE(openTransferFile(m_state, m_file, nullptr, stopAtTheSecond), OpenFileResult::Stopped);
    QCOMPARE(asked, 2);
    QVERIFY(!m_file.isOpen());
    QCOMPARE(m_state.lFileSize, kUntouched);
}

void TestTransferFile::receiveCreatesEmptyFile_data()
{
    QTest::addColumn<qint16>("type");
    QTest::addColumn<qint32>("expectedSize");
    QTest::newRow("MMI dump") << TransferType::kMmiDump << 60000;
    QTest::newRow("JXF from the drive") << TransferType::kJxfFromDrive << 12000;
    QTest::newRow("no type chosen") << qint16(-1) << 60000;
}

void TestTransferFile::receiveCreatesEmptyFile()
{
    QFETCH(qint16, type);
    QFETCH(qint32, expectedSize);

    m_state.iTransferType = type;
    m_state.sFileName = path(QStringLiteral("existing.mmi"));
    QVERIFY(writeFile(m_state.sFileName, "an earlier dump"));
    QCOMPARE(openTransferFile(m_state, m_file), OpenFileResult::Ok);
    QCOMPARE(m_state.lFileSize, expectedSize);
    QVERIFY(m_file.isOpen());
    QCOMPARE(QFileInfo(m_state.sFileName).size(), 0);
}

void TestTransferFile::receiveIntoUncreatableFileIsRefused()
{
    m_state.iTransferType = TransferType::kMmiDump;
    m_state.sFileName = path(QStringLiteral("no/such/folder/dump.mmi"));
    QCOMPARE(openTransferFile(m_state, m_file), OpenFileResult::CannotCreate);
    QVERIFY(!m_file.isOpen());
    QCOMPARE(m_state.lFileSize, kUntouched);
}

void TestTransferFile::writesAreByteExact()
{
    const QString target = path(QStringLiteral("received.jxf"));
    const QByteArray blocks[] = {everyByteValue(), QByteArray("\r\n\n\r"),
                                 QByteArray("\x1a"
                                            "z")};
    QVERIFY(m_file.create(target));
    for (const QByteArray &block : blocks)
        QVERIFY(m_file.write(block));
    // Unbuffered: on disk before the file is closed.
    QCOMPARE(readFile(target), blocks[0] + blocks[1] + blocks[2]);
    m_file.close();
}

void TestTransferFile::writeToFullDiskFails()
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full here");
    QVERIFY(m_file.create(QStringLiteral("/dev/full")));
    QVERIFY(!m_file.write("x"));
}

void TestTransferFile::closeIsRepeatable()
{
    QVERIFY(m_file.create(path(QStringLiteral("closing.jxf"))));
    closeTransferFile(m_file);
    closeTransferFile(m_file);
    QVERIFY(!m_file.isOpen());
    QVERIFY(!m_file.write("late"));
    char c = 0;
    QCOMPARE(m_file.readChar(c), TransferFile::ReadStatus::Error);
}

void TestTransferFile::messages_data()
{
    QTest::addColumn<OpenFileResult>("result");
    QTest::addColumn<QString>("firstLine");
    QTest::newRow("A") << OpenFileResult::CannotCreate
                       << QStringLiteral(
                              "Selected file is currently not available for write access.");
    QTest::newRow("B") << OpenFileResult::MissingOrEmpty
                       << QStringLiteral("Selected file does not exist or is empty.");
    QTest::newRow("C") << OpenFileResult::NoTermination
                       << QStringLiteral(
                              "Selected file does not have correct termination sequence in file.");
    QTest::newRow("second opening") << OpenFileResult::ReopenFailed << QString();
    QTest::newRow("too large") << OpenFileResult::TooLarge << QString();
}

void TestTransferFile::messages()
{
    QFETCH(OpenFileResult, result);
    QFETCH(QString, firstLine);
    const QStringList lines = openFileMessage(result).split(QLatin1Char('\r'));
    QCOMPARE(lines.size(), 2);
    if (!firstLine.isEmpty())
        QCOMPARE(lines.at(0), firstLine);
    QVERIFY(!lines.at(0).isEmpty());
    QCOMPARE(lines.at(1), QStringLiteral("Please select an alternate file."));
    QVERIFY(openFileMessage(OpenFileResult::Ok).isEmpty());
}

QTEST_GUILESS_MAIN(TestTransferFile)
#include "tst_transferfile.moc"
