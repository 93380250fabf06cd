#pragma once

#include "transfer/transferview.h"

#include <functional>
#include <QStringList>

// Page 3 as the loop sees it: records every call in order, as text, and keeps
// what the page would show.
class FakeView : public TransferView
{
public:
    static constexpr auto kUnset = "(as before)";

    QStringList calls;
    QString status = QLatin1String(kUnset);
    QString byteCount = QLatin1String(kUnset);
    QString percent = QLatin1String(kUnset);
    QString finishCaption;
    int progress = -1;
    bool backEnabled = true;
    bool reportEnabled = true;
    QStringList messages;
    QList<bool> messageCritical;
    // Runs after each call is recorded.
    std::function<void(const QString &call)> onCall;

    // The texts of every call that starts with prefix, in order, prefix removed.
    QStringList callsOf(const QString &prefix) const
    {
        QStringList found;
        for (const QString &call : calls) {
            if (call.startsWith(prefix))
                found.append(call.mid(prefix.size()));
        }
        return found;
    }

    void setLabel(ViewLabel label, const QString &text) override
    {
        QString &target = label == ViewLabel::Status      ? status
                          : label == ViewLabel::ByteCount ? byteCount
                                                          : percent;
        target = text;
        record(name(label) + QLatin1Char('=') + text);
    }
    void repaintLabel(ViewLabel label) override
    {
        record(QStringLiteral("repaint:") + name(label));
    }
    void repaintPage() override { record(QStringLiteral("repaintPage")); }
    void setProgress(int value) override
    {
        progress = value;
        record(QStringLiteral("progress=%1").arg(value));
    }
    void setBackEnabled(bool enabled) override
    {
        backEnabled = enabled;
        record(QStringLiteral("back=%1").arg(int(enabled)));
    }
    void setReportEnabled(bool enabled) override
    {
        reportEnabled = enabled;
        record(QStringLiteral("report=%1").arg(int(enabled)));
    }
    void setFinishCaption(const QString &caption) override
    {
        finishCaption = caption;
        record(QStringLiteral("finish=") + caption);
    }
    void showMessage(const QString &text, bool critical) override
    {
        messages.append(text);
        messageCritical.append(critical);
        record(QStringLiteral("message=") + text);
    }

private:
    static QString name(ViewLabel label)
    {
        switch (label) {
        case ViewLabel::Status:
            return QStringLiteral("status");
        case ViewLabel::ByteCount:
            return QStringLiteral("count");
        case ViewLabel::Percent:
            return QStringLiteral("percent");
        }
        return QString();
    }
    void record(const QString &call)
    {
        calls.append(call);
        if (onCall)
            onCall(call);
    }
};
