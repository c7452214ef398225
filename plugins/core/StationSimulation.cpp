// The station's side of the motion simulation: the document the run reads
// and the automatic state saved before it, each save and restore one undo
// step of the station's text, as structure edits are.

#include "StationSession.h"

#include <cell/StationState.h>

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <fmt/format.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace zrv::core {

namespace {

std::uint64_t Now()
{
    const auto now =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch());
    return static_cast<std::uint64_t>(now.count());
}

std::vector<std::shared_ptr<sdf::Element>> StatesOf(const sdf::Element& root)
{
    std::vector<std::shared_ptr<sdf::Element>> out;
    const auto station = root.label() == "station" ? nullptr : root.get("station");
    const auto simulation = station ? station->get("simulation") : nullptr;
    if (simulation)
        for (const auto& state : simulation->children("state"))
            out.push_back(state);
    return out;
}

std::string NameOf(const sdf::Element& state)
{
    const auto name = state.get("name");
    return name ? name->getStringFromValue() : std::string();
}

} // namespace

std::shared_ptr<sdf::Element> StationSession::stationRoot() const
{
    return document ? document->Root() : nullptr;
}

bool StationSession::saveStateBeforeRun()
{
    return restructure(tr("Save state before simulation"), [this]() -> uint {
               const auto state = cell::StationState::AutoSave(document->Root(), Now());
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

uint StationSession::saveNamedState(const QString& name)
{
    return restructure(tr("Save state"), [this, name]() -> uint {
        std::string chosen = name.trimmed().toStdString();
        const auto states = StatesOf(*document->Root());
        const auto taken = [&](const std::string& candidate) {
            for (const auto& state : states)
                if (NameOf(*state) == candidate)
                    return true;
            return false;
        };
        if (chosen.empty()) {
            int n = static_cast<int>(states.size()) + 1;
            while (taken(fmt::format("State {}", n)))
                ++n;
            chosen = fmt::format("State {}", n);
        } else if (taken(chosen)) {
            throw std::invalid_argument(fmt::format("a state named \"{}\" exists already", chosen));
        }
        const auto state = cell::StationState::Save(document->Root(), chosen, "", Now());
        setStatus(tr("Saved state %1 as %2").arg(QString::fromStdString(chosen)).arg(state->getId()));
        return selectedId() != 0 ? selectedId() : state->getId();
    });
}

bool StationSession::restoreNamedState(const QString& idOrName)
{
    return restructure(tr("Restore state %1").arg(idOrName), [this, idOrName]() -> uint {
               const auto state = cell::StationState::Find(document->Root(), idOrName.toStdString());
               if (!state)
                   throw std::invalid_argument(fmt::format("the station has no state \"{}\"", idOrName.toStdString()));
               cell::StationState::Restore(document->Root(), *state);
               setStatus(tr("Restored state %1 (%2)").arg(QString::fromStdString(NameOf(*state))).arg(state->getId()));
               return selectedId() != 0 ? selectedId() : state->getId();
           }) != 0;
}

QVariantList StationSession::savedStates() const
{
    QVariantList out;
    if (!document)
        return out;
    for (const auto& state : StatesOf(*document->Root())) {
        const auto autoSaved = state->get("auto_saved");
        out.append(QVariantMap{{QStringLiteral("id"), state->getId()},
                               {QStringLiteral("name"), QString::fromStdString(NameOf(*state))},
                               {QStringLiteral("autoSaved"), autoSaved && autoSaved->getStringFromValue() == "true"}});
    }
    return out;
}

} // namespace zrv::core
