// How soon the program handles what comes to it while a transfer runs: the
// real quillet program in a process of its own, asked by an AT-SPI client as
// a screen reader asks it, during the run and again once it is over.
#include "runs.h"

#include "accessibilityclient.h"
#include "driveline.h"
#include "estimate.h"
#include "program.h"
#include "session.h"

#include "common/wizard.h"

#include <QList>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace BenchSupport;
using namespace BenchProgram;

namespace {

constexpr double kStartDelay = 0.3;
constexpr int kSamples = 150;
constexpr int kTreeEvery = 10; // requests between two reads of the whole tree
constexpr double kAttachSeconds = 15;
// Requests come at no fixed pace, so that they meet every part of the loop's work.
constexpr int kGapMinMs = 2;
constexpr int kGapMaxMs = 20;

struct Samples
{
    QList<double> requests;
    QList<double> trees;
    int nodes = 0;
};

bool closed(DriveLine &line)
{
    const auto events = line.events();
    return std::any_of(events.begin(), events.end(), [](const DriveEvent &event) {
        return event.name == QLatin1String("CLOSED");
    });
}

// Until kSamples requests were answered, or, when during a run, the run ended.
const char *sample(AccessibilityClient &client, Samples &samples, DriveLine *running)
{
    while (samples.requests.size() < kSamples && !(running && closed(*running))) {
        const double ms = client.requestMs();
        if (ms < 0)
            return "no-answer-over-the-accessibility-bus";
        samples.requests.append(ms);
        if (samples.requests.size() % kTreeEvery == 1) {
            const double tree = client.treeMs(&samples.nodes);
            if (tree < 0)
                return "accessible-tree-not-read";
            samples.trees.append(tree);
        }
        std::this_thread::sleep_for(
            std::chrono::milliseconds(QRandomGenerator::global()->bounded(kGapMinMs, kGapMaxMs)));
    }
    return nullptr;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values[values.size() / 2];
}

double highest(const QList<double> &values)
{
    return values.isEmpty() ? -1 : *std::max_element(values.begin(), values.end());
}

// The drive ready on the line and page 1 set for the run.
const char *prepare(DriveLine &line, const Session &session, bool receiving, int baud, int chars)
{
    if (receiving) {
        if (!writeSettings(session, kDumpType, session.path("received.mmi"), baud))
            return "cannot-write-files";
        return startTransmitting(line, session, dumpOfSize(chars), baud, kStartDelay)
                   ? nullptr
                   : "drivesim-did-not-start";
    }
    if (const char *why = startReceiving(line, session, hexFileOfSize(chars), baud))
        return why;
    return writeSettings(session, kSendType, session.path("params.jxf"), baud)
               ? nullptr
               : "cannot-write-files";
}

const char *measureRun(QProcess &program, DriveLine &line, bool receiving, Samples &busy,
                       Samples &idle)
{
    if (const char *why = startAndClickNext(program, true))
        return why;
    AccessibilityClient client;
    if (!client.attach(program.processId(), kAttachSeconds))
        return "program-not-on-the-accessibility-bus";
    if (!receiving) {
        const QString page2 = visibleWindow(QStringLiteral("page 2 of 3"));
        if (page2.isEmpty() || !click(page2, kNextX, kNextY))
            return "no-page-2";
    }
    if (visibleWindow(QStringLiteral("page 3 of 3")).isEmpty())
        return "no-page-3";
    if (const char *why = sample(client, busy, &line))
        return why;
    if (busy.requests.size() < kSamples)
        return "run-ended-before-the-samples";
    if (!line.waitFor(QStringLiteral("CLOSED"), kCloseSeconds * 6))
        return "run-did-not-end";
    return sample(client, idle, nullptr);
}

} // namespace

namespace BenchRuns {

int programLatency(bool receiving, int baud, int chars)
{
    Session session;
    DriveLine line;
    if (const char *why = prepare(line, session, receiving, baud, chars))
        return fail(why);
    QProcess program;
    Samples busy;
    Samples idle;
    const char *why = measureRun(program, line, receiving, busy, idle);
    stopProgram(program);
    if (why)
        return fail(why);
    std::printf("RESULT busyMedian=%.3f busyMax=%.3f idleMedian=%.3f idleMax=%.3f samples=%lld "
                "busyTree=%.3f idleTree=%.3f nodes=%d\n",
                median(busy.requests), highest(busy.requests), median(idle.requests),
                highest(idle.requests), static_cast<long long>(busy.requests.size()),
                median(busy.trees), median(idle.trees), idle.nodes);
    return 0;
}

} // namespace BenchRuns
