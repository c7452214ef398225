#pragma once

// Stand-in for the application's robot manipulator class. The station
// library only stores and hands back pointers to it, so the name is all it
// needs; the application brings the real class.

namespace zrv::layout {

class Manipulator
{
public:
    virtual ~Manipulator() = default;
};

} // namespace zrv::layout
