#include "cell/GeometryCache.h"

#include "cell/GeometryLoader.h"

#include <fmt/format.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

namespace cell {

namespace {

// What tells one version of a file from another: its size and modification
// time, or that it is not there.
std::string StampOf(const std::filesystem::path& file)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (error)
        return "-";
    const auto time = std::filesystem::last_write_time(file, error);
    if (error)
        return "-";
    return fmt::format("{}@{}", size, time.time_since_epoch().count());
}

std::string IdentityOf(const std::filesystem::path& file, const LoadOptions& options)
{
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(std::filesystem::absolute(file), error);
    if (error)
        canonical = std::filesystem::absolute(file).lexically_normal();
    return canonical.string() + '\n' + options.key();
}

} // namespace

class GeometryCache::Impl
{
public:
    struct Entry
    {
        std::string stamp;
        std::shared_future<Result> future;
    };

    Impl(Loader read, unsigned count)
        : loader(read ? std::move(read) : Loader(LoadGeometry))
    {
        for (unsigned i = 0; i < std::max(1u, count); ++i)
            workers.emplace_back([this] { work(); });
    }

    ~Impl()
    {
        {
            const std::lock_guard lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        for (std::thread& worker : workers)
            worker.join();
    }

    // The entry for the file as it is on disk now; task is set when the
    // caller must read it (nobody else is).
    std::shared_future<Result> entry(const std::filesystem::path& file, const LoadOptions& options,
                                     std::function<void()>& task)
    {
        const std::string identity = IdentityOf(file, options);
        const std::string stamp = StampOf(file);
        const std::lock_guard lock(mutex);
        auto it = entries.find(identity);
        if (it != entries.end() && it->second.stamp == stamp)
            return it->second.future;
        auto promise = std::make_shared<std::promise<Result>>();
        std::shared_future<Result> future = promise->get_future().share();
        entries.insert_or_assign(identity, Entry{stamp, future});
        task = [this, promise, file, options] {
            {
                const std::lock_guard count(mutex);
                ++reads;
            }
            try {
                promise->set_value(std::make_shared<const Geometry>(loader(file, options)));
            } catch (...) {
                promise->set_exception(std::current_exception());
            }
        };
        return future;
    }

    void post(std::function<void()> task)
    {
        {
            const std::lock_guard lock(mutex);
            queue.push_back(std::move(task));
        }
        wake.notify_one();
    }

    void work()
    {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [this] { return stopping || !queue.empty(); });
                if (stopping)
                    return;
                task = std::move(queue.front());
                queue.pop_front();
            }
            task();
        }
    }

    const Loader loader;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::unordered_map<std::string, Entry> entries;
    std::deque<std::function<void()>> queue;
    std::vector<std::thread> workers;
    std::size_t reads = 0;
    bool stopping = false;
};

GeometryCache::GeometryCache(Loader loader, unsigned workers)
    : impl(std::make_unique<Impl>(std::move(loader), workers))
{
}

GeometryCache::~GeometryCache() = default;

GeometryCache::Result GeometryCache::get(const std::filesystem::path& file, const LoadOptions& options)
{
    std::function<void()> task;
    std::shared_future<Result> future = impl->entry(file, options, task);
    if (task)
        task();
    return future.get();
}

std::shared_future<GeometryCache::Result> GeometryCache::load(const std::filesystem::path& file,
                                                              const LoadOptions& options)
{
    std::function<void()> task;
    std::shared_future<Result> future = impl->entry(file, options, task);
    if (task)
        impl->post(std::move(task));
    return future;
}

std::size_t GeometryCache::readCount() const
{
    const std::lock_guard lock(impl->mutex);
    return impl->reads;
}

void GeometryCache::clear()
{
    const std::lock_guard lock(impl->mutex);
    impl->entries.clear();
}

} // namespace cell
