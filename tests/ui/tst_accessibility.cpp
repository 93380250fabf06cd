// Every control of every window has a name a screen reader can say.
#include "common/uitest.h"
#include "transfer/transfersession.h"
#include "ui/frmmain1.h"
#include "ui/frmmain2.h"
#include "ui/frmmain3.h"
#include "ui/frmreport.h"
#include "ui/frmsplash.h"
#include "ui/wizardpage.h"

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QComboBox>
#include <QTest>

namespace {

QString accessibleName(QWidget *widget)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? iface->text(QAccessible::Name).trimmed() : QString();
}

QStringList unnamedControls(QWidget *window)
{
    QStringList unnamed;
    if (accessibleName(window).isEmpty())
        unnamed.append(window->objectName() + QStringLiteral(" (the window)"));
    for (QWidget *child : window->findChildren<QWidget *>()) {
        if (child->isWindow() || isInnerPart(child))
            continue;
        if (accessibleName(child).isEmpty())
            unnamed.append(child->objectName() + QLatin1Char(' ') +
                           QLatin1String(child->metaObject()->className()));
    }
    return unnamed;
}

enum class Window { Page1, Page2, Page3, Splash, Report };

QWidget *load(Window window, int transferType)
{
    switch (window) {
    case Window::Page1:
        return &frmMain1();
    case Window::Page2:
        frmMain2().prepareFor(static_cast<qint16>(transferType));
        return &frmMain2();
    case Window::Page3:
        return &frmMain3();
    case Window::Splash:
        return &frmSplash();
    case Window::Report:
        return &frmReport();
    }
    return nullptr;
}

} // namespace

Q_DECLARE_METATYPE(Window)

class TestAccessibility : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        unloadAllWindows();
        QVERIFY2(noWindowLeft(), "a window was left loaded");
    }

    void everyControlIsNamed_data()
    {
        QTest::addColumn<Window>("window");
        QTest::addColumn<int>("transferType");
        QTest::newRow("page 1") << Window::Page1 << 0;
        QTest::newRow("page 2, MMI dump") << Window::Page2 << 0;
        QTest::newRow("page 2, JXF from drive") << Window::Page2 << 1;
        QTest::newRow("page 2, JXF to drive") << Window::Page2 << 2;
        QTest::newRow("page 3") << Window::Page3 << 0;
        QTest::newRow("splash") << Window::Splash << 0;
        QTest::newRow("report") << Window::Report << 0;
    }
    void everyControlIsNamed()
    {
        QFETCH(Window, window);
        QFETCH(int, transferType);
        MessageRecorder messages;
        transferSession().state().sFileName = QStringLiteral("/home/engineer/params.jxf");
        QWidget *widget = load(window, transferType);
        QVERIFY(widget);
        widget->show();
        QVERIFY(QTest::qWaitForWindowExposed(widget));
        const QStringList unnamed = unnamedControls(widget);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
    }

    // Lists, boxes and bars are named after the caption beside them.
    void inputsTakeTheirCaption_data()
    {
        QTest::addColumn<Window>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::newRow("transfer") << Window::Page1 << "cboTransfer"
                                  << "Type of Transfer";
        QTest::newRow("file") << Window::Page1 << "txtFile"
                              << "File";
        QTest::newRow("port") << Window::Page1 << "cboPort"
                              << "Port";
        QTest::newRow("baud") << Window::Page1 << "cboBaudRate"
                              << "Baud Rate";
        QTest::newRow("progress") << Window::Page3 << "ProgressBar1"
                                  << "Progress";
    }
    void inputsTakeTheirCaption()
    {
        QFETCH(Window, window);
        QFETCH(QString, control);
        auto *widget = load(window, 0)->findChild<QWidget *>(control);
        QVERIFY(widget);
        QTEST(widget->accessibleName(), "name");
        // What a screen reader reads as the control's label.
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(iface);
        const auto labels = iface->relations(QAccessible::Label);
        QCOMPARE(labels.size(), 1);
        QFETCH(QString, name);
        QVERIFY(labels.first().first->text(QAccessible::Name).contains(name));
    }

    void nameWithoutACaption_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("objectName");
        QTest::addColumn<QString>("name");
        QTest::newRow("caption wins") << "   Baud Rate:"
                                      << "cboBaudRate"
                                      << "Baud Rate";
        QTest::newRow("kind dropped") << ""
                                      << "cboBaudRate"
                                      << "Baud Rate";
        QTest::newRow("number dropped") << ""
                                        << "ProgressBar1"
                                        << "Progress Bar";
        QTest::newRow("all lower case") << ""
                                        << "status"
                                        << "status";
    }
    void nameWithoutACaption()
    {
        QFETCH(QString, caption);
        QFETCH(QString, objectName);
        QTEST(accessibleNameFor(caption, objectName), "name");
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
