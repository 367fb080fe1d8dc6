#pragma once

#include <vips/vips.h>

#include <exception>
#include <memory>
#include <string>

#include "base/error.h"

// libvips as this program uses it: started once per process, its objects
// owned, its process-wide error text turned into errors.

namespace brindlewick {

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using ImagePtr = std::unique_ptr<VipsImage, GObjectUnref>;
using SourcePtr = std::unique_ptr<VipsSource, GObjectUnref>;

struct GFree {
    void operator()(gpointer memory) const { g_free(memory); }
};

// Starts libvips for the process on first use, from any thread: one thread
// per image, as the caller spreads images over threads, and no operation
// cache. Throws Error when it cannot start.
void StartVips();

// cause, with libvips' error text (taken and cleared) as a detail. libvips
// keeps one error text for the whole process: with several threads failing at
// the same moment a detail can land in another item's message or go missing,
// so the cause itself never depends on it.
std::string WithDetail(std::string cause);

// The image an operation made, or Error (cause with detail) when result says
// it failed. The image work's errors carry no path: the caller gives them the
// image's (AsError), once for all.
ImagePtr Checked(VipsImage* image, int result, const char* cause);

// The error, with the image's path where it names no file of its own.
Error AsError(const std::exception& error, const std::string& path);

}  // namespace brindlewick
