// Components: named parts of a form, created by class name and set up property by
// property from the form description.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/forms/formtext.h"

namespace platform {

class TObject {
public:
    virtual ~TObject() = default;
};

// Event handlers get the component the event happened to.
using TNotifyEvent = std::function<void(TObject* Sender)>;

class TForm;

class TComponent : public TObject {
public:
    std::string Name;

    // Applies one property read from the description; root is the form being read,
    // which resolves event handler names. Throws platform::Exception.
    virtual void ReadProperty(const form::Property& property, TForm& root);
    // Runs once the component's properties (and, for a form, its children) are read.
    virtual void Loaded() {}
};

// Creates a component owned by (and, for controls, shown inside) the form.
using ComponentFactory = TComponent* (*)(TForm& owner);

// Adds a class, or replaces the one of that name.
void RegisterClass(std::string_view class_name, ComponentFactory factory);
// Throws platform::Exception when the class is not registered.
ComponentFactory FindClass(std::string_view class_name);

// Reading property values; each throws platform::Exception naming the component,
// the property and its line when the value has the wrong kind or range.
[[noreturn]] void ReadError(const TComponent& component, const form::Property& property, std::string_view what);
std::int32_t ReadInteger(const TComponent& c, const form::Property& p, std::int32_t min, std::int32_t max);
// Positions and sizes in pixels, within what the window system can address.
std::int32_t ReadPosition(const TComponent& c, const form::Property& p);
std::int32_t ReadExtent(const TComponent& c, const form::Property& p);
bool ReadBoolean(const TComponent& c, const form::Property& p);
const std::string& ReadIdentifier(const TComponent& c, const form::Property& p);
const std::string& ReadString(const TComponent& c, const form::Property& p);
// Resolves the handler named by an On... property on the root form.
TNotifyEvent ReadEvent(const TComponent& c, const form::Property& p, TForm& root);

// A class's own properties, by name.
template <class C>
using PropertyTable = std::unordered_map<std::string_view, void (*)(C&, const form::Property&, TForm&)>;

// Applies the property from the class's table, or passes it on to the base class.
template <class C, class Base>
void ReadFromTable(const PropertyTable<C>& table, C& component, const form::Property& property, TForm& root) {
    const auto it = table.find(property.name);
    if (it == table.end()) {
        component.Base::ReadProperty(property, root);
        return;
    }
    it->second(component, property, root);
}

}  // namespace platform
