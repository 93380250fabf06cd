// Page 1 through its real controls.
#include "common/uitest.h"
#include "transfer/transfersession.h"
#include "ui/commondialog.h"
#include "ui/frmmain1.h"
#include "ui/frmsplash.h"
#include "ui/twips.h"

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

    void geometryAndTooltips_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("cboTransfer") << "cboTransfer" << QRect(3240, 120, 3135, 315)
                                     << "Select the require method of transfer.";
        QTest::newRow("txtFile") << "txtFile" << QRect(3240, 600, 3135, 315)
                                 << "Enter the path and filename.";
        QTest::newRow("cboPort") << "cboPort" << QRect(3240, 1080, 1215, 315)
                                 << "Select the COM port for communication.";
        QTest::newRow("Open") << "Open" << QRect(5160, 1080, 1215, 375)
                              << "Click to select/create a file.";
        QTest::newRow("cboBaudRate") << "cboBaudRate" << QRect(3240, 1560, 1215, 315)
                                     << "Select the correct baud rate as on the drive.";
        QTest::newRow("About") << "About" << QRect(2520, 2040, 1215, 375)
                               << "Click to display the about screen.";
        QTest::newRow("Next") << "Next" << QRect(3840, 2040, 1215, 375)
                              << "Click to proceed to page 2.";
        QTest::newRow("Cancel") << "Cancel" << QRect(5160, 2040, 1215, 375)
                                << "Click to abort the transfer.";
        QTest::newRow("Label2") << "Label2" << QRect(1920, 600, 1215, 495) << QString();
        QTest::newRow("Picture2") << "Picture2" << QRect(600, 480, 1095, 1335) << QString();
    }
    void geometryAndTooltips()
    {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        QWidget *widget = frmMain1().findChild<QWidget *>(name);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(),
                 Twips::rect(twips.x(), twips.y(), twips.width(), twips.height()));
        QTEST(widget->toolTip(), "toolTip");
        QCOMPARE(frmMain1().size(), Twips::size(6450, 2625));
    }

    void pictureIsTheSharedWizardPicture()
    {
        auto *picture = frmMain1().findChild<QLabel *>("Picture2");
        QVERIFY(picture);
        QCOMPARE(picture->pixmap().size(), QSize(69, 83));
        auto *splashPicture = frmSplash().findChild<QLabel *>("Picture1");
        QCOMPARE(splashPicture->pixmap().toImage(), picture->pixmap().toImage());
    }

    void tabOrderStartsAtNext()
    {
        FrmMain1 &page = shownPage();
        QStringList order;
        QWidget *w = button("Next");
        for (int i = 0; i < 8; ++i, w = w->nextInFocusChain()) {
            while (!(w->focusPolicy() & Qt::TabFocus))
                w = w->nextInFocusChain();
            order.append(w->objectName());
        }
        QCOMPARE(order, QStringList({"Next", "Cancel", "About", "Open", "cboTransfer", "cboPort",
                                     "cboBaudRate", "txtFile"}));
        QVERIFY(button("Next")->isDefault());
        Q_UNUSED(page);
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
        QCOMPARE(messages.texts(), QStringList{"Error on Serial Comms channel.\r"
                                               "Please select alternative Comms Port."});
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
