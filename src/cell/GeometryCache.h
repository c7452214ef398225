#pragma once

// Geometry files loaded once: a file is known by its canonical path, its
// size and its modification time, with the options it was read with, so an
// edited or reopened station finds its geometry already loaded and a file
// changed on disk is read again. A failed load is remembered the same way,
// so a bad file is not read again until it changes.
//
// Thread-safe. load() reads on the cache's own worker threads, so that a
// window never waits for a file; several callers asking for the same file
// share one read.

#include "cell/Export.h"
#include "cell/Geometry.h"
#include "cell/LoadOptions.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>

namespace cell {

class ZRV_CELL_EXPORT GeometryCache
{
public:
    using Result = std::shared_ptr<const Geometry>;
    using Loader = std::function<Geometry(const std::filesystem::path&, const LoadOptions&)>;

    // loader reads a file (LoadGeometry unless a test says otherwise);
    // workers: threads for load().
    explicit GeometryCache(Loader loader = {}, unsigned workers = 2);
    // Waits for the reads under way; reads not yet started fail with
    // std::future_error (broken promise).
    ~GeometryCache();
    GeometryCache(const GeometryCache&) = delete;
    GeometryCache& operator=(const GeometryCache&) = delete;

    // The file's geometry, read on the calling thread unless it is cached
    // or being read; throws the read's error.
    Result get(const std::filesystem::path& file, const LoadOptions& options = {});
    // Starts reading the file on a worker unless it is cached or being
    // read; the future holds the geometry or the read's error.
    std::shared_future<Result> load(const std::filesystem::path& file, const LoadOptions& options = {});

    // How many times a file was read (for tests and statistics).
    std::size_t readCount() const;
    // Forgets every file.
    void clear();

private:
    class Impl;
    std::unique_ptr<Impl> impl;
};

} // namespace cell
