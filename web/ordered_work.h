#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <stop_token>
#include <thread>
#include <utility>
#include <vector>

namespace brindlewick {

// The workers asked for (0: one per core), but no more than there is work.
inline unsigned WorkerCount(unsigned workers, std::size_t count) {
    if (workers == 0) {
        workers = std::max(1U, std::thread::hardware_concurrency());
    }
    return static_cast<unsigned>(std::min<std::size_t>(workers, count));
}

// Runs work(index) for every index below count on `workers` threads (0: one
// per core) and hands each result to onDone on the calling thread, in index
// order, as soon as it and all before it are done. Workers run at most a
// window ahead of the results handed on, so the results held at once stay
// few however long the list. Once a stop is requested (or onDone throws,
// which is passed on), no further work starts and no further result is
// handed on; work under way is finished. Returns once every worker has
// ended, with the number of results handed on.
template <typename Work, typename OnDone>
std::size_t ForEachInOrder(std::size_t count, unsigned workers, std::stop_token stop, Work work,
                           OnDone onDone) {
    if (count == 0) {
        return 0;
    }
    workers = WorkerCount(workers, count);
    const std::size_t window = 16 * static_cast<std::size_t>(workers);
    using Result = decltype(work(std::size_t{0}));

    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::size_t, Result> results;  // done, not yet handed on; guarded by mutex
    std::size_t next = 0;                   // the next index to start; guarded by mutex
    std::size_t reported = 0;               // results handed on; guarded by mutex
    std::stop_source ending;                // the caller's stop, or the end of this function
    const auto wakeAll = [&] {
        { const std::lock_guard lock(mutex); }  // a waiter sees the change or gets the wake-up
        changed.notify_all();
    };
    const std::stop_callback relay(stop, [&] {
        ending.request_stop();
        wakeAll();
    });

    const auto worker = [&] {
        for (;;) {
            std::size_t index = 0;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] {
                    return ending.stop_requested() || next >= count || next < reported + window;
                });
                if (ending.stop_requested() || next >= count) {
                    return;
                }
                index = next++;
            }
            Result result = work(index);
            {
                const std::lock_guard lock(mutex);
                results.emplace(index, std::move(result));
            }
            changed.notify_all();
        }
    };
    std::vector<std::jthread> pool;
    struct StopOnExit {  // destroyed before the pool joins
        std::stop_source& stop;
        const decltype(wakeAll)& wake;
        ~StopOnExit() {
            stop.request_stop();
            wake();
        }
    } const stopFirst{ending, wakeAll};
    pool.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) {
        pool.emplace_back(worker);
    }

    std::size_t handedOn = 0;
    while (handedOn < count) {
        Result result;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock,
                         [&] { return ending.stop_requested() || results.contains(handedOn); });
            if (ending.stop_requested()) {
                break;
            }
            const auto done = results.find(handedOn);
            result = std::move(done->second);
            results.erase(done);
            reported = handedOn + 1;
        }
        changed.notify_all();
        ++handedOn;
        onDone(result);
    }
    return handedOn;
}

}  // namespace brindlewick
