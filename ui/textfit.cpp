#include "ui/textfit.h"

#include <QAbstractButton>
#include <QEvent>
#include <QFont>
#include <QHash>
#include <QLabel>
#include <QtMath>

#include <algorithm>
#include <optional>

namespace {

// A frame that only holds controls, as the splash window's does.
bool isHolder(const QWidget *widget)
{
    return widget->metaObject() == &QFrame::staticMetaObject;
}

// What a label's lines need. A text that starts at the left edge may pass
// the right one by a fraction of a pixel: that is only the blank its last
// glyph leaves after it (a colon's), never a visible part of the text.
QSize textSize(const QLabel *label)
{
    const QSizeF text = QFontMetricsF(label->font()).size(0, label->text());
    const bool leftAligned = (label->alignment() & Qt::AlignHorizontal_Mask) == Qt::AlignLeft;
    const int m = 2 * label->margin();
    return QSize((leftAligned ? int(text.width()) : qCeil(text.width())) + m,
                 qCeil(text.height()) + m) +
           label->size() - label->contentsRect().size();
}

// The size a control's text needs, for a box the given width wide; an empty
// size for a control with no text of its own to fit.
QSize measure(const QWidget *control, int width)
{
    if (const auto *label = qobject_cast<const QLabel *>(control)) {
        if (label->text().isEmpty())
            return {};
        if (!label->wordWrap())
            return textSize(label);
        // Lines the design breaks: each word must fit a line, the lines the box.
        const int wide = std::max(width, label->minimumSizeHint().width());
        return {wide, label->heightForWidth(wide)};
    }
    if (qobject_cast<const QAbstractButton *>(control))
        return control->sizeHint();
    return {};
}

bool growsLeft(const QWidget *control)
{
    const auto *label = qobject_cast<const QLabel *>(control);
    return label &&
           ((label->alignment() & Qt::AlignRight) || label->text().startsWith(QLatin1Char(' ')));
}

QRect transposed(const QRect &r)
{
    return {r.y(), r.x(), r.height(), r.width()};
}

// Widens the box by extra pixels, as far as the boxes beside it (those that
// share some of its rows) and the area's edges leave room: first on one side,
// then on the other. A box the design already overlaps is not in the way.
QRect widen(const QRect &box, int extra, bool leftFirst, const QList<QRect> &others,
            const QRect &area)
{
    int left = box.left() - area.left();
    int right = area.right() - box.right();
    for (const QRect &other : others) {
        if (other.bottom() < box.top() || other.top() > box.bottom())
            continue;
        if (other.right() < box.left())
            left = std::min(left, box.left() - other.right() - 1);
        else if (other.left() > box.right())
            right = std::min(right, other.left() - box.right() - 1);
    }
    left = std::max(left, 0);
    right = std::max(right, 0);
    const int first = std::min(extra, leftFirst ? left : right);
    const int second = std::min(extra - first, leftFirst ? right : left);
    return box.adjusted(leftFirst ? -first : -second, 0, leftFirst ? second : first, 0);
}

QRect heighten(const QRect &box, int extra, const QList<QRect> &others, const QRect &area)
{
    QList<QRect> across;
    for (const QRect &other : others)
        across.append(transposed(other));
    return transposed(widen(transposed(box), extra, false, across, transposed(area)));
}

// What a window's fitting remembers of each control: the box the window
// placed it in, the one the last fitting gave it, and what its text needed
// then. A window fits again whenever a text changes, page 3's count a few
// times a second all through a transfer: only a text or font that changed is
// measured again.
class Fitter : public QObject
{
public:
    explicit Fitter(QWidget *window)
        : QObject(window)
        , m_window(window)
    {
        setObjectName(QStringLiteral("TextFit"));
    }

    static Fitter *of(QWidget *window)
    {
        // Found by name: Qt's typed search wants a meta-object, which this
        // helper has no use for.
        auto *fitter = dynamic_cast<Fitter *>(
            window->findChild<QObject *>(QStringLiteral("TextFit"), Qt::FindDirectChildrenOnly));
        return fitter ? fitter : new Fitter(window);
    }

    // Fits the controls of one window or frame in turn, each around the
    // boxes the others have by then, so two never grow into the same space.
    void fitChildren(QWidget *holder)
    {
        QList<QWidget *> controls;
        QList<QRect> boxes;
        for (QWidget *child : holder->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (child->isWindow())
                continue;
            controls.append(child);
            boxes.append(placedBox(child));
        }
        for (qsizetype i = 0; i < controls.size(); ++i) {
            QList<QRect> others = boxes;
            others.removeAt(i);
            boxes[i] = fitted(controls.at(i), boxes.at(i), others, holder->rect());
        }
        for (qsizetype i = 0; i < controls.size(); ++i) {
            QWidget *control = controls.at(i);
            m_entries[control].fitted = boxes.at(i);
            if (control->geometry() != boxes.at(i))
                control->setGeometry(boxes.at(i));
            if (isHolder(control))
                fitChildren(control);
        }
    }

    void watch(QWidget *holder)
    {
        holder->installEventFilter(this);
        for (QWidget *child : holder->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (isHolder(child))
                watch(child);
        }
    }

protected:
    // A control whose text changes asks its window (or frame) for a new layout.
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::LayoutRequest:
        case QEvent::FontChange:
        case QEvent::StyleChange:
        case QEvent::Show:
            fitChildren(m_window);
            break;
        default:
            break;
        }
        return false;
    }

private:
    struct Entry
    {
        QRect placed;
        std::optional<QRect> fitted;
        // The text, font and width the size was measured for.
        bool measured = false;
        QString text;
        QFont font;
        int width = -1;
        QSize size;
    };

    // What the window means the box to be: the control's box now, unless it
    // is still the one the last fitting gave it.
    QRect placedBox(QWidget *control)
    {
        Entry &entry = m_entries[control];
        if (entry.fitted != control->geometry())
            entry.placed = control->geometry();
        return entry.placed;
    }

    QSize needed(const QWidget *control, int width)
    {
        const auto *label = qobject_cast<const QLabel *>(control);
        if (!label)
            return measure(control, width);
        Entry &entry = m_entries[control];
        // Compared as fonts, not by their keys: a key is a long string made
        // anew for every label at every fitting.
        const QFont &font = label->font();
        const int measuredWidth = label->wordWrap() ? width : -1;
        if (!entry.measured || entry.text != label->text() || entry.font != font ||
            entry.width != measuredWidth) {
            entry.measured = true;
            entry.text = label->text();
            entry.font = font;
            entry.width = measuredWidth;
            entry.size = measure(control, width);
        }
        return entry.size;
    }

    QRect fitted(const QWidget *control, QRect box, const QList<QRect> &others, const QRect &area)
    {
        const QSize wide = needed(control, box.width());
        if (wide.width() > box.width())
            box = widen(box, wide.width() - box.width(), growsLeft(control), others, area);
        const int tall = needed(control, box.width()).height();
        if (tall > box.height())
            box = heighten(box, tall - box.height(), others, area);
        return box;
    }

    QWidget *m_window;
    QHash<const QWidget *, Entry> m_entries;
};

} // namespace

namespace TextFit {

void keep(QWidget *window)
{
    Fitter *fitter = Fitter::of(window);
    fitter->fitChildren(window);
    fitter->watch(window);
}

void fit(QWidget *window)
{
    Fitter::of(window)->fitChildren(window);
}

} // namespace TextFit
