#include "synth/WorkerPool.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

std::atomic<uint32_t> g_threadSetting{0};
thread_local bool t_insidePart = false;

// Workers wait for a new generation, take part numbers from a shared counter until none is
// left, and check out. A job is published only when no worker is still checked in to the
// previous one, so a late worker can never run an old job's function on a new job's parts.
class CWorkerPool {
public:
    ~CWorkerPool()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        for (std::thread& thread : m_threads)
            thread.join();
    }

    void Run(uint32_t parts, uint32_t threads, void (*job)(void*, uint32_t), void* context)
    {
        std::lock_guard<std::mutex> serial(m_runMutex);
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            // A thread the system refuses leaves the job to those the pool has.
            try {
                // A new worker counts from the generation before this job's, so that it joins
                // this job too once it gets the lock.
                while (m_threads.size() + 1 < threads)
                    m_threads.emplace_back([this, seen = m_generation] { WorkerLoop(seen); });
            } catch (const std::system_error&) {
            }
            m_idle.wait(lock, [this] { return m_checkedIn == 0; });
            m_job = job;
            m_context = context;
            m_parts = parts;
            m_next.store(0);
            m_allowed = threads - 1 < m_threads.size() ? threads - 1 : static_cast<uint32_t>(m_threads.size());
            ++m_generation;
        }
        m_wake.notify_all();
        RunTakenParts(job, context, parts);
        std::unique_lock<std::mutex> lock(m_mutex);
        m_idle.wait(lock, [this] { return m_checkedIn == 0 && m_next.load() >= m_parts; });
        m_allowed = 0;
    }

private:
    void RunTakenParts(void (*job)(void*, uint32_t), void* context, uint32_t parts)
    {
        t_insidePart = true;
        for (uint32_t part; (part = m_next.fetch_add(1)) < parts;)
            job(context, part);
        t_insidePart = false;
    }

    void WorkerLoop(uint64_t seen)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return m_stop || m_generation != seen; });
            if (m_stop)
                return;
            seen = m_generation;
            // A job asking for fewer threads than the pool has leaves the rest asleep.
            if (m_allowed == 0)
                continue;
            --m_allowed;
            ++m_checkedIn;
            auto job = m_job;
            void* context = m_context;
            const uint32_t parts = m_parts;
            lock.unlock();
            RunTakenParts(job, context, parts);
            lock.lock();
            if (--m_checkedIn == 0)
                m_idle.notify_all();
        }
    }

    std::mutex m_runMutex; // one job at a time
    std::mutex m_mutex;    // guards everything below except m_next
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::vector<std::thread> m_threads;
    uint64_t m_generation = 0;
    bool m_stop = false;
    void (*m_job)(void*, uint32_t) = nullptr;
    void* m_context = nullptr;
    uint32_t m_parts = 0;
    uint32_t m_allowed = 0;   // workers that may still join the current job
    uint32_t m_checkedIn = 0; // workers inside the current job
    std::atomic<uint32_t> m_next{0};
};

CWorkerPool& Pool()
{
    static CWorkerPool pool;
    return pool;
}

} // namespace

void SetRenderThreads(uint32_t threads)
{
    g_threadSetting.store(threads < kMaxRenderThreads ? threads : kMaxRenderThreads);
}

uint32_t RenderThreads()
{
    const uint32_t setting = g_threadSetting.load();
    if (setting > 0)
        return setting;
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware > 0 ? hardware : 1;
}

void RunParts(uint32_t parts, void (*job)(void* context, uint32_t part), void* context)
{
    const uint32_t threads = RenderThreads() < parts ? RenderThreads() : parts;
    if (threads <= 1 || t_insidePart) {
        for (uint32_t part = 0; part < parts; ++part)
            job(context, part);
        return;
    }
    Pool().Run(parts, threads, job, context);
}
