// Spoils one precondition on Qt's hook table, named by the argument
// (version, size, add, remove, startup), and builds the hook in a child
// process, which must stop with the precondition's text on standard error.
#include "ObjectHook.h"

#include <QtCore/QCoreApplication>
#include <QtCore/private/qhooks_p.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void someoneElsesCallback(QObject*) {}
void someoneElsesStartup() {}

struct Case
{
    const char* entry;
    const char* text;
};

const Case cases[] = {
    {"version", "qtHookData[QHooks::HookDataVersion] >= 1"},
    {"size", "qtHookData[QHooks::HookDataSize] >= 6"},
    {"add", "qtHookData[QHooks::AddQObject] == 0"},
    {"remove", "qtHookData[QHooks::RemoveQObject] == 0"},
    {"startup", "qtHookData[QHooks::Startup] == 0"},
};

[[noreturn]] void buildHookOnSpoiledTable(int argc, char** argv, const std::string& entry)
{
    QCoreApplication app(argc, argv);
    if (entry == "version")
        qtHookData[QHooks::HookDataVersion] = 0;
    else if (entry == "size")
        qtHookData[QHooks::HookDataSize] = 5;
    else if (entry == "add")
        qtHookData[QHooks::AddQObject] = reinterpret_cast<quintptr>(&someoneElsesCallback);
    else if (entry == "remove")
        qtHookData[QHooks::RemoveQObject] = reinterpret_cast<quintptr>(&someoneElsesCallback);
    else if (entry == "startup")
        qtHookData[QHooks::Startup] = reinterpret_cast<quintptr>(&someoneElsesStartup);
    zrv::ObjectHook::inst(&app);
    std::fputs("hook built: the precondition was not checked\n", stderr);
    std::_Exit(0);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string entry = argc > 1 ? argv[1] : "";
    const Case* expected = nullptr;
    for (const Case& c : cases) {
        if (entry == c.entry)
            expected = &c;
    }
    if (!expected) {
        std::fprintf(stderr, "usage: %s version|size|add|remove|startup\n", argv[0]);
        return 2;
    }

    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return 2;
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(pipeFds[1], STDERR_FILENO);
        ::close(pipeFds[0]);
        buildHookOnSpoiledTable(argc, argv, entry);
    }
    ::close(pipeFds[1]);
    std::string err;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        err.append(buffer, std::size_t(n));
    int status = 0;
    ::waitpid(child, &status, 0);

    const std::string wanted = std::string("ASSERT failure: \"") + expected->text + "\" in src/app/zervan/ObjectHook";
    std::fprintf(stderr, "%s", err.c_str());
    if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGABRT) {
        std::fprintf(stderr, "FAIL: the hook did not abort\n");
        return 1;
    }
    if (err.find(wanted) == std::string::npos) {
        std::fprintf(stderr, "FAIL: expected \"%s\"\n", wanted.c_str());
        return 1;
    }
    std::fprintf(stderr, "PASS\n");
    return 0;
}
