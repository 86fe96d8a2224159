#include "synth/RenderJob.h"

#include <xmmintrin.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

// The render thread sleeps until a request is newer than the last one it rendered, renders it
// under the requester's floating-point control, and publishes the result with the request's
// number; a result whose number is not the newest is dropped. Every render checks, between
// parts, whether a newer request has come.
struct CRenderJob::State {
    struct Request {
        std::vector<MixVoice> voices;
        uint32_t channels = 0, rate = 0, bits = 0;
        unsigned control = 0;
        MixMaster master;
    };

    std::mutex mutex;
    std::condition_variable wake;     // the thread: a new request or the end
    std::condition_variable finished; // the owner: a result is in
    std::thread thread;
    bool stop = false;
    Request request;
    std::atomic<uint64_t> latest{0}; // number of the newest request
    uint64_t taken = 0;              // number of the last request handed to the thread
    uint64_t done = 0;               // number of the result below, 0 when none
    uint64_t delivered = 0;          // number of the last result the owner took
    CSound result;
    MixStats stats;
    bool rendered = false;

    RenderProgress progress; // of the render in progress
    CRenderCache cache; // the render thread's (the owner's when no thread could be had)
    bool noThread = false;
    std::atomic<size_t> budget;
    std::atomic<size_t> bytes{0};

    explicit State(size_t cacheBudget) : cache(cacheBudget), budget(cacheBudget) {}

    static bool Superseded(const void* context)
    {
        const auto* token = static_cast<const std::pair<const State*, uint64_t>*>(context);
        return token->first->latest.load(std::memory_order_relaxed) != token->second;
    }

    // Takes the newest request and renders it, dropping the lock meanwhile.
    void RenderNewest(std::unique_lock<std::mutex>& lock)
    {
        taken = latest.load();
        progress.total.store(0); // not the previous render's share
        progress.done.store(0);
        Request job = std::move(request);
        const uint64_t number = taken;
        lock.unlock();

        cache.SetBudget(budget.load());
        CSound sound;
        MixStats jobStats;
        const std::pair<const State*, uint64_t> token{this, number};
        const unsigned own = _mm_getcsr();
        _mm_setcsr(job.control);
        const bool ok = cache.Render(job.voices.data(), static_cast<uint32_t>(job.voices.size()), sound,
                                     job.channels, job.rate, job.bits, &jobStats,
                                     RenderCancel{&State::Superseded, &token}, &progress, job.master);
        _mm_setcsr(own);
        bytes.store(cache.GetBytes());

        lock.lock();
        if (jobStats.cancelled || latest.load() != number)
            return; // superseded: the newer request is already waiting
        MoveSound(sound, result);
        stats = jobStats;
        rendered = ok;
        done = number;
        finished.notify_all();
    }

    void Loop()
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return stop || latest.load() != taken; });
            if (stop)
                return;
            RenderNewest(lock);
        }
    }

    static void MoveSound(CSound& from, CSound& to)
    {
        to.Release();
        if (!from.data) {
            to.channels = from.channels;
            to.samplesPerSec = from.samplesPerSec;
            to.bitsPerSample = from.bitsPerSample;
            return;
        }
        const bool borrowed = from.dataNotOwned;
        to.Adopt(from.data, from.dataSize, from.channels, from.samplesPerSec, from.bitsPerSample);
        to.dataNotOwned = borrowed;
        from.data = nullptr;
        from.dataNotOwned = false;
        from.Release();
    }

    // With the lock held.
    bool Take(CSound& sound, MixStats& out, bool* ok)
    {
        const uint64_t newest = latest.load();
        if (delivered == newest || done != newest)
            return false;
        MoveSound(result, sound);
        out = stats;
        if (ok)
            *ok = rendered;
        delivered = newest;
        return true;
    }
};

CRenderJob::CRenderJob(size_t cacheBudget) : m_state(std::make_unique<State>(cacheBudget)) {}

CRenderJob::~CRenderJob()
{
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->stop = true;
        m_state->latest.fetch_add(1); // the render in progress stops at its next part
    }
    m_state->wake.notify_all();
    if (m_state->thread.joinable())
        m_state->thread.join();
}

void CRenderJob::Start(std::vector<MixVoice> voices, uint32_t channels, uint32_t rate, uint32_t bits,
                       const MixMaster& master)
{
    State& s = *m_state;
    std::unique_lock<std::mutex> lock(s.mutex);
    s.request.voices = std::move(voices);
    s.request.channels = channels;
    s.request.rate = rate;
    s.request.bits = bits;
    s.request.master = master;
    s.request.control = _mm_getcsr();
    s.latest.fetch_add(1);
    if (!s.thread.joinable() && !s.noThread) {
        try {
            s.thread = std::thread([&s] { s.Loop(); });
        } catch (const std::system_error&) {
            s.noThread = true; // the system refuses a thread: render here, at once
        }
    }
    if (s.noThread) {
        s.RenderNewest(lock);
        return;
    }
    lock.unlock();
    s.wake.notify_all();
}

bool CRenderJob::IsPending() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->delivered != m_state->latest.load();
}

bool CRenderJob::Poll(CSound& sound, MixStats& stats, bool* rendered)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->Take(sound, stats, rendered);
}

bool CRenderJob::Wait(CSound& sound, MixStats& stats, bool* rendered)
{
    State& s = *m_state;
    std::unique_lock<std::mutex> lock(s.mutex);
    if (s.delivered == s.latest.load())
        return false;
    s.finished.wait(lock, [&] { return s.done == s.latest.load(); });
    return s.Take(sound, stats, rendered);
}

void CRenderJob::Cancel()
{
    State& s = *m_state;
    std::lock_guard<std::mutex> lock(s.mutex);
    s.latest.fetch_add(1); // the render in progress is superseded by nothing
    s.taken = s.delivered = s.latest.load();
    s.request = State::Request();
}

float CRenderJob::GetProgress() const
{
    State& s = *m_state;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        const uint64_t newest = s.latest.load();
        if (s.done == newest)
            return 1.0f;
        if (s.taken != newest)
            return 0.0f; // not begun
    }
    return s.progress.Fraction();
}

void CRenderJob::SetCacheBudget(size_t bytes) { m_state->budget.store(bytes); }

size_t CRenderJob::GetCacheBudget() const { return m_state->budget.load(); }

size_t CRenderJob::GetCacheBytes() const { return m_state->bytes.load(); }
