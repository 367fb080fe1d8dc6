#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <stop_token>

#include "base/error.h"
#include "generate/thumbnailer.h"

namespace brindlewick {

// What became of one request of a batch: the error, or what was made.
struct ThumbnailOutcome {
    std::size_t index = 0;               // the request's position in the batch
    std::optional<Thumbnail> thumbnail;  // for a ThumbnailRequest
    std::optional<ThumbnailSet> set;     // for a ThumbnailSetRequest
    std::optional<Error> error;
};

// Makes what one request asks for, an error (Error, or any exception, with
// the request's source) in place of the copies. Safe on any thread.
template <typename Request>
ThumbnailOutcome MakeCopies(const Thumbnailer& thumbnailer, const Request& request,
                            std::size_t index);

// Makes the copies of all requests on `workers` threads (0: one per
// core). onDone runs on the calling thread, once per request and in request
// order, as soon as that request and all before it are done: the caller can
// write its pages in list order while later images are still being worked on.
// Once a stop is requested (or onDone throws, which is passed on), no further
// request is started and no further outcome reported; those under way are
// finished, whole. Returns once every worker has ended, with the number of
// outcomes reported.
std::size_t MakeThumbnails(const Thumbnailer& thumbnailer,
                           std::span<const ThumbnailRequest> requests, unsigned workers,
                           std::stop_token stop,
                           const std::function<void(const ThumbnailOutcome&)>& onDone);
// The same for requests of several copies each (Thumbnailer::MakeSet).
std::size_t MakeThumbnails(const Thumbnailer& thumbnailer,
                           std::span<const ThumbnailSetRequest> requests, unsigned workers,
                           std::stop_token stop,
                           const std::function<void(const ThumbnailOutcome&)>& onDone);

}  // namespace brindlewick
