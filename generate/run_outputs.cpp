#include "generate/run_outputs.h"

#include <unistd.h>

#include <cerrno>

namespace brindlewick {
namespace {

constexpr const char* kWouldOverwriteInput = "it would replace one of the listed files";
constexpr const char* kWouldOverwriteGallery = "it would replace the gallery written in this run";

// The folder a file goes to, when the folder itself refuses new files for
// the reason the file failed with (missing, not writable, read-only); empty
// when the failure is the file's own.
std::string RefusingFolder(const std::string& path, int errnum) {
    if (errnum != ENOENT && errnum != ENOTDIR && errnum != EACCES && errnum != EROFS) {
        return {};
    }
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : path.substr(0, slash);
    if (::access(folder.c_str(), W_OK | X_OK) == 0 || errno != errnum) {
        return {};
    }
    return folder;
}

}  // namespace

bool StepOn(const RunServices& services, RunReport& report, std::size_t done) {
    if (!services.stop.stop_requested() && services.progress) {
        services.progress(done, report.itemCount);
    }
    if (services.stop.stop_requested()) {
        report.outcome = RunReport::Outcome::kStopped;
        return false;
    }
    return true;
}

bool RunOutputs::MayWrite(const std::string& path, Output output) {
    if (inputs_.WouldReplace(path)) {
        SkipReplacingInput(path, output);
        return false;
    }
    if (galleryPlace_ && places_.PlaceOf(path) == galleryPlace_) {
        SkipReplacingGallery(path, output);
        return false;
    }
    return true;
}

void RunOutputs::SkipReplacingInput(std::string path, Output output) {
    Skip(std::move(path), kWouldOverwriteInput, output);
}

void RunOutputs::SkipReplacingGallery(std::string path, Output output) {
    Skip(std::move(path), kWouldOverwriteGallery, output);
}

void RunOutputs::Skip(std::string path, std::string reason, Output output) {
    report_.failures.push_back({std::move(path), std::move(reason), output, {}, false});
}

void RunOutputs::SkipNamed(std::string path, std::string reason) {
    report_.failures.push_back({std::move(path), std::move(reason), Output::kPage, {}, true});
}

void RunOutputs::SkipFailed(const std::string& path, const Error& error, Output output,
                            std::string_view prefix) {
    report_.failures.push_back({path, std::string(prefix) + error.Cause(), output,
                                RefusingFolder(path, error.ErrorNumber()), false});
}

void RunOutputs::PassOnRunEnding(const Error& error) {
    if (error.IsMediumError() || error.ErrorNumber() == ECANCELED) {
        throw;
    }
}

}  // namespace brindlewick
