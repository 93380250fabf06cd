// Page 3 as the transfer loop drives it: every label holds its newest text
// at once, and the screen gets it within a frame however fast the loop goes.
#include "common/uitest.h"
#include "ui/frmmain3.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QtTest>

namespace {

constexpr int kFrameMs = 16;
constexpr int kSettleMs = 5 * kFrameMs;

// Records the text a label shows each time it is painted.
class PaintLog : public QObject
{
public:
    explicit PaintLog(QLabel *label)
        : m_label(label)
    {
        label->installEventFilter(this);
    }
    QStringList painted;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_label && event->type() == QEvent::Paint)
            painted.append(m_label->text());
        return false;
    }

private:
    QPointer<QLabel> m_label;
};

QLabel *pageLabel(const char *name)
{
    return frmMain3().findChild<QLabel *>(QString::fromLatin1(name));
}

QString countText(int n)
{
    return QStringLiteral(" %1").arg(n);
}

} // namespace

class TestPaintFrames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        frmMain3().showPage();
        QVERIFY(QTest::qWaitForWindowExposed(&frmMain3()));
        frmMain3().repaintPage();
    }
    void cleanup() { unloadAllWindows(); }

    void fastCountsShowTheirLastValue_data()
    {
        QTest::addColumn<bool>("pumpEachTime");
        QTest::newRow("events pumped after each count") << true;
        QTest::newRow("no events until the end") << false;
    }
    void fastCountsShowTheirLastValue()
    {
        QFETCH(bool, pumpEachTime);
        FrmMain3 &page = frmMain3();
        QLabel *count = pageLabel("lblByteCount");
        PaintLog log(count);
        QElapsedTimer spent;
        spent.start();
        int n = 0;
        while (spent.elapsed() < 10 * kFrameMs) {
            ++n;
            page.setLabel(ViewLabel::ByteCount, countText(n));
            // Anything that reads the label sees the newest count at once.
            QCOMPARE(count->text(), countText(n));
            page.repaintLabel(ViewLabel::ByteCount);
            if (pumpEachTime)
                QCoreApplication::processEvents();
        }
        const qint64 frames = spent.elapsed() / kFrameMs;
        QTest::qWait(kSettleMs);
        QVERIFY(!log.painted.isEmpty());
        QCOMPARE(log.painted.last(), countText(n));
        QVERIFY(count->updatesEnabled());
        // Thousands of counts, a paint or so per frame.
        QVERIFY2(log.painted.size() <= frames + 3,
                 qPrintable(QStringLiteral("%1 paints for %2 counts in %3 frames")
                                .arg(log.painted.size())
                                .arg(n)
                                .arg(frames)));
    }

    // The end of a run sets its texts without asking for a paint.
    void textSetRightAfterAPaintIsPaintedWhenTheFrameEnds()
    {
        FrmMain3 &page = frmMain3();
        page.setLabel(ViewLabel::ByteCount, countText(41));
        page.repaintLabel(ViewLabel::ByteCount);
        PaintLog percent(pageLabel("lblPercent"));
        PaintLog status(pageLabel("lblStatus"));
        page.setLabel(ViewLabel::Percent, QStringLiteral("100%"));
        page.setLabel(ViewLabel::Status, QStringLiteral("File Transfer complete."));
        QTest::qWait(kSettleMs);
        QCOMPARE(percent.painted.value(percent.painted.size() - 1), QStringLiteral("100%"));
        QCOMPARE(status.painted.value(status.painted.size() - 1),
                 QStringLiteral("File Transfer complete."));
        QVERIFY(pageLabel("lblPercent")->updatesEnabled());
        QVERIFY(pageLabel("lblStatus")->updatesEnabled());
    }

    void unchangedTextCostsNoPaint()
    {
        FrmMain3 &page = frmMain3();
        page.setLabel(ViewLabel::Percent, QStringLiteral(" 7%"));
        page.repaintLabel(ViewLabel::Percent);
        QTest::qWait(kSettleMs);
        PaintLog log(pageLabel("lblPercent"));
        for (int i = 0; i < 100; ++i) {
            page.setLabel(ViewLabel::Percent, QStringLiteral(" 7%"));
            page.repaintLabel(ViewLabel::Percent);
            QCoreApplication::processEvents();
        }
        QTest::qWait(kSettleMs);
        QVERIFY2(log.painted.isEmpty(), qPrintable(log.painted.join(QLatin1Char('|'))));
    }
};

QTEST_MAIN(TestPaintFrames)
#include "tst_paintframes.moc"
