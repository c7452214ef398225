// The station's side of the motion simulation: the document the run reads
// and the automatic state saved before it, each save and restore one undo
// step of the station's text, as structure edits are.

#include "StationSession.h"

#include <cell/StationState.h>

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>

namespace zrv::core {

std::shared_ptr<sdf::Element> StationSession::stationRoot() const
{
    return document ? document->Root() : nullptr;
}

bool StationSession::saveStateBeforeRun()
{
    return restructure(tr("Save state before simulation"), [this]() -> uint {
               const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch());
               const auto state = cell::StationState::AutoSave(document->Root(), static_cast<std::uint64_t>(now.count()));
               setStatus(tr("Saved the state before the run as state %1").arg(state->getId()));
               // The selection stays where it was.
               return selectedId() != 0 ? selectedId() : state->getId();
           }) != 0;
}

bool StationSession::restoreStateBeforeRun()
{
    return restructure(tr("Restore state before simulation"), [this]() -> uint {
               const auto state = cell::StationState::LastAutoSaved(document->Root());
               if (!state)
                   throw std::invalid_argument("the station has no state saved before a run");
               cell::StationState::Restore(document->Root(), *state);
               setStatus(tr("Restored state %1 from before the run").arg(state->getId()));
               return selectedId() != 0 ? selectedId() : state->getId();
           }) != 0;
}

} // namespace zrv::core
