#pragma once

// The unit a number field is shown and entered in, where the catalogue's
// descriptions state one: a joint's value is kept in radians but shown and
// entered in degrees (a prismatic joint's in millimetres, as the layout
// moves it), its limits are in degrees (millimetres for a prismatic joint),
// the values of named joint configurations in radians, arc angles in
// degrees; positions are in millimetres. A joint's value also has the
// joint's limits as its range.

#include "FieldListModel.h"

#include <QtCore/QString>

#include <optional>

namespace zrv::core {

class FieldUnit
{
public:
    // "°", "mm" (for a pose, that of its position); empty when no unit is
    // stated.
    QString symbol;
    // Shown value = stored value × shownPerStored.
    double shownPerStored = 1;
    // The range of the value in shown units, when it has one.
    std::optional<double> lower;
    std::optional<double> upper;

    static FieldUnit Of(const FieldListModel::Field& field);

    bool converts() const { return shownPerStored != 1; }
    // The stored text in shown units: ten significant digits, enough that
    // typing it back in stores what is there to that precision.
    QString shown(const QString& storedText) const;
};

} // namespace zrv::core
