#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/error.h"
#include "web/thumbnail_batch.h"

namespace brindlewick {
namespace {

// Sleeps a while per request and fails the ones whose source says so.
class SlowThumbnailer : public Thumbnailer {
public:
    Thumbnail Make(const ThumbnailRequest& request) const override {
        ++started;
        std::this_thread::sleep_for(std::chrono::milliseconds(request.maxSize));
        if (request.source.starts_with("bad")) {
            throw Error("bad image", request.source);
        }
        return {request.source, request.maxSize, 1, false};
    }
    mutable std::atomic<int> started{0};
};

TEST(MakeThumbnails, ReportsInRequestOrderOnTheCallersThreadAndStopsBetweenItems) {
    std::vector<ThumbnailRequest> requests;
    for (int i = 0; i < 12; ++i) {
        requests.push_back({(i % 5 == 3 ? "bad" : "good") + std::to_string(i), "", (i * 7) % 13});
    }
    const SlowThumbnailer slow;
    const std::thread::id caller = std::this_thread::get_id();
    std::vector<std::size_t> order;
    EXPECT_EQ(
        MakeThumbnails(slow, requests, 3, {},
                       [&](const ThumbnailOutcome& outcome) {
                           EXPECT_EQ(std::this_thread::get_id(), caller);
                           order.push_back(outcome.index);
                           const ThumbnailRequest& request = requests[outcome.index];
                           EXPECT_EQ(outcome.error.has_value(), request.source.starts_with("bad"));
                           EXPECT_NE(outcome.thumbnail.has_value(), outcome.error.has_value());
                           if (outcome.thumbnail) {
                               EXPECT_EQ(outcome.thumbnail->fileName, request.source);
                           }
                       }),
        requests.size());
    EXPECT_EQ(order, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));

    // Stopped at the first report: what was under way ends, nothing more starts.
    std::vector<ThumbnailRequest> slowOnes(12, ThumbnailRequest{"good", "", 50});
    const SlowThumbnailer stopped;
    std::stop_source stop;
    EXPECT_EQ(MakeThumbnails(stopped, slowOnes, 2, stop.get_token(),
                             [&](const ThumbnailOutcome&) { stop.request_stop(); }),
              1u);
    EXPECT_LT(stopped.started.load(), 12);
}

}  // namespace
}  // namespace brindlewick
