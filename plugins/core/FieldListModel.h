#pragma once

// The values of one object's element, as rows of (path, text, type): the
// element's attributes ("@id"), then every value below it in document order
// ("pose", "axis/limit/lower", "value@type"), leaving out the elements of
// other objects, which have rows of their own. A label that repeats among
// siblings is numbered from 1 ("child[2]").
//
// Text written to a row is read by the value's own type, so a pose stays a
// pose. `id` and `type` attributes are shown but not editable: the one is
// the object's identity in the registry, the other names the type the value
// is held in.

#include <QtCore/QAbstractListModel>
#include <QtCore/QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sdf {
class Attr;
class Element;
} // namespace sdf

namespace zrv::core {

class FieldListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role
    {
        PathRole = Qt::UserRole + 1,
        ValueRole,
        TypeRole,
        EditableRole,
        // The last piece of the path, shown under its group's heading.
        LabelRole,
        // The path of the heading the row is shown under: the path up to
        // its last "/" ("" for the object's own fields).
        GroupRole,
        // What the value means to a reader: the name of the object an id
        // names, a pose's position and Euler angles.
        NoteRole,
        // An id that names no object.
        DanglingRole,
        // The unit the value is shown and entered in (see FieldUnit), or "".
        UnitRole,
        // A pose's x, y, z (mm) and rx, ry, rz (degrees) as shown in its own
        // fields; empty for other values.
        PosePartsRole,
    };

    // The name of the object with that id, or nothing when no object has
    // it; set by the owner so that id fields can say what they name.
    using NameOf = std::function<std::optional<QString>(std::uint32_t id)>;
    void setNameOf(NameOf lookup) { nameOf = std::move(lookup); }
    // Whether the id check found that the value at a document path names
    // no object; this marks id fields that IsIdField does not know.
    using DanglingAt = std::function<bool(const std::string& documentPath)>;
    void setDanglingAt(DanglingAt lookup) { danglingAt = std::move(lookup); }
    // The id check's results changed: notes and marks are read again.
    void refreshNotes();

    // The path of the element from the document's root as the id check
    // writes it ("/sdf/station/part[2]"): a label that repeats among its
    // siblings is numbered from 1.
    static std::string DocumentPath(const sdf::Element& element);


    struct Field
    {
        QString path;
        std::shared_ptr<sdf::Element> element;
        // Null for the element's own value.
        std::shared_ptr<sdf::Attr> attr;
        bool editable = true;
    };

    using QAbstractListModel::QAbstractListModel;

    // Whether the field holds the id of another object.
    static bool IsIdField(const Field& field);

    // The fields of the object element (null: none).
    void show(const std::shared_ptr<sdf::Element>& objectElement);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Null past the end.
    const Field* field(int row) const;
    // The row of that path, or -1.
    int rowOf(const QString& path) const;
    // The text of the value as it is stored now.
    static QString Text(const Field& field);
    // The same in the unit the field is shown in (degrees for a joint's
    // value kept in radians); what the value role gives.
    static QString ShownText(const Field& field);
    static QString TypeName(const Field& field);
    // Reads text into the row's value by the value's type; the caller has
    // checked that the row is editable. Exceptions of the library pass
    // through, with nothing changed.
    void write(int row, const QString& text);
    // The row's value changed outside write().
    void refreshRow(int row);
    // Every row is read again: one value may change how others are shown.
    void refreshAll();

private:
    void collect(const std::shared_ptr<sdf::Element>& element, const QString& path, bool isObject);
    static std::optional<std::uint32_t> idValue(const Field& field);
    QString note(const Field& field) const;
    bool dangling(const Field& field) const;

    std::vector<Field> fields;
    NameOf nameOf;
    DanglingAt danglingAt;
    std::string objectPath;
};

} // namespace zrv::core
