#include "ProblemListModel.h"

#include <sdformat/IdCheck.h>

#include <QtCore/QString>

#include <utility>

namespace zrv::core {

void ProblemListModel::reset(std::vector<sdf::StationCheck::Finding> found)
{
    beginResetModel();
    problems = std::move(found);
    dangling.clear();
    for (const sdf::StationCheck::Finding& problem : problems) {
        if (problem.kind == sdf::IdCheck::KindName(sdf::IdCheck::Kind::DanglingReference) && !problem.paths.empty())
            dangling.insert(problem.paths.front());
    }
    endResetModel();
}

void ProblemListModel::setFileProblems(std::vector<cell::CellLayout::MeshProblem> found)
{
    beginResetModel();
    fileProblems = std::move(found);
    endResetModel();
}

void ProblemListModel::setReachProblems(std::vector<cell::CellLayout::MeshProblem> found)
{
    beginResetModel();
    reachProblems = std::move(found);
    endResetModel();
}

int ProblemListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(problems.size() + fileProblems.size() + reachProblems.size());
}

QVariant ProblemListModel::data(const QModelIndex& index, int role) const
{
    const std::size_t row = index.isValid() && index.row() >= 0 ? static_cast<std::size_t>(index.row()) : 0;
    const std::size_t firstReach = problems.size() + fileProblems.size();
    if (index.isValid() && row >= firstReach && row - firstReach < reachProblems.size()) {
        const cell::CellLayout::MeshProblem& target = reachProblems[row - firstReach];
        switch (role) {
        case Qt::DisplayRole:
        case MessageRole: return QString::fromStdString(target.message);
        case KindRole: return QStringLiteral("reach");
        case ObjectIdRole: return static_cast<uint>(target.object);
        case PathRole: return QString();
        case SeverityRole: return QStringLiteral("error");
        default: return {};
        }
    }
    if (index.isValid() && row >= problems.size() && row - problems.size() < fileProblems.size()) {
        const cell::CellLayout::MeshProblem& file = fileProblems[row - problems.size()];
        switch (role) {
        case Qt::DisplayRole:
        case MessageRole: return QString::fromStdString(file.message);
        case KindRole: return QStringLiteral("geometry");
        case ObjectIdRole: return static_cast<uint>(file.object);
        case PathRole: return QString();
        case SeverityRole: return QStringLiteral("error");
        case PlaceRole: return QString();
        default: return {};
        }
    }
    const sdf::StationCheck::Finding* at = index.isValid() ? problem(index.row()) : nullptr;
    if (!at)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case MessageRole: return QString::fromStdString(at->message);
    case KindRole: return QString::fromStdString(at->kind);
    case ObjectIdRole:
        return at->objectId != 0 ? static_cast<uint>(at->objectId)
                                 : at->ids.empty() ? 0u : static_cast<uint>(at->ids.front());
    case PathRole: return at->paths.empty() ? QString() : QString::fromStdString(at->paths.front());
    case SeverityRole: {
        const std::string_view name = sdf::StationCheck::SeverityName(at->severity);
        return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    }
    case PlaceRole:
        return at->line == 0 ? QString() : tr("line %1, column %2").arg(at->line).arg(at->column);
    default: return {};
    }
}

QHash<int, QByteArray> ProblemListModel::roleNames() const
{
    return {{MessageRole, "message"}, {KindRole, "kind"}, {ObjectIdRole, "objectId"}, {PathRole, "path"}, {SeverityRole, "severity"}, {PlaceRole, "place"}};
}

const sdf::StationCheck::Finding* ProblemListModel::problem(int row) const
{
    if (row < 0 || row >= static_cast<int>(problems.size()))
        return nullptr;
    return &problems[static_cast<std::size_t>(row)];
}

} // namespace zrv::core
