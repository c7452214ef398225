#include "cell/Geometry.h"

#include <algorithm>

namespace cell {

double Geometry::area() const
{
    double sum = 0;
    for (const Face& face : faces)
        sum += face.area;
    return sum;
}

std::int64_t Geometry::faceOfTriangle(std::size_t triangle) const
{
    // Faces hold consecutive runs of indices in face order.
    const std::size_t index = triangle * 3;
    const auto after = std::upper_bound(faces.begin(), faces.end(), index,
                                        [](std::size_t i, const Face& face) { return i < face.firstIndex; });
    if (after == faces.begin())
        return -1;
    const Face& face = *(after - 1);
    if (index >= std::size_t{face.firstIndex} + face.indexCount)
        return -1;
    return after - 1 - faces.begin();
}

} // namespace cell
