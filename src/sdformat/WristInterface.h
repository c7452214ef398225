#pragma once

// The container that stands for a robot wrist (kind ObjectType::Wrist, in the
// group ObjectType::Group44). It ties the wrist to the application's
// manipulator, robot id and task; the pointers are not owned and never
// dereferenced here.

#include <sdformat/Export.h>
#include <sdformat/SdfContainer.h>

#include <zrvlayout/Manipulator.h>
#include <zrvtask/Task.h>

#include <cstdint>
#include <memory>

namespace sdf {

class SDF_EXPORT WristInterface : public SdfContainer
{
public:
    WristInterface(std::shared_ptr<Element> element, zrv::layout::Manipulator* manipulator, std::uint32_t robotId);
    ~WristInterface() override;

    zrv::layout::Manipulator* getManipulator() const { return manipulator; }
    std::uint32_t getRobotId() const { return robotId; }
    // Null until setTask.
    zrv::task::Task* getTask() const { return task; }
    void setTask(zrv::task::Task* newTask) { task = newTask; }

private:
    zrv::layout::Manipulator* manipulator;
    std::uint32_t robotId;
    zrv::task::Task* task = nullptr;
};

} // namespace sdf
