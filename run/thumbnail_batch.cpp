#include "run/thumbnail_batch.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

namespace brindlewick {
namespace {

void Make(const Thumbnailer& thumbnailer, const ThumbnailRequest& request,
          ThumbnailOutcome& outcome) {
    outcome.thumbnail = thumbnailer.Make(request);
}

void Make(const Thumbnailer& thumbnailer, const ThumbnailSetRequest& request,
          ThumbnailOutcome& outcome) {
    outcome.set = thumbnailer.MakeSet(request);
}

template <typename Request>
ThumbnailOutcome MakeOne(const Thumbnailer& thumbnailer, const Request& request,
                         std::size_t index) {
    ThumbnailOutcome outcome;
    outcome.index = index;
    try {
        Make(thumbnailer, request, outcome);
    } catch (const Error& error) {
        outcome.error = error;
    } catch (const std::exception& error) {
        outcome.error = Error(error.what(), request.source);
    }
    return outcome;
}

// The workers asked for (0: one per core), but no more than requests.
unsigned WorkerCount(unsigned workers, std::size_t requests) {
    if (workers == 0) {
        workers = std::max(1U, std::thread::hardware_concurrency());
    }
    return static_cast<unsigned>(std::min<std::size_t>(workers, requests));
}

// Requests a stop when it goes out of scope, before the workers are joined.
struct StopOnExit {
    std::stop_source& stop;
    ~StopOnExit() { stop.request_stop(); }
};

template <typename Request>
std::size_t MakeAll(const Thumbnailer& thumbnailer, std::span<const Request> requests,
                    unsigned workers, std::stop_token stop,
                    const std::function<void(const ThumbnailOutcome&)>& onDone) {
    const std::size_t count = requests.size();
    if (count == 0) {
        return 0;
    }
    workers = WorkerCount(workers, count);

    std::mutex mutex;
    std::condition_variable finished;
    std::vector<std::optional<ThumbnailOutcome>> outcomes(count);  // guarded by mutex
    std::atomic<std::size_t> next{0};
    // The batch's own stop: the caller's, or the end of this function.
    std::stop_source ending;
    const std::stop_callback relay(stop, [&] {
        ending.request_stop();
        { const std::lock_guard lock(mutex); }  // a waiter sees the stop or gets the wake-up
        finished.notify_all();
    });

    std::vector<std::jthread> pool;
    const StopOnExit stopFirst{ending};  // destroyed before pool joins
    pool.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) {
        pool.emplace_back([&] {
            while (!ending.stop_requested()) {
                const std::size_t index = next.fetch_add(1);
                if (index >= count) {
                    return;
                }
                ThumbnailOutcome outcome = MakeOne(thumbnailer, requests[index], index);
                {
                    const std::lock_guard lock(mutex);
                    outcomes[index] = std::move(outcome);
                }
                finished.notify_all();
            }
        });
    }

    std::size_t reported = 0;
    while (reported < count) {
        ThumbnailOutcome outcome;
        {
            std::unique_lock lock(mutex);
            finished.wait(
                lock, [&] { return ending.stop_requested() || outcomes[reported].has_value(); });
            if (ending.stop_requested()) {
                break;
            }
            outcome = std::move(*outcomes[reported]);
            outcomes[reported].reset();
        }
        ++reported;
        onDone(outcome);
    }
    return reported;
}

}  // namespace

std::size_t MakeThumbnails(const Thumbnailer& thumbnailer,
                           std::span<const ThumbnailRequest> requests, unsigned workers,
                           std::stop_token stop,
                           const std::function<void(const ThumbnailOutcome&)>& onDone) {
    return MakeAll(thumbnailer, requests, workers, std::move(stop), onDone);
}

std::size_t MakeThumbnails(const Thumbnailer& thumbnailer,
                           std::span<const ThumbnailSetRequest> requests, unsigned workers,
                           std::stop_token stop,
                           const std::function<void(const ThumbnailOutcome&)>& onDone) {
    return MakeAll(thumbnailer, requests, workers, std::move(stop), onDone);
}

}  // namespace brindlewick
