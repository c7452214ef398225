#pragma once

// An element and its own value in one block. Internal to the library.
//
// Most elements of a station are leaves with a value. Made as two shared
// objects they take two blocks and two control blocks; made as one they
// take about 24 bytes less and one allocation less each, which a large
// station counts hundreds of thousands of times. The value is reached as
// before through _value, which then points into the block without owning
// anything: the element owns it, and code outside the element only ever
// sees the value through the element (see Element::sharedValue for the
// shallow copies that share it).

#include <sdformat/Element.h>

#include <memory>
#include <utility>

namespace sdf {

struct Element::WithValue final : Element
{
    template <class... Args>
    explicit WithValue(Args&&... args) : value(std::forward<Args>(args)...)
    {
    }

    // A new element holding a value made from args, allocated by allocator.
    template <class Allocator, class... Args>
    static std::shared_ptr<WithValue> Make(const Allocator& allocator, Args&&... args)
    {
        auto made = std::allocate_shared<WithValue>(allocator, std::forward<Args>(args)...);
        made->_value = std::shared_ptr<Attr>(std::shared_ptr<Attr>(), &made->value);
        return made;
    }

    Attr value;
};

} // namespace sdf
