#pragma once

// What typing a text into a field comes to, before anything is stored: the
// text must be a complete value of the field's type, and an id that shapes
// the tree must name an object. An accepted text is stored as the text the
// document will keep, and the person is told when that is not what they
// typed (rounded, a quaternion normalised).

#include "FieldListModel.h"

#include <QtCore/QString>

#include <cstdint>
#include <functional>

namespace zrv::core {

struct FieldEntry
{
    bool accepted = false;
    // What to store (accepted) or why not (refused).
    QString storedText;
    QString error;
    // Set when the stored value is not exactly what was typed.
    QString warning;

    // objectExists tells whether an object has the id.
    static FieldEntry Check(const FieldListModel::Field& field, const QString& text,
                            const std::function<bool(std::uint32_t)>& objectExists);
};

} // namespace zrv::core
