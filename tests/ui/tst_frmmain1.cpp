// Page 1 through its real controls.
#include "common/pageone.h"
#include "common/pty.h"
#include "common/uitest.h"
#include "transfer/portnames.h"
#include "transfer/transfersession.h"
#include "ui/commondialog.h"
#include "ui/frmmain1.h"
#include "ui/frmsplash.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class TestFrmMain1 : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_windir;
    QString m_startDir;

    FrmMain1 &shownPage()
    {
        FrmMain1 &page = frmMain1();
        page.showPage();
        return page;
    }
    QPushButton *button(const char *name)
    {
        return frmMain1().findChild<QPushButton *>(QString::fromLatin1(name));
    }
    // COM ports of these tests lead nowhere, so Next always comes back.
    void mapPortsNowhere()
    {
        QDir().mkpath(m_windir.filePath(QStringLiteral("dosdevices")));
        for (int n = 1; n <= 8; ++n) {
            const QString link = m_windir.filePath(QStringLiteral("dosdevices/com%1").arg(n));
            QFile::remove(link);
            QVERIFY(QFile::link(QStringLiteral("/nonexistent/tty%1").arg(n), link));
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("windir", m_windir.path().toLocal8Bit());
        m_startDir = QDir::currentPath();
        mapPortsNowhere();
    }
    void init() { transferSession().state() = TransferState{}; }
    void cleanup()
    {
        CommonDialog::setResponder({});
        unloadAllWindows();
        QDir::setCurrent(m_startDir);
        QVERIFY2(noWindowLeft(), "a window was left loaded");
    }

    void defaultsAndLists()
    {
        FrmMain1 &page = frmMain1();
        QCOMPARE(page.windowTitle(), QStringLiteral("Quillet  (page 1 of 3)"));
        QCOMPARE(page.cboTransfer()->count(), 3);
        QCOMPARE(page.cboTransfer()->itemText(0), QStringLiteral("MMI Dump, (Drive -> PC)"));
        QCOMPARE(page.cboTransfer()->itemText(1), QStringLiteral("JXF transfer, (Drive -> PC)"));
        QCOMPARE(page.cboTransfer()->itemText(2), QStringLiteral("JXF transfer, (PC -> Drive)"));
        QCOMPARE(page.cboPort()->count(), 8);
        QCOMPARE(page.cboPort()->itemText(7), QStringLiteral("COM8"));
        QStringList bauds;
        for (int i = 0; i < page.cboBaudRate()->count(); ++i)
            bauds.append(page.cboBaudRate()->itemText(i));
        QCOMPARE(bauds, QStringList({"300", "600", "1200", "2400", "4800", "9600", "19200", "38400",
                                     "57600"}));
        QCOMPARE(page.cboTransfer()->currentIndex(), 0);
        QCOMPARE(page.cboPort()->currentIndex(), 0);
        QCOMPARE(page.cboBaudRate()->currentText(), QStringLiteral("9600"));
        QVERIFY(page.txtFile()->text().isEmpty());
        QVERIFY(!page.abort);
    }

    // Every button, list and text box says what it is for.
    void everyControlHasATooltip()
    {
        QStringList kinds;
        QStringList without;
        for (QWidget *control : frmMain1().findChildren<QWidget *>()) {
            const char *kind = qobject_cast<QPushButton *>(control) ? "button"
                               : qobject_cast<QComboBox *>(control) ? "list"
                               : qobject_cast<QLineEdit *>(control) ? "text box"
                                                                    : nullptr;
            // A list's own inner parts are Qt's, not the page's.
            if (!kind || qobject_cast<QComboBox *>(control->parentWidget()))
                continue;
            kinds.append(QLatin1String(kind));
            if (control->toolTip().trimmed().isEmpty())
                without.append(control->objectName());
        }
        for (const char *kind : {"button", "list", "text box"})
            QVERIFY2(kinds.contains(QLatin1String(kind)), kind);
        QVERIFY2(without.isEmpty(), qPrintable(without.join(QLatin1String(", "))));
    }

    // Each COM entry says where it leads and what is there, in the words of
    // quillet-cli ports, as of the page's showing or the list's opening.
    void portEntriesSayWhereTheyLead()
    {
        FrmMain1 &page = shownPage();
        const auto tip = [&page](int index) {
            return page.cboPort()->itemData(index, Qt::ToolTipRole).toString();
        };
        for (int index = 0; index < 8; ++index)
            QCOMPARE(tip(index), QStringLiteral("/nonexistent/tty%1, missing").arg(index + 1));
        Pty pty;
        QVERIFY(linkCom(m_windir.path(), 2, pty.slave()));
        page.cboPort()->showPopup();
        QCOMPARE(tip(1), pty.slave() + QStringLiteral(", present"));
        page.cboPort()->hidePopup();
        mapPortsNowhere();
        page.hide();
        page.showPage();
        QCOMPARE(tip(1), QStringLiteral("/nonexistent/tty2, missing"));
    }

    void pictureIsTheSharedWizardPicture()
    {
        auto *picture = frmMain1().findChild<QLabel *>("Picture2");
        QVERIFY(picture);
        QCOMPARE(picture->pixmap().size(), QSize(69, 83));
        auto *splashPicture = frmSplash().findChild<QLabel *>("Picture1");
        QCOMPARE(splashPicture->pixmap().toImage(), picture->pixmap().toImage());
    }

    void emptyNameIsRefusedAndPageStays()
    {
        MessageRecorder messages;
        FrmMain1 &page = shownPage();
        transferSession().state().sFileName = QStringLiteral("untouched");
        QTest::keyClick(page.txtFile(), Qt::Key_Return); // Enter presses Next
        QCOMPARE(messages.texts(), QStringList{"No filename specified. Unable to open file."});
        QCOMPARE(messages.shown.first().icon, MsgBox::Icon::Critical);
        QCOMPARE(messages.shown.first().title, QStringLiteral("Quillet"));
        QVERIFY(page.isVisible());
        QCOMPARE(transferSession().state().sFileName, QStringLiteral("untouched"));
    }

    void nextCopiesChoices_data()
    {
        QTest::addColumn<int>("transfer");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("baud");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("portNumber");
        QTest::addColumn<int>("baudRate");
        QTest::newRow("defaults") << 0 << 0 << 5 << "/tmp/a.mmi" << 1 << 9600;
        QTest::newRow("COM8 at 57600") << 2 << 7 << 8 << "/tmp/b.jxf" << 8 << 57600;
        QTest::newRow("blanks only are a name") << 1 << 2 << 0 << "   " << 3 << 300;
    }
    void nextCopiesChoices()
    {
        QFETCH(int, transfer);
        QFETCH(int, port);
        QFETCH(int, baud);
        QFETCH(QString, file);
        MessageRecorder messages;
        FrmMain1 &page = shownPage();
        page.cboTransfer()->setCurrentIndex(transfer);
        page.cboPort()->setCurrentIndex(port);
        page.cboBaudRate()->setCurrentIndex(baud);
        page.txtFile()->setText(file);
        button("Next")->click();
        const TransferState &state = transferSession().state();
        QCOMPARE(int(state.iTransferType), transfer);
        QTEST(int(state.iPortNumber), "portNumber");
        QTEST(int(state.lBaudRate), "baudRate");
        QCOMPARE(state.sFileName, file);
        // The port leads nowhere: its message, then page 1 back as it was.
        QCOMPARE(messages.texts(),
                 QStringList{PageOne::serialMessage(PortNames::deviceForPort(qint16(port + 1)) +
                                                    QStringLiteral(", missing"))});
        QVERIFY(page.abort);
        QVERIFY(page.isVisible());
        QCOMPARE(page.txtFile()->text(), file);
        QCOMPARE(page.cboPort()->currentIndex(), port);
    }

    void listsWithoutChoiceAskForOne()
    {
        MessageRecorder messages;
        FrmMain1 &page = shownPage();
        page.txtFile()->setText(QStringLiteral("/tmp/x.jxf"));
        page.cboBaudRate()->setCurrentIndex(-1);
        button("Next")->click();
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY(page.isVisible());
        QCOMPARE(transferSession().state().lBaudRate, 0); // nothing copied
    }

    void escapeEndsTheProgram()
    {
        FrmMain1 &page = shownPage();
        QTest::keyClick(&page, Qt::Key_Escape);
        QVERIFY(!Forms::isLoaded(Form::Main1));
        QVERIFY(QFile::exists(m_windir.filePath(QStringLiteral("jxf.ini"))));
    }

    void browseFilterFollowsTheKind_data()
    {
        QTest::addColumn<int>("transfer");
        QTest::addColumn<QString>("filter");
        QTest::newRow("MMI dump") << 0 << "MMI Files (*.MMI)";
        QTest::newRow("JXF from drive") << 1 << "JXF Files (*.JXF)";
        QTest::newRow("JXF to drive") << 2 << "JXF Files (*.JXF)";
    }
    void browseFilterFollowsTheKind()
    {
        QFETCH(int, transfer);
        FrmMain1 &page = shownPage();
        page.cboTransfer()->setCurrentIndex(transfer);
        QString seenFilter;
        QStringList seenFilters;
        QString seenDir;
        CommonDialog::setResponder([&](QFileDialog &dialog) {
            seenFilter = dialog.selectedNameFilter();
            seenFilters = dialog.nameFilters();
            seenDir = dialog.directory().absolutePath();
            return false;
        });
        button("Open")->click();
        QTEST(seenFilter, "filter");
        QCOMPARE(seenFilters,
                 QStringList({"All Files (*.*)", "JXF Files (*.JXF)", "MMI Files (*.MMI)"}));
        QCOMPARE(seenDir, QDir::currentPath());
        QCOMPARE(int(transferSession().state().iTransferType), transfer);
    }

    // A file to receive into need not exist yet: its name is typed into the
    // dialog as on any other desktop.
    void browseTakesANewFileName()
    {
        FrmMain1 &page = shownPage();
        QTemporaryDir folder;
        QDir::setCurrent(folder.path());
        bool ownDialog = false;
        CommonDialog::setResponder([&](QFileDialog &dialog) {
            ownDialog = dialog.testOption(QFileDialog::DontUseNativeDialog);
            dialog.open();
            auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            if (!name)
                return false;
            QTest::keyClicks(name, QStringLiteral("new unit.mmi"));
            QTest::keyClick(name, Qt::Key_Return);
            return !dialog.isVisible() && dialog.result() == QDialog::Accepted;
        });
        button("Open")->click();
        QVERIFY2(ownDialog, "a desktop's open dialog refuses a name that does not exist");
        QCOMPARE(page.txtFile()->text(),
                 QDir::toNativeSeparators(folder.filePath(QStringLiteral("new unit.mmi"))));
        QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("new unit.mmi"))));
    }

    void browseCancelWritesBackTheLastConfirmedName()
    {
        FrmMain1 &page = shownPage();
        page.txtFile()->setText(QStringLiteral("typed.jxf"));
        CommonDialog::setResponder([](QFileDialog &) { return false; });
        button("Open")->click();
        QVERIFY(page.txtFile()->text().isEmpty()); // nothing confirmed yet in this run
        QVERIFY(transferSession().state().sFileName.isEmpty());

        QTemporaryDir other;
        const QString chosen = other.filePath(QStringLiteral("drive7.jxf"));
        CommonDialog::setResponder([&](QFileDialog &dialog) {
            dialog.selectFile(chosen);
            return true;
        });
        button("Open")->click();
        QCOMPARE(page.txtFile()->text(), QDir::toNativeSeparators(chosen));
        QCOMPARE(QDir::currentPath(), other.path()); // the chosen folder is the working one

        page.txtFile()->setText(QStringLiteral("typed again.jxf"));
        CommonDialog::setResponder([](QFileDialog &) { return false; });
        button("Open")->click();
        QCOMPARE(page.txtFile()->text(), QDir::toNativeSeparators(chosen));
        QCOMPARE(transferSession().state().sFileName, QDir::toNativeSeparators(chosen));
    }
};

QTEST_MAIN(TestFrmMain1)
#include "tst_frmmain1.moc"
