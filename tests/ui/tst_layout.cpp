// Every window as the user sees it, whatever face the system gives for the
// fonts the windows ask for and whatever the screen's scale (ctest runs this
// with the metric-compatible fonts and with DejaVu alone, at scales 1, 1.5
// and 2): each text whole in its box and on one line unless the design breaks
// it, no control over another, and the keyboard's order the design's.
#include "common/uitest.h"
#include "transfer/transferloop.h"
#include "transfer/transfersession.h"
#include "ui/fonts.h"
#include "ui/frmmain1.h"
#include "ui/frmmain2.h"
#include "ui/frmmain3.h"
#include "ui/frmreport.h"
#include "ui/frmsplash.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QtMath>

namespace {

enum class Window { Page1, Page2Mmi, Page2ToDrive, Page3Running, Page3Ended, Splash, Report };

QWidget *load(Window window)
{
    switch (window) {
    case Window::Page1:
        return &frmMain1();
    case Window::Page2Mmi:
    case Window::Page2ToDrive:
        // The longest name the page shows whole.
        transferSession().state().sFileName =
            QStringLiteral("/srv/plant/line 1/cabinet 7/unit.mmi");
        frmMain2().prepareFor(window == Window::Page2Mmi ? TransferType::kMmiDump
                                                         : TransferType::kJxfToDrive);
        return &frmMain2();
    case Window::Page3Running:
    case Window::Page3Ended:
        return &frmMain3();
    case Window::Splash:
        return &frmSplash();
    case Window::Report:
        return &frmReport();
    }
    return nullptr;
}

// Page 3 as the loop leaves it, once it is on screen; the largest count a run can reach.
void runTexts(Window window)
{
    if (window != Window::Page3Running && window != Window::Page3Ended)
        return;
    FrmMain3 &page = frmMain3();
    const bool running = window == Window::Page3Running;
    page.setFinishCaption(running ? TransferText::kCancelCaption : TransferText::kFinishCaption);
    page.setLabel(ViewLabel::Status, running ? TransferText::kRetrying : TransferText::kTimeout);
    page.setLabel(ViewLabel::Percent, TransferText::kFullPercent);
    page.setLabel(ViewLabel::ByteCount, QStringLiteral(" 2147483647"));
    page.repaintPage();
}

// Where a text lies when laid out in the room it has, as the control paints
// it. A text that starts at the left edge may pass the right one by a
// fraction of a pixel: that is the blank after its last glyph, not a cut.
QRect textAt(const QWidget *control, const QString &text, const QRect &room, int flags)
{
    const QRectF at = QFontMetricsF(control->font()).boundingRect(room, flags, text);
    const bool fromLeft = (flags & Qt::AlignHorizontal_Mask) == Qt::AlignLeft;
    return {qFloor(at.left()), qFloor(at.top()), fromLeft ? int(at.width()) : qCeil(at.width()),
            qCeil(at.height())};
}

// Each text a control shows, where it lies, and the room it has.
QList<std::pair<QRect, QRect>> textsOf(const QWidget *control)
{
    QStyle *style = control->style();
    if (const auto *label = qobject_cast<const QLabel *>(control)) {
        const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        return {
            {textAt(label, label->text(), label->contentsRect(), flags), label->contentsRect()}};
    }
    if (const auto *button = qobject_cast<const QPushButton *>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        const QRect room = style->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        return {{textAt(button, button->text(), room, Qt::AlignCenter), room}};
    }
    QList<std::pair<QRect, QRect>> items;
    if (const auto *list = qobject_cast<const QComboBox *>(control)) {
        QStyleOptionComboBox option;
        option.initFrom(list);
        const QRect room =
            style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list);
        for (int i = 0; i < list->count(); ++i)
            items.append({textAt(list, list->itemText(i), room, Qt::AlignLeft), room});
    }
    return items;
}

// What of a control the user sees: a label's text or picture, else all of it.
QRect inked(const QWidget *control)
{
    const auto *label = qobject_cast<const QLabel *>(control);
    if (!label)
        return control->geometry();
    const QRect at = label->pixmap().isNull()
                         ? textsOf(label).constFirst().first
                         : QRect(label->contentsRect().topLeft(),
                                 label->pixmap().deviceIndependentSize().toSize());
    return at.intersected(label->contentsRect()).translated(label->pos());
}

// Texts cut or broken over lines the design does not break them into, and
// controls over one another or outside their window or frame.
QStringList faults(QWidget *window, const QStringList &severalLines = {})
{
    QList<QWidget *> controls;
    for (QWidget *child : window->findChildren<QWidget *>()) {
        if (!child->isWindow() && !isInnerPart(child) && child->isVisibleTo(window))
            controls.append(child);
    }
    QStringList found;
    for (QWidget *a : std::as_const(controls)) {
        const QString name = a->objectName();
        for (const auto &[text, room] : textsOf(a)) {
            if (!room.contains(text))
                found.append(QStringLiteral("%1 cut: %2 wide in %3")
                                 .arg(name)
                                 .arg(text.width())
                                 .arg(room.width()));
            if (text.height() > 1.5 * QFontMetricsF(a->font()).lineSpacing() &&
                !severalLines.contains(name))
                found.append(name + QStringLiteral(" breaks its line"));
        }
        // The splash window's frame covers its window, by design.
        if (a->metaObject() != &QFrame::staticMetaObject &&
            !a->parentWidget()->rect().contains(inked(a)))
            found.append(name + QStringLiteral(" leaves its window"));
        for (QWidget *b : std::as_const(controls)) {
            if (a < b && a->parentWidget() == b->parentWidget() && inked(a).intersects(inked(b)))
                found.append(name + QStringLiteral(" over ") + b->objectName());
        }
    }
    return found;
}

// The controls Tab reaches, in order, from the first of the design's.
QStringList tabOrder(QWidget *window, const QString &first)
{
    QStringList order;
    QWidget *start = first.isEmpty() ? window : window->findChild<QWidget *>(first);
    QWidget *w = start;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w != window && !isInnerPart(w) &&
            w->isVisibleTo(window))
            order.append(w->objectName());
        w = w->nextInFocusChain();
    } while (w != start);
    return order;
}

} // namespace

Q_DECLARE_METATYPE(Window)
Q_DECLARE_METATYPE(MsgBox::Buttons)

class TestLayout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // ctest's setups name the face they mean Arial to become; without it
    // installed there is nothing to prove.
    void initTestCase()
    {
        const QString expected = qEnvironmentVariable("QUILLET_EXPECT_FACE");
        const QString face = QFontInfo(Fonts::pageDefault()).family();
        if (!expected.isEmpty() && face != expected)
            QSKIP(qPrintable(expected + QStringLiteral(" is not installed; Arial is ") + face));
    }
    void cleanup()
    {
        unloadAllWindows();
        QVERIFY2(noWindowLeft(), "a window was left loaded");
    }

    void windows_data()
    {
        QTest::addColumn<Window>("window");
        QTest::addColumn<QStringList>("tabOrder");
        QTest::addColumn<QStringList>("severalLines");
        const QStringList page2{"Next", "Cancel", "Back"};
        const QStringList page3{"Finish", "Report", "Back"};
        const QStringList none;
        QTest::newRow("page 1") << Window::Page1
                                << QStringList{"Next",        "Cancel",  "About",       "Open",
                                               "cboTransfer", "cboPort", "cboBaudRate", "txtFile"}
                                << QStringList{"Label1"};
        QTest::newRow("page 2, MMI dump") << Window::Page2Mmi << page2 << none;
        QTest::newRow("page 2, JXF to the drive") << Window::Page2ToDrive << page2 << none;
        QTest::newRow("page 3, running") << Window::Page3Running << page3 << none;
        QTest::newRow("page 3, ended") << Window::Page3Ended << page3 << none;
        QTest::newRow("splash") << Window::Splash << none << none;
        QTest::newRow("report") << Window::Report
                                << QStringList{"txtReport", "cbClose", "cbSave", "cbPrint"} << none;
    }
    void windows()
    {
        QFETCH(Window, window);
        QFETCH(QStringList, tabOrder);
        QFETCH(QStringList, severalLines);
        QWidget *shown = load(window);
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown));
        runTexts(window);
        QCoreApplication::processEvents();
        const QStringList found = faults(shown, severalLines);
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QStringLiteral("; "))));
        QCOMPARE(::tabOrder(shown, tabOrder.value(0)), tabOrder);
        // The keyboard starts at the first control of the order that takes it.
        for (const QString &name : std::as_const(tabOrder)) {
            if (auto *first = shown->findChild<QWidget *>(name); first->isEnabled()) {
                QVERIFY(QTest::qWaitForWindowActive(shown));
                QCOMPARE(QApplication::focusWidget(), first);
                break;
            }
        }
        // The design lines its right-aligned texts up on one edge.
        QSet<int> rightEdges;
        for (QLabel *label : shown->findChildren<QLabel *>()) {
            if (label->alignment() & Qt::AlignRight)
                rightEdges.insert(label->geometry().right());
        }
        QVERIFY(rightEdges.size() <= 1);
    }

    // A font that grows while the window is up: the captions and buttons are
    // fitted again.
    void fontChangedOnScreen()
    {
        FrmMain3 &page = frmMain3();
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QFont larger = page.font();
        larger.setPointSizeF(larger.pointSizeF() * 1.15);
        page.setFont(larger);
        QCoreApplication::processEvents();
        const QStringList found = faults(&page);
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QStringLiteral("; "))));
    }

    void messageBoxes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<MsgBox::Buttons>("buttons");
        QTest::newRow("two lines")
            << MsgBox::twoLines(QStringLiteral("Error on Serial Comms channel."),
                                QStringLiteral("Please select alternative Comms Port."))
            << MsgBox::Buttons::Ok;
        QTest::newRow("question on a long path")
            << MsgBox::replaceQuestion(
                   QStringLiteral("/home/engineer/Projects/Conveyor line 2/Drive data/2026-12-07 "
                                  "commissioning/params unit 7.txt"))
            << MsgBox::Buttons::YesNo;
    }
    void messageBoxes()
    {
        QFETCH(QString, text);
        QFETCH(MsgBox::Buttons, buttons);
        const std::unique_ptr<QMessageBox> box = MsgBox::makeBox(
            {text, MsgBox::Icon::Critical, buttons, true, QStringLiteral("Save As")});
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        const QStringList found = faults(box.get(), {QStringLiteral("qt_msgbox_label")});
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QStringLiteral("; "))));
    }
};

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
