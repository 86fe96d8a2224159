// The renderer's worker pool: every part runs exactly once per job, on several threads when
// asked, jobs follow one another without mixing, and a part may start a job of its own.
#include "synth/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

struct ThreadsGuard {
    ~ThreadsGuard() { SetRenderThreads(0); }
};

TEST(WorkerPool, ZeroMeansOneThreadPerHardwareThread)
{
    ThreadsGuard guard;
    SetRenderThreads(0);
    const unsigned hardware = std::thread::hardware_concurrency();
    EXPECT_EQ(RenderThreads(), hardware > 0 ? hardware : 1u);
    SetRenderThreads(5);
    EXPECT_EQ(RenderThreads(), 5u);
    SetRenderThreads(1000000); // a typo on a command line must not start a million threads
    EXPECT_EQ(RenderThreads(), kMaxRenderThreads);
}

TEST(WorkerPool, EveryPartRunsExactlyOnceAcrossManyJobs)
{
    ThreadsGuard guard;
    for (uint32_t threads : {1u, 2u, 3u, 8u}) {
        SetRenderThreads(threads);
        for (uint32_t parts : {1u, 2u, 7u, 64u}) {
            for (int job = 0; job < 50; ++job) {
                std::vector<std::atomic<int>> runs(parts);
                auto count = [&](uint32_t part) { runs[part].fetch_add(1); };
                RunParts(parts, count);
                for (uint32_t part = 0; part < parts; ++part)
                    ASSERT_EQ(runs[part].load(), 1) << threads << " threads, " << parts << " parts";
            }
        }
    }
}

TEST(WorkerPool, PartsRunConcurrentlyOnAsManyThreadsAsSet)
{
    ThreadsGuard guard;
    SetRenderThreads(3);
    std::mutex mutex;
    std::set<std::thread::id> seen;
    std::atomic<int> arrived{0};
    // Each part waits (bounded) until all three have started, which only concurrent parts can.
    auto meet = [&](uint32_t) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            seen.insert(std::this_thread::get_id());
        }
        arrived.fetch_add(1);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (arrived.load() < 3 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
    };
    RunParts(3, meet);
    EXPECT_EQ(arrived.load(), 3);
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen.count(std::this_thread::get_id()), 1u) << "the caller works too";
}

TEST(WorkerPool, OneThreadRunsEverythingOnTheCaller)
{
    ThreadsGuard guard;
    SetRenderThreads(1);
    std::set<std::thread::id> seen;
    auto note = [&](uint32_t) { seen.insert(std::this_thread::get_id()); };
    RunParts(16, note);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(*seen.begin(), std::this_thread::get_id());
}

TEST(WorkerPool, APartStartingAJobRunsItInline)
{
    ThreadsGuard guard;
    SetRenderThreads(4);
    std::atomic<int> inner{0};
    auto outer = [&](uint32_t) {
        auto add = [&](uint32_t) { inner.fetch_add(1); };
        RunParts(5, add);
    };
    RunParts(4, outer);
    EXPECT_EQ(inner.load(), 20);
}

TEST(WorkerPool, JobsFromTwoCallerThreadsDoNotMix)
{
    ThreadsGuard guard;
    SetRenderThreads(2);
    std::atomic<bool> wrong{false};
    auto caller = [&](int id) {
        for (int job = 0; job < 200; ++job) {
            std::vector<int> owner(8, -1);
            auto mark = [&](uint32_t part) { owner[part] = id; };
            RunParts(8, mark);
            for (int o : owner)
                if (o != id)
                    wrong = true;
        }
    };
    std::thread a(caller, 1), b(caller, 2);
    a.join();
    b.join();
    EXPECT_FALSE(wrong.load());
}

} // namespace
