// What the other windows do while a transfer runs. Their handlers can run
// nested inside the transfer loop's event pump; none of them may disturb the
// run, and the About window, left up through page 1's Next, must not bring
// page 1 back over page 3.
#include "app/modmain.h"
#include "common/wizardfixture.h"
#include "ui/commondialog.h"
#include "ui/exitapplication.h"
#include "ui/frmsplash.h"

#include <QFrame>
#include <QTimer>

using namespace Wizard;

class TestDuringTransfer : public QObject, public WizardFixture
{
    Q_OBJECT

private:
    QTimer m_watch;

    // Page 1 with the About window still up, then page 2 for a send that
    // lasts, however busy the machine: a file larger than a pseudo-terminal
    // holds, which the drive stops with XOFF for 1.5 s after 1000 characters,
    // cannot be handed over whole before the drive first looks.
    QByteArray prepareSendWithAboutUp()
    {
        // Larger than a pseudo-terminal holds, as everyCarriedByte(kPastThePtyBuffer).
        const QByteArray file = parameterFile(kPastThePtyBuffer * 253);
        if (!writeFile(path("params.jxf"), file) ||
            !startSim({"--receive", path("drive.jxf"), "--xoff-hold", "1000,1500"}))
            return {};
        Main();
        frmSplash().DismissSplash();
        button(frmMain1(), "About")->click();
        next(2, path("params.jxf"), 6);
        // A run ended within milliseconds could open and close the port before a
        // busy machine lets the drive look: it would then never see the session.
        if (!m_sim->waitFor("OPENED", 5000))
            return {};
        return frmMain2().isVisible() && frmSplash().isVisible() ? file : QByteArray();
    }
    // Runs action once, inside the loop's event pump, as soon as the send has
    // moved its first characters.
    template<class Action>
    void onceTheSendRuns(Action action)
    {
        m_watch.setInterval(5);
        m_watch.callOnTimeout(this, [this, action] {
            if (!transferSession().state().bTransferActive ||
                transferSession().state().lByteCount == 0)
                return;
            m_watch.stop();
            action();
        });
        m_watch.start();
    }

private Q_SLOTS:
    void initTestCase() { setUpSuite(); }
    void init() { setUp(); }
    void cleanup()
    {
        m_watch.stop();
        m_watch.disconnect();
        CommonDialog::setResponder({});
        tearDown();
    }

    void aboutWindowDismissedDuringASend_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("key") << true;
        QTest::newRow("click") << false;
    }
    void aboutWindowDismissedDuringASend()
    {
        QFETCH(bool, byKey);
        const QByteArray file = prepareSendWithAboutUp();
        QVERIFY(!file.isEmpty());
        int browsed = 0;
        CommonDialog::setResponder([&browsed](QFileDialog &) { return ++browsed, false; });
        bool ran = false;
        onceTheSendRuns([&] {
            FrmMain1 &page1 = frmMain1();
            FrmMain2 &page2 = frmMain2();
            FrmMain3 &page3 = frmMain3();
            if (byKey)
                QTest::keyClick(&frmSplash(), Qt::Key_Space);
            else
                QTest::mouseClick(frmSplash().findChild<QFrame *>("Frame1"), Qt::LeftButton);
            // What the user could reach if page 1 came up, and what no user
            // can reach on hidden pages; none of it may touch the run.
            QTest::keyClick(&page1, Qt::Key_Escape);
            QTest::keyClick(&page1, Qt::Key_Return);
            page1.close();
            for (const char *name : {"Next", "Open", "Cancel"})
                button(page1, name)->click();
            for (const char *name : {"Back", "Next", "Cancel"})
                button(page2, name)->click();
            page2.close();
            page3.Back_Click(0);
            page3.Report_Click(0);
            ran = Forms::loaded(Form::Main1) == &page1 && Forms::loaded(Form::Main3) == &page3 &&
                  page3.isVisible() && !page1.isVisible() && !page2.isVisible() &&
                  !frmSplash().isVisible();
        });
        button(frmMain2(), "Next")->click();

        QVERIFY2(ran, "the windows changed under the running send");
        QCOMPARE(status(), QStringLiteral("File Transfer complete."));
        QVERIFY(m_messages->shown.isEmpty());
        QCOMPARE(browsed, 0);
        QCOMPARE(transferSession().state().sFileName, path("params.jxf"));
        QCOMPARE(transferSession().state().iTransferType, qint16(2));
        QVERIFY(m_sim->waitFor("CLOSED", 5000));
        QCOMPARE(readFile(path("drive.jxf")), file);
        button(frmMain3(), "Finish")->click();
        QCOMPARE(Forms::loadedCount(), 0);
    }

    // No window offers it, but should the program's end be asked for in the
    // middle of a run, the run stops first and the windows go after it.
    void endAskedForDuringASend()
    {
        const QByteArray file = prepareSendWithAboutUp();
        QVERIFY(!file.isEmpty());
        bool ran = false;
        onceTheSendRuns([&ran] {
            ran = true;
            ExitApplication();
        });
        button(frmMain2(), "Next")->click();

        QVERIFY(ran);
        QCOMPARE(Forms::loadedCount(), 0);
        QVERIFY(!transferSession().state().bTransferActive);
        QVERIFY(readFile(path("jxf.ini")).startsWith("2\r\n" + path("params.jxf").toLocal8Bit()));
        QVERIFY(m_sim->waitFor("CLOSED", 5000));
        const QByteArray arrived = readFile(path("drive.jxf"));
        QVERIFY(arrived.size() < file.size());
        QVERIFY(file.startsWith(arrived));
    }
};

QTEST_MAIN(TestDuringTransfer)
#include "tst_duringtransfer.moc"
