#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.h"
#include "base/file_set.h"
#include "generate/run_report.h"

namespace brindlewick {

// Reports that `done` of the report's items are done; false, with the
// outcome kStopped, when the run is to stop there (asked before or while
// progress was reported).
bool StepOn(const RunServices& services, RunReport& report, std::size_t done);

// Writes a run's files one at a time: a file that would replace one of the
// listed files or the gallery written in this run is refused, a failure that
// concerns the file alone is listed in the report and the run goes on, and a
// failure of the medium (or a stop) is passed on to end the run.
class RunOutputs {
public:
    RunOutputs(RunReport& report, const FileSet& inputs) : report_(report), inputs_(inputs) {}

    RunReport& Report() { return report_; }
    const FileSet& Inputs() const { return inputs_; }
    FilePlaces& Places() { return places_; }
    // Where the run's gallery goes, once the run has staged or written it.
    void SetGalleryPlace(const std::string& galleryPath) {
        galleryPlace_ = places_.PlaceOf(galleryPath);
    }

    // Writes one file by writeFile; false when it was refused or failed.
    template <typename WriteFile>
    bool WriteOne(const std::string& path, Output output, const WriteFile& writeFile) {
        if (!MayWrite(path, output)) {
            return false;
        }
        try {
            writeFile();
            return true;
        } catch (const Error& error) {
            PassOnRunEnding(error);
            SkipFailed(path, error, output);
            return false;
        }
    }

    // False, with the reason listed, when a file at path would replace a
    // listed file or the gallery.
    bool MayWrite(const std::string& path, Output output);

    void Skip(std::string path, std::string reason, Output output = Output::kPage);
    // A file refused as it would replace a listed file, or the gallery.
    void SkipReplacingInput(std::string path, Output output);
    void SkipReplacingGallery(std::string path, Output output);
    // A failure whose reason names the output itself ("its page would ...").
    void SkipNamed(std::string path, std::string reason);
    // The error's cause (after prefix), grouped with the folder's where the
    // folder refused it.
    void SkipFailed(const std::string& path, const Error& error, Output output,
                    std::string_view prefix = {});

private:
    // Rethrows a failure of the medium or a stop.
    static void PassOnRunEnding(const Error& error);

    RunReport& report_;
    const FileSet& inputs_;
    FilePlaces places_;
    std::optional<FilePlace> galleryPlace_;
};

}  // namespace brindlewick
