#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "generate/run_outputs.h"
#include "generate/thumbnailer.h"
#include "web/web_gallery.h"

namespace brindlewick {

// Once the web gallery is written, whole: from each folder of copies, the
// thumbnailer's copies that neither the gallery nor the pages use (of images
// no longer listed, or made at another size or from an older file). A copy
// that stays is listed like a thumbnail that failed: it is still published.
// used: the names in use per folder, in kCopyFolders' order.
void RemoveUnusedCopies(const Thumbnailer& thumbnailer, const WebGalleryOptions& options,
                        const std::vector<std::unordered_set<std::string>>& used,
                        RunOutputs& outputs);

}  // namespace brindlewick
