// Page 3 as the transfer loop drives it: however fast the loop goes, a label
// takes a new text, and is painted, about once a frame, and the newest text
// always reaches the screen.
#include "common/uitest.h"
#include "ui/frmmain3.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPaintEvent>
#include <QPointer>
#include <QProgressBar>
#include <QtTest>

#include <functional>

namespace {

constexpr int kFrameMs = int(FrmMain3::kFrameMs);

// Records what a widget shows each time it is painted (only when all of it
// is, if asked): a label's text by default.
class PaintLog : public QObject
{
public:
    PaintLog(QWidget *widget, std::function<QString()> shown, bool wholeOnly = false)
        : m_widget(widget)
        , m_shown(std::move(shown))
        , m_wholeOnly(wholeOnly)
    {
        widget->installEventFilter(this);
    }
    explicit PaintLog(QLabel *label)
        : PaintLog(label, [label] { return label->text(); })
    {}
    QStringList painted;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_widget && event->type() == QEvent::Paint &&
            (!m_wholeOnly || static_cast<QPaintEvent *>(event)->rect().contains(m_widget->rect())))
            painted.append(m_shown());
        return false;
    }

private:
    QPointer<QWidget> m_widget;
    std::function<QString()> m_shown;
    bool m_wholeOnly;
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
        QStringList taken; // each text the label itself held, in turn
        QElapsedTimer spent;
        spent.start();
        int n = 0;
        while (spent.elapsed() < 3 * kFrameMs) {
            ++n;
            page.setLabel(ViewLabel::ByteCount, countText(n));
            page.repaintLabel(ViewLabel::ByteCount);
            if (taken.isEmpty() || taken.last() != count->text())
                taken.append(count->text());
            if (pumpEachTime)
                QCoreApplication::processEvents();
        }
        const qint64 frames = spent.elapsed() / kFrameMs;
        QTRY_COMPARE(log.painted.value(log.painted.size() - 1), countText(n));
        QCOMPARE(count->text(), countText(n));
        QVERIFY(count->updatesEnabled());
        // Thousands of counts; a new text (an accessibility event each) and a
        // paint or so per frame.
        const QString counts = QStringLiteral("%1 texts, %2 paints for %3 counts in %4 frames")
                                   .arg(taken.size())
                                   .arg(log.painted.size())
                                   .arg(n)
                                   .arg(frames);
        QVERIFY2(taken.size() <= frames + 3, qPrintable(counts));
        QVERIFY2(log.painted.size() <= frames + 3, qPrintable(counts));
    }

    // As the loop shows a percentage: the bar, the count, then the label.
    void barShowsThePercentWithinTheFrame_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("last");
        QTest::addColumn<bool>("framePerUpdate");
        QTest::newRow("one percent a frame, as a slow receive") << 1 << 10 << true;
        QTest::newRow("many updates in one frame") << 3 << 30 << false;
    }
    void barShowsThePercentWithinTheFrame()
    {
        QFETCH(int, step);
        QFETCH(int, last);
        QFETCH(bool, framePerUpdate);
        FrmMain3 &page = frmMain3();
        auto *bar = page.findChild<QProgressBar *>(QStringLiteral("ProgressBar1"));
        QLabel *percentLabel = pageLabel("lblPercent");
        PaintLog log(
            bar, [bar] { return QString::number(bar->value()); }, true);
        for (int percent = step; percent <= last; percent += step) {
            page.setProgress(percent);
            page.setLabel(ViewLabel::ByteCount, countText(percent * 100));
            page.repaintLabel(ViewLabel::ByteCount);
            page.setLabel(ViewLabel::Percent, QStringLiteral(" %1%").arg(percent));
            page.repaintLabel(ViewLabel::Percent);
            QCoreApplication::processEvents();
            QCOMPARE(bar->value(), percentLabel->text().chopped(1).trimmed().toInt());
            if (!framePerUpdate)
                continue;
            QTRY_COMPARE(log.painted.value(log.painted.size() - 1), QString::number(percent));
        }
        QTRY_COMPARE(log.painted.value(log.painted.size() - 1), QString::number(last));
        QCOMPARE(bar->value(), last);
        QVERIFY(bar->updatesEnabled());
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
        QTRY_COMPARE(percent.painted.value(percent.painted.size() - 1), QStringLiteral("100%"));
        QTRY_COMPARE(status.painted.value(status.painted.size() - 1),
                     QStringLiteral("File Transfer complete."));
        QVERIFY(pageLabel("lblPercent")->updatesEnabled());
        QVERIFY(pageLabel("lblStatus")->updatesEnabled());
    }

    void unchangedTextCostsNoPaint()
    {
        FrmMain3 &page = frmMain3();
        {
            PaintLog first(pageLabel("lblPercent"));
            page.setLabel(ViewLabel::Percent, QStringLiteral(" 7%"));
            page.repaintLabel(ViewLabel::Percent);
            QTRY_COMPARE(first.painted.value(first.painted.size() - 1), QStringLiteral(" 7%"));
        }
        PaintLog log(pageLabel("lblPercent"));
        for (int i = 0; i < 100; ++i) {
            page.setLabel(ViewLabel::Percent, QStringLiteral(" 7%"));
            page.repaintLabel(ViewLabel::Percent);
            QCoreApplication::processEvents();
        }
        // A new count goes out with the next frame, as anything the repeats held back would.
        PaintLog count(pageLabel("lblByteCount"));
        page.setLabel(ViewLabel::ByteCount, countText(8));
        QTRY_COMPARE(count.painted.value(count.painted.size() - 1), countText(8));
        QVERIFY2(log.painted.isEmpty(), qPrintable(log.painted.join(QLatin1Char('|'))));
    }
};

QTEST_MAIN(TestPaintFrames)
#include "tst_paintframes.moc"
