#pragma once

// What the library's station check finds in the open station (ids,
// value texts, values out of their limits, references, anchors), errors
// and warnings, for the window's problems panel; after them the geometry
// files the cell's layout refused to load.

#include "cell/CellLayout.h"

#include <sdformat/StationCheck.h>

#include <QtCore/QAbstractListModel>

#include <string>
#include <unordered_set>
#include <vector>

namespace zrv::core {

class ProblemListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role
    {
        MessageRole = Qt::UserRole + 1,
        KindRole,
        // The id of the object the problem is reported at (0: none).
        ObjectIdRole,
        // The document path of the element the problem is reported at.
        PathRole,
        // "error" or "warning" ("error" for a geometry file).
        SeverityRole,
        // "line L, column C" in the file as it was read; empty where the
        // check had no text (after an edit) or for a geometry file.
        PlaceRole,
    };

    using QAbstractListModel::QAbstractListModel;

    void reset(std::vector<sdf::StationCheck::Finding> found);
    // Kept until the next call, whatever reset() is given.
    void setFileProblems(std::vector<cell::CellLayout::MeshProblem> found);
    // The same for targets (object: the instruction), kind "reach".
    void setReachProblems(std::vector<cell::CellLayout::MeshProblem> found);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Null past the end and for a file's problem.
    const sdf::StationCheck::Finding* problem(int row) const;
    // Whether an id at that document path names no object.
    bool isDangling(const std::string& path) const { return dangling.count(path) != 0; }

private:
    std::vector<sdf::StationCheck::Finding> problems;
    std::vector<cell::CellLayout::MeshProblem> fileProblems;
    std::vector<cell::CellLayout::MeshProblem> reachProblems;
    std::unordered_set<std::string> dangling;
};

} // namespace zrv::core
