#pragma once

// The frame of the end-to-end tests: a settings folder of their own (its
// dosdevices links are where the simulated drive appears as COM1), a fresh
// drive and message recorder for every test, and no window left behind.
// Header-only: window tests only.

#include "common/hexfile.h"
#include "common/pageone.h"
#include "common/wizard.h"

#include <memory>

class WizardFixture
{
protected:
    QTemporaryDir m_windir;
    std::unique_ptr<DriveSimProcess> m_sim;
    std::unique_ptr<MessageRecorder> m_messages;

    QString path(const QString &name) const { return m_windir.filePath(name); }
    bool startSim(const QStringList &arguments) { return m_sim->start(m_windir.path(), arguments); }
    // Any characters with the end record after them: no parameter file, so
    // the windows ask before sending it (see nextSendingAnyway).
    static QByteArray sendable(const QByteArray &payload)
    {
        return payload + "\r\n:00000001FF\r\n";
    }
    // Page 1's Next for a send of a file that is no parameter file (every
    // byte value, to try the line), answering Yes to the question before it
    // as a user who means it does. True when that question, and only it, was
    // asked; it is then taken off the record, so that a test sees what came
    // after it.
    bool nextSendingAnyway(const QString &file, int baudIndex = 8)
    {
        m_messages->answers.push_back(MsgBox::Result::Yes);
        Wizard::next(2, file, baudIndex);
        const bool asked = m_messages->shown.size() == 1 && m_messages->shown.first().text.endsWith(
                                                                QStringLiteral("Send it anyway?"));
        m_messages->shown.clear();
        return asked;
    }
    void expectPageOneBack(const QString &message) { PageOne::expectBack(*m_messages, message); }

    // From the test class's initTestCase, init and cleanup.
    void setUpSuite()
    {
        QVERIFY(m_windir.isValid());
        qputenv("windir", m_windir.path().toLocal8Bit());
        QVERIFY2(!qEnvironmentVariable("QUILLET_DRIVESIM").isEmpty(), "run through ctest");
    }
    void setUp()
    {
        transferSession().state() = TransferState{};
        m_sim = std::make_unique<DriveSimProcess>();
        m_messages = std::make_unique<MessageRecorder>();
    }
    void tearDown()
    {
        m_messages.reset();
        m_sim.reset();
        unloadAllWindows();
        QVERIFY2(noWindowLeft(), "a window was left loaded");
    }
};
