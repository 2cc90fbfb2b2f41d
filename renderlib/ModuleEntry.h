// The one entry of one of the renderer's modules, opened from its place
// beside the plug-in. A module is linked never to unload: the image
// libraries' threads may outlive the call.
#pragma once

#include <stdexcept>
#include <string>

#include "minihost/DynamicLibrary.h"
#include "renderlib/CliError.h"

namespace maculo {

// Throws CliError naming the module (`kind`) when it cannot be opened or
// lacks its entry `symbol`.
template <typename Entry>
Entry ModuleEntry(const std::string& path, const char* symbol, const std::string& kind) {
    try {
        const minihost::DynamicLibrary module(path);
        const auto entry = reinterpret_cast<Entry>(module.Symbol(symbol));
        if (!entry) throw std::runtime_error(path + " is not the renderer's " + kind);
        return entry;
    } catch (const std::runtime_error& e) {
        throw Failure("cannot open its " + kind + " (it belongs beside the plug-in): " + FirstLine(e.what()));
    }
}

}  // namespace maculo
