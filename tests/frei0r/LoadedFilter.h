// The built frei0r filter, loaded as hosts load it: by its exported names.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "frei0r/Frei0rApi.h"
#include "minihost/DynamicLibrary.h"

namespace maculo {

struct LoadedFilter {
    minihost::DynamicLibrary library{MACULO_FREI0R_PATH};

    template <typename Fn>
    Fn* Get(const char* name) const {
        void* symbol = library.Symbol(name);
        EXPECT_NE(symbol, nullptr) << name;
        return reinterpret_cast<Fn*>(symbol);
    }

    decltype(&f0r_init) init = Get<decltype(f0r_init)>("f0r_init");
    decltype(&f0r_deinit) deinit = Get<decltype(f0r_deinit)>("f0r_deinit");
    decltype(&f0r_get_plugin_info) pluginInfo = Get<decltype(f0r_get_plugin_info)>("f0r_get_plugin_info");
    decltype(&f0r_get_param_info) paramInfo = Get<decltype(f0r_get_param_info)>("f0r_get_param_info");
    decltype(&f0r_construct) construct = Get<decltype(f0r_construct)>("f0r_construct");
    decltype(&f0r_destruct) destruct = Get<decltype(f0r_destruct)>("f0r_destruct");
    decltype(&f0r_set_param_value) set = Get<decltype(f0r_set_param_value)>("f0r_set_param_value");
    decltype(&f0r_get_param_value) get = Get<decltype(f0r_get_param_value)>("f0r_get_param_value");
    decltype(&f0r_update) update = Get<decltype(f0r_update)>("f0r_update");

    // An instance that is destructed with the test.
    using Instance = std::unique_ptr<void, decltype(&f0r_destruct)>;
    Instance Make(unsigned width, unsigned height) const { return Instance(construct(width, height), destruct); }

    void SetNumber(const Instance& instance, int index, double value) const { set(instance.get(), &value, index); }
    void SetChoice(const Instance& instance, int index, const char* name) const {
        f0r_param_string text = const_cast<char*>(name);
        set(instance.get(), &text, index);
    }
    double Number(const Instance& instance, int index) const {
        double value = -1.0;
        get(instance.get(), &value, index);
        return value;
    }
    std::string Choice(const Instance& instance, int index) const {
        f0r_param_string text = nullptr;
        get(instance.get(), &text, index);
        return text != nullptr ? text : "(null)";
    }
};

}  // namespace maculo
