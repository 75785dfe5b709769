// Handles from C libraries, owned by std::unique_ptr with the library's own delete function:
//   CHandle<fluid_synth_t, delete_fluid_synth> synth(new_fluid_synth(settings));
#pragma once

#include <memory>

namespace platform {

template <auto Delete>
struct CDelete {
    template <class T>
    void operator()(T* handle) const {
        Delete(handle);
    }
};

template <class T, auto Delete>
using CHandle = std::unique_ptr<T, CDelete<Delete>>;

}  // namespace platform
