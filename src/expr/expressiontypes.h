#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The types named in casts, sizeof and declarations. Type trees are as deep as the declarators
// written ("int**" is two pointers), which the parser bounds.
class BaseType {
public:
    enum class Kind { Simple, Pointer, Array, Struct, User, Register };

    virtual ~BaseType() = default;
    virtual Kind kind() const = 0;
    // The type as it is written in a cast.
    virtual std::string toString() const = 0;
    virtual std::unique_ptr<BaseType> duplicate() const = 0;
};

// A basic C type ("unsigned long", "double").
class SimpleType final : public BaseType {
public:
    // The words as written, without qualifiers.
    explicit SimpleType(std::string name) : m_name(std::move(name)) {}

    Kind kind() const override { return Kind::Simple; }
    std::string toString() const override { return m_name; }
    std::unique_ptr<BaseType> duplicate() const override;

    const std::string &name() const { return m_name; }
    bool isUnsigned() const;
    bool isFloatingPoint() const;
    // Size on the 32-bit targets: char 1, short 2, int and long 4, long long and double 8.
    unsigned size() const;

private:
    std::string m_name;
};

class PointerType final : public BaseType {
public:
    explicit PointerType(std::unique_ptr<BaseType> target) : m_target(std::move(target)) {}

    Kind kind() const override { return Kind::Pointer; }
    std::string toString() const override { return m_target->toString() + "*"; }
    std::unique_ptr<BaseType> duplicate() const override;

    const BaseType &target() const { return *m_target; }

private:
    std::unique_ptr<BaseType> m_target;
};

class ArrayType final : public BaseType {
public:
    ArrayType(std::unique_ptr<BaseType> element, std::uint64_t count)
        : m_element(std::move(element)), m_count(count) {}

    Kind kind() const override { return Kind::Array; }
    std::string toString() const override;
    std::unique_ptr<BaseType> duplicate() const override;

    const BaseType &element() const { return *m_element; }
    std::uint64_t count() const { return m_count; }

private:
    std::unique_ptr<BaseType> m_element;
    std::uint64_t m_count;
};

// A structure declared inline in a cast: "struct { int a; char b : 3; }".
class StructType final : public BaseType {
public:
    struct Member {
        std::unique_ptr<BaseType> type;
        std::string name;                      // may be empty
        std::optional<std::uint64_t> bitWidth; // for a bit-field member
    };

    explicit StructType(std::vector<Member> members = {}) : m_members(std::move(members)) {}

    Kind kind() const override { return Kind::Struct; }
    std::string toString() const override;
    std::unique_ptr<BaseType> duplicate() const override;

    const std::vector<Member> &members() const { return m_members; }

private:
    std::vector<Member> m_members;
};

// A named type the engine resolves: a typedef, "struct tag", "ns::name".
class UserType final : public BaseType {
public:
    explicit UserType(std::string name) : m_name(std::move(name)) {}

    Kind kind() const override { return Kind::User; }
    std::string toString() const override { return m_name; }
    std::unique_ptr<BaseType> duplicate() const override;

    const std::string &name() const { return m_name; }

private:
    std::string m_name;
};

// The layout of a peripheral register: its size and named bit fields.
class RegisterType final : public BaseType {
public:
    struct Field {
        std::string name;
        std::uint64_t bitOffset;
        std::uint64_t bitSize;
    };

    RegisterType(std::uint64_t size, std::vector<Field> fields)
        : m_size(size), m_fields(std::move(fields)) {}

    Kind kind() const override { return Kind::Register; }
    std::string toString() const override;
    std::unique_ptr<BaseType> duplicate() const override;

    std::uint64_t size() const { return m_size; }
    const std::vector<Field> &fields() const { return m_fields; }

private:
    std::uint64_t m_size;
    std::vector<Field> m_fields;
};
