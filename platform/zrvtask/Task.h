#pragma once

// Stand-in for the application's robot program task class. The station
// library only stores and hands back pointers to it, so the name is all it
// needs; the application brings the real class.

namespace zrv::task {

class Task
{
public:
    virtual ~Task() = default;
};

} // namespace zrv::task
