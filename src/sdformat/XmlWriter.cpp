#include <sdformat/XmlWriter.h>

#include <sdformat/Attr.h>
#include <sdformat/DocumentThreads.h>
#include <sdformat/Element.h>
#include <sdformat/ValueText.h>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

namespace sdf::detail {

namespace {

// Helpers are taken on once the text has filled this many blocks of the
// pool (half a megabyte): below that, starting a thread costs more than it saves.
constexpr std::size_t kHelpersFrom = 2;

} // namespace

struct XmlWriter::Fragment
{
    TextPieces pieces;
    Fragment* next = nullptr;
};

// Children of one element handed over to whichever thread waits, with the
// element's end tag when writesEnd.
struct XmlWriter::Job
{
    const Element* element;
    std::size_t begin;
    std::size_t end;
    bool writesEnd;
    std::string indent; // of the children's lines
    Fragment* fragment;
};

// What the threads writing one text share.
class XmlWriter::Crew
{
public:
    Crew() = default;
    Crew(const Crew&) = delete;
    Crew& operator=(const Crew&) = delete;

    // The helpers are let go and joined whatever happened.
    ~Crew()
    {
        {
            const std::lock_guard lock(mutex);
            finished = true;
            failed.store(true, std::memory_order_relaxed);
        }
        wake.notify_all();
        for (std::thread& helper : helpers)
            helper.join();
    }

    // Under the mutex: fragments live as long as the crew.
    Fragment* newFragment()
    {
        fragments.push_back(std::make_unique<Fragment>());
        return fragments.back().get();
    }

    void fail(std::exception_ptr what)
    {
        const std::lock_guard lock(mutex);
        if (!error)
            error = std::move(what);
        failed.store(true, std::memory_order_relaxed);
    }

    std::mutex mutex;
    std::condition_variable wake;
    std::vector<Job> jobs;
    std::vector<std::unique_ptr<Fragment>> fragments;
    // Threads writing: the one that took the helpers on, until it is done.
    unsigned busy = 1;
    bool finished = false;
    std::exception_ptr error;
    // Read without the mutex on every child written: work is handed over
    // while more threads wait than there are jobs for them.
    std::atomic<unsigned> waiting{0};
    std::atomic<std::size_t> queued{0};
    std::atomic<bool> failed{false};
    std::vector<std::thread> helpers;
};

XmlWriter::XmlWriter(Fragment* fragment, Crew* crew, bool mayTakeOnHelpers)
    : _fragment(fragment)
    , _crew(crew)
    , _mayTakeOnHelpers(mayTakeOnHelpers)
{
}

XmlWriter::~XmlWriter() = default;

std::string XmlWriter::Write(const Element& element, std::string_view prefix)
{
    Fragment first;
    XmlWriter writer(&first, nullptr, DocumentThreads() > 1);
    std::string indent(prefix);
    try {
        writer.writeElement(element, indent);
    } catch (...) {
        if (!writer._crew)
            throw;
        writer._crew->fail(std::current_exception());
    }
    if (writer._crew) {
        {
            const std::lock_guard lock(writer._crew->mutex);
            --writer._crew->busy;
        }
        writer.work();
        if (writer._crew->error)
            std::rethrow_exception(writer._crew->error);
    }
    std::size_t total = 0;
    for (Fragment* fragment = &first; fragment; fragment = fragment->next)
        total += fragment->pieces.size();
    std::string text;
    text.reserve(total);
    for (Fragment* fragment = &first; fragment; fragment = fragment->next)
        fragment->pieces.appendTo(text);
    return text;
}

void XmlWriter::writeElement(const Element& element, std::string& indent)
{
    element.appendStartTag(_fragment->pieces, indent);
    if (!element._children.empty()) {
        _fragment->pieces.put(">\n");
        const std::size_t depth = indent.size();
        indent.append("    ");
        bool writesEnd = true;
        if (!_crew && !_mayTakeOnHelpers) {
            // Alone to the end: nothing to hand over, no frames to keep.
            for (const auto& child : element._children)
                writeElement(*child, indent);
        } else {
            writesEnd = writeChildren(element, 0, element._children.size(), true, indent);
        }
        indent.resize(depth);
        if (writesEnd)
            writeEndTag(element, indent);
    } else if (element._value) {
        // The element's own value is written only when it has no children.
        TextPieces& out = _fragment->pieces;
        out.put('>');
        PutValueText(out, element._value->_value, TextPlace::Content);
        out.put("</");
        out.put(element.label());
        out.put(">\n");
    } else {
        _fragment->pieces.put("/>\n");
    }
}

void XmlWriter::writeEndTag(const Element& element, std::string_view indent)
{
    TextPieces& out = _fragment->pieces;
    out.put(indent);
    out.put("</");
    out.put(element.label());
    out.put(">\n");
}

bool XmlWriter::writeChildren(const Element& element, std::size_t begin, std::size_t end, bool writesEnd,
                              std::string& indent)
{
    _frames.push_back({&element, begin, end, indent.size(), writesEnd, nullptr, nullptr});
    const std::size_t self = _frames.size() - 1;
    for (;;) {
        if (_crew) {
            if (_crew->failed.load(std::memory_order_relaxed))
                break;
            if (_crew->waiting.load(std::memory_order_relaxed) > _crew->queued.load(std::memory_order_relaxed))
                handOver(indent);
        } else if (_mayTakeOnHelpers && _fragment->pieces.blocksFilled() >= kHelpersFrom) {
            takeOnHelpers();
        }
        Frame& frame = _frames[self];
        if (frame.next >= frame.end)
            break;
        writeElement(*element._children[frame.next++], indent);
    }
    const Frame frame = _frames[self];
    _frames.pop_back();
    if (frame.handedOver) {
        // What this thread writes next follows the children handed over.
        frame.resumeIn->next = _fragment->next;
        _fragment->next = frame.handedOver;
        _fragment = frame.resumeIn;
    }
    return frame.writesEnd;
}

void XmlWriter::handOver(const std::string& indent)
{
    // The outermost open element holds the most work still ahead. The
    // child this thread is about to start stays with it; in the elements
    // around it, the child in progress has been started already.
    const std::size_t innermost = _frames.size() - 1;
    for (std::size_t i = 0; i < _frames.size(); ++i) {
        Frame& frame = _frames[i];
        const std::size_t ahead = frame.end - frame.next;
        if (ahead < 2 && !(ahead == 1 && i != innermost))
            continue;
        const std::size_t middle = frame.next + ahead / 2;
        {
            const std::lock_guard lock(_crew->mutex);
            if (_crew->waiting.load(std::memory_order_relaxed) <= _crew->jobs.size())
                return; // someone else has handed over already
            Fragment* handed = _crew->newFragment();
            // A later hand-over of the same element takes children before
            // those an earlier one took.
            if (!frame.handedOver)
                frame.resumeIn = _crew->newFragment();
            handed->next = frame.handedOver ? frame.handedOver : frame.resumeIn;
            _crew->jobs.push_back(
                {frame.element, middle, frame.end, frame.writesEnd, indent.substr(0, frame.indentSize), handed});
            _crew->queued.store(_crew->jobs.size(), std::memory_order_relaxed);
            frame.handedOver = handed;
            frame.end = middle;
            frame.writesEnd = false;
        }
        _crew->wake.notify_one();
        return;
    }
}

void XmlWriter::takeOnHelpers()
{
    _mayTakeOnHelpers = false;
    auto crew = std::make_unique<Crew>();
    const unsigned threads = DocumentThreads();
    for (unsigned t = 1; t < threads; ++t) {
        try {
            crew->helpers.emplace_back([helping = crew.get()] {
                XmlWriter helper(nullptr, helping, false);
                helper.work();
            });
        } catch (...) {
            break; // no more threads to be had: write with those there are
        }
    }
    if (crew->helpers.empty())
        return;
    _ownCrew = std::move(crew);
    _crew = _ownCrew.get();
}

void XmlWriter::work()
{
    Crew& crew = *_crew;
    std::unique_lock lock(crew.mutex);
    for (;;) {
        if (!crew.jobs.empty()) {
            Job job = std::move(crew.jobs.back());
            crew.jobs.pop_back();
            crew.queued.store(crew.jobs.size(), std::memory_order_relaxed);
            ++crew.busy;
            lock.unlock();
            try {
                run(job);
            } catch (...) {
                crew.fail(std::current_exception());
            }
            lock.lock();
            --crew.busy;
            continue;
        }
        // Only a thread writing can hand over more.
        if (crew.busy == 0 || crew.finished) {
            crew.finished = true;
            crew.wake.notify_all();
            return;
        }
        crew.waiting.fetch_add(1, std::memory_order_relaxed);
        crew.wake.wait(lock);
        crew.waiting.fetch_sub(1, std::memory_order_relaxed);
    }
}

void XmlWriter::run(Job& job)
{
    _fragment = job.fragment;
    _frames.clear();
    if (writeChildren(*job.element, job.begin, job.end, job.writesEnd, job.indent))
        writeEndTag(*job.element, std::string_view(job.indent).substr(0, job.indent.size() - 4));
}

} // namespace sdf::detail
