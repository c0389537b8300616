#include "expr/expressiontypes.h"

#include "expr/expressionvalue.h"

std::unique_ptr<BaseType> SimpleType::duplicate() const {
    return std::make_unique<SimpleType>(m_name);
}

bool SimpleType::isUnsigned() const {
    return m_name.find("unsigned") != std::string::npos;
}

bool SimpleType::isFloatingPoint() const {
    return m_name.find("float") != std::string::npos || m_name.find("double") != std::string::npos;
}

unsigned SimpleType::size() const {
    auto has = [this](const char *word) { return m_name.find(word) != std::string::npos; };
    if (has("char"))
        return 1;
    if (has("short"))
        return 2;
    if (has("double") || has("long long"))
        return 8;
    return 4;
}

std::unique_ptr<BaseType> PointerType::duplicate() const {
    return std::make_unique<PointerType>(m_target->duplicate());
}

std::string ArrayType::toString() const {
    return m_element->toString() + "[" + std::to_string(m_count) + "]";
}

std::unique_ptr<BaseType> ArrayType::duplicate() const {
    return std::make_unique<ArrayType>(m_element->duplicate(), m_count);
}

std::string StructType::toString() const {
    std::string text = "struct {";
    for (const Member &member : m_members) {
        text += member.type->toString();
        if (!member.name.empty())
            text += " " + member.name;
        if (member.bitWidth)
            text += ":" + std::to_string(*member.bitWidth);
        text += ";";
    }
    return text + "}";
}

std::unique_ptr<BaseType> StructType::duplicate() const {
    std::vector<Member> members;
    members.reserve(m_members.size());
    for (const Member &member : m_members)
        members.push_back({member.type->duplicate(), member.name, member.bitWidth});
    return std::make_unique<StructType>(std::move(members));
}

std::unique_ptr<BaseType> UserType::duplicate() const {
    return std::make_unique<UserType>(m_name);
}

std::string RegisterType::toString() const {
    std::string text = "register " + std::to_string(m_size);
    for (const Field &field : m_fields) {
        text += " \"" + displayCharacterData(field.name) + "\" " + std::to_string(field.bitOffset) +
                " " + std::to_string(field.bitSize);
    }
    return text + ";";
}

std::unique_ptr<BaseType> RegisterType::duplicate() const {
    return std::make_unique<RegisterType>(m_size, m_fields);
}
