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

ThumbnailOutcome MakeOne(const Thumbnailer& thumbnailer, const ThumbnailRequest& request,
                         std::size_t index) {
    ThumbnailOutcome outcome;
    outcome.index = index;
    try {
        outcome.thumbnail = thumbnailer.Make(request);
    } catch (const Error& error) {
        outcome.error = error;
    } catch (const std::exception& error) {
        outcome.error = Error(error.what(), request.source);
    }
    return outcome;
}

// Requests a stop when it goes out of scope, before the workers are joined.
struct StopOnExit {
    std::stop_source& stop;
    ~StopOnExit() { stop.request_stop(); }
};

}  // namespace

std::size_t MakeThumbnails(const Thumbnailer& thumbnailer,
                           std::span<const ThumbnailRequest> requests, unsigned workers,
                           const std::function<BatchStep(const ThumbnailOutcome&)>& onDone) {
    const std::size_t count = requests.size();
    if (count == 0) {
        return 0;
    }
    if (workers == 0) {
        workers = std::max(1U, std::thread::hardware_concurrency());
    }
    workers = static_cast<unsigned>(std::min<std::size_t>(workers, count));

    std::mutex mutex;
    std::condition_variable finished;
    std::vector<std::optional<ThumbnailOutcome>> outcomes(count);  // guarded by mutex
    std::atomic<std::size_t> next{0};
    std::stop_source stop;

    std::vector<std::jthread> pool;
    const StopOnExit stopFirst{stop};  // destroyed before pool joins
    pool.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) {
        pool.emplace_back([&] {
            while (!stop.stop_requested()) {
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
            finished.wait(lock, [&] { return outcomes[reported].has_value(); });
            outcome = std::move(*outcomes[reported]);
            outcomes[reported].reset();
        }
        ++reported;
        if (onDone(outcome) == BatchStep::kStop) {
            break;
        }
    }
    return reported;
}

}  // namespace brindlewick
