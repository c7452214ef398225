#include "ThreadSignalStack.h"

#ifndef _WIN32

#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace zrv {

namespace {

// Unmaps the thread's signal stack when the thread ends, however it ends
// (return or pthread_exit).
struct OwnedStack
{
    void* base = nullptr;
    ~OwnedStack()
    {
        if (!base)
            return;
        stack_t off = {};
        off.ss_flags = SS_DISABLE;
        ::sigaltstack(&off, nullptr);
        ::munmap(base, ThreadSignalStack::Size);
    }
};

thread_local OwnedStack owned;

struct Start
{
    void* (*routine)(void*);
    void* argument;
};

extern "C" void* startWithSignalStack(void* raw)
{
    const Start start = *static_cast<Start*>(raw);
    delete static_cast<Start*>(raw);
    ThreadSignalStack::ensure();
    return start.routine(start.argument);
}

using CreateFunction = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

CreateFunction realCreate()
{
    static const auto next = reinterpret_cast<CreateFunction>(::dlsym(RTLD_NEXT, "pthread_create"));
    return next;
}

} // namespace

void ThreadSignalStack::ensure()
{
    stack_t current = {};
    if (::sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE))
        return; // a sanitizer's, or one given before
    void* base = ::mmap(nullptr, Size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK,
                        -1, 0);
    if (base == MAP_FAILED)
        return; // the thread runs as it would have without
    stack_t stack = {};
    stack.ss_sp = base;
    stack.ss_size = Size;
    if (::sigaltstack(&stack, nullptr) != 0) {
        ::munmap(base, Size);
        return;
    }
    owned.base = base;
}

} // namespace zrv

// Every thread the process creates, Qt's and the libraries' included, is
// created through here: this definition in the executable comes before the
// C library's in symbol lookup (exported, although the build hides symbols
// by default).
extern "C" __attribute__((visibility("default"))) int pthread_create(pthread_t* thread,
                                                                    const pthread_attr_t* attributes,
                                                                    void* (*routine)(void*), void* argument)
{
    const zrv::CreateFunction create = zrv::realCreate();
    if (!create)
        std::abort();
    auto* start = new (std::nothrow) zrv::Start{routine, argument};
    if (!start)
        return create(thread, attributes, routine, argument);
    const int result = create(thread, attributes, &zrv::startWithSignalStack, start);
    if (result != 0)
        delete start;
    return result;
}

#else

namespace zrv {

void ThreadSignalStack::ensure() {}

} // namespace zrv

#endif
