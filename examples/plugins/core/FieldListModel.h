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

#include <memory>
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
    };

    struct Field
    {
        QString path;
        std::shared_ptr<sdf::Element> element;
        // Null for the element's own value.
        std::shared_ptr<sdf::Attr> attr;
        bool editable = true;
    };

    using QAbstractListModel::QAbstractListModel;

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
    static QString TypeName(const Field& field);
    // Reads text into the row's value by the value's type; the caller has
    // checked that the row is editable. Exceptions of the library pass
    // through, with nothing changed.
    void write(int row, const QString& text);

private:
    void collect(const std::shared_ptr<sdf::Element>& element, const QString& path, bool isObject);

    std::vector<Field> fields;
};

} // namespace zrv::core
