// Start-up, the splash window and the program's end, through the real windows.
#include "app/modmain.h"
#include "common/uitest.h"
#include "settings/settingsfile.h"
#include "transfer/transfersession.h"
#include "ui/exitapplication.h"
#include "ui/frmmain1.h"
#include "ui/frmmain3.h"
#include "ui/frmsplash.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
// The version the build defines (the project's version), as the splash window shows it.
const QString kVersionShown = QStringLiteral("Version " QUILLET_PROJECT_VERSION);
} // namespace

class TestLifecycle : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_windir;
    QString m_startDir;

    QString settingsPath() const { return m_windir.filePath(QStringLiteral("jxf.ini")); }
    void writeSettings(const QByteArray &bytes)
    {
        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }
    QLabel *splashLabel(const char *name)
    {
        return frmSplash().findChild<QLabel *>(QString::fromLatin1(name));
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("windir", m_windir.path().toLocal8Bit());
        m_startDir = QDir::currentPath();
    }
    void init()
    {
        QFile::remove(settingsPath());
        QDir::setCurrent(m_startDir);
    }
    void cleanup()
    {
        unloadAllWindows();
        QVERIFY2(noWindowLeft(), "a window was left loaded");
    }

    void firstStartShowsSplashWithPageOneNotYetLoaded()
    {
        Main();
        QVERIFY(Forms::isLoaded(Form::Splash));
        QVERIFY(frmSplash().isVisible());
        QVERIFY(!Forms::isLoaded(Form::Main1));
        QCOMPARE(splashLabel("lblCompanyProduct")->text(), QStringLiteral("Morvane Ltd"));
        QCOMPARE(splashLabel("lblProductName")->text(), QStringLiteral("Quillet"));
        QVERIFY(!splashLabel("lblPlatform")->text().isEmpty());
        QCOMPARE(splashLabel("lblVersion")->text(), kVersionShown);
        QVERIFY(!splashLabel("lblCopyright")->text().isEmpty());
        QCOMPARE(splashLabel("Label1")->text(),
                 QStringLiteral("See the Readme.txt for help infromation."));
    }

    void splashGivesWayAfterFourSecondsOnce()
    {
        QElapsedTimer sinceStart;
        sinceStart.start();
        Main();
        QTRY_VERIFY_WITH_TIMEOUT(Forms::isLoaded(Form::Main1) && frmMain1().isVisible(), 30000);
        // Never before its time; a slow machine only makes it later. Qt's timers of this
        // length may fire up to 5% early.
        QVERIFY2(sinceStart.elapsed() >= 3800, qPrintable(QString::number(sinceStart.elapsed())));
        QVERIFY(!frmSplash().isVisible());
        QVERIFY(Forms::isLoaded(Form::Splash)); // hidden, still loaded
        QVERIFY(!frmSplash().Timer1()->isActive());
    }

    void splashGivesWayTo_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("key press") << QStringLiteral("key");
        QTest::newRow("escape") << QStringLiteral("escape");
        QTest::newRow("click on a label") << QStringLiteral("lblVersion");
        QTest::newRow("click on the product name") << QStringLiteral("lblProductName");
        QTest::newRow("click on the frame") << QStringLiteral("Frame1");
    }
    void splashGivesWayTo()
    {
        QFETCH(QString, how);
        Main();
        FrmSplash &splash = frmSplash();
        if (how == QLatin1String("key"))
            QTest::keyClick(&splash, Qt::Key_A);
        else if (how == QLatin1String("escape"))
            QTest::keyClick(&splash, Qt::Key_Escape);
        else
            QTest::mouseClick(splash.findChild<QWidget *>(how), Qt::LeftButton, {}, QPoint(2, 2));
        QVERIFY(frmMain1().isVisible());
        QVERIFY(!splash.isVisible());
        QVERIFY(!splash.Timer1()->isActive()); // no second hand-over later
    }

    void clickOnThePictureDoesNothing()
    {
        Main();
        FrmSplash &splash = frmSplash();
        QTest::mouseClick(splash.findChild<QWidget *>(QStringLiteral("Picture1")), Qt::LeftButton,
                          {}, QPoint(5, 5));
        QVERIFY(splash.isVisible());
        QVERIFY(splash.Timer1()->isActive());
        QVERIFY(!Forms::isLoaded(Form::Main1));
    }

    void aboutShowsTheSplashUntilDismissed()
    {
        Main();
        frmSplash().DismissSplash();
        FrmMain1 &page1 = frmMain1();
        auto *about = page1.findChild<QPushButton *>(QStringLiteral("About"));
        about->click();
        about->click(); // twice: still the one window
        QVERIFY(frmSplash().isVisible());
        QVERIFY(page1.isVisible());
        QVERIFY(!frmSplash().Timer1()->isActive());
        QCOMPARE(splashLabel("lblVersion")->text(), kVersionShown);
        QTest::keyClick(&frmSplash(), Qt::Key_Space);
        QVERIFY(!frmSplash().isVisible());
        QVERIFY(page1.isVisible());
    }

    void cancelSavesSettingsAndUnloadsInOrder()
    {
        Main();
        frmSplash().DismissSplash();
        FrmMain1 &page1 = frmMain1();
        page1.cboTransfer()->setCurrentIndex(2);
        page1.txtFile()->setText(QStringLiteral("params.jxf"));
        page1.cboPort()->setCurrentIndex(3);
        page1.cboBaudRate()->setCurrentIndex(8);
        QDir::setCurrent(m_windir.path());

        frmMain3(); // loaded, never shown: unloaded all the same
        QList<int> unloadedAt;
        QList<Form> order;
        QByteArray savedWhenPage1Went;
        Forms::setLastUnloadedHook([&] { unloadedAt.append(Forms::loadedCount()); });
        Forms::setUnloadObserver([&](Form form) {
            order.append(form);
            if (form == Form::Main1) {
                QFile saved(settingsPath());
                if (saved.open(QIODevice::ReadOnly))
                    savedWhenPage1Went = saved.readAll();
            }
        });
        QTest::keyClick(&page1, Qt::Key_Escape);
        Forms::setLastUnloadedHook({});
        Forms::setUnloadObserver({});
        QCOMPARE(unloadedAt, QList<int>{0}); // the program's end is signalled once, at the end
        QCOMPARE(order, (QList<Form>{Form::Main1, Form::Main3, Form::Splash}));
        QVERIFY(savedWhenPage1Went.startsWith("2\r\nparams.jxf\r\n")); // saved before
        QVERIFY(!Forms::isLoaded(Form::Main1));
        QVERIFY(!Forms::isLoaded(Form::Splash));

        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "2\r\nparams.jxf\r\n3\r\n8\r\n" +
                                     QDir::toNativeSeparators(m_windir.path()).toLocal8Bit() +
                                     "\r\n");
    }

    void nextStartRestoresChoicesAndDirectory()
    {
        const QString dir = m_windir.path();
        writeSettings("1\r\n/x/drive1.jxf\r\n7\r\n2\r\n" + dir.toLocal8Bit() + "\r\n");
        Main();
        QVERIFY(Forms::isLoaded(Form::Main1)); // created hidden by the settings
        FrmMain1 &page1 = frmMain1();
        QVERIFY(!page1.isVisible());
        QCOMPARE(page1.cboTransfer()->currentIndex(), 1);
        QCOMPARE(page1.txtFile()->text(), QStringLiteral("/x/drive1.jxf"));
        QCOMPARE(page1.cboPort()->currentText(), QStringLiteral("COM8"));
        QCOMPARE(page1.cboBaudRate()->currentText(), QStringLiteral("1200"));
        QCOMPARE(QDir::currentPath(), dir);
    }

    void badLinesLeaveTheirDefaults()
    {
        // Port line 9 (no tenth port) and a directory that does not exist.
        writeSettings("2\r\nf.jxf\r\n9\r\n-1\r\n/no/such/dir\r\n");
        Main();
        FrmMain1 &page1 = frmMain1();
        QCOMPARE(page1.cboTransfer()->currentText(), QStringLiteral("JXF transfer, (PC -> Drive)"));
        QCOMPARE(page1.cboPort()->currentIndex(), 0);
        QCOMPARE(page1.cboBaudRate()->currentIndex(), -1);
        QCOMPARE(QDir::currentPath(), m_startDir);
        // The list left without a choice is written back as -1.
        ExitApplication();
        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().startsWith("2\r\nf.jxf\r\n0\r\n-1\r\n"));
    }

    void unwritableSettingsStillEnd()
    {
        qputenv("windir", "/proc/no-such-folder");
        Main();
        frmSplash().DismissSplash();
        frmMain1().findChild<QPushButton *>(QStringLiteral("Cancel"))->click();
        qputenv("windir", m_windir.path().toLocal8Bit());
        QCOMPARE(Forms::loadedCount(), 0);
    }

    void titleBarCloseEndsTheProgram()
    {
        Main();
        frmSplash().DismissSplash();
        frmMain1().close();
        QCOMPARE(Forms::loadedCount(), 0);
        QVERIFY(QFile::exists(settingsPath()));
    }
};

QTEST_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
