#include "cell/Geometry.h"

namespace cell {

double Geometry::area() const
{
    double sum = 0;
    for (const Face& face : faces)
        sum += face.area;
    return sum;
}

} // namespace cell
