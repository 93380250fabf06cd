#include "cpusampler.h"

#include "driveline.h"

#include <algorithm>
#include <chrono>
#include <ctime>

namespace {
constexpr auto kSampleInterval = std::chrono::milliseconds(1);
} // namespace

CpuSampler::~CpuSampler()
{
    stop();
}

bool CpuSampler::start(pid_t pid)
{
    clockid_t clock{};
    timespec probe{};
    if (::clock_getcpuclockid(pid, &clock) != 0 || ::clock_gettime(clock, &probe) != 0)
        return false;
    m_stop = false;
    m_thread = std::thread([this, clock] { sampleLoop(clock); });
    return true;
}

void CpuSampler::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void CpuSampler::sampleLoop(clockid_t clock)
{
    while (!m_stop) {
        timespec used{};
        // An ended process has no clock any more: its samples stop there.
        if (::clock_gettime(clock, &used) != 0)
            return;
        m_samples.emplace_back(benchNow(), double(used.tv_sec) + double(used.tv_nsec) / 1e9);
        std::this_thread::sleep_for(kSampleInterval);
    }
}

double CpuSampler::cpuAt(double at) const
{
    const auto after =
        std::lower_bound(m_samples.begin(), m_samples.end(), at,
                         [](const std::pair<double, double> &s, double t) { return s.first < t; });
    if (after == m_samples.begin() || after == m_samples.end())
        return -1;
    const auto before = after - 1;
    const double share = (at - before->first) / (after->first - before->first);
    return before->second + share * (after->second - before->second);
}
