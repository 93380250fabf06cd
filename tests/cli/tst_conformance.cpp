// compare measured against srecord: srec_cat writes the same random data in
// other layouts (record lengths, 02 or 04 address records, line ends, order),
// and srec_cmp is the judge. Same data must be identical to compare too;
// changed data must give exactly the addresses srec_cmp names, with the
// values each side holds there.
#include "clirun.h"
#include "transfer/paramimage.h"

#include <QJsonArray>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <map>

namespace {

using Data = std::map<quint32, char>;

// The layouts srec_cat is asked for; the test then changes line ends and
// record order itself, since srec_cat always writes in rising order.
const QList<QStringList> kLayouts{
    {},
    {"--address-length=3", "-Output_Block_Size", "16"},
    {"-Output_Block_Size", "255", "-CRLF"},
    {"--address-length=3", "-Output_Block_Size", "1"},
};

const QByteArray kLinearBaseZero = ":020000040000FA\r\n";

// Runs of random bytes below 64 KiB, across it and above it, apart from each other.
Data randomData(QRandomGenerator &random)
{
    Data data;
    for (int run = random.bounded(2, 6); run > 0; --run) {
        const quint32 starts[] = {quint32(random.bounded(0xF000)),
                                  quint32(0x10000 - random.bounded(1, 200)),
                                  quint32(random.bounded(0x10000, 0x3F000))};
        const quint32 first = starts[random.bounded(3)];
        const quint32 end = first + quint32(random.bounded(1, 300));
        const auto near = data.lower_bound(first > 0 ? first - 1 : 0);
        if (near != data.end() && near->first <= end)
            continue; // would touch a run already there
        for (quint32 address = first; address < end; ++address)
            data[address] = char(random.bounded(256));
    }
    return data;
}

// A few values changed, a byte gone, one added where nothing was.
Data changed(Data data, QRandomGenerator &random)
{
    for (int i = random.bounded(1, 4); i > 0; --i) {
        auto at = std::next(data.begin(), random.bounded(qsizetype(data.size())));
        at->second = char(at->second ^ random.bounded(1, 256));
    }
    data.erase(std::next(data.begin(), random.bounded(qsizetype(data.size()))));
    data[data.rbegin()->first + 2] = '\x5a';
    return data;
}

class Tools
{
public:
    explicit Tools(const QString &folder)
        : m_folder(folder)
    {}

    // srec_cat's file of data in a layout, as bytes; empty when it failed.
    QByteArray write(const Data &data, const QStringList &layout, const QString &name)
    {
        QStringList arguments;
        int part = 0;
        for (auto run = data.begin(); run != data.end();) {
            QByteArray bytes;
            const quint32 first = run->first;
            for (; run != data.end() && run->first == first + bytes.size(); ++run)
                bytes.append(run->second);
            const QString file = m_folder + QStringLiteral("/part%1.bin").arg(part++);
            if (!writeFile(file, bytes))
                return {};
            arguments << file << "-binary"
                      << "-offset" << QString::number(first);
        }
        arguments << "-o" << m_folder + '/' + name << "-intel" << layout;
        return run("srec_cat", arguments) == 0 ? readFile(m_folder + '/' + name) : QByteArray();
    }

    int run(const QString &program, const QStringList &arguments, QByteArray *out = nullptr)
    {
        QProcess process;
        process.start(QStandardPaths::findExecutable(program), arguments);
        if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        if (out)
            *out = process.readAllStandardOutput() + process.readAllStandardError();
        return process.exitCode();
    }

private:
    QString m_folder;
};

// Data records shuffled within the run of each address record, and the runs
// shuffled: the same data in another order. The end record stays last.
// srecord reads no CR-only line ends: those are tried on compare alone.
QByteArray shuffled(const QByteArray &file, QRandomGenerator &random)
{
    QList<QList<QByteArray>> groups{{}};
    for (const QByteArray &line : file.trimmed().split('\n')) {
        const QByteArray type = line.mid(7, 2);
        if (type == "02" || type == "04")
            groups.append(QList<QByteArray>());
        if (type != "01")
            groups.last().append(line.trimmed());
    }
    for (QList<QByteArray> &group : groups) {
        const bool based = !group.isEmpty() && group.first().mid(7, 2) != "00";
        std::shuffle(group.begin() + (based ? 1 : 0), group.end(), random);
    }
    // The first group has no address record: it must stay first.
    std::shuffle(groups.begin() + 1, groups.end(), random);
    QByteArray out;
    for (const QList<QByteArray> &group : groups)
        for (const QByteArray &line : group)
            out += line + '\n';
    return out + ":00000001FF\n";
}

// srec_cmp -v's address sets: "Different:", "Left only:", "Right only:".
std::map<QString, QList<quint32>> srecCmpSets(const QByteArray &output)
{
    std::map<QString, QList<quint32>> sets;
    QString label;
    static const QRegularExpression kRange(QStringLiteral("0x([0-9a-f]+)(?: - 0x([0-9a-f]+))?"));
    for (const QString &line : QString::fromLatin1(output).split('\n')) {
        if (line.contains(':'))
            label = line.section(':', 0, 0).trimmed();
        for (const auto &match : kRange.globalMatch(line)) {
            const quint32 first = match.captured(1).toUInt(nullptr, 16);
            const quint32 last =
                match.hasCaptured(2) ? match.captured(2).toUInt(nullptr, 16) : first;
            for (quint32 address = first; address <= last; ++address)
                sets[label].append(address);
        }
    }
    return sets;
}

// compare's JSON ranges of one kind, address by address, with the values.
std::map<quint32, QByteArray> compareRanges(const QJsonArray &findings, const QString &kind)
{
    std::map<quint32, QByteArray> found;
    for (const QJsonValue &value : findings) {
        const QJsonObject finding = value.toObject();
        if (finding.value("kind").toString() != kind)
            continue;
        const quint32 first = finding.value("first").toString().toUInt(nullptr, 16);
        const QByteArray a = QByteArray::fromHex(finding.value("a").toString().toLatin1());
        const QByteArray b = QByteArray::fromHex(finding.value("b").toString().toLatin1());
        for (qsizetype i = 0; i < qMax(a.size(), b.size()); ++i)
            found[first + quint32(i)] = a.mid(i, 1) + b.mid(i, 1);
    }
    return found;
}

} // namespace

class TestConformance : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(!qEnvironmentVariable("QUILLET_CLI").isEmpty());
        QVERIFY2(!QStandardPaths::findExecutable("srec_cat").isEmpty() &&
                     !QStandardPaths::findExecutable("srec_cmp").isEmpty(),
                 "srec_cat and srec_cmp (Debian package srecord) are needed; ./test installs them");
    }

    void sameDataInEveryLayout_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed = 1; seed <= 4; ++seed)
            QTest::addRow("seed %u", seed) << seed;
    }
    void sameDataInEveryLayout()
    {
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        Tools tools(m_dir.path());
        const Data data = randomData(random);
        const QByteArray reference = tools.write(data, {}, "a.hex");
        QVERIFY(!reference.isEmpty());
        for (qsizetype i = 0; i < kLayouts.size(); ++i) {
            QByteArray other = tools.write(data, kLayouts.at(i), "b.hex");
            QVERIFY(!other.isEmpty());
            // Long records and no address record before the first: one that
            // crosses 64 KiB runs on past it.
            if (i == 2 && other.startsWith(kLinearBaseZero))
                other.remove(0, kLinearBaseZero.size());
            if (i == kLayouts.size() - 1)
                other = shuffled(other, random);
            QVERIFY(writeFile(path("b.hex"), other));
            QVERIFY2(tools.run("srec_cmp", {path("a.hex"), "-intel", path("b.hex"), "-intel"}) == 0,
                     other.constData());
            for (const char *lineEnd : {"\n", "\r"}) {
                const auto comparison = ParamImage::compare(
                    HexCheck::checkText(reference),
                    HexCheck::checkText(QByteArray(other).replace("\n", lineEnd)));
                QVERIFY2(comparison.identical(), qPrintable(comparison.toText("a", "b")));
            }
        }
        // The command itself, on the last and least ordinary layout.
        const CliRun run = runCli({"compare", path("a.hex"), path("b.hex")});
        QCOMPARE(run.exit, 0);
        QCOMPARE(run.out, "identical\n");
    }

    void changedDataNamesWhatSrecCmpNames_data() { sameDataInEveryLayout_data(); }
    void changedDataNamesWhatSrecCmpNames()
    {
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        Tools tools(m_dir.path());
        const Data a = randomData(random);
        const Data b = changed(a, random);
        QVERIFY(!tools.write(a, {}, "a.hex").isEmpty());
        QVERIFY(!tools.write(b, kLayouts.at(random.bounded(kLayouts.size())), "b.hex").isEmpty());
        QByteArray said;
        QCOMPARE(
            tools.run("srec_cmp", {path("a.hex"), "-intel", path("b.hex"), "-intel", "-v"}, &said),
            2);
        std::map<QString, QList<quint32>> judged = srecCmpSets(said);

        const CliRun run = runCli({"compare", path("a.hex"), path("b.hex"), "--json"});
        QCOMPARE(run.exit, 1);
        const QJsonArray findings = run.json().value("findings").toArray();
        const std::map<QString, QString> kinds{
            {"Different", "differ"}, {"Left only", "only in a"}, {"Right only", "only in b"}};
        for (const auto &[label, kind] : kinds) {
            const std::map<quint32, QByteArray> named = compareRanges(findings, kind);
            QList<quint32> addresses;
            for (const auto &[address, values] : named) {
                addresses.append(address);
                // The values each file holds there, as the data was made.
                const QByteArray expected = (a.count(address) ? QByteArray(1, a.at(address)) : "") +
                                            (b.count(address) ? QByteArray(1, b.at(address)) : "");
                QCOMPARE(values.toHex(), expected.toHex());
            }
            QCOMPARE(addresses, judged[label]);
        }
        // Neither file is damaged: every finding is a range of the three kinds.
        for (const QJsonValue &finding : findings)
            QVERIFY(run.out.contains(finding.toObject().value("first").toString()));
    }

    // A start address record whose address field is not 0000: srec_cat
    // refuses the file, and check must call it damaged.
    void startAddressRecords_data()
    {
        QTest::addColumn<QByteArray>("record");
        const QByteArray start = QByteArray::fromHex("00001234");
        QTest::newRow("03 at 0000") << hexRecord(0, 3, start);
        QTest::newRow("03 at 0010") << hexRecord(0x10, 3, start);
        QTest::newRow("05 at 0000") << hexRecord(0, 5, start);
        QTest::newRow("05 at FFFF") << hexRecord(0xFFFF, 5, start);
    }
    void startAddressRecords()
    {
        QFETCH(QByteArray, record);
        QVERIFY(writeFile(path("start.hex"), hexFile({hexRecord(0, 0, "\x01"), record}, "\n")));
        Tools tools(m_dir.path());
        const int srecCat =
            tools.run("srec_cat", {path("start.hex"), "-intel", "-o", path("copy.hex"), "-intel"});
        QVERIFY(srecCat >= 0);
        const CliRun run = runCli({"check", path("start.hex")});
        QCOMPARE(run.exit, srecCat == 0 ? 0 : 1);
    }

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
};

QTEST_GUILESS_MAIN(TestConformance)
#include "tst_conformance.moc"
