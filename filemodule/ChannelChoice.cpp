#include "filemodule/ChannelChoice.h"

#include <algorithm>

#include "renderlib/CliError.h"

namespace maculo {
namespace {

std::string LayerOf(const std::string& channel) {
    const size_t dot = channel.rfind('.');
    return dot == std::string::npos ? "" : channel.substr(0, dot);
}

std::string Listed(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + (name.empty() ? "(unnamed)" : name);
    return text;
}

std::vector<std::string> LayersOf(const OIIO::ImageSpec& layout) {
    std::vector<std::string> layers;
    for (const std::string& channel : layout.channelnames)
        if (std::find(layers.begin(), layers.end(), LayerOf(channel)) == layers.end())
            layers.push_back(LayerOf(channel));
    return layers;
}

}  // namespace

ChannelChoice ChooseChannels(const OIIO::ImageSpec& layout, const std::string& layer, const std::string& path) {
    const std::string prefix = layer.empty() ? "" : layer + ".";
    const auto find = [&](const char* name) { return layout.channelindex(prefix + name); };
    const int red = find("R"), green = find("G"), blue = find("B"), gray = find("Y"), alpha = find("A");
    const bool colour = red >= 0 && green >= 0 && blue >= 0;
    const std::string where = layer.empty() ? "its unnamed layer" : "layer '" + layer + "'";
    if (colour == (gray >= 0)) {
        const std::string what = colour ? "both R,G,B and Y channels in " : "no R,G,B or Y channels in ";
        throw Failure("cannot read " + path + ": " + what + where + "; its layers: " + Listed(LayersOf(layout)) +
                      " (pick one with --layer)");
    }
    ChannelChoice choice;
    choice.picture = colour ? std::vector<int>{red, green, blue} : std::vector<int>{gray};
    if (alpha >= 0) choice.picture.push_back(alpha);
    for (int c = 0; c < layout.nchannels; ++c)
        if (std::find(choice.picture.begin(), choice.picture.end(), c) == choice.picture.end())
            choice.others.push_back(c);
    return choice;
}

FilePart ChoosePart(OIIO::ImageInput& input, const std::string& layer, const std::string& path) {
    // Counted where the file says how many it has: a movie's frames are subimages too.
    std::vector<std::string> names;
    const int parts = input.spec().get_int_attribute("oiio:subimages", 1);
    for (int part = 0; part < parts && input.seek_subimage(part, 0); ++part)
        names.push_back(input.spec().get_string_attribute("oiio:subimagename"));
    FilePart chosen{0, layer, ""};
    const auto found = std::find(names.begin(), names.end(), layer);
    const bool named = !layer.empty() && found != names.end();
    if (named) chosen.index = int(found - names.begin());
    if (!input.seek_subimage(chosen.index, 0)) throw Failure("cannot read " + path + ": " + input.geterror());
    const std::vector<std::string> layers = LayersOf(input.spec());
    if (named && std::find(layers.begin(), layers.end(), layer) == layers.end())
        chosen.layer.clear();  // the part is the layer
    if (names.size() > 1)
        chosen.note = path + " has " + std::to_string(names.size()) + " parts (" + Listed(names) + "); " +
                      (named ? "'" + layer + "'" : "the first") + " is read";
    return chosen;
}

}  // namespace maculo
