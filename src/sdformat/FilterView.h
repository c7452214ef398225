#pragma once

// A lazy view of the entries of a container that a predicate keeps, in the
// container's order. Nothing is cached: every iteration reads the container
// as it is then, so a view kept across changes never goes stale (unlike
// std::views::filter, which remembers its first position; clang 14 can not
// build the standard adaptors against this standard library either). The
// container must outlive the view.

#include <cstddef>
#include <iterator>
#include <ranges>

namespace sdf {

// Keep is a default-constructible function object taking a container entry.
template <class Container, class Keep>
class FilterView : public std::ranges::view_base
{
public:
    class iterator
    {
    public:
        using iterator_category = std::forward_iterator_tag;
        using iterator_concept = std::forward_iterator_tag;
        using value_type = typename Container::value_type;
        using difference_type = std::ptrdiff_t;
        using pointer = const value_type*;
        using reference = const value_type&;

        iterator() = default;
        iterator(typename Container::const_iterator at, typename Container::const_iterator end, Keep keep)
            : _at(at), _end(end), _keep(keep)
        {
            skip();
        }

        reference operator*() const { return *_at; }
        pointer operator->() const { return &*_at; }
        iterator& operator++()
        {
            ++_at;
            skip();
            return *this;
        }
        iterator operator++(int)
        {
            iterator old = *this;
            ++*this;
            return old;
        }
        friend bool operator==(const iterator& a, const iterator& b) { return a._at == b._at; }

    private:
        void skip()
        {
            while (_at != _end && !_keep(*_at))
                ++_at;
        }

        typename Container::const_iterator _at{};
        typename Container::const_iterator _end{};
        Keep _keep{};
    };

    FilterView() = default;
    FilterView(const Container& container, Keep keep) : _container(&container), _keep(keep) {}

    iterator begin() const { return {_container->begin(), _container->end(), _keep}; }
    iterator end() const { return {_container->end(), _container->end(), _keep}; }
    bool empty() const { return begin() == end(); }

private:
    const Container* _container = nullptr;
    Keep _keep{};
};

} // namespace sdf
