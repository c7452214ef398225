#pragma once

// The registry of the sixteen value types: type names <-> stored types, and
// the text reader and writer of each. Internal to the library (not
// exported). Created on first use, read-only afterwards, safe to share.

#include <any>
#include <functional>
#include <string>
#include <string_view>
#include <typeindex>
#include <typeinfo>
#include <unordered_map>

namespace sdf {

class TypeManager
{
public:
    using Reader = std::function<std::any(std::string_view)>;
    using Writer = std::function<std::string(const std::any&)>;

    // The single registry; the first call creates it (thread-safe).
    static TypeManager* inst();

    bool contains(const std::type_info& type) const;
    bool contains(std::string_view typeName) const;

    // The value read from text by the reader registered under typeName.
    // Throws std::out_of_range for an unregistered name. Never fails on text.
    std::any fromString(std::string_view typeName, std::string_view text) const;

    // The text of a value, by the writer of the value's own stored type.
    // Throws std::out_of_range when that type is not registered.
    std::string toString(const std::any& value) const;
    // The writer of a stored type, or nullptr when it is not registered;
    // valid as long as the registry.
    const Writer* writer(const std::type_info& type) const;

    // The registered name of a stored type; std::out_of_range if unknown.
    const std::string& name(const std::type_info& type) const;

    TypeManager(const TypeManager&) = delete;
    TypeManager& operator=(const TypeManager&) = delete;

private:
    TypeManager();

    // Registers T under name with its reader and writer; throws
    // std::logic_error "sdf type '{}' has been registered" on a repeat.
    template <class T>
    void add(std::string_view name);
    // The registration step of add<T>, for a type identity and its
    // converters; the same failure, and nothing changes on failure.
    void insert(std::string_view name, const std::type_info& type, Reader reader, Writer writer);

    // Lets the registry's own tests exercise the registration rules.
    friend struct TypeManagerTestAccess;

    struct NameHash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };

    std::unordered_map<std::type_index, std::string> _namesByType;
    std::unordered_map<std::string, std::type_index, NameHash, std::equal_to<>> _typesByName;
    std::unordered_map<std::type_index, Reader> _readers;
    std::unordered_map<std::type_index, Writer> _writers;
};

} // namespace sdf
