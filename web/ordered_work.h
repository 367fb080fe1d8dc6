#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
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

// What the workers of ForEachInOrder and the thread handing their results on
// share: the next index to start, the results done and not yet handed on,
// and how far the handing on has got. Workers stay at most a window ahead.
template <typename Result>
class OrderedResults {
public:
    OrderedResults(std::size_t count, std::size_t window) : count_(count), window_(window) {}

    // The next index to work on, once it is inside the window; none when all
    // are started or the work ends.
    std::optional<std::size_t> Claim() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return ended_ || next_ >= count_ || next_ < taken_ + window_; });
        if (ended_ || next_ >= count_) {
            return std::nullopt;
        }
        return next_++;
    }

    void Put(std::size_t index, Result result) {
        {
            const std::lock_guard lock(mutex_);
            done_.emplace(index, std::move(result));
        }
        changed_.notify_all();
    }

    // The result of the next index in order, once it is done; none when the
    // work ends first.
    std::optional<Result> TakeNext() {
        std::optional<Result> result;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return ended_ || done_.contains(taken_); });
            if (ended_) {
                return std::nullopt;
            }
            const auto found = done_.find(taken_);
            result = std::move(found->second);
            done_.erase(found);
            ++taken_;
        }
        changed_.notify_all();
        return result;
    }

    // No further index is claimed nor result taken.
    void End() {
        {
            const std::lock_guard lock(mutex_);
            ended_ = true;
        }
        changed_.notify_all();
    }

private:
    const std::size_t count_;
    const std::size_t window_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::size_t, Result> done_;  // guarded by mutex_, as are the others
    std::size_t next_ = 0;
    std::size_t taken_ = 0;
    bool ended_ = false;
};

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
    using Results = OrderedResults<decltype(work(std::size_t{0}))>;
    Results results(count, 16 * std::size_t{workers});
    const std::stop_callback relay(stop, [&] { results.End(); });
    std::vector<std::jthread> pool;
    struct EndFirst {  // destroyed before the pool joins
        Results& shared;
        ~EndFirst() { shared.End(); }
    } const endFirst{results};
    pool.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) {
        pool.emplace_back([&] {
            while (const std::optional<std::size_t> index = results.Claim()) {
                results.Put(*index, work(*index));
            }
        });
    }
    std::size_t handedOn = 0;
    for (; handedOn < count; ++handedOn) {
        auto result = results.TakeNext();
        if (!result) {
            break;
        }
        onDone(*result);
    }
    return handedOn;
}

}  // namespace brindlewick
