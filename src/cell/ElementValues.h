#pragma once

// Reads of an element's values that never throw, for the cell library: a
// document that passed the reader has the types of its templates, but an
// element may be missing. Internal to the library.

#include "cell/RigidTransform.h"

#include <sdformat/Element.h>

#include <zrvrob/Frame.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <typeinfo>

namespace cell::detail {

inline RigidTransform PoseAt(const sdf::Element& element, std::string_view path = "pose")
{
    try {
        return RigidTransform::FromPose(element.valueOr<zrv::rob::PoseTemplate<double>>(path, {}));
    } catch (const std::exception&) {
        return {};
    }
}

inline std::uint32_t IdAt(const sdf::Element& element, std::string_view path)
{
    try {
        return element.valueOr<unsigned int>(path, 0u);
    } catch (const std::exception&) {
        return 0;
    }
}

inline std::string TextAt(const sdf::Element& element, std::string_view path)
{
    try {
        return element.valueOr<std::string>(path, std::string());
    } catch (const std::exception&) {
        return {};
    }
}

inline double NumberAt(const sdf::Element& element, std::string_view path, double fallback = 0)
{
    try {
        return element.valueOr<double>(path, fallback);
    } catch (const std::exception&) {
        return fallback;
    }
}

inline bool FlagAt(const sdf::Element& element, std::string_view path, bool fallback)
{
    try {
        return element.valueOr<bool>(path, fallback);
    } catch (const std::exception&) {
        return fallback;
    }
}

inline Vec3d AxisAt(const sdf::Element& joint)
{
    try {
        const auto xyz = joint.valueOr<zrv::rob::Vec3Template<double>>("axis/xyz", {0, 0, 1});
        return Normalised({xyz.x, xyz.y, xyz.z}, {0, 0, 1});
    } catch (const std::exception&) {
        return {0, 0, 1};
    }
}

// The annotated `value` of a data item or argument when it holds a T.
template <class T>
std::optional<T> ValueOf(const std::shared_ptr<sdf::Element>& element)
{
    const std::shared_ptr<sdf::Element> value = element->get("value");
    if (!value || !value->hasValue() || value->type_info() != typeid(T))
        return std::nullopt;
    return value->as<T>();
}

inline RigidTransform FrameOf(const zrv::rob::Frame& frame)
{
    return RigidTransform::FromParts({frame.trans.x, frame.trans.y, frame.trans.z},
                                     {frame.rot.w, frame.rot.x, frame.rot.y, frame.rot.z});
}

} // namespace cell::detail
