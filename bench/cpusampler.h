#pragma once

#include <atomic>
#include <ctime>
#include <sys/types.h>
#include <thread>
#include <utility>
#include <vector>

// Another process's CPU time, read from outside through the kernel's clock
// for that process (every thread, those already ended too, in nanoseconds)
// about every millisecond on a thread of its own, so that the CPU spent
// between any two moments of a run can be read afterwards.
class CpuSampler
{
public:
    CpuSampler() = default;
    ~CpuSampler();
    CpuSampler(const CpuSampler &) = delete;
    CpuSampler &operator=(const CpuSampler &) = delete;

    bool start(pid_t pid);
    void stop();
    // CPU seconds the process had used at the moment at (benchNow()),
    // between the two samples around it; -1 outside what was sampled.
    double cpuAt(double at) const;

private:
    void sampleLoop(clockid_t clock);

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    // (benchNow(), CPU seconds); read only after stop().
    std::vector<std::pair<double, double>> m_samples;
};
