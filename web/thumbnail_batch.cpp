#include "web/thumbnail_batch.h"

#include <exception>

#include "web/ordered_work.h"

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
std::size_t MakeAll(const Thumbnailer& thumbnailer, std::span<const Request> requests,
                    unsigned workers, std::stop_token stop,
                    const std::function<void(const ThumbnailOutcome&)>& onDone) {
    return ForEachInOrder(
        requests.size(), workers, std::move(stop),
        [&](std::size_t index) { return MakeCopies(thumbnailer, requests[index], index); }, onDone);
}

}  // namespace

template <typename Request>
ThumbnailOutcome MakeCopies(const Thumbnailer& thumbnailer, const Request& request,
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
template ThumbnailOutcome MakeCopies(const Thumbnailer&, const ThumbnailRequest&, std::size_t);
template ThumbnailOutcome MakeCopies(const Thumbnailer&, const ThumbnailSetRequest&, std::size_t);

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
