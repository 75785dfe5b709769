// Supports: the class registry, property value reading and event binding by name.
#include "platform/forms/classes.h"

#include <map>

#include "platform/exception.h"
#include "platform/forms/forms.h"

namespace platform {

namespace {

using ClassMap = std::map<std::string, ComponentFactory, std::less<>>;

ClassMap& Registry() {
    static ClassMap registry = [] {
        ClassMap standard;
        for (const RegisteredClass& c : StandardClasses()) standard.emplace(c.name, c.factory);
        return standard;
    }();
    return registry;
}

}  // namespace

void TComponent::ReadProperty(const form::Property& property, TForm&) {
    ReadError(*this, property, "no such property");
}

void RegisterClass(std::string_view class_name, ComponentFactory factory) {
    Registry().insert_or_assign(std::string(class_name), factory);
}

ComponentFactory FindClass(std::string_view class_name) {
    const auto it = Registry().find(class_name);
    if (it == Registry().end()) throw Exception("class " + std::string(class_name) + " is not registered");
    return it->second;
}

void ReadError(const TComponent& component, const form::Property& property, std::string_view what) {
    form::Error(property.line, component.Name + "." + property.name + ": " + std::string(what));
}

std::int32_t ReadInteger(const TComponent& c, const form::Property& p, std::int32_t min, std::int32_t max) {
    if (p.value.kind != form::Value::Kind::Integer) ReadError(c, p, "expected a number");
    if (p.value.integer < min || p.value.integer > max)
        ReadError(c, p, "value out of range " + std::to_string(min) + ".." + std::to_string(max));
    return static_cast<std::int32_t>(p.value.integer);
}

namespace {
constexpr std::int32_t kMaxExtent = 32767;
}  // namespace

std::int32_t ReadPosition(const TComponent& c, const form::Property& p) {
    return ReadInteger(c, p, -kMaxExtent, kMaxExtent);
}

std::int32_t ReadExtent(const TComponent& c, const form::Property& p) { return ReadInteger(c, p, 0, kMaxExtent); }

bool ReadBoolean(const TComponent& c, const form::Property& p) {
    if (p.value.kind == form::Value::Kind::Identifier) {
        if (p.value.text == "True") return true;
        if (p.value.text == "False") return false;
    }
    ReadError(c, p, "expected True or False");
}

const std::string& ReadIdentifier(const TComponent& c, const form::Property& p) {
    if (p.value.kind != form::Value::Kind::Identifier) ReadError(c, p, "expected a name");
    return p.value.text;
}

const std::string& ReadString(const TComponent& c, const form::Property& p) {
    if (p.value.kind != form::Value::Kind::String) ReadError(c, p, "expected a quoted string");
    return p.value.text;
}

TNotifyEvent ReadEvent(const TComponent& c, const form::Property& p, TForm& root) {
    const std::string& name = ReadIdentifier(c, p);
    TNotifyEvent handler = root.FindMethod(name);
    if (!handler) ReadError(c, p, root.ClassName() + " has no handler " + name);
    return handler;
}

}  // namespace platform
